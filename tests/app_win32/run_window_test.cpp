// Runs on the real main window: the run button starts a real search on a
// small drawing, the test pumps messages until the finished message has
// been handled and reads back the log, the buttons, the saved-solutions
// list and the shared state; pause, resume and stop are pressed in between.

#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/core/control_ids.hpp"
#include "app/core/editor_model.hpp"
#include "app/core/gui_state.hpp"
#include "app/core/workers.hpp"
#include "app/win32/app_windows.hpp"
#include "app/win32/frame_hooks.hpp"
#include "app/win32/main_window.hpp"
#include "app/win32/run_control.hpp"
#include "app/win32/run_panel.hpp"

#include "tests/app_win32/window_test_support.hpp"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using window_test::count_of;

struct BoxCall {
    std::string text;
    std::string caption;
};
std::vector<BoxCall> g_boxes;

void record_box(HWND, const std::string& text, const char* caption) { g_boxes.push_back({text, caption}); }

std::string fixture(const char* name) { return (fs::path(PLV_TEST_DATA_DIR) / name).string(); }

class RunWindow : public window_test::MainWindowTest {
protected:
    void SetUp() override {
        app::GuiState& state = app::gui_state();
        state.selected_files.clear();
        state.panel = app::PanelState{};
        state.running = false;
        state.stop_requested = false;
        state.pause_requested = false;
        {
            std::lock_guard<std::mutex> lock(state.state_mutex);
            state.has_result = false;
            state.shown_result = plv::NestingResult{};
            state.preview_layout = plv::NestingResult{};
            state.iteration_history.clear();
            state.saved_solutions.clear();
            state.selected_solution = -1;
            state.run_message.clear();
        }
        app::editor_state() = app::EditorState{};
        app::frame_hooks() = app::FrameHooks{};
        app::install_run_handlers(app::frame_hooks());
        g_boxes.clear();
        app::run_error_box() = record_box;

        ASSERT_NE(create_main_window(), nullptr);
        // A short search by default.
        set_text(app::IDC_MAX_ITERATIONS, "3");
        set_text(app::IDC_POPULATION, "2");
        set_text(app::IDC_THREADS, "2");
    }

    void TearDown() override {
        if (app::gui_state().running.load()) {
            app::gui_state().stop_requested = true;
            wait_until([] { return !app::gui_state().running.load(); }, 60s);
        }
        if (window_ != nullptr && IsWindow(window_)) DestroyWindow(window_);
        pump();
        app::frame_hooks() = app::FrameHooks{};
    }

    // Pumps messages until `done` holds; false when the time ran out.
    static bool wait_until(const std::function<bool()>& done, std::chrono::milliseconds limit = 60s) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            pump();
            std::this_thread::sleep_for(2ms);
        }
        pump();
        return true;
    }

    static std::size_t history_size() {
        std::lock_guard<std::mutex> lock(app::gui_state().state_mutex);
        return app::gui_state().iteration_history.size();
    }

    bool wait_finished() {
        return wait_until([] { return !app::gui_state().running.load(); });
    }

    std::string text(int id) const { return app::get_control_text(control(id)); }
    void set_text(int id, const char* value) { SetWindowTextA(control(id), value); }
    std::string log() const { return text(app::IDC_LOG); }
    bool enabled(int id) const { return IsWindowEnabled(control(id)) != 0; }
    void command(int id, int code = 0) {
        SendMessageA(window_, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(control(id)));
    }

    std::vector<std::string> solution_lines() const {
        HWND list = control(app::IDC_SOLUTIONS_LIST);
        std::vector<std::string> out;
        const int n = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
        for (int i = 0; i < n; ++i) {
            const int length = static_cast<int>(SendMessageA(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0));
            std::string line(static_cast<std::size_t>(length) + 1, '\0');
            SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(line.data()));
            line.resize(static_cast<std::size_t>(length));
            out.push_back(line);
        }
        return out;
    }

    void expect_idle_buttons() {
        EXPECT_TRUE(enabled(app::IDC_RUN));
        EXPECT_EQ(text(app::IDC_RUN), "Ejecutar nesting");
        EXPECT_FALSE(enabled(app::IDC_PAUSE));
        EXPECT_EQ(text(app::IDC_PAUSE), "Pausar");
        EXPECT_FALSE(app::gui_state().running.load());
        EXPECT_FALSE(app::gui_state().stop_requested.load());
        EXPECT_FALSE(app::gui_state().pause_requested.load());
    }
};

