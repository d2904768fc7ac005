#pragma once

// Small jobs shared by the search tests.

#include "engine/model.hpp"
#include "geometry/primitives.hpp"

#include <string>
#include <vector>

namespace search_test {

inline plv::Polygon rectangle(double w, double h) {
    return plv::Polygon{{{0, 0}, {w, 0}, {w, h}, {0, h}, {0, 0}}, {}};
}

inline plv::Part part(const std::string& name, plv::Polygon shape, int quantity,
                      bool allow_rotation = true) {
    plv::Part p;
    p.name = name;
    p.shape = geom::normalize_polygon(shape);
    p.quantity = quantity;
    p.allow_rotation = allow_rotation;
    p.source = "/jobs/" + name + ".dxf";
    return p;
}

inline plv::Part rect_part(const std::string& name, double w, double h, int quantity,
                           bool allow_rotation = true) {
    return part(name, rectangle(w, h), quantity, allow_rotation);
}

// An L-shaped outline, w x h, with arms of the given thickness.
inline plv::Polygon l_shape(double w, double h, double t) {
    return plv::Polygon{{{0, 0}, {w, 0}, {w, t}, {t, t}, {t, h}, {0, h}, {0, 0}}, {}};
}

// A frame with a square hole.
inline plv::Polygon frame(double side, double wall) {
    plv::Polygon p = rectangle(side, side);
    const double a = wall;
    const double b = side - wall;
    p.holes.push_back({{a, a}, {a, b}, {b, b}, {b, a}, {a, a}});
    return p;
}

// A handful of distinct parts, `copies` each, with distinct net areas.
inline std::vector<plv::Part> mixed_job(int copies) {
    return {
        rect_part("plate", 180, 120, copies),
        part("angle", l_shape(150, 110, 30), copies),
        rect_part("strip", 260, 40, copies),
        part("frame", frame(130, 25), copies),
        rect_part("tab", 70, 55, copies, false),
    };
}

inline std::vector<plv::NestingItem> items_of(const std::vector<plv::Part>& parts) {
    return plv::expand_items(parts);
}

}  // namespace search_test
