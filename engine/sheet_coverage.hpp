#pragma once

// Cells of a sheet that lie inside a placed shape wherever the point test of
// the geometry library looks: a cheap proof that a position conflicts.
//
// A cell is marked only when no edge of the shape, nor the x range in which
// the point test can count that edge's crossing, comes within a margin of
// it; the test then gives the same answer everywhere in the cell (an edge's
// crossing side is fixed, and at a vertex level the two edges that meet
// there, or the ends of a run of level edges, lie on the same side), and that
// answer, taken at the centre, is "inside". A cell inside a hole's box where
// the hole test is "inside" is not marked.
//
// When a vertex or edge midpoint of the moved shape's outline falls in a
// marked cell, polygons_intersect of the two shapes is true (their outer
// boxes overlap strictly and that outline point lies inside), so the free
// test finds a conflict at any spacing: this only skips work.

#include "engine/placement_geometry.hpp"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace plv::detail {

class SheetCoverage {
public:
    // Covers [0, width] x [0, height]; forgets every shape.
    void reset(double width, double height);
    bool matches(double width, double height) const {
        return width == width_ && height == height_;
    }
    // How add marks a row's span: the banded point test and whole words,
    // or the plain reading, the library's point test and cell by cell.
    enum class Fill { fast, plain };
    // Marks the cells inside the placed shape.
    void add(const ShapeGeometry& shape, Fill fill = Fill::fast);

    double cell_size() const { return cell_; }
    bool covers(double x, double y) const { return any_covered({Point{x, y}}, 0.0, 0.0); }

    // Whether one of the points, moved by (dx, dy), lies in a marked cell.
    bool any_covered(const std::vector<Point>& points, double dx, double dy) const {
        if (bits_.empty()) return false;
        for (const Point& p : points) {
            const double tx = (p.x + dx) * inverse_;
            const double ty = (p.y + dy) * inverse_;
            if (!(tx >= 0.0 && ty >= 0.0 && tx < cols_limit_ && ty < rows_limit_)) continue;
            const auto cx = static_cast<std::size_t>(tx);
            const auto cy = static_cast<std::size_t>(ty);
            if ((bits_[cy * words_ + (cx >> 6)] >> (cx & 63)) & 1u) return true;
        }
        return false;
    }

    // The same for points already multiplied by inverse() and moved by
    // (tx, ty) in those units, all of them within the sheet grown by 1e-6:
    // no range checks. Rounding of the scaled sums is far inside the
    // margin a marked cell keeps.
    double inverse() const { return inverse_; }
    bool any_covered_scaled(const std::vector<Point>& scaled, double tx, double ty) const {
        for (const Point& p : scaled) {
            if (scaled_bit(p, tx, ty) != 0) return true;
        }
        return false;
    }
    bool empty() const { return bits_.empty(); }

    // The mark of the cell under the scaled point p moved by (tx, ty): 0 or 1.
    std::uint64_t scaled_bit(const Point& p, double tx, double ty) const {
        return mark_at(bits_.data(), words_, p.x + tx, p.y + ty);
    }
    static std::uint64_t mark_at(const std::uint64_t* bits, std::size_t words, double sx,
                                 double sy) {
        const auto cx = static_cast<std::size_t>(static_cast<std::int64_t>(sx));
        const auto cy = static_cast<std::size_t>(static_cast<std::int64_t>(sy));
        return (bits[cy * words + (cx >> 6)] >> (cx & 63)) & 1u;
    }
    const std::uint64_t* bits() const { return bits_.data(); }
    std::size_t words() const { return words_; }

private:

    double width_ = -1.0;
    double height_ = -1.0;
    double cell_ = 0.0;
    double inverse_ = 0.0;
    std::size_t cols_ = 0;
    std::size_t rows_ = 0;
    double cols_limit_ = 0.0;
    double rows_limit_ = 0.0;
    std::size_t words_ = 0;  // per row
    std::vector<std::uint64_t> bits_;
    // Scratch of add.
    struct Blocked {
        double lo;
        double hi;
    };
    std::vector<std::uint32_t> row_start_;
    std::vector<Blocked> row_blocked_;
    std::vector<Blocked> row_;
};

