#pragma once

// The side window "Arbol Evolutivo de Mutaciones" (class PlavorinTreeWindow),
// scrollable both ways.

#include <windows.h>

namespace app {

// Scroll positions and their largest values in pixels; the maxima are set
// by the painter. User-interface thread only.
struct TreeScrollState {
    int x = 0;
    int y = 0;
    int max_x = 0;
    int max_y = 0;
};

TreeScrollState& tree_scroll_state();

LRESULT CALLBACK tree_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Paints the client area into dc and updates the scroll maxima.
void paint_mutation_tree(HWND window, HDC dc);

}  // namespace app
