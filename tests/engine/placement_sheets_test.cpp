#include "engine/sheet_placement.hpp"
#include "placement_jobs.hpp"

#include <gtest/gtest.h>

namespace {

using plv::IterativeNestingOptions;
using plv::NestingItem;
using plv::NestingResult;
using plv::Part;
using plv::Placement;
using plv::testing::placed_at;
using plv::testing::rectangle;

Part part_of(const plv::Polygon& shape, const std::string& name) {
    Part p;
    p.name = name;
    p.shape = shape;
    return p;
}

IterativeNestingOptions no_compaction() {
    IterativeNestingOptions o;
    o.compact = false;
    return o;
}

TEST(SheetPlacement, NoItems) {
    const NestingResult r = plv::place_items_on_sheets(plv::Sheet{200, 100}, {}, IterativeNestingOptions{}, {});
    EXPECT_EQ(r.sheet.width, 200);
    EXPECT_EQ(r.sheet.height, 100);
    EXPECT_TRUE(r.placements.empty());
    EXPECT_TRUE(r.unplaced.empty());
}

TEST(SheetPlacement, TheSheetLimitLeavesCopiesUnplaced) {
    const Part half = part_of(rectangle(100, 45), "half");
    const std::vector<NestingItem> items{{&half, 1}, {&half, 2}, {&half, 3}};
    IterativeNestingOptions o = no_compaction();
    o.max_sheets = 1;
    const NestingResult r = plv::place_items_on_sheets(plv::Sheet{100, 100}, items, o, {});
    ASSERT_EQ(r.placements.size(), 2u);
    EXPECT_EQ(r.sheets_used(), 1);
    ASSERT_EQ(r.unplaced.size(), 1u);
    EXPECT_EQ(r.unplaced[0].name, "half");
    o.max_sheets = 2;
    const NestingResult two = plv::place_items_on_sheets(plv::Sheet{100, 100}, items, o, {});
    EXPECT_EQ(two.placements.size(), 3u);
    EXPECT_EQ(two.sheets_used(), 2);
}

TEST(SheetPlacement, AnOversizedCopyOpensNoSheet) {
    const Part big = part_of(rectangle(300, 300), "big");
    const Part small = part_of(rectangle(60, 60), "small");
    const std::vector<NestingItem> items{{&small, 1}, {&big, 1}, {&small, 2}, {&small, 3}};
    const NestingResult r = plv::place_items_on_sheets(plv::Sheet{100, 100}, items, no_compaction(), {});
    ASSERT_EQ(r.unplaced.size(), 1u);
    EXPECT_EQ(r.unplaced[0].name, "big");
    EXPECT_EQ(r.placements.size(), 3u);
    EXPECT_EQ(r.sheets_used(), 3);
}

TEST(SheetPlacement, PrefilledSheetsComeFirst) {
    const Part block = part_of(rectangle(100, 100), "block");
    std::vector<std::vector<Placement>> prefilled{{placed_at(block.shape, 0, 0, 0, "array")},
                                                  {placed_at(block.shape, 0, 0, 1, "array")}};
    const Part part = part_of(rectangle(50, 50), "part");
    const NestingResult r = plv::place_items_on_sheets(plv::Sheet{100, 100}, {{&part, 1}},
                                                       no_compaction(), prefilled);
    ASSERT_EQ(r.placements.size(), 3u);
    EXPECT_EQ(r.placements[2].part_name, "part");
    EXPECT_EQ(r.placements[2].sheet_index, 2);
}

TEST(SheetPlacement, PlacementsAreListedSheetBySheet) {
    // Big copies alternate between sheets 0 and 1; the small one goes back
    // to sheet 0.
    const Part big = part_of(rectangle(100, 60), "big");
    const Part small = part_of(rectangle(20, 20), "small");
    const std::vector<NestingItem> items{{&big, 1}, {&big, 2}, {&small, 1}};
    const NestingResult r = plv::place_items_on_sheets(plv::Sheet{100, 100}, items, no_compaction(), {});
    ASSERT_EQ(r.placements.size(), 3u);
    EXPECT_EQ(r.placements[0].part_name, "big");
    EXPECT_EQ(r.placements[0].sheet_index, 0);
    EXPECT_EQ(r.placements[1].part_name, "small");
    EXPECT_EQ(r.placements[1].sheet_index, 0);
    EXPECT_EQ(r.placements[2].copy_number, 2);
    EXPECT_EQ(r.placements[2].sheet_index, 1);
}

TEST(SheetPlacement, GpuSolversWithoutADevicePlaceAsTheCpu) {
    plv::testing::PlacementJob job;
    plv::testing::make_small_job(job, 77);
    const NestingResult cpu = plv::place_items_on_sheets(job.sheet, job.items, job.options, {});
    for (const std::int32_t solver : {plv::Solver::gpu, plv::Solver::dual_gpu}) {
        IterativeNestingOptions o = job.options;
        o.solver = solver;
        const NestingResult r = plv::place_items_on_sheets(job.sheet, job.items, o, {});
        ASSERT_EQ(r.placements.size(), cpu.placements.size());
        for (std::size_t i = 0; i < r.placements.size(); ++i) {
            EXPECT_EQ(r.placements[i].x, cpu.placements[i].x);
            EXPECT_EQ(r.placements[i].y, cpu.placements[i].y);
            EXPECT_EQ(r.placements[i].angle, cpu.placements[i].angle);
        }
    }
}

// Compaction alone: pre-filled sheets and no items.
NestingResult compacted(std::vector<Placement> sheet0, std::int32_t solver = plv::Solver::cpu) {
    IterativeNestingOptions o;
    o.spacing = 5;
    o.solver = solver;
    return plv::place_items_on_sheets(plv::Sheet{1000, 1000}, {}, o, {std::move(sheet0)});
}

TEST(Compaction, DropsAndSlidesOntoTargetLines) {
    const plv::Polygon square = rectangle(100, 100);
    {
        const NestingResult r = compacted({placed_at(square, 0, 300)});
        ASSERT_EQ(r.placements.size(), 1u);
        EXPECT_EQ(r.placements[0].x, 0.0);
        EXPECT_EQ(r.placements[0].y, 0.0);
        EXPECT_EQ(plv::placement_bounds(r.placements[0]).min_y, 0.0);
    }
    {
        const NestingResult r = compacted({placed_at(square, 0, 0, 0, "a"), placed_at(square, 0, 105, 0, "b"),
                                           placed_at(square, 205, 0, 0, "c")});
        ASSERT_EQ(r.placements.size(), 3u);
        // Sorted by box minimum y, then x, as before the last pass.
        EXPECT_EQ(r.placements[0].part_name, "a");
        EXPECT_EQ(r.placements[1].part_name, "c");
        EXPECT_EQ(r.placements[1].x, 105.0);
        EXPECT_EQ(r.placements[1].y, 0.0);
        EXPECT_EQ(r.placements[2].part_name, "b");
        EXPECT_EQ(r.placements[2].x, 0.0);
        EXPECT_EQ(r.placements[2].y, 105.0);
    }
}

TEST(Compaction, ADropMayPassThroughOtherParts) {
    // Only the end position is tested. A pillar holds the bar up; the part
    // above the bar drops to the sheet's edge, then slides against the
    // pillar.
    const NestingResult r = compacted({placed_at(rectangle(40, 195), 0, 0, 0, "pillar"),
                                       placed_at(rectangle(300, 20), 0, 200, 0, "bar"),
                                       placed_at(rectangle(50, 50), 100, 400, 0, "part")});
    ASSERT_EQ(r.placements.size(), 3u);
    EXPECT_EQ(r.placements[0].part_name, "pillar");
    EXPECT_EQ(r.placements[1].part_name, "part");
    EXPECT_EQ(r.placements[1].x, 45.0);
    EXPECT_EQ(r.placements[1].y, 0.0);
    EXPECT_EQ(r.placements[2].part_name, "bar");
    EXPECT_EQ(r.placements[2].y, 200.0);
}

TEST(Compaction, SkippedForTheRandomSolverAndWhenOff) {
    const NestingResult r = compacted({placed_at(rectangle(100, 100), 0, 300)}, plv::Solver::random);
    EXPECT_EQ(r.placements[0].y, 300.0);
    IterativeNestingOptions o;
    o.compact = false;
    const NestingResult off = plv::place_items_on_sheets(plv::Sheet{1000, 1000}, {}, o,
                                                         {{placed_at(rectangle(100, 100), 0, 300)}});
    EXPECT_EQ(off.placements[0].y, 300.0);
}

TEST(Compaction, KeepsEachPlacementOnItsSheet) {
    const NestingResult r = compacted({placed_at(rectangle(100, 100), 0, 300, 0, "a"),
                                       placed_at(rectangle(100, 100), 0, 0, 3, "b")});
    ASSERT_EQ(r.placements.size(), 2u);
    for (const Placement& p : r.placements) EXPECT_EQ(p.y, 0.0);
    EXPECT_EQ(r.placements[0].sheet_index + r.placements[1].sheet_index, 3);
}

}  // namespace
