// Discovery, messages, failure rules and the evaluation's host side, against
// the in-process fake OpenCL library.

#include "fake_opencl.hpp"
#include "gpu/gpu_accelerator.hpp"
#include "gpu/kernel_source.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <future>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using plv::GpuAccelerator;
using plv::GpuPositionResult;

class FakeOpenClTest : public fake_cl::FakeLibraryTest {
protected:
    static fake_cl::State& fake() { return fake_cl::state(); }
    static GpuAccelerator& gpu() { return GpuAccelerator::instance(); }

    // Runs initialize and returns what it wrote to the standard error stream.
    static std::string initialize_output(bool& result) {
        ::testing::internal::CaptureStderr();
        result = gpu().initialize();
        return ::testing::internal::GetCapturedStderr();
    }

    static void one_gpu() {
        fake().platforms = {{"NVIDIA CUDA", {{"GeForce RTX 3070", "NVIDIA Corporation"}}}};
    }
};

TEST_F(FakeOpenClTest, MissingLibraryDisablesOnceForTheProcess) {
    fake().library_present = false;
    bool ok = true;
    EXPECT_EQ(initialize_output(ok), "[GPU] OpenCL.dll not found. GPU acceleration disabled.\n");
    EXPECT_FALSE(ok);
    EXPECT_EQ(initialize_output(ok), "");
    EXPECT_FALSE(ok);
    EXPECT_EQ(fake().opens, 1);
}

TEST_F(FakeOpenClTest, EveryRequiredEntryPointIsNeededAndNoOptionalOne) {
    for (const fake_cl::EntryPoint& entry : fake_cl::entry_points()) {
        SCOPED_TRACE(entry.name);
        restart();
        one_gpu();
        fake().missing = {entry.name};
        bool ok = false;
        const std::string out = initialize_output(ok);
        if (entry.required) {
            EXPECT_EQ(out, "[GPU] OpenCL.dll not found. GPU acceleration disabled.\n");
            EXPECT_FALSE(ok);
            EXPECT_EQ(fake().total_calls, 0);
            // The library stays loaded until the release.
            EXPECT_EQ(fake().closes, 0);
            gpu().release();
            EXPECT_EQ(fake().closes, 1);
        } else {
            EXPECT_TRUE(ok) << out;
            EXPECT_EQ(gpu().device_count(), 1u);
        }
    }
}

TEST_F(FakeOpenClTest, NoPlatform) {
    bool ok = true;
    EXPECT_EQ(initialize_output(ok), "[GPU] No OpenCL platforms found.\n");
    EXPECT_FALSE(ok);
}

struct FilterCase {
    const char* name;
    const char* vendor;
    bool taken;
};

TEST_F(FakeOpenClTest, IntelDevicesAreSkippedByNameOrVendor) {
    const std::vector<FilterCase> cases{
        {"GeForce RTX 3070", "NVIDIA Corporation", true},
        {"Intel(R) UHD Graphics 630", "Intel(R) Corporation", false},
        {"Radeon RX 6800", "Intel Inc", false},
        {"Arc A770", "Intel(R) Corporation", false},
        {"Intel Graphics", "Advanced Micro Devices", false},
        {"intel gpu", "intel", true},
        {"INTEL", "GenuineINTEL", true},
    };
    for (const FilterCase& c : cases) {
        SCOPED_TRACE(c.name);
        restart();
        fake().platforms = {{"P", {{c.name, c.vendor, 1u << 30, 8}}}};
        bool ok = false;
        const std::string out = initialize_output(ok);
        const std::string found = "[GPU] Found platform: P\n";
        if (c.taken) {
            EXPECT_EQ(out, found + "[GPU] Device: " + c.name +
                               " | CUs: 8 | VRAM: 1024 MB\n[GPU] Ready. 1 GPU(s) available.\n");
            EXPECT_TRUE(ok);
        } else {
            EXPECT_EQ(out, found + "[GPU] Skipping Intel device: " + c.name +
                               "\n[GPU] No GPU devices found.\n");
            EXPECT_FALSE(ok);
            // Unavailable for the rest of the process, silently.
            EXPECT_EQ(initialize_output(ok), "");
            EXPECT_FALSE(ok);
        }
    }
}

