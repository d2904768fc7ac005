#pragma once

// The placer of the solver random: random poses until one is free, within a
// budget; the stream is seeded from the copy and its situation alone.

#include "engine/model.hpp"
#include "engine/random_placement_seed.hpp"

#include <cstddef>
#include <cstdint>

namespace plv {

// min(12000, max(1000, 1000 + 180 placed_count + 120 max(1, top_k))).
std::int32_t random_attempt_budget(std::size_t placed_count, std::int32_t top_k);

// Writes out only when it returns true.
bool place_item_random(const Sheet& sheet, const NestingItem& item,
                       const std::vector<Placement>& placed, std::int32_t sheet_index,
                       const IterativeNestingOptions& options, Placement& out);

}  // namespace plv
