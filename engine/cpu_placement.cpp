#include "engine/cpu_placement.hpp"

#include "engine/deterministic.hpp"
#include "engine/placement_context.hpp"
#include "engine/positions.hpp"

#include <algorithm>
#include <cmath>
#include <type_traits>

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

// The keys of a position whose moved box has its minimum at (x, y), where
// `united` is the box around that box and the sheet's placements.
detail::RankKeys union_keys(const BoundingBox& united, double y, double x,
                            const IterativeNestingOptions& options) {
    detail::RankKeys k;
    const double w = united.width();
    const double h = united.height();
    k.union_area = w * h;
    k.union_height = h;
    k.union_width = w;
    blend_keys(k.union_area, h, w, options, k.primary, k.secondary);
    k.y = y;
    k.x = x;
    return k;
}

// The seven-key order: -1, 0 or 1 as a ranks before, with or after b. A NaN
// key decides nothing, so with NaN keys this is no strict weak order.
int compare_keys(const detail::RankKeys& a, const detail::RankKeys& b) {
    const auto key = [](double p, double q) { return p < q ? -1 : (q < p ? 1 : 0); };
    if (const int c = key(a.primary, b.primary)) return c;
    if (const int c = key(a.secondary, b.secondary)) return c;
    if (const int c = key(a.union_area, b.union_area)) return c;
    if (const int c = key(a.union_height, b.union_height)) return c;
    if (const int c = key(a.union_width, b.union_width)) return c;
    if (const int c = key(a.y, b.y)) return c;
    return key(a.x, b.x);
}

bool has_nan(const detail::RankKeys& k) {
    return std::isnan(k.primary) || std::isnan(k.secondary) || std::isnan(k.union_area) ||
           std::isnan(k.union_height) || std::isnan(k.union_width) || std::isnan(k.y) ||
           std::isnan(k.x);
}

// The keys that come from the union box alone are equal.
bool same_box_keys(const detail::RankKeys& a, const detail::RankKeys& b) {
    return a.primary == b.primary && a.secondary == b.secondary && a.union_area == b.union_area &&
           a.union_height == b.union_height && a.union_width == b.union_width;
}

// A total order when no key is NaN: the keys, then the angle's place in the
// list (the order a stable sort of the full list keeps for ties), then the
// offering order, which never decides since the positions of one angle differ
// in x or y.
bool ranked_before(const detail::RankedPosition& a, const detail::RankedPosition& b) {
    if (const int c = compare_keys(a.keys, b.keys)) return c < 0;
    if (a.angle != b.angle) return a.angle < b.angle;
    return a.index < b.index;
}

}  // namespace

