#pragma once

// What a saved drawing holds: its entities per layer and type, read back
// with the DXF writer tests' own group reader.

#include <filesystem>
#include <map>
#include <string>

#include "tests/dxf/writer_support.hpp"

namespace window_test {

// Entity type -> count for the entities of `layer` in the ENTITIES section.
inline std::map<std::string, int> entities_on_layer(const std::filesystem::path& file, const std::string& layer) {
    std::map<std::string, int> counts;
    for (const writer_test::Entity& e : writer_test::entities_of(writer_test::read_file(file)))
        if (e.layer == layer) ++counts[e.type];
    return counts;
}

}  // namespace window_test
