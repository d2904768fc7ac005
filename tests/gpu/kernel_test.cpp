// The embedded kernel and the evaluation on the machine's real OpenCL runtime
// (PoCL's CPU device in CI, adopted past the discovery filter). Coordinates
// are small integers, so single precision and relaxed math are exact.

#include "gpu/kernel_source.hpp"
#include "pocl_support.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using plv::GpuAccelerator;
using plv::GpuPositionResult;
using pocl::Inputs;
using pocl::Outline;
using pocl::rect;
using pocl::Reference;

using KernelTest = pocl::AdoptedDevice;

TEST_F(KernelTest, CaseTable) {
    for (const pocl::KernelCase& c : pocl::kernel_cases()) {
        SCOPED_TRACE(c.what);
        const Inputs in = c.inputs();
        const std::vector<GpuPositionResult> answers =
            in.evaluate(pocl::kCaseSheetWidth, pocl::kCaseSheetHeight, c.spacing);
        ASSERT_EQ(answers.size(), c.positions.size());
        for (std::size_t i = 0; i < answers.size(); ++i) {
            const pocl::CasePosition& p = c.positions[i];
            SCOPED_TRACE(testing::Message() << "position " << i << " (" << p.x << ", " << p.y << ")");
            // The reference that the device check compares with gives the
            // table's answers too.
            const Reference::Answer reference =
                Reference::evaluate(in, i, pocl::kCaseSheetWidth, pocl::kCaseSheetHeight, c.spacing);
            EXPECT_EQ(reference.valid, p.valid);
            ASSERT_EQ(answers[i].valid, p.valid);
            if (!p.valid) continue;
            EXPECT_EQ(answers[i].used_width, p.used_width);
            EXPECT_EQ(answers[i].used_height, p.used_height);
            EXPECT_EQ(answers[i].union_area, double(p.used_width) * p.used_height);
            EXPECT_EQ(reference.union_area, double(p.used_width) * p.used_height);
            EXPECT_EQ(answers[i].x, p.x);
            EXPECT_EQ(answers[i].y, p.y);
        }
    }
}

// Many positions of two slots against three placed parts, n = 1 and n = 1000
// (a launch of 256 and of 1024 work-items): every answer as the reference.
TEST_F(KernelTest, AgreesWithTheReferenceForOneAndForAThousandPositions) {
    for (const int n : {1, 1000}) {
        SCOPED_TRACE(n);
        Inputs in;
        in.place(pocl::kL);
        in.place({{200, 40}, {320, 40}, {200, 160}});
        in.place(rect(380, 0, 60, 300));
        in.add_slot(rect(0, 0, 30, 20));
        in.add_slot({{0, 0}, {40, 0}, {0, 30}});
        for (int i = 0; i < n; ++i) {
            const int slot = i % 2;
            const float x = n == 1 ? 60 : static_cast<float>((i * 7) % 500);
            const float y = n == 1 ? 60 : static_cast<float>((i / 2 * 11) % 330);
            in.at(x, y, slot);
        }
        const std::vector<GpuPositionResult> answers = in.evaluate(520, 340, 0);
        ASSERT_EQ(answers.size(), static_cast<std::size_t>(n));
        int valid = 0;
        for (int i = 0; i < n; ++i) {
            SCOPED_TRACE(i);
            const bool expected = Reference::evaluate(in, static_cast<std::size_t>(i), 520, 340, 0).valid;
            ASSERT_EQ(answers[i].valid, expected);
            if (!expected) continue;
            ++valid;
            const int s = in.slots[i];
            const float x = in.positions[2 * i], y = in.positions[2 * i + 1];
            const float max_x = std::max(440.0f, x + in.candidate_bounds[4 * s]);
            const float max_y = std::max(300.0f, y + in.candidate_bounds[4 * s + 1]);
            EXPECT_EQ(answers[i].used_width, std::max(max_x, 0.0f) - std::min(x, 0.0f));
            EXPECT_EQ(answers[i].used_height, max_y);
            EXPECT_EQ(answers[i].x, x);
            EXPECT_EQ(answers[i].y, y);
        }
        if (n == 1) {
            EXPECT_EQ(valid, 1);
        } else {
            // Both outcomes well represented.
            EXPECT_GT(valid, 100);
            EXPECT_LT(valid, 900);
        }
    }
}

