#include "app/core/progress.hpp"

#include "app_core/run_panel_source.hpp"

#include <gtest/gtest.h>

#include <future>
#include <string>

namespace {

using namespace app;
using namespace std::chrono_literals;

SavedSolution solution(int unplaced, int sheets, double area, int iteration = 0) {
    SavedSolution s;
    s.unplaced_count = unplaced;
    s.sheets_used = sheets;
    s.occupied_area = area;
    s.iteration = iteration;
    return s;
}

TEST(SavedSolutions, Ordering) {
    EXPECT_TRUE(saved_solution_better(solution(0, 5, 9e9), solution(1, 1, 1)));
    EXPECT_FALSE(saved_solution_better(solution(1, 1, 1), solution(0, 5, 9e9)));
    EXPECT_TRUE(saved_solution_better(solution(0, 1, 9e9), solution(0, 2, 1)));
    EXPECT_TRUE(saved_solution_better(solution(0, 1, 1000 - 2e-4), solution(0, 1, 1000)));
    EXPECT_FALSE(saved_solution_better(solution(0, 1, 1000 - 0.5e-4), solution(0, 1, 1000)));
    EXPECT_FALSE(saved_solution_better(solution(0, 1, 1000), solution(0, 1, 1000)));
}

TEST(SavedSolutions, OfferTable) {
    std::vector<SavedSolution> list;
    EXPECT_TRUE(offer_saved_solution(list, solution(2, 3, 5000, 1)));  // first ever
    // Within 1e-4 of the best: dropped.
    EXPECT_FALSE(offer_saved_solution(list, solution(2, 3, 5000 - 0.5e-4, 2)));
    EXPECT_FALSE(offer_saved_solution(list, solution(2, 3, 6000, 2)));
    EXPECT_EQ(list.size(), 1u);
    EXPECT_TRUE(offer_saved_solution(list, solution(2, 3, 5000 - 2e-4, 3)));
    EXPECT_EQ(list.front().iteration, 3);
    // One unplaced fewer but one sheet more still comes first.
    EXPECT_TRUE(offer_saved_solution(list, solution(1, 4, 9000, 4)));
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].iteration, 4);
    EXPECT_EQ(list[1].iteration, 3);
    EXPECT_EQ(list[2].iteration, 1);
}

TEST(SavedSolutions, CappedAtEightyDroppingTheOldest) {
    std::vector<SavedSolution> list;
    for (int i = 0; i < 81; ++i) EXPECT_TRUE(offer_saved_solution(list, solution(0, 1, 1e6 - i, i)));
    ASSERT_EQ(list.size(), 80u);
    EXPECT_EQ(list.front().iteration, 80);
    EXPECT_EQ(list.back().iteration, 1);
}

TEST(SavedSolutions, BuiltFromStatsAndBestLayout) {
    plv::IterationStats stats;
    stats.iteration = 12;
    stats.improvement = 77;
    stats.seconds_between_improvements = 3.25;
    plv::NestingResult best;
    best.sheet = {100, 100};
    plv::Placement p;
    p.shape.outer = {{0, 0}, {10, 0}, {10, 20}, {0, 20}, {0, 0}};
    p.net_area = 150;
    best.placements = {p};
    best.unplaced.resize(2);
    const SavedSolution s = make_saved_solution(stats, best);
    EXPECT_EQ(s.iteration, 12);
    EXPECT_EQ(s.improvement, 77);
    EXPECT_EQ(s.seconds_since_last_improvement, 3.25);
    EXPECT_EQ(s.occupied_area, 200);
    EXPECT_EQ(s.scrap_area, 50);
    EXPECT_EQ(s.utilization, 0.015);
    EXPECT_EQ(s.sheets_used, 1);
    EXPECT_EQ(s.unplaced_count, 2);
    EXPECT_EQ(s.layout.placements.size(), 1u);
}

