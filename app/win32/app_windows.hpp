#pragma once

// The main window's handles and drawing resources: the Windows half of the
// shared application state, used on the user-interface thread only (workers
// reach the log control through append_log and nothing else).

#include <windows.h>

#include <array>

#include "app/core/control_ids.hpp"

namespace Gdiplus {
class Bitmap;
}

namespace app {

struct AppWindows {
    HWND main_window = nullptr;
    HWND graph_window = nullptr;  // "Ahorro por iteracion"
    HWND tree_window = nullptr;   // "Arbol Evolutivo de Mutaciones"
    HICON app_icon = nullptr;     // 64 x 64, set on the main window
    Gdiplus::Bitmap* logo_bitmap = nullptr;
    ULONG_PTR gdiplus_token = 0;  // 0 while GDI+ is not started
    HFONT title_font = nullptr;
    HFONT ui_font = nullptr;
    HFONT small_font = nullptr;
    HFONT drawing_font = nullptr;
    HBRUSH panel_brush = nullptr;  // window_colour::panel
    HBRUSH edit_brush = nullptr;   // window_colour::edit
    HBRUSH list_brush = nullptr;   // window_colour::list
    HWND tooltip_window = nullptr;
    // One per control id, written while the main window is created.
    std::array<HWND, kControlCount> controls{};
};

// Made on first use and never destroyed, like the shared state.
AppWindows& app_windows();

// A side window being destroyed: whichever of graph_window and
// tree_window holds it is cleared, so that the next show makes a new one.
void forget_side_window(HWND window);

// The handle of control `id` (100 .. 154), null when it does not exist.
HWND control_handle(int id);

}  // namespace app
