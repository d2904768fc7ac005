#include "gpu/gpu_accelerator.hpp"

#include "gpu/gpu_testing.hpp"
#include "gpu/kernel_source.hpp"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>
#include <utility>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace plv {

namespace {

OpenClApi g_api;
const gpu_testing::LibraryHooks* g_hooks = nullptr;

void* open_library() {
    if (g_hooks) return g_hooks->open ? g_hooks->open() : nullptr;
#if defined(_WIN32)
    // The system folder only, where the drivers install the loader: a plain
    // search looks in the program's own folder first, so an OpenCL.dll left
    // beside the program (a downloads folder) would be loaded and run.
    return reinterpret_cast<void*>(
        LoadLibraryExA("OpenCL.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
#else
    return dlopen("libOpenCL.so.1", RTLD_NOW | RTLD_LOCAL);
#endif
}

void* library_symbol(void* module, const char* name) {
    if (g_hooks) return g_hooks->symbol ? g_hooks->symbol(module, name) : nullptr;
#if defined(_WIN32)
    // Through the generic function pointer type, which casts to any other
    // function pointer without a warning.
    const auto proc = reinterpret_cast<void (*)()>(GetProcAddress(static_cast<HMODULE>(module), name));
    return reinterpret_cast<void*>(proc);
#else
    return dlsym(module, name);
#endif
}

void close_library(void* module) {
    if (g_hooks) {
        if (g_hooks->close) g_hooks->close(module);
        return;
    }
#if defined(_WIN32)
    FreeLibrary(static_cast<HMODULE>(module));
#else
    dlclose(module);
#endif
}

template <class Fn>
void look_up(void* module, Fn& entry, const char* name) {
    entry = reinterpret_cast<Fn>(library_symbol(module, name));
}

void print(const std::string& text) {
    std::fputs(text.c_str(), stderr);
    std::fflush(stderr);
}

void strip_trailing_nuls(std::string& s) {
    while (!s.empty() && s.back() == '\0') s.pop_back();
}

// Statuses are not examined: a failed query leaves an empty string.
std::string device_info_string(ocl::cl_device_id device, ocl::cl_device_info param) {
    if (!g_api.clGetDeviceInfo) return {};
    std::size_t size = 0;
    g_api.clGetDeviceInfo(device, param, 0, nullptr, &size);
    std::string text(size, '\0');
    if (size > 0) g_api.clGetDeviceInfo(device, param, size, text.data(), nullptr);
    strip_trailing_nuls(text);
    return text;
}

std::string platform_name(ocl::cl_platform_id platform) {
    if (!g_api.clGetPlatformInfo) return {};
    std::size_t size = 0;
    g_api.clGetPlatformInfo(platform, ocl::platform_name, 0, nullptr, &size);
    std::string text(size, '\0');
    if (size > 0) g_api.clGetPlatformInfo(platform, ocl::platform_name, size, text.data(), nullptr);
    strip_trailing_nuls(text);
    return text;
}

std::string build_log(ocl::cl_program program, ocl::cl_device_id device) {
    if (!g_api.clGetProgramBuildInfo) return {};
    std::size_t size = 0;
    g_api.clGetProgramBuildInfo(program, device, ocl::program_build_log, 0, nullptr, &size);
    std::string text(size, '\0');
    if (size > 0) {
        g_api.clGetProgramBuildInfo(program, device, ocl::program_build_log, size, text.data(),
                                    nullptr);
    }
    strip_trailing_nuls(text);
    return text;
}

bool required_entries_present() {
    const OpenClApi& a = g_api;
    return a.clGetPlatformIDs && a.clGetDeviceIDs && a.clCreateContext && a.clCreateCommandQueue &&
           a.clCreateProgramWithSource && a.clBuildProgram && a.clCreateKernel &&
           a.clCreateBuffer && a.clSetKernelArg && a.clEnqueueNDRangeKernel &&
           a.clEnqueueReadBuffer && a.clFinish && a.clReleaseMemObject;
}

constexpr std::size_t kMaxLocalSize = 256;

}  // namespace

const OpenClApi& opencl_api() { return g_api; }

GpuAccelerator& GpuAccelerator::instance() {
    static GpuAccelerator* const accelerator = new GpuAccelerator();
    return *accelerator;
}

bool GpuAccelerator::load_opencl() {
    opencl_module_ = open_library();
    if (!opencl_module_) return false;
    void* m = opencl_module_;
    look_up(m, g_api.clGetPlatformIDs, "clGetPlatformIDs");
    look_up(m, g_api.clGetPlatformInfo, "clGetPlatformInfo");
    look_up(m, g_api.clGetDeviceIDs, "clGetDeviceIDs");
    look_up(m, g_api.clGetDeviceInfo, "clGetDeviceInfo");
    look_up(m, g_api.clCreateContext, "clCreateContext");
    look_up(m, g_api.clCreateCommandQueue, "clCreateCommandQueue");
    look_up(m, g_api.clCreateProgramWithSource, "clCreateProgramWithSource");
    look_up(m, g_api.clBuildProgram, "clBuildProgram");
    look_up(m, g_api.clGetProgramBuildInfo, "clGetProgramBuildInfo");
    look_up(m, g_api.clCreateKernel, "clCreateKernel");
    look_up(m, g_api.clCreateBuffer, "clCreateBuffer");
    look_up(m, g_api.clSetKernelArg, "clSetKernelArg");
    look_up(m, g_api.clEnqueueNDRangeKernel, "clEnqueueNDRangeKernel");
    look_up(m, g_api.clEnqueueReadBuffer, "clEnqueueReadBuffer");
    look_up(m, g_api.clFinish, "clFinish");
    look_up(m, g_api.clReleaseMemObject, "clReleaseMemObject");
    look_up(m, g_api.clReleaseKernel, "clReleaseKernel");
    look_up(m, g_api.clReleaseProgram, "clReleaseProgram");
    look_up(m, g_api.clReleaseCommandQueue, "clReleaseCommandQueue");
    look_up(m, g_api.clReleaseContext, "clReleaseContext");
    look_up(m, g_api.clGetKernelWorkGroupInfo, "clGetKernelWorkGroupInfo");
    return required_entries_present();
}

void GpuAccelerator::add_device(ocl::cl_platform_id platform, ocl::cl_device_id id,
                                std::string name, std::string vendor) {
    GpuDevice device;
    device.name = std::move(name);
    device.vendor = std::move(vendor);
    device.device = id;
    if (g_api.clGetDeviceInfo) {
        ocl::cl_ulong mem = 0;
        if (g_api.clGetDeviceInfo(id, ocl::device_global_mem_size, sizeof mem, &mem, nullptr) ==
            ocl::success) {
            device.global_mem_bytes = mem;
        }
        ocl::cl_uint units = 0;
        if (g_api.clGetDeviceInfo(id, ocl::device_max_compute_units, sizeof units, &units,
                                  nullptr) == ocl::success) {
            device.compute_units = units;
        }
    }

    const ocl::cl_context_properties properties[] = {
        ocl::context_platform, reinterpret_cast<ocl::cl_context_properties>(platform), 0};
    ocl::cl_int error = ocl::device_not_found;
    device.context = g_api.clCreateContext(properties, 1, &id, nullptr, nullptr, &error);
    if (error != ocl::success || !device.context) {
        if (device.context && g_api.clReleaseContext) g_api.clReleaseContext(device.context);
        return;
    }
    error = ocl::device_not_found;
    device.queue = g_api.clCreateCommandQueue(device.context, id, 0, &error);
    if (error != ocl::success || !device.queue) {
        if (device.queue && g_api.clReleaseCommandQueue) g_api.clReleaseCommandQueue(device.queue);
        if (g_api.clReleaseContext) g_api.clReleaseContext(device.context);
        return;
    }

    print("[GPU] Device: " + device.name + " | CUs: " + std::to_string(device.compute_units) +
          " | VRAM: " + std::to_string(device.global_mem_bytes >> 20) + " MB\n");
    devices_.push_back(std::move(device));
    device_mutexes_.push_back(std::make_unique<std::mutex>());
}

bool GpuAccelerator::build_kernels(std::size_t first) {
    const std::string_view source = evaluate_positions_kernel_source();
    const char* text = source.data();
    const std::size_t length = source.size();
    for (std::size_t i = first; i < devices_.size(); ++i) {
        GpuDevice& device = devices_[i];
        ocl::cl_int error = ocl::device_not_found;
        device.program = g_api.clCreateProgramWithSource(device.context, 1, &text, &length, &error);
        if (!device.program || error != ocl::success) return false;

        if (g_api.clBuildProgram(device.program, 1, &device.device, "-cl-fast-relaxed-math",
                                 nullptr, nullptr) != ocl::success) {
            print("[GPU] Kernel build error on " + device.name + ":\n" +
                  build_log(device.program, device.device) + "\n");
            return false;
        }

        error = ocl::device_not_found;
        device.kernel = g_api.clCreateKernel(device.program, "evaluate_positions", &error);
        if (!device.kernel || error != ocl::success) return false;
    }
    return true;
}

bool GpuAccelerator::initialize() {
    std::unique_lock lock(devices_mutex_);
    if (initialized_) return !devices_.empty();
    initialized_ = true;

    if (!load_opencl()) {
        print("[GPU] OpenCL.dll not found. GPU acceleration disabled.\n");
        return false;
    }

    ocl::cl_uint platform_count = 0;
    g_api.clGetPlatformIDs(0, nullptr, &platform_count);
    if (platform_count == 0) {
        print("[GPU] No OpenCL platforms found.\n");
        return false;
    }
    std::vector<ocl::cl_platform_id> platforms(platform_count, nullptr);
    g_api.clGetPlatformIDs(platform_count, platforms.data(), nullptr);

    for (const ocl::cl_platform_id platform : platforms) {
        print("[GPU] Found platform: " + platform_name(platform) + "\n");

        ocl::cl_uint count = 0;
        if (g_api.clGetDeviceIDs(platform, ocl::device_type_gpu, 0, nullptr, &count) !=
            ocl::success) {
            continue;
        }
        std::vector<ocl::cl_device_id> ids(count, nullptr);
        if (count > 0) g_api.clGetDeviceIDs(platform, ocl::device_type_gpu, count, ids.data(), nullptr);

        for (const ocl::cl_device_id id : ids) {
            std::string name = device_info_string(id, ocl::device_name);
            std::string vendor = device_info_string(id, ocl::device_vendor);
            if (vendor.find("Intel") != std::string::npos ||
                name.find("Intel") != std::string::npos) {
                print("[GPU] Skipping Intel device: " + name + "\n");
                continue;
            }
            add_device(platform, id, std::move(name), std::move(vendor));
        }
    }

    if (devices_.empty()) {
        print("[GPU] No GPU devices found.\n");
        return false;
    }
    if (!build_kernels()) {
        print("[GPU] Failed to build OpenCL kernels.\n");
        release_locked();
        return false;
    }
    print("[GPU] Ready. " + std::to_string(devices_.size()) + " GPU(s) available.\n");
    return true;
}

void GpuAccelerator::release() {
    std::unique_lock lock(devices_mutex_);
    release_locked();
}

void GpuAccelerator::release_locked() {
    for (GpuDevice& device : devices_) {
        if (device.kernel && g_api.clReleaseKernel) g_api.clReleaseKernel(device.kernel);
        if (device.program && g_api.clReleaseProgram) g_api.clReleaseProgram(device.program);
        if (device.queue && g_api.clReleaseCommandQueue) g_api.clReleaseCommandQueue(device.queue);
        if (device.context && g_api.clReleaseContext) g_api.clReleaseContext(device.context);
    }
    devices_.clear();
    device_mutexes_.clear();
    if (opencl_module_) {
        close_library(opencl_module_);
        opencl_module_ = nullptr;
    }
    initialized_ = false;
}

std::vector<GpuDevice> GpuAccelerator::devices() const {
    std::shared_lock lock(devices_mutex_);
    return devices_;
}

std::size_t GpuAccelerator::device_count() const {
    std::shared_lock lock(devices_mutex_);
    return devices_.size();
}

std::string GpuAccelerator::device_name(std::size_t index) const {
    std::shared_lock lock(devices_mutex_);
    return index < devices_.size() ? devices_[index].name : std::string();
}

std::vector<GpuPositionResult> GpuAccelerator::evaluate_positions(
    std::int32_t device_index, const float* existing_segments, std::int32_t existing_segment_count,
    const float* existing_bounds, const std::int32_t* existing_seg_offsets,
    std::int32_t existing_part_count, const float* candidate_segments,
    std::int32_t candidate_segment_count, const std::int32_t* candidate_seg_offsets,
    const float* candidate_bounds, std::int32_t slot_count, const float* positions,
    const std::int32_t* position_slots, std::int32_t position_count, float sheet_width,
    float sheet_height, float spacing, const float* global_bounds, bool has_existing) const {
    // A negative count converts to a size past max_size(): the list's own
    // length error.
    std::vector<GpuPositionResult> answers(static_cast<std::size_t>(position_count));
    if (device_index < 0 || position_count == 0) return answers;
    // Negative counts describe no arrays at all.
    if (existing_segment_count < 0 || existing_part_count < 0 || candidate_segment_count < 0 ||
        slot_count < 0) {
        return answers;
    }

    std::shared_lock list_lock(devices_mutex_);
    const auto index = static_cast<std::size_t>(device_index);
    if (index >= devices_.size()) return answers;
    const GpuDevice& device = devices_[index];
    if (!device.kernel) return answers;
    std::lock_guard device_lock(*device_mutexes_[index]);

    const auto n = static_cast<std::size_t>(position_count);
    const auto existing_segs = static_cast<std::size_t>(existing_segment_count);
    const auto parts = static_cast<std::size_t>(existing_part_count);
    const auto candidate_segs = static_cast<std::size_t>(candidate_segment_count);
    const auto slots = static_cast<std::size_t>(slot_count);

    // Stand-in host data for arrays with nothing in them; only read.
    float standby[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    const auto host = [](const void* p) { return const_cast<void*>(p); };

    struct BufferSpec {
        ocl::cl_mem_flags flags;
        std::size_t size;
        void* data;
    };
    const ocl::cl_mem_flags in = ocl::mem_read_only | ocl::mem_copy_host_ptr;
    const std::array<BufferSpec, 10> specs{{
        {in, existing_segs > 0 ? 16 * existing_segs : 4,
         host(existing_segs > 0 ? static_cast<const void*>(existing_segments) : standby)},
        {in, parts > 0 ? 16 * parts : 4,
         host(parts > 0 ? static_cast<const void*>(existing_bounds) : standby)},
        {in, parts > 0 ? 4 * (parts + 1) : 4,
         host(parts > 0 ? static_cast<const void*>(existing_seg_offsets) : standby)},
        // With no segments only the absence of the array matters: the
        // caller's array need not hold the 4 bytes the buffer copies.
        {in, candidate_segs > 0 ? 16 * candidate_segs : 4,
         host(candidate_segments == nullptr ? nullptr
              : candidate_segs > 0          ? static_cast<const void*>(candidate_segments)
                                            : standby)},
        {in, slots > 0 ? 4 * (slots + 1) : 4, host(candidate_seg_offsets)},
        {in, 16 * slots, host(candidate_bounds)},
        {in, 8 * n, host(positions)},
        {in, 4 * n, host(position_slots)},
        {in, 16, host(has_existing ? static_cast<const void*>(global_bounds) : standby)},
        {ocl::mem_write_only, 24 * n, nullptr},
    }};

    std::array<ocl::cl_mem, 10> buffers{};
    const auto release_buffers = [&] {
        for (ocl::cl_mem& b : buffers) {
            if (b) g_api.clReleaseMemObject(b);
            b = nullptr;
        }
    };
    for (std::size_t i = 0; i < specs.size(); ++i) {
        ocl::cl_int error = ocl::success;
        buffers[i] = g_api.clCreateBuffer(device.context, specs[i].flags, specs[i].size,
                                          specs[i].data, &error);
        if (!buffers[i]) {
            release_buffers();
            return answers;
        }
    }

    const ocl::cl_kernel kernel = device.kernel;
    const ocl::cl_int has_existing_flag = has_existing ? 1 : 0;
    const auto set_buffer = [&](ocl::cl_uint arg, std::size_t buffer) {
        g_api.clSetKernelArg(kernel, arg, sizeof(ocl::cl_mem), &buffers[buffer]);
    };
    const auto set_scalar = [&](ocl::cl_uint arg, const void* value) {
        g_api.clSetKernelArg(kernel, arg, 4, value);
    };
    set_buffer(0, 0);
    set_buffer(1, 1);
    set_buffer(2, 2);
    set_scalar(3, &existing_part_count);
    set_buffer(4, 3);
    set_scalar(5, &candidate_segment_count);
    set_buffer(6, 4);
    set_buffer(7, 5);
    set_buffer(8, 6);
    set_buffer(9, 7);
    set_scalar(10, &sheet_width);
    set_scalar(11, &sheet_height);
    set_scalar(12, &spacing);
    set_buffer(13, 8);
    set_scalar(14, &has_existing_flag);
    set_buffer(15, 9);
    set_scalar(16, &position_count);

    std::size_t local = kMaxLocalSize;
    if (g_api.clGetKernelWorkGroupInfo) {
        g_api.clGetKernelWorkGroupInfo(kernel, device.device, ocl::kernel_work_group_size,
                                       sizeof local, &local, nullptr);
    }
    local = std::min(local, kMaxLocalSize);
    // A driver answering 0 leaves the work-group size to the implementation;
    // the kernel's count check makes any global size safe.
    const std::size_t global = local > 0 ? (n + local - 1) / local * local : n;
    ocl::cl_int status = g_api.clEnqueueNDRangeKernel(device.queue, kernel, 1, nullptr, &global,
                                                      local > 0 ? &local : nullptr, 0, nullptr,
                                                      nullptr);
    if (status != ocl::success) {
        status = g_api.clEnqueueNDRangeKernel(device.queue, kernel, 1, nullptr, &global, nullptr, 0,
                                              nullptr, nullptr);
    }
    if (status != ocl::success) {
        release_buffers();
        return answers;
    }
    g_api.clFinish(device.queue);

    // A failed read leaves zeros, which read as invalid.
    std::vector<float> slots_out(6 * n, 0.0f);
    g_api.clEnqueueReadBuffer(device.queue, buffers[9], ocl::cl_true, 0, 24 * n, slots_out.data(),
                              0, nullptr, nullptr);
    for (std::size_t i = 0; i < n; ++i) {
        const float* r = &slots_out[6 * i];
        GpuPositionResult& a = answers[i];
        a.valid = r[0] > 0.5f;
        a.union_area = r[1];
        a.used_height = r[2];
        a.used_width = r[3];
        a.y = r[4];
        a.x = r[5];
    }
    release_buffers();
    return answers;
}

namespace gpu_testing {

struct Access {
    static bool load_library() {
        GpuAccelerator& a = GpuAccelerator::instance();
        std::unique_lock lock(a.devices_mutex_);
        if (a.opencl_module_) return required_entries_present();
        return a.load_opencl();
    }

    static bool adopt_device(ocl::cl_platform_id platform, ocl::cl_device_id id) {
        GpuAccelerator& a = GpuAccelerator::instance();
        std::unique_lock lock(a.devices_mutex_);
        if (!a.opencl_module_) return false;
        const std::size_t first = a.devices_.size();
        a.add_device(platform, id, device_info_string(id, ocl::device_name),
                     device_info_string(id, ocl::device_vendor));
        if (a.devices_.size() == first) return false;
        a.initialized_ = true;
        if (!a.build_kernels(first)) {
            print("[GPU] Failed to build OpenCL kernels.\n");
            a.release_locked();
            return false;
        }
        return true;
    }
};

void set_library_hooks(const LibraryHooks* hooks) { g_hooks = hooks; }

bool load_library() { return Access::load_library(); }

bool adopt_device(ocl::cl_platform_id platform, ocl::cl_device_id device) {
    return Access::adopt_device(platform, device);
}

bool adopt_first_device() {
    if (!load_library()) return false;
    ocl::cl_uint count = 0;
    g_api.clGetPlatformIDs(0, nullptr, &count);
    std::vector<ocl::cl_platform_id> platforms(count, nullptr);
    if (count > 0) g_api.clGetPlatformIDs(count, platforms.data(), nullptr);
    for (const ocl::cl_platform_id platform : platforms) {
        ocl::cl_device_id device = nullptr;
        ocl::cl_uint n = 0;
        if (g_api.clGetDeviceIDs(platform, ocl::device_type_all, 1, &device, &n) == ocl::success &&
            device) {
            return adopt_device(platform, device);
        }
    }
    return false;
}

}  // namespace gpu_testing

}  // namespace plv
