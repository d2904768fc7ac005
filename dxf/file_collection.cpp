#include "dxf/file_collection.hpp"

#include "dxf/paths.hpp"
#include "engine/deterministic.hpp"

#include <stdexcept>
#include <string>

namespace fs = std::filesystem;

namespace plv {

bool has_dxf_extension(const fs::path& path) {
    // The text from the last dot of the file name, compared on the native
    // string: only ASCII letters can match, so no narrow conversion is
    // needed (and none can fail on a Windows name).
    const fs::path::string_type name = path.filename().native();
    const auto dot = name.rfind(static_cast<fs::path::value_type>('.'));
    if (dot == fs::path::string_type::npos || name.size() - dot != 4) return false;
    static constexpr char kWanted[] = ".dxf";
    for (std::size_t i = 0; i < 4; ++i) {
        auto c = name[dot + i];
        if (c >= 'A' && c <= 'Z') c = static_cast<fs::path::value_type>(c - 'A' + 'a');
        if (c != static_cast<fs::path::value_type>(kWanted[i])) return false;
    }
    return true;
}

std::vector<fs::path> collect_dxf_files(const std::vector<fs::path>& inputs) {
    std::vector<fs::path> files;
    for (const fs::path& input : inputs) {
        if (fs::is_directory(fs::status(input))) {
            for (const fs::directory_entry& entry : fs::recursive_directory_iterator(input)) {
                if (entry.is_regular_file() && has_dxf_extension(entry.path())) {
                    files.push_back(entry.path());
                }
            }
            continue;
        }
        if (!fs::is_regular_file(fs::status(input)) || !has_dxf_extension(input)) {
            throw std::runtime_error("DXF input not found: " + path_to_utf8(input));
        }
        files.push_back(input);
    }
    merge_sort(files, [](const fs::path& a, const fs::path& b) { return a < b; });
    return files;
}

}  // namespace plv
