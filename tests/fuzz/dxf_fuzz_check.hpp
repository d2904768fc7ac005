#pragma once

// What the fuzz target runs on every input, shared with the unit test that
// replays inputs the fuzzer once found: read the text as a DXF file, build
// its parts under two sets of settings, and check what every part must be.
// Returns an empty string when all holds, else what failed. A refusal (over
// max_points, or a part too far out, with the error naming the file) is a
// clean outcome.

#include "dxf/dxf_reader.hpp"
#include "dxf/part_builder.hpp"
#include "geometry/predicates.hpp"

#include <cmath>
#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace plv::fuzz {

inline std::string check_dxf_input(std::string_view text, std::size_t max_points = kMaxDxfPoints) {
    DxfImportSettings fine;
    fine.curve_tolerance = 0.01;
    fine.join_tolerance = 5.0;
    fine.min_area = 0.0;
    for (const DxfImportSettings& settings : {DxfImportSettings{}, fine}) {
        DxfFileGeometry geometry;
        try {
            geometry = read_dxf_text(text, settings, max_points);
        } catch (const DxfTooLarge&) {
            // Refused before its points were made; a file load adds the path.
            continue;
        }
        for (const auto& chain : geometry.open_chains) {
            if (chain.size() < 2) return "open chain with fewer than two points";
            if (chain.size() > 901) return "open chain with more than 901 points";
        }
        std::vector<Part> parts;
        try {
            parts = parts_from_geometry(std::move(geometry), "fuzz.dxf", settings);
        } catch (const std::runtime_error& e) {
            const std::string what = e.what();
            if (what.size() >= 8 && what.compare(what.size() - 8, 8, "fuzz.dxf") == 0) continue;
            throw;
        }
        for (const Part& part : parts) {
            if (part.shape.outer.size() < 3) return "part outline with fewer than three points";
            if (!(part.shape.net_area() >= settings.min_area)) return "part below the minimum area";
            for (const auto* ring : geom::polygon_rings(part.shape)) {
                for (const auto& p : *ring) {
                    if (!std::isfinite(p.x) || !std::isfinite(p.y)) return "coordinate not finite";
                }
            }
            const auto box = geom::ring_bounds(part.shape.outer);
            if (box.min_x != 0.0 || box.min_y != 0.0) return "part not moved to the origin";
        }
    }
    return {};
}

}  // namespace plv::fuzz
