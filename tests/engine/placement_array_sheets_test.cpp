// Jobs of array parts and other parts: the other copies are placed beside
// sheets of array copies, whose free-test geometry the engine builds only
// where a test meets them and may drop and build again. The layouts must be
// those of the plain construction: every array emitted into one list, split
// by sheet, and the rest placed by the reference placer.

#include "engine/array_layout.hpp"
#include "engine/iterative_search.hpp"
#include "engine/search_detail.hpp"
#include "engine/sheet_placement.hpp"
#include "engine/single_pass.hpp"
#include "placement_jobs.hpp"
#include "placement_reference.hpp"
#include "search_fixtures.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>

namespace {

using plv::testing::layout_difference;
using search_test::frame;
using search_test::part;
using search_test::rect_part;

// Arrays as the plain reading builds them, then the other copies, largest
// first, by the reference placer.
plv::NestingResult plain_layout(const plv::Sheet& sheet, const std::vector<plv::Part>& parts,
                                const plv::IterativeNestingOptions& options) {
    plv::NestingResult arrays;
    arrays.sheet = sheet;
    std::vector<plv::Part> remaining;
    for (const plv::Part& p : parts) {
        plv::ArrayPattern pattern;
        if (plv::find_array_pattern(sheet, p, options, pattern)) {
            plv::emit_array_placements(arrays, p, pattern,
                                       arrays.placements.empty() ? 0 : arrays.sheets_used());
        } else {
            remaining.push_back(p);
        }
    }
    std::vector<std::vector<plv::Placement>> sheets = plv::split_placements_by_sheet(arrays);
    std::vector<plv::NestingItem> items = plv::expand_items(remaining);
    std::stable_sort(items.begin(), items.end(), [](const auto& a, const auto& b) {
        return plv::part_net_area(*a.part) > plv::part_net_area(*b.part);
    });
    plv::IterativeNestingOptions placement = options;
    placement.compact = false;
    placement.max_sheets = std::max(options.max_sheets,
                                    std::max(1, options.max_sheets) +
                                        static_cast<std::int32_t>(sheets.size()));
    return plv::reference::place_items_on_sheets(sheet, items, placement, std::move(sheets));
}

// Frames whose holes take the small squares, a second array part with room
// left on its sheet, L shapes that go beside the frames and the chips, and a
// plate that needs a sheet of its own.
std::vector<plv::Part> mixed_job() {
    return {
        part("frame", frame(30, 6), 200),
        rect_part("square", 8, 8, 4, false),
        rect_part("chip", 12, 7, 250, false),
        part("angle", search_test::l_shape(60, 50, 15), 3),
        rect_part("plate", 390, 250, 1),
    };
}

TEST(PlacementArraySheets, MixedJobEqualsThePlainConstruction) {
    const plv::Sheet sheet{400, 300};
    plv::IterativeNestingOptions options;
    options.spacing = 2;
    options.rotations = {0, 90};
    options.iterations = 1;
    const std::vector<plv::Part> parts = mixed_job();
    const plv::NestingResult plain = plain_layout(sheet, parts, options);

    // The job is what it claims: two sheets of frames, one of chips, the
    // squares in the frames' holes, the angles beside the array copies, the
    // plate on a new sheet.
    std::map<std::string, std::map<int, int>> sheets;
    for (const plv::Placement& p : plain.placements) ++sheets[p.part_name][p.sheet_index];
    EXPECT_EQ(sheets["frame"], (std::map<int, int>{{0, 108}, {1, 92}}));
    EXPECT_EQ(sheets["chip"], (std::map<int, int>{{2, 250}}));
    EXPECT_EQ(sheets["square"], (std::map<int, int>{{0, 4}}));
    EXPECT_EQ(sheets["angle"], (std::map<int, int>{{1, 2}, {2, 1}}));
    EXPECT_EQ(sheets["plate"], (std::map<int, int>{{3, 1}}));
    EXPECT_TRUE(plain.unplaced.empty());

    EXPECT_EQ(layout_difference(plv::nest_parts_iterative(sheet, parts, options).result, plain), "");
    EXPECT_EQ(layout_difference(plv::nest_parts(sheet, parts, options), plain), "");

    // The array sheets alone, as one list and as one list per sheet.
    plv::NestingResult flat;
    std::vector<plv::Part> remaining;
    ASSERT_TRUE(plv::place_high_quantity_arrays(sheet, parts, options, flat, remaining));
    plv::NestingResult arrays_only = plain;
    std::erase_if(arrays_only.placements, [](const plv::Placement& p) {
        return p.part_name != "frame" && p.part_name != "chip";
    });
    EXPECT_EQ(layout_difference(flat, arrays_only), "");
    std::vector<std::vector<plv::Placement>> by_sheet;
    ASSERT_TRUE(plv::place_high_quantity_array_sheets(sheet, parts, options, by_sheet, remaining));
    ASSERT_EQ(remaining.size(), 3u);

    // The geometry kept between tries only saves work: with none kept beyond
    // the sheet in work, the copies land where they do with all of it.
    std::vector<plv::NestingItem> items = plv::expand_items(remaining);
    plv::detail::sort_largest_first(items);
    plv::IterativeNestingOptions placement = options;
    placement.compact = false;
    for (const std::size_t budget : {0u, 1u, 40u, 100000u}) {
        EXPECT_EQ(layout_difference(plv::detail::place_items_on_sheets(sheet, items, placement, by_sheet,
                                                                budget),
                             plain),
                  "")
            << "budget " << budget;
    }
}

}  // namespace
