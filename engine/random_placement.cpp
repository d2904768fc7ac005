#include "engine/random_placement.hpp"

#include "engine/deterministic.hpp"
#include "engine/placement_context.hpp"
#include "engine/positions.hpp"

#include <algorithm>
#include <random>

namespace plv {

std::int32_t random_attempt_budget(std::size_t placed_count, std::int32_t top_k) {
    // In 64 bits: 120 x top_k alone overflows 32 bits for large top_k.
    const std::int64_t k = static_cast<std::int64_t>(std::min<std::size_t>(placed_count, 1u << 20));
    const std::int64_t budget = 1000 + 180 * k + 120 * std::max<std::int64_t>(1, top_k);
    return static_cast<std::int32_t>(std::min<std::int64_t>(12000, std::max<std::int64_t>(1000, budget)));
}

namespace detail {

bool place_random(const Sheet& sheet, const NestingItem& item,
                  const std::vector<Placement>& placed, const SheetState& state,
                  std::int32_t sheet_index, const IterativeNestingOptions& options,
                  RotationCache& cache, Placement& out) {
    if (item.part == nullptr) return false;
    const Part& part = *item.part;
    const std::vector<double> angles = item_angles(item, options);
    if (angles.empty()) return false;
    std::mt19937 g(random_placement_seed(part.name, options.position_seed, sheet_index,
                                         static_cast<std::uint32_t>(placed.size()),
                                         item.copy_number));
    const std::int32_t budget = random_attempt_budget(placed.size(), options.top_k);
    const auto last = static_cast<std::int64_t>(angles.size()) - 1;
    std::vector<const RotatedShape*> shapes(angles.size(), nullptr);
    for (std::int32_t attempt = 0; attempt < budget; ++attempt) {
        const auto a = static_cast<std::size_t>(uniform_int(g, 0, last));
        if (shapes[a] == nullptr) shapes[a] = &cache.get(part, angles[a]);
        const RotatedShape& r = *shapes[a];
        const double fx = sheet.width - r.box.width();
        const double fy = sheet.height - r.box.height();
        if (fx < -kEngineTolerance || fy < -kEngineTolerance) continue;
        const double x = uniform_real(g, 0.0, std::max(fx, 0.0));
        const double y = uniform_real(g, 0.0, std::max(fy, 0.0));
        const BoundingBox b = geom::translate_box(r.box, x, y);
        if (!box_inside_sheet(b, sheet)) continue;
        if (!position_free(r.geo, r.shape, x, y, b, placed, state, options.spacing)) continue;
        out = make_placement(part, r.shape, sheet_index, item.copy_number, x, y, r.angle);
        return true;
    }
    return false;
}

}  // namespace detail

bool place_item_random(const Sheet& sheet, const NestingItem& item,
                       const std::vector<Placement>& placed, std::int32_t sheet_index,
                       const IterativeNestingOptions& options, Placement& out) {
    const detail::SheetState state(placed);
    detail::RotationCache cache;
    return detail::place_random(sheet, item, placed, state, sheet_index, options, cache, out);
}

}  // namespace plv
