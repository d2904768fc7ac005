#pragma once

// Hooks for tests only: a stand-in for the loader library (so discovery,
// messages and failures can be driven by an in-process fake OpenCL), and a
// way to adopt a given device without the discovery filter (so the real
// kernel build and evaluation run on a CPU device such as PoCL's).

#include "gpu/opencl_api.hpp"

namespace plv::gpu_testing {

struct LibraryHooks {
    void* (*open)() = nullptr;  // null result: library missing
    void* (*symbol)(void* module, const char* name) = nullptr;
    void (*close)(void* module) = nullptr;
};

// Null restores the real loader library. Call only while no accelerator
// call runs; the hooks object must outlive its use.
void set_library_hooks(const LibraryHooks* hooks);

// Loads the library and its entry points unless loaded already; true when
// every required entry point is present. The accelerator stays as it was
// otherwise.
bool load_library();

// Takes the device as the next device of the accelerator (context, queue,
// the "[GPU] Device: " line), skipping only the type and vendor filter, then
// builds its kernel. On a build failure everything is released and the
// result is false. Needs load_library first.
bool adopt_device(ocl::cl_platform_id platform, ocl::cl_device_id device);

// Loads the library and adopts the first device of any type on the first
// platform that lists one (PoCL's CPU device on a machine without a graphics
// processor). False when there is none or its kernel fails to build.
bool adopt_first_device();

}  // namespace plv::gpu_testing
