#include "dxf/part_builder.hpp"

#include "dxf/file_collection.hpp"
#include "dxf/paths.hpp"
#include "engine/deterministic.hpp"
#include "geometry/predicates.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
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
// end pairings in a fixed order. Only chains with an end near one of the
// current chain's ends can be that chain, so a hash grid of chain ends (cells
// of twice the tolerance) finds it without scanning every chain; the smallest
// index among the candidates that pass is the one a full scan would find.

struct CellKey {
    std::int64_t x;
    std::int64_t y;
    bool operator==(const CellKey& o) const { return x == o.x && y == o.y; }
};

std::uint64_t cell_hash(const CellKey& k) {
    std::uint64_t h = static_cast<std::uint64_t>(k.x) * 0x9E3779B97F4A7C15ULL;
    h ^= static_cast<std::uint64_t>(k.y) + 0x632BE59BD9B4E019ULL + (h << 6) + (h >> 2);
    h ^= h >> 31;
    h *= 0xBF58476D1CE4E5B9ULL;
    return h ^ (h >> 29);
}

// Chain ends by grid cell, built once: an open-addressing table from cell to
// a slice of one id array. Chains that are no longer pending are dropped from
// a slice when it is next read.
class EndGrid {
public:
    EndGrid(const std::vector<geom::Ring>& chains, double cell_size) : cell_(cell_size) {
        std::size_t ends = 0;
        for (const auto& c : chains) ends += c.empty() ? 0 : 2;
        std::size_t cap = 16;
        while (cap < 2 * ends) cap *= 2;
        mask_ = cap - 1;
        slots_.assign(cap, Slot{});
        // Count per cell, then lay the cells out one after another.
        std::vector<std::uint32_t> cell_of_end;
        cell_of_end.reserve(ends);
        for (const auto& c : chains) {
            if (c.empty()) continue;
            for (const geom::Point* p : {&c.front(), &c.back()}) {
                CellKey k;
                if (!key_of(*p, k)) {
                    cell_of_end.push_back(kLoose);
                    continue;
                }
                const std::uint32_t cell = find_or_add(k);
                ++cells_[cell].count;
                cell_of_end.push_back(cell);
            }
        }
        std::uint32_t offset = 0;
        for (Cell& c : cells_) {
            c.start = offset;
            offset += c.count;
            c.count = 0;
        }
        ids_.resize(offset);
        std::size_t e = 0;
        for (std::size_t i = 0; i < chains.size(); ++i) {
            if (chains[i].empty()) continue;
            for (int end = 0; end < 2; ++end) {
                const std::uint32_t cell = cell_of_end[e++];
                if (cell == kLoose) {
                    loose_.push_back(static_cast<std::uint32_t>(i));
                } else {
                    Cell& c = cells_[cell];
                    ids_[c.start + c.count++] = static_cast<std::uint32_t>(i);
                }
            }
        }
    }

    // Calls visit for every pending chain with an end that may lie near p.
    // False when p has no cell (not finite, or too far out): the caller must
    // then look at every chain.
    template <class Visit>
    bool visit_near(const geom::Point& p, const std::vector<char>& pending, Visit& visit) {
        CellKey k;
        if (!key_of(p, k)) return false;
        for (std::int64_t dx = -1; dx <= 1; ++dx) {
            for (std::int64_t dy = -1; dy <= 1; ++dy) {
                const std::uint32_t cell = find(CellKey{k.x + dx, k.y + dy});
                if (cell == kLoose) continue;
                Cell& c = cells_[cell];
                std::uint32_t kept = 0;
                for (std::uint32_t i = 0; i < c.count; ++i) {
                    const std::uint32_t id = ids_[c.start + i];
                    if (!pending[id]) continue;
                    ids_[c.start + kept++] = id;
                    visit(id);
                }
                c.count = kept;
            }
        }
        for (std::uint32_t id : loose_) {
            if (pending[id]) visit(id);
        }
        return true;
    }

private:
    static constexpr std::uint32_t kLoose = 0xFFFFFFFFu;
    struct Slot {
        CellKey key{0, 0};
        std::uint32_t cell = kLoose;
    };
    struct Cell {
        std::uint32_t start = 0;
        std::uint32_t count = 0;
    };

