#include "engine/cpu_placement.hpp"

#include "engine/deterministic.hpp"
#include "engine/placement_context.hpp"
#include "engine/positions.hpp"

#include <algorithm>
#include <cmath>

namespace plv {

namespace {

// primary and secondary from the union box measures.
void blend_keys(double area, double height, double width, const IterativeNestingOptions& options,
                double& primary, double& secondary) {
    double r = options.opt_ratio;
    if (r < 0.0) r = 0.0;
    if (r > 1.0) r = 1.0;
    const double blend = (1.0 - r) * height + r * width;
    if (options.optimization == OptimizationType::compact_area) {
        primary = blend;
        secondary = area;
    } else {
        primary = area;
        secondary = blend;
    }
}

// The seven-key order on bare keys; a NaN key decides nothing.
bool keys_before(const double* a, const double* b) {
    for (int i = 0; i < 7; ++i) {
        if (a[i] < b[i]) return true;
        if (b[i] < a[i]) return false;
    }
    return false;
}

// A total order when no key is NaN: the seven keys, then the angle's place
// in the list (the order a stable sort of the full list keeps for ties),
// then the offering order, which never decides since the positions of one
// angle differ in x or y.
bool ranked_before(const detail::RankedPosition& a, const detail::RankedPosition& b) {
    for (int i = 0; i < 7; ++i) {
        if (a.keys[i] < b.keys[i]) return true;
        if (b.keys[i] < a.keys[i]) return false;
    }
    if (a.angle != b.angle) return a.angle < b.angle;
    return a.index < b.index;
}

}  // namespace

bool ranks_before(const PositionCandidate& a, const PositionCandidate& b) {
    const double ka[7] = {a.primary, a.secondary, a.union_area, a.union_height,
                          a.union_width, a.y, a.x};
    const double kb[7] = {b.primary, b.secondary, b.union_area, b.union_height,
                          b.union_width, b.y, b.x};
    return keys_before(ka, kb);
}

void set_ranking_keys(PositionCandidate& candidate, double union_area, double union_height,
                      double union_width, double y, double x,
                      const IterativeNestingOptions& options) {
    blend_keys(union_area, union_height, union_width, options, candidate.primary,
               candidate.secondary);
    candidate.union_area = union_area;
    candidate.union_height = union_height;
    candidate.union_width = union_width;
    candidate.y = y;
    candidate.x = x;
}

std::size_t pick_index(std::int32_t top_k, std::size_t n, std::int32_t position_seed,
                       std::int32_t sheet_index, std::size_t placed_count) {
    if (n == 0 || top_k < 1) return 0;
    const auto m = static_cast<std::int64_t>(std::min<std::size_t>(static_cast<std::size_t>(top_k), n));
    if (m == 1) return 0;
    const std::int64_t sum = std::int64_t{std::max(position_seed, 0)} +
                             11 * std::int64_t{sheet_index} +
                             37 * static_cast<std::int64_t>(placed_count);
    std::int64_t r = sum % m;
    if (r < 0) r += m;
    return static_cast<std::size_t>(r);
}

namespace detail {

namespace {

struct InnerBefore {
    bool operator()(const InnerPosition& a, const InnerPosition& b) const {
        if (a.y != b.y) return a.y < b.y;
        if (a.x != b.x) return a.x < b.x;
        if (a.angle != b.angle) return a.angle < b.angle;
        return a.index < b.index;
    }
};
constexpr InnerBefore inner_before;

}  // namespace

bool place_cpu(const Sheet& sheet, const NestingItem& item, const std::vector<double>& angles,
               const std::vector<Placement>& placed, const SheetState& state,
               std::int32_t sheet_index, const IterativeNestingOptions& options,
               RotationCache& cache, Workspace& ws, Placement& out) {
    if (item.part == nullptr || angles.empty()) return false;
    const Part& part = *item.part;
    const double spacing = options.spacing;
    const bool has_box = !state.empty();
    const BoundingBox& sheet_box = state.sheet_box();

    std::vector<const RotatedShape*> shapes;
    shapes.reserve(angles.size());
    for (const double angle : angles) shapes.push_back(&cache.get(part, angle));

    coordinate_lists(state, spacing, ws.xs, ws.ys);
    // Positions whose box lies inside the sheet box share the union box and
    // so the first five keys, the smallest any position can have (every key
    // grows with the union box): they come first, ordered by y, x and angle.
    // The rest are ranked by all seven keys.
    double inner_keys[7] = {0, 0, 0, 0, 0, 0, 0};
    if (has_box) {
        inner_keys[3] = sheet_box.height();
        inner_keys[4] = sheet_box.width();
        inner_keys[2] = inner_keys[4] * inner_keys[3];
        blend_keys(inner_keys[2], inner_keys[3], inner_keys[4], options, inner_keys[0],
                   inner_keys[1]);
    }
    // The grid positions of one angle come in y then x order, so the inner
    // group is a sorted run per angle plus the extra positions.
    std::vector<RankedPosition>& ranked = ws.ranked;
    std::vector<InnerPosition>& inner_grid = ws.inner;
    std::vector<InnerPosition>& inner_extra = ws.inner_extra;
    std::vector<std::pair<std::size_t, std::size_t>>& runs = ws.inner_runs;
    ranked.clear();
    inner_grid.clear();
    inner_extra.clear();
    runs.clear();
    bool any_nan = false;
    // A position with an outline point deep inside a placed shape is taken;
    // the margin of the free test is never negative there.
    const SheetCoverage* cover =
        has_box && spacing >= 0.0 ? &state.coverage(sheet.width, sheet.height, placed) : nullptr;
    if (cover != nullptr && cover->empty()) cover = nullptr;
    const double inverse = cover != nullptr ? cover->inverse() : 0.0;
    grid_positions(ws.xs, ws.ys, ws);
    for (std::size_t a = 0; a < shapes.size(); ++a) {
        const RotatedShape& r = *shapes[a];
        extra_positions(placed, state, r, spacing, options.extra_positions, ws);
        ws.probes.clear();
        for (const Point& q : r.probes) ws.probes.push_back(Point{q.x * inverse, q.y * inverse});
        const bool probe = cover != nullptr && !ws.probes.empty();
        const std::size_t run_start = inner_grid.size();
        const auto add_inner = [&](const RankedPosition& q, std::size_t i) {
            const InnerPosition e{q.keys[5], q.keys[6], q.px, q.py, q.angle, q.index};
            if (i < ws.grid_size &&
                (inner_grid.size() == run_start || inner_before(inner_grid.back(), e))) {
                inner_grid.push_back(e);
            } else {
                inner_extra.push_back(e);
            }
        };
        for (std::size_t i = 0; i < ws.positions.size(); ++i) {
            const Point p = ws.positions[i];
            const BoundingBox b = geom::translate_box(r.box, p.x, p.y);
            if (!box_inside_sheet(b, sheet)) continue;
            if (probe && cover->any_covered_scaled(ws.probes, p.x * inverse, p.y * inverse)) {
                continue;
            }
            RankedPosition e;
            e.px = p.x;
            e.py = p.y;
            e.angle = static_cast<std::uint32_t>(a);
            e.index = static_cast<std::uint32_t>(i);
            e.keys[5] = b.min_y;
            e.keys[6] = b.min_x;
            if (has_box && b.min_x >= sheet_box.min_x && b.min_y >= sheet_box.min_y &&
                b.max_x <= sheet_box.max_x && b.max_y <= sheet_box.max_y) {
                add_inner(e, i);
                continue;
            }
            const BoundingBox u = has_box ? geom::box_union(b, sheet_box) : b;
            const double w = u.width();
            const double h = u.height();
            e.keys[2] = w * h;
            e.keys[3] = h;
            e.keys[4] = w;
            blend_keys(e.keys[2], h, w, options, e.keys[0], e.keys[1]);
            bool same_as_inner = has_box;
            for (int k = 0; k < 7; ++k) {
                if (std::isnan(e.keys[k])) any_nan = true;
                if (k < 5 && !(e.keys[k] == inner_keys[k])) same_as_inner = false;
            }
            if (!same_as_inner) {
                ranked.push_back(e);
            } else {
                add_inner(e, i);
            }
        }
        runs.emplace_back(run_start, inner_grid.size());
    }
    for (const double k : inner_keys) {
        if (std::isnan(k)) any_nan = true;
    }
    if (ranked.empty() && inner_grid.empty() && inner_extra.empty()) return false;

    const auto is_free = [&](const RankedPosition& e) {
        const RotatedShape& r = *shapes[e.angle];
        return position_free(r.geo, r.shape, e.px, e.py, geom::translate_box(r.box, e.px, e.py),
                             placed, state, spacing);
    };
    std::vector<RankedPosition>& accepted = ws.accepted;
    accepted.clear();
    if (!any_nan) {
        // Test in key order, only until the pick is decided: the first
        // top_k free positions are the first top_k of the sorted full list.
        const std::size_t want = options.top_k > 1 ? static_cast<std::size_t>(options.top_k) : 1;
        // The extras go into buckets by y, in a counting pass; a bucket is
        // sorted only when the merge reaches it. The bucket of y is monotone
        // in y, so bucket order agrees with the order.
        std::vector<InnerPosition>& sorted = ws.inner_sorted;
        std::vector<std::uint32_t>& bucket_start = ws.bucket_start;
        std::size_t buckets = 1;
        double y_low = 0.0, y_scale = 0.0;
        if (inner_extra.size() > 128) {
            double y_high = inner_extra[0].y;
            y_low = y_high;
            for (const InnerPosition& e : inner_extra) {
                y_low = std::min(y_low, e.y);
                y_high = std::max(y_high, e.y);
            }
            if (y_high > y_low) {
                buckets = inner_extra.size() / 32;
                y_scale = static_cast<double>(buckets) / (y_high - y_low);
            }
        }
        const auto bucket_of = [&](double y) {
            double t = (y - y_low) * y_scale;
            if (!(t > 0.0)) t = 0.0;
            const double top = static_cast<double>(buckets - 1);
            if (t > top) t = top;
            return static_cast<std::size_t>(t);
        };
        bucket_start.assign(buckets + 1, 0);
        for (const InnerPosition& e : inner_extra) ++bucket_start[bucket_of(e.y) + 1];
        for (std::size_t q = 0; q < buckets; ++q) bucket_start[q + 1] += bucket_start[q];
        sorted.resize(inner_extra.size());
        {
            std::vector<std::uint32_t> fill(bucket_start.begin(), bucket_start.end() - 1);
            for (const InnerPosition& e : inner_extra) sorted[fill[bucket_of(e.y)]++] = e;
        }
        std::size_t bucket = 0;  // buckets before this one are sorted
        // Merged lazily: usually the pick is decided long before the end.
        std::size_t extra_next = 0;
        while (accepted.size() < want) {
            const InnerPosition* best = nullptr;
            std::pair<std::size_t, std::size_t>* best_run = nullptr;
            for (auto& run : runs) {
                if (run.first < run.second &&
                    (best == nullptr || inner_before(inner_grid[run.first], *best))) {
                    best = &inner_grid[run.first];
                    best_run = &run;
                }
            }
            while (bucket < buckets && bucket_start[bucket] <= extra_next) {
                std::sort(sorted.begin() + bucket_start[bucket],
                          sorted.begin() + bucket_start[bucket + 1], inner_before);
                ++bucket;
            }
            if (extra_next < sorted.size() &&
                (best == nullptr || inner_before(sorted[extra_next], *best))) {
                best = &sorted[extra_next];
                best_run = nullptr;
            }
            if (best == nullptr) break;
            if (best_run != nullptr) {
                ++best_run->first;
            } else {
                ++extra_next;
            }
            RankedPosition e;
            for (int k = 0; k < 5; ++k) e.keys[k] = inner_keys[k];
            e.keys[5] = best->y;
            e.keys[6] = best->x;
            e.px = best->px;
            e.py = best->py;
            e.angle = best->angle;
            e.index = best->index;
            if (is_free(e)) accepted.push_back(e);
        }
        const auto after = [](const RankedPosition& a, const RankedPosition& b) {
            return ranked_before(b, a);
        };
        if (accepted.size() < want) std::make_heap(ranked.begin(), ranked.end(), after);
        while (!ranked.empty() && accepted.size() < want) {
            std::pop_heap(ranked.begin(), ranked.end(), after);
            const RankedPosition e = ranked.back();
            ranked.pop_back();
            if (is_free(e)) accepted.push_back(e);
        }
    } else {
        // Keys that decide nothing make the order depend on the list's own
        // order: rank the full list as it stands, as a stable sort does.
        ranked.clear();
        for (std::size_t a = 0; a < shapes.size(); ++a) {
            const RotatedShape& r = *shapes[a];
            const bool extras = generate_positions(placed, state, r, spacing,
                                                   options.extra_positions, ws.xs, ws.ys, ws);
            if (extras) sort_positions(ws.positions);
            for (std::size_t i = 0; i < ws.positions.size(); ++i) {
                const Point p = ws.positions[i];
                const BoundingBox b = geom::translate_box(r.box, p.x, p.y);
                if (!box_inside_sheet(b, sheet)) continue;
                if (cover != nullptr && cover->any_covered(r.probes, p.x, p.y)) continue;
                const BoundingBox u = has_box ? geom::box_union(b, sheet_box) : b;
                RankedPosition e;
                const double w = u.width();
                const double h = u.height();
                e.keys[2] = w * h;
                e.keys[3] = h;
                e.keys[4] = w;
                e.keys[5] = b.min_y;
                e.keys[6] = b.min_x;
                blend_keys(e.keys[2], h, w, options, e.keys[0], e.keys[1]);
                e.px = p.x;
                e.py = p.y;
                e.angle = static_cast<std::uint32_t>(a);
                e.index = static_cast<std::uint32_t>(i);
                if (is_free(e)) accepted.push_back(e);
            }
        }
        merge_sort(accepted, [](const RankedPosition& a, const RankedPosition& b) {
            return keys_before(a.keys, b.keys);
        });
    }
    if (accepted.empty()) return false;

    const std::size_t pick =
        pick_index(options.top_k, accepted.size(), options.position_seed, sheet_index, placed.size());
    const RankedPosition& e = accepted[pick];
    const RotatedShape& r = *shapes[e.angle];
    out = make_placement(part, r.shape, sheet_index, item.copy_number, e.px, e.py, r.angle);
    return true;
}

}  // namespace detail

bool place_item_cpu(const Sheet& sheet, const NestingItem& item,
                    const std::vector<Placement>& placed, std::int32_t sheet_index,
                    const IterativeNestingOptions& options, Placement& out) {
    if (item.part == nullptr) return false;
    const detail::SheetState state(placed);
    detail::RotationCache cache;
    detail::Workspace ws;
    return detail::place_cpu(sheet, item, item_angles(item, options), placed, state, sheet_index,
                             options, cache, ws, out);
}

}  // namespace plv
