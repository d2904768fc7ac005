#pragma once

// Small readers over a painter's primitive list, for the painter tests.

#include "app/core/canvas_paint_list.hpp"

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace app {
inline void PrintTo(const PixelPoint& p, std::ostream* os) { *os << "(" << p.x << ", " << p.y << ")"; }
inline void PrintTo(const Rect& r, std::ostream* os) {
    *os << "(" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << ")";
}
}  // namespace app

// Pointers returned here point into the list: keep the list alive.
namespace painter_test {

inline std::vector<const app::PaintOp*> ops_of(const app::PaintList& list, app::OpKind kind) {
    std::vector<const app::PaintOp*> out;
    for (const app::PaintOp& op : list.ops)
        if (op.kind == kind) out.push_back(&op);
    return out;
}

// Pointers into a temporary list would dangle at once.
std::vector<const app::PaintOp*> ops_of(const app::PaintList&&, app::OpKind) = delete;

inline std::vector<std::string> texts_of(const app::PaintList& list) {
    std::vector<std::string> out;
    for (const app::PaintOp& op : list.ops)
        if (op.kind == app::OpKind::text || op.kind == app::OpKind::centred_text)
            out.push_back(op.text);
    return out;
}

// The first text op with exactly this text.
inline const app::PaintOp* find_text(const app::PaintList& list, const std::string& text) {
    for (const app::PaintOp& op : list.ops)
        if ((op.kind == app::OpKind::text || op.kind == app::OpKind::centred_text) && op.text == text)
            return &op;
    return nullptr;
}

const app::PaintOp* find_text(const app::PaintList&&, const std::string&) = delete;

inline bool has_text(const app::PaintList& list, const std::string& text) {
    return find_text(list, text) != nullptr;
}

// Index of the first op of `kind` from `from` on, or -1.
inline int index_of(const app::PaintList& list, app::OpKind kind, std::size_t from = 0) {
    for (std::size_t i = from; i < list.ops.size(); ++i)
        if (list.ops[i].kind == kind) return static_cast<int>(i);
    return -1;
}

inline int text_index(const app::PaintList& list, const std::string& text) {
    for (std::size_t i = 0; i < list.ops.size(); ++i)
        if (list.ops[i].kind == app::OpKind::text && list.ops[i].text == text)
            return static_cast<int>(i);
    return -1;
}

// Whether two lists draw the same primitives in the same order.
inline bool same_ops(const app::PaintList& a, const app::PaintList& b) {
    auto same = [](const app::PaintOp& x, const app::PaintOp& y) {
        return x.kind == y.kind && x.rect == y.rect && x.points == y.points && x.pen == y.pen &&
               x.has_fill == y.has_fill && x.fill == y.fill && x.corner_w == y.corner_w &&
               x.corner_h == y.corner_h && x.x == y.x && x.y == y.y && x.text == y.text &&
               x.font == y.font && x.face == y.face && x.font_height == y.font_height &&
               x.colour == y.colour && x.picture == y.picture;
    };
    if (a.ops.size() != b.ops.size()) return false;
    for (std::size_t i = 0; i < a.ops.size(); ++i)
        if (!same(a.ops[i], b.ops[i])) return false;
    return true;
}

}  // namespace painter_test
