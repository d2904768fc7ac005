#include "engine/deterministic.hpp"
#include "engine/search_detail.hpp"
#include "engine/sheet_placement.hpp"
#include "placement_jobs.hpp"
#include "search_fixtures.hpp"

#include <gtest/gtest.h>

#include <random>
#include <utility>

namespace {

using namespace search_test;
using plv::detail::CandidateEvaluation;
using plv::detail::evaluate_candidate;

// 40 copies with distinct net areas, growing with the index; every third
// part does not rotate.
std::vector<plv::Part> forty_parts() {
    std::vector<plv::Part> parts;
    for (int i = 0; i < 40; ++i) {
        std::string name = "p";
        name += std::to_string(i);
        parts.push_back(rect_part(name, 20.0 + i, 20.0, 1, i % 3 != 0));
    }
    return parts;
}

void expect_same_order(const std::vector<plv::NestingItem>& got,
                       const std::vector<plv::NestingItem>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].part, want[i].part) << "position " << i;
        EXPECT_EQ(got[i].copy_number, want[i].copy_number) << "position " << i;
        EXPECT_EQ(got[i].rotation_fixed, want[i].rotation_fixed) << "position " << i;
        EXPECT_EQ(got[i].fixed_angle, want[i].fixed_angle) << "position " << i;
    }
}

// The draws of one non-elite candidate as a reference: the order decision,
// `swaps` swaps within `window`, then the rotation mutation with
// probability p percent (none for p below 0: iteration 1).
std::vector<plv::NestingItem> replay(std::vector<plv::NestingItem> order, std::mt19937& g,
                                     int swaps, int window, double p,
                                     const std::vector<double>& angles) {
    plv::uniform_real(g, 0, 100);
    const auto n = static_cast<std::int64_t>(order.size());
    for (int s = 0; s < swaps; ++s) {
        const std::int64_t i = plv::uniform_int(g, 0, n - 1);
        const std::int64_t j = std::clamp<std::int64_t>(i + plv::uniform_int(g, -window, window),
                                                        0, n - 1);
        std::swap(order[static_cast<std::size_t>(i)], order[static_cast<std::size_t>(j)]);
    }
    for (auto& item : order) {
        if (p < 0 || !item.part->allow_rotation) continue;
        if (plv::uniform_real(g, 0, 100) <= p) {
            item.rotation_fixed = true;
            item.fixed_angle = angles[static_cast<std::size_t>(
                plv::uniform_int(g, 0, static_cast<std::int64_t>(angles.size()) - 1))];
        }
    }
    return order;
}

TEST(SearchCandidate, DefaultsWithFortyCopies) {
    const auto parts = forty_parts();
    const auto items = items_of(parts);
    const plv::Sheet sheet;
    const plv::IterativeNestingOptions options;  // population 1, mutation 10 %, shuffle 0 %

    // Iteration 1: the copies largest first, unchanged.
    const CandidateEvaluation first = evaluate_candidate(0, sheet, items, options, 1, 1.0, 1);
    std::vector<plv::NestingItem> sorted(items.rbegin(), items.rend());
    expect_same_order(first.order, sorted);
    EXPECT_FALSE(first.shuffled);
    EXPECT_EQ(first.unplaced_count, 0);
    EXPECT_EQ(first.sheets_used, 1);
    EXPECT_EQ(first.score, first.result.occupied_area());
    EXPECT_EQ(first.width_ratio, 1.0);

    // Iteration 2: nearest(0.1 x 40) = 4 swaps within truncate(0.15 x 40) = 6
    // places, then each rotatable copy fixed with probability 16 %.
    const CandidateEvaluation second = evaluate_candidate(0, sheet, sorted, options, 2, 1.0, 1);
    std::mt19937 g(2u * 1009u + 42u);
    expect_same_order(second.order, replay(sorted, g, 4, 6, 16.0, options.rotations));
    EXPECT_FALSE(second.shuffled);
}

TEST(SearchCandidate, BigShuffleOfFortyCopies) {
    const auto parts = forty_parts();
    const auto items = items_of(parts);
    plv::IterativeNestingOptions options;
    options.shuffle_percent = 100;
    options.shuffle_intensity_percent = 25;
    options.mutation_percent = 50;  // p = 40 %
    options.population = 2;
    // Window nearest(0.09 x 40) = 4 and nearest(0.2625 x 40) = nearest(10.5) = 11 swaps.
    const CandidateEvaluation c = evaluate_candidate(1, plv::Sheet{}, items, options, 3, 1.0, 2);
    std::mt19937 g(3u * 1009u + 9176u + 42u);
    expect_same_order(c.order, replay(items, g, 11, 4, 40.0, options.rotations));
    EXPECT_TRUE(c.shuffled);
}

