#include "app/win32/run_control.hpp"

#include "app/core/control_ids.hpp"
#include "app/core/drawing_to_parts.hpp"
#include "app/core/editor_model.hpp"
#include "app/core/gui_state.hpp"
#include "app/core/progress.hpp"
#include "app/core/run_settings.hpp"
#include "app/core/run_summary.hpp"
#include "app/core/run_thread.hpp"
#include "app/core/workers.hpp"
#include "app/win32/app_windows.hpp"
#include "app/win32/controls.hpp"
#include "app/win32/file_dialogs.hpp"
#include "app/win32/run_panel.hpp"
#include "dxf/paths.hpp"

#include <filesystem>
#include <mutex>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace app {

namespace {

void show_error_box(HWND owner, const std::string& text, const char* caption) {
    message_box_utf8(owner, text, caption, MB_ICONERROR);
}

void set_button(int id, bool enabled, const char* caption) {
    HWND button = control_handle(id);
    if (button == nullptr) return;
    EnableWindow(button, enabled ? TRUE : FALSE);
    if (caption != nullptr) SetWindowTextA(button, caption);
    InvalidateRect(button, nullptr, FALSE);
}

void invalidate_run_views(HWND main_window) {
    InvalidateRect(main_window, nullptr, FALSE);
    const AppWindows& windows = app_windows();
    if (windows.graph_window != nullptr) InvalidateRect(windows.graph_window, nullptr, FALSE);
    if (windows.tree_window != nullptr) InvalidateRect(windows.tree_window, nullptr, FALSE);
}

void log_line(const std::string& text) { append_log(text); }

void sleep_step(std::chrono::milliseconds step) { std::this_thread::sleep_for(step); }

void run_thread_main(HWND main_window, RunSettings& settings) {
    MainWindowPoster poster(main_window);
    WindowControlsPanel panel;
    RunContext context{gui_state(), poster, log_line, panel, std::thread::hardware_concurrency(), sleep_step,
                       &run_progress_signal()};
    run_thread_body(settings, context);
}

}  // namespace

RunErrorBox& run_error_box() {
    static RunErrorBox box = show_error_box;
    return box;
}

void run_nesting(HWND main_window) {
    WindowControlsPanel panel;
    run_nesting(main_window, panel);
}

void run_nesting(HWND main_window, PanelSource& panel) {
    GuiState& state = gui_state();
    RunSettings settings = read_run_settings(panel, state.selected_files, finished_entities(editor_state()),
                                             std::thread::hardware_concurrency());
    // The parts made here only tell whether there is anything to nest.
    if (settings.files.empty() && editor_entities_to_parts(settings.drawing).empty())
        throw std::runtime_error("Agrega una carpeta, archivos DXF o dibuja una pieza cerrada primero.");
    // Every conversion that can fail happens before anything changes, so a
    // failed start leaves the log, the flags, the buttons and the state alone.
    std::filesystem::path output_path = plv::path_from_utf8(settings.output_path);

    if (HWND log = control_handle(IDC_LOG)) SetWindowTextA(log, "");
    state.stop_requested.store(false);
    state.pause_requested.store(false);
    state.running.store(true);
    run_progress_signal().reset();
    {
        std::lock_guard<std::mutex> lock(state.state_mutex);
        state.iteration_history.clear();
        state.saved_solutions.clear();
        state.selected_solution = -1;
        state.live_stats = LiveStats{};
        state.last_output_path = std::move(output_path);
        state.has_result = false;
        note_display_change(state);
        EditorState& editor = editor_state();
        editor.zoom = 1.0;
        editor.pan_x = 0.0;
        editor.pan_y = 0.0;
        editor.dragging = false;
    }
    refresh_saved_solutions_list();
    log_run_start(settings, process_gpu(), log_line);
    set_button(IDC_RUN, true, "Detener solver");
    set_button(IDC_PAUSE, true, "Pausar");
    InvalidateRect(main_window, nullptr, FALSE);

    WorkerTracker::Ticket ticket = worker_tracker().begin(WorkerKind::run);
    try {
        std::thread([main_window, settings = std::move(settings), ticket = std::move(ticket)]() mutable {
            {
                RunSettings own = std::move(settings);
                run_thread_main(main_window, own);
            }
            ticket.finish();
        }).detach();
    } catch (const std::system_error& e) {
        // No thread: end the run the way a failed one ends, so the buttons
        // and flags come back to idle through the finished message.
        {
            std::lock_guard<std::mutex> lock(state.state_mutex);
            state.run_message = std::string("Error: ") + e.what() + "\r\n";
            state.run_succeeded = false;
        }
        PostMessageA(main_window, WM_RUN_FINISHED, 0, 0);
    }
}

void request_stop(HWND) {
    GuiState& state = gui_state();
    state.stop_requested.store(true);
    state.pause_requested.store(false);
    set_button(IDC_RUN, false, "Deteniendo...");
    set_button(IDC_PAUSE, false, nullptr);
    append_log("Solicitud de detencion recibida. El solver se detiene sin guardar.\r\n");
}

