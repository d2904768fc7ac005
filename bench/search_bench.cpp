// Genetic search on a typical job, timed with 1 and with 8 threads.
//
//   build/<dir>/bench/search_bench [iterations]
//
// Prints one "search ..." line per thread count, then "scaling=R" (time with
// 1 thread / time with 8) and whether both runs found the same layout.

#include "engine/iterative_search.hpp"
#include "typical_job.hpp"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

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
    const int iterations = argc > 1 ? std::atoi(argv[1]) : 10;
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
