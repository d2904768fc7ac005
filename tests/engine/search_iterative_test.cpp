#include "engine/iterative_search.hpp"
#include "engine/perf_log.hpp"
#include "engine/positions.hpp"
#include "engine/search_detail.hpp"
#include "gpu/gpu_accelerator.hpp"
#include "placement_jobs.hpp"
#include "search_fixtures.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <stdexcept>
#include <string>

namespace {

using namespace search_test;
using plv::testing::layout_difference;

plv::IterativeNestingOptions small_search(int iterations, int population, int threads) {
    plv::IterativeNestingOptions o;
    o.iterations = iterations;
    o.population = population;
    o.threads = threads;
    o.shuffle_percent = 30;
    return o;
}

std::string temp_csv(const std::string& name) {
    return (std::filesystem::temp_directory_path() / ("plv_search_" + name + ".csv")).string();
}

std::string read_lines(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    std::string out;
    for (char c : ss.str()) {
        if (c != '\r') out += c;
    }
    return out;
}

std::string thrown_text(const std::function<void()>& f) {
    try {
        f();
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "(nothing thrown)";
}

// Layouts that tie (same unplaced count, sheet count and occupied area)
// without being the same: two 100 mm squares side by side or one above the
// other. The earlier one is kept.
bool same_keys(const plv::NestingResult& a, const plv::NestingResult& b) {
    return a.unplaced.size() == b.unplaced.size() && a.sheets_used() == b.sheets_used() &&
           a.occupied_area() == b.occupied_area();
}

// Two squares, never turned: the second goes beside or above the first.
std::vector<plv::Part> two_squares() { return {rect_part("square", 100, 100, 2)}; }

plv::IterativeNestingOptions unturned(int iterations, int population) {
    plv::IterativeNestingOptions o;
    o.rotations = {0};
    o.iterations = iterations;
    o.population = population;
    o.threads = population;
    return o;
}

// The search's result, with every iteration's best as the callback saw it.
plv::NestingResult search_keeping_bests(const plv::IterativeNestingOptions& o,
                                        std::vector<plv::NestingResult>& bests) {
    return plv::nest_parts_iterative(plv::Sheet{}, two_squares(), o,
                                     [&](const auto&, const auto& iteration_best, const auto&) {
                                         bests.push_back(iteration_best);
                                         return true;
                                     })
        .result;
}

TEST(SearchIterative, ALaterEqualCandidateDoesNotReplaceTheIterationBest) {
    const plv::IterativeNestingOptions o = unturned(1, 2);
    // Candidate 1 picks the second of the tied places: (0, 105) after (105, 0).
    const std::vector<plv::Part> parts = two_squares();
    const auto items = items_of(parts);
    const auto first = plv::detail::evaluate_candidate(0, plv::Sheet{}, items, o, 1, 1.0, 2);
    const auto second = plv::detail::evaluate_candidate(1, plv::Sheet{}, items, o, 1, 1.0, 2);
    ASSERT_TRUE(same_keys(first.result, second.result));
    ASSERT_NE(layout_difference(first.result, second.result), "");

    std::vector<plv::NestingResult> bests;
    const plv::NestingResult result = search_keeping_bests(o, bests);
    ASSERT_EQ(bests.size(), 1u);
    EXPECT_EQ(layout_difference(bests[0], first.result), "");
    EXPECT_EQ(layout_difference(result, first.result), "");
}

TEST(SearchIterative, AnEqualIterationBestDoesNotReplaceTheBestSoFar) {
    std::vector<plv::NestingResult> bests;
    const plv::NestingResult result = search_keeping_bests(unturned(4, 1), bests);
    ASSERT_EQ(bests.size(), 4u);
    int ties = 0;
    for (std::size_t k = 1; k < bests.size(); ++k) {
        if (same_keys(bests[k], bests[0]) && layout_difference(bests[k], bests[0]) != "") ++ties;
    }
    ASSERT_GT(ties, 0);
    EXPECT_EQ(layout_difference(result, bests[0]), "");
}

TEST(SearchIterative, ChecksComeFirst) {
    const auto parts = mixed_job(1);
    plv::IterativeNestingOptions o;
    o.iterations = 0;
    EXPECT_EQ(thrown_text([&] { plv::nest_parts_iterative(plv::Sheet{}, parts, o); }),
              "Iterations must be at least 1.");
    EXPECT_EQ(thrown_text([&] { plv::nest_parts_iterative(plv::Sheet{0, 1500}, parts, o); }),
              "Sheet dimensions must be greater than zero.");
    o.iterations = 1;
    o.max_sheets = 0;
    EXPECT_EQ(thrown_text([&] { plv::nest_parts_iterative(plv::Sheet{}, parts, o); }),
              "max_sheets must be at least 1.");
}

TEST(SearchIterative, SinglePartArrayShortcut) {
    const std::vector<plv::Part> parts{rect_part("washer", 40, 40, 500)};
    plv::PerfLog log;
    const std::string path = temp_csv("single_array");
    std::filesystem::remove(path);
    log.configure(path);
    plv::IterativeNestingOptions o = small_search(5, 4, 2);
    o.perf_log = &log;
    int calls = 0;
    const auto r = plv::nest_parts_iterative(
        plv::Sheet{}, parts, o,
        [&](const plv::IterationStats& s, const plv::NestingResult& it,
            const plv::NestingResult& best) {
            ++calls;
            EXPECT_EQ(&it, &best);
            EXPECT_EQ(s.iteration, 1);
            return false;  // ignored here
        });
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(r.result.placements.size(), 500u);
    ASSERT_EQ(r.history.size(), 1u);
    const plv::IterationStats& s = r.history[0];
    EXPECT_EQ(s.iteration, 1);
    EXPECT_EQ(s.iteration_best_score, r.result.occupied_area());
    EXPECT_EQ(s.best_score, r.result.occupied_area());
    EXPECT_EQ(s.improvement, 0.0);
    EXPECT_EQ(s.utilization, r.result.utilization());
    EXPECT_EQ(s.seconds_between_improvements, 0.0);
    EXPECT_TRUE(s.candidates.empty());
    EXPECT_FALSE(s.best_from_shuffle);
    EXPECT_TRUE(log.records.empty());
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(SearchIterative, MixedArrayShortcut) {
    const std::vector<plv::Part> parts{rect_part("washer", 40, 40, 300, false),
                                       rect_part("bracket", 150, 90, 5)};
    plv::PerfLog log;
    const std::string path = temp_csv("mixed_array");
    log.configure(path);
    plv::IterativeNestingOptions o = small_search(5, 4, 2);
    o.perf_log = &log;
    o.max_sheets = 1;  // array sheets do not count against the limit
    int calls = 0;
    const auto r = plv::nest_parts_iterative(plv::Sheet{1000, 800}, parts, o,
                                             [&](const auto&, const auto& it, const auto& best) {
                                                 ++calls;
                                                 EXPECT_EQ(&it, &best);
                                                 return true;
                                             });
    EXPECT_EQ(calls, 1);
    ASSERT_EQ(r.history.size(), 1u);
    EXPECT_TRUE(r.result.unplaced.empty());
    ASSERT_EQ(r.result.placements.size(), 305u);
    int brackets = 0;
    for (const auto& p : r.result.placements) {
        if (p.part_name == "bracket") ++brackets;
    }
    EXPECT_EQ(brackets, 5);
    // 374 washers fit a sheet: the brackets go above the 300 placed.
    EXPECT_EQ(r.result.sheets_used(), 1);
    EXPECT_TRUE(plv::find_spacing_violations(r.result, o.spacing).empty());
    EXPECT_EQ(read_lines(path),
              "iteration,solver,gpu_name,total_ms,placement_ms,positions_evaluated,"
              "collision_tests,parts_placed\n1,cpu,,0.00,0.00,0,0,305\n");
    std::filesystem::remove(path);
}

TEST(SearchIterative, RandomSolverSkipsArrays) {
    const std::vector<plv::Part> parts{rect_part("washer", 20, 20, 300)};
    plv::IterativeNestingOptions o = small_search(2, 1, 1);
    o.solver = plv::Solver::random;
    const auto r = plv::nest_parts_iterative(plv::Sheet{}, parts, o);
    EXPECT_EQ(r.history.size(), 2u);
    EXPECT_EQ(r.result.placements.size(), 300u);
    EXPECT_TRUE(plv::find_spacing_violations(r.result, o.spacing).empty());
}

TEST(SearchIterative, HistoryFields) {
    const auto parts = mixed_job(2);
    plv::PerfLog log;
    const std::string path = temp_csv("history");
    log.configure(path);
    plv::IterativeNestingOptions o = small_search(4, 3, 2);
    o.perf_log = &log;
    int calls = 0;
    const auto r = plv::nest_parts_iterative(plv::Sheet{}, parts, o,
                                             [&](const plv::IterationStats& s, const auto&,
                                                 const plv::NestingResult& best) {
                                                 ++calls;
                                                 EXPECT_EQ(s.best_score, best.occupied_area());
                                                 EXPECT_EQ(s.utilization, best.utilization());
                                                 return true;
                                             });
    EXPECT_EQ(calls, 4);
    ASSERT_EQ(r.history.size(), 4u);
    double best = std::numeric_limits<double>::infinity();
    std::string expected_csv =
        "iteration,solver,gpu_name,total_ms,placement_ms,positions_evaluated,collision_tests,"
        "parts_placed\n";
    for (std::size_t i = 0; i < r.history.size(); ++i) {
        const plv::IterationStats& s = r.history[i];
        EXPECT_EQ(s.iteration, static_cast<int>(i) + 1);
        // Everything fits one sheet, so the area alone decides.
        best = std::min(best, s.iteration_best_score);
        EXPECT_EQ(s.best_score, best);
        EXPECT_EQ(s.improvement, r.history[0].iteration_best_score - best);
        EXPECT_EQ(s.candidates.size(), 2u);  // three candidates less the winner
        for (const auto& c : s.candidates) EXPECT_GE(c.score, s.iteration_best_score);
        EXPECT_GE(s.seconds_between_improvements, 0.0);
        expected_csv += std::to_string(i + 1) + ",cpu,,0.00,0.00,0,0,10\n";
    }
    EXPECT_EQ(r.history.back().best_score, r.result.occupied_area());
    EXPECT_EQ(r.history.back().utilization, r.result.utilization());
    EXPECT_EQ(r.result.placements.size(), 10u);
    EXPECT_EQ(read_lines(path), expected_csv);
    std::filesystem::remove(path);
}

TEST(SearchIterative, CallbackAnsweringFalseStops) {
    const auto parts = mixed_job(1);
    plv::PerfLog log;
    const std::string path = temp_csv("stopped");
    log.configure(path);
    plv::IterativeNestingOptions o = small_search(10, 2, 2);
    o.perf_log = &log;
    int calls = 0;
    const auto r = plv::nest_parts_iterative(plv::Sheet{}, parts, o,
                                             [&](const auto&, const auto&, const auto&) {
                                                 ++calls;
                                                 return false;
                                             });
    EXPECT_EQ(calls, 1);
    ASSERT_EQ(r.history.size(), 1u);
    EXPECT_EQ(r.history[0].best_score, r.result.occupied_area());
    // No record for the stopped iteration, but the file is still written.
    EXPECT_TRUE(log.records.empty());
    EXPECT_EQ(read_lines(path),
              "iteration,solver,gpu_name,total_ms,placement_ms,positions_evaluated,"
              "collision_tests,parts_placed\n");
    std::filesystem::remove(path);
}

TEST(SearchIterative, GpuRecordsNameTheFirstDevice) {
    const auto parts = mixed_job(1);
    plv::PerfLog log;
    const std::string path = temp_csv("gpu");
    log.configure(path);
    plv::IterativeNestingOptions o = small_search(2, 1, 1);
    o.solver = plv::Solver::dual_gpu;
    o.perf_log = &log;
    plv::nest_parts_iterative(plv::Sheet{}, parts, o);
    // Without a device the placement falls back to the CPU and the name is
    // empty.
    const std::string name = plv::GpuAccelerator::instance().device_name(0);
    EXPECT_EQ(read_lines(path),
              "iteration,solver,gpu_name,total_ms,placement_ms,positions_evaluated,"
              "collision_tests,parts_placed\n1,dual-gpu," +
                  name + ",0.00,0.00,0,0,5\n2,dual-gpu," + name + ",0.00,0.00,0,0,5\n");
    std::filesystem::remove(path);
}

TEST(SearchIterative, ThreadAndPopulationFloors) {
    const auto parts = mixed_job(1);
    plv::IterativeNestingOptions o = small_search(3, -5, 0);
    const auto r = plv::nest_parts_iterative(plv::Sheet{}, parts, o);
    ASSERT_EQ(r.history.size(), 3u);
    for (const auto& s : r.history) EXPECT_TRUE(s.candidates.empty());
    const auto one = plv::nest_parts_iterative(plv::Sheet{}, parts, small_search(3, 1, 1));
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(r.history[i].iteration_best_score, one.history[i].iteration_best_score);
    }
}

// The callback rewrites the caller's options; later iterations must see it.
TEST(SearchIterative, LiveOptionChanges) {
    const auto parts = mixed_job(2);
    plv::IterativeNestingOptions o = small_search(6, 2, 2);
    std::vector<double> spacing_seen;
    const auto r = plv::nest_parts_iterative(
        plv::Sheet{}, parts, o,
        [&](const plv::IterationStats& s, const plv::NestingResult& it, const auto&) {
            spacing_seen.push_back(o.spacing);
            EXPECT_TRUE(plv::find_spacing_violations(it, o.spacing).empty())
                << "iteration " << s.iteration;
            if (s.iteration == 2) {
                o.spacing = 20;
                o.rotations = {0};
                o.population = 6;  // read once at the start: stays 2
            }
            for (const auto& p : it.placements) {
                if (s.iteration > 2) {
                    EXPECT_EQ(p.angle, 0.0);
                }
            }
            EXPECT_EQ(s.candidates.size(), 1u);
            if (s.iteration == 4) o.iterations = 4;
            return true;
        });
    EXPECT_EQ(r.history.size(), 4u);
    EXPECT_EQ(spacing_seen, (std::vector<double>{5, 5, 20, 20}));
}

TEST(SearchIterative, InvalidLiveOptionsEndTheSearch) {
    const auto parts = mixed_job(1);
    plv::IterativeNestingOptions o = small_search(5, 1, 1);
    int calls = 0;
    EXPECT_EQ(thrown_text([&] {
                  plv::nest_parts_iterative(plv::Sheet{}, parts, o,
                                            [&](const auto&, const auto&, const auto&) {
                                                if (++calls == 2) o.spacing = -1;
                                                return true;
                                            });
              }),
              "Spacing cannot be negative.");
    EXPECT_EQ(calls, 2);

    o = small_search(5, 1, 1);
    calls = 0;
    EXPECT_EQ(thrown_text([&] {
                  plv::nest_parts_iterative(plv::Sheet{}, parts, o,
                                            [&](const auto&, const auto&, const auto&) {
                                                ++calls;
                                                o.rotations.clear();
                                                return true;
                                            });
              }),
              "At least one rotation angle is required.");
    EXPECT_EQ(calls, 1);
}

TEST(SearchIterative, CallbackExceptionsPropagate) {
    const auto parts = mixed_job(1);
    EXPECT_EQ(thrown_text([&] {
                  plv::nest_parts_iterative(plv::Sheet{}, parts, small_search(3, 3, 2),
                                            [](const auto&, const auto&, const auto&) -> bool {
                                                throw std::runtime_error("from the callback");
                                            });
              }),
              "from the callback");
}

}  // namespace
