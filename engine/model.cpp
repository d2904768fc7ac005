#include "engine/model.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <map>
#include <stdexcept>

namespace plv {

void validate_nesting_inputs(const Sheet& sheet, const IterativeNestingOptions& options) {
    // Written so that NaN fails too, and infinities are refused: they would
    // turn every later size computation into nonsense.
    if (!(sheet.width > 0) || !std::isfinite(sheet.width) || !(sheet.height > 0) ||
        !std::isfinite(sheet.height)) {
        throw std::runtime_error("Sheet dimensions must be greater than zero.");
    }
    if (!(options.spacing >= 0) || !std::isfinite(options.spacing)) {
        throw std::runtime_error("Spacing cannot be negative.");
    }
    const bool angles_ok =
        !options.rotations.empty() &&
        std::all_of(options.rotations.begin(), options.rotations.end(),
                    [](double angle) { return std::isfinite(angle); });
    if (!angles_ok) {
        throw std::runtime_error("At least one rotation angle is required.");
    }
    if (options.max_sheets < 1) {
        throw std::runtime_error("max_sheets must be at least 1.");
    }
}

std::vector<NestingItem> expand_items(const std::vector<Part>& parts) {
    std::size_t total = 0;
    for (const Part& part : parts) {
        if (part.quantity > 0) total += static_cast<std::size_t>(part.quantity);
    }
    std::vector<NestingItem> items;
    items.reserve(total);
    for (const Part& part : parts) {
        for (std::int32_t copy = 1; copy <= part.quantity; ++copy) {
            items.push_back(NestingItem{&part, copy, false, 0.0});
            if (copy == std::numeric_limits<std::int32_t>::max()) break;
        }
    }
    return items;
}

BoundingBox part_bounds(const Part& part) { return geom::polygon_bounds(part.shape); }

BoundingBox placement_bounds(const Placement& placement) {
    return geom::polygon_bounds(placement.shape);
}

double part_net_area(const Part& part) { return part.shape.net_area(); }

Placement make_placement(const Part& part, const Polygon& shape, std::int32_t sheet_index,
                         std::int32_t copy_number, double x, double y, double angle) {
    return make_placement(part, shape, sheet_index, copy_number, x, y, angle, part_net_area(part));
}

Placement make_placement(const Part& part, const Polygon& shape, std::int32_t sheet_index,
                         std::int32_t copy_number, double x, double y, double angle,
                         double net_area) {
    Placement p;
    p.part_name = part.name;
    p.source = part.source;
    p.shape = geom::translate_polygon(shape, x, y);
    p.sheet_index = sheet_index;
    p.copy_number = copy_number;
    p.x = x;
    p.y = y;
    p.angle = angle;
    p.net_area = net_area;
    return p;
}

std::int32_t NestingResult::sheets_used() const {
    // Wider arithmetic so the largest index cannot overflow.
    std::int64_t used = 0;
    for (const Placement& p : placements) {
        used = std::max(used, static_cast<std::int64_t>(p.sheet_index) + 1);
    }
    return static_cast<std::int32_t>(
        std::min<std::int64_t>(used, std::numeric_limits<std::int32_t>::max()));
}

double NestingResult::placed_area() const {
    double sum = 0.0;
    for (const Placement& p : placements) sum += p.net_area;
    return sum;
}

double NestingResult::sheets_area() const {
    return sheet.width * sheet.height * sheets_used();
}

double NestingResult::utilization() const {
    const double total = (sheet.width * sheet.height) * sheets_used();
    if (!(total > 0)) return 0.0;
    return placed_area() / total;
}

double NestingResult::waste_area() const {
    return sheet.width * sheet.height * sheets_used() - placed_area();
}

double NestingResult::occupied_area() const {
    const std::int32_t used = sheets_used();
    if (used == 0) return 0.0;
    // Sheets are summed in index order. Layouts fill sheets in order, so a
    // box per index is the usual case; a sparse, huge index takes a map.
    if (static_cast<std::size_t>(used) <= placements.size()) {
        std::vector<BoundingBox> boxes(static_cast<std::size_t>(used));
        std::vector<char> filled(static_cast<std::size_t>(used), 0);
        for (const Placement& p : placements) {
            if (p.sheet_index < 0) continue;
            const auto i = static_cast<std::size_t>(p.sheet_index);
            boxes[i] = geom::box_union(boxes[i], placement_bounds(p));
            filled[i] = 1;
        }
        double sum = 0.0;
        for (std::size_t i = 0; i < boxes.size(); ++i) {
            if (filled[i]) sum += boxes[i].width() * boxes[i].height();
        }
        return sum;
    }
    std::map<std::int32_t, BoundingBox> boxes;
    for (const Placement& p : placements) {
        if (p.sheet_index < 0) continue;
        BoundingBox& box = boxes[p.sheet_index];
        box = geom::box_union(box, placement_bounds(p));
    }
    double sum = 0.0;
    for (const auto& [index, box] : boxes) sum += box.width() * box.height();
    return sum;
}

}  // namespace plv