void toggle_pause(HWND main_window) {
    GuiState& state = gui_state();
    if (!state.running.load()) return;
    const bool was_paused = state.pause_requested.load();
    state.pause_requested.store(!was_paused);
    set_button(IDC_PAUSE, true, was_paused ? "Pausar" : "Continuar");
    append_log(was_paused ? "Solver reanudado. Aplico los parametros de busqueda editados.\r\n"
                          : "Solver pausado. Podes inspeccionar, guardar y cambiar parametros de busqueda.\r\n");
    InvalidateRect(main_window, nullptr, FALSE);
}

void show_saved_solution(HWND main_window) {
    GuiState& state = gui_state();
    HWND list = control_handle(IDC_SOLUTIONS_LIST);
    const LRESULT index = list != nullptr ? SendMessageA(list, LB_GETCURSEL, 0, 0) : LB_ERR;
    if (state.running.load()) {
        {
            std::lock_guard<std::mutex> lock(state.state_mutex);
            state.selected_solution = -1;
        }
        if (list != nullptr) SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
        append_log("El solver sigue en vivo; detene para revisar una solucion guardada de la lista.\r\n");
        return;
    }
    bool shown = false;
    {
        std::lock_guard<std::mutex> lock(state.state_mutex);
        if (index >= 0 && static_cast<std::size_t>(index) < state.saved_solutions.size()) {
            state.selected_solution = static_cast<std::int32_t>(index);
            state.shown_result = state.saved_solutions[static_cast<std::size_t>(index)].layout;
            state.has_result = true;
            note_display_change(state);
            shown = true;
        }
    }
    if (shown) append_log("Solucion de la lista cargada en la vista previa. Usa Guardar DXF para exportarla.\r\n");
    InvalidateRect(main_window, nullptr, FALSE);
}

void refresh_saved_solutions_list() {
    HWND list = control_handle(IDC_SOLUTIONS_LIST);
    if (list == nullptr) return;
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    const double price = cost_input_or_zero(get_control_text(control_handle(IDC_PRICE_PER_KG)));
    const double density = cost_input_or_zero(get_control_text(control_handle(IDC_DENSITY)));
    const double thickness = cost_input_or_zero(get_control_text(control_handle(IDC_THICKNESS)));
    GuiState& state = gui_state();
    std::vector<std::string> lines;
    std::int32_t selected = -1;
    {
        // Only the figures of the lines are needed, not copies of the layouts.
        std::lock_guard<std::mutex> lock(state.state_mutex);
        lines.reserve(state.saved_solutions.size());
        for (std::size_t i = 0; i < state.saved_solutions.size(); ++i)
            lines.push_back(saved_solution_line(i + 1, state.saved_solutions[i], price, density, thickness));
        selected = state.selected_solution;
    }
    for (const std::string& line : lines) SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
    SendMessageA(list, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(saved_list_extent(lines)), 0);
    if (selected >= 0 && static_cast<std::size_t>(selected) < lines.size())
        SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(selected), 0);
}

namespace {

// The frame of the run views: while progress comes, the views are brought
// up to date at most once per tick.
constexpr UINT_PTR kProgressFrameTimer = 0x5052;
constexpr UINT kProgressFrameMs = 40;

void take_progress(HWND main_window);

void CALLBACK progress_frame_tick(HWND main_window, UINT, UINT_PTR timer, DWORD) {
    if (run_progress_signal().tick()) {
        take_progress(main_window);
    } else {
        KillTimer(main_window, timer);
    }
}

void take_progress(HWND main_window) {
    run_progress_signal().take();
    refresh_saved_solutions_list();
    invalidate_run_views(main_window);
    // Until the next tick the run posts nothing, so the window's input and
    // painting are not kept waiting behind progress messages. Without a
    // timer the next progress posts again, so none is lost.
    if (SetTimer(main_window, kProgressFrameTimer, kProgressFrameMs, progress_frame_tick) == 0)
        run_progress_signal().reset();
}

}  // namespace

void on_run_progress(HWND main_window) { take_progress(main_window); }

void on_run_finished(HWND main_window) {
    GuiState& state = gui_state();
    // Whatever progress came since the last frame is shown with the end.
    run_progress_signal().take();
    std::string message;
    bool succeeded = false;
    {
        std::lock_guard<std::mutex> lock(state.state_mutex);
        message = state.run_message;
        succeeded = state.run_succeeded;
    }
    append_log(message);
    refresh_saved_solutions_list();
    state.running.store(false);
    state.stop_requested.store(false);
    state.pause_requested.store(false);
    set_button(IDC_RUN, true, "Ejecutar nesting");
    set_button(IDC_PAUSE, false, "Pausar");
    if (!succeeded) run_error_box()(main_window, message, "Nesting error");
    invalidate_run_views(main_window);
}

void install_run_handlers(FrameHooks& hooks) {
    hooks.run_nesting = run_nesting;
    hooks.request_stop = request_stop;
    hooks.toggle_pause = toggle_pause;
    hooks.show_saved_solution = show_saved_solution;
    hooks.on_run_progress = on_run_progress;
    hooks.on_run_finished = on_run_finished;
}

}  // namespace app
