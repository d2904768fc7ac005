// The GPU solvers on the machine's real OpenCL runtime against the plain
// reference: the device's answers are the same for both, so every layout must
// be the same, whatever the engine keeps built between tries.

#include "engine/sheet_placement.hpp"
#include "gpu/pocl_support.hpp"
#include "placement_jobs.hpp"
#include "placement_reference.hpp"

#include <gtest/gtest.h>

namespace {

using plv::Placement;
using plv::Polygon;
using plv::testing::draw_int;
using plv::testing::layout_difference;

using GpuDifferential = pocl::AdoptedDevice;

TEST_F(GpuDifferential, SmallJobsEqualTheReference) {
    int jobs = 0;
    for (std::uint32_t seed = 400; seed < 412; ++seed) {
        plv::testing::PlacementJob job;
        plv::testing::make_small_job(job, seed);
        std::mt19937 g(seed);
        job.options.solver = draw_int(g, 0, 1) == 0 ? plv::Solver::gpu : plv::Solver::dual_gpu;
        const plv::NestingResult fast = plv::place_items_on_sheets(job.sheet, job.items, job.options, {});
        const plv::NestingResult ref =
            plv::reference::place_items_on_sheets(job.sheet, job.items, job.options, {});
        ASSERT_EQ(layout_difference(fast, ref), "") << job.name;
        ++jobs;
    }
    EXPECT_EQ(jobs, 12);
}

// A full sheet, then a sheet of frames whose holes take small parts: the device sees outlines
// only, so it accepts places on the frames' solid sides, which the exact check
// drops, and places inside the holes, which it keeps. The geometry of the
// placed frames is built when a check first meets it and, past the budget,
// dropped and built again.
TEST_F(GpuDifferential, ExactCheckOnKeptGeometryEqualsTheReference) {
    const Polygon frame{plv::testing::rectangle_ring(0, 0, 90, 70),
                        {plv::testing::rectangle_ring(15, 15, 60, 40)}};
    // Sheet 0 is full; sheet 1 holds the frames.
    const Polygon block = plv::testing::rectangle(98, 98);
    std::vector<Placement> full;
    std::vector<Placement> filled;
    for (int row = 0; row < 4; ++row) {
        for (int col = 0; col < 6; ++col) {
            full.push_back(plv::testing::placed_at(block, col * 100.0, row * 100.0, 0, "block"));
            filled.push_back(plv::testing::placed_at(frame, col * 95.0, row * 75.0, 1, "frame"));
        }
    }
    std::vector<plv::Part> parts;
    std::mt19937 g(77);
    for (int i = 0; i < 3; ++i) {
        parts.push_back(plv::testing::random_part(g, 25, i, true));
        parts.back().quantity = 3;
    }
    // Curved outlines make enough work for the device on every sheet.
    parts.push_back(plv::Part{"disc", Polygon{plv::testing::curved_ring(g, 12, 10, 64), {}}, 4,
                              true, "job/disc.dxf"});
    const std::vector<plv::NestingItem> items = plv::expand_items(parts);
    plv::IterativeNestingOptions options;
    options.solver = plv::Solver::gpu;
    options.spacing = 2;
    options.compact = false;
    options.max_sheets = 3;
    const plv::Sheet sheet{600, 400};
    const std::vector<std::vector<Placement>> prefilled{full, filled};

    const plv::NestingResult ref =
        plv::reference::place_items_on_sheets(sheet, items, options, prefilled);
    const std::size_t before = full.size() + filled.size();
    ASSERT_EQ(ref.placements.size(), before + items.size());
    int in_holes = 0;
    for (std::size_t i = before; i < ref.placements.size(); ++i) {
        const plv::BoundingBox b = plv::placement_bounds(ref.placements[i]);
        EXPECT_EQ(ref.placements[i].sheet_index, 1);
        in_holes += b.max_y < 300 && b.max_x < 570;
    }
    EXPECT_GT(in_holes, 3);
    for (const std::size_t budget : {0u, 1u, 5u, 100000u}) {
        EXPECT_EQ(layout_difference(
                      plv::detail::place_items_on_sheets(sheet, items, options, prefilled, budget), ref),
                  "")
            << "budget " << budget;
    }
}

}  // namespace
