#pragma once

// The editor's tools and input: presses per tool, drags, hover tracking,
// release, the middle and right buttons, keys, tool changes, the grid
// button and the cursor. Positions are client pixels of the main window.
// Handlers that the window's routing chains return whether they took the
// message.

#include "app/core/editor_host.hpp"
#include "app/core/editor_model.hpp"

#include <cstdint>
#include <optional>

namespace app {

// Virtual-key codes the editor reacts to (the Windows values).
namespace EditorKey {
inline constexpr int back = 0x08;
inline constexpr int enter = 0x0D;
inline constexpr int escape = 0x1B;
inline constexpr int space = 0x20;
inline constexpr int del = 0x2E;
inline constexpr int f9 = 0x78;
}  // namespace EditorKey

bool editor_left_button_down(EditorState& state, EditorHost& host, const PointerEvent& pointer);
bool editor_mouse_drag(EditorState& state, EditorHost& host, const PointerEvent& pointer);
void editor_hover(EditorState& state, EditorHost& host, const PointerEvent& pointer);
// Also the middle button's release.
bool editor_left_button_up(EditorState& state, EditorHost& host);
bool editor_middle_button_down(EditorState& state, EditorHost& host, const PointerEvent& pointer);
// Anywhere in the window: the view back to zoom 1 without pan.
void editor_middle_double_click(EditorState& state, EditorHost& host);
bool editor_right_button_down(EditorState& state, EditorHost& host);
void editor_capture_lost(EditorState& state);
bool handle_editor_key(EditorState& state, EditorHost& host, int virtual_key);

bool finish_polyline(EditorState& state, EditorHost& host);
bool finish_shape(EditorState& state, EditorHost& host);
void set_editor_tool(EditorState& state, EditorHost& host, std::int32_t tool);

// With an entity selected: undo snapshot, delete it, repaint; true. Without
// a selection false (Delete, Backspace, E and the erase button).
bool erase_selected_entity(EditorState& state, EditorHost& host);
void editor_undo(EditorState& state, EditorHost& host);
void editor_clear_drawing(EditorState& state, EditorHost& host);
void editor_fit_view(EditorState& state, EditorHost& host);
void toggle_grid(EditorState& state, EditorHost& host);
bool reset_view_from_canvas(EditorState& state, EditorHost& host, const PointerEvent& pointer);
// Wheel zoom at the cursor.
bool zoom_canvas_at_cursor(EditorState& state, EditorHost& host, const PointerEvent& pointer);

// The cursor over the canvas for the current tool; none outside it.
std::optional<CursorShape> canvas_cursor(const EditorState& state, const Rect& client, int x, int y);

}  // namespace app
