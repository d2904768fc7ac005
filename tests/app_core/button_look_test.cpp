#include "app/core/button_look.hpp"
#include "app/core/control_ids.hpp"

#include <gtest/gtest.h>

namespace {

using app::ButtonState;
using app::Rgb;

TEST(ButtonLook, RolesAndStates) {
    struct Case {
        const char* what;
        int id;
        int tool;
        bool grid;
        ButtonState state;
        Rgb fill, border, text;
        int pen, offset;
    };
    const Rgb orange{232, 91, 46};
    const Case cases[] = {
        {"current tool", app::IDC_TOOL_LINE, 3, false, {}, {67, 45, 34}, orange, {255, 223, 184}, 2, 0},
        {"other tool", app::IDC_TOOL_LINE, 0, false, {}, {31, 37, 35}, {76, 88, 82}, {255, 223, 184}, 1, 0},
        {"grid shown", app::IDC_GRID, 0, true, {}, {67, 45, 34}, orange, {255, 223, 184}, 2, 0},
        {"grid hidden", app::IDC_GRID, 0, false, {}, {31, 37, 35}, {76, 88, 82}, {255, 223, 184}, 1, 0},
        {"run", app::IDC_RUN, 0, true, {}, orange, {255, 196, 151}, {255, 248, 232}, 1, 0},
        {"save", app::IDC_SAVE, 0, true, {}, {46, 101, 71}, {255, 196, 151}, {255, 248, 232}, 1, 0},
        {"pressed run", app::IDC_RUN, 0, true, {false, true, false}, {197, 73, 35}, {255, 196, 151}, {255, 248, 232}, 1, 1},
        {"pressed save", app::IDC_SAVE, 0, true, {false, true, false}, {197, 73, 35}, {255, 196, 151}, {255, 248, 232}, 1, 1},
        {"pressed other", app::IDC_ADD_DXF, 0, true, {false, true, false}, {43, 48, 45}, {76, 88, 82}, {255, 223, 184}, 1, 1},
        {"destructive", app::IDC_REMOVE_SELECTED, 0, true, {}, {31, 37, 35}, {162, 82, 72}, {255, 204, 190}, 1, 0},
        {"clear", app::IDC_CLEAR_DRAWING, 0, true, {}, {31, 37, 35}, {162, 82, 72}, {255, 204, 190}, 1, 0},
        {"erase idle", app::IDC_TOOL_ERASE, 0, true, {}, {31, 37, 35}, {162, 82, 72}, {255, 204, 190}, 1, 0},
        {"erase current", app::IDC_TOOL_ERASE, 9, true, {}, {67, 45, 34}, orange, {255, 223, 184}, 2, 0},
        {"disabled pause", app::IDC_PAUSE, 0, true, {true, false, false}, {58, 60, 58}, {84, 88, 84}, {135, 140, 136}, 1, 0},
        {"disabled pressed run", app::IDC_RUN, 0, true, {true, true, false}, {58, 60, 58}, {84, 88, 84}, {135, 140, 136}, 1, 0},
        {"focused", app::IDC_ADD_FOLDER, 0, true, {false, false, true}, {31, 37, 35}, {76, 88, 82}, {255, 223, 184}, 2, 0},
        {"fit view is no tool", app::IDC_FIT_VIEW, 0, true, {}, {31, 37, 35}, {76, 88, 82}, {255, 223, 184}, 1, 0},
        {"select at start", app::IDC_TOOL_SELECT, 0, true, {}, {67, 45, 34}, orange, {255, 223, 184}, 2, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const app::ButtonLook look = app::button_look(c.id, c.tool, c.grid, c.state);
        EXPECT_EQ(look.fill, c.fill);
        EXPECT_EQ(look.border, c.border);
        EXPECT_EQ(look.text, c.text);
        EXPECT_EQ(look.pen_width, c.pen);
        EXPECT_EQ(look.text_offset, c.offset);
    }
}

TEST(ButtonLook, ToolButtonsMapToTools) {
    const int buttons[] = {app::IDC_TOOL_SELECT, app::IDC_TOOL_PAN,    app::IDC_TOOL_DIMENSION,
                           app::IDC_TOOL_LINE,   app::IDC_TOOL_RECT,   app::IDC_TOOL_CIRCLE,
                           app::IDC_TOOL_ARC,    app::IDC_TOOL_POLYLINE, app::IDC_TOOL_TEXT,
                           app::IDC_TOOL_ERASE};
    for (int tool = 0; tool < 10; ++tool) EXPECT_EQ(app::editor_tool_of_button(buttons[tool]), tool);
    for (int id : {app::IDC_FIT_VIEW, app::IDC_UNDO, app::IDC_GRID, app::IDC_CLEAR_DRAWING, app::IDC_RUN})
        EXPECT_EQ(app::editor_tool_of_button(id), -1);
}

}  // namespace