TEST(SavedSolutionLines, ExactTexts) {
    SavedSolution s = solution(0, 1, 4500000, 12);
    s.scrap_area = 250000;
    s.improvement = 1234567;
    s.seconds_since_last_improvement = 3.26;
    const std::string plain = "#1  it 12  area 4.500 m2  scrap 0.250 m2  ahorro 1.235 m2  tiempo 3.3s";
    EXPECT_EQ(saved_solution_line(1, s, 6500, 0, 2.5), plain);
    EXPECT_EQ(saved_solution_line(1, s, 6500, 8000, 0), plain);
    const std::string costed =
        "#1  it 12  area 4.500 m2  scrap 0.250 m2  costo $585000.00  ahorro 1.235 m2  tiempo 3.3s";
    EXPECT_EQ(saved_solution_line(1, s, 6500, 8000, 2.5), costed);
    EXPECT_EQ(costed.size(), 88u);
    EXPECT_EQ(saved_list_extent({plain, costed}), 88 * 8 + 28);
    EXPECT_EQ(saved_list_extent({}), 0);
    EXPECT_EQ(saved_solution_line(17, s, 0, 8000, 2.5).substr(0, 9), "#17  it 1");
    EXPECT_NE(saved_solution_line(1, s, cost_input_or_zero("abc"), 8000, 2.5).find("costo $0.00"),
              std::string::npos);
    EXPECT_EQ(cost_input_or_zero(""), 0.0);
    EXPECT_EQ(cost_input_or_zero("2,5"), 2.5);
}

// The pacing of progress messages: one waits at a time, and once the window
// has taken it the search posts nothing until a frame tick finds nothing new.
TEST(ProgressSignalTest, OneMessageAtATimeAndNoneUntilAnIdleTick) {
    struct Counting : MessagePoster {
        int posts = 0;
        bool post(unsigned) override { return ++posts, true; }
    } queue;
    ProgressSignal signal;
    EXPECT_TRUE(signal.post(queue, WM_RUN_PROGRESS));
    EXPECT_TRUE(signal.post(queue, WM_RUN_PROGRESS));
    EXPECT_EQ(queue.posts, 1);
    // The window takes the message: later payloads wait for the tick.
    signal.take();
    EXPECT_TRUE(signal.post(queue, WM_RUN_PROGRESS));
    EXPECT_EQ(queue.posts, 1);
    EXPECT_TRUE(signal.tick());  // new payload: handled at the tick, still held
    signal.take();
    EXPECT_TRUE(signal.pending());
    EXPECT_FALSE(signal.tick());  // nothing new: released
    EXPECT_FALSE(signal.pending());
    EXPECT_TRUE(signal.post(queue, WM_RUN_PROGRESS));
    EXPECT_EQ(queue.posts, 2);
    // A payload that came while held, then a release: taken by that tick.
    signal.take();
    EXPECT_TRUE(signal.post(queue, WM_RUN_PROGRESS));
    EXPECT_TRUE(signal.tick());
    signal.take();
    EXPECT_FALSE(signal.tick());
    signal.reset();
    EXPECT_TRUE(signal.post(queue, WM_RUN_PROGRESS));
    EXPECT_EQ(queue.posts, 3);

    struct Refusing : MessagePoster {
        bool post(unsigned) override { return false; }
    } refusing;
    ProgressSignal other;
    EXPECT_FALSE(other.post(refusing, WM_RUN_PROGRESS));
    EXPECT_FALSE(other.pending());
}

// True when another thread cannot take the state mutex right now.
bool held_elsewhere(GuiState& state) {
    return std::async(std::launch::async, [&state] {
               const bool got = state.state_mutex.try_lock();
               if (got) state.state_mutex.unlock();
               return !got;
           }).get();
}

// Poster, log and panel that record what the callback did and check that
// it never holds the state mutex while calling them.
struct Harness {
    GuiState state;
    runtest::TablePanel panel;
    std::vector<std::string> log;
    int posts = 0;
    int sleeps = 0;
    int held_calls = 0;
    std::function<void(int)> on_sleep;  // gets the sleep count

