#include "engine/iterative_search.hpp"
#include "engine/positions.hpp"
#include "engine/single_pass.hpp"
#include "search_fixtures.hpp"

#include <gtest/gtest.h>

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