TEST_F(RunWindow, RunOnASmallDrawingEndsWithSummaryAndResult) {
    app::gui_state().selected_files = {{fixture("dns__20x20outer10x10hole.dxf"), 4},
                                       {fixture("l_with_notch_square.dxf"), 1}};
    set_text(app::IDC_LOG, "old text");
    command(app::IDC_RUN);
    EXPECT_TRUE(app::gui_state().running.load());
    EXPECT_EQ(text(app::IDC_RUN), "Detener solver");
    EXPECT_TRUE(enabled(app::IDC_PAUSE));
    const std::string start = log();
    EXPECT_EQ(start.rfind("Cargando DXF seleccionados...\r\nAviso: Merge common lines", 0), 0u) << start;
    EXPECT_NE(start.find("\r\nSolver: cpu\r\n"), std::string::npos) << start;

    ASSERT_TRUE(wait_finished());
    const std::string done = log();
    EXPECT_EQ(done.find("old text"), std::string::npos);
    EXPECT_EQ(count_of(done, "Listo.\r\n"), 1) << done;
    EXPECT_NE(done.find("Archivos DXF elegidos: 2\r\n"), std::string::npos) << done;
    EXPECT_NE(done.find("Perfiles cargados: 3\r\n"), std::string::npos) << done;
    EXPECT_NE(done.find("Piezas ubicadas: 6\r\n"), std::string::npos) << done;
    EXPECT_NE(done.find("Iteraciones ejecutadas: 3\r\n"), std::string::npos) << done;
    EXPECT_NE(done.find("Poblacion GA: 2\r\n"), std::string::npos) << done;
    EXPECT_NE(done.find("No se guardo automaticamente."), std::string::npos) << done;
    expect_idle_buttons();
    EXPECT_TRUE(g_boxes.empty());
    {
        std::lock_guard<std::mutex> lock(app::gui_state().state_mutex);
        EXPECT_TRUE(app::gui_state().has_result);
        EXPECT_EQ(app::gui_state().shown_result.placements.size(), 6u);
        EXPECT_EQ(app::gui_state().iteration_history.size(), 3u);
        EXPECT_EQ(app::gui_state().run_message.rfind("Listo.", 0), 0u);
    }
    const std::vector<std::string> lines = solution_lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0].rfind("#1  it ", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find("  costo $"), std::string::npos) << lines[0];

    // After the run a saved line can be shown.
    SendMessageA(control(app::IDC_SOLUTIONS_LIST), LB_SETCURSEL, 0, 0);
    command(app::IDC_SOLUTIONS_LIST, LBN_SELCHANGE);
    EXPECT_NE(log().find("Solucion de la lista cargada en la vista previa. Usa Guardar DXF para exportarla.\r\n"),
              std::string::npos);
    std::lock_guard<std::mutex> lock(app::gui_state().state_mutex);
    EXPECT_EQ(app::gui_state().selected_solution, 0);
}

TEST_F(RunWindow, NothingToNestOrBadSettingChangesNothing) {
    set_text(app::IDC_LOG, "kept");
    try {
        app::run_nesting(window_);
        FAIL() << "started";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "Agrega una carpeta, archivos DXF o dibuja una pieza cerrada primero.");
    }
    app::gui_state().selected_files = {{fixture("dns__Donut.dxf"), 1}};
    set_text(app::IDC_SHEET_WIDTH, "");
    EXPECT_THROW(app::run_nesting(window_), std::exception);
    EXPECT_EQ(log(), "kept");
    expect_idle_buttons();
    EXPECT_EQ(app::worker_tracker().live(app::WorkerKind::run), 0);
}

TEST_F(RunWindow, DrawnRectangleAloneIsNested) {
    app::EditorEntity rect;
    rect.kind = app::EntityKind::rectangle;
    rect.p0 = {0, 0};
    rect.p1 = {120, 60};
    app::editor_state().entities = {rect};
    command(app::IDC_RUN);
    ASSERT_TRUE(wait_finished());
    const std::string done = log();
    EXPECT_NE(done.find("Piezas dibujadas agregadas al nesting: 1\r\n"), std::string::npos) << done;
    EXPECT_NE(done.find("Archivos DXF elegidos: 0\r\n"), std::string::npos) << done;
    EXPECT_NE(done.find("Piezas dibujadas usadas: 1\r\n"), std::string::npos) << done;
}

TEST_F(RunWindow, FailedRunShowsTheErrorBoxOnce) {
    app::gui_state().selected_files = {{fixture("dxfp__arc1.dxf"), 1}};
    command(app::IDC_RUN);
    ASSERT_TRUE(wait_finished());
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0].text, "Error: No se encontraron perfiles cerrados.\r\n");
    EXPECT_EQ(g_boxes[0].caption, "Nesting error");
    EXPECT_NE(log().find("Error: No se encontraron perfiles cerrados.\r\n"), std::string::npos);
    expect_idle_buttons();
    std::lock_guard<std::mutex> lock(app::gui_state().state_mutex);
    EXPECT_FALSE(app::gui_state().has_result);
}

