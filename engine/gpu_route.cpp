#include "engine/gpu_route.hpp"

#include "engine/cpu_placement.hpp"

namespace plv {

// Without a device every try is placed exactly as the CPU placer would.
bool place_item_gpu_route(const Sheet& sheet, const NestingItem& item,
                          const std::vector<Placement>& placed, std::int32_t sheet_index,
                          const IterativeNestingOptions& options, Placement& out) {
    return place_item_cpu(sheet, item, placed, sheet_index, options, out);
}

}  // namespace plv
