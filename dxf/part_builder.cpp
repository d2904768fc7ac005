#include "dxf/part_builder.hpp"

#include "dxf/file_collection.hpp"
#include "dxf/paths.hpp"
#include "engine/deterministic.hpp"
#include "geometry/predicates.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>
#include <string>

namespace plv {
namespace {

// ---- Chaining ---------------------------------------------------------------
//
// The rule: take the first pending chain, then repeatedly join the first
// pending chain (in file order) that meets one of its ends, testing the four
// end pairings in a fixed order (join_test). A full scan stops at the pending
// chain of smallest index with an end within tol of either end of the current
// chain, so two look-ups of "the smallest pending chain with an end within tol
// of this point" find it without scanning every chain.

// Which of the four pairings joins c to the chain with ends first and last,
// in the order they are tried; 0 when none does.
int join_test(const geom::Point& first, const geom::Point& last, const geom::Ring& c, double tol) {
    const auto within = [tol](const geom::Point& a, const geom::Point& b) { return geom::point_distance(a, b) <= tol; };
    if (within(last, c.front())) return 1;
    if (within(last, c.back())) return 2;
    if (within(first, c.back())) return 3;
    if (within(first, c.front())) return 4;
    return 0;
}

// A chain end: 2 * chain index, plus 1 for its last point.
struct End {
    double x;
    double y;
    std::uint32_t slot;
};

constexpr std::uint32_t kNone = 0xFFFFFFFFu;

// Ends in a k-d tree built once by median splits, every node with the box of
// its ends and the smallest pending chain index below it. A look-up goes down
// the child with the smaller index first, skips every subtree whose box is
// farther than tol or holds no chain below the best found, and takes the
// smallest index of a subtree whose box lies within tol as a whole, so ends
// that coincide or crowd one spot cost about the depth of the tree; only
// boxes that the circle of radius tol cuts are opened.
class EndTree {
public:
    EndTree(std::vector<End> ends, std::size_t chains, const std::vector<char>& pending)
        : pending_(&pending), ends_(std::move(ends)) {
        if (ends_.empty()) return;
        leaf_of_.assign(2 * chains, kNone);
        nodes_.reserve(2 * (ends_.size() / kLeafSize + 1));
        build(0, static_cast<std::uint32_t>(ends_.size()), kNone);
    }

    // Lowers best to the smallest pending chain index below it with an end
    // within tol of p.
    void find(const geom::Point& p, double tol, std::size_t& best, std::size_t& steps) const {
        if (nodes_.empty()) return;
        std::uint32_t stack[128];
        std::size_t top = 0;
        stack[top++] = 0;
        while (top > 0) {
            const Node& node = nodes_[stack[--top]];
            if (node.min_pending >= best) continue;
            ++steps;
            // The distance from p to the nearest and to the farthest point of
            // the box; rounding is monotone, so no end of the box is nearer
            // than the first and none is farther than the second.
            const double nx = std::max({node.box.min_x - p.x, p.x - node.box.max_x, 0.0});
            const double ny = std::max({node.box.min_y - p.y, p.y - node.box.max_y, 0.0});
            if (geom::point_distance(geom::Point{nx, ny}, geom::Point{0.0, 0.0}) > tol) continue;
            const double fx = std::max(node.box.max_x - p.x, p.x - node.box.min_x);
            const double fy = std::max(node.box.max_y - p.y, p.y - node.box.min_y);
            if (geom::point_distance(geom::Point{fx, fy}, geom::Point{0.0, 0.0}) <= tol) {
                // Every end of the box is within tol: its smallest pending chain is it.
                best = node.min_pending;
                continue;
            }
            if (node.left == kNone) {
                for (std::uint32_t e = node.begin; e < node.end; ++e) {
                    const std::uint32_t chain = ends_[e].slot / 2;
                    if (!(*pending_)[chain]) continue;
                    ++steps;
                    if (chain >= best) continue;
                    if (geom::point_distance(p, geom::Point{ends_[e].x, ends_[e].y}) <= tol) best = chain;
                }
                continue;
            }
            // Pushed last, popped first: the child that may hold the smaller index.
            const bool left_first = nodes_[node.left].min_pending <= nodes_[node.right].min_pending;
            stack[top++] = left_first ? node.right : node.left;
            stack[top++] = left_first ? node.left : node.right;
        }
    }

