#pragma once

// The engine's entry point for a nesting run: job checks, the array
// shortcuts for high quantities, then the iterative genetic search.

#include "engine/model.hpp"

#include <vector>

namespace plv {

// The options are held by reference for the whole search, never copied: the
// progress callback may rewrite the caller's options object between
// iterations (spacing, rotations, optimisation, percentages, ...), and the
// next iteration's candidates see the new values; they are checked again
// after every callback. The thread count and the number of candidates per
// iteration are read once, at the start; the iteration count after every
// iteration.
// Throws std::runtime_error for a job that fails its checks, and passes on
// exceptions from candidate tasks and from the callback.
IterativeNestingResult nest_parts_iterative(const Sheet& sheet, const std::vector<Part>& parts,
                                            const IterativeNestingOptions& options,
                                            const ProgressCallback& progress = {});

}  // namespace plv
