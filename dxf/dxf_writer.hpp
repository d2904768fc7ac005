#pragma once

// The system's DXF drawing of a layout: release 12 ASCII, layers "0",
// "SHEET", "PARTS", "HOLES" and "ANNOTATION", the used sheets side by side
// along x.

#include "dxf/annotations.hpp"
#include "engine/model.hpp"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace plv {

// A free text, written as a TEXT of height 12 on "ANNOTATION".
struct TextLabel {
    Point position;
    std::string text;
};

// Writes the layout to path (missing parent folders are created). units 1
// means inches, anything else millimetres. The file is written beside the
// target first and then renamed over it, so an existing drawing is replaced
// only by a complete one. Throws std::runtime_error when the file cannot be
// created or replaced ("Cannot write DXF: " + path) or a write fails ("DXF
// write failed: " + path); a folder that cannot be created throws the
// file-system error.
void write_dxf(const NestingResult& result, const std::filesystem::path& path, double sheet_gap,
               const std::vector<TextLabel>& labels, std::int32_t units, bool merge_common_lines,
               const std::vector<Annotation>& annotations);

}  // namespace plv