    // Call once a chain is no longer pending: its ends stop counting.
    void remove(std::size_t chain) {
        if (nodes_.empty()) return;
        for (std::size_t slot = 2 * chain; slot < 2 * chain + 2; ++slot) {
            std::uint32_t n = leaf_of_[slot];
            if (n == kNone) continue;
            Node& leaf = nodes_[n];
            leaf.min_pending = kNone;
            for (std::uint32_t e = leaf.begin; e < leaf.end; ++e) {
                const std::uint32_t c = ends_[e].slot / 2;
                if ((*pending_)[c]) leaf.min_pending = std::min(leaf.min_pending, c);
            }
            for (n = leaf.parent; n != kNone; n = nodes_[n].parent) {
                Node& up = nodes_[n];
                const std::uint32_t m = std::min(nodes_[up.left].min_pending, nodes_[up.right].min_pending);
                if (m == up.min_pending) break;
                up.min_pending = m;
            }
        }
    }

private:
    static constexpr std::uint32_t kLeafSize = 8;
    struct Node {
        geom::BoundingBox box;
        std::uint32_t begin = 0;
        std::uint32_t end = 0;
        std::uint32_t left = kNone;
        std::uint32_t right = kNone;
        std::uint32_t parent = kNone;
        std::uint32_t min_pending = kNone;
    };

    // Split at the median of the wider side: the depth stays near log2 of
    // the number of ends, far below the look-up's stack size.
    std::uint32_t build(std::uint32_t begin, std::uint32_t end, std::uint32_t parent) {
        const auto id = static_cast<std::uint32_t>(nodes_.size());
        nodes_.emplace_back();
        Node node;
        node.begin = begin;
        node.end = end;
        node.parent = parent;
        for (std::uint32_t e = begin; e < end; ++e) {
            node.box.min_x = std::min(node.box.min_x, ends_[e].x);
            node.box.max_x = std::max(node.box.max_x, ends_[e].x);
            node.box.min_y = std::min(node.box.min_y, ends_[e].y);
            node.box.max_y = std::max(node.box.max_y, ends_[e].y);
            node.min_pending = std::min(node.min_pending, ends_[e].slot / 2);
        }
        if (end - begin <= kLeafSize) {
            for (std::uint32_t e = begin; e < end; ++e) leaf_of_[ends_[e].slot] = id;
        } else {
            const std::uint32_t mid = begin + (end - begin) / 2;
            const bool by_x = node.box.max_x - node.box.min_x >= node.box.max_y - node.box.min_y;
            std::nth_element(ends_.begin() + begin, ends_.begin() + mid, ends_.begin() + end,
                             [by_x](const End& a, const End& b) { return by_x ? a.x < b.x : a.y < b.y; });
            node.left = build(begin, mid, id);
            node.right = build(mid, end, id);
        }
        nodes_[id] = node;
        return id;
    }

