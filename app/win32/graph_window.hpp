#pragma once

// The side window "Ahorro por iteracion" (class PlavorinGraphWindow).

#include <windows.h>

namespace app {

LRESULT CALLBACK graph_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Paints the whole client area of the graph window into dc.
void paint_convergence_graph(HWND window, HDC dc);

// The double-buffered paint shared by both side windows: paints through
// `paint` into an off-screen bitmap copied in one transfer, or straight
// into the window when no bitmap can be made.
void paint_double_buffered(HWND window, void (*paint)(HWND, HDC));

}  // namespace app