TEST_F(FakeOpenClTest, DevicesInPlatformOrderWithTheirRecords) {
    fake().platforms = {
        {"NVIDIA CUDA", {{"GeForce RTX 3070", "NVIDIA Corporation", 8589934592ull, 46}}},
        {"Broken", {{"never listed", "x"}}, true},
        {"AMD Accelerated Parallel Processing",
         {{"Intel HD", "Intel"}, {"Radeon RX 6800", "Advanced Micro Devices, Inc.", 17179869184ull, 60}}},
    };
    bool ok = false;
    EXPECT_EQ(initialize_output(ok),
              "[GPU] Found platform: NVIDIA CUDA\n"
              "[GPU] Device: GeForce RTX 3070 | CUs: 46 | VRAM: 8192 MB\n"
              "[GPU] Found platform: Broken\n"
              "[GPU] Found platform: AMD Accelerated Parallel Processing\n"
              "[GPU] Skipping Intel device: Intel HD\n"
              "[GPU] Device: Radeon RX 6800 | CUs: 60 | VRAM: 16384 MB\n"
              "[GPU] Ready. 2 GPU(s) available.\n");
    EXPECT_TRUE(ok);

    const std::vector<plv::GpuDevice> devices = gpu().devices();
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0].name, "GeForce RTX 3070");
    EXPECT_EQ(devices[0].vendor, "NVIDIA Corporation");
    EXPECT_EQ(devices[0].global_mem_bytes, 8589934592ull);
    EXPECT_EQ(devices[0].compute_units, 46u);
    EXPECT_EQ(devices[1].name, "Radeon RX 6800");
    EXPECT_EQ(gpu().device_name(1), "Radeon RX 6800");
    EXPECT_EQ(gpu().device_name(2), "");
    for (const plv::GpuDevice& d : devices) {
        EXPECT_NE(d.program, nullptr);
        EXPECT_NE(d.kernel, nullptr);
    }
    EXPECT_EQ(fake().last_build_options, "-cl-fast-relaxed-math");
    // The real length of the embedded text, which is handed over whole.
    EXPECT_EQ(fake().last_program_text, std::string(plv::evaluate_positions_kernel_source()));

    // Ready: answered at once, without a word.
    EXPECT_EQ(initialize_output(ok), "");
    EXPECT_TRUE(ok);

    gpu().release();
    EXPECT_TRUE(fake().live.empty());
    EXPECT_EQ(fake().closes, 1);
    EXPECT_EQ(gpu().device_count(), 0u);
}

TEST_F(FakeOpenClTest, DeviceWithoutContextOrQueueIsSkippedSilently) {
    fake().platforms = {{"P",
                         {{"A", "NVIDIA", 0, 1},
                          {"B", "NVIDIA", 0, 2},
                          {"C", "NVIDIA", 0, 3}}}};
    fake().platforms[0].devices[0].fail_context = true;
    fake().platforms[0].devices[1].fail_queue = true;
    bool ok = false;
    EXPECT_EQ(initialize_output(ok),
              "[GPU] Found platform: P\n[GPU] Device: C | CUs: 3 | VRAM: 0 MB\n"
              "[GPU] Ready. 1 GPU(s) available.\n");
    EXPECT_TRUE(ok);
    // B's context went back when its queue could not be made.
    EXPECT_EQ(fake_cl::live_count("context"), 1);
    EXPECT_EQ(fake_cl::live_count("queue"), 1);
    EXPECT_EQ(gpu().device_name(0), "C");
}

TEST_F(FakeOpenClTest, BuildFailureReleasesEverythingAndTheNextStartTriesAgain) {
    enum class Failure { create_program, compile_second_device, create_kernel };
    for (const Failure failure :
         {Failure::create_program, Failure::compile_second_device, Failure::create_kernel}) {
        SCOPED_TRACE(static_cast<int>(failure));
        restart();
        fake().platforms = {{"P", {{"A", "NVIDIA", 1u << 20, 1}}},
                            {"Q", {{"B", "AMD", 1u << 21, 2}}}};
        fake().platforms[1].devices[0].build_log = "line 3: error: expected ';'";
        fake().platforms[1].devices[0].fail_build = failure == Failure::compile_second_device;
        fake().fail_program_create = failure == Failure::create_program;
        fake().fail_kernel_create = failure == Failure::create_kernel;

        bool ok = true;
        const std::string devices_lines =
            "[GPU] Found platform: P\n[GPU] Device: A | CUs: 1 | VRAM: 1 MB\n"
            "[GPU] Found platform: Q\n[GPU] Device: B | CUs: 2 | VRAM: 2 MB\n";
        const std::string build_lines =
            failure == Failure::compile_second_device
                ? "[GPU] Kernel build error on B:\nline 3: error: expected ';'\n"
                : "";
        EXPECT_EQ(initialize_output(ok),
                  devices_lines + build_lines + "[GPU] Failed to build OpenCL kernels.\n");
        EXPECT_FALSE(ok);
        // The first device's objects too, and the library.
        EXPECT_TRUE(fake().live.empty());
        EXPECT_EQ(fake().closes, 1);
        EXPECT_EQ(gpu().device_count(), 0u);

        fake().platforms[1].devices[0].fail_build = false;
        fake().fail_program_create = false;
        fake().fail_kernel_create = false;
        EXPECT_EQ(initialize_output(ok), devices_lines + "[GPU] Ready. 2 GPU(s) available.\n");
        EXPECT_TRUE(ok);
        EXPECT_EQ(fake().opens, 2);
    }
}