    struct Poster : MessagePoster {
        Harness* h = nullptr;
        bool post(unsigned message) override {
            if (held_elsewhere(h->state)) ++h->held_calls;
            if (message == WM_RUN_PROGRESS) ++h->posts;
            return true;
        }
    } poster;

    struct CheckingPanel : PanelSource {
        Harness* h = nullptr;
        std::string text(int id) override {
            if (held_elsewhere(h->state)) ++h->held_calls;
            return h->panel.text(id);
        }
        std::string combo_text(int id) override { return h->panel.combo_text(id); }
        bool checked(int id) override { return h->panel.checked(id); }
    } checking_panel;

    RunContext context{state, poster, nullptr, checking_panel, 8, nullptr, nullptr};

    Harness() {
        poster.h = this;
        checking_panel.h = this;
        context.log = [this](const std::string& line) {
            if (held_elsewhere(state)) ++held_calls;
            log.push_back(line);
        };
        context.sleep = [this](std::chrono::milliseconds step) {
            EXPECT_EQ(step, 120ms);
            if (held_elsewhere(state)) ++held_calls;
            ++sleeps;
            if (on_sleep) on_sleep(sleeps);
        };
    }
};

plv::NestingResult layout_with(int placements, double width = 10) {
    plv::NestingResult r;
    for (int i = 0; i < placements; ++i) {
        plv::Placement p;
        p.shape.outer = {{0, 0}, {width, 0}, {width, 10}, {0, 10}, {0, 0}};
        p.net_area = width * 10;
        r.placements.push_back(p);
    }
    return r;
}

plv::IterationStats stats_of(int iteration) {
    plv::IterationStats s;
    s.iteration = iteration;
    s.iteration_best_score = 100.0 + iteration;
    s.best_score = 90;
    s.improvement = 5;
    return s;
}

TEST(RunProgress, RecordsHistorySavedAndShownLayout) {
    Harness h;
    RunSettings settings;
    EXPECT_TRUE(run_progress(settings, h.context, stats_of(1), layout_with(3), layout_with(2, 20)));
    EXPECT_TRUE(run_progress(settings, h.context, stats_of(2), layout_with(1), layout_with(2, 20)));
    EXPECT_TRUE(run_progress(settings, h.context, stats_of(3), layout_with(4), layout_with(2, 15)));
    std::lock_guard<std::mutex> lock(h.state.state_mutex);
    ASSERT_EQ(h.state.iteration_history.size(), 3u);
    EXPECT_EQ(h.state.iteration_history[2].iteration, 3);
    // First call always saves; the equal second one is dropped; the smaller
    // third one comes first.
    ASSERT_EQ(h.state.saved_solutions.size(), 2u);
    EXPECT_EQ(h.state.saved_solutions[0].iteration, 3);
    EXPECT_EQ(h.state.saved_solutions[1].iteration, 1);
    // The iteration's best is shown, not the best so far.
    EXPECT_EQ(h.state.shown_result.placements.size(), 4u);
    EXPECT_TRUE(h.state.has_result);
    EXPECT_EQ(h.state.live_stats.iteration, 3);
    EXPECT_EQ(h.state.live_stats.iteration_best_score, 103);
    EXPECT_EQ(h.state.live_stats.best_score, 90);
    EXPECT_EQ(h.state.live_stats.improvement, 5);
    // Each new shown layout is noted for the painters.
    EXPECT_EQ(h.state.display_generation, 3u);
    EXPECT_EQ(h.posts, 3);
    EXPECT_EQ(h.sleeps, 0);
    EXPECT_EQ(h.held_calls, 0);
}

TEST(RunProgress, StopRequestedReturnsFalse) {
    Harness h;
    RunSettings settings;
    h.state.stop_requested = true;
    EXPECT_FALSE(run_progress(settings, h.context, stats_of(1), layout_with(1), layout_with(1)));
    EXPECT_EQ(h.posts, 1);
}

