#include "app/core/run_thread.hpp"

#include "app_core/run_panel_source.hpp"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace {

using namespace app;
using namespace std::chrono_literals;

struct RunHarness {
    GuiState state;
    MessageQueue queue;
    runtest::TablePanel panel;
    std::vector<std::string> log;
    RunContext context{state, queue, nullptr, panel, 4, nullptr, nullptr};
    RunHarness() {
        context.log = [this](const std::string& line) { log.push_back(line); };
        context.sleep = [](std::chrono::milliseconds d) { std::this_thread::sleep_for(d); };
    }
    // Messages posted, in order.
    std::vector<unsigned> drain() {
        std::vector<unsigned> out;
        while (auto m = queue.take(0ms)) out.push_back(*m);
        return out;
    }
};

RunSettings small_run() {
    RunSettings s;
    s.options.iterations = 3;
    s.options.population = 3;
    s.options.threads = 2;
    s.options.spacing = 2;
    s.load_threads = 2;
    return s;
}

std::string fixture(const char* name) { return std::string(PLV_TEST_DATA_DIR) + "/" + name; }

bool has_line(const std::string& text, const std::string& line) {
    return text.find(line + "\r\n") != std::string::npos;
}

TEST(RunThread, FinishedRunPublishesLayoutAndSummary) {
    RunHarness h;
    RunSettings s = small_run();
    s.files = {{fixture("dns__20x20outer10x10hole.dxf"), 4}, {fixture("plate_circle_holes.dxf"), 2}};
    run_thread_body(s, h.context);
    const std::vector<unsigned> posted = h.drain();
    ASSERT_FALSE(posted.empty());
    EXPECT_EQ(posted.back(), WM_RUN_FINISHED);
    EXPECT_EQ(std::count(posted.begin(), posted.end(), WM_RUN_FINISHED), 1);
    EXPECT_EQ(std::count(posted.begin(), posted.end(), WM_RUN_PROGRESS), 3);

    std::lock_guard<std::mutex> lock(h.state.state_mutex);
    EXPECT_TRUE(h.state.run_succeeded);
    const std::string& m = h.state.run_message;
    EXPECT_EQ(m.rfind("Listo.\r\n", 0), 0u) << m;
    EXPECT_TRUE(has_line(m, "Archivos DXF elegidos: 2")) << m;
    EXPECT_TRUE(has_line(m, "Perfiles cargados: 2")) << m;
    EXPECT_TRUE(has_line(m, "Piezas dibujadas usadas: 0")) << m;
    EXPECT_TRUE(has_line(m, "Piezas ubicadas: 6")) << m;
    EXPECT_TRUE(has_line(m, "Chapas usadas: 1")) << m;
    EXPECT_TRUE(has_line(m, "Iteraciones ejecutadas: 3")) << m;
    EXPECT_TRUE(has_line(m, "Poblacion GA: 3")) << m;
    EXPECT_TRUE(has_line(m, "Solver: cpu")) << m;
    EXPECT_TRUE(h.state.has_result);
    EXPECT_EQ(h.state.shown_result.placements.size(), 6u);
    // Three progress layouts and the final one, each noted for the painters.
    EXPECT_EQ(h.state.display_generation, 4u);
    EXPECT_EQ(h.state.iteration_history.size(), 3u);
    EXPECT_FALSE(h.state.saved_solutions.empty());
    EXPECT_EQ(h.state.selected_solution, -1);
    EXPECT_TRUE(h.log.empty());
}

TEST(RunThread, DrawnPartsJoinTheRun) {
    RunHarness h;
    RunSettings s = small_run();
    EditorEntity rect;
    rect.kind = EntityKind::rectangle;
    rect.p0 = {0, 0};
    rect.p1 = {100, 50};
    s.drawing = {rect};
    run_thread_body(s, h.context);
    ASSERT_EQ(h.log.size(), 1u);
    EXPECT_EQ(h.log[0], "Piezas dibujadas agregadas al nesting: 1\r\n");
    std::lock_guard<std::mutex> lock(h.state.state_mutex);
    ASSERT_TRUE(h.state.run_succeeded) << h.state.run_message;
    EXPECT_TRUE(has_line(h.state.run_message, "Archivos DXF elegidos: 0"));
    EXPECT_TRUE(has_line(h.state.run_message, "Perfiles cargados: 1"));
    EXPECT_TRUE(has_line(h.state.run_message, "Piezas dibujadas usadas: 1"));
    EXPECT_TRUE(has_line(h.state.run_message, "Piezas ubicadas: 1"));
}

