#include "app/win32/editor_handlers.hpp"

#include "app/core/control_ids.hpp"
#include "app/core/editor_dimensions.hpp"
#include "app/core/editor_input.hpp"
#include "app/core/editor_model.hpp"
#include "app/core/editor_text.hpp"
#include "app/core/gui_state.hpp"
#include "app/core/shown_layout.hpp"
#include "app/win32/app_windows.hpp"
#include "app/win32/text_window.hpp"
#include "app/win32/value_window.hpp"

namespace app {

std::shared_ptr<const CanvasLayout> Win32EditorHost::display_layout() {
    return take_shown_layout(gui_state(), kept_canvas_layout());
}

Rect Win32EditorHost::client_rect() {
    RECT r{};
    GetClientRect(window_, &r);
    return Rect{r.left, r.top, r.right, r.bottom};
}

void Win32EditorHost::focus_main() { SetFocus(window_); }
void Win32EditorHost::capture_mouse() { SetCapture(window_); }
void Win32EditorHost::release_mouse() { ReleaseCapture(); }

void Win32EditorHost::set_cursor(CursorShape shape) {
    WORD id = 32512;  // IDC_ARROW
    switch (shape) {
        case CursorShape::arrow: id = 32512; break;
        case CursorShape::ibeam: id = 32513; break;
        case CursorShape::cross: id = 32515; break;
        case CursorShape::size_all: id = 32646; break;
    }
    SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(id)));
}

void Win32EditorHost::invalidate_canvas() {
    const Rect c = canvas_rect(client_rect());
    const RECT r{c.left, c.top, c.right, c.bottom};
    InvalidateRect(window_, &r, FALSE);
}

void Win32EditorHost::invalidate_window() {
    InvalidateRect(window_, nullptr, FALSE);
    // The main window clips its children: the buttons that show the current
    // tool and the grid repaint only when told to.
    for (int id = kFirstControlId; id <= kLastControlId; ++id) {
        if (editor_tool_of_button(id) < 0 && id != IDC_GRID) continue;
        if (HWND button = control_handle(id)) InvalidateRect(button, nullptr, FALSE);
    }
}

bool Win32EditorHost::ctrl_or_alt_down() { return GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0; }

void Win32EditorHost::set_grid_caption(bool grid_on) {
    HWND button = control_handle(IDC_GRID);
    if (button != nullptr) SetWindowTextA(button, grid_on ? "Grilla ON" : "Grilla OFF");
}

WindowAnswer Win32EditorHost::ask_dimension_value(const std::string& initial, std::string& answer) {
    return ask_value(window_, initial, answer);
}

WindowAnswer Win32EditorHost::ask_text_fields(TextWindowFields& fields) {
    return ask_text_style(window_, fields);
}

namespace {

void on_set_tool(HWND window, int tool) {
    Win32EditorHost host(window);
    set_editor_tool(editor_state(), host, tool);
}

bool on_delete_selected(HWND window) {
    Win32EditorHost host(window);
    return erase_selected_entity(editor_state(), host);
}

// An editor button's command over its rule.
template <void (*Rule)(EditorState&, EditorHost&)>
void button_action(HWND window) {
    Win32EditorHost host(window);
    Rule(editor_state(), host);
}

bool on_set_cursor(HWND window) {
    POINT p{};
    if (!GetCursorPos(&p) || !ScreenToClient(window, &p)) return false;
    Win32EditorHost host(window);
    const std::optional<CursorShape> shape = canvas_cursor(editor_state(), host.client_rect(), p.x, p.y);
    if (!shape) return false;
    host.set_cursor(*shape);
    return true;
}

bool on_key(HWND window, int virtual_key) {
    Win32EditorHost host(window);
    return handle_editor_key(editor_state(), host, virtual_key);
}

// A step of the routing over an editor rule that reads the pointer.
template <bool (*Rule)(EditorState&, EditorHost&, const PointerEvent&)>
bool pointer_step(HWND window, const PointerEvent& pointer) {
    Win32EditorHost host(window);
    return Rule(editor_state(), host, pointer);
}

// A step over an editor rule that needs no position.
template <bool (*Rule)(EditorState&, EditorHost&)>
bool press_step(HWND window, const PointerEvent&) {
    Win32EditorHost host(window);
    return Rule(editor_state(), host);
}

// A press that picks a dimension ends the chain before the editor's press
// handler, which is where the canvas takes the keyboard; it takes it here
// too, or Delete would reach a settings field instead of the dimension.
template <bool DoubleClick>
bool pick_and_focus(HWND window, const PointerEvent& pointer) {
    Win32EditorHost host(window);
    if (!pick_dimension_at(editor_state(), host, pointer, DoubleClick)) return false;
    host.focus_main();
    return true;
}

bool on_middle_double_click(HWND window, const PointerEvent&) {
    Win32EditorHost host(window);
    editor_middle_double_click(editor_state(), host);
    return true;
}

bool on_hover(HWND window, const PointerEvent& pointer) {
    Win32EditorHost host(window);
    editor_hover(editor_state(), host, pointer);
    return false;  // the move still gets default processing
}

void on_capture_lost(HWND) { editor_capture_lost(editor_state()); }

int current_tool() { return editor_state().tool; }
bool grid_shown() { return editor_state().grid_visible; }

}  // namespace

void install_editor_handlers(FrameHooks& hooks) {
    hooks.current_editor_tool = current_tool;
    hooks.grid_visible = grid_shown;
    hooks.set_editor_tool = on_set_tool;
    hooks.delete_selected_entity = on_delete_selected;
    hooks.undo_last_edit = button_action<editor_undo>;
    hooks.fit_view = button_action<editor_fit_view>;
    hooks.clear_drawing = button_action<editor_clear_drawing>;
    hooks.toggle_grid = button_action<toggle_grid>;
    hooks.update_canvas_cursor = on_set_cursor;
    hooks.handle_editor_key = on_key;
    hooks.pick_dimension_click = pick_and_focus<false>;
    hooks.pick_dimension_double_click = pick_and_focus<true>;
    hooks.editor_left_button_down = pointer_step<editor_left_button_down>;
    hooks.editor_left_button_up = press_step<editor_left_button_up>;
    hooks.edit_text_entity_at = pointer_step<edit_text_entity_at>;
    hooks.finish_polyline_double_click = press_step<finish_polyline>;
    hooks.reset_view_from_canvas = pointer_step<reset_view_from_canvas>;
    hooks.editor_right_button_down = press_step<editor_right_button_down>;
    hooks.editor_middle_button_down = pointer_step<editor_middle_button_down>;
    hooks.editor_middle_double_click = on_middle_double_click;
    hooks.editor_mouse_drag = pointer_step<editor_mouse_drag>;
    hooks.editor_hover = on_hover;
    hooks.zoom_canvas_at_cursor = pointer_step<zoom_canvas_at_cursor>;
    hooks.editor_capture_lost = on_capture_lost;
}

}  // namespace app
