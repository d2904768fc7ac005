#pragma once

// The machine's real OpenCL runtime for tests: a fixture that adopts its
// first device (PoCL's CPU device in CI) into the accelerator, and the
// platforms with their first devices.

#include "gpu/gpu_accelerator.hpp"
#include "gpu/gpu_testing.hpp"
#include "kernel_cases.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pocl {

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
        ASSERT_TRUE(plv::gpu_testing::adopt_first_device())
            << "no OpenCL device to adopt, or its kernel build failed";
        ASSERT_EQ(plv::GpuAccelerator::instance().device_count(), 1u);
    }
    void TearDown() override { plv::GpuAccelerator::instance().release(); }
};

}  // namespace pocl
