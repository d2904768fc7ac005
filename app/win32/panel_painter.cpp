#include "app/win32/panel_painter.hpp"

#include "app/core/gui_state.hpp"
#include "app/core/panel_paint.hpp"
#include "app/win32/app_windows.hpp"
#include "app/win32/canvas_painter.hpp"
#include "app/win32/frame_hooks.hpp"
#include "app/win32/graph_window.hpp"
#include "app/win32/tree_window.hpp"

// GDI+ wants the Windows headers first.
#include <gdiplus.h>

#include <optional>
#include <string>

namespace app {

void paint_control_panel(HWND window, HDC dc) {
    RECT client{};
    GetClientRect(window, &client);
    const GuiState& gui = gui_state();
    const PaintResources res = main_window_resources();

    PanelPaintInput input;
    input.client_width = client.right - client.left;
    input.client_height = client.bottom - client.top;
    input.parts_list_height = gui.panel.parts_list_height;
    input.panel_scroll = gui.panel.panel_scroll;
    input.panel_scroll_max = gui.panel.panel_scroll_max;
    input.help_markers = &gui.help_markers;
    if (res.logo != nullptr) {
        input.logo = PictureSize{static_cast<int>(res.logo->GetWidth()),
                                 static_cast<int>(res.logo->GetHeight())};
    }
    input.has_icon = res.icon != nullptr;

    const TextWidth width = [&](FontRole role, const std::string& text) {
        HFONT font = role == FontRole::title ? res.title_font
                     : role == FontRole::ui  ? res.ui_font
                                             : res.small_font;
        HGDIOBJ old = SelectObject(dc, font != nullptr ? static_cast<HGDIOBJ>(font)
                                                       : GetStockObject(DEFAULT_GUI_FONT));
        SIZE size{};
        GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
        SelectObject(dc, old);
        return static_cast<int>(size.cx);
    };
    draw_paint_list(dc, build_control_panel(input, width), res);
    paint_canvas(dc, client);
}

void install_painter_handlers(FrameHooks& hooks) {
    hooks.paint_control_panel = paint_control_panel;
    hooks.graph_window_proc = graph_window_proc;
    hooks.tree_window_proc = tree_window_proc;
}

}  // namespace app
