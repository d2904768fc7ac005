#pragma once

// Closed shapes of the drawing as extra parts of a run: polylines, circles,
// rectangles and closed chains of lines. A pure function of the entities,
// safe on any thread.

#include "app/core/editor_model.hpp"
#include "engine/model.hpp"

#include <string>
#include <vector>

namespace app {

// Appends one part (quantity 1, rotation allowed, source "editor", moved to
// the origin) made from the closed copy of `points`, or nothing when the
// ring is degenerate (fewer than 4 points, area below 1 mm2, not finite).
void make_editor_part(std::vector<plv::Part>& parts, std::vector<Point> points,
                      const std::string& name);

// Parts named editor_polyline_N, editor_circle_N, editor_rect_N (drawing
// order) and then editor_line_chain_N, N counting every candidate.
std::vector<plv::Part> editor_entities_to_parts(const std::vector<EditorEntity>& entities);

}  // namespace app
