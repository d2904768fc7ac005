#pragma once

// The few OpenCL 1.2 types, constants and entry points the accelerator uses,
// declared here because mingw-w64 ships no OpenCL headers. The loader library
// is opened at run time, so nothing here is linked. Handle types are the
// Khronos ones (pointers to the same incomplete structures), and a Linux test
// checks every constant and signature against the Khronos headers.

#include <cstddef>
#include <cstdint>

struct _cl_platform_id;
struct _cl_device_id;
struct _cl_context;
struct _cl_command_queue;
struct _cl_mem;
struct _cl_program;
struct _cl_kernel;
struct _cl_event;

#if defined(_WIN32)
#define PLV_CL_API_CALL __stdcall
#else
#define PLV_CL_API_CALL
#endif

namespace plv::ocl {

using cl_int = std::int32_t;
using cl_uint = std::uint32_t;
using cl_ulong = std::uint64_t;
using cl_float = float;
using cl_bool = cl_uint;
using cl_bitfield = cl_ulong;
using cl_device_type = cl_bitfield;
using cl_mem_flags = cl_bitfield;
using cl_command_queue_properties = cl_bitfield;
using cl_platform_info = cl_uint;
using cl_device_info = cl_uint;
using cl_program_build_info = cl_uint;
using cl_kernel_work_group_info = cl_uint;
using cl_context_properties = std::intptr_t;

using cl_platform_id = _cl_platform_id*;
using cl_device_id = _cl_device_id*;
using cl_context = _cl_context*;
using cl_command_queue = _cl_command_queue*;
using cl_mem = _cl_mem*;
using cl_program = _cl_program*;
using cl_kernel = _cl_kernel*;
using cl_event = _cl_event*;

inline constexpr cl_int success = 0;
inline constexpr cl_int device_not_found = -1;
inline constexpr cl_bool cl_true = 1;
inline constexpr cl_device_type device_type_gpu = cl_device_type{1} << 2;
inline constexpr cl_device_type device_type_all = 0xFFFFFFFF;
inline constexpr cl_platform_info platform_name = 0x0902;
inline constexpr cl_device_info device_max_compute_units = 0x1002;
inline constexpr cl_device_info device_global_mem_size = 0x101F;
inline constexpr cl_device_info device_name = 0x102B;
inline constexpr cl_device_info device_vendor = 0x102C;
inline constexpr cl_context_properties context_platform = 0x1084;
inline constexpr cl_mem_flags mem_write_only = cl_mem_flags{1} << 1;
inline constexpr cl_mem_flags mem_read_only = cl_mem_flags{1} << 2;
inline constexpr cl_mem_flags mem_copy_host_ptr = cl_mem_flags{1} << 5;
inline constexpr cl_program_build_info program_build_log = 0x1183;
inline constexpr cl_kernel_work_group_info kernel_work_group_size = 0x11B0;

using ContextNotify = void(PLV_CL_API_CALL*)(const char*, const void*, std::size_t, void*);
using BuildNotify = void(PLV_CL_API_CALL*)(cl_program, void*);

using GetPlatformIDsFn = cl_int(PLV_CL_API_CALL*)(cl_uint, cl_platform_id*, cl_uint*);
using GetPlatformInfoFn = cl_int(PLV_CL_API_CALL*)(cl_platform_id, cl_platform_info, std::size_t,
                                                   void*, std::size_t*);
using GetDeviceIDsFn = cl_int(PLV_CL_API_CALL*)(cl_platform_id, cl_device_type, cl_uint,
                                                cl_device_id*, cl_uint*);
using GetDeviceInfoFn = cl_int(PLV_CL_API_CALL*)(cl_device_id, cl_device_info, std::size_t, void*,
                                                 std::size_t*);
using CreateContextFn = cl_context(PLV_CL_API_CALL*)(const cl_context_properties*, cl_uint,
                                                     const cl_device_id*, ContextNotify, void*,
                                                     cl_int*);
using CreateCommandQueueFn = cl_command_queue(PLV_CL_API_CALL*)(cl_context, cl_device_id,
                                                                cl_command_queue_properties,
                                                                cl_int*);
using CreateProgramWithSourceFn = cl_program(PLV_CL_API_CALL*)(cl_context, cl_uint, const char**,
                                                               const std::size_t*, cl_int*);
using BuildProgramFn = cl_int(PLV_CL_API_CALL*)(cl_program, cl_uint, const cl_device_id*,
                                                const char*, BuildNotify, void*);
using GetProgramBuildInfoFn = cl_int(PLV_CL_API_CALL*)(cl_program, cl_device_id,
                                                       cl_program_build_info, std::size_t, void*,
                                                       std::size_t*);
using CreateKernelFn = cl_kernel(PLV_CL_API_CALL*)(cl_program, const char*, cl_int*);
using CreateBufferFn = cl_mem(PLV_CL_API_CALL*)(cl_context, cl_mem_flags, std::size_t, void*,
                                                cl_int*);
using SetKernelArgFn = cl_int(PLV_CL_API_CALL*)(cl_kernel, cl_uint, std::size_t, const void*);
using EnqueueNDRangeKernelFn = cl_int(PLV_CL_API_CALL*)(cl_command_queue, cl_kernel, cl_uint,
                                                        const std::size_t*, const std::size_t*,
                                                        const std::size_t*, cl_uint,
                                                        const cl_event*, cl_event*);
using EnqueueReadBufferFn = cl_int(PLV_CL_API_CALL*)(cl_command_queue, cl_mem, cl_bool,
                                                     std::size_t, std::size_t, void*, cl_uint,
                                                     const cl_event*, cl_event*);
using FinishFn = cl_int(PLV_CL_API_CALL*)(cl_command_queue);
using ReleaseMemObjectFn = cl_int(PLV_CL_API_CALL*)(cl_mem);
using ReleaseKernelFn = cl_int(PLV_CL_API_CALL*)(cl_kernel);
using ReleaseProgramFn = cl_int(PLV_CL_API_CALL*)(cl_program);
using ReleaseCommandQueueFn = cl_int(PLV_CL_API_CALL*)(cl_command_queue);
using ReleaseContextFn = cl_int(PLV_CL_API_CALL*)(cl_context);
using GetKernelWorkGroupInfoFn = cl_int(PLV_CL_API_CALL*)(cl_kernel, cl_device_id,
                                                          cl_kernel_work_group_info, std::size_t,
                                                          void*, std::size_t*);

}  // namespace plv::ocl

