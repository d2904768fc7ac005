/* A stand-in "OpenCL.dll" that the Windows test build puts beside the test
   programs, where a plain library search would find it before the system's.
   It does nothing but leave a mark in its process when it is loaded. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)instance;
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) SetEnvironmentVariableA("PLV_PLANTED_OPENCL_LOADED", "1");
    return TRUE;
}

__declspec(dllexport) int clGetPlatformIDs(void) { return -1; }
