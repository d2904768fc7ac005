#include "engine/sheet_coverage.hpp"

#include "engine/deterministic.hpp"
#include "geometry/predicates.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace plv::detail {

namespace {

constexpr double kEps = geom::kGeometryEps;
constexpr double kInf = std::numeric_limits<double>::infinity();
// Far above the point test's tolerance and every rounding of coordinates
// below 1e6.
constexpr double kMargin = 1e-3;
constexpr double kCellsAcross = 1500.0;
constexpr double kSmallestCell = 0.5;

// How far beyond the edge's x range the point test can place its crossing
// (see the crossing formula: the tolerance in the denominator stretches
// falling edges); infinite where the stretch has no bound.
double crossing_overshoot(const Point& cur, const Point& prev) {
    if (!(prev.y < cur.y)) return 0.0;
    const double d = cur.y - prev.y;
    const double width = std::fabs(prev.x - cur.x);
    if (d >= 2.0 * kEps) return kEps / (d - kEps) * width;
    if (d <= 0.5 * kEps) return d / (kEps - d) * width;
    return kInf;
}

}  // namespace

void SheetCoverage::reset(double width, double height) {
    width_ = width;
    height_ = height;
    bits_.clear();
    cols_ = rows_ = words_ = 0;
    if (!(width > 0.0 && height > 0.0 && width < 1e6 && height < 1e6)) return;
    cell_ = std::max(std::max(width, height) / kCellsAcross, kSmallestCell);
    inverse_ = 1.0 / cell_;
    cols_ = static_cast<std::size_t>(std::ceil(width / cell_)) + 1;
    rows_ = static_cast<std::size_t>(std::ceil(height / cell_)) + 1;
    cols_limit_ = static_cast<double>(cols_);
    rows_limit_ = static_cast<double>(rows_);
    words_ = (cols_ + 63) / 64;
    bits_.assign(words_ * rows_, 0);
}

