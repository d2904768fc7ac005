// The OpenCL loader library is taken from the system folder only: an
// OpenCL.dll beside the program (the test build plants one there) is never
// loaded.

#include "gpu/gpu_accelerator.hpp"
#include "gpu/gpu_testing.hpp"

#include <gtest/gtest.h>

#if defined(_WIN32)

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <string>

namespace {

const char* const kMark = "PLV_PLANTED_OPENCL_LOADED";

bool planted_library_ran() {
    char value[8] = "";
    return GetEnvironmentVariableA(kMark, value, sizeof value) > 0;
}

std::string folder_of(const std::string& path) { return path.substr(0, path.find_last_of("\\/")); }

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

std::string module_path(HMODULE module) {
    char path[MAX_PATH] = "";
    GetModuleFileNameA(module, path, MAX_PATH);
    return path;
}

TEST(SafeLoading, APlantedLibraryBesideTheProgramIsNotLoaded) {
    const std::string plant = folder_of(module_path(nullptr)) + "\\OpenCL.dll";
    ASSERT_NE(GetFileAttributesA(plant.c_str()), INVALID_FILE_ATTRIBUTES) << plant;

    // The plant is within reach: a plain search loads it. (Wine prefers its
    // own opencl.dll unless told otherwise, WINEDLLOVERRIDES=opencl=n,b.)
    SetEnvironmentVariableA(kMark, nullptr);
    if (const HMODULE plain = LoadLibraryA("OpenCL.dll")) FreeLibrary(plain);
    if (!planted_library_ran()) {
        GTEST_SKIP() << "a plain search does not reach " << plant << " here";
    }
    SetEnvironmentVariableA(kMark, nullptr);

    plv::GpuAccelerator::instance().release();
    plv::gpu_testing::set_library_hooks(nullptr);
    const bool loaded = plv::gpu_testing::load_library();
    EXPECT_FALSE(planted_library_ran()) << "the OpenCL.dll beside the program was loaded";
    if (loaded) {
        // The entry points come from the system folder's library.
        HMODULE owner = nullptr;
        ASSERT_TRUE(GetModuleHandleExA(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCSTR>(plv::opencl_api().clGetPlatformIDs), &owner));
        char system[MAX_PATH] = "";
        GetSystemDirectoryA(system, MAX_PATH);
        EXPECT_EQ(lower(folder_of(module_path(owner))), lower(system));
    }
    plv::GpuAccelerator::instance().release();
}

}  // namespace

#endif
