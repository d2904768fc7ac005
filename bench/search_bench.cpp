// Genetic search on a typical job, timed with 1 and with 8 threads.
//
//   build/<dir>/bench/search_bench [iterations]
//
// Prints one "search ..." line per thread count, then "scaling=R" (time with
// 1 thread / time with 8) and whether both runs found the same layout.

#include "engine/iterative_search.hpp"
#include "geometry/primitives.hpp"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

plv::Polygon closed(plv::Ring ring) {
    ring.push_back(ring.front());
    return plv::Polygon{std::move(ring), {}};
}

plv::Polygon rectangle(double w, double h) { return closed({{0, 0}, {w, 0}, {w, h}, {0, h}}); }

plv::Polygon l_shape(double w, double h, double t) {
    return closed({{0, 0}, {w, 0}, {w, t}, {t, t}, {t, h}, {0, h}});
}

plv::Polygon disc(double r, int sides) {
    plv::Ring ring;
    const double pi = 3.14159265358979323846;
    for (int i = 0; i < sides; ++i) {
        const double a = (2.0 * pi * i) / sides;
        ring.push_back({r + r * std::cos(a), r + r * std::sin(a)});
    }
    return closed(ring);
}

plv::Polygon with_square_hole(plv::Polygon p, double x, double y, double side) {
    p.holes.push_back({{x, y}, {x, y + side}, {x + side, y + side}, {x + side, y}, {x, y}});
    return p;
}

// About 50 distinct shop parts, 6 copies each: plates, angles, strips,
// flanges with holes, discs and gussets, 40 to 420 mm.
std::vector<plv::Part> typical_job() {
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
        p.quantity = 6;
        p.allow_rotation = i % 7 != 0;
        p.source = "bench";
        parts.push_back(std::move(p));
    }
    return parts;
}

struct Run {
    double seconds = 0.0;
    plv::IterativeNestingResult result;
};

Run run(const std::vector<plv::Part>& parts, int threads, int iterations) {
    plv::IterativeNestingOptions o;
    o.spacing = 5;
    o.population = 8;
    o.iterations = iterations;
    o.threads = threads;
    o.shuffle_percent = 20;
    const auto start = std::chrono::steady_clock::now();
    Run r;
    r.result = plv::nest_parts_iterative(plv::Sheet{3000, 1500}, parts, o);
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return r;
}

bool same_layout(const plv::NestingResult& a, const plv::NestingResult& b) {
    if (a.placements.size() != b.placements.size() || a.unplaced.size() != b.unplaced.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.placements.size(); ++i) {
        const auto& p = a.placements[i];
        const auto& q = b.placements[i];
        if (p.part_name != q.part_name || p.copy_number != q.copy_number ||
            p.sheet_index != q.sheet_index || p.x != q.x || p.y != q.y || p.angle != q.angle) {
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const int iterations = argc > 1 ? std::atoi(argv[1]) : 10;
    const std::vector<plv::Part> parts = typical_job();
    std::vector<Run> runs;
    for (int threads : {1, 8}) {
        runs.push_back(run(parts, threads, iterations));
        const Run& r = runs.back();
        std::printf("search job=typical threads=%d iterations=%d s_per_iteration=%.3f "
                    "best_sheets=%d best_occupied=%.1f\n",
                    threads, static_cast<int>(r.result.history.size()),
                    r.seconds / static_cast<double>(r.result.history.size()),
                    r.result.result.sheets_used(), r.result.result.occupied_area());
        std::fflush(stdout);
    }
    std::printf("scaling=%.2f\n", runs[0].seconds / runs[1].seconds);
    const bool same = same_layout(runs[0].result.result, runs[1].result.result);
    std::printf("identical_layouts=%s\n", same ? "yes" : "no");
    return same ? 0 : 1;
}
