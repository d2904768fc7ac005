#pragma once

// The placer of the solvers gpu and dual_gpu for every sheet tried: it
// chooses between the CPU placer and the GPU-assisted one, and for dual_gpu
// the device, from its own arguments.

#include "engine/model.hpp"

#include <cstdint>
#include <vector>

namespace plv {

// Writes out only when it returns true.
bool place_item_gpu_route(const Sheet& sheet, const NestingItem& item,
                          const std::vector<Placement>& placed, std::int32_t sheet_index,
                          const IterativeNestingOptions& options, Placement& out);

}  // namespace plv
