#pragma once

// Colours of the owner-drawn push buttons, from their role and state.

#include <cstdint>

namespace app {

struct Rgb {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    bool operator==(const Rgb&) const = default;
};

struct ButtonState {
    bool disabled = false;
    bool pressed = false;
    bool focused = false;
};

struct ButtonLook {
    Rgb fill;
    Rgb border;
    Rgb text;
    int pen_width = 1;
    int text_offset = 0;  // the caption moves by (offset, offset) when pressed
};

// current_tool is the editor's tool (0 select .. 9 erase); the grid button
// is drawn active while the grid is visible.
ButtonLook button_look(int control_id, int current_tool, bool grid_visible, ButtonState state);

}  // namespace app
