#pragma once

#include <string_view>

namespace plv {

// OpenCL C text of the kernel evaluate_positions: one work-item per candidate
// position, outer outlines only, single precision. Work-items at or past the
// position count (the last argument) return at once.
std::string_view evaluate_positions_kernel_source();

}  // namespace plv