    const std::vector<char>* pending_;
    std::vector<End> ends_;
    std::vector<Node> nodes_;
    std::vector<std::uint32_t> leaf_of_;
};

// Cell of a coordinate: floor(v / size), kept as a double so that every
// finite coordinate has one (far out, where the quotient is beyond the
// integers, the cells are simply the representable quotients). Only its
// monotony counts, so the quotient may be a product by the inverse.
double cell_of(double v, double inverse_size) { return std::floor(v * inverse_size) + 0.0; }

struct CellKey {
    double x;
    double y;
    bool operator==(const CellKey& o) const { return x == o.x && y == o.y; }
};

std::uint64_t cell_hash(const CellKey& k) {
    std::uint64_t bx = 0;
    std::uint64_t by = 0;
    std::memcpy(&bx, &k.x, sizeof bx);
    std::memcpy(&by, &k.y, sizeof by);
    std::uint64_t h = bx * 0x9E3779B97F4A7C15ULL;
    h ^= by + 0x632BE59BD9B4E019ULL + (h << 6) + (h >> 2);
    h ^= h >> 31;
    h *= 0xBF58476D1CE4E5B9ULL;
    return h ^ (h >> 29);
}

// Chain ends by grid cell (cells of twice the tolerance), built once: an
// open-addressing table from cell to a slice of one end array, each slice in
// chain order. Chains that are no longer pending are dropped from a slice when
// it is next read. The ends of a crowded cell (duplicated entities, ends
// packed into one spot) go to an EndTree instead, so that no look-up reads
// more than a few ends of any cell.
class EndGrid {
public:
    EndGrid(const std::vector<geom::Ring>& chains, const std::vector<char>& pending, double tol)
        : pending_(pending), tol_(tol), inverse_cell_(1.0 / (2.0 * tol)), tree_({}, 0, pending) {
        std::size_t ends = 0;
        for (const auto& c : chains) ends += c.empty() ? 0 : 2;
        std::size_t cap = 16;
        while (cap < 2 * ends) cap *= 2;
        mask_ = cap - 1;
        slots_.assign(cap, Slot{});
        // Count per cell, then lay the cells out one after another. Ends that
        // are not finite are left out: they are within tol of nothing.
        std::vector<std::uint32_t> cell_of_end;
        cell_of_end.reserve(ends);
        for (const auto& c : chains) {
            if (c.empty()) continue;
            for (const geom::Point* p : {&c.front(), &c.back()}) {
                std::uint32_t cell = kNone;
                if (std::isfinite(p->x) && std::isfinite(p->y)) {
                    cell = find_or_add(CellKey{cell_of(p->x, inverse_cell_), cell_of(p->y, inverse_cell_)});
                    ++cells_[cell].count;
                }
                cell_of_end.push_back(cell);
            }
        }
        std::uint32_t offset = 0;
        for (Cell& c : cells_) {
            c.crowded = c.count > kCrowded;
            c.start = offset;
            if (!c.crowded) offset += c.count;
            c.count = 0;
        }
        ids_.resize(offset);
        std::vector<End> crowded;
        std::size_t e = 0;
        for (std::size_t i = 0; i < chains.size(); ++i) {
            if (chains[i].empty()) continue;
            for (std::uint32_t k = 0; k < 2; ++k) {
                const std::uint32_t cell = cell_of_end[e++];
                if (cell == kNone) continue;
                const geom::Point& p = k == 0 ? chains[i].front() : chains[i].back();
                const End end{p.x, p.y, static_cast<std::uint32_t>(2 * i + k)};
                Cell& c = cells_[cell];
                if (c.crowded) {
                    crowded.push_back(end);
                } else {
                    ids_[c.start + c.count++] = end;
                }
            }
        }
        if (!crowded.empty()) tree_ = EndTree(std::move(crowded), chains.size(), pending);
    }

    // Lowers best to the smallest pending chain index below it with an end
    // within tol of p.
    void find(const geom::Point& p, std::size_t& best, std::size_t& steps) {
        if (!(std::isfinite(p.x) && std::isfinite(p.y))) return;
        // An end within tol lies between p - tol and p + tol on each axis, so
        // in a cell between theirs; widened by half, so that the rounding of
        // p +- tol cannot narrow the range.
        const double x0 = cell_of(p.x - 1.5 * tol_, inverse_cell_), x1 = cell_of(p.x + 1.5 * tol_, inverse_cell_);
        const double y0 = cell_of(p.y - 1.5 * tol_, inverse_cell_), y1 = cell_of(p.y + 1.5 * tol_, inverse_cell_);
        bool crowded = false;
        for (double x = x0;; x = next_cell(x)) {
            for (double y = y0;; y = next_cell(y)) {
                crowded = scan_cell(CellKey{x, y}, p, best, steps) || crowded;
                if (!(y < y1)) break;
            }
            if (!(x < x1)) break;
        }
        if (crowded) tree_.find(p, tol_, best, steps);
    }

