#pragma once

// The shown layout as the user-interface thread keeps it between messages:
// a flat copy of what the canvas draws and the editor snaps to, never changed
// once made, taken again only when the shown layout changed. The canvas
// painter and the editor share one kept copy.

#include "engine/model.hpp"
#include "geometry/primitives.hpp"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace app {

struct GuiState;

// Each placement's points, ring by ring, with its box, so that a pass over
// the layout can leave out what lies far from where it looks.
struct CanvasLayout {
    struct Part {
        std::int32_t sheet = 0;
        std::size_t first_ring = 0;  // the outer ring; the holes follow it
        std::size_t ring_end = 0;
        bool boxed = false;  // box holds every point (all of them finite)
        geom::BoundingBox box;
    };
    std::uint64_t serial = 0;  // tells layouts of this process apart
    plv::Sheet sheet;
    std::int32_t sheets = 0;  // sheets used
    std::vector<plv::Point> points;
    std::vector<std::size_t> ring_ends;  // ring r ends before ring_ends[r]
    std::vector<Part> parts;             // one per placement, in order

    std::size_t ring_begin(std::size_t r) const { return r == 0 ? 0 : ring_ends[r - 1]; }
};

// The plain copy (under state_mutex), then the boxes (outside it).
CanvasLayout copy_canvas_layout(const plv::NestingResult& layout);
std::shared_ptr<const CanvasLayout> finish_canvas_layout(CanvasLayout layout);

// A kept copy and what it was taken from.
struct KeptCanvasLayout {
    std::shared_ptr<const CanvasLayout> layout;
    std::uint64_t generation = 0;
    const plv::NestingResult* source = nullptr;
    const plv::Placement* placements = nullptr;
    std::size_t count = 0;
};

// The copy the painter and the editor share. User-interface thread only.
KeptCanvasLayout& kept_canvas_layout();

// For a caller holding state_mutex: whether a layout is shown (`from_result`
// tells which), and, when the kept copy is not of it, the plain copy to
// finish once the lock is let go (keep_canvas_layout).
struct ShownLayoutCheck {
    bool shown = false;
    bool from_result = false;
    std::unique_ptr<CanvasLayout> copied;
};
ShownLayoutCheck check_shown_layout_locked(const GuiState& gui, KeptCanvasLayout& kept);
// After the lock: the kept copy of the shown layout, or null (and nothing
// held) when none is shown.
std::shared_ptr<const CanvasLayout> keep_canvas_layout(ShownLayoutCheck check,
                                                       KeptCanvasLayout& kept);

// The editor's gate: the shown layout (result, else ready preview) with at
// least one placement, from the kept copy, else null. Copies only when the
// shown layout changed since the kept copy was taken.
std::shared_ptr<const CanvasLayout> take_shown_layout(GuiState& gui, KeptCanvasLayout& kept);

}  // namespace app
