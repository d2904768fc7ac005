#pragma once

// A list of drawing primitives in client pixels: what the painters of the
// main window and the two side windows produce from their snapshot of the
// state. Building the list is portable and tested natively; the Windows
// shell replays it into a device context with GDI.

#include "app/core/button_look.hpp"
#include "app/core/layout.hpp"

#include <cstdint>
#include <string>
#include <vector>

namespace app {

struct PixelPoint {
    int x = 0;
    int y = 0;
    bool operator==(const PixelPoint&) const = default;
};

enum class FontRole : std::uint8_t {
    title,    // interface face, cell height 28, weight 600
    ui,       // interface face, cell height 15
    small,    // interface face, cell height 13
    drawing,  // "ISOCPEUR", cell height 16
    custom,   // face and character height of the op (text entities)
};

struct PenSpec {
    Rgb colour;
    int width = 1;
    bool dotted = false;
    bool operator==(const PenSpec&) const = default;
};

enum class PictureKind : std::uint8_t { logo, icon };

enum class OpKind : std::uint8_t {
    fill_rect,     // rect filled with fill, no outline
    polyline,      // open polyline through points with pen
    rectangle,     // outline with pen, filled when has_fill
    ellipse,       // inside rect, outline with pen, filled when has_fill
    polygon,       // closed polygon through points, outline with pen, filled when has_fill
    round_rect,    // rect with corner_w x corner_h corners, pen, filled when has_fill
    text,          // text with its top-left corner at (x, y)
    centred_text,  // text centred on one line in rect
    push_clip,     // save the clipping state, then clip to rect as well
    pop_clip,      // restore the clipping state of the matching push
    picture,       // the logo or the icon stretched into rect
};

struct PaintOp {
    OpKind kind = OpKind::fill_rect;
    Rect rect;
    std::vector<PixelPoint> points;
    PenSpec pen;
    bool has_fill = false;
    Rgb fill;
    int corner_w = 0;
    int corner_h = 0;
    int x = 0;
    int y = 0;
    std::string text;
    FontRole font = FontRole::small;
    std::string face;     // custom font only
    int font_height = 0;  // custom font only: character height in pixels
    Rgb colour;           // text colour
    PictureKind picture = PictureKind::logo;
};

struct PaintList {
    std::vector<PaintOp> ops;

    void fill_rect(const Rect& r, Rgb colour);
    void line(const PenSpec& pen, int x0, int y0, int x1, int y1);
    void polyline(const PenSpec& pen, std::vector<PixelPoint> points);
    void rectangle(const PenSpec& pen, const Rect& r);
    void filled_rectangle(const PenSpec& pen, const Rect& r, Rgb fill);
    void ellipse(const PenSpec& pen, const Rect& r);
    void filled_ellipse(const PenSpec& pen, const Rect& r, Rgb fill);
    void polygon(const PenSpec& pen, std::vector<PixelPoint> points, Rgb fill);
    void round_rect(const PenSpec& pen, const Rect& r, int corner_w, int corner_h);
    void text(int x, int y, std::string s, FontRole font, Rgb colour);
    void custom_text(int x, int y, std::string s, std::string face, int height, Rgb colour);
    void centred_text(const Rect& r, std::string s, FontRole font, Rgb colour);
    void push_clip(const Rect& r);
    void pop_clip();
    void picture(PictureKind kind, const Rect& r);
};

// Largest pixel coordinate handed to GDI; farther points are pinned there,
// so a huge world value never overflows an int.
inline constexpr int kMaxPixel = 1 << 27;

// Rounds halves away from zero and pins to +-kMaxPixel (NaN gives 0).
int round_px(double v);
// Cuts toward zero and pins to +-kMaxPixel (NaN gives 0).
int trunc_px(double v);
// origin + round_px(v), pinned to +-kMaxPixel.
int offset_px(int origin, double v);

// Fixed notation with the given decimals, C locale (ties round half to
// even, as the standard streams do).
std::string fixed_text(double v, int decimals);

}  // namespace app
