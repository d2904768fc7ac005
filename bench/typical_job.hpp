#pragma once

// The typical job of the search benchmarks: about 50 distinct shop parts, 6
// copies each, on 3000 x 1500 sheets, and the search settings they run with.

#include "engine/model.hpp"
#include "geometry/primitives.hpp"

#include <cmath>
#include <string>
#include <vector>

namespace bench {

inline plv::Polygon closed(plv::Ring ring) {
    ring.push_back(ring.front());
    return plv::Polygon{std::move(ring), {}};
}

inline plv::Polygon rectangle(double w, double h) { return closed({{0, 0}, {w, 0}, {w, h}, {0, h}}); }

inline plv::Polygon l_shape(double w, double h, double t) {
    return closed({{0, 0}, {w, 0}, {w, t}, {t, t}, {t, h}, {0, h}});
}

inline plv::Polygon disc(double r, int sides) {
    plv::Ring ring;
    const double pi = 3.14159265358979323846;
    for (int i = 0; i < sides; ++i) {
        const double a = (2.0 * pi * i) / sides;
        ring.push_back({r + r * std::cos(a), r + r * std::sin(a)});
    }
    return closed(ring);
}

inline plv::Polygon with_square_hole(plv::Polygon p, double x, double y, double side) {
    p.holes.push_back({{x, y}, {x, y + side}, {x + side, y + side}, {x + side, y}, {x, y}});
    return p;
}

// About 50 distinct shop parts, 6 copies each unless told: plates, angles,
// strips, flanges with holes, discs and gussets, 40 to 420 mm.
inline std::vector<plv::Part> typical_job(int copies = 6) {
    std::vector<plv::Part> parts;
    for (int i = 0; i < 50; ++i) {
        const double a = 60.0 + (i * 37) % 360;
        const double b = 40.0 + (i * 53) % 200;
        plv::Polygon shape;
        switch (i % 5) {
            case 0: shape = rectangle(a, b); break;
            case 1: shape = l_shape(a, b + 40, 25 + i % 20); break;
            case 2: shape = rectangle(a + 60, 30 + i % 25); break;
            case 3: shape = with_square_hole(rectangle(b + 60, b + 60), 20, 20, b + 10); break;
            default: shape = disc(20 + b / 3, 24); break;
        }
        plv::Part p;
        p.name = "part" + std::to_string(i);
        p.shape = geom::normalize_polygon(shape);
        p.quantity = copies;
        p.allow_rotation = i % 7 != 0;
        p.source = "bench";
        parts.push_back(std::move(p));
    }
    return parts;
}

inline const plv::Sheet kTypicalSheet{3000, 1500};

// Spacing 5, population 8, shuffles on 20 % of the candidates.
inline plv::IterativeNestingOptions typical_search_options(int iterations, int threads) {
    plv::IterativeNestingOptions o;
    o.spacing = 5;
    o.population = 8;
    o.iterations = iterations;
    o.threads = threads;
    o.shuffle_percent = 20;
    return o;
}

}  // namespace bench
