#include "app/core/button_look.hpp"

#include "app/core/control_ids.hpp"
#include "app/core/window_colours.hpp"

namespace app {

ButtonLook button_look(int control_id, int current_tool, bool grid_visible, ButtonState state) {
    ButtonLook look;
    int bonus = 0;
    const int tool = editor_tool_of_button(control_id);
    const bool active =
        (tool >= 0 && tool == current_tool) || (control_id == IDC_GRID && grid_visible);
    const bool primary = control_id == IDC_RUN || control_id == IDC_SAVE;
    if (active) {
        look = {{67, 45, 34}, {232, 91, 46}, window_colour::warm_text};
        bonus = 1;
    } else if (primary) {
        look.fill = control_id == IDC_RUN ? Rgb{232, 91, 46} : Rgb{46, 101, 71};
        look.border = {255, 196, 151};
        look.text = {255, 248, 232};
    } else if (control_id == IDC_REMOVE_SELECTED || control_id == IDC_TOOL_ERASE ||
               control_id == IDC_CLEAR_DRAWING) {
        look = {{31, 37, 35}, {162, 82, 72}, {255, 204, 190}};
    } else {
        look = {{31, 37, 35}, {76, 88, 82}, window_colour::warm_text};
    }
    if (state.disabled) {
        look.fill = {58, 60, 58};
        look.border = {84, 88, 84};
        look.text = {135, 140, 136};
    } else if (state.pressed) {
        look.fill = primary ? Rgb{197, 73, 35} : Rgb{43, 48, 45};
        look.text_offset = 1;
    }
    look.pen_width = 1 + ((state.focused || bonus == 1) ? 1 : 0);
    return look;
}

}  // namespace app