    void remove(std::size_t chain) { tree_.remove(chain); }

private:
    // Reads one cell's pending ends, lowering best; true when the cell is a
    // crowded one, whose ends are in the tree.
    bool scan_cell(const CellKey& key, const geom::Point& p, std::size_t& best, std::size_t& steps) {
        const std::uint32_t cell = find(key);
        if (cell == kNone) return false;
        Cell& c = cells_[cell];
        if (c.crowded) return true;
        std::uint32_t kept = 0;
        for (std::uint32_t i = 0; i < c.count; ++i) {
            const End& end = ids_[c.start + i];
            const std::uint32_t chain = end.slot / 2;
            if (!pending_[chain]) continue;
            ids_[c.start + kept++] = end;
            ++steps;
            if (chain >= best) continue;
            if (geom::point_distance(p, geom::Point{end.x, end.y}) <= tol_) best = chain;
        }
        c.count = kept;
        return false;
    }

    static constexpr std::uint32_t kCrowded = 16;
    struct Slot {
        CellKey key{0, 0};
        std::uint32_t cell = kNone;
    };
    struct Cell {
        std::uint32_t start = 0;
        std::uint32_t count = 0;
        bool crowded = false;
    };

    // The next cell up: the next integer, or far out the next quotient (the
    // ranges hold at most a few of either; an infinite quotient is the last).
    static double next_cell(double c) {
        const double up = c + 1.0;
        return up > c ? up : std::nextafter(c, HUGE_VAL);
    }

    std::uint32_t find(const CellKey& k) const {
        for (std::size_t i = cell_hash(k) & mask_;; i = (i + 1) & mask_) {
            const Slot& s = slots_[i];
            if (s.cell == kNone) return kNone;
            if (s.key == k) return s.cell;
        }
    }

    std::uint32_t find_or_add(const CellKey& k) {
        for (std::size_t i = cell_hash(k) & mask_;; i = (i + 1) & mask_) {
            Slot& s = slots_[i];
            if (s.cell == kNone) {
                s.key = k;
                s.cell = static_cast<std::uint32_t>(cells_.size());
                cells_.push_back(Cell{});
                return s.cell;
            }
            if (s.key == k) return s.cell;
        }
    }