TEST_F(FakeOpenClTest, ReleaseTwiceOrWithoutInitializeIsHarmless) {
    gpu().release();
    gpu().release();
    EXPECT_EQ(fake().total_calls, 0);
    EXPECT_EQ(fake().closes, 0);

    one_gpu();
    ASSERT_TRUE(gpu().initialize());
    gpu().release();
    gpu().release();
    EXPECT_EQ(fake().closes, 1);
    EXPECT_TRUE(fake().live.empty());
    // Back at the start: the next start initialises again.
    EXPECT_TRUE(gpu().initialize());
    EXPECT_EQ(fake().opens, 2);
}

// Inputs for one 10 x 10 square candidate in one slot, with one placed
// square or none.
struct Job {
    std::vector<float> existing_segments{0, 0, 10, 0, 10, 0, 10, 10, 10, 10, 0, 10, 0, 10, 0, 0};
    std::vector<float> existing_bounds{0, 0, 10, 10};
    std::vector<std::int32_t> existing_offsets{0, 4};
    std::vector<float> candidate_segments{0, 0, 10, 0, 10, 0, 10, 10, 10, 10, 0, 10, 0, 10, 0, 0};
    std::vector<std::int32_t> candidate_offsets{0, 4};
    std::vector<float> candidate_bounds{10, 10, 0, 0};
    std::vector<float> positions;
    std::vector<std::int32_t> slots;
    std::vector<float> global_bounds{0, 0, 10, 10};
    std::int32_t slot_count = 1;
    bool has_existing = true;

    explicit Job(int n) {
        for (int i = 0; i < n; ++i) {
            positions.push_back(20.0f + static_cast<float>(i));
            positions.push_back(0.0f);
            slots.push_back(0);
        }
    }

    void without_existing() {
        existing_segments.clear();
        existing_bounds.clear();
        existing_offsets = {0};
        has_existing = false;
    }

    std::vector<GpuPositionResult> run(std::int32_t device = 0, std::int32_t n = -2) const {
        if (n == -2) n = static_cast<std::int32_t>(slots.size());
        const auto data = [](const auto& v) { return v.empty() ? nullptr : v.data(); };
        return GpuAccelerator::instance().evaluate_positions(
            device, data(existing_segments), static_cast<std::int32_t>(existing_segments.size() / 4),
            data(existing_bounds), existing_offsets.data(),
            static_cast<std::int32_t>(existing_bounds.size() / 4), data(candidate_segments),
            static_cast<std::int32_t>(candidate_segments.size() / 4), candidate_offsets.data(),
            data(candidate_bounds), slot_count, data(positions), data(slots), n, 1000.0f, 500.0f,
            0.0f, global_bounds.data(), has_existing);
    }
};

bool all_invalid(const std::vector<GpuPositionResult>& answers) {
    for (const GpuPositionResult& a : answers) {
        if (a.valid) return false;
    }
    return true;
}

TEST_F(FakeOpenClTest, EvaluationsThatNeverReachTheDevice) {
    one_gpu();
    ASSERT_TRUE(gpu().initialize());
    const int calls = fake().total_calls;
    const Job job(3);
    struct Case {
        std::int32_t device;
        std::int32_t n;
    };
    for (const Case c : {Case{-1, 3}, Case{1, 3}, Case{0, 0}}) {
        const std::vector<GpuPositionResult> answers = job.run(c.device, c.n);
        EXPECT_EQ(answers.size(), static_cast<std::size_t>(c.n));
        EXPECT_TRUE(all_invalid(answers));
    }
    EXPECT_EQ(fake().total_calls, calls);
    EXPECT_THROW(job.run(0, -1), std::length_error);

    // After a release there is no device to reach.
    gpu().release();
    const int after_release = fake().total_calls;
    EXPECT_TRUE(all_invalid(job.run()));
    EXPECT_EQ(fake().total_calls, after_release);
}

