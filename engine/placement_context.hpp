#pragma once

// What the placers keep between tries so that nothing is computed twice:
// rotated shapes per part and angle, the geometry of every placed shape, and
// reusable buffers. Results are exactly those of the plain algorithms; see
// placement_geometry.hpp for the free test.

#include "engine/model.hpp"
#include "engine/placement_geometry.hpp"
#include "engine/sheet_coverage.hpp"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <utility>
#include <vector>

namespace plv::detail {

// sample_ring_points.
void sample_ring(const Ring& ring, std::size_t count, std::vector<Point>& out);

// Removes points equal to an earlier one, keeping the order: offers made
// from samples that repeat are themselves repeats.
void drop_repeats(std::vector<Point>& points);

// A part's shape at one angle, with what candidate positions and the free
// test need of it.
struct RotatedShape {
    double angle = 0.0;
    Polygon shape;  // rotate_polygon of the part's shape
    ShapeGeometry geo;
    BoundingBox box;  // polygon_bounds
    // Points along the outer ring (repeats dropped): 12 to meet placed
    // outlines, 6 to meet the samples of placed holes.
    std::vector<Point> outline_samples;
    std::vector<Point> outline_samples_for_holes;
    std::vector<Point> probes;  // outline_probes of the outer ring
};

RotatedShape make_rotated_shape(const Polygon& part_shape, double angle);
// Fills the two sample lists from shape.outer.
void sample_outline(RotatedShape& shape);

class RotationCache {
public:
    const RotatedShape& get(const Part& part, double angle);

private:
    std::map<std::pair<const Part*, std::uint64_t>, std::unique_ptr<RotatedShape>> shapes_;
};

// What the placers derive from one placed shape beyond its box: its free-test
// geometry and the samples that offer positions around it.
struct PlacedShape {
    ShapeGeometry geo;
    std::vector<Point> outline_samples;  // 12 along the outer ring, repeats dropped
    std::vector<std::vector<Point>> hole_samples;  // 8 per hole, likewise
    std::vector<BoundingBox> hole_boxes;
};

PlacedShape make_placed_shape(const Placement& placement);

// The placements of one sheet, in placement order, as the placers see them.
// Only the boxes are kept for every placement; the rest is built the first
// time a placer needs it, since a full sheet of array copies holds far more
// shapes than any free test meets. Every call passes the sheet's placements
// as the state was built from them (plus those added since).
class SheetState {
public:
    SheetState() = default;
    explicit SheetState(const std::vector<Placement>& placed);
    void add(const Placement& placement);

    std::size_t size() const { return boxes_.size(); }
    bool empty() const { return boxes_.empty(); }
    // placement_bounds of placement i.
    const BoundingBox& box(std::size_t i) const { return boxes_[i]; }
    const PlacedShape& shape(std::size_t i, const std::vector<Placement>& placed) const;
    const BoundingBox& sheet_box() const { return sheet_box_; }
    // Shapes built so far; release_shapes drops them, to be built again
    // when needed.
    std::size_t built() const { return built_; }
    void release_shapes();

    // Placement tried first by the next free test: the last one that
    // conflicted. Only speeds the test up.
    std::size_t& hint() const { return hint_; }
    ConflictScratch& scratch() const { return scratch_; }

    // The cells of a width x height sheet inside the placed shapes, brought
    // up to date on demand.
    const SheetCoverage& coverage(double width, double height,
                                  const std::vector<Placement>& placed) const;

