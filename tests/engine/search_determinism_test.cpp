#include "engine/iterative_search.hpp"
#include "search_fixtures.hpp"

#include <gtest/gtest.h>

namespace {

using namespace search_test;

plv::IterativeNestingResult run(int threads, int optimization) {
    plv::IterativeNestingOptions o;
    o.iterations = 3;
    o.population = 8;
    o.threads = threads;
    o.shuffle_percent = 40;
    o.optimization = optimization;
    return plv::nest_parts_iterative(plv::Sheet{1500, 1000}, mixed_job(3), o);
}

// Candidates depend only on their inputs, so the thread count changes
// nothing: not the history, not the layout.
TEST(SearchDeterminism, SameResultWhateverTheThreadCount) {
    for (int optimization : {plv::OptimizationType::bounding_box,
                             plv::OptimizationType::compact_area}) {
        const auto base = run(1, optimization);
        for (int threads : {2, 8}) {
            const auto other = run(threads, optimization);
            ASSERT_EQ(other.history.size(), base.history.size());
            for (std::size_t i = 0; i < base.history.size(); ++i) {
                const auto& a = base.history[i];
                const auto& b = other.history[i];
                EXPECT_EQ(a.iteration_best_score, b.iteration_best_score);
                EXPECT_EQ(a.best_score, b.best_score);
                EXPECT_EQ(a.improvement, b.improvement);
                EXPECT_EQ(a.best_from_shuffle, b.best_from_shuffle);
                ASSERT_EQ(a.candidates.size(), b.candidates.size());
                for (std::size_t c = 0; c < a.candidates.size(); ++c) {
                    EXPECT_EQ(a.candidates[c].score, b.candidates[c].score);
                    EXPECT_EQ(a.candidates[c].shuffled, b.candidates[c].shuffled);
                }
            }
            ASSERT_EQ(other.result.placements.size(), base.result.placements.size());
            for (std::size_t i = 0; i < base.result.placements.size(); ++i) {
                const auto& p = base.result.placements[i];
                const auto& q = other.result.placements[i];
                EXPECT_EQ(p.part_name, q.part_name);
                EXPECT_EQ(p.copy_number, q.copy_number);
                EXPECT_EQ(p.sheet_index, q.sheet_index);
                EXPECT_EQ(p.x, q.x);
                EXPECT_EQ(p.y, q.y);
                EXPECT_EQ(p.angle, q.angle);
            }
        }
    }
}

// Three candidates in batches of two: the third starts after the first two
// are collected, and the outcome is that of one batch of three or of three
// single tasks.
TEST(SearchDeterminism, PopulationThreeOnTwoThreads) {
    const auto parts = mixed_job(2);
    std::vector<std::vector<double>> scores;
    for (int threads : {2, 1, 3}) {
        plv::IterativeNestingOptions o;
        o.iterations = 3;
        o.population = 3;
        o.threads = threads;
        o.optimization = plv::OptimizationType::compact_area;
        const auto r = plv::nest_parts_iterative(plv::Sheet{}, parts, o);
        std::vector<double> s;
        for (const auto& h : r.history) {
            EXPECT_EQ(h.candidates.size(), 2u);
            s.push_back(h.iteration_best_score);
            for (const auto& c : h.candidates) s.push_back(c.score);
        }
        scores.push_back(s);
    }
    EXPECT_EQ(scores[0], scores[1]);
    EXPECT_EQ(scores[0], scores[2]);
}

}  // namespace
