#include "engine/positions.hpp"

#include "engine/deterministic.hpp"
#include "engine/placement_context.hpp"
#include "geometry/predicates.hpp"

#include <bit>
#include <cmath>
#include <functional>
#include <optional>

namespace plv {

namespace detail {

namespace {

constexpr double kTol = kEngineTolerance;
constexpr std::size_t kGridLimit = 2000;
constexpr std::size_t kListLimit = 5000;
static_assert(kListLimit < (std::size_t{1} << 13), "a set slot holds an index + 1 in 13 bits");

void merge_and_thin(std::vector<double>& v) {
    merge_sort(v, std::less<double>());
    std::size_t kept = 0;
    for (std::size_t i = 0; i < v.size(); ++i) {
        if (kept == 0 || std::fabs(v[i] - v[kept - 1]) > kTol) v[kept++] = v[i];
    }
    v.resize(kept);
    const std::size_t n = v.size();
    if (n < 101) return;
    // The running sum is accumulated, not multiplied out: 102 values thin to
    // 101 that way.
    std::vector<double> thinned;
    thinned.reserve(102);
    const double step = static_cast<double>(n) / 100.0;
    for (double s = 0.0; s < static_cast<double>(n); s += step) {
        thinned.push_back(v[static_cast<std::size_t>(s)]);
    }
    v.swap(thinned);
}

// Cell of a coordinate: any monotone map will do for the window below
// (cells far wider than the tolerance rarely need a second probe); clamped,
// so finite for every value that is not NaN.
double cell_coordinate(double v) {
    constexpr double kLimit = 1073741824.0;  // 2^30
    if (v > kLimit) v = kLimit;
    if (v < -kLimit) v = -kLimit;
    return (v + PositionSet::kCellOffset) * PositionSet::kCellScale;
}

std::int64_t cell_of(double v) { return static_cast<std::int64_t>(cell_coordinate(v)); }

// Cells that can hold a coordinate within 1e-6 of v: the window is wider
// than the tolerance by more than any rounding of v -/+ r.
void cell_window(double v, std::int64_t& lo, std::int64_t& hi) {
    if (std::isinf(v)) {
        lo = hi = cell_of(v);
        return;
    }
    const double r = 2e-6 + std::fabs(v) * 0x1p-50;
    lo = cell_of(v - r);
    hi = cell_of(v + r);
}

}  // namespace

void sample_ring(const Ring& ring, std::size_t count, std::vector<Point>& out) {
    out.clear();
    if (count == 0) return;
    const std::size_t n = ring.size();
    if (n <= count) {
        out.assign(ring.begin(), ring.end());
        return;
    }
    std::size_t step = n / count;
    if (step < 1) step = 1;
    out.reserve(count);
    for (std::size_t k = 0; k < count; ++k) out.push_back(ring[k * step]);
}

// Drops every point equal to an earlier one (a closed ring's last point):
// the offers made from it repeat earlier offers exactly, and a repeat is
// never taken.
void drop_repeats(std::vector<Point>& points) {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < points.size(); ++i) {
        bool repeat = false;
        for (std::size_t j = 0; j < kept && !repeat; ++j) {
            repeat = points[j].x == points[i].x && points[j].y == points[i].y;
        }
        if (!repeat) points[kept++] = points[i];
    }
    points.resize(kept);
}

void sample_outline(RotatedShape& shape) {
    sample_ring(shape.shape.outer, 12, shape.outline_samples);
    sample_ring(shape.shape.outer, 6, shape.outline_samples_for_holes);
    drop_repeats(shape.outline_samples);
    drop_repeats(shape.outline_samples_for_holes);
}

RotatedShape make_rotated_shape(const Polygon& part_shape, double angle) {
    RotatedShape r;
    r.angle = angle;
    r.shape = geom::rotate_polygon(part_shape, angle);
    r.geo = build_shape_geometry(r.shape);
    r.box = geom::polygon_bounds(r.shape);
    sample_outline(r);
    r.probes = outline_probes(r.shape.outer, 16);
    return r;
}

const RotatedShape& RotationCache::get(const Part& part, double angle) {
    auto& slot = shapes_[{&part, std::bit_cast<std::uint64_t>(angle)}];
    if (!slot) slot = std::make_unique<RotatedShape>(make_rotated_shape(part.shape, angle));
    return *slot;
}

PlacedShape make_placed_shape(const Placement& placement) {
    PlacedShape s;
    s.geo = build_shape_geometry(placement.shape);
    sample_ring(placement.shape.outer, 12, s.outline_samples);
    drop_repeats(s.outline_samples);
    s.hole_samples.resize(placement.shape.holes.size());
    s.hole_boxes.reserve(placement.shape.holes.size());
    for (std::size_t h = 0; h < placement.shape.holes.size(); ++h) {
        sample_ring(placement.shape.holes[h], 8, s.hole_samples[h]);
        drop_repeats(s.hole_samples[h]);
        s.hole_boxes.push_back(geom::ring_bounds(placement.shape.holes[h]));
    }
    return s;
}

SheetState::SheetState(const std::vector<Placement>& placed) {
    boxes_.reserve(placed.size());
    shapes_.reserve(placed.size());
    for (const Placement& p : placed) add(p);
}

void SheetState::add(const Placement& placement) {
    boxes_.push_back(placement_bounds(placement));
    shapes_.emplace_back();
    sheet_box_ = geom::box_union(sheet_box_, boxes_.back());
}

const PlacedShape& SheetState::shape(std::size_t i, const std::vector<Placement>& placed) const {
    std::unique_ptr<PlacedShape>& slot = shapes_[i];
    if (!slot) {
        slot = std::make_unique<PlacedShape>(make_placed_shape(placed[i]));
        ++built_;
    }
    return *slot;
}

void SheetState::release_shapes() {
    if (built_ == 0) return;
    for (std::unique_ptr<PlacedShape>& slot : shapes_) slot.reset();
    built_ = 0;
}

const SheetCoverage& SheetState::coverage(double width, double height,
                                          const std::vector<Placement>& placed) const {
    if (!coverage_.matches(width, height)) {
        coverage_.reset(width, height);
        covered_ = 0;
    }
    // Shapes not built yet are marked from a geometry made for the purpose
    // and dropped, so that covering a sheet keeps nothing per shape.
    for (; covered_ < boxes_.size(); ++covered_) {
        if (shapes_[covered_]) {
            coverage_.add(shapes_[covered_]->geo);
        } else {
            coverage_.add(build_shape_geometry(placed[covered_].shape));
        }
    }
    return coverage_;
}

std::vector<std::uint64_t>& SheetState::never_free(const Part* part, double angle,
                                                  double spacing) const {
    const auto a = std::bit_cast<std::uint64_t>(angle);
    const auto s = std::bit_cast<std::uint64_t>(spacing);
    KnownShape* oldest = nullptr;
    for (const std::unique_ptr<KnownShape>& k : known_) {
        if (k->part == part && k->angle == a && k->spacing == s) {
            k->used = known_clock_;
            return k->never_free;
        }
        if (k->used < known_clock_ && (oldest == nullptr || k->used < oldest->used)) {
            oldest = k.get();
        }
    }
    if (known_.size() >= kKnownShapes && oldest != nullptr) {
        *oldest = KnownShape{part, a, s, known_clock_, {}};
        return oldest->never_free;
    }
    known_.push_back(std::make_unique<KnownShape>(KnownShape{part, a, s, known_clock_, {}}));
    return known_.back()->never_free;
}

PositionSet::PositionSet() {
    slots_.assign(std::size_t{1} << kSlotBits, 0);
    filled_.assign(8192, 0);
    mask_ = slots_.size() - 1;
}

void PositionSet::grow_filled() { filled_.resize(2 * filled_.size()); }

void PositionSet::clear_from(std::size_t keep) {
    // Locals: the stores would otherwise have the members read again.
    std::uint16_t* const slots = slots_.data();
    const std::uint16_t* const filled = filled_.data();
    const std::size_t count = filled_count_;
    for (std::size_t i = keep; i < count; ++i) slots[filled[i]] = 0;
    filled_count_ = keep;
}

void PositionSet::start_grid(const std::vector<Point>* points) {
    clear_from(0);
    grid_count_ = 0;
    points_ = points;
    in_grid_ = true;
}

void PositionSet::start_extras() {
    if (in_grid_) grid_count_ = filled_count_;
    clear_from(grid_count_);
    in_grid_ = false;
}

bool PositionSet::chain_has_near(std::size_t start, double x, double y) const {
    const Point* points = points_->data();
    for (std::size_t s = start;; s = (s + 1) & mask_) {
        const std::uint16_t slot = slots_[s];
        if (slot == 0) return false;
        const Point& p = points[(slot & kIndexMask) - 1];
        if (std::fabs(p.x - x) <= kTol && std::fabs(p.y - y) <= kTol) return true;
    }
}

bool PositionSet::add_if_new_anywhere(double x, double y, std::uint32_t index) {
    // The cells that can hold a point within 1e-6, each chain checked.
    std::int64_t x0 = 0, x1 = 0, y0 = 0, y1 = 0;
    cell_window(x, x0, x1);
    cell_window(y, y0, y1);
    for (std::int64_t cx = x0; cx <= x1; ++cx) {
        for (std::int64_t cy = y0; cy <= y1; ++cy) {
            if (chain_has_near(slot_of(cx, cy), x, y)) return false;
        }
    }
    put(x, y, index);
    return true;
}

void PositionSet::put(double x, double y, std::uint32_t index) {
    // The point's own cell, as add_if_new finds it.
    const double tx = (x + kCellOffset) * kCellScale;
    const double ty = (y + kCellOffset) * kCellScale;
    const bool in_range = tx >= 1.0 && ty >= 1.0 && tx < 0x1p37 && ty < 0x1p37;
    const std::uint64_t h =
        in_range ? hash_of(static_cast<std::int64_t>(tx), static_cast<std::int64_t>(ty))
                 : hash_of(cell_of(x), cell_of(y));
    std::size_t s = slot_of_hash(h);
    while (slots_[s] != 0) s = (s + 1) & mask_;
    Writer w = writer(1);
    take(w, s, index, tag_of_hash(h));
    keep(w);
}

// put's cell is cell_of on each axis (its short path computes the same), so
// the slot splits by axis.
std::uint64_t PositionSet::column_part(double x) {
    return static_cast<std::uint64_t>(cell_of(x)) * kColumnFactor;
}

std::uint64_t PositionSet::row_part(double y) {
    return static_cast<std::uint64_t>(cell_of(y)) * kRowFactor;
}

void PositionSet::insert(std::uint32_t index) {
    const Point& p = (*points_)[index];
    put(p.x, p.y, index);
}

void coordinate_lists(const SheetState& sheet, double spacing, std::vector<double>& xs,
                      std::vector<double>& ys) {
    const bool same = sheet.lists_valid_ && sheet.lists_size_ == sheet.size() &&
                      std::bit_cast<std::uint64_t>(sheet.lists_spacing_) ==
                          std::bit_cast<std::uint64_t>(spacing);
    if (!same) {
        std::vector<double>& cx = sheet.xs_;
        std::vector<double>& cy = sheet.ys_;
        cx.assign(1, 0.0);
        cy.assign(1, 0.0);
        for (std::size_t i = 0; i < sheet.size(); ++i) {
            const BoundingBox& b = sheet.box(i);
            cx.push_back(b.min_x);
            cx.push_back(b.max_x + spacing);
            cy.push_back(b.min_y);
            cy.push_back(b.max_y + spacing);
        }
        merge_and_thin(cx);
        merge_and_thin(cy);
        cx.shrink_to_fit();
        cy.shrink_to_fit();
        sheet.lists_size_ = sheet.size();
        sheet.lists_spacing_ = spacing;
        sheet.lists_valid_ = true;
    }
    xs = sheet.xs_;
    ys = sheet.ys_;
}

void grid_positions(const std::vector<double>& xs, const std::vector<double>& ys, Workspace& ws) {
    // Room for the longest list, so that the loops here and in
    // extra_positions write in place; the first ws.listed count.
    std::vector<Point>& room = ws.positions;
    if (room.size() < kListLimit) room.resize(kListLimit);
    Point* const out = room.data();
    ws.set.start_grid(&room);
    ws.grid_xs.clear();
    ws.grid_row_starts.clear();
    ws.grid_column_parts.clear();
    for (const double x : xs) {
        if (x >= -kTol) {
            ws.grid_xs.push_back(x);
            ws.grid_column_parts.push_back(PositionSet::column_part(x));
        }
    }
    // Grid positions need no duplicate check: the merged lists keep values
    // more than 1e-6 apart.
    const std::size_t columns = ws.grid_xs.size();
    std::size_t n = 0;
    PositionSet::Writer w = ws.set.writer(kGridLimit);
    for (const double y : ys) {
        if (n >= kGridLimit) break;
        if (!(y >= -kTol)) continue;
        if (columns > 0) ws.grid_row_starts.push_back(n);
        const std::uint64_t row = PositionSet::row_part(y);
        for (std::size_t c = 0; c < columns; ++c) {
            if (n >= kGridLimit) break;
            out[n] = Point{ws.grid_xs[c], y};
            PositionSet::insert_parts(w, ws.grid_column_parts[c], row,
                                      static_cast<std::uint32_t>(n));
            ++n;
        }
    }
    ws.set.keep(w);
    ws.grid_size = n;
    ws.listed = n;
}

bool extra_positions(const std::vector<Placement>& placed, const SheetState& sheet,
                     const RotatedShape& shape, double spacing, bool extra, Workspace& ws) {
    ws.listed = ws.grid_size;
    ws.offers_made = 0;
    if (!extra || sheet.empty()) return false;
    ws.set.start_extras();

    // ws.listed, kept in a local so that it stays in a register.
    std::size_t listed = ws.grid_size;
    std::size_t offers = 0;  // made so far, less those below -1e-6
    if (ws.extra_offers.size() < kListLimit) ws.extra_offers.resize(kListLimit);
    std::uint16_t* const made = ws.extra_offers.data();
    const std::size_t grid = listed;
    // grid_positions, always run first, made room for kListLimit.
    Point* const out = ws.positions.data();  // what the set indexes
    PositionSet::Writer writer = ws.set.writer(kListLimit);
    // Inlined by force: the loops below call it in their innermost step.
    const auto offer = [&](double x, double y) __attribute__((always_inline)) {
        if (listed >= kListLimit) return;
        if (!(x >= -kTol) || !(y >= -kTol)) return;
        const auto m = static_cast<std::uint16_t>(offers++);
        if (!ws.set.add_if_new_listed(writer, out, x, y, static_cast<std::uint32_t>(listed))) {
            return;
        }
        out[listed] = Point{x, y};
        made[listed - grid] = m;
        ++listed;
    };

    const BoundingBox& sb = shape.box;
    const double sw = sb.width();
    const double sh = sb.height();
    const double cx = (sb.min_x + sb.max_x) * 0.5;
    const double cy = (sb.min_y + sb.max_y) * 0.5;
    for (std::size_t p = 0; p < sheet.size(); ++p) {
        // A full list takes nothing more.
        if (listed >= kListLimit) break;
        const PlacedShape& ps = sheet.shape(p, placed);
        const BoundingBox& b = sheet.box(p);
        offer(b.max_x + spacing, b.min_y);
        offer(b.min_x, b.max_y + spacing);
        const std::vector<Ring>& holes = placed[p].shape.holes;
        for (std::size_t h = 0; h < holes.size(); ++h) {
            const BoundingBox& hb = ps.hole_boxes[h];
            const double hw = hb.width();
            const double hh = hb.height();
            if (!(sw <= hw - 2.0 * spacing + kTol && sh <= hh - 2.0 * spacing + kTol)) continue;
            const double x0 = hb.min_x + spacing - sb.min_x;
            const double xr = (hb.max_x - spacing - sb.max_x) - x0;
            const double y0 = hb.min_y + spacing - sb.min_y;
            const double yr = (hb.max_y - spacing - sb.max_y) - y0;
            for (int i = 0; i <= 8; ++i) {
                for (int j = 0; j <= 8; ++j) {
                    offer(x0 + i * xr * 0.125, y0 + j * yr * 0.125);
                }
            }
            for (int i = 1; i <= 4; ++i) {
                for (int j = 1; j <= 4; ++j) {
                    const Point q{hb.min_x + spacing + i * (hw - 2.0 * spacing) / 5.0,
                                  hb.min_y + spacing + j * (hh - 2.0 * spacing) / 5.0};
                    if (geom::point_in_ring(q, holes[h])) offer(q.x - cx, q.y - cy);
                }
            }
            for (const Point& hp : ps.hole_samples[h]) {
                for (const Point& s : shape.outline_samples_for_holes) {
                    offer(hp.x - s.x + spacing, hp.y - s.y + spacing);
                    offer(hp.x - s.x - spacing, hp.y - s.y - spacing);
                }
            }
        }
        if (listed < kListLimit) {
            for (const Point& q : ps.outline_samples) {
                if (listed >= kListLimit) break;
                for (const Point& s : shape.outline_samples) {
                    if (listed >= kListLimit) break;
                    const double dx = q.x - s.x;
                    const double dy = q.y - s.y;
                    offer(dx + spacing, dy);
                    offer(dx - sw - spacing, dy);
                    offer(dx, dy + spacing);
                    offer(dx, dy - sh - spacing);
                }
            }
        }
    }
    ws.set.keep(writer);
    ws.listed = listed;
    ws.offers_made = offers;
    return true;
}

bool generate_positions(const std::vector<Placement>& placed, const SheetState& sheet,
                        const RotatedShape& shape, double spacing, bool extra,
                        const std::vector<double>& xs, const std::vector<double>& ys,
                        Workspace& ws) {
    grid_positions(xs, ys, ws);
    return extra_positions(placed, sheet, shape, spacing, extra, ws);
}

void candidate_positions(const std::vector<Placement>& placed, const SheetState& sheet,
                         const RotatedShape& shape, double spacing, bool extra, Workspace& ws,
                         std::vector<Point>& out) {
    coordinate_lists(sheet, spacing, ws.xs, ws.ys);
    const bool extras = generate_positions(placed, sheet, shape, spacing, extra, ws.xs, ws.ys, ws);
    out.assign(ws.positions.begin(), ws.positions.begin() + static_cast<std::ptrdiff_t>(ws.listed));
    if (extras) sort_positions(out);
}

void sort_positions(std::vector<Point>& positions) {
    merge_sort(positions, [](const Point& p, const Point& q) {
        const double dy = std::fabs(p.y - q.y);
        return (dy > kTol && p.y < q.y) || (dy <= kTol && p.x < q.x);
    });
}

bool position_free(const ShapeGeometry& geo, const Polygon& shape, double dx, double dy,
                   const BoundingBox& box, const std::vector<Placement>& placed,
                   const SheetState& sheet, double spacing) {
    const std::size_t n = sheet.size();
    if (n == 0) return true;
    std::size_t& hint = sheet.hint();
    if (hint >= n) hint = 0;
    const std::size_t start = hint;
    for (std::size_t k = 0; k < n; ++k) {
        std::size_t i = start + k;
        if (i >= n) i -= n;
        const BoundingBox& b = sheet.box(i);
        if (!box.overlaps(b, spacing)) continue;
        if (shapes_conflict(geo, shape, dx, dy, box, sheet.shape(i, placed).geo, placed[i].shape,
                            b, spacing, sheet.scratch())) {
            hint = i;
            return false;
        }
    }
    return true;
}

}  // namespace detail