    // The extra positions of a part at an angle that can never be free
    // here, a bit per offer in offering order (offers below -1e-6 left
    // out). The offers of one shape on this sheet repeat from try to try:
    // the sheet only grows, so they only run longer. A position with a
    // probe in a marked cell, or one a placed shape conflicts with, stays so
    // as the sheet grows. The bits of the last kKnownShapes shapes asked
    // for are kept; start_known_try begins a try, and nothing asked for in
    // the current try is dropped.
    std::vector<std::uint64_t>& never_free(const Part* part, double angle, double spacing) const;
    void start_known_try() const { ++known_clock_; }
    static constexpr std::size_t kKnownShapes = 32;

private:
    std::vector<BoundingBox> boxes_;
    mutable std::vector<std::unique_ptr<PlacedShape>> shapes_;  // null until needed
    mutable std::size_t built_ = 0;
    BoundingBox sheet_box_;
    mutable std::size_t hint_ = 0;
    mutable ConflictScratch scratch_;
    mutable SheetCoverage coverage_;
    mutable std::size_t covered_ = 0;  // shapes marked in coverage_
    struct KnownShape {
        const Part* part;
        std::uint64_t angle;    // bits of the angle
        std::uint64_t spacing;  // bits of the spacing
        std::uint64_t used;     // the try that last asked for it
        std::vector<std::uint64_t> never_free;
    };
    mutable std::vector<std::unique_ptr<KnownShape>> known_;  // never moved: tries hold references
    mutable std::uint64_t known_clock_ = 0;

    // coordinate_lists of the sheet as it was at lists_size placements, for
    // the spacing lists_spacing: copies of other parts try the same sheet.
    friend void coordinate_lists(const SheetState&, double, std::vector<double>&,
                                 std::vector<double>&);
    mutable std::size_t lists_size_ = 0;
    mutable double lists_spacing_ = 0.0;
    mutable bool lists_valid_ = false;
    mutable std::vector<double> xs_;
    mutable std::vector<double> ys_;
};

// Dedup set of candidate positions: the same answer as a linear scan for a
// position within 1e-6 on both axes, from a hash of cells 2^-8 wide. The
// grid goes in once per placer call; each angle's extras come on top of it
// and are dropped together when the next angle starts.
class PositionSet {
public:
    // Cells are 2^-8 mm wide and offset so that round coordinates (whole,
    // half or tenth millimetres) lie well inside a cell rather than on its
    // edge, where a lookup needs four. The offset holds one whole cell more,
    // so that every coordinate a position may have (from -1e-6 on) lands in
    // cell 1 or above, where the short lookup applies.
    static constexpr double kCellOffset = 0.00137 + 1.0 / 256.0;
    static constexpr double kCellScale = 256.0;

