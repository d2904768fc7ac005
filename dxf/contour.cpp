#include "dxf/contour.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <utility>

namespace plv {
namespace {

constexpr double kEps = 1e-7;

bool redundant(const geom::Point& a, const geom::Point& b, const geom::Point& c) {
    if (geom::point_distance(a, b) <= kEps) return true;
    const double cross = (b.y - a.y) * (c.x - a.x) - (b.x - a.x) * (c.y - a.y);
    return std::abs(cross) <= kEps && std::min(a.x, c.x) - kEps <= b.x && b.x <= std::max(a.x, c.x) + kEps &&
           std::min(a.y, c.y) - kEps <= b.y && b.y <= std::max(a.y, c.y) + kEps;
}

}  // namespace

// The removal rule restarts its scan from the front after every removal.
// Triples before the removed point are untouched by it (only the last point
// changes, to equal the first), so a single forward pass with a stack gives
// the same ring in linear time.
geom::Ring clean_ring(const geom::Ring& ring) {
    geom::Ring in = geom::close_ring(ring);
    const std::size_t n = in.size();
    if (n <= 4) return in;

    geom::Ring out;
    out.reserve(n);
    out.push_back(in[0]);
    out.push_back(in[1]);
    bool removed = false;
    for (std::size_t i = 2; i < n; ++i) {
        const bool is_last = i + 1 == n;
        // Points still to come, this one included.
        const std::size_t rest = n - i;
        while (out.size() >= 2 && out.size() + rest > 4) {
            // Once anything was removed, the last point equals the first.
            const geom::Point& c = (is_last && removed) ? in[0] : in[i];
            if (!redundant(out[out.size() - 2], out.back(), c)) break;
            out.pop_back();
            removed = true;
        }
        out.push_back((is_last && removed) ? in[0] : in[i]);
    }
    return out;
}

bool make_contour(const geom::Ring& ring, Contour& contour) {
    geom::Ring cleaned = clean_ring(ring);
    const double area = geom::ring_area(cleaned);
    if (!(area > 0.0)) return false;
    contour.ring = std::move(cleaned);
    contour.area = area;
    return true;
}

}  // namespace plv
