#pragma once

// The texts of a nesting run: the material costs, the summary a finished
// run leaves for the log, the solver names and the log lines of a run
// start, with the GPU preparation behind them.

#include "app/core/run_settings.hpp"
#include "engine/model.hpp"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace app {

// Costs in the currency of the price field; all 0 unless density and
// thickness are both above 0. mm2 x mm / 1e9 is cubic metres.
struct RunCosts {
    double net_parts = 0.0;     // sheets x sheet area x utilisation
    double occupied_area = 0.0;  // the box areas the search scores
    double whole_sheets = 0.0;
};
RunCosts run_costs(const plv::NestingResult& layout, double price_per_kg, double density_kg_m3,
                   double thickness_mm);

// "cpu", "gpu", "dual-gpu", "random"; "unknown" for any other value.
std::string solver_name(std::int32_t solver);

// The 18 lines of a finished run, each ending "\r\n". Numbers in the
// stream's default format up to the occupied area, fixed with 2 decimals
// from the first cost line on.
std::string run_summary_text(bool stopped, const RunSettings& settings, std::size_t part_count,
                             std::size_t drawn_count, const plv::IterativeNestingResult& result);

struct GpuDeviceInfo {
    std::string name;
    std::uint32_t compute_units = 0;
    std::uint64_t global_mem_bytes = 0;
};
// "GPU[0]: NAME (40 CUs, 8192 MB)\r\n"
std::string gpu_device_line(std::size_t index, const GpuDeviceInfo& device);

// The GPU accelerator as run start sees it.
class GpuProbe {
public:
    virtual ~GpuProbe() = default;
    virtual bool initialize() = 0;
    virtual std::vector<GpuDeviceInfo> devices() = 0;
};
// The process-wide accelerator.
GpuProbe& process_gpu();

using LogLine = std::function<void(const std::string&)>;

// The log lines of a run start after the log was cleared, with the GPU
// preparation for the gpu and dual-gpu solvers: without a device the run
// falls back to cpu, dual-gpu with fewer than two devices to gpu (both
// settings.solver and settings.options.solver).
void log_run_start(RunSettings& settings, GpuProbe& gpu, const LogLine& log);

}  // namespace app
