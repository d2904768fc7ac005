#include "app/win32/graph_window.hpp"

#include "app/core/graph_model.hpp"
#include "app/core/gui_state.hpp"
#include "app/win32/app_windows.hpp"
#include "app/win32/canvas_painter.hpp"

#include <algorithm>

namespace app {

void paint_convergence_graph(HWND window, HDC dc) {
    RECT client{};
    GetClientRect(window, &client);
    const GraphSnapshot snap = take_graph_snapshot(gui_state());
    draw_paint_list(dc,
                    build_convergence_graph(
                        snap, Rect{client.left, client.top, client.right, client.bottom}),
                    main_window_resources());
}

namespace {

// Nothing may unwind through the system's code that called the window
// procedure; a failed paint leaves what was drawn so far.
void paint_guarded(void (*paint)(HWND, HDC), HWND window, HDC dc) {
    try {
        paint(window, dc);
    } catch (...) {
    }
}

}  // namespace

void paint_double_buffered(HWND window, void (*paint)(HWND, HDC)) {
    PAINTSTRUCT ps{};
    HDC dc = BeginPaint(window, &ps);
    if (dc == nullptr) return;
    RECT rc{};
    GetClientRect(window, &rc);
    const int width = std::max<int>(1, rc.right - rc.left);
    const int height = std::max<int>(1, rc.bottom - rc.top);
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP bitmap = memory != nullptr ? CreateCompatibleBitmap(dc, width, height) : nullptr;
    if (memory != nullptr && bitmap != nullptr) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        paint_guarded(paint, window, memory);
        BitBlt(dc, 0, 0, width, height, memory, 0, 0, SRCCOPY);
        SelectObject(memory, old);
        DeleteObject(bitmap);
        DeleteDC(memory);
    } else {
        if (bitmap != nullptr) DeleteObject(bitmap);
        if (memory != nullptr) DeleteDC(memory);
        paint_guarded(paint, window, dc);
    }
    EndPaint(window, &ps);
}

LRESULT CALLBACK graph_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_PAINT: paint_double_buffered(window, paint_convergence_graph); return 0;
        case WM_ERASEBKGND: return 1;
        case WM_DESTROY:
            if (app_windows().graph_window == window) app_windows().graph_window = nullptr;
            return 0;
        default: return DefWindowProcA(window, message, wparam, lparam);
    }
}

}  // namespace app