TEST(SearchCandidate, TinyAndEmptyOrders) {
    plv::IterativeNestingOptions options;
    options.shuffle_percent = 100;
    const std::vector<plv::Part> one{rect_part("one", 50, 40, 1)};
    const CandidateEvaluation single =
        evaluate_candidate(1, plv::Sheet{}, items_of(one), options, 2, 1.0, 2);
    EXPECT_FALSE(single.shuffled);
    ASSERT_EQ(single.order.size(), 1u);
    EXPECT_EQ(single.result.placements.size(), 1u);

    const CandidateEvaluation none = evaluate_candidate(3, plv::Sheet{}, {}, options, 2, 1.0, 4);
    EXPECT_EQ(none.score, 0.0);
    EXPECT_EQ(none.unplaced_count, 0);
    EXPECT_EQ(none.sheets_used, 0);
    EXPECT_FALSE(none.shuffled);
}

TEST(SearchCandidate, CompactAreaWidthsPerCandidate) {
    // Largest extent 600 with spacing 5: (10 + 600) / 3000 lies below 0.28.
    const std::vector<plv::Part> parts{rect_part("long", 600, 100, 3), rect_part("sq", 80, 80, 2)};
    const auto items = items_of(parts);
    const plv::Sheet sheet;
    plv::IterativeNestingOptions options;
    options.optimization = plv::OptimizationType::compact_area;
    const double expected[] = {0.6 * 3000, 840, 1920, 2160, 1650};
    for (int n = 0; n <= 5; ++n) {
        const CandidateEvaluation c = evaluate_candidate(n, sheet, items, options, 1, 0.6, 6);
        const double width = c.width_ratio * sheet.width;
        if (n < 5) {
            EXPECT_NEAR(width, expected[n], 1e-9) << "candidate " << n;
        } else {
            EXPECT_GE(width, 840 - 1e-9);
            EXPECT_LT(width, 3000);
        }
        EXPECT_EQ(c.result.sheet.width, 3000.0);
        EXPECT_EQ(c.result.sheet.height, 1500.0);
        for (const auto& p : c.result.placements) {
            EXPECT_LE(plv::placement_bounds(p).max_x, width + 1e-6) << "candidate " << n;
        }
    }
    // Bounding box: the real sheet, and the shared ratio recorded unchanged.
    options.optimization = plv::OptimizationType::bounding_box;
    EXPECT_EQ(evaluate_candidate(3, sheet, items, options, 1, 0.6, 6).width_ratio, 0.6);
}

