#pragma once

// The one place where text and file-system paths meet. Paths travel through
// the program as UTF-8 strings; on Windows the native path is wide, and a
// plain std::string would be taken as the ANSI code page there.

#include <filesystem>
#include <string>
#include <string_view>

namespace plv {

std::filesystem::path path_from_utf8(std::string_view text);
std::string path_to_utf8(const std::filesystem::path& path);

}  // namespace plv
