#include "app/core/shown_layout.hpp"

#include "app/core/editor_model.hpp"
#include "app/core/gui_state.hpp"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <mutex>

namespace app {

CanvasLayout copy_canvas_layout(const plv::NestingResult& layout) {
    CanvasLayout out;
    out.sheet = layout.sheet;
    std::size_t rings = 0;
    std::size_t points = 0;
    for (const plv::Placement& p : layout.placements) {
        rings += 1 + p.shape.holes.size();
        points += p.shape.outer.size();
        for (const plv::Ring& hole : p.shape.holes) points += hole.size();
    }
    out.points.reserve(points);
    out.ring_ends.reserve(rings);
    out.parts.reserve(layout.placements.size());
    auto add_ring = [&out](const plv::Ring& ring) {
        out.points.insert(out.points.end(), ring.begin(), ring.end());
        out.ring_ends.push_back(out.points.size());
    };
    for (const plv::Placement& p : layout.placements) {
        CanvasLayout::Part part;
        part.sheet = p.sheet_index;
        part.first_ring = out.ring_ends.size();
        add_ring(p.shape.outer);
        for (const plv::Ring& hole : p.shape.holes) add_ring(hole);
        part.ring_end = out.ring_ends.size();
        out.parts.push_back(part);
    }
    return out;
}

std::shared_ptr<const CanvasLayout> finish_canvas_layout(CanvasLayout layout) {
    static std::atomic<std::uint64_t> serials{0};
    layout.serial = ++serials;
    std::int64_t used = 0;
    for (CanvasLayout::Part& part : layout.parts) {
        used = std::max(used, static_cast<std::int64_t>(part.sheet) + 1);
        const std::size_t begin = layout.ring_begin(part.first_ring);
        const std::size_t end = layout.ring_begin(part.ring_end);
        geom::BoundingBox box;
        bool finite = true;
        for (std::size_t i = begin; i < end; ++i) {
            const plv::Point& p = layout.points[i];
            finite = finite && std::isfinite(p.x) && std::isfinite(p.y);
            box.min_x = std::min(box.min_x, p.x);
            box.min_y = std::min(box.min_y, p.y);
            box.max_x = std::max(box.max_x, p.x);
            box.max_y = std::max(box.max_y, p.y);
        }
        part.boxed = finite && begin < end;
        part.box = box;
    }
    // The same bound as NestingResult::sheets_used.
    layout.sheets = static_cast<std::int32_t>(
        std::min<std::int64_t>(used, std::numeric_limits<std::int32_t>::max()));
    return std::make_shared<const CanvasLayout>(std::move(layout));
}

KeptCanvasLayout& kept_canvas_layout() {
    static KeptCanvasLayout* const kept = new KeptCanvasLayout();
    return *kept;
}

ShownLayoutCheck check_shown_layout_locked(const GuiState& gui, KeptCanvasLayout& kept) {
    ShownLayoutCheck check;
    const plv::NestingResult* shown = display_layout_locked(gui, &check.from_result);
    if (shown == nullptr) return check;
    check.shown = true;
    // The generation tells of every change; the rest also catches a layout
    // replaced without it.
    const bool same = kept.layout != nullptr && kept.generation == gui.display_generation &&
                      kept.source == shown && kept.placements == shown->placements.data() &&
                      kept.count == shown->placements.size();
    if (!same) {
        check.copied = std::make_unique<CanvasLayout>(copy_canvas_layout(*shown));
        kept.generation = gui.display_generation;
        kept.source = shown;
        kept.placements = shown->placements.data();
        kept.count = shown->placements.size();
    }
    return check;
}

std::shared_ptr<const CanvasLayout> keep_canvas_layout(ShownLayoutCheck check,
                                                       KeptCanvasLayout& kept) {
    if (!check.shown) {
        kept = KeptCanvasLayout{};  // a large layout is not held after it went
        return nullptr;
    }
    if (check.copied != nullptr) kept.layout = finish_canvas_layout(std::move(*check.copied));
    return kept.layout;
}

std::shared_ptr<const CanvasLayout> take_shown_layout(GuiState& gui, KeptCanvasLayout& kept) {
    ShownLayoutCheck check;
    {
        std::lock_guard<std::mutex> lock(gui.state_mutex);
        check = check_shown_layout_locked(gui, kept);
    }
    return keep_canvas_layout(std::move(check), kept);
}

}  // namespace app
