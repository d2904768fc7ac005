#pragma once

// GDI replay of the painters' primitive lists, and the canvas painter of the
// main window.

#include <windows.h>

#include "app/core/canvas_paint_list.hpp"

namespace Gdiplus {
class Bitmap;
}

namespace app {

// The long-lived drawing resources a replay uses; a missing font falls back
// to the system's default interface font.
struct PaintResources {
    HFONT title_font = nullptr;
    HFONT ui_font = nullptr;
    HFONT small_font = nullptr;
    HFONT drawing_font = nullptr;
    Gdiplus::Bitmap* logo = nullptr;
    HICON icon = nullptr;
};

// The main window's fonts, logo and icon.
PaintResources main_window_resources();

// Draws the list into dc. Pens and brushes live for this call only; the
// device context's pen, brush, font, text colour, background mode and clip
// are as before when it returns.
void draw_paint_list(HDC dc, const PaintList& list, const PaintResources& resources);

// Selects the font, sets a transparent background and the colour, and draws
// the whole text with its top-left corner at (x, y).
void draw_text(HDC dc, int x, int y, const char* text, HFONT font, COLORREF colour);

// The canvas of the main window: snapshot, then the drawing from the copy.
void paint_canvas(HDC dc, const RECT& client);

}  // namespace app
