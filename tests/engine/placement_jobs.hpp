#pragma once

// Seeded random placement jobs: rectangles, L shapes, star-shaped outlines
// with and without holes, and curved outlines of many points. Draws go
// through the engine's own uniform draws, so both builds make the same jobs.

#include "engine/deterministic.hpp"
#include "engine/model.hpp"
#include "geometry/primitives.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace plv::testing {

inline double draw(std::mt19937& g, double lo, double hi) { return uniform_real(g, lo, hi); }
inline int draw_int(std::mt19937& g, int lo, int hi) {
    return static_cast<int>(uniform_int(g, lo, hi));
}

inline Ring closed(Ring r) {
    r.push_back(r.front());
    return r;
}

inline Ring rectangle_ring(double x, double y, double w, double h) {
    return closed({{x, y}, {x + w, y}, {x + w, y + h}, {x, y + h}});
}

inline Polygon rectangle(double w, double h) { return Polygon{rectangle_ring(0, 0, w, h), {}}; }

// A placed copy of shape moved by (x, y).
inline Placement placed_at(const Polygon& shape, double x, double y, std::int32_t sheet = 0,
                           const std::string& name = "placed") {
    Placement p;
    p.part_name = name;
    p.shape = geom::translate_polygon(shape, x, y);
    p.sheet_index = sheet;
    p.x = x;
    p.y = y;
    p.net_area = shape.net_area();
    return p;
}

inline Polygon l_shape(double w, double h, double tw, double th) {
    return Polygon{closed({{0, 0}, {w, 0}, {w, th}, {tw, th}, {tw, h}, {0, h}}), {}};
}

// Star-shaped ring around (cx, cy): radii in [rmin, rmax], angles rising, so
// it never crosses itself.
inline Ring star_ring(std::mt19937& g, double cx, double cy, int n, double rmin, double rmax,
                      bool close) {
    Ring r;
    const double pi = 3.141592653589793;
    for (int i = 0; i < n; ++i) {
        const double a = (i + draw(g, 0.1, 0.9)) * 2 * pi / n;
        const double rad = draw(g, rmin, rmax);
        r.push_back({cx + rad * std::cos(a), cy + rad * std::sin(a)});
    }
    if (close) r.push_back(r.front());
    return r;
}

// A smooth closed outline of n points (n >= 60): an ellipse with a wave.
inline Ring curved_ring(std::mt19937& g, double rx, double ry, int n) {
    Ring r;
    const double pi = 3.141592653589793;
    const double wave = draw(g, 0.0, 0.15);
    const int lobes = draw_int(g, 2, 5);
    for (int i = 0; i < n; ++i) {
        const double a = i * 2 * pi / n;
        const double f = 1.0 + wave * std::sin(lobes * a);
        r.push_back({rx + rx * f * std::cos(a), ry + ry * f * std::sin(a)});
    }
    r.push_back(r.front());
    return r;
}

// One random part of about `size` millimetres.
inline Part random_part(std::mt19937& g, double size, int index, bool curved_allowed) {
    Part part;
    part.name = "part" + std::to_string(index);
    part.source = "job/part" + std::to_string(index) + ".dxf";
    part.allow_rotation = draw_int(g, 0, 5) != 0;
    const int kind = draw_int(g, 0, curved_allowed ? 5 : 4);
    const double w = size * draw(g, 0.5, 1.5);
    const double h = size * draw(g, 0.3, 1.0);
    switch (kind) {
        case 0:
            part.shape = rectangle(w, h);
            break;
        case 1:
            part.shape = l_shape(w, h, w * draw(g, 0.2, 0.6), h * draw(g, 0.2, 0.6));
            break;
        case 2:
        case 3: {
            const double r = size * 0.5;
            part.shape.outer = star_ring(g, r, r, draw_int(g, 5, 14), r * 0.55, r, kind == 2);
            if (draw_int(g, 0, 1) == 1) {
                part.shape.holes.push_back(
                    star_ring(g, r, r, draw_int(g, 3, 8), r * 0.1, r * 0.45, kind == 3));
            }
            break;
        }
        case 4: {
            // A frame: a rectangle with a large rectangular hole.
            const double t = std::min(w, h) * draw(g, 0.1, 0.25);
            part.shape = rectangle(w * 1.6, h * 1.6);
            part.shape.holes.push_back(rectangle_ring(t, t, w * 1.6 - 2 * t, h * 1.6 - 2 * t));
            break;
        }
        default: {
            part.shape.outer = curved_ring(g, w * 0.5, h * 0.5, draw_int(g, 60, 90));
            if (draw_int(g, 0, 2) == 0) {
                part.shape.holes.push_back(
                    star_ring(g, w * 0.5, h * 0.5, 8, std::min(w, h) * 0.1, std::min(w, h) * 0.2, true));
            }
            break;
        }
    }
    part.shape = geom::normalize_polygon(part.shape);
    return part;
}

