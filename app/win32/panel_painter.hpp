#pragma once

// The painted part of the main window around its child controls: the
// settings panel, then the canvas.

#include <windows.h>

namespace app {

struct FrameHooks;

void paint_control_panel(HWND window, HDC dc);

// Plugs the main window's painter and the two side windows' procedures
// into the frame.
void install_painter_handlers(FrameHooks& hooks);

}  // namespace app
