#include "dxf/paths.hpp"

namespace plv {

std::filesystem::path path_from_utf8(std::string_view text) {
#ifdef _WIN32
    return std::filesystem::u8path(text.begin(), text.end());
#else
    // POSIX paths are byte strings; UTF-8 passes through unchanged.
    return std::filesystem::path(std::string(text));
#endif
}

std::string path_to_utf8(const std::filesystem::path& path) {
#ifdef _WIN32
    const std::u8string u8 = path.u8string();
    return std::string(u8.begin(), u8.end());
#else
    return path.native();
#endif
}

}  // namespace plv
