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

namespace detail {

// A reference to the CPU placer for this copy and sheet: a callable that
// gives exactly place_item_cpu's answer, e.g. from prepared sheet state.
class CpuPlacer {
public:
    template <class F>
    explicit CpuPlacer(F& f)
        : object_(&f), call_([](void* o, Placement& out) { return (*static_cast<F*>(o))(out); }) {}
    bool operator()(Placement& out) const { return call_(object_, out); }

private:
    void* object_;
    bool (*call_)(void*, Placement&);
};

class SheetState;
class RotationCache;
struct Workspace;

// The sheet tried as the sheet placement keeps it between tries: its state
// built from `placed`, the rotated shapes and the buffers.
struct PreparedSheet {
    const SheetState& state;
    RotationCache& cache;
    Workspace& ws;
};

// The route with its CPU placer and the prepared sheet given.
bool place_item_gpu_route(const Sheet& sheet, const NestingItem& item,
                          const std::vector<Placement>& placed, std::int32_t sheet_index,
                          const IterativeNestingOptions& options, Placement& out,
                          const CpuPlacer& cpu, const PreparedSheet& prepared);

}  // namespace detail

}  // namespace plv
