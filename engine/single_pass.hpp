#pragma once

// One-pass nesting: the job checks and array shortcuts of the search, then a
// single greedy placement of all copies in one fixed order.

#include "engine/model.hpp"

#include <vector>

namespace plv {

// Largest net area first, or for the random solver a shuffle seeded from the
// position seed and the number of copies. The caller's compact flag is kept
// unless array sheets were laid out first.
NestingResult nest_parts(const Sheet& sheet, const std::vector<Part>& parts,
                         const IterativeNestingOptions& options);

}  // namespace plv
