#include "app/win32/preview_load.hpp"

#include "app/core/control_ids.hpp"
#include "app/core/editor_model.hpp"
#include "app/core/gui_state.hpp"
#include "app/core/parts_loading.hpp"
#include "app/core/preview_layout.hpp"
#include "app/core/workers.hpp"
#include "app/win32/app_windows.hpp"
#include "app/win32/controls.hpp"
#include "app/win32/run_control.hpp"
#include "app/win32/run_panel.hpp"

#include <exception>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

namespace app {

void start_preview_load(HWND main_window) {
    GuiState& state = gui_state();
    RunSettings snapshot;
    snapshot.files = state.selected_files;
    snapshot.drawing = editor_state().entities;
    try {
        WindowControlsPanel panel;
        read_loading_settings(panel, std::thread::hardware_concurrency(), snapshot);
    } catch (const std::exception&) {
        fail_preview_start(state);
        InvalidateRect(main_window, nullptr, FALSE);
        return;
    }

    const std::int32_t generation = state.preview_generation.fetch_add(1) + 1;
    begin_preview(state, snapshot.files.empty());
    EditorState& editor = editor_state();
    editor.zoom = 1.0;
    editor.pan_x = 0.0;
    editor.pan_y = 0.0;
    refresh_saved_solutions_list();
    InvalidateRect(main_window, nullptr, FALSE);
    if (snapshot.files.empty()) return;

    WorkerTracker::Ticket ticket = worker_tracker().begin(WorkerKind::preview);
    std::thread([main_window, settings = std::move(snapshot), generation,
                 ticket = std::move(ticket)]() mutable {
        preview_thread_main(main_window, std::move(settings), generation);
        ticket.finish();
    }).detach();
}

void preview_thread_main(HWND main_window, RunSettings settings, std::int32_t generation) {
    MainWindowPoster poster(main_window);
    run_preview([&settings] { return load_selected_parts_parallel(settings); }, generation,
                gui_state(), poster);
}

void on_preview_ready(HWND main_window) {
    GuiState& state = gui_state();
    std::string message;
    {
        std::lock_guard<std::mutex> lock(state.state_mutex);
        message = state.preview_message;
    }
    if (!message.empty()) append_log(message + "\r\n");
    InvalidateRect(main_window, nullptr, FALSE);
}

}  // namespace app
