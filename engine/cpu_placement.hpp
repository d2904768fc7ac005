#pragma once

// The default placer: every allowed rotation at every candidate position,
// ranked by seven keys; the best, or one of the best top_k, wins.

#include "engine/model.hpp"

#include <cstddef>
#include <cstdint>

namespace plv {

// One accepted position. Keys are compared ascending in declaration order.
struct PositionCandidate {
    double primary = 0.0;
    double secondary = 0.0;
    double union_area = 0.0;
    double union_height = 0.0;
    double union_width = 0.0;
    double y = 0.0;  // moved outer box minimum
    double x = 0.0;
    Placement placement;
};

// The seven-key order: lexicographic, exact; a NaN key decides nothing in
// either direction, so this is no strict weak order and must only be used
// with plv::merge_sort or pairwise.
bool ranks_before(const PositionCandidate& a, const PositionCandidate& b);

// Sets primary and secondary from the union box measures for the options'
// optimisation type and opt_ratio, and stores the remaining five keys.
void set_ranking_keys(PositionCandidate& candidate, double union_area, double union_height,
                      double union_width, double y, double x,
                      const IterativeNestingOptions& options);

// Index of the pick among n ranked candidates (n >= 1): 0 unless top_k > 1,
// else (max(position_seed, 0) + 11 sheet_index + 37 placed_count) mod
// min(top_k, n), in 64 bits and always in 0 .. m - 1.
std::size_t pick_index(std::int32_t top_k, std::size_t n, std::int32_t position_seed,
                       std::int32_t sheet_index, std::size_t placed_count);

// Writes out only when it returns true.
bool place_item_cpu(const Sheet& sheet, const NestingItem& item,
                    const std::vector<Placement>& placed, std::int32_t sheet_index,
                    const IterativeNestingOptions& options, Placement& out);

}  // namespace plv