inline bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

inline bool same_rings(const plv::Ring& a, const plv::Ring& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (!same_bits(a[i].x, b[i].x) || !same_bits(a[i].y, b[i].y)) return false;
    }
    return true;
}

// Empty when both layouts are the same placement for placement, bit for bit.
inline std::string layout_difference(const plv::NestingResult& a, const plv::NestingResult& b) {
    std::ostringstream out;
    if (a.placements.size() != b.placements.size()) {
        out << "placements " << a.placements.size() << " vs " << b.placements.size() << "; ";
    }
    if (a.unplaced.size() != b.unplaced.size()) {
        out << "unplaced " << a.unplaced.size() << " vs " << b.unplaced.size() << "; ";
    }
    const std::size_t n = std::min(a.placements.size(), b.placements.size());
    for (std::size_t i = 0; i < n && out.tellp() == 0; ++i) {
        const Placement& p = a.placements[i];
        const Placement& q = b.placements[i];
        bool same = p.part_name == q.part_name && p.source == q.source &&
                    p.sheet_index == q.sheet_index && p.copy_number == q.copy_number &&
                    same_bits(p.x, q.x) && same_bits(p.y, q.y) && same_bits(p.angle, q.angle) &&
                    same_bits(p.net_area, q.net_area) && same_rings(p.shape.outer, q.shape.outer) &&
                    p.shape.holes.size() == q.shape.holes.size();
        for (std::size_t h = 0; same && h < p.shape.holes.size(); ++h) {
            same = same_rings(p.shape.holes[h], q.shape.holes[h]);
        }
        if (!same) {
            out << "placement " << i << ": " << p.part_name << "#" << p.copy_number << " sheet "
                << p.sheet_index << " at (" << p.x << ", " << p.y << ") angle " << p.angle
                << " vs " << q.part_name << "#" << q.copy_number << " sheet " << q.sheet_index
                << " at (" << q.x << ", " << q.y << ") angle " << q.angle;
        }
    }
    for (std::size_t i = 0; i < std::min(a.unplaced.size(), b.unplaced.size()); ++i) {
        if (a.unplaced[i].name != b.unplaced[i].name) out << "unplaced " << i << " differs; ";
    }
    return out.str();
}

struct PlacementJob {
    std::string name;
    Sheet sheet;
    std::vector<Part> parts;  // items point into this list: do not copy the job
    std::vector<NestingItem> items;
    IterativeNestingOptions options;
    std::vector<std::vector<Placement>> prefilled;

    PlacementJob() = default;
    PlacementJob(const PlacementJob&) = delete;
    PlacementJob& operator=(const PlacementJob&) = delete;
};