    const std::vector<char>& pending_;
    double tol_;
    double inverse_cell_;
    std::size_t mask_ = 0;
    std::vector<Slot> slots_;
    std::vector<Cell> cells_;
    std::vector<End> ids_;
    EndTree tree_;
};

// The chain being built: points put in front are kept reversed in one
// vector, the rest in another, so joins at either end cost only the points
// they add. Both vectors are reused from chain to chain.
class GrowingChain {
public:
    void reset(const geom::Ring& first) {
        front_.clear();
        back_.assign(first.begin(), first.end());
        skip_ = 0;
    }
    const geom::Point& first() const { return front_.empty() ? back_[skip_] : front_.back(); }
    const geom::Point& last() const { return back_.size() > skip_ ? back_.back() : front_.front(); }
    template <class It>
    void append(It b, It e) {
        back_.insert(back_.end(), b, e);
    }
    void drop_first() {
        if (!front_.empty()) {
            front_.pop_back();
        } else {
            ++skip_;
        }
    }
    // Puts the range in front, keeping its order.
    template <class It>
    void prepend(It b, It e) {
        while (e != b) front_.push_back(*--e);
    }
    void copy_to(geom::Ring& out) const {
        out.assign(front_.rbegin(), front_.rend());
        out.insert(out.end(), back_.begin() + static_cast<std::ptrdiff_t>(skip_), back_.end());
    }

private:
    std::vector<geom::Point> front_;  // reversed
    std::vector<geom::Point> back_;
    std::size_t skip_ = 0;  // points dropped from the start of back_
};

// A finished chain becomes a contour when its ends meet, or nearly meet for
// its size; its last point is replaced by its first.
bool close_chain(geom::Ring& chain, double tol, Contour& contour) {
    if (chain.size() < 4) return false;
    const double gap = geom::point_distance(chain.front(), chain.back());
    bool closable = gap <= tol;
    if (!closable) {
        double length = 0.0;
        for (std::size_t i = 1; i < chain.size(); ++i) length += geom::point_distance(chain[i - 1], chain[i]);
        const geom::BoundingBox box = geom::ring_bounds(chain);
        const double diagonal = std::hypot(box.width(), box.height());
        closable = length > 1e-6 && gap <= std::max(tol, std::min(diagonal * 0.08, std::min(length * 0.025, 5.0)));
    }
    if (!closable) return false;
    chain.back() = chain.front();
    return make_contour(std::move(chain), contour);
}

// ---- Classification ---------------------------------------------------------
//
// The rule: the parent of a contour is, among the contours of larger area
// whose box (widened by 1e-4) holds its box and whose outline holds it
// (ring_holds), the one of smallest area, the first in the list among equal
// areas. The list runs by falling area, so the parent is found by going back
// from the contour through the contours of larger area and stopping once an
// area with a holder is done. A parent's widened box holds the child's box
// minimum, so a grid over the boxes narrows that walk to the boxes holding
// that point; those are read in the same backward order.

struct Classified {
    Contour* contour;
    geom::BoundingBox box;
    bool box_finite;
};

bool box_within(const geom::BoundingBox& inner, const geom::BoundingBox& outer) {
    constexpr double kSlack = 1e-4;
    return inner.min_x >= outer.min_x - kSlack && inner.max_x <= outer.max_x + kSlack &&
           inner.min_y >= outer.min_y - kSlack && inner.max_y <= outer.max_y + kSlack;
}

// The mean of the ring's points without its closing point, else one of its
// first twelve vertices, inside (or on) the outline of the other ring.
bool ring_holds(const geom::Ring& outer, const geom::Ring& inner) {
    const std::size_t count = inner.size() > 1 ? inner.size() - 1 : inner.size();
    if (count > 0) {
        double sx = 0.0;
        double sy = 0.0;
        for (std::size_t i = 0; i < count; ++i) {
            sx += inner[i].x;
            sy += inner[i].y;
        }
        const geom::Point mean{sx / static_cast<double>(count), sy / static_cast<double>(count)};
        if (geom::point_in_ring(mean, outer)) return true;
    }
    const std::size_t tries = std::min<std::size_t>(count, 12);
    for (std::size_t i = 0; i < tries; ++i) {
        if (geom::point_in_ring(inner[i], outer)) return true;
    }
    return false;
}

// Uniform grids over the finite boxes, each coarser level with half as many
// cells a side: a box goes to the finest level where it spans few cells, into
// every cell it overlaps, so that large boxes do not crowd the fine cells and
// nested boxes spread over the levels. Each cell lists its boxes in list
// order.
class BoxGrid {
public:
    static constexpr std::size_t kMaxLevels = 11;  // 1024 cells a side halved down to 1

