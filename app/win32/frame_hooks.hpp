#pragma once

// The handlers that the main window's routing hands messages and commands
// to. The frame itself handles start-up, layout, splitter, panel scrolling,
// control colours, owner-drawn buttons and shutdown; everything else belongs
// to the parts of the program that own the behaviour (job list, run control,
// preview, drawing editor, save, painters, side windows), which fill in their
// entries in install_part_handlers(). An empty entry does nothing.

#include <windows.h>
#include <commctrl.h>

#include "app/core/editor_host.hpp"

#include <string>

namespace app {

// A step of a mouse chain, with the message decoded once by the routing:
// true when it handled the message, which ends the chain.
using PointerStep = bool (*)(HWND window, const PointerEvent& pointer);
using WindowAction = void (*)(HWND window);

struct FrameHooks {
    // Painting of the main window's client area into the given device
    // context (panel, and through it the canvas).
    void (*paint_control_panel)(HWND window, HDC dc) = nullptr;
    // Editor state the owner-drawn buttons show; without an editor the
    // start state (tool 0, grid visible) is drawn.
    int (*current_editor_tool)() = nullptr;
    bool (*grid_visible)() = nullptr;

    // Job list.
    void (*parts_list_item_changed)(HWND window, const NMLISTVIEW* change) = nullptr;
    WindowAction add_dxf_folder = nullptr;  // may throw std::exception
    WindowAction add_dxf_files = nullptr;
    WindowAction import_quantities_csv = nullptr;
    WindowAction remove_selected_files = nullptr;
    WindowAction apply_quantity = nullptr;

    // Runs, previews and saved solutions.
    WindowAction run_nesting = nullptr;  // may throw std::exception
    WindowAction request_stop = nullptr;
    WindowAction toggle_pause = nullptr;
    WindowAction show_saved_solution = nullptr;
    WindowAction on_run_progress = nullptr;
    WindowAction on_run_finished = nullptr;
    WindowAction on_preview_ready = nullptr;

    // Saving the result.
    WindowAction save_result_dxf = nullptr;  // may throw std::exception
    // The save dialog: returns the chosen path, empty when cancelled.
    std::string (*choose_dxf_save_path)(HWND window, const std::string& suggested) = nullptr;

    // Drawing editor.
    void (*set_editor_tool)(HWND window, int tool) = nullptr;
    // With an entity selected: undo snapshot, delete it, true.
    bool (*delete_selected_entity)(HWND window) = nullptr;
    WindowAction undo_last_edit = nullptr;
    WindowAction fit_view = nullptr;
    WindowAction clear_drawing = nullptr;
    WindowAction toggle_grid = nullptr;
    bool (*update_canvas_cursor)(HWND window) = nullptr;
    bool (*handle_editor_key)(HWND window, int virtual_key) = nullptr;  // false: declined
    PointerStep pick_dimension_click = nullptr;     // single click
    PointerStep pick_dimension_double_click = nullptr;
    PointerStep editor_left_button_down = nullptr;
    PointerStep editor_left_button_up = nullptr;    // also the middle button
    PointerStep edit_text_entity_at = nullptr;
    PointerStep finish_polyline_double_click = nullptr;
    PointerStep reset_view_from_canvas = nullptr;
    PointerStep editor_right_button_down = nullptr;
    PointerStep editor_middle_button_down = nullptr;
    PointerStep editor_middle_double_click = nullptr;
    PointerStep editor_mouse_drag = nullptr;
    PointerStep editor_hover = nullptr;
    PointerStep zoom_canvas_at_cursor = nullptr;
    WindowAction editor_capture_lost = nullptr;

    // Window procedures of the two side windows; without one a plain
    // window that only forgets its handle when destroyed.
    WNDPROC graph_window_proc = nullptr;
    WNDPROC tree_window_proc = nullptr;
};

FrameHooks& frame_hooks();

// Every part of the program that plugs into the frame adds its line here.
void install_part_handlers(FrameHooks& hooks);

}  // namespace app
