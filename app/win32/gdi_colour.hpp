#pragma once

// The program's colours as GDI takes them.

#include <windows.h>

#include "app/core/button_look.hpp"

namespace app {

inline COLORREF colorref(const Rgb& c) { return RGB(c.r, c.g, c.b); }

}  // namespace app