// Launched directly with a results buffer longer than the positions need:
// the work-items past the count leave the tail untouched.
TEST_F(KernelTest, WorkItemsPastTheCountWriteNothing) {
    const plv::OpenClApi& cl = plv::opencl_api();
    const plv::GpuDevice device = GpuAccelerator::instance().devices().at(0);
    for (const int n : {1, 257, 1000}) {
        SCOPED_TRACE(n);
        const std::size_t global = (static_cast<std::size_t>(n) + 255) / 256 * 256;
        Inputs in;
        in.add_slot(rect(0, 0, 10, 10));
        for (int i = 0; i < n; ++i) in.at(static_cast<float>(i % 50), 0, 0);
        const float sentinel = -7.0f;
        std::vector<float> results(6 * global, sentinel);
        const float zeros[4] = {0, 0, 0, 0};
        const std::int32_t zero_offsets[2] = {0, 0};

        const auto ro = plv::ocl::mem_read_only | plv::ocl::mem_copy_host_ptr;
        const auto buffer = [&](plv::ocl::cl_mem_flags flags, std::size_t size, const void* data) {
            plv::ocl::cl_int error = 0;
            const plv::ocl::cl_mem m =
                cl.clCreateBuffer(device.context, flags, size, const_cast<void*>(data), &error);
            EXPECT_NE(m, nullptr);
            return m;
        };
        std::vector<plv::ocl::cl_mem> mems{
            buffer(ro, 16, zeros),
            buffer(ro, 16, zeros),
            buffer(ro, 8, zero_offsets),
            buffer(ro, 16 * in.candidate_segments.size() / 4, in.candidate_segments.data()),
            buffer(ro, 8, in.candidate_offsets.data()),
            buffer(ro, 16, in.candidate_bounds.data()),
            buffer(ro, 8 * static_cast<std::size_t>(n), in.positions.data()),
            buffer(ro, 4 * static_cast<std::size_t>(n), in.slots.data()),
            buffer(ro, 16, zeros),
            buffer(plv::ocl::mem_write_only | plv::ocl::mem_copy_host_ptr, 4 * results.size(),
                   results.data()),
        };
        const std::int32_t parts = 0, candidate_count = 4, has_existing = 0, count = n;
        const float width = 1000, height = 500, spacing = 0;
        const std::vector<std::pair<int, const void*>> scalars{
            {3, &parts}, {5, &candidate_count}, {10, &width}, {11, &height},
            {12, &spacing}, {14, &has_existing}, {16, &count}};
        const int buffer_args[10] = {0, 1, 2, 4, 6, 7, 8, 9, 13, 15};
        for (int i = 0; i < 10; ++i) {
            ASSERT_EQ(cl.clSetKernelArg(device.kernel, buffer_args[i], sizeof(plv::ocl::cl_mem), &mems[i]),
                      plv::ocl::success);
        }
        for (const auto& [index, value] : scalars) {
            ASSERT_EQ(cl.clSetKernelArg(device.kernel, index, 4, value), plv::ocl::success);
        }
        const std::size_t local = 256;
        ASSERT_EQ(cl.clEnqueueNDRangeKernel(device.queue, device.kernel, 1, nullptr, &global, &local,
                                            0, nullptr, nullptr),
                  plv::ocl::success);
        ASSERT_EQ(cl.clEnqueueReadBuffer(device.queue, mems[9], plv::ocl::cl_true, 0,
                                         4 * results.size(), results.data(), 0, nullptr, nullptr),
                  plv::ocl::success);
        for (const plv::ocl::cl_mem m : mems) cl.clReleaseMemObject(m);

        for (int i = 0; i < n; ++i) ASSERT_EQ(results[6 * i], 1.0f) << i;
        for (std::size_t i = 6 * static_cast<std::size_t>(n); i < results.size(); ++i) {
            ASSERT_EQ(results[i], sentinel) << "slot " << i << " written";
        }
    }
}

// Discovery itself on this machine: PoCL offers no graphics device, so with
// PoCL alone nothing is taken.
TEST(RealDiscovery, TakesOnlyGraphicsDevices) {
    GpuAccelerator::instance().release();
    plv::gpu_testing::set_library_hooks(nullptr);
    ASSERT_TRUE(plv::gpu_testing::load_library()) << "no OpenCL loader library";
    bool pocl_only = true;
    std::string platform_lines;
    for (const pocl::PlatformDevice& pd : pocl::platforms()) {
        pocl_only = pocl_only && pd.name == "Portable Computing Language";
        platform_lines += "[GPU] Found platform: " + pd.name + "\n";
    }
    GpuAccelerator::instance().release();

    ::testing::internal::CaptureStderr();
    const bool ok = GpuAccelerator::instance().initialize();
    const std::string out = ::testing::internal::GetCapturedStderr();
    if (pocl_only) {
        EXPECT_EQ(out, platform_lines + "[GPU] No GPU devices found.\n");
        EXPECT_FALSE(ok);
    } else {
        EXPECT_EQ(out.rfind(platform_lines.substr(0, platform_lines.find('\n') + 1), 0), 0u) << out;
        EXPECT_EQ(ok, GpuAccelerator::instance().device_count() > 0) << out;
        std::printf("%s", out.c_str());
    }
    GpuAccelerator::instance().release();
}

}  // namespace
