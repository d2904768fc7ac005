#pragma once

// What the main window's child controls are: kind, caption or initial text,
// initial state, in the order they are created. The window shell turns the
// kind into a window class and styles.

#include <string>
#include <vector>

namespace app {

enum class ControlKind {
    parts_list,      // report list view of the job list
    push,            // owner-drawn push button
    edit,            // single-line edit
    radio,           // automatic radio button
    check,           // automatic check box
    combo,           // drop-down list
    log,             // multi-line read-only edit
    solutions_list,  // list box of the saved solutions
};

struct ControlSpec {
    int id = 0;
    ControlKind kind = ControlKind::push;
    std::string text;                // caption or initial text
    std::vector<std::string> items;  // combo box items, in order
    bool checked = false;            // radio or check box set on
    bool disabled = false;
    bool always_hidden = false;
};

// Every control, in creation order.
const std::vector<ControlSpec>& control_specs();
const ControlSpec* find_control_spec(int id);

// The initial thread count: hardware threads minus one, at most 8; 8 when
// fewer than 3 are reported (0 meaning none reported).
int default_thread_count(unsigned hardware_threads);

inline constexpr const char* kDefaultOutputPath = "outputs\\cpp_gui_nesting_result.dxf";

}  // namespace app