TEST(RunThread, FailuresLeaveOnlyTheErrorText) {
    struct Case {
        const char* what;
        void (*setup)(RunSettings&);
        std::string message;
    };
    const Case cases[] = {
        {"no closed outline",
         [](RunSettings& s) { s.files = {{fixture("dxfp__arc1.dxf"), 1}}; },
         "Error: No se encontraron perfiles cerrados.\r\n"},
        {"sheet width 0",
         [](RunSettings& s) {
             s.files = {{fixture("dns__Donut.dxf"), 1}};
             s.sheet.width = 0;
         },
         "Error: Sheet dimensions must be greater than zero.\r\n"},
        {"missing file",
         [](RunSettings& s) { s.files = {{fixture("gone.dxf"), 1}}; },
         "Error: DXF input not found: " + fixture("gone.dxf") + "\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RunHarness h;
        h.state.shown_result.sheet = {111, 222};
        RunSettings s = small_run();
        c.setup(s);
        run_thread_body(s, h.context);
        EXPECT_EQ(h.drain(), std::vector<unsigned>{WM_RUN_FINISHED});
        std::lock_guard<std::mutex> lock(h.state.state_mutex);
        EXPECT_FALSE(h.state.run_succeeded);
        EXPECT_EQ(h.state.run_message, c.message);
        EXPECT_EQ(h.state.shown_result.sheet.width, 111);
        EXPECT_FALSE(h.state.has_result);
    }
}

TEST(RunThread, NonStandardFailureIsCaughtToo) {
    RunHarness h;
    RunSettings s = small_run();
    run_thread_body(s, h.context, [](const RunSettings&) -> std::vector<plv::Part> { throw 42; });
    EXPECT_EQ(h.drain(), std::vector<unsigned>{WM_RUN_FINISHED});
    EXPECT_FALSE(h.state.run_succeeded);
    EXPECT_EQ(h.state.run_message.rfind("Error: ", 0), 0u);
}

TEST(RunThread, StopInTheFirstIterationStillSummarises) {
    RunHarness h;
    RunSettings s = small_run();
    s.options.iterations = 1000;
    s.files = {{fixture("dns__20x20outer10x10hole.dxf"), 3}};
    h.state.stop_requested = true;
    run_thread_body(s, h.context);
    std::lock_guard<std::mutex> lock(h.state.state_mutex);
    ASSERT_TRUE(h.state.run_succeeded) << h.state.run_message;
    EXPECT_EQ(h.state.run_message.rfind("Detenido por usuario.\r\n", 0), 0u);
    EXPECT_TRUE(has_line(h.state.run_message, "Iteraciones ejecutadas: 1"));
    EXPECT_EQ(h.state.shown_result.placements.size(), 3u);
}

TEST(RunThread, PauseEditsShowInTheSummary) {
    RunHarness h;
    RunSettings s = small_run();
    s.files = {{fixture("dns__20x20outer10x10hole.dxf"), 3}};
    h.state.pause_requested = true;
    h.panel.set_text(IDC_POPULATION, "5");
    h.panel.set_text(IDC_MUTATION_PERCENT, "33");
    int sleeps = 0;
    h.context.sleep = [&](std::chrono::milliseconds) {
        if (++sleeps == 2) h.state.pause_requested = false;
    };
    run_thread_body(s, h.context);
    std::lock_guard<std::mutex> lock(h.state.state_mutex);
    ASSERT_TRUE(h.state.run_succeeded) << h.state.run_message;
    EXPECT_TRUE(has_line(h.state.run_message, "Poblacion GA: 5"));
    EXPECT_TRUE(has_line(h.state.run_message, "Mutation rate: 33%"));
    EXPECT_TRUE(has_line(h.state.run_message, "CPU cores usados: 3"));
}

}  // namespace
