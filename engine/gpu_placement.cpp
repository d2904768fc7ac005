#include "engine/gpu_placement.hpp"

#include "engine/cpu_placement.hpp"
#include "engine/deterministic.hpp"
#include "engine/gpu_route.hpp"
#include "engine/placement_context.hpp"
#include "engine/positions.hpp"
#include "gpu/gpu_accelerator.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace plv {

namespace {

// A ring as consecutive point pairs of its closed copy, four floats each.
void append_segments(const Ring& ring, std::vector<float>& out) {
    const Ring closed = geom::close_ring(ring);
    for (std::size_t i = 0; i + 1 < closed.size(); ++i) {
        out.push_back(static_cast<float>(closed[i].x));
        out.push_back(static_cast<float>(closed[i].y));
        out.push_back(static_cast<float>(closed[i + 1].x));
        out.push_back(static_cast<float>(closed[i + 1].y));
    }
}

std::int32_t segment_count(const std::vector<float>& segments) {
    return static_cast<std::int32_t>(segments.size() / 4);
}

const float* data_or_null(const std::vector<float>& v) { return v.empty() ? nullptr : v.data(); }

bool has_nan_key(const PositionCandidate& c) {
    return std::isnan(c.primary) || std::isnan(c.secondary) || std::isnan(c.union_area) ||
           std::isnan(c.union_height) || std::isnan(c.union_width) || std::isnan(c.y) ||
           std::isnan(c.x);
}

}  // namespace

bool place_item_gpu(const Sheet& sheet, const NestingItem& item,
                    const std::vector<Placement>& placed, std::int32_t sheet_index,
                    const IterativeNestingOptions& options, Placement& out, std::int32_t device) {
    const detail::SheetState state(placed);
    detail::RotationCache cache;
    detail::Workspace ws;
    // place_item_cpu on the state built here, rather than on one of its own.
    auto cpu = [&](Placement& o) {
        return detail::place_cpu(sheet, item, item_angles(item, options), placed, state,
                                 sheet_index, options, cache, ws, o);
    };
    return detail::place_item_gpu(sheet, item, placed, sheet_index, options, out, device,
                                  detail::CpuPlacer(cpu), detail::PreparedSheet{state, cache, ws});
}

