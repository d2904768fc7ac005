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
// the same ring in linear time. The stack lives in the front of the ring
// itself: it never holds more points than have been read.
geom::Ring clean_ring(geom::Ring ring) {
    ring = geom::close_ring(std::move(ring));
    const std::size_t n = ring.size();
    if (n <= 4) return ring;

    // ring[0, kept) is the stack; ring[0] is never removed or overwritten.
    std::size_t kept = 2;
    bool removed = false;
    for (std::size_t i = 2; i < n; ++i) {
        const bool is_last = i + 1 == n;
        const geom::Point here = ring[i];
        // Points still to come, this one included.
        const std::size_t rest = n - i;
        while (kept >= 2 && kept + rest > 4) {
            // Once anything was removed, the last point equals the first.
            const geom::Point& c = (is_last && removed) ? ring[0] : here;
            if (!redundant(ring[kept - 2], ring[kept - 1], c)) break;
            --kept;
            removed = true;
        }
        ring[kept++] = (is_last && removed) ? ring[0] : here;
    }
    ring.resize(kept);
    return ring;
}

double contour_area(const geom::Ring& ring) {
    const double area = geom::ring_area(ring);
    const std::size_t n = ring.size();
    if (n < 3) return area;
    // Each product of the sum is rounded, and so is every addition: the sum
    // is off by at most (n + 1) half-ulps of the sum of the products' sizes.
    double size = 0.0;
    for (std::size_t i = 0; i + 1 < n; ++i) {
        size += std::abs(ring[i].x * ring[i + 1].y) + std::abs(ring[i + 1].x * ring[i].y);
    }
    size += std::abs(ring[n - 1].x * ring[0].y) + std::abs(ring[0].x * ring[n - 1].y);
    const double bound = static_cast<double>(n + 1) * 0x1p-53 * size;
    if (bound <= 0x1p-10 * 2.0 * area) return area;
    // The differences from a point of the ring's own box are exact, as long
    // as the ring's size is small beside its distance from the origin.
    const geom::BoundingBox box = geom::ring_bounds(ring);
    geom::Ring near_origin(ring);
    for (geom::Point& p : near_origin) {
        p.x -= box.min_x;
        p.y -= box.min_y;
    }
    const double near_area = geom::ring_area(near_origin);
    // The bound is the worst case; where the area itself agrees, it stands.
    return std::abs(area - near_area) <= 0x1p-10 * near_area ? area : near_area;
}

bool make_contour(geom::Ring ring, Contour& contour) {
    geom::Ring cleaned = clean_ring(std::move(ring));
    const double area = contour_area(cleaned);
    if (!(area > 0.0)) return false;
    contour.ring = std::move(cleaned);
    contour.area = area;
    return true;
}

}  // namespace plv