    PositionSet();
    // Forgets every position; the grid, points[0 ..), goes in next.
    void start_grid(const std::vector<Point>* points);
    // Forgets the extras but keeps the grid.
    void start_extras();
    // Whether no position lies within 1e-6 on both axes; if so the point,
    // which the caller then stores at `index` (below 8191), joins the set.
    bool add_if_new(double x, double y, std::uint32_t index) {
        if (x >= -1e-6 && y >= -1e-6) return add_if_new_listed(x, y, index);
        return add_if_new_anywhere(x, y, index);
    }
    // The same for a position that may be listed: x and y at least -1e-6,
    // and so (the cell offset being over a cell) in cell 1 or above.
    bool add_if_new_listed(double x, double y, std::uint32_t index) {
        Writer w = writer(1);
        const bool added = add_if_new_listed(w, points_->data(), x, y, index);
        keep(w);
        return added;
    }
    // The set's arrays in locals, for a loop that adds many positions: its
    // own stores would otherwise have the members read again before every
    // look-up. Taken with room for `adds` more positions, no more; the set
    // is used only through it until keep() hands it back.
    struct Writer {
        std::uint16_t* slots;
        std::size_t mask;
        std::uint16_t* filled;
        std::size_t count;  // of filled
    };
    Writer writer(std::size_t adds) {
        while (filled_.size() < filled_count_ + adds) grow_filled();
        return Writer{slots_.data(), mask_, filled_.data(), filled_count_};
    }
    void keep(const Writer& w) { filled_count_ = w.count; }
    // add_if_new_listed through a writer; `points` is what the set indexes.
    // Inlined by force: the offer loop calls it in its innermost step.
    __attribute__((always_inline)) bool add_if_new_listed(Writer& w, const Point* points,
                                                          double x, double y,
                                                          std::uint32_t index) {
        bool is_new = false;
        std::uint16_t tag = 0;
        const std::size_t s = listed_slot(Table{w.slots, w.mask}, points, x, y, is_new, tag);
        if (s == kDecideElsewhere) {
            keep(w);
            const bool added = add_if_new_anywhere(x, y, index);
            w.count = filled_count_;  // the room taken stays: put adds one
            w.filled = filled_.data();
            return added;
        }
        if (is_new) take(w, s, index, tag);
        return is_new;
    }
    // Adds points[index] whatever is near it.
    void insert(std::uint32_t index);
    // The same for a lattice: the slot hash is a sum of a part from the
    // column's x and a part from the row's y, each computed once per line.
    static std::uint64_t column_part(double x);
    static std::uint64_t row_part(double y);
    static void insert_parts(Writer& w, std::uint64_t column, std::uint64_t row,
                             std::uint32_t index) {
        const std::uint64_t h = column + row;
        std::size_t s = slot_of_hash(h);
        while (w.slots[s] != 0) s = (s + 1) & w.mask;
        take(w, s, index, tag_of_hash(h));
    }

private:
    struct Table {
        const std::uint16_t* slots;
        std::size_t mask;
    };
    // The one-cell look-up of add_if_new_listed: the slot where the answer
    // is decided, with is_new set, or kDecideElsewhere where it does not
    // apply.
    static constexpr std::size_t kDecideElsewhere = ~std::size_t{0};
    __attribute__((always_inline)) static std::size_t listed_slot(const Table& t,
                                                                  const Point* points, double x,
                                                                  double y, bool& is_new,
                                                                  std::uint16_t& tag_out) {
        // A coordinate within 1e-6 of v lies within 3.2e-4 cells of v's
        // cell coordinate, so away from a cell's edges (and from the clamp
        // and the sign change of the far cells) one cell holds every near
        // point: the usual case, checked here. The cell coordinate is taken
        // in 1/1024ths of a cell (times a power of two: exactly put's times
        // 1024), so its whole part is put's cell and its fraction tells the
        // distance to the edges.
        const double tx = (x + kCellOffset) * (kCellScale * 1024.0);
        const double ty = (y + kCellOffset) * (kCellScale * 1024.0);
        if (!(tx < 0x1p47 && ty < 0x1p47)) return kDecideElsewhere;
        const auto ux = static_cast<std::uint64_t>(static_cast<std::int64_t>(tx));
        const auto uy = static_cast<std::uint64_t>(static_cast<std::int64_t>(ty));
        // At least 1/1024 cell from both edges: three times the reach.
        const bool away = ((ux & 1023u) - 1u < 1022u) & ((uy & 1023u) - 1u < 1022u);
        if (!away) return kDecideElsewhere;
        const auto cx = static_cast<std::int64_t>(ux >> 10);
        const auto cy = static_cast<std::int64_t>(uy >> 10);
        const std::uint64_t h = hash_of(cx, cy);
        const std::uint16_t tag = tag_of_hash(h);
        for (std::size_t s = slot_of_hash(h);; s = (s + 1) & t.mask) {
            const std::uint16_t slot = t.slots[s];
            if (slot == 0) {
                is_new = true;
                tag_out = tag;
                return s;
            }
            // A near point lies in this cell, so shares its tag.
            if ((slot & kTagMask) != tag) continue;
            const Point& p = points[(slot & kIndexMask) - 1];
            if (std::fabs(p.x - x) <= 1e-6 && std::fabs(p.y - y) <= 1e-6) {
                is_new = false;
                return s;
            }
        }
    }
    // A chain holds the positions of one or more cells; every member of
    // the cell looked up is checked with the exact test, so sharing a chain
    // only costs a compare. A slot (two bytes keep the table small) is 0
    // when empty, else holds the position's index + 1 and its cell's tag.
    // Filled slots are listed so that forgetting costs one
    // write per position; the grid went in first, so dropping extras never
    // cuts a grid chain.
    static std::uint64_t hash_of(std::int64_t cx, std::int64_t cy) {
        // The high bits of the products depend on every bit of the cells.
        return static_cast<std::uint64_t>(cx) * kColumnFactor +
               static_cast<std::uint64_t>(cy) * kRowFactor;
    }
    static std::size_t slot_of_hash(std::uint64_t h) {
        return static_cast<std::size_t>(h >> (64 - kSlotBits));
    }
    // The tag: a few bits of the cell's hash below those that pick the
    // slot, kept above the index + 1, so that a look-up passes over most
    // entries of other cells without reading their points.
    static constexpr int kIndexBits = 13;
    static constexpr std::uint16_t kIndexMask = (1u << kIndexBits) - 1;
    static constexpr std::uint16_t kTagMask = static_cast<std::uint16_t>(~kIndexMask);
    static std::uint16_t tag_of_hash(std::uint64_t h) {
        const std::uint64_t below = h >> (64 - kSlotBits - (16 - kIndexBits));
        return static_cast<std::uint16_t>(below << kIndexBits);
    }
    static std::size_t slot_of(std::int64_t cx, std::int64_t cy) {
        return slot_of_hash(hash_of(cx, cy));
    }
    static constexpr std::uint64_t kColumnFactor = 0x9E3779B97F4A7C15ull;
    static constexpr std::uint64_t kRowFactor = 0xC2B2AE3D27D4EB4Full;
    bool add_if_new_anywhere(double x, double y, std::uint32_t index);
    bool chain_has_near(std::size_t start, double x, double y) const;
    void put(double x, double y, std::uint32_t index);
    // Inlined by force, like the look-up: both sit in the offer loop.
    __attribute__((always_inline)) static void take(Writer& w, std::size_t slot,
                                                    std::uint32_t index, std::uint16_t tag) {
        w.slots[slot] = static_cast<std::uint16_t>((index + 1) | tag);
        w.filled[w.count++] = static_cast<std::uint16_t>(slot);
    }
    // Empties the slots filled after the first `keep`.
    void clear_from(std::size_t keep);