bool ranks_before(const PositionCandidate& a, const PositionCandidate& b) {
    const detail::RankKeys ka{a.primary, a.secondary, a.union_area, a.union_height,
                              a.union_width, a.y, a.x};
    const detail::RankKeys kb{b.primary, b.secondary, b.union_area, b.union_height,
                              b.union_width, b.y, b.x};
    return compare_keys(ka, kb) < 0;
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

// One placer call: the part at each angle tried against one sheet.
struct Attempt {
    const Sheet& sheet;
    const std::vector<Placement>& placed;
    const SheetState& state;
    const IterativeNestingOptions& options;
    const std::vector<const RotatedShape*>& shapes;  // per angle tried
    bool has_box;  // the sheet holds placements
    const BoundingBox& sheet_box;  // the box around them
    const Part* part;
    // A position with an outline point deep inside a placed shape is taken;
    // null where that cannot be known early.
    const SheetCoverage* cover;

    bool is_free(const RankedPosition& e) const {
        const RotatedShape& r = *shapes[e.angle];
        return position_free(r.geo, r.shape, e.px, e.py, geom::translate_box(r.box, e.px, e.py),
                             placed, state, options.spacing);
    }
    // The same for a position as rank_positions listed it: an extra found
    // taken is marked never free on this sheet.
    bool is_free_listed(const RankedPosition& e, const Workspace& ws) const {
        if (is_free(e)) return true;
        std::vector<std::uint64_t>* never = ws.angle_never_free[e.angle];
        if (never != nullptr && e.index >= ws.grid_size) {
            const std::uint16_t m = ws.angle_offers[e.angle][e.index - ws.grid_size];
            (*never)[m >> 6] |= std::uint64_t{1} << (m & 63);
        }
        return false;
    }
    RankKeys keys_at(const BoundingBox& moved) const {
        const BoundingBox united = has_box ? geom::box_union(moved, sheet_box) : moved;
        return union_keys(united, moved.min_y, moved.min_x, options);
    }
};

// Generate and rank. Positions whose box lies inside the sheet box share the
// union box and so the first five keys, the smallest any position can have
// (every key grows with the union box): they form the inner group, ranked by
// y, x and angle alone. The grid positions of one angle come in y then x
// order, so the group is a sorted run per angle (ws.inner, ws.inner_runs)
// plus the rest (ws.inner_extra). Every other position goes to ws.ranked
// with its keys. Returns whether any key is NaN.
bool rank_positions(const Attempt& at, const RankKeys& inner, Workspace& ws) {
    std::vector<InnerPosition>& inner_grid = ws.inner;
    std::vector<InnerPosition>& inner_extra = ws.inner_extra;
    ws.ranked.clear();
    inner_grid.clear();
    inner_extra.clear();
    ws.inner_runs.clear();
    if (ws.angle_offers.size() < at.shapes.size()) ws.angle_offers.resize(at.shapes.size());
    ws.angle_never_free.assign(at.shapes.size(), nullptr);
    at.state.start_known_try();
    // Extras marked never free are left out of the lists. That changes no
    // pick as long as no position's keys can be NaN (a NaN key sends the
    // try down the list-order path), which holds where the sheet box and the
    // moved boxes are finite; the sheet box only grows by placements inside
    // the sheet, so once finite it stays so for every later try.
    const BoundingBox& sb = at.sheet_box;
    const bool finite_box = std::isfinite(sb.min_x) && std::isfinite(sb.min_y) &&
                            std::isfinite(sb.max_x) && std::isfinite(sb.max_y);
    bool any_nan = has_nan(inner);
    const double inverse = at.cover != nullptr ? at.cover->inverse() : 0.0;
    grid_positions(ws.xs, ws.ys, ws);
    for (std::size_t a = 0; a < at.shapes.size(); ++a) {
        const RotatedShape& r = *at.shapes[a];
        extra_positions(at.placed, at.state, r, at.options.spacing, at.options.extra_positions, ws);
        ws.extra_offers.swap(ws.angle_offers[a]);
        const std::vector<std::uint16_t>& offers = ws.angle_offers[a];
        ws.probes.clear();
        for (const Point& q : r.probes) ws.probes.push_back(Point{q.x * inverse, q.y * inverse});
        const bool probe = at.cover != nullptr && !ws.probes.empty();
        const std::size_t run_start = inner_grid.size();
        const auto add_inner = [&](const RankedPosition& q, std::size_t i) {
            const InnerPosition e{q.keys.y, q.keys.x, q.px, q.py, q.angle, q.index};
            if (i < ws.grid_size &&
                (inner_grid.size() == run_start || inner_before(inner_grid.back(), e))) {
                inner_grid.push_back(e);
            } else {
                inner_extra.push_back(e);
            }
        };
        const ScaledProbes probes = probe ? ScaledProbes(*at.cover, ws.probes) : ScaledProbes();
        const BoundingBox rb = r.box;
        const double right = at.sheet.width + kEngineTolerance;
        const double top = at.sheet.height + kEngineTolerance;
        const Point* const pts = ws.positions.data();
        const std::size_t count = ws.listed;
        // A position inside the sheet with no probe in a marked cell.
        const auto keep = [&](std::size_t i) {
            const Point p = pts[i];
            const BoundingBox b = geom::translate_box(rb, p.x, p.y);
            RankedPosition e;
            e.px = p.x;
            e.py = p.y;
            e.angle = static_cast<std::uint32_t>(a);
            e.index = static_cast<std::uint32_t>(i);
            e.keys.y = b.min_y;
            e.keys.x = b.min_x;
            const BoundingBox& s = at.sheet_box;
            if (at.has_box && b.min_x >= s.min_x && b.min_y >= s.min_y && b.max_x <= s.max_x &&
                b.max_y <= s.max_y) {
                add_inner(e, i);
                return;
            }
            e.keys = at.keys_at(b);
            if (has_nan(e.keys)) any_nan = true;
            if (at.has_box && same_box_keys(e.keys, inner)) {
                add_inner(e, i);
            } else {
                ws.ranked.push_back(e);
            }
        };
        std::size_t first = 0;  // positions before it are done
        if (probes.holds_four()) {
            // The grid, row by row: the inside test and the held probes
            // split into their column and row parts, each computed once.
            // The columns come in increasing x and a sum rounds monotonically,
            // so those inside the sheet are one run, [inside_from, inside_to).
            const std::vector<double>& xs = ws.grid_xs;
            ws.grid_columns.clear();
            std::size_t inside_from = xs.size();
            std::size_t inside_to = 0;
            for (std::size_t c = 0; c < xs.size(); ++c) {
                const double x = xs[c];
                ws.grid_columns.push_back(probes.column(x * inverse));
                if (rb.min_x + x >= -kEngineTolerance && rb.max_x + x <= right) {
                    if (inside_from > c) inside_from = c;
                    inside_to = c + 1;
                }
            }
            const std::vector<std::size_t>& starts = ws.grid_row_starts;
            for (std::size_t row = 0; row < starts.size(); ++row) {
                const std::size_t start = starts[row];
                const std::size_t end = row + 1 < starts.size() ? starts[row + 1] : ws.grid_size;
                const double y = pts[start].y;
                if (!(rb.min_y + y >= -kEngineTolerance && rb.max_y + y <= top)) continue;
                const double ty = y * inverse;
                const ScaledProbes::Row cells = probes.row(ty);
                const std::size_t to = std::min(inside_to, end - start);
                for (std::size_t c = inside_from; c < to; ++c) {
                    if (probes.held_covered(cells, ws.grid_columns[c])) continue;
                    if (probes.rest_covered(xs[c] * inverse, ty)) continue;
                    keep(start + c);
                }
            }
            first = ws.grid_size;
        }
        // box_inside_sheet of the moved box, with the sheet's limits taken
        // once. Every listed position is at least -1e-6 on both axes, so for
        // a box whose minimum is the origin (every rotated shape's) the
        // minima pass as they are (0 + v is v) and only the maxima can fail.
        // Extras known never to be free skip the probes; those found
        // covered now are marked.
        std::vector<std::uint64_t>* known = nullptr;
        if (probe && finite_box && count > ws.grid_size && ws.offers_made <= 0x10000 &&
            std::isfinite(rb.max_x) && std::isfinite(rb.max_y)) {
            known = &at.state.never_free(at.part, r.angle, at.options.spacing);
            const std::size_t words = (std::size_t{offers[count - ws.grid_size - 1]} >> 6) + 1;
            if (known->size() < words) known->resize(words, 0);
            ws.angle_never_free[a] = known;
        }
        const std::uint16_t* made = offers.data();
        const std::size_t grid = ws.grid_size;
        // The sheet test and the probes of position i; an extra whose
        // probes are covered gets its bit (m: its place in offering order).
        const auto test = [&](std::size_t i, std::size_t m, auto at_origin) {
            const Point p = pts[i];
            if (!(rb.max_x + p.x <= right && rb.max_y + p.y <= top)) return;
            if (!at_origin && !(rb.min_x + p.x >= -kEngineTolerance &&
                                rb.min_y + p.y >= -kEngineTolerance)) {
                return;
            }
            if (probes.any_covered(p.x * inverse, p.y * inverse)) {
                if (known != nullptr) (*known)[m >> 6] |= std::uint64_t{1} << (m & 63);
                return;
            }
            keep(i);
        };
        const auto scan = [&](auto at_origin) {
            if (known == nullptr) {
                for (std::size_t i = first; i < count; ++i) test(i, 0, at_origin);
                return;
            }
            for (std::size_t i = first; i < grid; ++i) test(i, 0, at_origin);
            // The extras not known never free, gathered without a branch:
            // about two in three are known, in no order a branch could guess.
            const std::size_t extras = count - grid;
            ws.unknown.resize(extras);
            std::uint32_t* const unknown = ws.unknown.data();
            const std::uint64_t* const bits = known->data();
            std::size_t n = 0;
            for (std::size_t j = 0; j < extras; ++j) {
                const std::size_t m = made[j];
                unknown[n] = static_cast<std::uint32_t>(j);
                n += ((bits[m >> 6] >> (m & 63)) & 1u) ^ 1u;
            }
            for (std::size_t k = 0; k < n; ++k) {
                const std::size_t j = unknown[k];
                test(grid + j, made[j], at_origin);
            }
        };
        if (rb.min_x == 0.0 && rb.min_y == 0.0) {
            scan(std::true_type{});
        } else {
            scan(std::false_type{});
        }
        ws.inner_runs.emplace_back(run_start, inner_grid.size());
    }
    return any_nan;
}

// The inner group in order, merged lazily from the runs and the extras:
// usually the pick is decided long before the end. The extras go into
// buckets by y in a counting pass, and a bucket is sorted only when the merge
// reaches it; the bucket of y is monotone in y, so bucket order agrees with
// the order.
class InnerOrder {
public:
    explicit InnerOrder(Workspace& ws)
        : grid_(ws.inner), runs_(ws.inner_runs), sorted_(ws.inner_sorted),
          bucket_start_(ws.bucket_start) {
        const std::vector<InnerPosition>& extra = ws.inner_extra;
        if (extra.size() > 128) {
            double y_high = extra[0].y;
            y_low_ = y_high;
            for (const InnerPosition& e : extra) {
                y_low_ = std::min(y_low_, e.y);
                y_high = std::max(y_high, e.y);
            }
            if (y_high > y_low_) {
                buckets_ = extra.size() / 32;
                y_scale_ = static_cast<double>(buckets_) / (y_high - y_low_);
            }
        }
        bucket_start_.assign(buckets_ + 1, 0);
        for (const InnerPosition& e : extra) ++bucket_start_[bucket_of(e.y) + 1];
        for (std::size_t q = 0; q < buckets_; ++q) bucket_start_[q + 1] += bucket_start_[q];
        sorted_.resize(extra.size());
        std::vector<std::uint32_t> fill(bucket_start_.begin(), bucket_start_.end() - 1);
        for (const InnerPosition& e : extra) sorted_[fill[bucket_of(e.y)]++] = e;
    }

    // The next position in order; null after the last.
    const InnerPosition* next() {
        const InnerPosition* best = nullptr;
        std::pair<std::size_t, std::size_t>* best_run = nullptr;
        for (auto& run : runs_) {
            if (run.first < run.second &&
                (best == nullptr || inner_before(grid_[run.first], *best))) {
                best = &grid_[run.first];
                best_run = &run;
            }
        }
        while (bucket_ < buckets_ && bucket_start_[bucket_] <= extra_next_) {
            std::sort(sorted_.begin() + bucket_start_[bucket_],
                      sorted_.begin() + bucket_start_[bucket_ + 1], inner_before);
            ++bucket_;
        }
        if (extra_next_ < sorted_.size() &&
            (best == nullptr || inner_before(sorted_[extra_next_], *best))) {
            best = &sorted_[extra_next_];
            best_run = nullptr;
        }
        if (best == nullptr) return nullptr;
        if (best_run != nullptr) {
            ++best_run->first;
        } else {
            ++extra_next_;
        }
        return best;
    }

private:
    std::size_t bucket_of(double y) const {
        double t = (y - y_low_) * y_scale_;
        if (!(t > 0.0)) t = 0.0;
        const double top = static_cast<double>(buckets_ - 1);
        if (t > top) t = top;
        return static_cast<std::size_t>(t);
    }

    const std::vector<InnerPosition>& grid_;
    std::vector<std::pair<std::size_t, std::size_t>>& runs_;
    std::vector<InnerPosition>& sorted_;
    std::vector<std::uint32_t>& bucket_start_;
    std::size_t buckets_ = 1;
    double y_low_ = 0.0;
    double y_scale_ = 0.0;
    std::size_t bucket_ = 0;  // buckets before this one are sorted
    std::size_t extra_next_ = 0;
};

// Test until the pick is decided: the free positions in key order, inner
// group first, into ws.accepted until it holds `want`. The first `want` free
// positions are the first `want` of the sorted full list.
void accept_in_key_order(const Attempt& at, const RankKeys& inner, std::size_t want,
                         Workspace& ws) {
    std::vector<RankedPosition>& accepted = ws.accepted;
    InnerOrder inner_order(ws);
    while (accepted.size() < want) {
        const InnerPosition* best = inner_order.next();
        if (best == nullptr) break;
        RankedPosition e;
        e.keys = inner;
        e.keys.y = best->y;
        e.keys.x = best->x;
        e.px = best->px;
        e.py = best->py;
        e.angle = best->angle;
        e.index = best->index;
        if (at.is_free_listed(e, ws)) accepted.push_back(e);
    }
    std::vector<RankedPosition>& ranked = ws.ranked;
    const auto after = [](const RankedPosition& a, const RankedPosition& b) {
        return ranked_before(b, a);
    };
    if (accepted.size() < want) std::make_heap(ranked.begin(), ranked.end(), after);
    while (!ranked.empty() && accepted.size() < want) {
        std::pop_heap(ranked.begin(), ranked.end(), after);
        const RankedPosition e = ranked.back();
        ranked.pop_back();
        if (at.is_free_listed(e, ws)) accepted.push_back(e);
    }
}

// Keys that decide nothing make the order depend on the list's own order:
// every free position of the full list as it stands, then ranked as a stable
// sort ranks them.
void accept_in_list_order(const Attempt& at, Workspace& ws) {
    std::vector<RankedPosition>& accepted = ws.accepted;
    for (std::size_t a = 0; a < at.shapes.size(); ++a) {
        const RotatedShape& r = *at.shapes[a];
        const bool extras = generate_positions(at.placed, at.state, r, at.options.spacing,
                                               at.options.extra_positions, ws.xs, ws.ys, ws);
        std::vector<Point> positions(ws.positions.begin(),
                                     ws.positions.begin() + static_cast<std::ptrdiff_t>(ws.listed));
        if (extras) sort_positions(positions);
        for (std::size_t i = 0; i < positions.size(); ++i) {
            const Point p = positions[i];
            const BoundingBox b = geom::translate_box(r.box, p.x, p.y);
            if (!box_inside_sheet(b, at.sheet)) continue;
            if (at.cover != nullptr && at.cover->any_covered(r.probes, p.x, p.y)) continue;
            RankedPosition e;
            e.keys = at.keys_at(b);
            e.px = p.x;
            e.py = p.y;
            e.angle = static_cast<std::uint32_t>(a);
            e.index = static_cast<std::uint32_t>(i);
            if (at.is_free(e)) accepted.push_back(e);
        }
    }
    merge_sort(accepted, [](const RankedPosition& a, const RankedPosition& b) {
        return compare_keys(a.keys, b.keys) < 0;
    });
}

}  // namespace

