#pragma once

// An in-process stand-in for the OpenCL loader library: platforms and devices
// from a table, failures on request, and a record of every call, handle and
// launch. Handed to the accelerator through its library hooks.

#include "gpu/gpu_accelerator.hpp"
#include "gpu/gpu_testing.hpp"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace fake_cl {

struct Device {
    std::string name;
    std::string vendor;
    std::uint64_t global_mem_bytes = 0;
    std::uint32_t compute_units = 0;
    bool fail_context = false;
    bool fail_queue = false;
    bool fail_build = false;
    std::string build_log = {};
};

struct Platform {
    std::string name;
    std::vector<Device> devices;
    bool gpu_query_fails = false;
};

struct Launch {
    std::size_t global = 0;
    std::size_t local = 0;  // 0: none given
};

struct State {
    bool library_present = true;
    std::set<std::string> missing;  // entry points the library lacks
    std::vector<Platform> platforms;

    bool fail_program_create = false;
    bool fail_kernel_create = false;
    std::size_t work_group_size = 256;
    int failing_launches = 0;  // this many launches fail before one succeeds
    int fail_buffer_call = -1;  // index of the clCreateBuffer call that fails
    std::vector<float> read_back;  // what a read copies out (as far as it goes)
    std::function<void()> on_finish;  // runs inside clFinish

    // Record.
    int opens = 0;
    int closes = 0;
    std::map<std::string, int> calls;
    int total_calls = 0;
    std::map<void*, std::string> live;  // created handles not yet released, by kind
    std::map<void*, std::size_t> buffer_sizes;
    std::map<void*, std::vector<unsigned char>> buffer_data;  // copied host data
    std::string last_buffer_device;  // device of the context of the last buffer
    int buffer_calls = 0;
    std::vector<Launch> launches;
    std::map<unsigned, std::vector<unsigned char>> kernel_args;
    int reads = 0;
    int most_mems_live_at_context_release = 0;
    std::size_t last_program_length = 0;
    std::string last_program_text;
    std::string last_build_options;
};

State& state();
// Clears the table and the record.
void reset();
const plv::gpu_testing::LibraryHooks& hooks();

// Live handles of one kind ("context", "queue", "program", "kernel", "mem").
int live_count(const std::string& kind);

// The names of all 21 entry points, in table order, and whether the load
// needs them.
struct EntryPoint {
    const char* name;
    bool required;
};
const std::vector<EntryPoint>& entry_points();

// Tests against the fake: each starts with the accelerator released, the
// fake cleared and handed to the accelerator, and ends back on the real
// loader library.
class FakeLibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        restart();
        plv::gpu_testing::set_library_hooks(&hooks());
    }
    void TearDown() override {
        plv::GpuAccelerator::instance().release();
        plv::gpu_testing::set_library_hooks(nullptr);
    }

    // A fresh start for the next case of a table: nothing loaded, the fake
    // cleared.
    static void restart() {
        plv::GpuAccelerator::instance().release();
        reset();
    }
};

}  // namespace fake_cl
