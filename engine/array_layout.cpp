#include "engine/array_layout.hpp"

#include "engine/sheet_placement.hpp"

#include "geometry/predicates.hpp"
#include "geometry/primitives.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <utility>

namespace plv {

namespace {

constexpr double kEngineEps = 1e-6;
constexpr std::int64_t kMaxCount = std::numeric_limits<std::int32_t>::max();

// Coarse steps of L / 160 up to the first clear length, then 28 bisections
// between it and the step before.
template <class ClearTest>
double pitch_search(const ClearTest& clear, double length) {
    double lo = length;
    double hi = length;
    double previous = 0.0;
    for (int i = 1; i <= 160; ++i) {
        const double v = (i * length) / 160.0;
        if (clear(v)) {
            lo = previous;
            hi = v;
            break;
        }
        previous = v;
    }
    for (int i = 0; i < 28; ++i) {
        const double mid = (lo + hi) * 0.5;
        if (clear(mid)) {
            hi = mid;
        } else {
            lo = mid;
        }
    }
    return std::max(0.001, hi);
}

// max(0, floor(v)) as an integer; false when v is not a number or too large
// for a copy count.
bool floor_count(double v, std::int64_t& out) {
    if (std::isnan(v)) return false;
    const double f = std::floor(v);
    if (f <= 0.0) {
        out = 0;
        return true;
    }
    if (f >= static_cast<double>(kMaxCount)) return false;
    out = static_cast<std::int64_t>(f);
    return true;
}

// Clamps a double index bound into [lo, hi] without overflowing.
std::int64_t clamp_index(double v, std::int64_t lo, std::int64_t hi) {
    if (std::isnan(v)) return lo;
    if (v <= static_cast<double>(lo)) return lo;
    if (v >= static_cast<double>(hi)) return hi;
    return static_cast<std::int64_t>(v);
}

}  // namespace

bool shifted_copy_is_clear(const Polygon& a, const Polygon& b, double dx, double dy,
                           double spacing) {
    const Polygon c = geom::translate_polygon(b, dx, dy);
    if (spacing <= kEngineEps) {
        return !geom::polygons_intersect(a, c);
    }
    if (geom::polygons_intersect(a, c)) return false;
    return geom::polygon_distance(a, c) >= spacing - kEngineEps;
}

bool staggered_row_is_clear(const Polygon& shape, double pitch_x, double stagger, double dy,
                            double spacing) {
    const double xs[5] = {stagger - 2 * pitch_x, stagger - pitch_x, stagger, stagger + pitch_x,
                          stagger + 2 * pitch_x};
    for (double x : xs) {
        if (!shifted_copy_is_clear(shape, shape, x, dy, spacing)) return false;
    }
    return true;
}

// The pitch searches only look at the next copy in a row and five copies of
// the next row. A slender part lying at a slant can reach copies further
// away, so the whole lattice is checked: for a representative copy of each
// row parity, every copy of the full sheet whose box comes within the
// spacing of it.
bool array_pattern_is_clear(const ArrayPattern& p, double spacing) {
    const BoundingBox box = geom::polygon_bounds(p.shape);
    const double reach_x = box.width() + spacing;
    const double reach_y = box.height() + spacing;
    if (!(p.pitch_x > 0.0) || !(p.pitch_y > 0.0) || p.rows < 1) return false;
    for (std::int32_t base_row = 0; base_row < 2 && base_row < p.rows; ++base_row) {
        const std::int64_t base_cols = (base_row & 1) ? p.cols_odd : p.cols_even;
        const double base_off = (base_row & 1) ? p.stagger : 0.0;
        if (base_cols < 1) continue;
        for (std::int64_t d = 0; base_row + d < p.rows; ++d) {
            const double dy = static_cast<double>(d) * p.pitch_y;
            if (dy > reach_y) break;
            const std::int64_t target_row = base_row + d;
            const std::int64_t target_cols = (target_row & 1) ? p.cols_odd : p.cols_even;
            const double delta = ((target_row & 1) ? p.stagger : 0.0) - base_off;
            // Column differences that exist between the two rows; copies of
            // the same row are checked in one direction only.
            std::int64_t j_lo = d == 0 ? 1 : -(base_cols - 1);
            std::int64_t j_hi = target_cols - 1;
            j_lo = std::max(j_lo, clamp_index(std::ceil((-reach_x - delta) / p.pitch_x), j_lo,
                                              j_hi + 1));
            j_hi = std::min(j_hi, clamp_index(std::floor((reach_x - delta) / p.pitch_x),
                                              j_lo - 1, j_hi));
            for (std::int64_t j = j_lo; j <= j_hi; ++j) {
                const double dx = static_cast<double>(j) * p.pitch_x + delta;
                if (!shifted_copy_is_clear(p.shape, p.shape, dx, dy, spacing)) return false;
            }
        }
    }
    return true;
}

bool find_array_pattern(const Sheet& sheet, const Part& part,
                        const IterativeNestingOptions& options, ArrayPattern& pattern) {
    if (part.quantity < kArrayMinQuantity) return false;
    std::vector<double> angles;
    if (part.allow_rotation) {
        if (options.rotations.empty()) return false;
        angles = options.rotations;
    } else {
        angles = {0.0};
    }
    const double W = sheet.width;
    const double H = sheet.height;
    const double sp = options.spacing;
    bool have = false;
    for (double angle : angles) {
        const Polygon s = geom::rotate_polygon(part.shape, angle);
        const BoundingBox box = geom::polygon_bounds(s);
        const double w = box.width();
        const double h = box.height();
        if (!box.is_finite() || !(w > 0.0) || !(h > 0.0) || !(w <= W + kEngineEps) ||
            !(h <= H + kEngineEps)) {
            continue;
        }
        const double px = pitch_search(
            [&](double v) { return shifted_copy_is_clear(s, s, v, 0.0, sp); }, w + sp);
        std::int64_t fe = 0;
        if (!floor_count((W - w + kEngineEps) / px, fe)) continue;
        const std::int64_t cols_even = fe + 1;
        for (double f : {0.0, 0.25, 0.5, 0.75}) {
            const double m = px * f;
            if (W + kEngineEps < w + m) continue;
            std::int64_t fo = 0;
            if (!floor_count((W - m - w + kEngineEps) / px, fo)) continue;
            const std::int64_t cols_odd = fo + 1;
            const double py = pitch_search(
                [&](double v) { return staggered_row_is_clear(s, px, m, v, sp); }, h + sp);
            std::int64_t fr = 0;
            if (!floor_count((H - h + kEngineEps) / py, fr)) continue;
            const std::int64_t rows = fr + 1;
            const std::int64_t count = cols_even * ((rows + 1) / 2) + cols_odd * (rows / 2);
            if (count > kMaxCount) continue;
            const double used_width =
                std::max(w + (cols_even - 1) * px, (cols_odd - 1) * px + m + w);
            const double used_area = ((rows - 1) * py + h) * used_width;
            const bool better = !have || count > pattern.count ||
                                (count == pattern.count && used_area < pattern.used_area);
            if (!better) continue;
            ArrayPattern candidate;
            candidate.shape = s;
            candidate.angle = angle;
            candidate.pitch_x = px;
            candidate.pitch_y = py;
            candidate.stagger = m;
            candidate.cols_even = static_cast<std::int32_t>(cols_even);
            candidate.cols_odd = static_cast<std::int32_t>(cols_odd);
            candidate.rows = static_cast<std::int32_t>(rows);
            candidate.count = static_cast<std::int32_t>(count);
            candidate.used_area = used_area;
            if (!array_pattern_is_clear(candidate, sp)) continue;
            pattern = std::move(candidate);
            have = true;
        }
    }
    return have && pattern.count > 0;
}

namespace {

// The grid's copies in order, sheet by sheet: sheet_list(s, n) gives the list
// that takes the n copies of sheet first_sheet + s.
template <class SheetList>
void emit_grid(const Part& part, const ArrayPattern& pattern, std::int32_t first_sheet,
               SheetList&& sheet_list) {
    const std::int32_t quantity = part.quantity;
    if (quantity <= 0 || pattern.count <= 0) return;
    const double net_area = part_net_area(part);
    std::int32_t c = 0;
    for (std::int32_t s = 0; c < quantity; ++s) {
        std::vector<Placement>& list = sheet_list(s, std::min(pattern.count, quantity - c));
        for (std::int32_t i = 0; i < pattern.rows && c < quantity; ++i) {
            const bool odd = (i & 1) != 0;
            const double offset = odd ? pattern.stagger : 0.0;
            const std::int32_t cols = odd ? pattern.cols_odd : pattern.cols_even;
            for (std::int32_t j = 0; j < cols && c < quantity; ++j) {
                const double x = j * pattern.pitch_x + offset;
                const double y = pattern.pitch_y * i;
                list.push_back(make_placement(part, pattern.shape, first_sheet + s, c + 1, x, y,
                                              pattern.angle, net_area));
                ++c;
            }
        }
    }
}

}  // namespace

std::int32_t emit_array_placements(NestingResult& result, const Part& part,
                                   const ArrayPattern& pattern, std::int32_t first_sheet) {
    const std::int32_t quantity = part.quantity;
    if (quantity <= 0 || pattern.count <= 0) return std::max<std::int32_t>(quantity, 0);
    result.placements.reserve(result.placements.size() + static_cast<std::size_t>(quantity));
    emit_grid(part, pattern, first_sheet,
              [&](std::int32_t, std::int32_t) -> std::vector<Placement>& { return result.placements; });
    return quantity;
}

bool try_single_part_array_layout(const Sheet& sheet, const std::vector<Part>& parts,
                                  const IterativeNestingOptions& options, NestingResult& out) {
    if (options.solver == Solver::random || parts.size() != 1) return false;
    ArrayPattern pattern;
    if (!find_array_pattern(sheet, parts[0], options, pattern)) return false;
    out.placements.clear();
    out.unplaced.clear();
    out.sheet = sheet;
    emit_array_placements(out, parts[0], pattern, 0);
    return true;
}

bool place_high_quantity_arrays(const Sheet& sheet, const std::vector<Part>& parts,
                                const IterativeNestingOptions& options, NestingResult& out,
                                std::vector<Part>& remaining) {
    if (options.solver == Solver::random) return false;
    std::vector<std::vector<Placement>> sheets;
    const bool any = place_high_quantity_array_sheets(sheet, parts, options, sheets, remaining);
    out.sheet = sheet;
    out.placements.clear();
    out.unplaced.clear();
    move_sheets_into(sheets, out.placements);
    return any;
}

bool place_high_quantity_array_sheets(const Sheet& sheet, const std::vector<Part>& parts,
                                      const IterativeNestingOptions& options,
                                      std::vector<std::vector<Placement>>& sheets,
                                      std::vector<Part>& remaining) {
    if (options.solver == Solver::random) return false;
    sheets.clear();
    remaining.clear();
    bool any = false;
    for (const Part& part : parts) {
        ArrayPattern pattern;
        if (find_array_pattern(sheet, part, options, pattern)) {
            // Every array part yields copies on each of its sheets, so the
            // next part starts at the number of lists.
            const auto first = static_cast<std::int32_t>(sheets.size());
            emit_grid(part, pattern, first,
                      [&](std::int32_t, std::int32_t n) -> std::vector<Placement>& {
                          sheets.emplace_back();
                          sheets.back().reserve(static_cast<std::size_t>(n));
                          return sheets.back();
                      });
            any = true;
        } else {
            remaining.push_back(part);
        }
    }
    return any;
}

std::vector<std::vector<Placement>> split_placements_by_sheet(NestingResult& result) {
    std::vector<std::vector<Placement>> sheets(
        static_cast<std::size_t>(std::max<std::int32_t>(result.sheets_used(), 1)));
    for (Placement& p : result.placements) {
        if (p.sheet_index < 0) continue;
        const auto index = static_cast<std::size_t>(p.sheet_index);
        if (index >= sheets.size()) sheets.resize(index + 1);
        sheets[index].push_back(std::move(p));
    }
    result.placements.clear();
    return sheets;
}

std::int32_t max_sheets_after_arrays(std::int32_t max_sheets, std::size_t array_sheets) {
    const std::int64_t widened = static_cast<std::int64_t>(std::max<std::int32_t>(1, max_sheets)) +
                                 static_cast<std::int64_t>(std::min<std::size_t>(array_sheets, kMaxCount));
    return static_cast<std::int32_t>(std::min(std::max<std::int64_t>(max_sheets, widened), kMaxCount));
}

}  // namespace plv
