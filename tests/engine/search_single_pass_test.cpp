#include "engine/iterative_search.hpp"
#include "engine/deterministic.hpp"
#include "engine/positions.hpp"
#include "engine/search_detail.hpp"
#include "engine/sheet_placement.hpp"
#include "engine/single_pass.hpp"
#include "search_fixtures.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

namespace {

using namespace search_test;

void expect_same_layout(const plv::NestingResult& a, const plv::NestingResult& b) {
    ASSERT_EQ(a.placements.size(), b.placements.size());
    for (std::size_t i = 0; i < a.placements.size(); ++i) {
        const plv::Placement& p = a.placements[i];
        const plv::Placement& q = b.placements[i];
        EXPECT_EQ(p.part_name, q.part_name) << i;
        EXPECT_EQ(p.copy_number, q.copy_number) << i;
        EXPECT_EQ(p.sheet_index, q.sheet_index) << i;
        EXPECT_EQ(p.x, q.x) << i;
        EXPECT_EQ(p.y, q.y) << i;
        EXPECT_EQ(p.angle, q.angle) << i;
    }
    EXPECT_EQ(a.unplaced.size(), b.unplaced.size());
}

std::string placement_signature(const plv::NestingResult& r) {
    std::string s;
    for (const auto& p : r.placements) s += p.part_name + "#" + std::to_string(p.copy_number) + " ";
    return s;
}

TEST(SearchSinglePass, MatchesTheSearchsFirstCandidate) {
    const auto parts = mixed_job(3);
    plv::IterativeNestingOptions o;
    o.compact = false;
    o.top_k = 3;
    o.position_seed = 5;
    o.iterations = 1;
    o.population = 1;
    const plv::NestingResult single = plv::nest_parts(plv::Sheet{}, parts, o);
    const auto search = plv::nest_parts_iterative(plv::Sheet{}, parts, o);
    expect_same_layout(single, search.result);
    EXPECT_TRUE(plv::find_spacing_violations(single, o.spacing).empty());
}

TEST(SearchSinglePass, RandomOrderFollowsThePositionSeed) {
    const auto parts = mixed_job(4);
    plv::IterativeNestingOptions o;
    o.solver = plv::Solver::random;
    o.position_seed = 11;
    const plv::NestingResult a = plv::nest_parts(plv::Sheet{}, parts, o);
    const plv::NestingResult b = plv::nest_parts(plv::Sheet{}, parts, o);
    expect_same_layout(a, b);
    EXPECT_EQ(a.placements.size(), 20u);
    o.position_seed = 12;
    const plv::NestingResult c = plv::nest_parts(plv::Sheet{}, parts, o);
    EXPECT_NE(placement_signature(a), placement_signature(c));
}

// The one entry point that compacts: the caller's flag decides, and the
// layout is that of placing the copies largest first with it.
TEST(SearchSinglePass, CompactsWhenTheCallerAsks) {
    const auto parts = mixed_job(3);
    std::vector<plv::NestingItem> sorted = items_of(parts);
    plv::detail::sort_largest_first(sorted);
    plv::IterativeNestingOptions o;
    o.top_k = 3;  // picks that leave room below and to the left
    o.position_seed = 2;
    for (const bool compact : {true, false}) {
        SCOPED_TRACE(compact ? "compact" : "not compact");
        o.compact = compact;
        expect_same_layout(plv::nest_parts(plv::Sheet{}, parts, o),
                           plv::place_items_on_sheets(plv::Sheet{}, sorted, o, {}));
    }
    // Compaction moves copies here, so the two flags give different layouts.
    o.compact = true;
    const plv::NestingResult compacted = plv::nest_parts(plv::Sheet{}, parts, o);
    o.compact = false;
    const plv::NestingResult loose = plv::nest_parts(plv::Sheet{}, parts, o);
    int moved = 0;
    for (const plv::Placement& p : compacted.placements) {
        for (const plv::Placement& q : loose.placements) {
            if (p.part_name == q.part_name && p.copy_number == q.copy_number &&
                (p.x != q.x || p.y != q.y)) {
                ++moved;
            }
        }
    }
    EXPECT_GT(moved, 0);
}

// The random solver's order: the copies shuffled on a generator seeded with
// (position_seed x 0x9E3779B1) ^ (n x 0x27D4EB2F) ^ 0xA341316C.
TEST(SearchSinglePass, RandomOrderSeed) {
    const auto parts = mixed_job(4);
    plv::IterativeNestingOptions o;
    o.solver = plv::Solver::random;
    for (const std::int32_t position_seed : {0, 11, -3}) {
        o.position_seed = position_seed;
        std::vector<plv::NestingItem> items = items_of(parts);
        std::mt19937 g((static_cast<std::uint32_t>(position_seed) * 0x9E3779B1u) ^
                       (static_cast<std::uint32_t>(items.size()) * 0x27D4EB2Fu) ^ 0xA341316Cu);
        plv::shuffle(items, g);
        SCOPED_TRACE(position_seed);
        expect_same_layout(plv::nest_parts(plv::Sheet{}, parts, o),
                           plv::place_items_on_sheets(plv::Sheet{}, items, o, {}));
    }
}

TEST(SearchSinglePass, ArrayJobsAndChecks) {
    plv::IterativeNestingOptions o;
    o.iterations = 0;  // not checked here
    const std::vector<plv::Part> arrays{rect_part("a", 10, 10, 200, false),
                                        rect_part("b", 20, 20, 300, false)};
    const plv::NestingResult r = plv::nest_parts(plv::Sheet{}, arrays, o);
    EXPECT_EQ(r.placements.size(), 500u);
    EXPECT_TRUE(r.unplaced.empty());
    for (const auto& p : r.placements) EXPECT_EQ(p.sheet_index, p.part_name == "a" ? 0 : 1);

    // Two array parts and a small one: the small copies use the array
    // sheets' free space before any new sheet.
    std::vector<plv::Part> mixed = arrays;
    mixed.push_back(rect_part("c", 50, 50, 3));
    const plv::NestingResult m = plv::nest_parts(plv::Sheet{}, mixed, o);
    EXPECT_EQ(m.placements.size(), 503u);
    EXPECT_EQ(m.sheets_used(), 2);
    EXPECT_TRUE(plv::find_spacing_violations(m, o.spacing).empty());

    o.spacing = -1;
    EXPECT_THROW(plv::nest_parts(plv::Sheet{}, mixed, o), std::runtime_error);
}

}  // namespace