    // 2^16 slots for at most 5000 positions: mostly empty, so a look-up
    // usually ends at its first slot (with 2^14 slots a whole layout took
    // about a tenth longer). A slot's number still fits the two bytes of
    // the filled list.
    static constexpr int kSlotBits = 16;
    static_assert(kSlotBits <= 16, "filled_ holds slot numbers in two bytes");

    std::vector<std::uint16_t> slots_;
    std::size_t mask_ = 0;
    // The filled slots in filling order, the grid's first: as many as the
    // positions listed, far fewer than the slots.
    std::vector<std::uint16_t> filled_;  // the first filled_count_ in use
    std::size_t filled_count_ = 0;
    void grow_filled();
    std::size_t grid_count_ = 0;  // of them the grid's
    bool in_grid_ = true;
    const std::vector<Point>* points_ = nullptr;
};

// The seven keys that rank a position, compared ascending in this order.
struct RankKeys {
    double primary;  // blend of the union box's height and width, or its area
    double secondary;  // the other of the two
    double union_area;  // of the box around the sheet's placements and this one
    double union_height;
    double union_width;
    double y;  // moved outer box minimum
    double x;
};

// An inside position with its keys, not yet free-tested.
struct RankedPosition {
    RankKeys keys;
    double px;
    double py;
    std::uint32_t angle;  // index into the angles tried
    std::uint32_t index;  // offering order within the angle
};

// A position of the inner group (box inside the sheet box): its first five
// keys are the group's, so y and x rank it.
struct InnerPosition {
    double y;
    double x;
    double px;
    double py;
    std::uint32_t angle;
    std::uint32_t index;
};

// Buffers reused from try to try.
struct Workspace {
    PositionSet set;
    // The candidate positions are the first `listed`; the vector keeps room
    // for the longest list.
    std::vector<Point> positions;
    std::size_t listed = 0;
    std::size_t grid_size = 0;  // leading grid positions, in y then x order
    // The grid's columns (the x values taken) and where each row starts;
    // a row holds the first columns, all of them but for the last row.
    std::vector<double> grid_xs;
    std::vector<std::size_t> grid_row_starts;
    std::vector<ScaledProbes::Column> grid_columns;  // one angle's, per column
    std::vector<std::uint64_t> grid_column_parts;    // PositionSet::column_part per column
    std::vector<double> xs;
    std::vector<double> ys;
    std::vector<RankedPosition> ranked;
    std::vector<InnerPosition> inner;
    std::vector<InnerPosition> inner_extra;
    std::vector<InnerPosition> inner_sorted;
    std::vector<std::uint32_t> bucket_start;
    std::vector<std::pair<std::size_t, std::size_t>> inner_runs;
    std::vector<RankedPosition> accepted;
    std::vector<Point> probes;  // one angle's probes in coverage units
    // The place in offering order of each extra position listed (its index
    // less grid_size), for never_free: the angle's from extra_positions,
    // then kept per angle tried with the angle's bits (null: none kept).
    // Two bytes each: an angle with more offers than that keeps no bits.
    // Sized for the longest list; the extras listed count the entries.
    std::vector<std::uint16_t> extra_offers;
    std::size_t offers_made = 0;  // by the last extra_positions
    std::vector<std::vector<std::uint16_t>> angle_offers;
    std::vector<std::vector<std::uint64_t>*> angle_never_free;
    std::vector<std::uint32_t> unknown;  // extras of one angle not known never free
};

// The sorted, merged and thinned coordinate lists of a sheet.
void coordinate_lists(const SheetState& sheet, double spacing, std::vector<double>& xs,
                      std::vector<double>& ys);

// The grid positions (from coordinate_lists), in y then x order: they start
// ws.positions, and ws.grid_size and ws.listed count them.
void grid_positions(const std::vector<double>& xs, const std::vector<double>& ys, Workspace& ws);

// Cuts the list (ws.listed) back to the grid and offers the extra positions
// of one shape after it, in offering order, before the final sort; runs after
// grid_positions. Returns whether extra positions were made (and so whether
// the final sort applies).
bool extra_positions(const std::vector<Placement>& placed, const SheetState& sheet,
                     const RotatedShape& shape, double spacing, bool extra, Workspace& ws);

// Both: the candidate positions in offering order.
bool generate_positions(const std::vector<Placement>& placed, const SheetState& sheet,
                        const RotatedShape& shape, double spacing, bool extra_positions,
                        const std::vector<double>& xs, const std::vector<double>& ys,
                        Workspace& ws);

// The final order of candidate positions.
void sort_positions(std::vector<Point>& positions);

// candidate_positions of the shape on the prepared sheet, into out; uses ws.
void candidate_positions(const std::vector<Placement>& placed, const SheetState& sheet,
                         const RotatedShape& shape, double spacing, bool extra, Workspace& ws,
                         std::vector<Point>& out);

// The free test of shape (geometry geo) moved by (dx, dy), box its moved
// outer box, against every placement of the sheet.
bool position_free(const ShapeGeometry& geo, const Polygon& shape, double dx, double dy,
                   const BoundingBox& box, const std::vector<Placement>& placed,
                   const SheetState& sheet, double spacing);

// The placers on prepared sheets. angles: the angles to try, in order (the
// copy's angle list, less any that are known to yield no free position).
bool place_cpu(const Sheet& sheet, const NestingItem& item, const std::vector<double>& angles,
               const std::vector<Placement>& placed, const SheetState& state,
               std::int32_t sheet_index, const IterativeNestingOptions& options,
               RotationCache& cache, Workspace& ws, Placement& out);

bool place_random(const Sheet& sheet, const NestingItem& item,
                  const std::vector<Placement>& placed, const SheetState& state,
                  std::int32_t sheet_index, const IterativeNestingOptions& options,
                  RotationCache& cache, Placement& out);

}  // namespace plv::detail
