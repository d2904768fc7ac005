// A run after a run on the real main window: what the start of the second
// one clears and resets, and what a start that finds nothing to nest
// leaves alone.

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "app/core/control_ids.hpp"
#include "app/core/editor_model.hpp"
#include "app/core/gui_state.hpp"
#include "app/core/workers.hpp"
#include "app/win32/run_control.hpp"

#include "tests/app_win32/run_window_support.hpp"
#include "tests/app_win32/window_test_support.hpp"

namespace {

using run_test::RunWindow;
using window_test::count_of;

// The parts of the shared state and of the editor that a run start resets.
struct RunView {
    std::size_t history = 0;
    std::vector<std::int32_t> saved_iterations;
    std::int32_t selected_solution = -1;
    app::LiveStats live;
    std::filesystem::path last_output_path;
    bool has_result = false;
    std::size_t shown_placements = 0;
    double zoom = 0;
    double pan_x = 0;
    double pan_y = 0;
    bool dragging = false;
};

RunView run_view() {
    app::GuiState& state = app::gui_state();
    RunView v;
    std::lock_guard<std::mutex> lock(state.state_mutex);
    v.history = state.iteration_history.size();
    for (const app::SavedSolution& s : state.saved_solutions) v.saved_iterations.push_back(s.iteration);
    v.selected_solution = state.selected_solution;
    v.live = state.live_stats;
    v.last_output_path = state.last_output_path;
    v.has_result = state.has_result;
    v.shown_placements = state.shown_result.placements.size();
    const app::EditorState& editor = app::editor_state();
    v.zoom = editor.zoom;
    v.pan_x = editor.pan_x;
    v.pan_y = editor.pan_y;
    v.dragging = editor.dragging;
    return v;
}

class RunRestart : public RunWindow {
protected:
    // A finished run on a drawn rectangle, then a saved solution picked,
    // the view zoomed and panned, and other figures in the live statistics
    // and the saved path.
    void run_once_and_look_around() {
        ASSERT_TRUE(run_drawn_rectangle());
        ASSERT_EQ(history_size(), 3u);
        ASSERT_FALSE(solution_lines().empty());

        SendMessageA(control(app::IDC_SOLUTIONS_LIST), LB_SETCURSEL, 0, 0);
        command(app::IDC_SOLUTIONS_LIST, LBN_SELCHANGE);
        app::EditorState& editor = app::editor_state();
        editor.zoom = 2.5;
        editor.pan_x = 30;
        editor.pan_y = -12;
        editor.dragging = true;
        app::GuiState& state = app::gui_state();
        std::lock_guard<std::mutex> lock(state.state_mutex);
        state.live_stats = app::LiveStats{7, 1.5e6, 1.4e6, 2e5};
        state.last_output_path = "C:\\earlier\\first.dxf";
    }
};

TEST_F(RunRestart, TheSecondRunStartsFromAClearedState) {
    ASSERT_NO_FATAL_FAILURE(run_once_and_look_around());
    const RunView before = run_view();
    ASSERT_EQ(before.selected_solution, 0);
    ASSERT_FALSE(before.saved_iterations.empty());

    set_text(app::IDC_MAX_ITERATIONS, "2");
    set_text(app::IDC_OUTPUT_PATH, "C:\\later\\second.dxf");
    command(app::IDC_RUN);
    // No message has been pumped yet: the run thread waits on its first log
    // line (the drawn part), so this is the state the start left.
    const RunView start = run_view();
    EXPECT_EQ(start.history, 0u);
    EXPECT_TRUE(start.saved_iterations.empty());
    EXPECT_EQ(start.selected_solution, -1);
    EXPECT_EQ(start.live.iteration, 0);
    EXPECT_EQ(start.live.iteration_best_score, 0.0);
    EXPECT_EQ(start.live.best_score, 0.0);
    EXPECT_EQ(start.live.improvement, 0.0);
    EXPECT_EQ(start.last_output_path, std::filesystem::path("C:\\later\\second.dxf"));
    EXPECT_FALSE(start.has_result);
    EXPECT_EQ(start.zoom, 1.0);
    EXPECT_EQ(start.pan_x, 0.0);
    EXPECT_EQ(start.pan_y, 0.0);
    EXPECT_FALSE(start.dragging);
    EXPECT_TRUE(solution_lines().empty());
    EXPECT_EQ(log().rfind("Cargando DXF seleccionados...\r\n", 0), 0u) << log();

    ASSERT_TRUE(wait_finished());
    const RunView done = run_view();
    EXPECT_EQ(done.history, 2u);
    ASSERT_FALSE(done.saved_iterations.empty());
    for (const std::int32_t it : done.saved_iterations) EXPECT_LE(it, 2);
    EXPECT_EQ(count_of(log(), "Listo.\r\n"), 1) << log();
    EXPECT_NE(log().find("Iteraciones ejecutadas: 2\r\n"), std::string::npos) << log();
}

TEST_F(RunRestart, AStartWithNothingToNestLeavesTheLastRunAsItWas) {
    ASSERT_NO_FATAL_FAILURE(run_once_and_look_around());
    const RunView before = run_view();
    const std::string log_before = log();
    const std::vector<std::string> lines_before = solution_lines();
    set_text(app::IDC_OUTPUT_PATH, "C:\\later\\second.dxf");
    app::editor_state().entities.clear();

    try {
        app::run_nesting(window_);
        FAIL() << "started";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "Agrega una carpeta, archivos DXF o dibuja una pieza cerrada primero.");
    }
    const RunView after = run_view();
    EXPECT_EQ(after.history, before.history);
    EXPECT_EQ(after.saved_iterations, before.saved_iterations);
    EXPECT_EQ(after.selected_solution, before.selected_solution);
    EXPECT_EQ(after.live.iteration, before.live.iteration);
    EXPECT_EQ(after.live.best_score, before.live.best_score);
    EXPECT_EQ(after.last_output_path, before.last_output_path);
    EXPECT_TRUE(after.has_result);
    EXPECT_EQ(after.shown_placements, before.shown_placements);
    EXPECT_EQ(after.zoom, before.zoom);
    EXPECT_EQ(after.pan_x, before.pan_x);
    EXPECT_EQ(after.pan_y, before.pan_y);
    EXPECT_EQ(after.dragging, before.dragging);
    EXPECT_EQ(log(), log_before);
    EXPECT_EQ(solution_lines(), lines_before);
    expect_idle_buttons();
    EXPECT_EQ(app::worker_tracker().live(app::WorkerKind::run), 0);
    app::editor_state().dragging = false;
}

}  // namespace