    bool key_of(const geom::Point& p, CellKey& k) const {
        const double fx = std::floor(p.x / cell_);
        const double fy = std::floor(p.y / cell_);
        constexpr double kRange = 1e15;
        if (!(std::abs(fx) < kRange && std::abs(fy) < kRange)) return false;
        k = CellKey{static_cast<std::int64_t>(fx), static_cast<std::int64_t>(fy)};
        return true;
    }

    std::uint32_t find(const CellKey& k) const {
        for (std::size_t i = cell_hash(k) & mask_;; i = (i + 1) & mask_) {
            const Slot& s = slots_[i];
            if (s.cell == kLoose) return kLoose;
            if (s.key == k) return s.cell;
        }
    }

    std::uint32_t find_or_add(const CellKey& k) {
        for (std::size_t i = cell_hash(k) & mask_;; i = (i + 1) & mask_) {
            Slot& s = slots_[i];
            if (s.cell == kLoose) {
                s.key = k;
                s.cell = static_cast<std::uint32_t>(cells_.size());
                cells_.push_back(Cell{});
                return s.cell;
            }
            if (s.key == k) return s.cell;
        }
    }

    double cell_;
    std::size_t mask_ = 0;
    std::vector<Slot> slots_;
    std::vector<Cell> cells_;
    std::vector<std::uint32_t> ids_;
    std::vector<std::uint32_t> loose_;
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

bool within(const geom::Point& a, const geom::Point& b, double tol) { return geom::point_distance(a, b) <= tol; }

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
// A parent's box, widened by 1e-4, holds the child's box and so the child's
// box minimum. A uniform grid over the boxes answers "which boxes hold this
// point"; boxes spanning many cells are kept in one list that every query
// reads. The candidates are then tested exactly as the pairwise rule says.

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

class BoxGrid {
public:
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
        n_ = std::clamp<std::int64_t>(side, 1, 1024);
        cell_w_ = all.width() / static_cast<double>(n_);
        cell_h_ = all.height() / static_cast<double>(n_);
        cells_.resize(static_cast<std::size_t>(n_ * n_));
        constexpr std::int64_t kMaxCells = 64;
        constexpr double kSlack = 1e-4;
        for (std::size_t j = 0; j < items.size(); ++j) {
            if (!items[j].box_finite) continue;
            const geom::BoundingBox& b = items[j].box;
            const std::int64_t x0 = index(b.min_x - kSlack, origin_x_, cell_w_);
            const std::int64_t x1 = index(b.max_x + kSlack, origin_x_, cell_w_);
            const std::int64_t y0 = index(b.min_y - kSlack, origin_y_, cell_h_);
            const std::int64_t y1 = index(b.max_y + kSlack, origin_y_, cell_h_);
            if ((x1 - x0 + 1) * (y1 - y0 + 1) > kMaxCells) {
                big_.push_back(static_cast<std::uint32_t>(j));
                continue;
            }
            for (std::int64_t y = y0; y <= y1; ++y) {
                for (std::int64_t x = x0; x <= x1; ++x) {
                    cells_[static_cast<std::size_t>(y * n_ + x)].push_back(static_cast<std::uint32_t>(j));
                }
            }
        }
    }

    template <class Visit>
    void visit_holding(const geom::Point& p, Visit visit) const {
        if (cells_.empty()) return;
        const std::int64_t x = index(p.x, origin_x_, cell_w_);
        const std::int64_t y = index(p.y, origin_y_, cell_h_);
        for (std::uint32_t j : cells_[static_cast<std::size_t>(y * n_ + x)]) visit(j);
        for (std::uint32_t j : big_) visit(j);
    }

private:
    // Monotone in v, so a point inside a box maps into the box's cell range.
    std::int64_t index(double v, double origin, double size) const {
        if (!(size > 0.0)) return 0;
        const double f = std::floor((v - origin) / size);
        if (!(f >= 0.0)) return 0;
        if (f >= static_cast<double>(n_ - 1)) return n_ - 1;
        return static_cast<std::int64_t>(f);
    }

    double origin_x_ = 0.0;
    double origin_y_ = 0.0;
    double cell_w_ = 0.0;
    double cell_h_ = 0.0;
    std::int64_t n_ = 1;
    std::vector<std::vector<std::uint32_t>> cells_;
    std::vector<std::uint32_t> big_;
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

}  // namespace

