#include "app/win32/graph_window.hpp"

#include "app/core/graph_model.hpp"
#include "app/core/gui_state.hpp"
#include "app/win32/app_windows.hpp"
#include "app/win32/buffered_paint.hpp"
#include "app/win32/canvas_painter.hpp"

namespace app {

namespace {

// What the graph keeps between paints, so that a paint reads only the new
// entries and the last 220. User-interface thread only.
ConvergenceGraphView& graph_view() {
    static ConvergenceGraphView view;
    return view;
}

}  // namespace

void paint_convergence_graph(HWND window, HDC dc) {
    RECT client{};
    GetClientRect(window, &client);
    const GraphSnapshot snap = take_graph_snapshot(gui_state(), graph_view());
    draw_paint_list(dc,
                    build_convergence_graph(
                        snap, Rect{client.left, client.top, client.right, client.bottom}),
                    main_window_resources());
}

LRESULT CALLBACK graph_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_PAINT: paint_double_buffered(window, paint_ignoring_failure<paint_convergence_graph>); return 0;
        case WM_ERASEBKGND: return 1;
        case WM_DESTROY: forget_side_window(window); return 0;
        default: return DefWindowProcA(window, message, wparam, lparam);
    }
}

}  // namespace app
