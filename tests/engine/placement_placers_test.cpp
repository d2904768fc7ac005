#include "engine/cpu_placement.hpp"
#include "engine/deterministic.hpp"
#include "engine/positions.hpp"
#include "engine/random_placement.hpp"
#include "engine/random_placement_seed.hpp"
#include "placement_jobs.hpp"
#include "placement_reference.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <random>

namespace {

using plv::IterativeNestingOptions;
using plv::NestingItem;
using plv::Part;
using plv::Placement;
using plv::testing::placed_at;
using plv::testing::rectangle;

Part part_of(const plv::Polygon& shape, const std::string& name = "part", bool rotate = true) {
    Part p;
    p.name = name;
    p.source = "editor";
    p.shape = shape;
    p.allow_rotation = rotate;
    return p;
}

TEST(CpuPlacer, OptRatioChoosesTheAngleOnAnEmptySheet) {
    const Part part = part_of(rectangle(100, 50));
    IterativeNestingOptions o;
    o.rotations = {0, 90};
    o.optimization = plv::OptimizationType::compact_area;
    struct Case {
        double ratio;
        double angle;
    };
    for (const Case c : {Case{1.0, 90.0}, Case{0.0, 0.0}}) {
        o.opt_ratio = c.ratio;
        Placement out;
        ASSERT_TRUE(plv::place_item_cpu(plv::Sheet{}, NestingItem{&part, 1}, {}, 0, o, out));
        EXPECT_EQ(out.angle, c.angle);
        EXPECT_EQ(out.x, 0.0);
        EXPECT_EQ(out.y, 0.0);
        EXPECT_EQ(out.part_name, "part");
        EXPECT_EQ(out.source, "editor");
        EXPECT_EQ(out.net_area, 5000.0);
    }
}

TEST(CpuPlacer, SevenKeysDecideInOrder) {
    plv::PositionCandidate a;
    plv::PositionCandidate b;
    a.primary = b.primary = 7;
    a.secondary = b.secondary = 3;
    // Each row: the key that differs, a the smaller; all earlier keys equal.
    double plv::PositionCandidate::*keys[] = {
        &plv::PositionCandidate::union_area, &plv::PositionCandidate::union_height,
        &plv::PositionCandidate::union_width, &plv::PositionCandidate::y, &plv::PositionCandidate::x};
    for (std::size_t k = 0; k < std::size(keys); ++k) {
        plv::PositionCandidate p = a, q = b;
        p.*keys[k] = 1;
        q.*keys[k] = 2;
        // Later keys pulling the other way do not matter.
        for (std::size_t later = k + 1; later < std::size(keys); ++later) {
            p.*keys[later] = 9;
            q.*keys[later] = 0;
        }
        EXPECT_TRUE(plv::ranks_before(p, q));
        EXPECT_FALSE(plv::ranks_before(q, p));
    }
    EXPECT_FALSE(plv::ranks_before(a, b));
    // A key that is not a number decides nothing: the next one does.
    plv::PositionCandidate n = a;
    n.primary = std::numeric_limits<double>::quiet_NaN();
    n.secondary = 1;
    EXPECT_TRUE(plv::ranks_before(n, b));
    EXPECT_FALSE(plv::ranks_before(b, n));
}

TEST(CpuPlacer, RankingKeysFollowTheOptimisation) {
    IterativeNestingOptions o;
    o.opt_ratio = 0.25;
    plv::PositionCandidate c;
    plv::set_ranking_keys(c, 200, 10, 20, 1, 2, o);
    EXPECT_EQ(c.primary, 200);
    EXPECT_EQ(c.secondary, 0.75 * 10 + 0.25 * 20);
    o.optimization = plv::OptimizationType::compact_area;
    o.opt_ratio = 3;  // limited to 1: the width alone
    plv::set_ranking_keys(c, 200, 10, 20, 1, 2, o);
    EXPECT_EQ(c.primary, 20);
    EXPECT_EQ(c.secondary, 200);
}

TEST(CpuPlacer, PickIndex) {
    struct Case {
        std::int32_t top_k;
        std::size_t n;
        std::int32_t seed;
        std::int32_t sheet;
        std::size_t placed;
        std::size_t want;
    };
    for (const Case c : {
             Case{3, 10, 38, 1, 3, 1},  // (38 + 11 + 111) mod 3
             Case{3, 2, 1, 0, 0, 1},    // m = 2
             Case{3, 2, -7, 0, 0, 0},   // a negative seed counts as 0
             Case{1, 10, 38, 1, 3, 0},
             Case{0, 10, 38, 1, 3, 0},
             Case{-4, 10, 38, 1, 3, 0},
             Case{5, 1, 38, 1, 3, 0},
         }) {
        EXPECT_EQ(plv::pick_index(c.top_k, c.n, c.seed, c.sheet, c.placed), c.want)
            << c.top_k << " " << c.n << " " << c.seed;
    }
    // Sums beyond 32 bits stay in range.
    const std::size_t big = plv::pick_index(INT_MAX, 1000, INT_MAX, INT_MAX, 100000000);
    const std::int64_t sum = std::int64_t{INT_MAX} + 11 * std::int64_t{INT_MAX} + 37 * std::int64_t{100000000};
    EXPECT_EQ(big, static_cast<std::size_t>(sum % 1000));
    EXPECT_LT(plv::pick_index(7, 9, 0, -100, 0), 7u);
}

TEST(CpuPlacer, TopKPicksAmongTheBestPositions) {
    const Part block = part_of(rectangle(40, 30), "block");
    const Part part = part_of(rectangle(25, 20));
    std::vector<Placement> placed{placed_at(block.shape, 0, 0, 1), placed_at(block.shape, 45, 0, 1),
                                  placed_at(block.shape, 0, 35, 1)};
    IterativeNestingOptions o;
    o.top_k = 3;
    o.position_seed = 38;
    Placement best, picked, ref;
    o.top_k = 1;
    ASSERT_TRUE(plv::place_item_cpu(plv::Sheet{300, 200}, NestingItem{&part, 1}, placed, 1, o, best));
    o.top_k = 3;
    ASSERT_TRUE(plv::place_item_cpu(plv::Sheet{300, 200}, NestingItem{&part, 1}, placed, 1, o, picked));
    ASSERT_TRUE(plv::reference::place_item_cpu(plv::Sheet{300, 200}, NestingItem{&part, 1}, placed, 1,
                                               o, ref));
    EXPECT_TRUE(picked.x != best.x || picked.y != best.y || picked.angle != best.angle);
    EXPECT_EQ(picked.x, ref.x);
    EXPECT_EQ(picked.y, ref.y);
    EXPECT_EQ(picked.angle, ref.angle);
    EXPECT_EQ(picked.sheet_index, 1);
}

TEST(CpuPlacer, APartAsWideAsTheSheetFits) {
    struct Case {
        double width;
        bool fits;
    };
    for (const Case c : {Case{100.0, true}, Case{100.0000005, true}, Case{100.00001, false}}) {
        const Part part = part_of(rectangle(c.width, 20), "wide", false);
        Placement out;
        EXPECT_EQ(plv::place_item_cpu(plv::Sheet{100, 50}, NestingItem{&part, 1}, {}, 0,
                                      IterativeNestingOptions{}, out),
                  c.fits)
            << c.width;
        if (c.fits) {
            EXPECT_EQ(out.x, 0.0);
        }
    }
}

TEST(CpuPlacer, AnglesOfACopy) {
    IterativeNestingOptions o;
    o.rotations = {0, 90, 180};
    const Part turns = part_of(rectangle(10, 5));
    const Part fixed_part = part_of(rectangle(10, 5), "fixed", false);
    EXPECT_EQ(plv::item_angles(NestingItem{&turns, 1, true, 270}, o), std::vector<double>{270});
    EXPECT_EQ(plv::item_angles(NestingItem{&turns, 1}, o), o.rotations);
    EXPECT_EQ(plv::item_angles(NestingItem{&fixed_part, 1, true, 90}, o), std::vector<double>{0});
    // A part that may not rotate is tried at 0 only, even on a sheet where
    // only 90 degrees would fit.
    const Part tall = part_of(rectangle(10, 100), "tall", false);
    Placement out;
    EXPECT_FALSE(plv::place_item_cpu(plv::Sheet{200, 50}, NestingItem{&tall, 1, true, 90}, {}, 0, o, out));
    const Part tall_turns = part_of(rectangle(10, 100), "tall");
    ASSERT_TRUE(plv::place_item_cpu(plv::Sheet{200, 50}, NestingItem{&tall_turns, 1, true, 90}, {}, 0, o, out));
    EXPECT_EQ(out.angle, 90.0);
}

TEST(CpuPlacer, NothingFitsLeavesTheOutputAlone) {
    const Part part = part_of(rectangle(500, 400));
    Placement out;
    out.part_name = "kept";
    out.x = 12;
    EXPECT_FALSE(plv::place_item_cpu(plv::Sheet{300, 300}, NestingItem{&part, 1}, {}, 0,
                                     IterativeNestingOptions{}, out));
    EXPECT_EQ(out.part_name, "kept");
    EXPECT_EQ(out.x, 12);
    // A full sheet: no free position at all.
    const Part small = part_of(rectangle(50, 50));
    const std::vector<Placement> full{placed_at(rectangle(100, 100), 0, 0)};
    EXPECT_FALSE(plv::place_item_cpu(plv::Sheet{100, 100}, NestingItem{&small, 1}, full, 0,
                                     IterativeNestingOptions{}, out));
    EXPECT_EQ(out.part_name, "kept");
}

TEST(RandomPlacer, AttemptBudgets) {
    struct Case {
        std::size_t placed;
        std::int32_t top_k;
        std::int32_t want;
    };
    for (const Case c : {Case{0, 1, 1120}, Case{10, 1, 2920}, Case{60, 1, 11920}, Case{61, 1, 12000},
                         Case{500, 1, 12000}, Case{0, 5, 1600}, Case{0, 0, 1120}, Case{0, -3, 1120},
                         Case{0, INT_MAX, 12000}}) {
        EXPECT_EQ(plv::random_attempt_budget(c.placed, c.top_k), c.want) << c.placed << " " << c.top_k;
    }
}

TEST(RandomPlacer, TheFirstFittingAttemptOnAnEmptySheetWins) {
    // One angle: no angle draw, two outputs per coordinate.
    const Part part = part_of(rectangle(30, 20), "part", false);
    IterativeNestingOptions o;
    Placement out;
    ASSERT_TRUE(plv::place_item_random(plv::Sheet{200, 100}, NestingItem{&part, 1}, {}, 0, o, out));
    std::mt19937 g(plv::random_placement_seed("part", 0, 0, 0, 1));
    EXPECT_EQ(plv::random_placement_seed("part", 0, 0, 0, 1), 0x86bffc18u);
    const double x = plv::uniform_real(g, 0, 170);
    const double y = plv::uniform_real(g, 0, 80);
    EXPECT_EQ(out.x, x);
    EXPECT_EQ(out.y, y);
    EXPECT_EQ(out.angle, 0.0);
    EXPECT_EQ(out.shape.outer[0].x, x);
    // Several angles: the index comes first, by the bit-mask draw.
    const Part turns = part_of(rectangle(30, 20));
    ASSERT_TRUE(plv::place_item_random(plv::Sheet{200, 100}, NestingItem{&turns, 1}, {}, 0, o, out));
    std::mt19937 h(plv::random_placement_seed("part", 0, 0, 0, 1));
    const double angle = o.rotations[static_cast<std::size_t>(plv::uniform_int(h, 0, 3))];
    EXPECT_EQ(out.angle, angle);
}

// An attempt whose angle leaves the copy too tall for the sheet ends after
// the angle draw: the next attempt's angle is the very next output.
TEST(RandomPlacer, AnAngleThatDoesNotFitDrawsNoPosition) {
    const Part post = part_of(rectangle(30, 200), "post");
    IterativeNestingOptions o;
    o.rotations = {0, 90};  // upright it is taller than the sheet
    const plv::Sheet sheet{300, 100};
    const plv::BoundingBox lying = geom::polygon_bounds(geom::rotate_polygon(post.shape, 90));
    int misses = 0;
    for (std::int32_t copy = 1; copy <= 8; ++copy) {
        Placement out;
        ASSERT_TRUE(plv::place_item_random(sheet, NestingItem{&post, copy}, {}, 0, o, out));
        std::mt19937 g(plv::random_placement_seed("post", 0, 0, 0, copy));
        while (plv::uniform_int(g, 0, 1) == 0) ++misses;
        const double x = plv::uniform_real(g, 0, sheet.width - lying.width());
        const double y = plv::uniform_real(g, 0, sheet.height - lying.height());
        EXPECT_EQ(out.angle, 90.0) << "copy " << copy;
        EXPECT_EQ(out.x, x) << "copy " << copy;
        EXPECT_EQ(out.y, y) << "copy " << copy;
    }
    EXPECT_GT(misses, 0);
}

TEST(RandomPlacer, SameSituationSamePlace) {
    const Part part = part_of(rectangle(30, 20), "bracket");
    const Part other = part_of(rectangle(30, 20), "bracket2");
    const std::vector<Placement> one{placed_at(rectangle(10, 10), 0, 0)};
    IterativeNestingOptions o;
    o.position_seed = 5;
    const plv::Sheet sheet{400, 300};
    const auto place = [&](const Part& p, std::int32_t copy, std::int32_t seed, std::int32_t index,
                           const std::vector<Placement>& placed) {
        IterativeNestingOptions oo = o;
        oo.position_seed = seed;
        Placement out;
        EXPECT_TRUE(plv::place_item_random(sheet, NestingItem{&p, copy}, placed, index, oo, out));
        return out;
    };
    const Placement base = place(part, 1, 5, 0, {});
    const Placement again = place(part, 1, 5, 0, {});
    EXPECT_EQ(base.x, again.x);
    EXPECT_EQ(base.y, again.y);
    EXPECT_EQ(base.angle, again.angle);
    for (const Placement& changed : {place(other, 1, 5, 0, {}), place(part, 2, 5, 0, {}),
                                     place(part, 1, 6, 0, {}), place(part, 1, 5, 1, {}),
                                     place(part, 1, 5, 0, one)}) {
        EXPECT_NE(changed.x, base.x);
    }
}

TEST(RandomPlacer, SheetSizedAndOversizedParts) {
    const Part exact = part_of(rectangle(200, 100), "exact", false);
    Placement out;
    ASSERT_TRUE(plv::place_item_random(plv::Sheet{200, 100}, NestingItem{&exact, 1}, {}, 0,
                                       IterativeNestingOptions{}, out));
    EXPECT_EQ(out.x, 0.0);
    EXPECT_EQ(out.y, 0.0);
    const Part big = part_of(rectangle(250, 250), "big");
    out.part_name = "kept";
    EXPECT_FALSE(plv::place_item_random(plv::Sheet{200, 100}, NestingItem{&big, 1}, {}, 0,
                                        IterativeNestingOptions{}, out));
    EXPECT_EQ(out.part_name, "kept");
}

TEST(RandomPlacer, PlacesClearOfTheSheetsParts) {
    std::vector<Placement> placed;
    const Part part = part_of(rectangle(40, 25), "part");
    IterativeNestingOptions o;
    const plv::Sheet sheet{300, 200};
    for (int copy = 1; copy <= 12; ++copy) {
        Placement out;
        if (!plv::place_item_random(sheet, NestingItem{&part, copy}, placed, 0, o, out)) continue;
        EXPECT_TRUE(plv::reference::is_position_free(out.shape, placed, o.spacing));
        EXPECT_TRUE(plv::box_inside_sheet(plv::placement_bounds(out), sheet));
        placed.push_back(out);
    }
    EXPECT_GE(placed.size(), 6u);
}

}  // namespace
