#pragma once

// Where a part copy may be tried on a sheet, and whether a proposed place is
// clear of the parts already there. Shared by every placer.

#include "engine/model.hpp"

#include <cstddef>
#include <vector>

namespace plv {

// Engine tolerance: positions within it on both axes are the same position,
// and a shape may stick out of the sheet by it.
inline constexpr double kEngineTolerance = 1e-6;

struct SpacingViolation {
    std::size_t first = 0;   // index of the earlier placement of the pair
    std::size_t second = 0;  // index of the later placement, always > first
    double distance = 0.0;   // 0.0 when the pair overlaps
    bool overlap = false;
};

// shape is already rotated and moved to the proposed place.
bool is_position_free(const Polygon& shape, const std::vector<Placement>& placed, double spacing);

// Translations to try for shape (rotated, outer box minimum at the origin),
// ordered by y then x within the engine tolerance; at most 5000.
std::vector<Point> candidate_positions(const std::vector<Placement>& placed, const Polygon& shape,
                                       double spacing, bool extra_positions);

// At most count points of the ring, evenly strided; count >= 1.
std::vector<Point> sample_ring_points(const Ring& ring, std::size_t count);

// Every pair on one sheet that overlaps or comes closer than spacing, in
// (first, second) order.
std::vector<SpacingViolation> find_spacing_violations(const NestingResult& result, double spacing);

// The rules every placer shares.

// A placed box lies inside the sheet within the tolerance; NaN fails.
inline bool box_inside_sheet(const BoundingBox& box, const Sheet& sheet) {
    return box.min_x >= -kEngineTolerance && box.min_y >= -kEngineTolerance &&
           box.max_x <= sheet.width + kEngineTolerance &&
           box.max_y <= sheet.height + kEngineTolerance;
}

// Angles a copy may take: its fixed angle when the part rotates and the copy
// is fixed, else the options' list when the part rotates, else 0 alone.
std::vector<double> item_angles(const NestingItem& item, const IterativeNestingOptions& options);

}  // namespace plv
