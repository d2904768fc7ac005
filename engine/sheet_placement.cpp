#include "engine/sheet_placement.hpp"

#include "engine/cpu_placement.hpp"
#include "engine/deterministic.hpp"
#include "engine/gpu_route.hpp"
#include "engine/placement_context.hpp"
#include "engine/positions.hpp"
#include "engine/random_placement.hpp"

#include <bit>
#include <cmath>
#include <functional>
#include <map>
#include <tuple>
#include <utility>

namespace plv {

namespace {

constexpr double kTol = kEngineTolerance;
// Placed shapes whose free-test geometry the sheets may keep built between
// tries, about 1 KB each for simple outlines. Ordinary layouts stay far
// below it; sheets of thousands of array copies would otherwise keep
// everything that any copy's free test met.
constexpr std::size_t kBuiltShapeBudget = std::size_t{1} << 14;

// Sheets on which a part at an angle found no free position, with the number
// of placements the sheet held then. Sheets only grow by appending, and the
// CPU placer's answer depends only on the sheet's placements, the rotated
// shape and the options, so the same part at the same angle fails there again
// until the sheet changes. Key sheet -1: a new, empty sheet.
class FailCache {
public:
    bool failed(std::int32_t sheet, const Part* part, double angle, std::size_t count) const {
        const auto it = failed_.find(key(sheet, part, angle));
        return it != failed_.end() && it->second == count;
    }
    void record(std::int32_t sheet, const Part* part, double angle, std::size_t count) {
        failed_[key(sheet, part, angle)] = count;
    }

private:
    using Key = std::tuple<std::int32_t, const Part*, std::uint64_t>;
    static Key key(std::int32_t sheet, const Part* part, double angle) {
        return {sheet, part, std::bit_cast<std::uint64_t>(angle)};
    }
    std::map<Key, std::size_t> failed_;
};

bool box_before(const BoundingBox& a, const BoundingBox& b) {
    const double dy = std::fabs(a.min_y - b.min_y);
    return (dy > kTol && a.min_y < b.min_y) || (dy <= kTol && a.min_x < b.min_x);
}

// Moves every placement straight down, then straight left, onto the lowest
// and then the leftmost target line where it is free.
void compact(NestingResult& result, double spacing) {
    std::vector<Placement>& ps = result.placements;
    const std::size_t n = ps.size();
    const int passes = n > 12 ? 1 : 3;
    std::vector<detail::ShapeGeometry> geos;
    std::vector<BoundingBox> boxes;
    geos.reserve(n);
    boxes.reserve(n);
    for (const Placement& p : ps) {
        geos.push_back(detail::build_shape_geometry(p.shape));
        boxes.push_back(placement_bounds(p));
    }
    std::vector<std::size_t> order(n);
    std::vector<double> targets;
    std::vector<std::size_t> others;
    detail::ConflictScratch scratch;
    for (int pass = 0; pass < passes; ++pass) {
        for (std::size_t i = 0; i < n; ++i) order[i] = i;
        merge_sort(order, [&](std::size_t a, std::size_t b) { return box_before(boxes[a], boxes[b]); });
        {
            std::vector<Placement> sorted_ps;
            std::vector<detail::ShapeGeometry> sorted_geos;
            std::vector<BoundingBox> sorted_boxes;
            sorted_ps.reserve(n);
            sorted_geos.reserve(n);
            sorted_boxes.reserve(n);
            for (const std::size_t i : order) {
                sorted_ps.push_back(std::move(ps[i]));
                sorted_geos.push_back(std::move(geos[i]));
                sorted_boxes.push_back(boxes[i]);
            }
            ps.swap(sorted_ps);
            geos.swap(sorted_geos);
            boxes.swap(sorted_boxes);
        }
        std::map<std::int32_t, std::vector<std::size_t>> by_sheet;
        for (std::size_t i = 0; i < n; ++i) by_sheet[ps[i].sheet_index].push_back(i);

        const auto is_free = [&](std::size_t h, double dx, double dy, const BoundingBox& moved) {
            for (const std::size_t j : others) {
                if (!moved.overlaps(boxes[j], spacing)) continue;
                if (detail::shapes_conflict(geos[h], ps[h].shape, dx, dy, moved, geos[j],
                                            ps[j].shape, boxes[j], spacing, scratch)) {
                    return false;
                }
            }
            return true;
        };
        // One move along one axis; vertical: the drop, else the slide.
        const auto move = [&](std::size_t h, bool vertical) {
            const BoundingBox box = boxes[h];
            targets.assign(1, 0.0);
            for (const std::size_t j : others) {
                targets.push_back((vertical ? boxes[j].max_y : boxes[j].max_x) + spacing);
            }
            merge_sort(targets, std::less<double>());
            const double from = vertical ? box.min_y : box.min_x;
            for (const double t : targets) {
                if (!(t < from - kTol)) continue;
                const double d = t - from;
                const double dx = vertical ? 0.0 : d;
                const double dy = vertical ? d : 0.0;
                const BoundingBox moved = geom::translate_box(box, dx, dy);
                if (!box_inside_sheet(moved, result.sheet) || !is_free(h, dx, dy, moved)) continue;
                ps[h].shape = geom::translate_polygon(ps[h].shape, dx, dy);
                if (vertical) {
                    ps[h].y = ps[h].y + d;
                } else {
                    ps[h].x = ps[h].x + d;
                }
                geos[h] = detail::build_shape_geometry(ps[h].shape);
                boxes[h] = placement_bounds(ps[h]);
                return;
            }
        };
        for (std::size_t h = 0; h < n; ++h) {
            others.clear();
            for (const std::size_t j : by_sheet[ps[h].sheet_index]) {
                if (j != h) others.push_back(j);
            }
            move(h, true);
            move(h, false);
        }
    }
}

}  // namespace

void move_sheets_into(std::vector<std::vector<Placement>>& sheets, std::vector<Placement>& out) {
    std::size_t total = out.size();
    for (const std::vector<Placement>& s : sheets) total += s.size();
    out.reserve(total);
    for (std::vector<Placement>& s : sheets) {
        for (Placement& p : s) out.push_back(std::move(p));
        std::vector<Placement>().swap(s);
    }
}

NestingResult place_items_on_sheets(const Sheet& sheet, const std::vector<NestingItem>& items,
                                    const IterativeNestingOptions& options,
                                    std::vector<std::vector<Placement>> prefilled) {
    return detail::place_items_on_sheets(sheet, items, options, std::move(prefilled),
                                         kBuiltShapeBudget);
}

NestingResult detail::place_items_on_sheets(const Sheet& sheet,
                                            const std::vector<NestingItem>& items,
                                            const IterativeNestingOptions& options,
                                            std::vector<std::vector<Placement>> prefilled,
                                            std::size_t shape_budget) {
    NestingResult result;
    result.sheet = sheet;
    std::vector<std::vector<Placement>> sheets = std::move(prefilled);
    if (sheets.empty()) sheets.emplace_back();
    std::vector<detail::SheetState> states;
    states.reserve(sheets.size());
    for (const std::vector<Placement>& s : sheets) states.emplace_back(s);

    const bool random = options.solver == Solver::random;
    const bool gpu = options.solver == Solver::gpu || options.solver == Solver::dual_gpu;
    detail::RotationCache cache;
    detail::Workspace ws;
    FailCache fails;
    std::vector<double> angles;
    const std::vector<Placement> no_placements;
    const detail::SheetState empty_state;

    // The CPU placer, less the angles already known to fail on this sheet
    // in this state.
    const auto place_cpu = [&](const NestingItem& item, std::int32_t fail_key,
                               const std::vector<Placement>& placed,
                               const detail::SheetState& state, std::int32_t index,
                               Placement& out) {
        angles.clear();
        for (const double a : item_angles(item, options)) {
            if (!fails.failed(fail_key, item.part, a, placed.size())) angles.push_back(a);
        }
        if (angles.empty()) return false;
        if (detail::place_cpu(sheet, item, angles, placed, state, index, options, cache, ws, out)) {
            return true;
        }
        for (const double a : angles) fails.record(fail_key, item.part, a, placed.size());
        return false;
    };

    // Shapes built on all sheets; a try on a sheet builds only that sheet's.
    // Past the budget, only the sheet just tried keeps its built shapes.
    std::size_t built = 0;
    const auto count_built = [&](std::size_t tried, std::size_t before) {
        built += states[tried].built() - before;
        if (built <= shape_budget) return;
        for (std::size_t j = 0; j < states.size(); ++j) {
            if (j != tried) states[j].release_shapes();
        }
        built = states[tried].built();
    };

    for (const NestingItem& item : items) {
        if (item.part == nullptr) continue;
        bool done = false;
        Placement out;
        for (std::size_t i = 0; i < sheets.size() && !done; ++i) {
            const auto index = static_cast<std::int32_t>(i);
            const std::size_t built_before = states[i].built();
            bool ok = false;
            if (random) {
                ok = detail::place_random(sheet, item, sheets[i], states[i], index, options, cache,
                                          out);
            } else if (gpu) {
                // The route works on the prepared sheet, and where it
                // places on the CPU, it does so with the failures already
                // known.
                auto cpu = [&](Placement& o) {
                    return place_cpu(item, index, sheets[i], states[i], index, o);
                };
                ok = detail::place_item_gpu_route(sheet, item, sheets[i], index, options, out,
                                                  detail::CpuPlacer(cpu),
                                                  detail::PreparedSheet{states[i], cache, ws});
            } else {
                ok = place_cpu(item, index, sheets[i], states[i], index, out);
            }
            if (ok) {
                sheets[i].push_back(std::move(out));
                states[i].add(sheets[i].back());
                done = true;
            }
            count_built(i, built_before);
        }
        if (!done && static_cast<std::int64_t>(sheets.size()) < options.max_sheets) {
            const auto index = static_cast<std::int32_t>(sheets.size());
            const bool ok =
                random ? detail::place_random(sheet, item, no_placements, empty_state, index,
                                              options, cache, out)
                       : place_cpu(item, -1, no_placements, empty_state, index, out);
            if (ok) {
                sheets.emplace_back();
                sheets.back().push_back(std::move(out));
                states.emplace_back();
                states.back().add(sheets.back().back());
                done = true;
            }
        }
        if (!done) result.unplaced.push_back(*item.part);
    }

    std::vector<detail::SheetState>().swap(states);
    move_sheets_into(sheets, result.placements);
    if (options.compact && !random) compact(result, options.spacing);
    return result;
}

}  // namespace plv