// any_covered_scaled of one shape's scaled probes, for a loop over many
// positions: most positions tried lie deep in placed shapes, so the first
// four probes are held apart and read together, deciding with one branch.
class ScaledProbes {
public:
    ScaledProbes() = default;  // no probes: nothing is covered
    ScaledProbes(const SheetCoverage& cover, const std::vector<Point>& scaled)
        : bits_(cover.bits()), words_(cover.words()), rest_(scaled.data()),
          end_(scaled.data() + scaled.size()) {
        if (scaled.size() >= 4) {
            four_ = true;
            x0_ = scaled[0].x, y0_ = scaled[0].y, x1_ = scaled[1].x, y1_ = scaled[1].y;
            x2_ = scaled[2].x, y2_ = scaled[2].y, x3_ = scaled[3].x, y3_ = scaled[3].y;
            rest_ += 4;
        }
    }
    bool any_covered(double tx, double ty) const {
        if (four_) {
            const std::uint64_t hit = SheetCoverage::mark_at(bits_, words_, x0_ + tx, y0_ + ty) |
                                      SheetCoverage::mark_at(bits_, words_, x1_ + tx, y1_ + ty) |
                                      SheetCoverage::mark_at(bits_, words_, x2_ + tx, y2_ + ty) |
                                      SheetCoverage::mark_at(bits_, words_, x3_ + tx, y3_ + ty);
            if (hit != 0) return true;
        }
        return rest_covered(tx, ty);
    }
    bool rest_covered(double tx, double ty) const {
        for (const Point* p = rest_; p != end_; ++p) {
            if (SheetCoverage::mark_at(bits_, words_, p->x + tx, p->y + ty) != 0) return true;
        }
        return false;
    }

    // The held four on a lattice of positions (the grid): mark_at split
    // into what depends on the column and on the row alone, computed once
    // per column and row.
    bool holds_four() const { return four_; }
    struct Column {
        std::uint32_t word[4];  // cell column / 64 of each held probe
        std::uint32_t bit[4];   // cell column % 64
    };
    struct Row {
        std::size_t offset[4];  // cell row x words of each held probe
    };
    Column column(double tx) const {
        const double xs[4] = {x0_ + tx, x1_ + tx, x2_ + tx, x3_ + tx};
        Column c{};
        for (int k = 0; k < 4; ++k) {
            const auto cx = static_cast<std::size_t>(static_cast<std::int64_t>(xs[k]));
            c.word[k] = static_cast<std::uint32_t>(cx >> 6);
            c.bit[k] = static_cast<std::uint32_t>(cx & 63);
        }
        return c;
    }
    Row row(double ty) const {
        const double ys[4] = {y0_ + ty, y1_ + ty, y2_ + ty, y3_ + ty};
        Row r{};
        for (int k = 0; k < 4; ++k) {
            r.offset[k] = static_cast<std::size_t>(static_cast<std::int64_t>(ys[k])) * words_;
        }
        return r;
    }
    // The four held probes of any_covered at the position of row r, column c.
    bool held_covered(const Row& r, const Column& c) const {
        const std::uint64_t hit = (bits_[r.offset[0] + c.word[0]] >> c.bit[0]) |
                                  (bits_[r.offset[1] + c.word[1]] >> c.bit[1]) |
                                  (bits_[r.offset[2] + c.word[2]] >> c.bit[2]) |
                                  (bits_[r.offset[3] + c.word[3]] >> c.bit[3]);
        return (hit & 1u) != 0;
    }

private:
    const std::uint64_t* bits_ = nullptr;
    std::size_t words_ = 0;
    const Point* rest_ = nullptr;
    const Point* end_ = nullptr;
    bool four_ = false;
    double x0_ = 0, y0_ = 0, x1_ = 0, y1_ = 0, x2_ = 0, y2_ = 0, x3_ = 0, y3_ = 0;
};

// Outline points of a shape that the library's containment step samples for
// any closing of its outer ring: vertices 0 .. n-2 and the midpoints between
// consecutive ones, at most `limit` spread over the outline, those nearest
// the box centre first (they are the likeliest to land inside a neighbour).
// None when a coordinate is not finite or beyond 1e6.
std::vector<Point> outline_probes(const Ring& outer, std::size_t limit);

}  // namespace plv::detail