void SheetCoverage::add(const ShapeGeometry& shape, Fill fill) {
    if (bits_.empty() || !shape.fast || shape.rings.empty()) return;
    const RingGeometry& outer = shape.rings[0];
    if (outer.stored < 3) return;
    const double c = cell_;
    const double m = kMargin;
    const double x0 = outer.box.min_x + m, x1 = outer.box.max_x - m;
    const double y0 = outer.box.min_y + m, y1 = outer.box.max_y - m;
    if (!(x0 < x1 && y0 < y1)) return;
    const auto clamp_row = [&](double v) {
        if (!(v > 0.0)) return std::size_t{0};
        if (v > rows_limit_) return rows_;
        return static_cast<std::size_t>(v);
    };
    const std::size_t r0 = clamp_row(std::ceil(y0 / c));
    const std::size_t r1 = clamp_row(std::floor(y1 / c));  // rows r0 .. r1 - 1
    if (r0 >= r1) return;
    const std::size_t nrows = r1 - r0;

    // Blocked x ranges per row, by a counting pass over the edges.
    const auto edge_rows = [&](double lo, double hi, std::size_t& a, std::size_t& b) {
        a = clamp_row(std::floor((lo - 2.0 * m) / c));
        b = clamp_row(std::floor((hi + 2.0 * m) / c) + 1.0);
        a = std::max(a, r0);
        b = std::min(b, r1);
    };
    row_start_.assign(nrows + 1, 0);
    for (int pass = 0; pass < 2; ++pass) {
        for (const RingGeometry& ring : shape.rings) {
            if (ring.stored == 0) continue;
            const std::size_t size = ring.pts.size();
            for (std::size_t k = 0; k < size; ++k) {
                const Point& cur = ring.pts[k];
                const Point& prev = ring.pts[k == 0 ? size - 1 : k - 1];
                std::size_t a = 0, b = 0;
                edge_rows(std::min(cur.y, prev.y), std::max(cur.y, prev.y), a, b);
                if (a >= b) continue;
                if (pass == 0) {
                    for (std::size_t r = a; r < b; ++r) ++row_start_[r - r0 + 1];
                    continue;
                }
                const double over = crossing_overshoot(cur, prev);
                const Blocked blocked{std::min(cur.x, prev.x) - over - m,
                                      std::max(cur.x, prev.x) + over + m};
                for (std::size_t r = a; r < b; ++r) row_blocked_[row_start_[r - r0]++] = blocked;
            }
        }
        if (pass == 0) {
            for (std::size_t q = 0; q < nrows; ++q) row_start_[q + 1] += row_start_[q];
            row_blocked_.resize(row_start_[nrows]);
        } else {
            // The fill moved every start one row on.
            for (std::size_t q = nrows; q > 0; --q) row_start_[q] = row_start_[q - 1];
            row_start_[0] = 0;
        }
    }

    const auto mark = [&](std::size_t r, double lo, double hi) {
        // Cells k with k c >= lo and (k + 1) c <= hi.
        double first = std::ceil(lo / c);
        double last = std::floor(hi / c) - 1.0;
        if (first < 0.0) first = 0.0;
        if (last > cols_limit_ - 1.0) last = cols_limit_ - 1.0;
        if (!(first <= last)) return;
        const Point centre{((first + last + 1.0) * 0.5) * c, (static_cast<double>(r) + 0.5) * c};
        const bool plain = fill == Fill::plain;
        const auto inside = [&](const RingGeometry& ring) {
            return plain ? geom::point_in_ring(centre, ring.pts) : point_in_ring_geometry(centre, ring);
        };
        if (!inside(outer)) return;
        const double ry0 = static_cast<double>(r) * c - m;
        const double ry1 = static_cast<double>(r + 1) * c + m;
        // Holes whose test says "inside" here remove the cells that meet
        // their box (there the hole would count).
        row_.clear();
        for (std::size_t h = 1; h < shape.rings.size(); ++h) {
            const RingGeometry& hole = shape.rings[h];
            if (hole.stored == 0) continue;
            const BoundingBox& hb = hole.box;
            if (ry1 < hb.min_y - kEps || ry0 > hb.max_y + kEps) continue;
            if (!inside(hole)) continue;
            row_.push_back(Blocked{hb.min_x - kEps - m, hb.max_x + kEps + m});
        }
        std::uint64_t* bits = bits_.data() + r * words_;
        if (row_.empty() && !plain) {
            // No hole counts here: every cell of the span, a word at a time.
            const auto k0 = static_cast<std::size_t>(first);
            const auto k1 = static_cast<std::size_t>(last) + 1;  // one past
            const auto ones_from = [](std::size_t b) { return ~std::uint64_t{0} << b; };
            const std::size_t w0 = k0 >> 6;
            const std::size_t w1 = (k1 - 1) >> 6;
            if (w0 == w1) {
                const std::uint64_t upper = (k1 & 63) == 0 ? 0 : ones_from(k1 & 63);
                bits[w0] |= ones_from(k0 & 63) & ~upper;
                return;
            }
            bits[w0] |= ones_from(k0 & 63);
            for (std::size_t w = w0 + 1; w < w1; ++w) bits[w] = ~std::uint64_t{0};
            bits[w1] |= (k1 & 63) == 0 ? ~std::uint64_t{0} : ~ones_from(k1 & 63);
            return;
        }
        for (auto k = static_cast<std::size_t>(first); k <= static_cast<std::size_t>(last); ++k) {
            const double k0 = static_cast<double>(k) * c;
            const double k1 = static_cast<double>(k + 1) * c;
            bool out = false;
            for (const Blocked& h : row_) {
                if (k1 >= h.lo && k0 <= h.hi) out = true;
            }
            if (!out) bits[k >> 6] |= std::uint64_t{1} << (k & 63);
        }
    };

    for (std::size_t r = r0; r < r1; ++r) {
        Blocked* first = row_blocked_.data() + row_start_[r - r0];
        Blocked* last = row_blocked_.data() + row_start_[r - r0 + 1];
        std::sort(first, last, [](const Blocked& a, const Blocked& b) { return a.lo < b.lo; });
        // Gaps between the blocked ranges, inside the outer box.
        double free_from = x0;
        for (const Blocked* b = first; b != last; ++b) {
            if (b->lo > free_from) mark(r, free_from, std::min(b->lo, x1));
            if (b->hi > free_from) free_from = b->hi;
            if (free_from >= x1) break;
        }
        if (free_from < x1) mark(r, free_from, x1);
    }
}

std::vector<Point> outline_probes(const Ring& outer, std::size_t limit) {
    std::vector<Point> all;
    const std::size_t n = outer.size();
    if (n < 2) return all;
    for (const Point& p : outer) {
        if (!(std::fabs(p.x) < 1e6 && std::fabs(p.y) < 1e6)) return all;
    }
    all.reserve(2 * (n - 1));
    for (std::size_t k = 0; k + 1 < n; ++k) {
        all.push_back(outer[k]);
        all.push_back(Point{(outer[k].x + outer[k + 1].x) * 0.5, (outer[k].y + outer[k + 1].y) * 0.5});
    }
    std::vector<Point> some;
    if (all.size() <= limit) {
        some = all;
    } else {
        some.reserve(limit);
        for (std::size_t i = 0; i < limit; ++i) some.push_back(all[i * all.size() / limit]);
    }
    const BoundingBox box = geom::ring_bounds(outer);
    const double cx = (box.min_x + box.max_x) * 0.5;
    const double cy = (box.min_y + box.max_y) * 0.5;
    merge_sort(some, [&](const Point& a, const Point& b) {
        const double da = (a.x - cx) * (a.x - cx) + (a.y - cy) * (a.y - cy);
        const double db = (b.x - cx) * (b.x - cx) + (b.y - cy) * (b.y - cy);
        return da < db;
    });
    return some;
}

}  // namespace plv::detail
