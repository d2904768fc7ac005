#pragma once

// Peak resident memory of the benchmark process, MB. On Linux the peak can be
// reset, so that one part of a run gets its own figure; elsewhere
// reset_peak does nothing and the peak is the process's so far.

#include <fstream>
#include <string>

#ifdef __GLIBC__
#include <malloc.h>
#endif

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <psapi.h>
#endif

namespace bench {

inline void reset_peak() {
#ifdef __GLIBC__
    // Memory freed earlier goes back first, so the new peak starts from
    // what is really in use.
    malloc_trim(0);
#endif
#ifdef __linux__
    std::ofstream("/proc/self/clear_refs") << "5";
#endif
}

inline double peak_mb() {
#ifdef _WIN32
    PROCESS_MEMORY_COUNTERS counters{};
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0.0;
    return static_cast<double>(counters.PeakWorkingSetSize) / (1024.0 * 1024.0);
#else
    std::ifstream status("/proc/self/status");
    std::string word;
    while (status >> word) {
        if (word == "VmHWM:") {
            double kb = 0.0;
            status >> kb;
            return kb / 1024.0;
        }
    }
    return 0.0;
#endif
}

}  // namespace bench
