// GPU route against the CPU placer on the same job, on the first device of
// the machine's OpenCL runtime (adopted past the graphics-device filter, so
// PoCL's CPU device counts: its numbers say nothing about a real GPU).
//
//   gpu_bench [copies per part, default 12]

#include "engine/cpu_placement.hpp"
#include "engine/gpu_placement.hpp"
#include "engine/iterative_search.hpp"
#include "engine/single_pass.hpp"
#include "geometry/primitives.hpp"
#include "gpu/gpu_accelerator.hpp"
#include "gpu/gpu_testing.hpp"
#include "typical_job.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double ms_since(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

plv::Ring rect(double w, double h) { return {{0, 0}, {w, 0}, {w, h}, {0, h}, {0, 0}}; }

plv::Ring disc(int n, double d) {
    plv::Ring ring;
    for (int i = 0; i < n; ++i) {
        const double a = 2.0 * 3.14159265358979323846 * i / n;
        ring.push_back({d / 2 + d / 2 * std::cos(a), d / 2 + d / 2 * std::sin(a)});
    }
    ring.push_back(ring.front());
    return geom::normalize_polygon(plv::Polygon{ring, {}}).outer;
}

plv::Part part(const char* name, plv::Polygon shape, int quantity) {
    plv::Part p;
    p.name = name;
    p.shape = std::move(shape);
    p.quantity = quantity;
    p.source = "editor";
    return p;
}

std::vector<plv::Part> job(int copies) {
    plv::Ring hole = rect(220, 120);
    for (plv::Point& p : hole) p = {p.x + 40, p.y + 40};
    return {
        part("frame", plv::Polygon{rect(300, 200), {hole}}, copies / 3 + 1),
        part("disc", plv::Polygon{disc(64, 90), {}}, copies),
        part("ell", plv::Polygon{{{0, 0}, {120, 0}, {120, 40}, {40, 40}, {40, 100}, {0, 100}, {0, 0}}, {}},
             copies),
        part("gear", plv::Polygon{disc(96, 140), {}}, copies),
        part("tab", plv::Polygon{rect(50, 30), {}}, copies),
    };
}

}  // namespace

int main(int argc, char** argv) {
    const int copies = argc > 1 ? std::max(1, std::atoi(argv[1])) : 12;
    if (!plv::gpu_testing::adopt_first_device()) {
        std::printf("no OpenCL device to adopt: nothing to compare\n");
        return 0;
    }
    const std::string device = plv::GpuAccelerator::instance().device_name(0);
    const plv::Sheet sheet{3000, 1500};
    plv::IterativeNestingOptions options;
    options.compact = false;

    // The whole job, once per solver.
    std::size_t placed[2] = {0, 0};
    double ms[2] = {0, 0};
    for (int i = 0; i < 2; ++i) {
        options.solver = i == 0 ? plv::Solver::cpu : plv::Solver::gpu;
        const auto start = Clock::now();
        const plv::NestingResult r = plv::nest_parts(sheet, job(copies), options);
        ms[i] = ms_since(start);
        placed[i] = r.placements.size();
    }
    std::printf("device: %s\n", device.c_str());
    std::printf("job of %d copies per part, sheet 3000 x 1500, spacing 5, 4 rotations\n", copies);
    std::printf("  cpu placer:               %10.1f ms  (%zu placed)\n", ms[0], placed[0]);
    std::printf("  gpu route:                %10.1f ms  (%zu placed)\n", ms[1], placed[1]);

    // One copy against the full sheet of the job, repeated.
    options.solver = plv::Solver::cpu;
    const std::vector<plv::Part> parts = job(copies);
    const plv::NestingResult full = plv::nest_parts(sheet, parts, options);
    std::vector<plv::Placement> sheet0;
    for (const plv::Placement& p : full.placements) {
        if (p.sheet_index == 0) sheet0.push_back(p);
    }
    const plv::NestingItem item{&parts[3], 1, false, 0.0};
    const int rounds = 5;
    double one[2] = {0, 0};
    for (int i = 0; i < 2; ++i) {
        const auto start = Clock::now();
        for (int k = 0; k < rounds; ++k) {
            plv::Placement out;
            if (i == 0) {
                plv::place_item_cpu(sheet, item, sheet0, 0, options, out);
            } else {
                plv::place_item_gpu(sheet, item, sheet0, 0, options, out, 0);
            }
        }
        one[i] = ms_since(start) / rounds;
    }
    std::printf("one gear copy on a sheet of %zu placements:\n", sheet0.size());
    std::printf("  place_item_cpu:           %10.2f ms\n", one[0]);
    std::printf("  place_item_gpu:           %10.2f ms\n", one[1]);

    // Array sheets of 100000 small strips, and 10 copies of two other parts
    // placed by the route among them, on sheets of thousands of placements.
    std::vector<plv::Part> arrays;
    arrays.push_back(part("strip", geom::normalize_polygon(bench::rectangle(20, 10)), 100000));
    arrays.push_back(part("angle", geom::normalize_polygon(bench::l_shape(300, 200, 40)), 5));
    arrays.push_back(part(
        "flange", geom::normalize_polygon(bench::with_square_hole(bench::rectangle(150, 150), 30, 30, 90)),
        5));
    plv::IterativeNestingOptions search;
    search.iterations = 1;
    search.solver = plv::Solver::gpu;
    const auto start = Clock::now();
    const plv::IterativeNestingResult r = plv::nest_parts_iterative(sheet, arrays, search);
    std::printf("array job of 100000 strips and 10 other copies, gpu solver: %8.1f ms  (%zu placed)\n",
                ms_since(start), r.result.placements.size());
    plv::GpuAccelerator::instance().release();
    return 0;
}