    explicit BoxGrid(const std::vector<Classified>& items) {
        geom::BoundingBox all;
        std::size_t finite = 0;
        for (const Classified& c : items) {
            if (!c.box_finite) continue;
            ++finite;
            all = geom::box_union(all, c.box);
        }
        if (finite == 0) return;
        origin_x_ = all.min_x;
        origin_y_ = all.min_y;
        const auto side = static_cast<std::int64_t>(std::ceil(std::sqrt(static_cast<double>(finite))));
        for (std::int64_t n = std::clamp<std::int64_t>(side, 1, 1024);; n = (n + 1) / 2) {
            Level level;
            level.n = n;
            level.cell_w = all.width() / static_cast<double>(n);
            level.cell_h = all.height() / static_cast<double>(n);
            level.cells.resize(static_cast<std::size_t>(n * n));
            levels_.push_back(std::move(level));
            if (n == 1) break;
        }
        constexpr std::int64_t kMaxCells = 64;
        constexpr double kSlack = 1e-4;
        for (std::size_t j = 0; j < items.size(); ++j) {
            if (!items[j].box_finite) continue;
            const geom::BoundingBox& b = items[j].box;
            for (Level& level : levels_) {
                const std::int64_t x0 = level.index(b.min_x - kSlack, origin_x_, level.cell_w);
                const std::int64_t x1 = level.index(b.max_x + kSlack, origin_x_, level.cell_w);
                const std::int64_t y0 = level.index(b.min_y - kSlack, origin_y_, level.cell_h);
                const std::int64_t y1 = level.index(b.max_y + kSlack, origin_y_, level.cell_h);
                if ((x1 - x0 + 1) * (y1 - y0 + 1) > kMaxCells && level.n > 1) continue;
                for (std::int64_t y = y0; y <= y1; ++y) {
                    for (std::int64_t x = x0; x <= x1; ++x) {
                        level.cells[static_cast<std::size_t>(y * level.n + x)].push_back(static_cast<std::uint32_t>(j));
                    }
                }
                level.used = true;
                break;
            }
        }
        levels_.erase(std::remove_if(levels_.begin(), levels_.end(), [](const Level& l) { return !l.used; }),
                      levels_.end());
    }

    // The boxes holding p with an index below limit, from the highest index
    // down, one at a time.
    class Walk {
    public:
        Walk(const BoxGrid& grid, const geom::Point& p, std::uint32_t limit) {
            for (const Level& level : grid.levels_) {
                const std::int64_t x = level.index(p.x, grid.origin_x_, level.cell_w);
                const std::int64_t y = level.index(p.y, grid.origin_y_, level.cell_h);
                const std::vector<std::uint32_t>& cell = level.cells[static_cast<std::size_t>(y * level.n + x)];
                const auto end = std::lower_bound(cell.begin(), cell.end(), limit);
                if (end != cell.begin()) lists_[count_++] = Cursor{cell.data(), static_cast<std::size_t>(end - cell.begin())};
            }
        }
        // False when no box is left.
        bool next(std::uint32_t& j) {
            Cursor* top = nullptr;
            for (std::size_t k = 0; k < count_; ++k) {
                Cursor& c = lists_[k];
                if (c.left > 0 && (top == nullptr || c.ids[c.left - 1] > top->ids[top->left - 1])) top = &c;
            }
            if (top == nullptr) return false;
            j = top->ids[--top->left];
            return true;
        }

    private:
        struct Cursor {
            const std::uint32_t* ids;
            std::size_t left;
        };
        std::array<Cursor, kMaxLevels> lists_{};
        std::size_t count_ = 0;
    };

private:
    struct Level {
        std::int64_t n = 1;
        double cell_w = 0.0;
        double cell_h = 0.0;
        bool used = false;
        std::vector<std::vector<std::uint32_t>> cells;

        // Monotone in v, so a point inside a box maps into the box's cell range.
        std::int64_t index(double v, double origin, double size) const {
            if (!(size > 0.0)) return 0;
            const double f = std::floor((v - origin) / size);
            if (!(f >= 0.0)) return 0;
            if (f >= static_cast<double>(n - 1)) return n - 1;
            return static_cast<std::int64_t>(f);
        }
    };

