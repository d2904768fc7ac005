#pragma once

// Evaluation of candidate positions on graphics processors through OpenCL.
// One process-wide accelerator loads the OpenCL loader library on request,
// takes every usable graphics device (Intel devices are skipped), builds the
// embedded kernel on each and evaluates batches of positions on one device.
// Events go to the standard error stream as "[GPU] " lines; callers see only
// the result of initialize and answers marked invalid.

#include "gpu/opencl_api.hpp"

#include <cstdint>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <vector>

namespace plv {

struct GpuDevice {
    std::string name;
    std::string vendor;
    std::uint64_t global_mem_bytes = 0;
    std::uint32_t compute_units = 0;
    ocl::cl_device_id device = nullptr;
    ocl::cl_context context = nullptr;
    ocl::cl_command_queue queue = nullptr;
    ocl::cl_program program = nullptr;
    ocl::cl_kernel kernel = nullptr;
};

// The answer for one candidate position; when valid is false the other
// fields mean nothing.
struct GpuPositionResult {
    bool valid = false;
    double union_area = 0.0;
    double used_height = 0.0;
    double used_width = 0.0;
    double y = 0.0;
    double x = 0.0;
};

namespace gpu_testing {
struct Access;
}

class GpuAccelerator {
public:
    // The one object, created on first use. It is never destroyed: detached
    // run threads may still reach it while the process exits.
    static GpuAccelerator& instance();

    GpuAccelerator(const GpuAccelerator&) = delete;
    GpuAccelerator& operator=(const GpuAccelerator&) = delete;

    // True when at least one device is ready. Does its work once; only a
    // failed kernel build lets the next call try again.
    bool initialize();

    // Frees every OpenCL object and the library and returns to the start
    // state. Waits for evaluations in progress; later ones find no device.
    void release();

    // Copies of the device records, in device index order.
    std::vector<GpuDevice> devices() const;
    std::size_t device_count() const;
    // Empty when there is no device of that index.
    std::string device_name(std::size_t index) const;

    // One answer per position, in position order. Arrays are read-only;
    // segments are (ax, ay, bx, by), existing bounds (min_x, min_y, max_x,
    // max_y), candidate bounds (width, height, min_x, min_y) per slot, and
    // positions (x, y). Every failure gives answers that are all invalid; a
    // negative position count throws std::length_error.
    std::vector<GpuPositionResult> evaluate_positions(
        std::int32_t device_index, const float* existing_segments,
        std::int32_t existing_segment_count, const float* existing_bounds,
        const std::int32_t* existing_seg_offsets, std::int32_t existing_part_count,
        const float* candidate_segments, std::int32_t candidate_segment_count,
        const std::int32_t* candidate_seg_offsets, const float* candidate_bounds,
        std::int32_t slot_count, const float* positions, const std::int32_t* position_slots,
        std::int32_t position_count, float sheet_width, float sheet_height, float spacing,
        const float* global_bounds, bool has_existing) const;

private:
    friend struct gpu_testing::Access;

    GpuAccelerator() = default;

    bool load_opencl();
    // Context and queue for one device, the "Device:" line, and the record.
    void add_device(ocl::cl_platform_id platform, ocl::cl_device_id id, std::string name,
                    std::string vendor);
    // Builds the program and kernel of every device from the given index on.
    bool build_kernels(std::size_t first = 0);
    void release_locked();

    // Held shared by every evaluation and every reader, exclusively by
    // initialize and release, so the list never changes under an evaluation.
    mutable std::shared_mutex devices_mutex_;
    std::vector<GpuDevice> devices_;
    std::vector<std::unique_ptr<std::mutex>> device_mutexes_;
    void* opencl_module_ = nullptr;
    bool initialized_ = false;
};

}  // namespace plv
