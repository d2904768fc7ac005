#pragma once

// What the editor's input rules need from the window they run in: the gate,
// the client size, focus, mouse capture, the cursor, repainting, the state
// of Ctrl and Alt, and the two modal input windows. The Windows shell
// implements it over the main window; tests script it.

#include "app/core/layout.hpp"
#include "app/core/shown_layout.hpp"

#include <memory>
#include <string>

namespace app {

enum class CursorShape { arrow, cross, ibeam, size_all };

// A mouse message as the editor sees it, decoded once by the shell: the
// cursor in client pixels and, for the wheel, the turn (120 a notch, positive
// away from the user).
struct PointerEvent {
    int x = 0;
    int y = 0;
    int wheel_delta = 0;
};

// The three fields of the text window as text, shown and read back.
struct TextWindowFields {
    std::string text;
    std::string font;
    std::string size;
};

enum class WindowAnswer { not_created, cancelled, confirmed };

// The text window's answer: `font` never empty and `height` within 6..96
// when confirmed.
struct TextStyleResult {
    bool ok = false;
    std::string text;
    std::string font = "ISOCPEUR";
    double height = 16.0;
};

class EditorHost {
public:
    virtual ~EditorHost() = default;
    // The gate: the shown layout (result, else ready preview) with at least
    // one placement; null without one. Every mouse message asks again, so a
    // layout shown since the last one is seen; the copy is shared and taken
    // only when the shown layout changed.
    virtual std::shared_ptr<const CanvasLayout> display_layout() = 0;
    virtual Rect client_rect() = 0;
    virtual void focus_main() = 0;
    virtual void capture_mouse() = 0;
    virtual void release_mouse() = 0;
    virtual void set_cursor(CursorShape shape) = 0;
    virtual void invalidate_canvas() = 0;
    virtual void invalidate_window() = 0;
    virtual bool ctrl_or_alt_down() = 0;
    virtual void set_grid_caption(bool grid_on) = 0;
    // The value window showing `initial`; on confirmation `answer` is the
    // edit's text.
    virtual WindowAnswer ask_dimension_value(const std::string& initial, std::string& answer) = 0;
    // The text window showing `fields`; on confirmation they hold what was
    // typed.
    virtual WindowAnswer ask_text_fields(TextWindowFields& fields) = 0;
};

}  // namespace app
