// Compile-time proof that the project's own OpenCL declarations match the
// Khronos headers (Debian's opencl-headers). Linux only: the Windows build has
// no OpenCL headers, which is why the declarations exist.
#if defined(__linux__)

#define CL_TARGET_OPENCL_VERSION 120
#include <CL/cl.h>

#include "gpu/opencl_api.hpp"

#include <type_traits>

namespace {

using namespace plv;

static_assert(ocl::success == CL_SUCCESS);
static_assert(ocl::device_not_found == CL_DEVICE_NOT_FOUND);
static_assert(ocl::cl_true == CL_TRUE);
static_assert(ocl::device_type_gpu == CL_DEVICE_TYPE_GPU);
static_assert(ocl::device_type_all == CL_DEVICE_TYPE_ALL);
static_assert(ocl::platform_name == CL_PLATFORM_NAME);
static_assert(ocl::device_max_compute_units == CL_DEVICE_MAX_COMPUTE_UNITS);
static_assert(ocl::device_global_mem_size == CL_DEVICE_GLOBAL_MEM_SIZE);
static_assert(ocl::device_name == CL_DEVICE_NAME);
static_assert(ocl::device_vendor == CL_DEVICE_VENDOR);
static_assert(ocl::context_platform == CL_CONTEXT_PLATFORM);
static_assert(ocl::mem_write_only == CL_MEM_WRITE_ONLY);
static_assert(ocl::mem_read_only == CL_MEM_READ_ONLY);
static_assert(ocl::mem_copy_host_ptr == CL_MEM_COPY_HOST_PTR);
static_assert(ocl::program_build_log == CL_PROGRAM_BUILD_LOG);
static_assert(ocl::kernel_work_group_size == CL_KERNEL_WORK_GROUP_SIZE);

static_assert(std::is_same_v<ocl::cl_int, ::cl_int>);
static_assert(std::is_same_v<ocl::cl_uint, ::cl_uint>);
static_assert(std::is_same_v<ocl::cl_ulong, ::cl_ulong>);
static_assert(std::is_same_v<ocl::cl_float, ::cl_float>);
static_assert(std::is_same_v<ocl::cl_bool, ::cl_bool>);
static_assert(std::is_same_v<ocl::cl_device_type, ::cl_device_type>);
static_assert(std::is_same_v<ocl::cl_mem_flags, ::cl_mem_flags>);
static_assert(std::is_same_v<ocl::cl_command_queue_properties, ::cl_command_queue_properties>);
static_assert(std::is_same_v<ocl::cl_platform_info, ::cl_platform_info>);
static_assert(std::is_same_v<ocl::cl_device_info, ::cl_device_info>);
static_assert(std::is_same_v<ocl::cl_program_build_info, ::cl_program_build_info>);
static_assert(std::is_same_v<ocl::cl_kernel_work_group_info, ::cl_kernel_work_group_info>);
static_assert(std::is_same_v<ocl::cl_context_properties, ::cl_context_properties>);
static_assert(std::is_same_v<ocl::cl_platform_id, ::cl_platform_id>);
static_assert(std::is_same_v<ocl::cl_device_id, ::cl_device_id>);
static_assert(std::is_same_v<ocl::cl_context, ::cl_context>);
static_assert(std::is_same_v<ocl::cl_command_queue, ::cl_command_queue>);
static_assert(std::is_same_v<ocl::cl_mem, ::cl_mem>);
static_assert(std::is_same_v<ocl::cl_program, ::cl_program>);
static_assert(std::is_same_v<ocl::cl_kernel, ::cl_kernel>);
static_assert(std::is_same_v<ocl::cl_event, ::cl_event>);

// Every entry of the table has the Khronos signature of its name.
#define PLV_SAME_SIGNATURE(name) \
    static_assert(std::is_same_v<decltype(OpenClApi::name), decltype(&::name)>, #name)
PLV_SAME_SIGNATURE(clGetPlatformIDs);
PLV_SAME_SIGNATURE(clGetPlatformInfo);
PLV_SAME_SIGNATURE(clGetDeviceIDs);
PLV_SAME_SIGNATURE(clGetDeviceInfo);
PLV_SAME_SIGNATURE(clCreateContext);
PLV_SAME_SIGNATURE(clCreateCommandQueue);
PLV_SAME_SIGNATURE(clCreateProgramWithSource);
PLV_SAME_SIGNATURE(clBuildProgram);
PLV_SAME_SIGNATURE(clGetProgramBuildInfo);
PLV_SAME_SIGNATURE(clCreateKernel);
PLV_SAME_SIGNATURE(clCreateBuffer);
PLV_SAME_SIGNATURE(clSetKernelArg);
PLV_SAME_SIGNATURE(clEnqueueNDRangeKernel);
PLV_SAME_SIGNATURE(clEnqueueReadBuffer);
PLV_SAME_SIGNATURE(clFinish);
PLV_SAME_SIGNATURE(clReleaseMemObject);
PLV_SAME_SIGNATURE(clReleaseKernel);
PLV_SAME_SIGNATURE(clReleaseProgram);
PLV_SAME_SIGNATURE(clReleaseCommandQueue);
PLV_SAME_SIGNATURE(clReleaseContext);
PLV_SAME_SIGNATURE(clGetKernelWorkGroupInfo);
#undef PLV_SAME_SIGNATURE

// The table holds exactly these 21 entries.
static_assert(sizeof(OpenClApi) == 21 * sizeof(void (*)()));

}  // namespace

#endif
