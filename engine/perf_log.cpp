#include "engine/perf_log.hpp"

#include "gpu/gpu_accelerator.hpp"

#include <filesystem>
#include <fstream>
#include <iomanip>
#include <locale>

namespace plv {

const char* solver_name(std::int32_t solver) {
    switch (solver) {
        case 0: return "cpu";
        case 1: return "gpu";
        case 2: return "dual-gpu";
        case 3: return "random";
        default: return "unknown";
    }
}

namespace detail {

std::string first_gpu_device_name() {
    // Empty when the accelerator was never set up or found no device.
    return GpuAccelerator::instance().device_name(0);
}

}  // namespace detail

void PerfLog::configure(const std::string& new_path) {
    std::lock_guard<std::mutex> lock(mutex);
    path = new_path;
    enabled = !path.empty();
    records.clear();
}

void PerfLog::add_record(const PerfRecord& record) {
    std::lock_guard<std::mutex> lock(mutex);
    records.push_back(record);
}

bool PerfLog::is_enabled() const {
    std::lock_guard<std::mutex> lock(mutex);
    return enabled;
}

void PerfLog::write_csv() {
    std::lock_guard<std::mutex> lock(mutex);
    if (!enabled || path.empty()) return;
    // The path is UTF-8; a narrow path would be taken in the ANSI code page
    // on Windows.
    const std::filesystem::path file(std::u8string(path.begin(), path.end()));
    std::ofstream out(file, std::ios::out | std::ios::trunc);
    if (!out.is_open()) return;
    out.imbue(std::locale::classic());
    out << "iteration,solver,gpu_name,total_ms,placement_ms,positions_evaluated,"
           "collision_tests,parts_placed\n";
    out << std::fixed << std::setprecision(2);
    for (const PerfRecord& r : records) {
        out << r.iteration << ',' << solver_name(r.solver) << ',' << r.gpu_name << ','
            << r.total_ms << ',' << r.placement_ms << ',' << r.positions_evaluated << ','
            << r.collision_tests << ',' << r.parts_placed << '\n';
    }
    out.flush();
}

}  // namespace plv