bool detail::place_item_gpu(const Sheet& sheet, const NestingItem& item,
                            const std::vector<Placement>& placed, std::int32_t sheet_index,
                            const IterativeNestingOptions& options, Placement& out,
                            std::int32_t device, const CpuPlacer& cpu,
                            const PreparedSheet& prepared) {
    const auto on_cpu = [&] { return cpu(out); };

    const GpuAccelerator& accelerator = GpuAccelerator::instance();
    const std::size_t device_count = accelerator.device_count();
    if (device_count == 0 || device < 0 || static_cast<std::size_t>(device) >= device_count) {
        return on_cpu();
    }

    // Placed side: outer rings only; the exact check sees the holes.
    std::vector<float> existing_segments;
    std::vector<float> existing_bounds;
    std::vector<std::int32_t> existing_offsets{0};
    BoundingBox global;
    for (const Placement& p : placed) {
        append_segments(p.shape.outer, existing_segments);
        existing_offsets.push_back(segment_count(existing_segments));
        const BoundingBox b = placement_bounds(p);
        existing_bounds.insert(existing_bounds.end(),
                               {static_cast<float>(b.min_x), static_cast<float>(b.min_y),
                                static_cast<float>(b.max_x), static_cast<float>(b.max_y)});
        global = geom::box_union(global, b);
    }
    const float global_bounds[4] = {static_cast<float>(global.min_x), static_cast<float>(global.min_y),
                                    static_cast<float>(global.max_x), static_cast<float>(global.max_y)};

    const std::vector<double> angles = item_angles(item, options);
    if (angles.empty()) return on_cpu();

    // Candidate side: one slot per angle, empty slots included, so a
    // position's slot is its angle's index.
    std::vector<float> candidate_segments;
    std::vector<std::int32_t> candidate_offsets{0};
    std::vector<float> candidate_bounds;
    std::vector<float> positions;
    std::vector<std::int32_t> position_slots;
    // rotate_polygon of the part's shape per slot, from the prepared cache.
    std::vector<const RotatedShape*> rotated_slots;
    rotated_slots.reserve(angles.size());
    std::vector<Point> slot_positions;
    for (std::size_t s = 0; s < angles.size(); ++s) {
        rotated_slots.push_back(&prepared.cache.get(*item.part, angles[s]));
        const Polygon& rotated = rotated_slots.back()->shape;
        // candidate_positions (placed, rotated, spacing, extra_positions).
        candidate_positions(placed, prepared.state, *rotated_slots.back(), options.spacing,
                            options.extra_positions, prepared.ws, slot_positions);
        if (slot_positions.empty()) {
            candidate_offsets.push_back(segment_count(candidate_segments));
            candidate_bounds.insert(candidate_bounds.end(), {0.0f, 0.0f, 0.0f, 0.0f});
            continue;
        }
        append_segments(rotated.outer, candidate_segments);
        candidate_offsets.push_back(segment_count(candidate_segments));
        const BoundingBox b = geom::polygon_bounds(rotated);
        candidate_bounds.insert(candidate_bounds.end(),
                                {static_cast<float>(b.width()), static_cast<float>(b.height()),
                                 static_cast<float>(b.min_x), static_cast<float>(b.min_y)});
        for (const Point& p : slot_positions) {
            positions.push_back(static_cast<float>(p.x));
            positions.push_back(static_cast<float>(p.y));
            position_slots.push_back(static_cast<std::int32_t>(s));
        }
    }
    if (position_slots.empty()) return on_cpu();

    const std::vector<GpuPositionResult> answers = accelerator.evaluate_positions(
        device, data_or_null(existing_segments), segment_count(existing_segments),
        data_or_null(existing_bounds), existing_offsets.data(),
        static_cast<std::int32_t>(placed.size()), data_or_null(candidate_segments),
        segment_count(candidate_segments), candidate_offsets.data(), candidate_bounds.data(),
        static_cast<std::int32_t>(angles.size()), positions.data(), position_slots.data(),
        static_cast<std::int32_t>(position_slots.size()), static_cast<float>(sheet.width),
        static_cast<float>(sheet.height), static_cast<float>(options.spacing), global_bounds,
        !placed.empty());
    if (answers.empty() || answers.size() != position_slots.size()) return on_cpu();

    // Keys of every accepted answer, before any exact test.
    std::vector<PositionCandidate> keyed;
    std::vector<std::size_t> answer_of;
    bool any_nan = false;
    for (std::size_t i = 0; i < answers.size(); ++i) {
        const GpuPositionResult& a = answers[i];
        if (!a.valid) continue;
        PositionCandidate c;
        set_ranking_keys(c, a.union_area, a.used_height, a.used_width, a.y, a.x, options);
        any_nan = any_nan || has_nan_key(c);
        keyed.push_back(std::move(c));
        answer_of.push_back(i);
    }

    // The rotated shape moved to the answer's place: inside the sheet, and
    // is_position_free (translate_polygon (rotated, x, y), placed, spacing),
    // answered on the prepared sheet without building the moved copy. The
    // box of the moved outer ring is the rotated box moved: rounding keeps
    // the order of the coordinates.
    const auto exact_place = [&](std::size_t k, Placement& placement) {
        const std::size_t i = answer_of[k];
        const std::size_t slot = static_cast<std::size_t>(position_slots[i]);
        const RotatedShape& r = *rotated_slots[slot];
        const double x = answers[i].x;
        const double y = answers[i].y;
        const BoundingBox moved = geom::translate_box(r.box, x, y);
        if (!box_inside_sheet(moved, sheet)) return false;
        if (!position_free(r.geo, r.shape, x, y, moved, placed, prepared.state, options.spacing)) {
            return false;
        }
        placement = make_placement(*item.part, r.shape, sheet_index, item.copy_number, x, y,
                                   angles[slot]);
        return true;
    };

    Placement best;
    bool found = false;
    if (!any_nan) {
        // The keys form a strict weak order: the best survivor in position
        // order is the first survivor of a stable sort by the keys, so the
        // exact test runs only until one passes.
        std::vector<std::size_t> order(keyed.size());
        for (std::size_t k = 0; k < order.size(); ++k) order[k] = k;
        merge_sort(order, [&](std::size_t a, std::size_t b) { return ranks_before(keyed[a], keyed[b]); });
        for (const std::size_t k : order) {
            if (exact_place(k, best)) {
                found = true;
                break;
            }
        }
    } else {
        // A key that is not a number decides nothing: take every survivor
        // in position order and keep the one no later one beats.
        std::size_t best_k = 0;
        for (std::size_t k = 0; k < keyed.size(); ++k) {
            if (found && !ranks_before(keyed[k], keyed[best_k])) continue;
            Placement candidate;
            if (!exact_place(k, candidate)) continue;
            best = std::move(candidate);
            best_k = k;
            found = true;
        }
    }

    if (!found) return on_cpu();
    out = std::move(best);
    return true;
}

}  // namespace plv
