#include "app/win32/canvas_painter.hpp"

#include "app/core/canvas_model.hpp"
#include "app/core/editor_model.hpp"
#include "app/core/gui_state.hpp"
#include "app/win32/app_windows.hpp"
#include "app/win32/buffered_paint.hpp"
#include "app/win32/gdi_colour.hpp"

// GDI+ wants the Windows headers first.
#include <gdiplus.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace app {

namespace {

// The pens and brushes of one replay, made on first use and all deleted at
// its end.
class GdiObjects {
public:
    GdiObjects() = default;
    GdiObjects(const GdiObjects&) = delete;
    GdiObjects& operator=(const GdiObjects&) = delete;
    ~GdiObjects() {
        for (const auto& p : pens_) DeleteObject(p.second);
        for (const auto& b : brushes_) DeleteObject(b.second);
    }

    HGDIOBJ pen(const PenSpec& desc) {
        for (const auto& p : pens_)
            if (p.first == desc) return p.second;
        HPEN made = CreatePen(desc.dotted ? PS_DOT : PS_SOLID, desc.width, colorref(desc.colour));
        if (made == nullptr) return GetStockObject(NULL_PEN);
        pens_.emplace_back(desc, made);
        return made;
    }

    HGDIOBJ brush(const Rgb& colour) {
        for (const auto& b : brushes_)
            if (b.first == colour) return b.second;
        HBRUSH made = CreateSolidBrush(colorref(colour));
        if (made == nullptr) return GetStockObject(NULL_BRUSH);
        brushes_.emplace_back(colour, made);
        return made;
    }

    HGDIOBJ fill_or_hollow(const PaintOp& op) {
        return op.has_fill ? brush(op.fill) : GetStockObject(NULL_BRUSH);
    }

private:
    std::vector<std::pair<PenSpec, HPEN>> pens_;
    std::vector<std::pair<Rgb, HBRUSH>> brushes_;
};

HFONT role_font(FontRole role, const PaintResources& res) {
    switch (role) {
        case FontRole::title: return res.title_font;
        case FontRole::ui: return res.ui_font;
        case FontRole::small: return res.small_font;
        case FontRole::drawing: return res.drawing_font;
        case FontRole::custom: return res.drawing_font;
    }
    return nullptr;
}

HGDIOBJ font_or_default(HFONT font) {
    return font != nullptr ? static_cast<HGDIOBJ>(font) : GetStockObject(DEFAULT_GUI_FONT);
}

std::vector<POINT> to_points(const std::vector<PixelPoint>& in) {
    std::vector<POINT> out;
    out.reserve(in.size());
    for (const PixelPoint& p : in) out.push_back(POINT{p.x, p.y});
    return out;
}

void draw_picture(HDC dc, const PaintOp& op, const PaintResources& res) {
    const Rect& r = op.rect;
    if (op.picture == PictureKind::icon) {
        if (res.icon != nullptr)
            DrawIconEx(dc, r.left, r.top, res.icon, r.width(), r.height(), 0, nullptr, DI_NORMAL);
        return;
    }
    if (res.logo == nullptr) return;
    Gdiplus::Graphics graphics(dc);
    graphics.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
    graphics.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHighQuality);
    graphics.DrawImage(res.logo, Gdiplus::Rect(r.left, r.top, r.width(), r.height()));
}

// A text entity's own font: the face at the given character height.
HFONT make_text_font(const PaintOp& op) {
    return CreateFontA(-op.font_height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                       DEFAULT_PITCH | FF_DONTCARE, op.face.c_str());
}

}  // namespace

PaintResources main_window_resources() {
    const AppWindows& w = app_windows();
    PaintResources res;
    res.title_font = w.title_font;
    res.ui_font = w.ui_font;
    res.small_font = w.small_font;
    res.drawing_font = w.drawing_font;
    res.logo = w.logo_bitmap;
    res.icon = w.app_icon;
    return res;
}

void draw_text(HDC dc, int x, int y, const char* text, HFONT font, COLORREF colour) {
    HGDIOBJ old = SelectObject(dc, font_or_default(font));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, colour);
    TextOutA(dc, x, y, text, lstrlenA(text));
    SelectObject(dc, old);
}