std::vector<Contour> join_chains(const std::vector<geom::Ring>& chains, double join_tolerance) {
    const double tol = std::max(join_tolerance, 0.001);
    const std::size_t n = chains.size();
    std::vector<Contour> contours;
    std::vector<char> pending(n, 0);
    for (std::size_t i = 0; i < n; ++i) pending[i] = chains[i].empty() ? 0 : 1;
    EndGrid grid(chains, 2.0 * tol);
    GrowingChain cur;
    geom::Ring finished;

    std::size_t first_pending = 0;
    for (;;) {
        while (first_pending < n && !pending[first_pending]) ++first_pending;
        if (first_pending == n) break;
        pending[first_pending] = 0;
        cur.reset(chains[first_pending]);

        for (;;) {
            std::size_t best = n;
            int best_test = 0;
            auto consider = [&](std::uint32_t id) {
                if (id >= best || !pending[id]) return;
                const geom::Ring& c = chains[id];
                int test = 0;
                if (within(cur.last(), c.front(), tol)) {
                    test = 1;
                } else if (within(cur.last(), c.back(), tol)) {
                    test = 2;
                } else if (within(cur.first(), c.back(), tol)) {
                    test = 3;
                } else if (within(cur.first(), c.front(), tol)) {
                    test = 4;
                }
                if (test != 0) {
                    best = id;
                    best_test = test;
                }
            };
            const bool near_last = grid.visit_near(cur.last(), pending, consider);
            const bool near_first = near_last && grid.visit_near(cur.first(), pending, consider);
            if (!near_first) {
                for (std::size_t id = 0; id < n && id < best; ++id) consider(static_cast<std::uint32_t>(id));
            }
            if (best == n) break;

            const geom::Ring& c = chains[best];
            pending[best] = 0;
            switch (best_test) {
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
    return contours;
}

std::vector<OuterWithHoles> classify_contours(std::vector<Contour> contours) {
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
    std::vector<std::uint32_t> candidates;
    for (std::size_t i = 0; i < n; ++i) {
        if (!items[i].box_finite) continue;
        const double area_i = items[i].contour->area;
        candidates.clear();
        grid.visit_holding(geom::Point{items[i].box.min_x, items[i].box.min_y}, [&](std::uint32_t j) {
            const Classified& cj = items[j];
            if (j != i && cj.contour->area > area_i && cj.box_finite && box_within(items[i].box, cj.box)) {
                candidates.push_back(j);
            }
        });
        // The list runs by falling area, so the candidate of smallest area
        // comes last; among equal areas the first in the list wins. Test the
        // outlines from the smallest area up and stop once an area is done.
        // (The indices are distinct: any sort gives the same order.)
        std::sort(candidates.begin(), candidates.end(), std::greater<>());
        std::size_t best_j = n;
        for (std::uint32_t j : candidates) {
            if (best_j != n && items[j].contour->area != items[best_j].contour->area) break;
            if (ring_holds(items[j].contour->ring, items[i].contour->ring)) best_j = j;
        }
        if (best_j != n) parent[i] = static_cast<std::int32_t>(best_j);
    }

    std::vector<OuterWithHoles> outers;
    std::vector<std::int32_t> outer_index(n, -1);
    for (std::size_t i = 0; i < n; ++i) {
        if (parent[i] != -1) continue;
        outer_index[i] = static_cast<std::int32_t>(outers.size());
        outers.push_back(OuterWithHoles{std::move(items[i].contour->ring), items[i].contour->area, {}});
    }
    for (std::size_t i = 0; i < n; ++i) {
        if (parent[i] == -1) continue;
        std::size_t root = i;
        for (std::size_t steps = 0; steps < n && parent[root] != -1; ++steps) {
            root = static_cast<std::size_t>(parent[root]);
        }
        if (outer_index[root] >= 0) {
            outers[static_cast<std::size_t>(outer_index[root])].holes.push_back(std::move(*items[i].contour));
        }
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
        geom::Polygon shape;
        shape.outer = clean_ring(std::move(o.outer));
        shape.holes.reserve(o.holes.size());
        for (Contour& h : o.holes) shape.holes.push_back(clean_ring(std::move(h.ring)));
        shape = geom::normalize_polygon(std::move(shape));
        if (shape.net_area() < settings.min_area || !all_finite(shape)) continue;
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
