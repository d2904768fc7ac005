#pragma once

// From the chains and contours of a DXF file to the engine's parts: chains
// are joined end to end and closed, outlines are sorted into outers and
// holes, and every outer becomes one part named after the file.

#include "dxf/contour.hpp"
#include "dxf/dxf_reader.hpp"
#include "dxf/import_settings.hpp"
#include "engine/model.hpp"

#include <cstddef>
#include <filesystem>
#include <vector>

namespace plv {

struct OuterWithHoles {
    geom::Ring outer;
    double area = 0.0;
    std::vector<Contour> holes;
};

// Joins the open chains end to end (within max(join_tolerance, 0.001)) and
// returns the outlines that close, in the order they were closed. When
// lookup_steps is given it receives the number of chain ends and boxes of
// ends that the look-ups examined: the work of the joining, for tests.
std::vector<Contour> join_chains(const std::vector<geom::Ring>& chains, double join_tolerance,
                                 std::size_t* lookup_steps = nullptr);

// Sorts the contours by area (largest first, equal areas in list order) and
// gives every contour without a parent its holes: all contours below it at
// any depth. Contours whose area is not finite are dropped. The rings are
// moved into the result, not copied. When boxes_tested is given it receives
// the number of candidate parents whose box was tested: the work of the
// search, for tests.
std::vector<OuterWithHoles> classify_contours(std::vector<Contour> contours, std::size_t* boxes_tested = nullptr);

// Parts of one file: cleaned, moved to the origin, named after the file's
// stem ("stem", or "stem-1", "stem-2"... when the file has several outers).
// Throws std::runtime_error "DXF part too far from the origin for its size:
// <path>" when a part lies so far out that its coordinates cannot describe it.
std::vector<Part> build_parts(std::vector<OuterWithHoles> outers, const std::filesystem::path& file,
                              const DxfImportSettings& settings);

// The whole chain for one file's geometry; a geometry moved in is consumed
// without copying its points.
std::vector<Part> parts_from_geometry(DxfFileGeometry geometry, const std::filesystem::path& file,
                                      const DxfImportSettings& settings);

// Expands the inputs into DXF files, reads each and returns all their parts
// in file order. Any error ("DXF input not found: ", "Cannot open DXF: ",
// "DXF too large ...: ", "Out of memory reading DXF: ", "DXF part too far
// from the origin for its size: ", a file-system error) ends the call with no
// parts.
std::vector<Part> load_dxf_parts(const std::vector<std::filesystem::path>& inputs,
                                 const DxfImportSettings& settings);

}  // namespace plv
