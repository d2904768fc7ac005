#pragma once

// The colours the main window's controls and the painted panels and side
// windows share, named once.

#include "app/core/button_look.hpp"

namespace app::window_colour {

inline constexpr Rgb panel{38, 38, 38};  // panels, static texts, side windows
inline constexpr Rgb edit{28, 32, 31};  // edit fields
inline constexpr Rgb list{21, 22, 22};  // list boxes
inline constexpr Rgb warm_text{255, 223, 184};  // text on panels and edits, titles
inline constexpr Rgb list_text{235, 232, 224};

}  // namespace app::window_colour
