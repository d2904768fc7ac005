#pragma once

// Expansion of chosen files and folders into the sorted list of DXF files.

#include <filesystem>
#include <vector>

namespace plv {

// Folders are walked with all their subfolders; a file input must be a
// regular file with a .dxf extension, else std::runtime_error
// "DXF input not found: <path>". File-system errors pass through unchanged.
// The result is sorted by path order (element by element, case-sensitive)
// and keeps duplicates.
std::vector<std::filesystem::path> collect_dxf_files(const std::vector<std::filesystem::path>& inputs);

// True when the file name's last extension is ".dxf" in any letter case.
bool has_dxf_extension(const std::filesystem::path& path);

}  // namespace plv