TEST_F(FakeOpenClTest, FailedBufferReleasesTheOthersAndUnlocksTheDevice) {
    one_gpu();
    ASSERT_TRUE(gpu().initialize());
    const Job job(5);
    for (int failing = 0; failing < 10; ++failing) {
        SCOPED_TRACE(failing);
        fake().buffer_calls = 0;
        fake().fail_buffer_call = failing;
        fake().launches.clear();
        const std::vector<GpuPositionResult> answers = job.run();
        EXPECT_EQ(answers.size(), 5u);
        EXPECT_TRUE(all_invalid(answers));
        EXPECT_EQ(fake_cl::live_count("mem"), 0);
        EXPECT_TRUE(fake().launches.empty());
    }

    // No slot, or an absent candidate array: the buffer cannot be made.
    fake().fail_buffer_call = -1;
    Job no_slot(2);
    no_slot.slot_count = 0;
    EXPECT_TRUE(all_invalid(no_slot.run()));
    Job absent(2);
    absent.candidate_segments.clear();
    absent.candidate_offsets = {0, 4};
    const auto answers = GpuAccelerator::instance().evaluate_positions(
        0, nullptr, 0, nullptr, absent.existing_offsets.data(), 0, nullptr, 4,
        absent.candidate_offsets.data(), absent.candidate_bounds.data(), 1,
        absent.positions.data(), absent.slots.data(), 2, 1000, 500, 0, absent.global_bounds.data(),
        false);
    EXPECT_TRUE(all_invalid(answers));
    EXPECT_EQ(fake_cl::live_count("mem"), 0);
    EXPECT_TRUE(fake().launches.empty());

    // The device's mutex was let go every time: another thread gets through.
    fake().read_back = {1, 1, 1, 1, 1, 1};
    auto other = std::async(std::launch::async, [&] { return job.run(); });
    if (other.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
        ADD_FAILURE() << "device mutex left locked";
        std::_Exit(1);
    }
    EXPECT_TRUE(other.get()[0].valid);
}

// The main window may release the accelerator while a run still evaluates:
// the release waits for the evaluation, which ends with its buffers freed
// before any context goes, and later evaluations find no device.
TEST_F(FakeOpenClTest, ReleaseWaitsForAnEvaluationInProgress) {
    one_gpu();
    ASSERT_TRUE(gpu().initialize());
    fake().read_back = {1, 1, 1, 1, 1, 1};

    std::promise<void> inside;
    std::promise<void> go_on;
    std::shared_future<void> go_on_signal = go_on.get_future().share();
    fake().on_finish = [&] {
        inside.set_value();
        go_on_signal.wait();
    };
    const Job job(1);
    auto evaluation = std::async(std::launch::async, [&] { return job.run(); });
    inside.get_future().wait();

    std::atomic<bool> released{false};
    auto release = std::async(std::launch::async, [&] {
        gpu().release();
        released = true;
    });
    EXPECT_EQ(release.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
    EXPECT_FALSE(released);

    go_on.set_value();
    EXPECT_TRUE(evaluation.get()[0].valid);
    release.get();
    EXPECT_TRUE(released);
    EXPECT_EQ(fake().most_mems_live_at_context_release, 0);
    EXPECT_TRUE(fake().live.empty());
    fake().on_finish = nullptr;
    EXPECT_TRUE(all_invalid(job.run()));
}

struct LaunchCase {
    int n;
    std::size_t work_group_size;  // what the driver reports
    bool query_missing;
    int failing_launches;
    std::vector<fake_cl::Launch> expected;
    bool answered;
};

TEST_F(FakeOpenClTest, LaunchSizesAndTheRetryWithoutWorkGroupSize) {
    const std::vector<LaunchCase> cases{
        {1, 256, false, 0, {{256, 256}}, true},
        {1000, 256, false, 0, {{1024, 256}}, true},
        {1000, 4096, false, 0, {{1024, 256}}, true},
        {100, 64, false, 0, {{128, 64}}, true},
        {256, 256, false, 0, {{256, 256}}, true},
        {1000, 7, true, 0, {{1024, 256}}, true},
        {300, 0, false, 0, {{300, 0}}, true},
        {1000, 256, false, 1, {{1024, 256}, {1024, 0}}, true},
        {1000, 256, false, 2, {{1024, 256}, {1024, 0}}, false},
    };
    for (const LaunchCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "n " << c.n << " wg " << c.work_group_size << " fails "
                                        << c.failing_launches);
        restart();
        one_gpu();
        if (c.query_missing) fake().missing = {"clGetKernelWorkGroupInfo"};
        ASSERT_TRUE(gpu().initialize());
        fake().work_group_size = c.work_group_size;
        fake().failing_launches = c.failing_launches;
        fake().read_back.assign(static_cast<std::size_t>(6 * c.n), 1.0f);

        const std::vector<GpuPositionResult> answers = Job(c.n).run();
        ASSERT_EQ(fake().launches.size(), c.expected.size());
        for (std::size_t i = 0; i < c.expected.size(); ++i) {
            EXPECT_EQ(fake().launches[i].global, c.expected[i].global);
            EXPECT_EQ(fake().launches[i].local, c.expected[i].local);
        }
        EXPECT_EQ(fake().reads, c.answered ? 1 : 0);
        EXPECT_EQ(answers.size(), static_cast<std::size_t>(c.n));
        EXPECT_EQ(all_invalid(answers), !c.answered);
        EXPECT_EQ(fake_cl::live_count("mem"), 0);
    }
}

