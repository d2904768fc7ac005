#pragma once

// Optional per-iteration log of a search, rewritten as a CSV file on demand.

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace plv {

struct PerfRecord {
    std::int32_t iteration = 0;
    double total_ms = 0.0;
    double placement_ms = 0.0;
    std::int32_t positions_evaluated = 0;
    std::int32_t collision_tests = 0;
    std::int32_t parts_placed = 0;
    std::int32_t solver = 0;  // a Solver value
    std::string gpu_name;
};

// Every member function holds the mutex for its whole run, so records may be
// added from one thread while another writes the file.
class PerfLog {
public:
    bool enabled = false;
    std::string path;
    std::vector<PerfRecord> records;
    mutable std::mutex mutex;

    // Stores the path, enables the log when the path is not empty and drops
    // every record collected so far.
    void configure(const std::string& new_path);
    void add_record(const PerfRecord& record);
    // Rewrites the whole file with every record since the last configure;
    // does nothing when disabled and reports nothing when the file cannot be
    // opened.
    void write_csv();

    bool is_enabled() const;
};

// "cpu", "gpu", "dual-gpu", "random", or "unknown" for any other value.
const char* solver_name(std::int32_t solver);

namespace detail {
// Name of the accelerator's first device, or empty without one.
std::string first_gpu_device_name();
}  // namespace detail

}  // namespace plv
