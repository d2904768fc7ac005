#pragma once

// The machine's real OpenCL runtime for tests: a fixture that adopts its
// first device (PoCL's CPU device in CI) into the accelerator, and a builder
// of evaluation inputs from integer outlines.

#include "gpu/gpu_accelerator.hpp"
#include "gpu/gpu_testing.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace pocl {

using Outline = std::vector<std::array<float, 2>>;  // open ring

// Platforms of the loaded library, with the first device of any type on each
// (null when it has none).
struct PlatformDevice {
    plv::ocl::cl_platform_id platform = nullptr;
    plv::ocl::cl_device_id device = nullptr;
    std::string name;
};

inline std::string platform_name(plv::ocl::cl_platform_id platform) {
    const plv::OpenClApi& cl = plv::opencl_api();
    std::size_t size = 0;
    cl.clGetPlatformInfo(platform, plv::ocl::platform_name, 0, nullptr, &size);
    std::string name(size, '\0');
    if (size > 0) cl.clGetPlatformInfo(platform, plv::ocl::platform_name, size, name.data(), nullptr);
    while (!name.empty() && name.back() == '\0') name.pop_back();
    return name;
}

inline std::vector<PlatformDevice> platforms() {
    const plv::OpenClApi& cl = plv::opencl_api();
    plv::ocl::cl_uint count = 0;
    cl.clGetPlatformIDs(0, nullptr, &count);
    std::vector<plv::ocl::cl_platform_id> ids(count, nullptr);
    if (count > 0) cl.clGetPlatformIDs(count, ids.data(), nullptr);
    std::vector<PlatformDevice> out;
    for (const auto id : ids) {
        PlatformDevice pd{id, nullptr, platform_name(id)};
        plv::ocl::cl_uint n = 0;
        if (cl.clGetDeviceIDs(id, plv::ocl::device_type_all, 1, &pd.device, &n) != plv::ocl::success) {
            pd.device = nullptr;
        }
        out.push_back(pd);
    }
    return out;
}

// Adopts the first device of the machine's OpenCL runtime. Fails (never
// skips) without one: the kernel tests must run.
class AdoptedDevice : public ::testing::Test {
protected:
    void SetUp() override {
        plv::GpuAccelerator::instance().release();
        plv::gpu_testing::set_library_hooks(nullptr);
        ASSERT_TRUE(plv::gpu_testing::load_library()) << "no OpenCL loader library";
        for (const PlatformDevice& pd : platforms()) {
            if (!pd.device) continue;
            ASSERT_TRUE(plv::gpu_testing::adopt_device(pd.platform, pd.device))
                << "kernel build failed on " << pd.name;
            ASSERT_EQ(plv::GpuAccelerator::instance().device_count(), 1u);
            return;
        }
        FAIL() << "no OpenCL device to adopt";
    }
    void TearDown() override { plv::GpuAccelerator::instance().release(); }
};

// The flat inputs of one evaluation, built outline by outline.
struct Inputs {
    std::vector<float> existing_segments;
    std::vector<float> existing_bounds;
    std::vector<std::int32_t> existing_offsets{0};
    std::vector<float> candidate_segments;
    std::vector<std::int32_t> candidate_offsets{0};
    std::vector<float> candidate_bounds;
    std::vector<float> positions;
    std::vector<std::int32_t> slots;
    std::array<float, 4> global_bounds{std::numeric_limits<float>::infinity(),
                                       std::numeric_limits<float>::infinity(),
                                       -std::numeric_limits<float>::infinity(),
                                       -std::numeric_limits<float>::infinity()};

    static void add_segments(const Outline& ring, std::vector<float>& out) {
        for (std::size_t i = 0; i < ring.size(); ++i) {
            const auto& a = ring[i];
            const auto& b = ring[(i + 1) % ring.size()];
            out.insert(out.end(), {a[0], a[1], b[0], b[1]});
        }
    }

    static std::array<float, 4> box(const Outline& ring) {
        std::array<float, 4> b = {ring[0][0], ring[0][1], ring[0][0], ring[0][1]};
        for (const auto& p : ring) {
            b[0] = std::min(b[0], p[0]);
            b[1] = std::min(b[1], p[1]);
            b[2] = std::max(b[2], p[0]);
            b[3] = std::max(b[3], p[1]);
        }
        return b;
    }

    void place(const Outline& ring) {
        add_segments(ring, existing_segments);
        existing_offsets.push_back(static_cast<std::int32_t>(existing_segments.size() / 4));
        const auto b = box(ring);
        existing_bounds.insert(existing_bounds.end(), b.begin(), b.end());
        global_bounds = {std::min(global_bounds[0], b[0]), std::min(global_bounds[1], b[1]),
                         std::max(global_bounds[2], b[2]), std::max(global_bounds[3], b[3])};
    }

    // A rotation slot: an outline whose box starts at the origin, or none.
    void add_slot(const Outline& ring) {
        add_segments(ring, candidate_segments);
        candidate_offsets.push_back(static_cast<std::int32_t>(candidate_segments.size() / 4));
        if (ring.empty()) {
            candidate_bounds.insert(candidate_bounds.end(), {0, 0, 0, 0});
        } else {
            const auto b = box(ring);
            candidate_bounds.insert(candidate_bounds.end(), {b[2] - b[0], b[3] - b[1], b[0], b[1]});
        }
    }

    void at(float x, float y, std::int32_t slot) {
        positions.insert(positions.end(), {x, y});
        slots.push_back(slot);
    }

    std::int32_t part_count() const { return static_cast<std::int32_t>(existing_bounds.size() / 4); }
    std::int32_t slot_count() const { return static_cast<std::int32_t>(candidate_bounds.size() / 4); }

    std::vector<plv::GpuPositionResult> evaluate(float sheet_width, float sheet_height,
                                                 float spacing, std::int32_t device = 0) const {
        const auto data = [](const auto& v) { return v.empty() ? nullptr : v.data(); };
        return plv::GpuAccelerator::instance().evaluate_positions(
            device, data(existing_segments),
            static_cast<std::int32_t>(existing_segments.size() / 4), data(existing_bounds),
            existing_offsets.data(), part_count(), data(candidate_segments),
            static_cast<std::int32_t>(candidate_segments.size() / 4), candidate_offsets.data(),
            data(candidate_bounds), slot_count(), data(positions), data(slots),
            static_cast<std::int32_t>(slots.size()), sheet_width, sheet_height, spacing,
            global_bounds.data(), part_count() > 0);
    }
};

inline Outline rect(float x, float y, float w, float h) {
    return {{x, y}, {x + w, y}, {x + w, y + h}, {x, y + h}};
}

}  // namespace pocl