bool is_position_free(const Polygon& shape, const std::vector<Placement>& placed, double spacing) {
    const BoundingBox box = geom::polygon_bounds(shape);
    std::optional<detail::ShapeGeometry> geo;
    detail::ConflictScratch scratch;
    for (const Placement& p : placed) {
        const BoundingBox pb = placement_bounds(p);
        if (!box.overlaps(pb, spacing)) continue;
        if (!geo) geo = detail::build_shape_geometry(shape);
        const detail::ShapeGeometry pg = detail::build_shape_geometry(p.shape);
        if (detail::shapes_conflict(*geo, shape, 0.0, 0.0, box, pg, p.shape, pb, spacing,
                                    scratch)) {
            return false;
        }
    }
    return true;
}

std::vector<Point> candidate_positions(const std::vector<Placement>& placed, const Polygon& shape,
                                       double spacing, bool extra_positions) {
    const detail::SheetState sheet(placed);
    detail::RotatedShape rotated;
    rotated.shape = shape;
    rotated.box = geom::polygon_bounds(shape);
    detail::sample_outline(rotated);
    detail::Workspace ws;
    std::vector<Point> positions;
    detail::candidate_positions(placed, sheet, rotated, spacing, extra_positions, ws, positions);
    return positions;
}

std::vector<Point> sample_ring_points(const Ring& ring, std::size_t count) {
    std::vector<Point> out;
    detail::sample_ring(ring, count, out);
    return out;
}