    double origin_x_ = 0.0;
    double origin_y_ = 0.0;
    std::vector<Level> levels_;
};

// An outline spanning more than the double range (finite area, a width
// beyond 1.8e308) overflows when moved to the origin; such a part could
// never be placed.
bool all_finite(const geom::Polygon& shape) {
    auto finite = [](const geom::Ring& r) {
        return std::all_of(r.begin(), r.end(), [](const geom::Point& p) { return std::isfinite(p.x) && std::isfinite(p.y); });
    };
    return finite(shape.outer) && std::all_of(shape.holes.begin(), shape.holes.end(), finite);
}

// A part whose coordinates are so large that fewer than about a million
// steps of the doubles there span it: near the origin its points would be
// where the file puts them, out there they are not, and nothing read of it
// (which ends meet, which points survive, what holds what) is what the
// drawing says.
bool too_far_out(const geom::Ring& outer) {
    const geom::BoundingBox box = geom::ring_bounds(outer);
    const double far = std::max({std::abs(box.min_x), std::abs(box.max_x), std::abs(box.min_y), std::abs(box.max_y)});
    const double step = std::nextafter(far, HUGE_VAL) - far;
    return std::max(box.width(), box.height()) < 0x1p20 * step;
}

}  // namespace

std::vector<Contour> join_chains(const std::vector<geom::Ring>& chains, double join_tolerance,
                                 std::size_t* lookup_steps) {
    const double tol = std::max(join_tolerance, 0.001);
    const std::size_t n = chains.size();
    std::vector<Contour> contours;
    std::vector<char> pending(n, 0);
    for (std::size_t i = 0; i < n; ++i) pending[i] = chains[i].empty() ? 0 : 1;
    EndGrid grid(chains, pending, tol);
    GrowingChain cur;
    geom::Ring finished;
    std::size_t steps = 0;

    std::size_t first_pending = 0;
    for (;;) {
        while (first_pending < n && !pending[first_pending]) ++first_pending;
        if (first_pending == n) break;
        pending[first_pending] = 0;
        grid.remove(first_pending);
        cur.reset(chains[first_pending]);

        for (;;) {
            std::size_t best = n;
            grid.find(cur.last(), best, steps);
            grid.find(cur.first(), best, steps);
            if (best == n) break;

            const geom::Ring& c = chains[best];
            const int test = join_test(cur.first(), cur.last(), c, tol);
            pending[best] = 0;
            grid.remove(best);
            switch (test) {
                case 1: cur.append(c.begin() + 1, c.end()); break;
                case 2: cur.append(c.rbegin() + 1, c.rend()); break;
                case 3:
                    cur.drop_first();
                    cur.prepend(c.begin(), c.end());
                    break;
                default:
                    cur.drop_first();
                    cur.prepend(c.rbegin(), c.rend());
                    break;
            }
        }

        cur.copy_to(finished);
        Contour contour;
        if (close_chain(finished, tol, contour)) contours.push_back(std::move(contour));
    }
    if (lookup_steps != nullptr) *lookup_steps = steps;
    return contours;
}

std::vector<OuterWithHoles> classify_contours(std::vector<Contour> contours, std::size_t* boxes_tested) {
    // A contour without a finite area would poison the sort and every area
    // comparison; it cannot be a part either.
    std::vector<Classified> items;
    items.reserve(contours.size());
    for (Contour& c : contours) {
        if (!std::isfinite(c.area)) continue;
        const geom::BoundingBox box = geom::ring_bounds(c.ring);
        items.push_back(Classified{&c, box, box.is_finite()});
    }
    // Stable: equal areas keep their file order, so names and order repeat.
    merge_sort(items, [](const Classified& a, const Classified& b) { return a.contour->area > b.contour->area; });

    const std::size_t n = items.size();
    std::vector<std::int32_t> parent(n, -1);
    BoxGrid grid(items);
    std::size_t tested = 0;
    std::size_t group_start = 0;  // first contour of the current run of equal areas
    for (std::size_t i = 0; i < n; ++i) {
        if (items[i].contour->area != items[group_start].contour->area) group_start = i;
        if (!items[i].box_finite) continue;
        // Only the contours before the run have a larger area. Going back
        // through them, the first area with a holder gives the parent: the
        // first holder in the list among that area's contours.
        BoxGrid::Walk walk(grid, geom::Point{items[i].box.min_x, items[i].box.min_y},
                           static_cast<std::uint32_t>(group_start));
        std::size_t best_j = n;
        std::uint32_t j = 0;
        while (walk.next(j)) {
            if (best_j != n && items[j].contour->area != items[best_j].contour->area) break;
            ++tested;
            if (box_within(items[i].box, items[j].box) && ring_holds(items[j].contour->ring, items[i].contour->ring)) {
                best_j = j;
            }
        }
        if (best_j != n) parent[i] = static_cast<std::int32_t>(best_j);
    }
    if (boxes_tested != nullptr) *boxes_tested = tested;

    std::vector<OuterWithHoles> outers;
    std::vector<std::int32_t> outer_index(n, -1);
    for (std::size_t i = 0; i < n; ++i) {
        if (parent[i] != -1) continue;
        outer_index[i] = static_cast<std::int32_t>(outers.size());
        outers.push_back(OuterWithHoles{std::move(items[i].contour->ring), items[i].contour->area, {}});
    }
    // A parent stands before its child in the list, so the root of every
    // contour is known by the time the contour is reached.
    std::vector<std::size_t> root(n);
    for (std::size_t i = 0; i < n; ++i) {
        root[i] = parent[i] == -1 ? i : root[static_cast<std::size_t>(parent[i])];
        if (parent[i] == -1) continue;
        outers[static_cast<std::size_t>(outer_index[root[i]])].holes.push_back(std::move(*items[i].contour));
    }
    return outers;
}

std::vector<Part> build_parts(std::vector<OuterWithHoles> outers, const std::filesystem::path& file,
                              const DxfImportSettings& settings) {
    std::vector<Part> parts;
    const std::string stem = path_to_utf8(file.stem());
    const std::string source = path_to_utf8(file);
    const bool numbered = outers.size() >= 2;
    int number = 0;
    for (OuterWithHoles& o : outers) {
        // Judged on the outline as read, before it is moved into the shape.
        const bool far_out = too_far_out(o.outer);
        geom::Polygon shape;
        shape.outer = clean_ring(std::move(o.outer));
        shape.holes.reserve(o.holes.size());
        for (Contour& h : o.holes) shape.holes.push_back(clean_ring(std::move(h.ring)));
        shape = geom::normalize_polygon(std::move(shape));
        if (shape.net_area() < settings.min_area || !all_finite(shape)) continue;
        if (far_out) throw std::runtime_error("DXF part too far from the origin for its size: " + source);
        Part part;
        part.name = numbered ? stem + "-" + std::to_string(++number) : stem;
        part.shape = std::move(shape);
        part.quantity = settings.quantity;
        part.allow_rotation = true;
        part.source = source;
        parts.push_back(std::move(part));
    }
    return parts;
}

std::vector<Part> parts_from_geometry(DxfFileGeometry geometry, const std::filesystem::path& file,
                                      const DxfImportSettings& settings) {
    std::vector<Contour> contours = std::move(geometry.contours);
    std::vector<Contour> joined = join_chains(geometry.open_chains, settings.join_tolerance);
    std::vector<geom::Ring>().swap(geometry.open_chains);
    contours.insert(contours.end(), std::make_move_iterator(joined.begin()), std::make_move_iterator(joined.end()));
    return build_parts(classify_contours(std::move(contours)), file, settings);
}

std::vector<Part> load_dxf_parts(const std::vector<std::filesystem::path>& inputs,
                                 const DxfImportSettings& settings) {
    std::vector<Part> parts;
    for (const std::filesystem::path& file : collect_dxf_files(inputs)) {
        std::vector<Part> file_parts;
        try {
            file_parts = parts_from_geometry(read_dxf_file(file, settings), file, settings);
        } catch (const std::bad_alloc&) {
            throw std::runtime_error("Out of memory reading DXF: " + path_to_utf8(file));
        }
        parts.insert(parts.end(), std::make_move_iterator(file_parts.begin()),
                     std::make_move_iterator(file_parts.end()));
    }
    return parts;
}

}  // namespace plv
