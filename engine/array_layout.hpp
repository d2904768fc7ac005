#pragma once

// Regular grids for parts wanted in large numbers (200 copies or more): each
// such part fills sheets of its own with rows of copies, every second row
// optionally shifted sideways.

#include "engine/model.hpp"

#include <cstdint>
#include <limits>
#include <vector>

namespace plv {

struct ArrayPattern {
    Polygon shape;  // rotated by angle and normalised
    double angle = 0.0;
    double pitch_x = 0.0;
    double pitch_y = 0.0;
    double stagger = 0.0;  // sideways shift of rows 1, 3, 5, ...
    std::int32_t cols_even = 0;
    std::int32_t cols_odd = 0;
    std::int32_t rows = 0;
    std::int32_t count = 0;  // copies per sheet
    double used_area = std::numeric_limits<double>::infinity();
};

inline constexpr std::int32_t kArrayMinQuantity = 200;

// True when B moved by (dx, dy) neither touches A nor comes closer than the
// spacing.
bool shifted_copy_is_clear(const Polygon& a, const Polygon& b, double dx, double dy,
                           double spacing);
// The next row at height dy, shifted by stagger, against the five copies
// around the origin copy.
bool staggered_row_is_clear(const Polygon& shape, double pitch_x, double stagger, double dy,
                            double spacing);

// Every pair of copies of a full sheet that can come within the spacing of
// each other is clear.
bool array_pattern_is_clear(const ArrayPattern& pattern, double spacing);

bool find_array_pattern(const Sheet& sheet, const Part& part,
                        const IterativeNestingOptions& options, ArrayPattern& pattern);
// Appends quantity placements on sheets first, first + 1, ...; returns the
// quantity.
std::int32_t emit_array_placements(NestingResult& result, const Part& part,
                                   const ArrayPattern& pattern, std::int32_t first_sheet);

// A job of exactly one part that fits an array; out is left alone otherwise.
bool try_single_part_array_layout(const Sheet& sheet, const std::vector<Part>& parts,
                                  const IterativeNestingOptions& options, NestingResult& out);
// Lays out every part that fits an array on sheets of its own, in input
// order; the other parts go to remaining. False when no part became an array.
bool place_high_quantity_arrays(const Sheet& sheet, const std::vector<Part>& parts,
                                const IterativeNestingOptions& options, NestingResult& out,
                                std::vector<Part>& remaining);
// The same with the array sheets as one list per sheet, sheet 0 first, the
// form in which the other parts are then placed beside them. sheets is
// emptied first; false (and nothing touched) for the solver random.
bool place_high_quantity_array_sheets(const Sheet& sheet, const std::vector<Part>& parts,
                                      const IterativeNestingOptions& options,
                                      std::vector<std::vector<Placement>>& sheets,
                                      std::vector<Part>& remaining);
// One list per sheet index (at least one list); the placements are moved out.
std::vector<std::vector<Placement>> split_placements_by_sheet(NestingResult& result);

// The sheet limit for the copies placed after array sheets, so that the
// array sheets never count against it: max(limit, max(1, limit) + sheets).
std::int32_t max_sheets_after_arrays(std::int32_t max_sheets, std::size_t array_sheets);

}  // namespace plv
