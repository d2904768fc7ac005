#pragma once

// The user's drawing items written as plain DXF entities on layer
// "ANNOTATION". Dimensions are drawn out of LINEs and one TEXT so that every
// program shows them the same way.

#include "geometry/primitives.hpp"

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace plv {

// Plain values: a kind outside these writes nothing.
namespace AnnotationKind {
inline constexpr std::uint32_t line = 0;
inline constexpr std::uint32_t rectangle = 1;
inline constexpr std::uint32_t circle = 2;
inline constexpr std::uint32_t dimension = 3;
inline constexpr std::uint32_t text = 4;
inline constexpr std::uint32_t arc = 5;
inline constexpr std::uint32_t polyline = 6;
}  // namespace AnnotationKind

struct Annotation {
    std::uint32_t kind = AnnotationKind::line;
    geom::Point p0;
    geom::Point p1;
    geom::Point p2;  // (0, 0) when the item has none
    std::string text;
    std::vector<geom::Point> points;  // polyline vertices only
};

// The entities of one item; degenerate or non-finite pieces are skipped.
void write_annotation(std::ostream& out, const Annotation& annotation);

}  // namespace plv
