#include "placement_reference.hpp"

#include "engine/cpu_placement.hpp"
#include "engine/deterministic.hpp"
#include "geometry/predicates.hpp"
#include "gpu/gpu_accelerator.hpp"

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>
#include <iterator>

namespace plv::reference {

namespace {

constexpr double kTol = 1e-6;

BoundingBox union_box(const BoundingBox& a, const BoundingBox& b) {
    BoundingBox u = a;
    if (b.min_x < u.min_x) u.min_x = b.min_x;
    if (b.min_y < u.min_y) u.min_y = b.min_y;
    if (b.max_x > u.max_x) u.max_x = b.max_x;
    if (b.max_y > u.max_y) u.max_y = b.max_y;
    return u;
}

bool inside_sheet(const BoundingBox& b, const Sheet& sheet) {
    return b.min_x >= -kTol && b.min_y >= -kTol && b.max_x <= sheet.width + kTol &&
           b.max_y <= sheet.height + kTol;
}

std::vector<double> angles_of(const NestingItem& item, const IterativeNestingOptions& options) {
    if (item.part->allow_rotation && item.rotation_fixed) return {item.fixed_angle};
    if (item.part->allow_rotation) return options.rotations;
    return {0.0};
}

void offer(std::vector<Point>& list, double x, double y, std::size_t limit) {
    if (list.size() >= limit) return;
    if (!(x >= -kTol) || !(y >= -kTol)) return;
    for (const Point& p : list) {
        if (std::fabs(p.x - x) <= kTol && std::fabs(p.y - y) <= kTol) return;
    }
    list.push_back(Point{x, y});
}

std::vector<double> merged(std::vector<double> v) {
    merge_sort(v, std::less<double>());
    std::vector<double> kept;
    for (const double x : v) {
        if (kept.empty() || std::fabs(x - kept.back()) > kTol) kept.push_back(x);
    }
    if (kept.size() >= 101) {
        const std::size_t n = kept.size();
        std::vector<double> thinned;
        double s = 0.0;
        const double step = static_cast<double>(n) / 100.0;
        while (s < static_cast<double>(n)) {
            thinned.push_back(kept[static_cast<std::size_t>(std::floor(s))]);
            s += step;
        }
        kept = thinned;
    }
    return kept;
}

// A candidate with its seven keys from the union box measures and the place.
PositionCandidate keyed(double area, double height, double width, double y, double x,
                        const IterativeNestingOptions& options) {
    PositionCandidate c;
    c.union_area = area;
    c.union_height = height;
    c.union_width = width;
    const double r = std::min(std::max(options.opt_ratio, 0.0), 1.0);
    const double blend = (1 - r) * height + r * width;
    if (options.optimization == OptimizationType::compact_area) {
        c.primary = blend;
        c.secondary = area;
    } else {
        c.primary = area;
        c.secondary = blend;
    }
    c.y = y;
    c.x = x;
    return c;
}

bool candidate_before(const PositionCandidate& a, const PositionCandidate& b) {
    const double ka[] = {a.primary, a.secondary, a.union_area, a.union_height,
                         a.union_width, a.y, a.x};
    const double kb[] = {b.primary, b.secondary, b.union_area, b.union_height,
                         b.union_width, b.y, b.x};
    for (int i = 0; i < 7; ++i) {
        if (ka[i] < kb[i]) return true;
        if (kb[i] < ka[i]) return false;
    }
    return false;
}

}  // namespace

bool is_position_free(const Polygon& shape, const std::vector<Placement>& placed, double spacing) {
    const BoundingBox box = geom::polygon_bounds(shape);
    for (const Placement& p : placed) {
        if (!box.overlaps(placement_bounds(p), spacing)) continue;
        if (spacing > kTol) {
            if (geom::polygon_distance(shape, p.shape) < spacing - kTol) return false;
        } else if (geom::polygons_intersect(shape, p.shape)) {
            return false;
        }
    }
    return true;
}

std::vector<Point> sample_ring_points(const Ring& ring, std::size_t count) {
    if (ring.size() <= count) return ring;
    std::size_t step = ring.size() / count;
    if (step < 1) step = 1;
    std::vector<Point> out;
    for (std::size_t i = 0; i < count; ++i) out.push_back(ring[i * step]);
    return out;
}

std::vector<Point> candidate_positions(const std::vector<Placement>& placed, const Polygon& shape,
                                       double spacing, bool extra_positions) {
    std::vector<double> xs{0.0};
    std::vector<double> ys{0.0};
    for (const Placement& p : placed) {
        const BoundingBox b = placement_bounds(p);
        xs.push_back(b.min_x);
        xs.push_back(b.max_x + spacing);
        ys.push_back(b.min_y);
        ys.push_back(b.max_y + spacing);
    }
    xs = merged(xs);
    ys = merged(ys);
    std::vector<Point> list;
    for (const double y : ys) {
        for (const double x : xs) offer(list, x, y, 2000);
    }
    if (!extra_positions || placed.empty()) return list;

    const BoundingBox sb = geom::polygon_bounds(shape);
    const double sw = sb.width();
    const double sh = sb.height();
    const std::vector<Point> outline_samples = sample_ring_points(shape.outer, 12);
    for (const Placement& p : placed) {
        const BoundingBox b = placement_bounds(p);
        const std::vector<Point> placed_samples = sample_ring_points(p.shape.outer, 12);
        offer(list, b.max_x + spacing, b.min_y, 5000);
        offer(list, b.min_x, b.max_y + spacing, 5000);
        for (const Ring& hole : p.shape.holes) {
            const BoundingBox hb = geom::ring_bounds(hole);
            const double hw = hb.width();
            const double hh = hb.height();
            if (!(sw <= hw - 2 * spacing + 1e-6) || !(sh <= hh - 2 * spacing + 1e-6)) continue;
            const double x0 = hb.min_x + spacing - sb.min_x;
            const double xr = (hb.max_x - spacing - sb.max_x) - x0;
            const double y0 = hb.min_y + spacing - sb.min_y;
            const double yr = (hb.max_y - spacing - sb.max_y) - y0;
            for (int i = 0; i <= 8; ++i) {
                for (int j = 0; j <= 8; ++j) {
                    offer(list, x0 + i * xr * 0.125, y0 + j * yr * 0.125, 5000);
                }
            }
            const Point c{(sb.min_x + sb.max_x) * 0.5, (sb.min_y + sb.max_y) * 0.5};
            for (int i = 1; i <= 4; ++i) {
                for (int j = 1; j <= 4; ++j) {
                    const Point q{hb.min_x + spacing + i * (hw - 2 * spacing) / 5,
                                  hb.min_y + spacing + j * (hh - 2 * spacing) / 5};
                    if (geom::point_in_ring(q, hole)) offer(list, q.x - c.x, q.y - c.y, 5000);
                }
            }
            const std::vector<Point> hole_samples = sample_ring_points(hole, 8);
            const std::vector<Point> outline_samples_for_holes = sample_ring_points(shape.outer, 6);
            for (const Point& h : hole_samples) {
                for (const Point& s : outline_samples_for_holes) {
                    offer(list, h.x - s.x + spacing, h.y - s.y + spacing, 5000);
                    offer(list, h.x - s.x - spacing, h.y - s.y - spacing, 5000);
                }
            }
        }
        if (list.size() < 5000) {
            bool full = false;
            for (const Point& q : placed_samples) {
                for (const Point& s : outline_samples) {
                    const double dx = q.x - s.x;
                    const double dy = q.y - s.y;
                    offer(list, dx + spacing, dy, 5000);
                    offer(list, dx - sw - spacing, dy, 5000);
                    offer(list, dx, dy + spacing, 5000);
                    offer(list, dx, dy - sh - spacing, 5000);
                    if (list.size() >= 5000) {
                        full = true;
                        break;
                    }
                }
                if (full) break;
            }
        }
    }
    merge_sort(list, [](const Point& p, const Point& q) {
        const double d = std::fabs(p.y - q.y);
        return (d > kTol && p.y < q.y) || (d <= kTol && p.x < q.x);
    });
    if (list.size() > 5000) list.resize(5000);
    return list;
}

bool place_item_cpu(const Sheet& sheet, const NestingItem& item,
                    const std::vector<Placement>& placed, std::int32_t sheet_index,
                    const IterativeNestingOptions& options, Placement& out) {
    const Part& part = *item.part;
    bool has_sheet_box = false;
    BoundingBox sheet_box;
    for (const Placement& p : placed) {
        sheet_box = union_box(sheet_box, placement_bounds(p));
        has_sheet_box = true;
    }
    std::vector<PositionCandidate> candidates;
    candidates.reserve(64);
    for (const double angle : angles_of(item, options)) {
        const Polygon rotated = geom::rotate_polygon(part.shape, angle);
        for (const Point& pos :
             candidate_positions(placed, rotated, options.spacing, options.extra_positions)) {
            Polygon moved = geom::translate_polygon(rotated, pos.x, pos.y);
            const BoundingBox b = geom::polygon_bounds(moved);
            if (!inside_sheet(b, sheet)) continue;
            if (!is_position_free(moved, placed, options.spacing)) continue;
            const BoundingBox u = has_sheet_box ? union_box(b, sheet_box) : b;
            PositionCandidate c =
                keyed(u.width() * u.height(), u.height(), u.width(), b.min_y, b.min_x, options);
            c.placement = Placement{part.name, part.source, std::move(moved), sheet_index,
                                    item.copy_number, pos.x, pos.y, angle, part_net_area(part)};
            candidates.push_back(std::move(c));
        }
    }
    if (candidates.empty()) return false;
    merge_sort(candidates, candidate_before);
    const std::int64_t n = static_cast<std::int64_t>(candidates.size());
    const std::int64_t m = std::min<std::int64_t>(options.top_k, n);
    std::int64_t index = 0;
    if (options.top_k >= 1 && m != 1) {
        const std::int64_t sum = std::max<std::int64_t>(options.position_seed, 0) +
                                 11 * std::int64_t{sheet_index} +
                                 37 * static_cast<std::int64_t>(placed.size());
        index = ((sum % m) + m) % m;
    }
    out = std::move(candidates[static_cast<std::size_t>(index)].placement);
    return true;
}

bool place_item_random(const Sheet& sheet, const NestingItem& item,
                       const std::vector<Placement>& placed, std::int32_t sheet_index,
                       const IterativeNestingOptions& options, Placement& out) {
    const Part& part = *item.part;
    const std::vector<double> angles = angles_of(item, options);
    if (angles.empty()) return false;
    const std::uint32_t k = static_cast<std::uint32_t>(placed.size());
    const std::uint32_t seed =
        static_cast<std::uint32_t>(cityhash64(part.name)) ^
        (static_cast<std::uint32_t>(options.position_seed) * 0x9E3779B1u) ^
        ((static_cast<std::uint32_t>(sheet_index) + 1u) * 0x85EBCA77u) ^ ((k + 1u) * 0xC2B2AE3Du) ^
        (static_cast<std::uint32_t>(item.copy_number) * 0x27D4EB2Fu) ^ 0x9E3779B9u;
    const std::int64_t budget = std::min<std::int64_t>(
        12000, std::max<std::int64_t>(1000, 1000 + 180 * std::int64_t{k} +
                                                120 * std::max<std::int64_t>(1, options.top_k)));
    std::mt19937 g(seed);
    // A double in [0, 1) from the next two outputs, the first the low half.
    const auto unit = [&g] {
        const double o1 = static_cast<double>(g());
        const double o2 = static_cast<double>(g());
        return (o1 + o2 * 4294967296.0) / 18446744073709551616.0;
    };
    const std::uint32_t n = static_cast<std::uint32_t>(angles.size());
    int bits = 0;
    while (bits < 32 && ((n - 1) >> bits) != 0) ++bits;
    const std::uint32_t mask = bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1u;
    for (std::int64_t attempt = 0; attempt < budget; ++attempt) {
        std::uint32_t a = 0;
        if (n > 1) {
            do {
                a = static_cast<std::uint32_t>(g()) & mask;
            } while (a >= n);
        }
        const Polygon rotated = geom::rotate_polygon(part.shape, angles[a]);
        const BoundingBox rb = geom::polygon_bounds(rotated);
        const double fx = sheet.width - rb.width();
        const double fy = sheet.height - rb.height();
        if (fx < -kTol || fy < -kTol) continue;
        const double x = unit() * std::max(fx, 0.0);
        const double y = unit() * std::max(fy, 0.0);
        Polygon moved = geom::translate_polygon(rotated, x, y);
        if (!inside_sheet(geom::polygon_bounds(moved), sheet)) continue;
        if (!reference::is_position_free(moved, placed, options.spacing)) continue;
        out = Placement{part.name, part.source, std::move(moved), sheet_index,
                        item.copy_number, x, y, angles[a], part_net_area(part)};
        return true;
    }
    return false;
}

namespace {

void add_segments(const Ring& ring, std::vector<float>& out) {
    const Ring closed = geom::close_ring(ring);
    for (std::size_t i = 0; i + 1 < closed.size(); ++i) {
        const float seg[] = {static_cast<float>(closed[i].x), static_cast<float>(closed[i].y),
                             static_cast<float>(closed[i + 1].x), static_cast<float>(closed[i + 1].y)};
        out.insert(out.end(), std::begin(seg), std::end(seg));
    }
}

std::int32_t count_of(const std::vector<float>& segments) {
    return static_cast<std::int32_t>(segments.size() / 4);
}

}  // namespace

bool place_item_gpu(const Sheet& sheet, const NestingItem& item,
                    const std::vector<Placement>& placed, std::int32_t sheet_index,
                    const IterativeNestingOptions& options, Placement& out, std::int32_t device) {
    const GpuAccelerator& gpu = GpuAccelerator::instance();
    if (device < 0 || static_cast<std::size_t>(device) >= gpu.device_count()) {
        return reference::place_item_cpu(sheet, item, placed, sheet_index, options, out);
    }
    std::vector<float> existing_segments;
    std::vector<float> existing_bounds;
    std::vector<std::int32_t> existing_offsets{0};
    BoundingBox all;
    for (const Placement& p : placed) {
        add_segments(p.shape.outer, existing_segments);
        existing_offsets.push_back(count_of(existing_segments));
        const BoundingBox b = placement_bounds(p);
        existing_bounds.insert(existing_bounds.end(),
                               {static_cast<float>(b.min_x), static_cast<float>(b.min_y),
                                static_cast<float>(b.max_x), static_cast<float>(b.max_y)});
        all = union_box(all, b);
    }
    const float global[] = {static_cast<float>(all.min_x), static_cast<float>(all.min_y),
                            static_cast<float>(all.max_x), static_cast<float>(all.max_y)};
    const std::vector<double> angles = angles_of(item, options);
    if (angles.empty()) return reference::place_item_cpu(sheet, item, placed, sheet_index, options, out);

    std::vector<float> segments;
    std::vector<std::int32_t> offsets{0};
    std::vector<float> bounds;
    std::vector<float> positions;
    std::vector<std::int32_t> slots;
    std::vector<Polygon> rotated_of;  // per position
    std::vector<double> angle_of;
    for (std::size_t s = 0; s < angles.size(); ++s) {
        const Polygon rotated = geom::rotate_polygon(item.part->shape, angles[s]);
        const std::vector<Point> list =
            reference::candidate_positions(placed, rotated, options.spacing, options.extra_positions);
        if (list.empty()) {
            offsets.push_back(count_of(segments));
            bounds.insert(bounds.end(), {0.0f, 0.0f, 0.0f, 0.0f});
            continue;
        }
        add_segments(rotated.outer, segments);
        offsets.push_back(count_of(segments));
        const BoundingBox b = geom::polygon_bounds(rotated);
        bounds.insert(bounds.end(), {static_cast<float>(b.width()), static_cast<float>(b.height()),
                                     static_cast<float>(b.min_x), static_cast<float>(b.min_y)});
        for (const Point& p : list) {
            positions.insert(positions.end(), {static_cast<float>(p.x), static_cast<float>(p.y)});
            slots.push_back(static_cast<std::int32_t>(s));
            rotated_of.push_back(rotated);
            angle_of.push_back(angles[s]);
        }
    }
    if (slots.empty()) return reference::place_item_cpu(sheet, item, placed, sheet_index, options, out);
    const auto data = [](const std::vector<float>& v) { return v.empty() ? nullptr : v.data(); };
    const std::vector<GpuPositionResult> answers = gpu.evaluate_positions(
        device, data(existing_segments), count_of(existing_segments), data(existing_bounds),
        existing_offsets.data(), static_cast<std::int32_t>(placed.size()), data(segments),
        count_of(segments), offsets.data(), bounds.data(), static_cast<std::int32_t>(angles.size()),
        positions.data(), slots.data(), static_cast<std::int32_t>(slots.size()),
        static_cast<float>(sheet.width), static_cast<float>(sheet.height),
        static_cast<float>(options.spacing), global, !placed.empty());
    if (answers.empty() || answers.size() != slots.size()) {
        return reference::place_item_cpu(sheet, item, placed, sheet_index, options, out);
    }

    bool found = false;
    PositionCandidate best;
    for (std::size_t i = 0; i < answers.size(); ++i) {
        const GpuPositionResult& a = answers[i];
        if (!a.valid) continue;
        Polygon moved = geom::translate_polygon(rotated_of[i], a.x, a.y);
        if (!inside_sheet(geom::polygon_bounds(moved), sheet)) continue;
        if (!reference::is_position_free(moved, placed, options.spacing)) continue;
        PositionCandidate c = keyed(a.union_area, a.used_height, a.used_width, a.y, a.x, options);
        if (found && !candidate_before(c, best)) continue;
        const Part& part = *item.part;
        c.placement = Placement{part.name, part.source, std::move(moved), sheet_index,
                                item.copy_number, a.x, a.y, angle_of[i], part_net_area(part)};
        best = std::move(c);
        found = true;
    }
    if (!found) return reference::place_item_cpu(sheet, item, placed, sheet_index, options, out);
    out = std::move(best.placement);
    return true;
}

NestingResult place_items_on_sheets(const Sheet& sheet, const std::vector<NestingItem>& items,
                                    const IterativeNestingOptions& options,
                                    std::vector<std::vector<Placement>> prefilled) {
    NestingResult result;
    result.sheet = sheet;
    std::vector<std::vector<Placement>> sheets = std::move(prefilled);
    if (sheets.empty()) sheets.emplace_back();
    const bool random = options.solver == Solver::random;
    const bool gpu = options.solver == Solver::gpu || options.solver == Solver::dual_gpu;
    // The GPU route: the device for sheets with parts and enough work.
    const auto route = [&](const NestingItem& item, const std::vector<Placement>& placed,
                           std::int32_t index, Placement& out) {
        std::uint64_t points = 0;
        for (const Placement& p : placed) {
            points += p.shape.outer.size();
            for (const Ring& h : p.shape.holes) points += h.size();
        }
        if (placed.empty() || item.part->shape.outer.size() * points < 2500) {
            return reference::place_item_cpu(sheet, item, placed, index, options, out);
        }
        const auto count = static_cast<std::int32_t>(GpuAccelerator::instance().device_count());
        const std::int32_t device =
            options.solver == Solver::dual_gpu && count >= 2 ? options.position_seed % count : 0;
        return reference::place_item_gpu(sheet, item, placed, index, options, out, device);
    };
    for (const NestingItem& item : items) {
        bool placed = false;
        for (std::size_t i = 0; i < sheets.size() && !placed; ++i) {
            Placement out;
            const auto index = static_cast<std::int32_t>(i);
            const bool ok = random ? reference::place_item_random(sheet, item, sheets[i], index, options, out)
                            : gpu  ? route(item, sheets[i], index, out)
                                   : reference::place_item_cpu(sheet, item, sheets[i], index, options, out);
            if (ok) {
                sheets[i].push_back(out);
                placed = true;
            }
        }
        if (!placed && static_cast<std::int64_t>(sheets.size()) < options.max_sheets) {
            Placement out;
            const auto index = static_cast<std::int32_t>(sheets.size());
            const bool ok = random ? reference::place_item_random(sheet, item, {}, index, options, out)
                                   : reference::place_item_cpu(sheet, item, {}, index, options, out);
            if (ok) {
                sheets.push_back({out});
                placed = true;
            }
        }
        if (!placed) result.unplaced.push_back(*item.part);
    }
    for (const std::vector<Placement>& s : sheets) {
        for (const Placement& p : s) result.placements.push_back(p);
    }
    if (!options.compact || random) return result;

    std::vector<Placement>& ps = result.placements;
    const int passes = ps.size() > 12 ? 1 : 3;
    const double spacing = options.spacing;
    for (int pass = 0; pass < passes; ++pass) {
        merge_sort(ps, [](const Placement& a, const Placement& b) {
            const BoundingBox ba = placement_bounds(a);
            const BoundingBox bb = placement_bounds(b);
            const double d = std::fabs(ba.min_y - bb.min_y);
            return (d > kTol && ba.min_y < bb.min_y) || (d <= kTol && ba.min_x < bb.min_x);
        });
        for (std::size_t h = 0; h < ps.size(); ++h) {
            std::vector<Placement> others;
            for (std::size_t j = 0; j < ps.size(); ++j) {
                if (j != h && ps[j].sheet_index == ps[h].sheet_index) others.push_back(ps[j]);
            }
            for (const bool drop : {true, false}) {
                const BoundingBox box = placement_bounds(ps[h]);
                std::vector<double> targets{0.0};
                for (const Placement& o : others) {
                    const BoundingBox ob = placement_bounds(o);
                    targets.push_back((drop ? ob.max_y : ob.max_x) + spacing);
                }
                merge_sort(targets, std::less<double>());
                const double from = drop ? box.min_y : box.min_x;
                for (const double t : targets) {
                    if (!(t < from - kTol)) continue;
                    const Polygon moved = drop ? geom::translate_polygon(ps[h].shape, 0, t - from)
                                               : geom::translate_polygon(ps[h].shape, t - from, 0);
                    if (!inside_sheet(geom::polygon_bounds(moved), sheet)) continue;
                    if (!is_position_free(moved, others, spacing)) continue;
                    ps[h].shape = moved;
                    if (drop) {
                        ps[h].y += t - from;
                    } else {
                        ps[h].x += t - from;
                    }
                    break;
                }
            }
        }
    }
    return result;
}

}  // namespace plv::reference