template <class T>
T arg_value(int index) {
    const std::vector<unsigned char>& bytes = fake_cl::state().kernel_args.at(index);
    EXPECT_EQ(bytes.size(), sizeof(T));
    T value{};
    std::memcpy(&value, bytes.data(), sizeof(T));
    return value;
}

std::size_t arg_buffer_size(int index) {
    const auto mem = arg_value<plv::ocl::cl_mem>(index);
    return fake_cl::state().buffer_sizes.at(mem);
}

TEST_F(FakeOpenClTest, KernelArgumentsAndBufferSizes) {
    one_gpu();
    ASSERT_TRUE(gpu().initialize());
    for (const bool with_existing : {true, false}) {
        SCOPED_TRACE(with_existing);
        fake().kernel_args.clear();
        Job job(7);
        // Two slots, the second one empty.
        job.candidate_offsets = {0, 4, 4};
        job.candidate_bounds = {10, 10, 0, 0, 0, 0, 0, 0};
        job.slot_count = 2;
        if (!with_existing) job.without_existing();
        job.run();

        ASSERT_EQ(fake().kernel_args.size(), 17u);
        EXPECT_EQ(arg_buffer_size(0), with_existing ? 64u : 4u);   // existing segments
        EXPECT_EQ(arg_buffer_size(1), with_existing ? 16u : 4u);   // existing bounds
        EXPECT_EQ(arg_buffer_size(2), with_existing ? 8u : 4u);    // existing offsets
        EXPECT_EQ(arg_value<std::int32_t>(3), with_existing ? 1 : 0);
        EXPECT_EQ(arg_buffer_size(4), 64u);                        // candidate segments
        EXPECT_EQ(arg_value<std::int32_t>(5), 4);
        EXPECT_EQ(arg_buffer_size(6), 12u);                        // candidate offsets
        EXPECT_EQ(arg_buffer_size(7), 32u);                        // candidate bounds
        EXPECT_EQ(arg_buffer_size(8), 56u);                        // positions
        EXPECT_EQ(arg_buffer_size(9), 28u);                        // position slots
        EXPECT_EQ(arg_value<float>(10), 1000.0f);
        EXPECT_EQ(arg_value<float>(11), 500.0f);
        EXPECT_EQ(arg_value<float>(12), 0.0f);
        EXPECT_EQ(arg_buffer_size(13), 16u);                       // global bounds
        EXPECT_EQ(arg_value<std::int32_t>(14), with_existing ? 1 : 0);
        EXPECT_EQ(arg_buffer_size(15), 168u);                      // results
        EXPECT_EQ(arg_value<std::int32_t>(16), 7);                 // position count
        EXPECT_EQ(fake_cl::live_count("mem"), 0);
    }
}

TEST_F(FakeOpenClTest, AnswersAreReadSixFloatsPerPosition) {
    one_gpu();
    ASSERT_TRUE(gpu().initialize());
    fake().read_back = {1, 2, 3, 4, 5, 6, 0.5f, 9, 9, 9, 9, 9, 0.75f, 12, 4, 3, 7.5f, 8.25f};
    const std::vector<GpuPositionResult> answers = Job(3).run();
    ASSERT_EQ(answers.size(), 3u);
    EXPECT_TRUE(answers[0].valid);
    EXPECT_EQ(answers[0].union_area, 2.0);
    EXPECT_EQ(answers[0].used_height, 3.0);
    EXPECT_EQ(answers[0].used_width, 4.0);
    EXPECT_EQ(answers[0].y, 5.0);
    EXPECT_EQ(answers[0].x, 6.0);
    EXPECT_FALSE(answers[1].valid);  // exactly 0.5 is not above it
    EXPECT_TRUE(answers[2].valid);
    EXPECT_EQ(answers[2].y, 7.5);
    EXPECT_EQ(answers[2].x, 8.25);
}

}  // namespace