void draw_paint_list(HDC dc, const PaintList& list, const PaintResources& res) {
    GdiObjects objects;
    const HGDIOBJ old_pen = SelectObject(dc, GetStockObject(BLACK_PEN));
    const HGDIOBJ old_brush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    const HGDIOBJ old_font = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    const int old_mode = SetBkMode(dc, TRANSPARENT);  // also the gaps of dotted pens
    const COLORREF old_text = GetTextColor(dc);
    std::vector<HRGN> clips;  // saved clip of each open push; null = none

    for (const PaintOp& op : list.ops) {
        const Rect& r = op.rect;
        switch (op.kind) {
            case OpKind::fill_rect: {
                const RECT rc{r.left, r.top, r.right, r.bottom};
                FillRect(dc, &rc, static_cast<HBRUSH>(objects.brush(op.fill)));
                break;
            }
            case OpKind::polyline: {
                if (op.points.size() < 2) break;
                const std::vector<POINT> pts = to_points(op.points);
                SelectObject(dc, objects.pen(op.pen));
                Polyline(dc, pts.data(), static_cast<int>(pts.size()));
                break;
            }
            case OpKind::rectangle:
                SelectObject(dc, objects.pen(op.pen));
                SelectObject(dc, objects.fill_or_hollow(op));
                Rectangle(dc, r.left, r.top, r.right, r.bottom);
                break;
            case OpKind::ellipse:
                SelectObject(dc, objects.pen(op.pen));
                SelectObject(dc, objects.fill_or_hollow(op));
                Ellipse(dc, r.left, r.top, r.right, r.bottom);
                break;
            case OpKind::polygon: {
                if (op.points.size() < 2) break;
                const std::vector<POINT> pts = to_points(op.points);
                SelectObject(dc, objects.pen(op.pen));
                SelectObject(dc, objects.fill_or_hollow(op));
                Polygon(dc, pts.data(), static_cast<int>(pts.size()));
                break;
            }
            case OpKind::round_rect:
                SelectObject(dc, objects.pen(op.pen));
                SelectObject(dc, objects.fill_or_hollow(op));
                RoundRect(dc, r.left, r.top, r.right, r.bottom, op.corner_w, op.corner_h);
                break;
            case OpKind::text: {
                if (op.font == FontRole::custom) {
                    HFONT own = make_text_font(op);
                    draw_text(dc, op.x, op.y, op.text.c_str(), own != nullptr ? own : res.drawing_font,
                              colorref(op.colour));
                    if (own != nullptr) DeleteObject(own);
                } else {
                    draw_text(dc, op.x, op.y, op.text.c_str(), role_font(op.font, res),
                              colorref(op.colour));
                }
                break;
            }
            case OpKind::centred_text: {
                SelectObject(dc, font_or_default(role_font(op.font, res)));
                SetTextColor(dc, colorref(op.colour));
                RECT rc{r.left, r.top, r.right, r.bottom};
                DrawTextA(dc, op.text.c_str(), -1, &rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
                break;
            }
            case OpKind::push_clip: {
                HRGN saved = CreateRectRgn(0, 0, 0, 0);
                if (saved != nullptr && GetClipRgn(dc, saved) != 1) {
                    DeleteObject(saved);
                    saved = nullptr;
                }
                clips.push_back(saved);
                IntersectClipRect(dc, r.left, r.top, r.right, r.bottom);
                break;
            }
            case OpKind::pop_clip:
                if (clips.empty()) break;
                SelectClipRgn(dc, clips.back());
                if (clips.back() != nullptr) DeleteObject(clips.back());
                clips.pop_back();
                break;
            case OpKind::picture: draw_picture(dc, op, res); break;
        }
    }
    while (!clips.empty()) {
        SelectClipRgn(dc, clips.back());
        if (clips.back() != nullptr) DeleteObject(clips.back());
        clips.pop_back();
    }
    SetTextColor(dc, old_text);
    SetBkMode(dc, old_mode);
    SelectObject(dc, old_font);
    SelectObject(dc, old_brush);
    SelectObject(dc, old_pen);
    // `objects` deletes the pens and brushes now that none is selected.
}

namespace {

// The back layer of the canvas (background, sheets, parts) drawn once into a
// bitmap and copied from it while its key stays the same, so that a mouse
// move repaints only what lies over it.
class CanvasBackLayer {
public:
    // Copies the back layer into dc at the canvas, drawing it first when
    // what it shows changed; false when no bitmap could be made.
    bool copy_to(HDC dc, const CanvasLayout& layout, const CanvasView& view) {
        const Rect& c = view.canvas;
        const int width = std::max(1, c.right);
        const int height = std::max(1, c.bottom);
        const int bits = GetDeviceCaps(dc, BITSPIXEL) * GetDeviceCaps(dc, PLANES);
        const CanvasBackKey key = canvas_back_key(layout, view);
        if (!buffer_ || width != width_ || height != height_ || bits != bits_) {
            buffer_.reset();
            drawn_ = false;
            // Compatible with the target, so it draws the target's pixels.
            buffer_ = std::make_unique<BackBuffer>(dc, width, height);
            if (!buffer_->ready()) {
                buffer_.reset();
                return false;
            }
            width_ = width;
            height_ = height;
            bits_ = bits;
        }
        if (!drawn_ || !(key == key_)) {
            drawn_ = false;
            draw_paint_list(buffer_->dc(), build_canvas_back(layout, view), PaintResources{});
            key_ = key;
            drawn_ = true;
        }
        BitBlt(dc, c.left, c.top, c.width(), c.height(), buffer_->dc(), c.left, c.top, SRCCOPY);
        return true;
    }

private:
    std::unique_ptr<BackBuffer> buffer_;
    int width_ = 0;
    int height_ = 0;
    int bits_ = 0;
    bool drawn_ = false;
    CanvasBackKey key_;
};

}  // namespace

void paint_canvas(HDC dc, const RECT& client) {
    // User-interface thread only, as the painting itself. The kept layout is
    // the one the editor snaps to.
    static CanvasBackLayer back;
    const CanvasSnapshot snap = take_canvas_snapshot(gui_state(), kept_canvas_layout());
    const Rect rc{client.left, client.top, client.right, client.bottom};
    const EditorState& editor = editor_state();
    const PaintResources res = main_window_resources();
    const Rect canvas = canvas_rect(rc);
    if (snap.shown == nullptr || canvas.width() <= 0 || canvas.height() <= 0) {
        draw_paint_list(dc, build_canvas(snap, editor, rc), res);
        return;
    }
    const CanvasView view = canvas_view(*snap.shown, editor, rc);
    if (!back.copy_to(dc, *snap.shown, view))
        draw_paint_list(dc, build_canvas_back(*snap.shown, view), res);
    draw_paint_list(dc, build_canvas_front(snap, editor, view), res);
}

}  // namespace app
