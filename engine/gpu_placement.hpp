#pragma once

// The GPU-assisted placer: every rotation and candidate position of a copy
// goes to one graphics device in one evaluation; each position the device
// accepts is checked again with the exact free test, and the best survivor
// by the seven ranking keys wins. Whenever the device path yields nothing,
// the copy is placed by the CPU placer.

#include "engine/model.hpp"

#include <cstdint>
#include <vector>

namespace plv {

// device: index into the accelerator's device list. top_k plays no part: the
// best answer always wins, the first in position order among equals. Writes
// out only when it returns true.
bool place_item_gpu(const Sheet& sheet, const NestingItem& item,
                    const std::vector<Placement>& placed, std::int32_t sheet_index,
                    const IterativeNestingOptions& options, Placement& out, std::int32_t device);

namespace detail {
class CpuPlacer;
struct PreparedSheet;

// The same with the CPU placer and the prepared sheet given (see
// gpu_route.hpp).
bool place_item_gpu(const Sheet& sheet, const NestingItem& item,
                    const std::vector<Placement>& placed, std::int32_t sheet_index,
                    const IterativeNestingOptions& options, Placement& out, std::int32_t device,
                    const CpuPlacer& cpu, const PreparedSheet& prepared);
}  // namespace detail

}  // namespace plv
