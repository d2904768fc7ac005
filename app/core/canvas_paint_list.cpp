#include "app/core/canvas_paint_list.hpp"

#include <cmath>
#include <locale>
#include <sstream>
#include <utility>

namespace app {

namespace {

int pin(double v) {
    if (std::isnan(v)) return 0;
    if (v > kMaxPixel) return kMaxPixel;
    if (v < -kMaxPixel) return -kMaxPixel;
    return static_cast<int>(v);
}

PaintOp op_of(OpKind kind) {
    PaintOp op;
    op.kind = kind;
    return op;
}

// A rectangle or ellipse drawn with a pen, unfilled.
PaintOp outlined(OpKind kind, const PenSpec& pen, const Rect& r) {
    PaintOp op = op_of(kind);
    op.pen = pen;
    op.rect = r;
    return op;
}

PaintOp filled(PaintOp op, Rgb fill) {
    op.has_fill = true;
    op.fill = fill;
    return op;
}

}  // namespace

int round_px(double v) { return pin(std::round(v)); }

int trunc_px(double v) { return pin(std::trunc(v)); }

int offset_px(int origin, double v) {
    return pin(static_cast<double>(origin) + static_cast<double>(round_px(v)));
}

std::string fixed_text(double v, int decimals) {
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out.setf(std::ios::fixed, std::ios::floatfield);
    out.precision(decimals);
    out << v;
    return out.str();
}

void PaintList::fill_rect(const Rect& r, Rgb colour) {
    PaintOp op = op_of(OpKind::fill_rect);
    op.rect = r;
    op.has_fill = true;
    op.fill = colour;
    ops.push_back(std::move(op));
}

void PaintList::line(const PenSpec& pen, int x0, int y0, int x1, int y1) {
    polyline(pen, {{x0, y0}, {x1, y1}});
}

void PaintList::polyline(const PenSpec& pen, std::vector<PixelPoint> points) {
    PaintOp op = op_of(OpKind::polyline);
    op.pen = pen;
    op.points = std::move(points);
    ops.push_back(std::move(op));
}

void PaintList::rectangle(const PenSpec& pen, const Rect& r) {
    ops.push_back(outlined(OpKind::rectangle, pen, r));
}

void PaintList::filled_rectangle(const PenSpec& pen, const Rect& r, Rgb fill) {
    ops.push_back(filled(outlined(OpKind::rectangle, pen, r), fill));
}

void PaintList::ellipse(const PenSpec& pen, const Rect& r) {
    ops.push_back(outlined(OpKind::ellipse, pen, r));
}

void PaintList::filled_ellipse(const PenSpec& pen, const Rect& r, Rgb fill) {
    ops.push_back(filled(outlined(OpKind::ellipse, pen, r), fill));
}

void PaintList::polygon(const PenSpec& pen, std::vector<PixelPoint> points, Rgb fill) {
    PaintOp op = op_of(OpKind::polygon);
    op.pen = pen;
    op.points = std::move(points);
    op.has_fill = true;
    op.fill = fill;
    ops.push_back(std::move(op));
}

void PaintList::round_rect(const PenSpec& pen, const Rect& r, int corner_w, int corner_h) {
    PaintOp op = op_of(OpKind::round_rect);
    op.pen = pen;
    op.rect = r;
    op.corner_w = corner_w;
    op.corner_h = corner_h;
    ops.push_back(std::move(op));
}

void PaintList::text(int x, int y, std::string s, FontRole font, Rgb colour) {
    PaintOp op = op_of(OpKind::text);
    op.x = x;
    op.y = y;
    op.text = std::move(s);
    op.font = font;
    op.colour = colour;
    ops.push_back(std::move(op));
}

void PaintList::custom_text(int x, int y, std::string s, std::string face, int height,
                            Rgb colour) {
    PaintOp op = op_of(OpKind::text);
    op.x = x;
    op.y = y;
    op.text = std::move(s);
    op.font = FontRole::custom;
    op.face = std::move(face);
    op.font_height = height;
    op.colour = colour;
    ops.push_back(std::move(op));
}

void PaintList::centred_text(const Rect& r, std::string s, FontRole font, Rgb colour) {
    PaintOp op = op_of(OpKind::centred_text);
    op.rect = r;
    op.text = std::move(s);
    op.font = font;
    op.colour = colour;
    ops.push_back(std::move(op));
}

void PaintList::push_clip(const Rect& r) {
    PaintOp op = op_of(OpKind::push_clip);
    op.rect = r;
    ops.push_back(std::move(op));
}

void PaintList::pop_clip() { ops.push_back(op_of(OpKind::pop_clip)); }

void PaintList::picture(PictureKind kind, const Rect& r) {
    PaintOp op = op_of(OpKind::picture);
    op.picture = kind;
    op.rect = r;
    ops.push_back(std::move(op));
}

}  // namespace app