TEST(RunProgress, PauseWaitsThenTakesUpEditedSettings) {
    Harness h;
    RunSettings settings;
    settings.options.iterations = 99;
    h.state.pause_requested = true;
    h.on_sleep = [&h](int n) {
        if (n == 1) {
            // Edited during the pause.
            h.panel.set_text(IDC_POPULATION, "0");
            h.panel.set_text(IDC_SPACING, "7");
            h.panel.set_text(IDC_ROTATIONS, "3");
            h.panel.set_text(IDC_MUTATION_PERCENT, "250");
            h.panel.set_text(IDC_SHEET_WIDTH, "1");  // not taken up during a run
        }
        if (n == 3) h.state.pause_requested = false;
    };
    EXPECT_TRUE(run_progress(settings, h.context, stats_of(1), layout_with(1), layout_with(1)));
    EXPECT_EQ(h.sleeps, 3);
    EXPECT_EQ(h.posts, 2);
    EXPECT_EQ(settings.options.population, 1);
    EXPECT_EQ(settings.options.spacing, 7.0);
    EXPECT_EQ(settings.options.rotations, (std::vector<double>{0, 120, 240}));
    EXPECT_EQ(settings.options.mutation_percent, 100.0);
    EXPECT_EQ(settings.options.threads, 3);
    EXPECT_EQ(settings.options.iterations, 99);
    EXPECT_EQ(settings.sheet.width, 3000.0);
    EXPECT_TRUE(h.log.empty());
    EXPECT_EQ(h.held_calls, 0);
}

TEST(RunProgress, UnreadableSettingChangesNothing) {
    Harness h;
    RunSettings settings;
    const plv::IterativeNestingOptions before = settings.options;
    h.state.pause_requested = true;
    h.panel.set_text(IDC_SPACING, "1");
    h.panel.set_text(IDC_ROTATIONS, "8");
    h.panel.set_text(IDC_SHUFFLE_INTENSITY, "abc");
    h.on_sleep = [&h](int) { h.state.pause_requested = false; };
    EXPECT_TRUE(run_progress(settings, h.context, stats_of(1), layout_with(1), layout_with(1)));
    EXPECT_EQ(settings.options.spacing, before.spacing);
    EXPECT_EQ(settings.options.rotations, before.rotations);
    EXPECT_EQ(settings.options.population, before.population);
    ASSERT_EQ(h.log.size(), 1u);
    EXPECT_EQ(h.log[0], "No pude aplicar algun cambio de configuracion; sigo con los valores anteriores.\r\n");
    EXPECT_EQ(h.posts, 2);
    EXPECT_EQ(h.held_calls, 0);
}

TEST(RunProgress, StopDuringPauseEndsWithoutReading) {
    Harness h;
    RunSettings settings;
    h.state.pause_requested = true;
    h.on_sleep = [&h](int n) {
        if (n == 2) {
            h.state.stop_requested = true;
            h.state.pause_requested = false;
        }
    };
    EXPECT_FALSE(run_progress(settings, h.context, stats_of(1), layout_with(1), layout_with(1)));
    EXPECT_EQ(h.sleeps, 2);
    EXPECT_EQ(h.posts, 1);
    EXPECT_TRUE(h.panel.reads().empty());
}

TEST(RunProgress, CoalescedPostsWithASignal) {
    Harness h;
    RunSettings settings;
    ProgressSignal signal;
    h.context.progress = &signal;
    for (int i = 1; i <= 5; ++i) run_progress(settings, h.context, stats_of(i), layout_with(1), layout_with(1));
    EXPECT_EQ(h.posts, 1);
    signal.take();
    run_progress(settings, h.context, stats_of(6), layout_with(1), layout_with(1));
    EXPECT_EQ(h.posts, 1);
    EXPECT_TRUE(signal.tick());
    signal.take();
    EXPECT_FALSE(signal.tick());
    run_progress(settings, h.context, stats_of(7), layout_with(1), layout_with(1));
    EXPECT_EQ(h.posts, 2);
}

}  // namespace
