// Genetic search on a typical job, timed with 1 and with 8 threads, and one
// search on a job of a million array copies with a few other parts.
//
//   build/<dir>/bench/search_bench [iterations | array_mix]
//
// Prints "array_mix ..." (time and peak memory of the array job, run first so
// that nothing before it raises the peak), one "search ..." line per thread
// count, then "scaling=R" (time with 1 thread / time with 8) and whether both
// runs found the same layout.

#include "engine/iterative_search.hpp"
#include "peak_memory.hpp"
#include "typical_job.hpp"

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// 1,000,000 copies of a small rectangle (array sheets) and 5 + 5 copies of
// two other parts placed into the space left.
std::vector<plv::Part> array_mix_job() {
    std::vector<plv::Part> parts;
    const auto add = [&](const char* name, plv::Polygon shape, int quantity) {
        plv::Part p;
        p.name = name;
        p.shape = geom::normalize_polygon(shape);
        p.quantity = quantity;
        p.allow_rotation = true;
        p.source = "bench";
        parts.push_back(std::move(p));
    };
    add("strip", bench::rectangle(20, 10), 1000000);
    add("angle", bench::l_shape(300, 200, 40), 5);
    add("flange", bench::with_square_hole(bench::rectangle(150, 150), 30, 30, 90), 5);
    return parts;
}

// FNV-1a over every placement's part, copy, sheet, position and angle: equal
// for equal layouts.
std::uint64_t layout_hash(const plv::NestingResult& result) {
    std::uint64_t h = 0xcbf29ce484222325ull;
    const auto mix = [&](const void* data, std::size_t size) {
        const auto* bytes = static_cast<const unsigned char*>(data);
        for (std::size_t i = 0; i < size; ++i) h = (h ^ bytes[i]) * 0x100000001b3ull;
    };
    for (const plv::Placement& p : result.placements) {
        mix(p.part_name.data(), p.part_name.size());
        mix(&p.copy_number, sizeof p.copy_number);
        mix(&p.sheet_index, sizeof p.sheet_index);
        mix(&p.x, sizeof p.x);
        mix(&p.y, sizeof p.y);
        mix(&p.angle, sizeof p.angle);
    }
    return h;
}

void array_mix() {
    const std::vector<plv::Part> parts = array_mix_job();
    int copies = 0;
    for (const plv::Part& p : parts) copies += p.quantity;
    plv::IterativeNestingOptions o;
    o.iterations = 1;
    const auto start = std::chrono::steady_clock::now();
    const plv::IterativeNestingResult r = plv::nest_parts_iterative(plv::Sheet{3000, 1500}, parts, o);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("array_mix copies=%d seconds=%.2f peak_mb=%.0f sheets=%d placed=%zu "
                "occupied=%.1f layout=%016llx\n",
                copies, seconds, bench::peak_mb(), r.result.sheets_used(), r.result.placements.size(),
                r.result.occupied_area(),
                static_cast<unsigned long long>(layout_hash(r.result)));
    std::fflush(stdout);
}

struct Run {
    double seconds = 0.0;
    plv::IterativeNestingResult result;
};

Run run(const std::vector<plv::Part>& parts, int threads, int iterations) {
    const plv::IterativeNestingOptions o = bench::typical_search_options(iterations, threads);
    const auto start = std::chrono::steady_clock::now();
    Run r;
    r.result = plv::nest_parts_iterative(bench::kTypicalSheet, parts, o);
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
    const std::string arg = argc > 1 ? argv[1] : "";
    array_mix();
    if (arg == "array_mix") return 0;
    const int iterations = arg.empty() ? 10 : std::atoi(arg.c_str());
    const std::vector<plv::Part> parts = bench::typical_job();
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