std::vector<SpacingViolation> find_spacing_violations(const NestingResult& result, double spacing) {
    std::vector<SpacingViolation> found;
    const std::vector<Placement>& ps = result.placements;
    std::vector<BoundingBox> boxes;
    boxes.reserve(ps.size());
    for (const Placement& p : ps) boxes.push_back(placement_bounds(p));
    for (std::size_t i = 0; i < ps.size(); ++i) {
        for (std::size_t j = i + 1; j < ps.size(); ++j) {
            if (ps[i].sheet_index != ps[j].sheet_index) continue;
            if (!boxes[i].overlaps(boxes[j], spacing)) continue;
            if (geom::polygons_intersect(ps[i].shape, ps[j].shape)) {
                found.push_back(SpacingViolation{i, j, 0.0, true});
                continue;
            }
            const double d = geom::polygon_distance(ps[i].shape, ps[j].shape);
            if (d < spacing - kEngineTolerance) found.push_back(SpacingViolation{i, j, d, false});
        }
    }
    return found;
}

std::vector<double> item_angles(const NestingItem& item, const IterativeNestingOptions& options) {
    if (item.part != nullptr && item.part->allow_rotation) {
        if (item.rotation_fixed) return {item.fixed_angle};
        return options.rotations;
    }
    return {0.0};
}

}  // namespace plv
