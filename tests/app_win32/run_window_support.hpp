#pragma once

// The run window tests' fixture: the real main window with the run
// handlers, a short search by default, the "Nesting error" box replaced by
// a recorder that also notes the run flags and buttons as the box opens,
// and waits that pump messages until a run has been handled.

#include <windows.h>

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
#include "app/win32/app_windows.hpp"
#include "app/win32/frame_hooks.hpp"
#include "app/win32/run_control.hpp"
#include "app/win32/run_panel.hpp"

#include "tests/app_win32/window_test_support.hpp"

namespace run_test {

using namespace std::chrono_literals;

// One "Nesting error" box: its text and caption, and what the flags and
// the two run buttons showed when it opened.
struct BoxCall {
    std::string text;
    std::string caption;
    bool running = false;
    bool stop_requested = false;
    bool pause_requested = false;
    bool run_enabled = false;
    std::string run_caption;
    bool pause_enabled = false;
    std::string pause_caption;
};
inline std::vector<BoxCall> g_boxes;

inline void record_box(HWND, const std::string& text, const char* caption) {
    const app::GuiState& state = app::gui_state();
    BoxCall call;
    call.text = text;
    call.caption = caption;
    call.running = state.running.load();
    call.stop_requested = state.stop_requested.load();
    call.pause_requested = state.pause_requested.load();
    HWND run = app::control_handle(app::IDC_RUN);
    HWND pause = app::control_handle(app::IDC_PAUSE);
    call.run_enabled = IsWindowEnabled(run) != 0;
    call.run_caption = app::get_control_text(run);
    call.pause_enabled = IsWindowEnabled(pause) != 0;
    call.pause_caption = app::get_control_text(pause);
    g_boxes.push_back(call);
}

inline std::string fixture(const char* name) {
    return (std::filesystem::path(PLV_TEST_DATA_DIR) / name).string();
}

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
        close_main_window();
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

    // A 120 x 60 rectangle as the whole drawing, then Run; false when the
    // run did not finish in time.
    bool run_drawn_rectangle() {
        app::EditorEntity rect;
        rect.kind = app::EntityKind::rectangle;
        rect.p0 = {0, 0};
        rect.p1 = {120, 60};
        app::editor_state().entities = {rect};
        command(app::IDC_RUN);
        return wait_finished();
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

}  // namespace run_test
