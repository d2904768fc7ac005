// libFuzzer entry for the DXF reader and part builder; built and run by
// scripts/fuzz-dxf.

#include "fuzz/dxf_fuzz_check.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string failure =
        plv::fuzz::check_dxf_input(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!failure.empty()) {
        std::fprintf(stderr, "dxf fuzz check failed: %s\n", failure.c_str());
        std::abort();
    }
    return 0;
}