TEST_F(RunWindow, GpuSolverWithoutDeviceFallsBackToCpu) {
    app::gui_state().selected_files = {{fixture("dns__20x20outer10x10hole.dxf"), 2}};
    SendMessageA(control(app::IDC_SOLVER), CB_SETCURSEL, 1, 0);  // "gpu"
    ASSERT_EQ(app::get_combo_text(control(app::IDC_SOLVER)), "gpu");
    command(app::IDC_RUN);
    const std::string start = log();
    EXPECT_NE(start.find("Inicializando GPU...\r\n"), std::string::npos) << start;
    const bool gpu_found = start.find("GPU[0]: ") != std::string::npos;
    if (!gpu_found) {
        EXPECT_NE(start.find("GPU no disponible, usando CPU.\r\n"), std::string::npos) << start;
        EXPECT_EQ(start.find("Solver: "), std::string::npos) << start;
    }
    ASSERT_TRUE(wait_finished());
    EXPECT_NE(log().find(gpu_found ? "Solver: gpu\r\n" : "Solver: cpu\r\n"), std::string::npos) << log();
}

TEST_F(RunWindow, PauseTakesEditedSettingsThenStop) {
    app::gui_state().selected_files = {{fixture("dns__20x20outer10x10hole.dxf"), 3}};
    set_text(app::IDC_MAX_ITERATIONS, "0");  // until stopped
    command(app::IDC_RUN);
    ASSERT_TRUE(wait_until([] { return history_size() >= 1; }));

    // A saved line cannot be picked while the search is live.
    ASSERT_TRUE(wait_until([this] { return !solution_lines().empty(); }));
    SendMessageA(control(app::IDC_SOLUTIONS_LIST), LB_SETCURSEL, 0, 0);
    command(app::IDC_SOLUTIONS_LIST, LBN_SELCHANGE);
    EXPECT_NE(log().find("El solver sigue en vivo; detene para revisar una solucion guardada de la lista.\r\n"),
              std::string::npos);
    EXPECT_EQ(SendMessageA(control(app::IDC_SOLUTIONS_LIST), LB_GETCURSEL, 0, 0), LB_ERR);

    command(app::IDC_PAUSE);
    EXPECT_EQ(text(app::IDC_PAUSE), "Continuar");
    EXPECT_TRUE(app::gui_state().pause_requested.load());
    EXPECT_NE(log().find("Solver pausado. Podes inspeccionar, guardar y cambiar parametros de busqueda.\r\n"),
              std::string::npos);
    // The search holds after its current iteration.
    std::size_t held = 0;
    ASSERT_TRUE(wait_until(
        [&held] {
            const std::size_t before = history_size();
            std::this_thread::sleep_for(300ms);
            held = history_size();
            return held == before;
        },
        30s));
    pump();
    EXPECT_EQ(history_size(), held);

    set_text(app::IDC_POPULATION, "0");
    set_text(app::IDC_MUTATION_PERCENT, "50");
    command(app::IDC_PAUSE);
    EXPECT_EQ(text(app::IDC_PAUSE), "Pausar");
    EXPECT_NE(log().find("Solver reanudado. Aplico los parametros de busqueda editados.\r\n"), std::string::npos);
    ASSERT_TRUE(wait_until([held] { return history_size() > held + 1; }));

    command(app::IDC_RUN);  // stop
    EXPECT_EQ(text(app::IDC_RUN), "Deteniendo...");
    EXPECT_FALSE(enabled(app::IDC_RUN));
    EXPECT_FALSE(enabled(app::IDC_PAUSE));
    EXPECT_NE(log().find("Solicitud de detencion recibida. El solver se detiene sin guardar.\r\n"),
              std::string::npos);
    ASSERT_TRUE(wait_finished());
    const std::string done = log();
    EXPECT_NE(done.find("Detenido por usuario.\r\n"), std::string::npos) << done;
    EXPECT_NE(done.find("Poblacion GA: 1\r\n"), std::string::npos) << done;
    EXPECT_NE(done.find("Mutation rate: 50%\r\n"), std::string::npos) << done;
    EXPECT_TRUE(g_boxes.empty());
    expect_idle_buttons();
}

TEST_F(RunWindow, RunButtonBeforeTheFinishedMessageStops) {
    app::gui_state().selected_files = {{fixture("dns__20x20outer10x10hole.dxf"), 2}};
    command(app::IDC_RUN);
    // The run thread ends without needing the window; its finished message
    // waits in the queue.
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (app::worker_tracker().live(app::WorkerKind::run) > 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(5ms);
    ASSERT_EQ(app::worker_tracker().live(app::WorkerKind::run), 0);
    EXPECT_TRUE(app::gui_state().running.load());
    command(app::IDC_RUN);
    EXPECT_EQ(text(app::IDC_RUN), "Deteniendo...");
    EXPECT_EQ(app::worker_tracker().live(app::WorkerKind::run), 0);
    ASSERT_TRUE(wait_finished());
    expect_idle_buttons();
    EXPECT_EQ(count_of(log(), "Listo.\r\n") + count_of(log(), "Detenido por usuario.\r\n"), 1);
}

}  // namespace