// Items of every part, in random order or largest first, a few with a
// fixed rotation.
inline void add_items(PlacementJob& job, std::mt19937& g, bool largest_first) {
    job.items = expand_items(job.parts);
    if (largest_first) {
        merge_sort(job.items, [](const NestingItem& a, const NestingItem& b) {
            return part_net_area(*a.part) > part_net_area(*b.part);
        });
    } else {
        shuffle(job.items, g);
    }
    for (NestingItem& item : job.items) {
        if (item.part->allow_rotation && draw_int(g, 0, 9) == 0) {
            item.rotation_fixed = true;
            item.fixed_angle = job.options.rotations[static_cast<std::size_t>(
                draw_int(g, 0, static_cast<int>(job.options.rotations.size()) - 1))];
        }
    }
}

// A small job for the differential test.
inline void make_small_job(PlacementJob& job, std::uint32_t seed) {
    std::mt19937 g(seed);
    job.name = "seed" + std::to_string(seed);
    job.sheet = Sheet{draw(g, 200, 360), draw(g, 150, 260)};
    const int kinds = draw_int(g, 1, 5);
    for (int i = 0; i < kinds; ++i) {
        job.parts.push_back(random_part(g, draw(g, 30, 100), i, i == 0 || draw_int(g, 0, 2) == 0));
        job.parts.back().quantity = draw_int(g, 1, 8);
    }
    IterativeNestingOptions& o = job.options;
    o.spacing = draw_int(g, 0, 1) == 0 ? 0.0 : 5.0;
    o.optimization = draw_int(g, 0, 1);
    o.opt_ratio = draw(g, -0.2, 1.2);
    o.top_k = draw_int(g, 0, 10);
    o.position_seed = draw_int(g, -5, 1000);
    o.extra_positions = draw_int(g, 0, 4) != 0;
    o.compact = draw_int(g, 0, 1) == 1;
    o.max_sheets = draw_int(g, 1, 4);
    const int rot = draw_int(g, 0, 3);
    if (rot == 0) o.rotations = {0};
    if (rot == 1) o.rotations = {0, 90};
    if (rot == 2) o.rotations = {0, 90, 180, 270};
    if (rot == 3) o.rotations = {0, 45, 180};
    add_items(job, g, draw_int(g, 0, 1) == 0);
}

// A benchmark job of about `copies` copies of mixed parts on 3000 x 1500
// sheets, spacing 5, rotations 0/90/180/270.
inline void make_bench_job(PlacementJob& job, const std::string& name, int copies,
                           std::uint32_t seed) {
    std::mt19937 g(seed);
    job.name = name;
    job.sheet = Sheet{3000, 1500};
    const int kinds = std::max(4, copies / 12);
    int left = copies;
    for (int i = 0; i < kinds && left > 0; ++i) {
        Part p;
        switch (i % 4) {
            case 0:
                p.shape = rectangle(draw(g, 120, 400), draw(g, 60, 250));
                break;
            case 1:
                p.shape = l_shape(draw(g, 150, 350), draw(g, 150, 300), draw(g, 50, 120),
                                  draw(g, 50, 120));
                break;
            case 2: {
                const double w = draw(g, 150, 350);
                const double h = draw(g, 120, 250);
                const double t = draw(g, 25, 45);
                p.shape = rectangle(w, h);
                p.shape.holes.push_back(rectangle_ring(t, t, w - 2 * t, h - 2 * t));
                break;
            }
            default:
                p.shape.outer =
                    curved_ring(g, draw(g, 60, 160), draw(g, 50, 120), draw_int(g, 60, 96));
                break;
        }
        p.name = "part" + std::to_string(i);
        p.source = "bench/part" + std::to_string(i) + ".dxf";
        p.shape = geom::normalize_polygon(p.shape);
        p.quantity = i + 1 == kinds ? left : std::min(left, draw_int(g, 1, 2 * copies / kinds));
        left -= p.quantity;
        job.parts.push_back(p);
    }
    job.options = IterativeNestingOptions{};
    job.options.spacing = 5.0;
    job.options.rotations = {0, 90, 180, 270};
    add_items(job, g, true);
    for (NestingItem& item : job.items) item.rotation_fixed = false;
}

}  // namespace plv::testing
