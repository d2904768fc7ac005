#pragma once

// Greedy first-fit placement of an ordered list of copies on sheets, with
// the optional compaction afterwards.

#include "engine/model.hpp"

#include <vector>

namespace plv {

// prefilled: sheets that already hold placements, one list per sheet (the
// array layouts' sheets), or empty. Every placer tests against sheet, which
// also becomes the result's sheet.
NestingResult place_items_on_sheets(const Sheet& sheet, const std::vector<NestingItem>& items,
                                    const IterativeNestingOptions& options,
                                    std::vector<std::vector<Placement>> prefilled);

}  // namespace plv
