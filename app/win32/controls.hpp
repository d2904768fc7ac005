#pragma once

// The main window's child controls: creation, layout, the splitter under
// the job list, the settings panel's scrolling, the help markers' tooltips
// and the log.

#include <windows.h>

#include <string>
#include <vector>

namespace app {

// Creates every control in table order, the help markers, the tooltip
// window with one tool per marker, and runs the first layout.
void create_controls(HWND main_window);

HWND create_combo_box(HWND parent, int id, const std::vector<std::string>& items);

// EnumFontFamiliesExA callback: sets the flag that lparam points to and
// stops at the first family found.
int CALLBACK font_found_proc(const LOGFONTA* font, const TEXTMETRICA* metrics, DWORD font_type,
                             LPARAM lparam);

// Positions, shows and hides every control from the client size, the job
// list's height and the panel scroll, and moves the markers' tooltip
// rectangles. Does not repaint; callers invalidate.
void layout_controls(HWND main_window);

// Invalidates the whole client area and every control in it. The main
// window clips its children, so invalidating it alone leaves a control that
// a layout moved showing whatever stood at its new place before.
void invalidate_with_controls(HWND main_window);

// Appends UTF-8 text at the end of the log (callers end lines with "\r\n"). Safe
// from worker threads: the messages are handled by the user-interface
// thread.
void append_log(const std::string& text);

// True when it set the cursor: during a splitter drag, or over the band.
bool update_splitter_cursor(HWND main_window);
// True when the panel scroll changed (then laid out and invalidated).
bool scroll_settings_panel(HWND main_window, int delta);

// Splitter steps of the mouse chains; true when they took the message.
bool splitter_button_down(HWND main_window, int x, int y);
bool splitter_mouse_move(HWND main_window, int y);
bool splitter_button_up(HWND main_window);
void splitter_capture_lost();
// On resize: the job list's height kept within the new client height.
void clamp_parts_list_height_to(int client_height);

}  // namespace app
