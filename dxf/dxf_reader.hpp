#pragma once

// Reading one ASCII DXF file into open point chains and closed contours.
// LINE, ARC and SPLINE become open chains; CIRCLE and closed LWPOLYLINE
// become contours, the polyline's bulged segments flattened like arcs.
// Everything else is passed over; bad pairs and bad entities are dropped
// without a message. Lack of memory (std::bad_alloc) is never taken for a
// bad entity: it ends the read.

#include "dxf/contour.hpp"
#include "dxf/import_settings.hpp"
#include "geometry/primitives.hpp"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace plv {

// One group of the file: code line and trimmed value line.
struct DxfPair {
    std::int32_t code = 0;
    std::string value;
};

// What one file yields, each list in the order of the entities in the file.
struct DxfFileGeometry {
    std::vector<geom::Ring> open_chains;  // at least two points each, not closed
    std::vector<Contour> contours;
};

// Effective spline degrees above this are dropped as bad entities: no CAD
// program writes them, and the evaluation work grows with the square of the
// degree for each of up to 901 samples.
inline constexpr std::int32_t kMaxSplineDegree = 25;

// Most points the entities of one file may flatten to (about 320 MB of
// points, a drawing of some 400 MB of ordinary outlines): a file beyond is
// refused before its points are made, rather than run the machine out of
// memory.
inline constexpr std::size_t kMaxDxfPoints = 20'000'000;

// The refusal of a file whose entities flatten to more than the limit.
class DxfTooLarge : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Without leading and trailing blanks, tabs, carriage returns and line feeds.
std::string trim(std::string_view text);
// Standard decimal conversions after trim; characters after the number are
// ignored. Throw std::invalid_argument or std::out_of_range when there is no
// number or it is out of range. parse_double also rejects values that are not
// finite ("inf", "nan"): they are never geometry.
std::int32_t parse_int(std::string_view text);
double parse_double(std::string_view text);

// All pairs of a DXF text, taken two lines at a time from the start; a pair
// whose code line is not an integer is dropped.
std::vector<DxfPair> parse_dxf_pairs(std::string_view text);

// Point of the B-spline at t (de Boor, with clamped blending factors).
// Knot lists shorter than n + p + 1 are replaced by clamped uniform knots.
geom::Point evaluate_bspline(double t, const std::vector<geom::Point>& control_points,
                             const std::vector<double>& knots, std::int32_t degree);

// Throws DxfTooLarge "DXF too large (over <max_points> points)" when the
// entities flatten to more points than max_points.
DxfFileGeometry read_dxf_text(std::string_view text, const DxfImportSettings& settings,
                              std::size_t max_points = kMaxDxfPoints);
// Throws std::runtime_error "Cannot open DXF: <path>" when the file cannot be
// opened, and DxfTooLarge with ": <path>" added when it is refused; a read
// error part way ends reading with what was read.
DxfFileGeometry read_dxf_file(const std::filesystem::path& path, const DxfImportSettings& settings);

}  // namespace plv
