#include "fake_opencl.hpp"

#include <algorithm>
#include <cstring>

namespace fake_cl {

using namespace plv::ocl;

namespace {

State g_state;
std::uintptr_t g_next_handle = 0x1000;

void count(const char* name) {
    ++g_state.calls[name];
    ++g_state.total_calls;
}

template <class T>
T make_handle(const char* kind) {
    g_next_handle += 16;
    void* h = reinterpret_cast<void*>(g_next_handle);
    g_state.live[h] = kind;
    return static_cast<T>(h);
}

cl_int release_handle(void* h, const char* kind) {
    const auto it = g_state.live.find(h);
    if (it == g_state.live.end() || it->second != kind) return -38;  // invalid object
    g_state.live.erase(it);
    return success;
}

Device* as_device(cl_device_id id) { return reinterpret_cast<Device*>(id); }
Platform* as_platform(cl_platform_id id) { return reinterpret_cast<Platform*>(id); }

// Answers a size query, or copies the value with the size it needs.
cl_int answer(const void* value, std::size_t size, std::size_t room, void* out,
              std::size_t* size_out) {
    if (size_out) *size_out = size;
    if (out) {
        if (room < size) return -30;  // invalid value
        std::memcpy(out, value, size);
    }
    return success;
}

cl_int answer_string(const std::string& text, std::size_t room, void* out,
                     std::size_t* size_out) {
    return answer(text.c_str(), text.size() + 1, room, out, size_out);
}

// Each context remembers its device, each program its context.
std::map<void*, Device*> g_context_device;

cl_int PLV_CL_API_CALL GetPlatformIDs(cl_uint room, cl_platform_id* out, cl_uint* n) {
    count("clGetPlatformIDs");
    if (n) *n = static_cast<cl_uint>(g_state.platforms.size());
    if (out) {
        for (cl_uint i = 0; i < room && i < g_state.platforms.size(); ++i) {
            out[i] = reinterpret_cast<cl_platform_id>(&g_state.platforms[i]);
        }
    }
    return g_state.platforms.empty() ? -1001 : success;
}

cl_int PLV_CL_API_CALL GetPlatformInfo(cl_platform_id p, cl_platform_info param, std::size_t room,
                                       void* out, std::size_t* size_out) {
    count("clGetPlatformInfo");
    if (param != platform_name) return -30;
    return answer_string(as_platform(p)->name, room, out, size_out);
}

cl_int PLV_CL_API_CALL GetDeviceIDs(cl_platform_id p, cl_device_type type, cl_uint room,
                                    cl_device_id* out, cl_uint* n) {
    count("clGetDeviceIDs");
    Platform* platform = as_platform(p);
    if (type != device_type_gpu || platform->gpu_query_fails) return device_not_found;
    if (n) *n = static_cast<cl_uint>(platform->devices.size());
    if (out) {
        for (cl_uint i = 0; i < room && i < platform->devices.size(); ++i) {
            out[i] = reinterpret_cast<cl_device_id>(&platform->devices[i]);
        }
    }
    return platform->devices.empty() ? device_not_found : success;
}

cl_int PLV_CL_API_CALL GetDeviceInfo(cl_device_id id, cl_device_info param, std::size_t room,
                                     void* out, std::size_t* size_out) {
    count("clGetDeviceInfo");
    const Device* d = as_device(id);
    switch (param) {
        case device_name: return answer_string(d->name, room, out, size_out);
        case device_vendor: return answer_string(d->vendor, room, out, size_out);
        case device_global_mem_size:
            return answer(&d->global_mem_bytes, sizeof d->global_mem_bytes, room, out, size_out);
        case device_max_compute_units:
            return answer(&d->compute_units, sizeof d->compute_units, room, out, size_out);
        default: return -30;
    }
}

cl_context PLV_CL_API_CALL CreateContext(const cl_context_properties* properties, cl_uint n,
                                         const cl_device_id* ids, ContextNotify, void*,
                                         cl_int* error) {
    count("clCreateContext");
    Device* d = as_device(ids[0]);
    if (n != 1 || !properties || properties[0] != context_platform || properties[2] != 0 ||
        d->fail_context) {
        if (error) *error = -6;  // out of host memory
        return nullptr;
    }
    auto context = make_handle<cl_context>("context");
    g_context_device[context] = d;
    if (error) *error = success;
    return context;
}

cl_command_queue PLV_CL_API_CALL CreateCommandQueue(cl_context context, cl_device_id id,
                                                    cl_command_queue_properties properties,
                                                    cl_int* error) {
    count("clCreateCommandQueue");
    if (!g_state.live.count(context) || properties != 0 || as_device(id)->fail_queue) {
        if (error) *error = -6;
        return nullptr;
    }
    if (error) *error = success;
    return make_handle<cl_command_queue>("queue");
}

cl_program PLV_CL_API_CALL CreateProgramWithSource(cl_context context, cl_uint n,
                                                   const char** texts, const std::size_t* lengths,
                                                   cl_int* error) {
    count("clCreateProgramWithSource");
    if (g_state.fail_program_create || !g_state.live.count(context) || n != 1) {
        if (error) *error = -6;
        return nullptr;
    }
    g_state.last_program_length = lengths ? lengths[0] : std::strlen(texts[0]);
    g_state.last_program_text.assign(texts[0], g_state.last_program_length);
    if (error) *error = success;
    return make_handle<cl_program>("program");
}

cl_int PLV_CL_API_CALL BuildProgram(cl_program program, cl_uint n, const cl_device_id* ids,
                                    const char* options, BuildNotify, void*) {
    count("clBuildProgram");
    g_state.last_build_options = options ? options : "";
    if (!g_state.live.count(program) || n != 1) return -44;
    return as_device(ids[0])->fail_build ? -11 : success;  // build program failure
}

cl_int PLV_CL_API_CALL GetProgramBuildInfo(cl_program, cl_device_id id,
                                           cl_program_build_info param, std::size_t room,
                                           void* out, std::size_t* size_out) {
    count("clGetProgramBuildInfo");
    if (param != program_build_log) return -30;
    return answer_string(as_device(id)->build_log, room, out, size_out);
}

cl_kernel PLV_CL_API_CALL CreateKernel(cl_program program, const char* name, cl_int* error) {
    count("clCreateKernel");
    if (g_state.fail_kernel_create || !g_state.live.count(program) ||
        std::strcmp(name, "evaluate_positions") != 0) {
        if (error) *error = -46;  // invalid kernel name
        return nullptr;
    }
    if (error) *error = success;
    return make_handle<cl_kernel>("kernel");
}

cl_mem PLV_CL_API_CALL CreateBuffer(cl_context context, cl_mem_flags flags, std::size_t size,
                                    void* host, cl_int* error) {
    count("clCreateBuffer");
    const int call = g_state.buffer_calls++;
    const bool copies = (flags & mem_copy_host_ptr) != 0;
    if (call == g_state.fail_buffer_call || !g_state.live.count(context) || size == 0 ||
        (copies && !host) || (!copies && host)) {
        if (error) *error = size == 0 ? -61 : -37;  // invalid buffer size / host pointer
        return nullptr;
    }
    if (error) *error = success;
    auto mem = make_handle<cl_mem>("mem");
    g_state.buffer_sizes[mem] = size;
    if (copies) {
        const auto* bytes = static_cast<const unsigned char*>(host);
        g_state.buffer_data[mem].assign(bytes, bytes + size);
    }
    g_state.last_buffer_device = g_context_device[context]->name;
    return mem;
}

cl_int PLV_CL_API_CALL SetKernelArg(cl_kernel, cl_uint index, std::size_t size,
                                    const void* value) {
    count("clSetKernelArg");
    const auto* bytes = static_cast<const unsigned char*>(value);
    g_state.kernel_args[index].assign(bytes, bytes + size);
    return success;
}

cl_int PLV_CL_API_CALL EnqueueNDRangeKernel(cl_command_queue, cl_kernel, cl_uint dims,
                                            const std::size_t* offset, const std::size_t* global,
                                            const std::size_t* local, cl_uint, const cl_event*,
                                            cl_event*) {
    count("clEnqueueNDRangeKernel");
    g_state.launches.push_back({global[0], local ? local[0] : 0});
    if (dims != 1 || offset) return -53;
    if (g_state.failing_launches > 0) {
        --g_state.failing_launches;
        return -54;  // invalid work-group size
    }
    return success;
}

cl_int PLV_CL_API_CALL EnqueueReadBuffer(cl_command_queue, cl_mem mem, cl_bool, std::size_t offset,
                                         std::size_t size, void* out, cl_uint, const cl_event*,
                                         cl_event*) {
    count("clEnqueueReadBuffer");
    ++g_state.reads;
    if (offset != 0 || size > g_state.buffer_sizes[mem]) return -30;
    const std::size_t floats = std::min(size / sizeof(float), g_state.read_back.size());
    std::memcpy(out, g_state.read_back.data(), floats * sizeof(float));
    return success;
}

cl_int PLV_CL_API_CALL Finish(cl_command_queue) {
    count("clFinish");
    if (g_state.on_finish) g_state.on_finish();
    return success;
}

cl_int PLV_CL_API_CALL ReleaseMemObject(cl_mem mem) {
    count("clReleaseMemObject");
    return release_handle(mem, "mem");
}
cl_int PLV_CL_API_CALL ReleaseKernel(cl_kernel k) {
    count("clReleaseKernel");
    return release_handle(k, "kernel");
}
cl_int PLV_CL_API_CALL ReleaseProgram(cl_program p) {
    count("clReleaseProgram");
    return release_handle(p, "program");
}
cl_int PLV_CL_API_CALL ReleaseCommandQueue(cl_command_queue q) {
    count("clReleaseCommandQueue");
    return release_handle(q, "queue");
}
cl_int PLV_CL_API_CALL ReleaseContext(cl_context c) {
    count("clReleaseContext");
    g_state.most_mems_live_at_context_release =
        std::max(g_state.most_mems_live_at_context_release, live_count("mem"));
    return release_handle(c, "context");
}

cl_int PLV_CL_API_CALL GetKernelWorkGroupInfo(cl_kernel, cl_device_id,
                                              cl_kernel_work_group_info param, std::size_t room,
                                              void* out, std::size_t* size_out) {
    count("clGetKernelWorkGroupInfo");
    if (param != kernel_work_group_size) return -30;
    return answer(&g_state.work_group_size, sizeof g_state.work_group_size, room, out, size_out);
}

template <class Fn>
void* address(Fn fn) {
    return reinterpret_cast<void*>(fn);
}

const std::map<std::string, void*>& symbols() {
    static const std::map<std::string, void*> table{
        {"clGetPlatformIDs", address(&GetPlatformIDs)},
        {"clGetPlatformInfo", address(&GetPlatformInfo)},
        {"clGetDeviceIDs", address(&GetDeviceIDs)},
        {"clGetDeviceInfo", address(&GetDeviceInfo)},
        {"clCreateContext", address(&CreateContext)},
        {"clCreateCommandQueue", address(&CreateCommandQueue)},
        {"clCreateProgramWithSource", address(&CreateProgramWithSource)},
        {"clBuildProgram", address(&BuildProgram)},
        {"clGetProgramBuildInfo", address(&GetProgramBuildInfo)},
        {"clCreateKernel", address(&CreateKernel)},
        {"clCreateBuffer", address(&CreateBuffer)},
        {"clSetKernelArg", address(&SetKernelArg)},
        {"clEnqueueNDRangeKernel", address(&EnqueueNDRangeKernel)},
        {"clEnqueueReadBuffer", address(&EnqueueReadBuffer)},
        {"clFinish", address(&Finish)},
        {"clReleaseMemObject", address(&ReleaseMemObject)},
        {"clReleaseKernel", address(&ReleaseKernel)},
        {"clReleaseProgram", address(&ReleaseProgram)},
        {"clReleaseCommandQueue", address(&ReleaseCommandQueue)},
        {"clReleaseContext", address(&ReleaseContext)},
        {"clGetKernelWorkGroupInfo", address(&GetKernelWorkGroupInfo)},
    };
    return table;
}

int g_module_token = 0;

void* open_library() {
    ++g_state.opens;
    return g_state.library_present ? &g_module_token : nullptr;
}

void* find_symbol(void* module, const char* name) {
    if (module != &g_module_token || g_state.missing.count(name)) return nullptr;
    const auto it = symbols().find(name);
    return it == symbols().end() ? nullptr : it->second;
}

void close_library(void* module) {
    if (module == &g_module_token) ++g_state.closes;
}

}  // namespace

State& state() { return g_state; }

void reset() {
    g_state = State{};
    g_context_device.clear();
}

const plv::gpu_testing::LibraryHooks& hooks() {
    static const plv::gpu_testing::LibraryHooks h{&open_library, &find_symbol, &close_library};
    return h;
}

int live_count(const std::string& kind) {
    int n = 0;
    for (const auto& [handle, k] : g_state.live) n += k == kind ? 1 : 0;
    return n;
}

const std::vector<EntryPoint>& entry_points() {
    static const std::vector<EntryPoint> list{
        {"clGetPlatformIDs", true},         {"clGetPlatformInfo", false},
        {"clGetDeviceIDs", true},           {"clGetDeviceInfo", false},
        {"clCreateContext", true},          {"clCreateCommandQueue", true},
        {"clCreateProgramWithSource", true}, {"clBuildProgram", true},
        {"clGetProgramBuildInfo", false},   {"clCreateKernel", true},
        {"clCreateBuffer", true},           {"clSetKernelArg", true},
        {"clEnqueueNDRangeKernel", true},   {"clEnqueueReadBuffer", true},
        {"clFinish", true},                 {"clReleaseMemObject", true},
        {"clReleaseKernel", false},         {"clReleaseProgram", false},
        {"clReleaseCommandQueue", false},   {"clReleaseContext", false},
        {"clGetKernelWorkGroupInfo", false},
    };
    return list;
}

}  // namespace fake_cl
