#pragma once

// The side window "Ahorro por iteracion" (class PlavorinGraphWindow).

#include <windows.h>

namespace app {

LRESULT CALLBACK graph_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Paints the whole client area of the graph window into dc.
void paint_convergence_graph(HWND window, HDC dc);

}  // namespace app