namespace plv {

// The process-wide table of OpenCL entry points, in lookup order; null until
// looked up. Only the loader writes it, and it is never cleared: after a
// release the pointers are stale until the next load.
struct OpenClApi {
    ocl::GetPlatformIDsFn clGetPlatformIDs = nullptr;
    ocl::GetPlatformInfoFn clGetPlatformInfo = nullptr;
    ocl::GetDeviceIDsFn clGetDeviceIDs = nullptr;
    ocl::GetDeviceInfoFn clGetDeviceInfo = nullptr;
    ocl::CreateContextFn clCreateContext = nullptr;
    ocl::CreateCommandQueueFn clCreateCommandQueue = nullptr;
    ocl::CreateProgramWithSourceFn clCreateProgramWithSource = nullptr;
    ocl::BuildProgramFn clBuildProgram = nullptr;
    ocl::GetProgramBuildInfoFn clGetProgramBuildInfo = nullptr;
    ocl::CreateKernelFn clCreateKernel = nullptr;
    ocl::CreateBufferFn clCreateBuffer = nullptr;
    ocl::SetKernelArgFn clSetKernelArg = nullptr;
    ocl::EnqueueNDRangeKernelFn clEnqueueNDRangeKernel = nullptr;
    ocl::EnqueueReadBufferFn clEnqueueReadBuffer = nullptr;
    ocl::FinishFn clFinish = nullptr;
    ocl::ReleaseMemObjectFn clReleaseMemObject = nullptr;
    ocl::ReleaseKernelFn clReleaseKernel = nullptr;
    ocl::ReleaseProgramFn clReleaseProgram = nullptr;
    ocl::ReleaseCommandQueueFn clReleaseCommandQueue = nullptr;
    ocl::ReleaseContextFn clReleaseContext = nullptr;
    ocl::GetKernelWorkGroupInfoFn clGetKernelWorkGroupInfo = nullptr;
};

const OpenClApi& opencl_api();

}  // namespace plv
