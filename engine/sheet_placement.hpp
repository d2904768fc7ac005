#pragma once

// Greedy first-fit placement of an ordered list of copies on sheets, with
// the optional compaction afterwards.

#include "engine/model.hpp"

#include <cstddef>
#include <vector>

namespace plv {

// prefilled: sheets that already hold placements, one list per sheet (the
// array layouts' sheets), or empty. Every placer tests against sheet, which
// also becomes the result's sheet.
NestingResult place_items_on_sheets(const Sheet& sheet, const std::vector<NestingItem>& items,
                                    const IterativeNestingOptions& options,
                                    std::vector<std::vector<Placement>> prefilled);

namespace detail {

// The same, with the number of placed shapes whose free-test geometry stays
// built between tries on other sheets (the sheet in work keeps its own).
NestingResult place_items_on_sheets(const Sheet& sheet, const std::vector<NestingItem>& items,
                                    const IterativeNestingOptions& options,
                                    std::vector<std::vector<Placement>> prefilled,
                                    std::size_t shape_budget);

}  // namespace detail

// Appends the placements of every list to out, sheet 0's first, releasing
// each list's storage once it is moved, so that a large layout is not held
// twice on the way.
void move_sheets_into(std::vector<std::vector<Placement>>& sheets, std::vector<Placement>& out);

}  // namespace plv
