#pragma once

#include <cstdint>

namespace plv {

// Settings of one DXF load.
struct DxfImportSettings {
    std::int32_t quantity = 1;      // written into every part the load creates
    double curve_tolerance = 2.0;   // target chord length for arcs, circles, splines (drawing units)
    double join_tolerance = 0.2;    // largest end-point distance at which open chains are joined
    double min_area = 1.0;          // parts with a smaller net area are dropped
};

}  // namespace plv
