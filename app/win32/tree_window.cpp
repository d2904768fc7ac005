#include "app/win32/tree_window.hpp"

#include "app/core/control_ids.hpp"
#include "app/core/gui_state.hpp"
#include "app/core/tree_model.hpp"
#include "app/win32/app_windows.hpp"
#include "app/win32/buffered_paint.hpp"
#include "app/win32/canvas_painter.hpp"
#include "app/win32/run_panel.hpp"

#include <windowsx.h>

#include <algorithm>
#include <limits>
#include <string>

namespace app {

namespace {

static_assert(static_cast<int>(ScrollRequest::line_up) == SB_LINEUP);
static_assert(static_cast<int>(ScrollRequest::line_down) == SB_LINEDOWN);
static_assert(static_cast<int>(ScrollRequest::page_up) == SB_PAGEUP);
static_assert(static_cast<int>(ScrollRequest::page_down) == SB_PAGEDOWN);
static_assert(static_cast<int>(ScrollRequest::thumb_track) == SB_THUMBTRACK);

// Posted to the tree window by a paint that changed the scroll maxima: the
// bars then get their new ranges outside the paint, since setting a range
// can resize the client area and re-enter the window procedure.
constexpr UINT kRefreshScrollBars = WM_APP + 0x40;

std::string control_text(int id) { return get_control_text(control_handle(id)); }

void set_bar_range(HWND window, int bar, int maximum, int client_extent, int position) {
    SCROLLINFO si{};
    si.cbSize = sizeof(si);
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    si.nMin = 0;
    const long long top = static_cast<long long>(maximum) + client_extent;
    si.nMax = static_cast<int>(std::min<long long>(top, std::numeric_limits<int>::max()));
    si.nPage = static_cast<UINT>(client_extent > 0 ? client_extent : 0);
    si.nPos = position;
    SetScrollInfo(window, bar, &si, TRUE);
}

void set_ranges(HWND window, int client_width, int client_height) {
    const TreeScrollState& st = tree_scroll_state();
    set_bar_range(window, SB_VERT, st.max_y, client_height, st.y);
    set_bar_range(window, SB_HORZ, st.max_x, client_width, st.x);
}

// The thumb's drag position with all 32 bits (the message carries 16).
int track_position(HWND window, int bar, WPARAM wparam) {
    SCROLLINFO si{};
    si.cbSize = sizeof(si);
    si.fMask = SIF_TRACKPOS;
    if (GetScrollInfo(window, bar, &si)) return si.nTrackPos;
    return HIWORD(wparam);
}

void on_scroll(HWND window, int bar, WPARAM wparam) {
    TreeScrollState& st = tree_scroll_state();
    int& position = bar == SB_VERT ? st.y : st.x;
    const int maximum = bar == SB_VERT ? st.max_y : st.max_x;
    const int request = LOWORD(wparam);
    const int track = request == SB_THUMBTRACK ? track_position(window, bar, wparam) : 0;
    position = tree_scroll_after(request, position, track, maximum);
    SetScrollPos(window, bar, position, TRUE);
    InvalidateRect(window, nullptr, FALSE);
}

// The tree's layout between paints, so that a paint reads only the new
// entries and those in view. User-interface thread only.
MutationTreeView& tree_view() {
    static MutationTreeView view;
    return view;
}

}  // namespace

TreeScrollState& tree_scroll_state() {
    static TreeScrollState state;
    return state;
}

void paint_mutation_tree(HWND window, HDC dc) {
    RECT client{};
    GetClientRect(window, &client);
    TreeScrollState& st = tree_scroll_state();
    const TreeSlice slice = take_tree_slice(gui_state(), tree_view(), client.bottom - client.top, st.y);
    const std::string header =
        tree_header_text(control_text(IDC_POPULATION), control_text(IDC_MUTATION_PERCENT),
                         control_text(IDC_SHUFFLE_PERCENT), control_text(IDC_SHUFFLE_INTENSITY));
    const TreePaint tree =
        build_mutation_tree_slice(slice, header, Rect{client.left, client.top, client.right, client.bottom}, st.x, st.y);
    draw_paint_list(dc, tree.paint, main_window_resources());
    if (tree.has_maxima && (tree.scroll_max_x != st.max_x || tree.scroll_max_y != st.max_y)) {
        st.max_x = tree.scroll_max_x;
        st.max_y = tree.scroll_max_y;
        PostMessageA(window, kRefreshScrollBars, 0, 0);
    }
}

LRESULT CALLBACK tree_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_SIZE:
            set_ranges(window, LOWORD(lparam), HIWORD(lparam));
            return DefWindowProcA(window, message, wparam, lparam);
        case kRefreshScrollBars: {
            RECT rc{};
            GetClientRect(window, &rc);
            set_ranges(window, rc.right - rc.left, rc.bottom - rc.top);
            return 0;
        }
        case WM_VSCROLL: on_scroll(window, SB_VERT, wparam); return 0;
        case WM_HSCROLL: on_scroll(window, SB_HORZ, wparam); return 0;
        case WM_MOUSEWHEEL: {
            TreeScrollState& st = tree_scroll_state();
            st.y = tree_wheel_scroll(st.y, GET_WHEEL_DELTA_WPARAM(wparam), st.max_y);
            SetScrollPos(window, SB_VERT, st.y, TRUE);
            InvalidateRect(window, nullptr, FALSE);
            return 0;
        }
        case WM_PAINT: paint_double_buffered(window, paint_ignoring_failure<paint_mutation_tree>); return 0;
        case WM_ERASEBKGND: return 1;
        case WM_DESTROY: forget_side_window(window); return 0;
        default: return DefWindowProcA(window, message, wparam, lparam);
    }
}

}  // namespace app