bool place_cpu(const Sheet& sheet, const NestingItem& item, const std::vector<double>& angles,
               const std::vector<Placement>& placed, const SheetState& state,
               std::int32_t sheet_index, const IterativeNestingOptions& options,
               RotationCache& cache, Workspace& ws, Placement& out) {
    if (item.part == nullptr || angles.empty()) return false;
    const Part& part = *item.part;
    std::vector<const RotatedShape*> shapes;
    shapes.reserve(angles.size());
    for (const double angle : angles) shapes.push_back(&cache.get(part, angle));

    const bool has_box = !state.empty();
    const BoundingBox& sheet_box = state.sheet_box();
    // The free test's margin is never negative where coverage rules out a
    // position.
    const SheetCoverage* cover = has_box && options.spacing >= 0.0
                                     ? &state.coverage(sheet.width, sheet.height, placed)
                                     : nullptr;
    if (cover != nullptr && cover->empty()) cover = nullptr;
    const Attempt at{sheet, placed, state, options, shapes, has_box, sheet_box, &part, cover};
    // The first five keys of the inner group; y and x are each position's own.
    const RankKeys inner = has_box ? union_keys(sheet_box, 0.0, 0.0, options) : RankKeys{};

    coordinate_lists(state, options.spacing, ws.xs, ws.ys);
    const bool any_nan = rank_positions(at, inner, ws);
    if (ws.ranked.empty() && ws.inner.empty() && ws.inner_extra.empty()) return false;
    ws.accepted.clear();
    if (!any_nan) {
        const std::size_t want = options.top_k > 1 ? static_cast<std::size_t>(options.top_k) : 1;
        accept_in_key_order(at, inner, want, ws);
    } else {
        accept_in_list_order(at, ws);
    }
    if (ws.accepted.empty()) return false;

    const std::size_t pick = pick_index(options.top_k, ws.accepted.size(), options.position_seed,
                                        sheet_index, placed.size());
    const RankedPosition& e = ws.accepted[pick];
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
