#include "engine/gpu_route.hpp"

#include "engine/cpu_placement.hpp"
#include "engine/gpu_placement.hpp"
#include "engine/placement_context.hpp"
#include "engine/positions.hpp"
#include "gpu/gpu_accelerator.hpp"

namespace plv {

namespace {

// Below this many point pairs (the copy's outline against every stored point
// on the sheet) the device does not pay.
constexpr std::uint64_t kMinGpuWork = 2500;

}  // namespace

bool place_item_gpu_route(const Sheet& sheet, const NestingItem& item,
                          const std::vector<Placement>& placed, std::int32_t sheet_index,
                          const IterativeNestingOptions& options, Placement& out) {
    const detail::SheetState state(placed);
    detail::RotationCache cache;
    detail::Workspace ws;
    // place_item_cpu on the state built here, rather than on one of its own.
    auto cpu = [&](Placement& o) {
        return detail::place_cpu(sheet, item, item_angles(item, options), placed, state,
                                 sheet_index, options, cache, ws, o);
    };
    return detail::place_item_gpu_route(sheet, item, placed, sheet_index, options, out,
                                        detail::CpuPlacer(cpu), detail::PreparedSheet{state, cache, ws});
}

namespace detail {

bool place_item_gpu_route(const Sheet& sheet, const NestingItem& item,
                          const std::vector<Placement>& placed, std::int32_t sheet_index,
                          const IterativeNestingOptions& options, Placement& out,
                          const CpuPlacer& cpu, const PreparedSheet& prepared) {
    if (placed.empty()) return cpu(out);

    std::uint64_t sheet_points = 0;
    for (const Placement& p : placed) {
        sheet_points += p.shape.outer.size();
        for (const Ring& hole : p.shape.holes) sheet_points += hole.size();
    }
    const std::uint64_t work = static_cast<std::uint64_t>(item.part->shape.outer.size()) * sheet_points;
    if (work < kMinGpuWork) return cpu(out);

    std::int32_t device = 0;
    if (options.solver == Solver::dual_gpu) {
        const std::size_t count = GpuAccelerator::instance().device_count();
        // A signed remainder: a negative seed gives a negative index, which
        // place_item_gpu sends to the CPU placer.
        if (count >= 2) device = options.position_seed % static_cast<std::int32_t>(count);
    }
    return place_item_gpu(sheet, item, placed, sheet_index, options, out, device, cpu, prepared);
}

}  // namespace detail

}  // namespace plv