// What a candidate hands to placement, per (iteration k, candidate N): the
// options' own top_k and position_seed only for the first candidate of the
// first iteration, else top_k 2 + nearest(mutation / 12.5) and position_seed
// 37 k + 101 N; from iteration 2 the rotation list shuffled on the
// candidate's generator when k + N is a multiple of 4; for compact_area a
// sheet narrowed by a ratio that starts from the largest extent of any part.
// The layout must be the one placement makes from exactly these.
TEST(SearchCandidate, OptionsHandedToPlacement) {
    // Rectangles tie at 0 and 180 degrees (and at 90 and 270), so the order
    // of the rotation list decides which of them a pick takes.
    const std::vector<plv::Part> parts{rect_part("plate", 300, 200, 3), rect_part("long", 90, 1000, 2),
                                       part("angle", l_shape(250, 180, 60), 2),
                                       rect_part("post", 60, 1200, 1, false),
                                       rect_part("tab", 70, 50, 2, false)};
    const auto items = items_of(parts);
    const plv::Sheet sheet;
    plv::IterativeNestingOptions options;
    options.mutation_percent = 25;  // top_k 4, nearest(2.5) = 3 swaps within 2 places, p 25 %
    options.top_k = 1;
    options.position_seed = 7;
    options.population = 6;

    struct Row {
        int k;
        int n;
        bool compact_area;
    };
    const Row rows[] = {{1, 0, false}, {1, 1, false}, {1, 2, false}, {1, 3, false}, {2, 0, false},
                        {2, 2, false}, {3, 1, false}, {3, 2, false}, {4, 0, false}, {4, 4, false},
                        {5, 3, false}, {1, 1, true},  {2, 1, true},  {3, 2, true},  {2, 3, true},
                        {1, 4, true}};
    for (const Row& row : rows) {
        SCOPED_TRACE("k " + std::to_string(row.k) + " N " + std::to_string(row.n) +
                     (row.compact_area ? " compact_area" : ""));
        plv::IterativeNestingOptions o = options;
        o.optimization = row.compact_area ? plv::OptimizationType::compact_area
                                          : plv::OptimizationType::bounding_box;
        const std::vector<plv::NestingItem> shared =
            row.k < 2 ? items : std::vector<plv::NestingItem>(items.rbegin(), items.rend());
        const CandidateEvaluation c = evaluate_candidate(row.n, sheet, shared, o, row.k, 1.0, 6);

        plv::IterativeNestingOptions want = o;
        want.compact = false;
        const bool first = row.k < 2 && row.n == 0;
        want.top_k = first ? 1 : 4;
        want.position_seed = first ? 7 : 37 * row.k + 101 * row.n;
        std::mt19937 g(plv::detail::candidate_seed(row.n, row.k, o.seed));
        std::vector<plv::NestingItem> order = shared;
        if (row.k < 2) plv::detail::sort_largest_first(order);
        if (row.n != 0) order = replay(order, g, 3, 2, row.k >= 2 ? 25.0 : -1.0, o.rotations);
        expect_same_order(c.order, order);
        if (row.k >= 2 && (row.k + row.n) % 4 == 0) plv::shuffle(want.rotations, g);

        plv::Sheet narrowed = sheet;
        if (row.compact_area) {
            // The extent is the height of the part that rotates, 1000, not
            // that of the post, which does not: (2 x 5 + 1000) / 3000 is
            // above 0.28.
            const double a = (2.0 * 5 + 1000) / 3000;
            const double ratios[] = {1.0, a, (1 + a) * 0.5, 0.72, 0.55};
            EXPECT_EQ(c.width_ratio, ratios[row.n % 5]);
            narrowed.width = sheet.width * ratios[row.n % 5];
        }
        EXPECT_EQ(plv::testing::layout_difference(
                      c.result, plv::place_items_on_sheets(narrowed, order, want, {})),
                  "");
    }
}

TEST(SearchCandidate, EliteRuleUsesTheCountFixedAtStart) {
    const auto parts = forty_parts();
    auto items = items_of(parts);
    std::swap(items[3], items[17]);  // not in any sorted order
    plv::IterativeNestingOptions options;
    options.population = 3;
    const CandidateEvaluation elite = evaluate_candidate(0, plv::Sheet{}, items, options, 3, 1.0, 3);
    expect_same_order(elite.order, items);

    // The options now say 5 candidates, but the search started with one:
    // candidate 0 is still the one that mutates.
    options.population = 5;
    const CandidateEvaluation lone = evaluate_candidate(0, plv::Sheet{}, items, options, 3, 1.0, 1);
    std::mt19937 g(3u * 1009u + 42u);
    expect_same_order(lone.order, replay(items, g, 4, 6, 16.0, options.rotations));
}

TEST(SearchCandidate, FixedAnglesLeftOutOfTheListAreCleared) {
    const std::vector<plv::Part> parts{rect_part("a", 120, 60, 3), rect_part("b", 90, 30, 3)};
    auto items = items_of(parts);
    for (auto& item : items) {
        item.rotation_fixed = true;
        item.fixed_angle = 90;
    }
    plv::IterativeNestingOptions options;
    options.rotations = {0};  // rotation switched off during a pause
    for (int k : {2, 3, 4}) {
        const CandidateEvaluation c = evaluate_candidate(0, plv::Sheet{}, items, options, k, 1.0, 1);
        for (const auto& item : c.order) EXPECT_FALSE(item.rotation_fixed);
        for (const auto& p : c.result.placements) EXPECT_EQ(p.angle, 0.0);
    }
    // Angles still allowed stay fixed.
    options.rotations = {0, 90};
    const CandidateEvaluation kept = evaluate_candidate(0, plv::Sheet{}, items, options, 2, 1.0, 1);
    for (const auto& item : kept.order) EXPECT_TRUE(item.rotation_fixed);
}

}  // namespace
