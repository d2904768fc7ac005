#pragma once

// The drawing editor's share of the main window's routing: mouse, keys,
// cursor and the editor buttons, over the portable editor rules.

#include <windows.h>

#include "app/core/editor_host.hpp"
#include "app/win32/frame_hooks.hpp"

namespace app {

// The editor host over a main window: the real gate, client rectangle,
// focus, capture, cursor, repaints and the two modal windows.
class Win32EditorHost : public EditorHost {
public:
    explicit Win32EditorHost(HWND window) : window_(window) {}
    std::shared_ptr<const CanvasLayout> display_layout() override;
    Rect client_rect() override;
    void focus_main() override;
    void capture_mouse() override;
    void release_mouse() override;
    void set_cursor(CursorShape shape) override;
    void invalidate_canvas() override;
    void invalidate_window() override;
    bool ctrl_or_alt_down() override;
    void set_grid_caption(bool grid_on) override;
    WindowAnswer ask_dimension_value(const std::string& initial, std::string& answer) override;
    WindowAnswer ask_text_fields(TextWindowFields& fields) override;

private:
    HWND window_;
};

void install_editor_handlers(FrameHooks& hooks);

}  // namespace app
