// What a drawing may cost: the points of a long bulged polyline are held
// about once on their way to a part, a file whose entities flatten to too
// many points is refused before they are made, and running out of memory is
// an error of the load, never a part missing in silence.

#include "allocation_meter.hpp"
#include "dxf/dxf_reader.hpp"
#include "dxf/part_builder.hpp"
#include "dxf/paths.hpp"
#include "reader_support.hpp"

#include <gtest/gtest.h>

#include <cstddef>
#include <stdexcept>
#include <string>

namespace {

using plv::test::AllocationMeter;
using plv::test::Groups;
using plv::test::operator+;

// One closed polyline along x: vertices 200 apart, each segment a half
// circle that the default tolerance flattens to 128 points, the closing
// segment straight.
std::string bulged_polyline(int vertices) {
    std::string text = "  0\nSECTION\n  2\nENTITIES\n  0\nLWPOLYLINE\n 70\n1\n";
    for (int i = 0; i < vertices; ++i) {
        text += " 10\n" + std::to_string(200LL * i) + "\n 20\n0\n 42\n" + (i + 1 < vertices ? "1" : "0") + "\n";
    }
    return text + "  0\nENDSEC\n  0\nEOF\n";
}

std::size_t bulged_polyline_points(int vertices) {
    return static_cast<std::size_t>(vertices) + static_cast<std::size_t>(vertices - 1) * 127;
}

// A circle of radius 40000 drawn as 720 arcs of half a degree, 128 segments
// each, which join into one chain of 92 161 points (1.5 MB).
std::string circle_of_arcs() {
    Groups g;
    for (int i = 0; i < 720; ++i) {
        const Groups arc{{0, "ARC"}, {10, "0"}, {20, "0"}, {40, "40000"}, {50, std::to_string(i * 0.5)},
                         {51, std::to_string(i * 0.5 + 0.5)}};
        g.insert(g.end(), arc.begin(), arc.end());
    }
    return plv::test::entities(g);
}

constexpr std::size_t kPointBytes = sizeof(geom::Point);

TEST(DxfLoadMemory, LongBulgedPolylineHoldsItsPointsAboutOnce) {
    const int vertices = 4000;
    const std::size_t points = bulged_polyline_points(vertices);
    plv::test::TempDir dir;
    const auto file = dir.write("bulges.dxf", bulged_polyline(vertices));
    AllocationMeter meter;
    const auto parts = plv::load_dxf_parts({file}, plv::DxfImportSettings{});
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(parts[0].shape.outer.size(), points + 1);
    // Reading, cleaning, sorting and building each made a copy once.
    EXPECT_LT(meter.peak_bytes(), points * kPointBytes * 3 / 2) << "points " << points;
}

TEST(DxfLoadMemory, PointLimitCountsEveryEntityAndRefusesBeforeMaking) {
    const std::string polyline = bulged_polyline(100);
    // Closing points count: the polyline's contour has one more than its
    // flattened vertices, a circle of radius 1 has 25, a line 2.
    const std::size_t polyline_points = bulged_polyline_points(100) + 1;
    const std::string mixed =
        plv::test::entities(plv::test::circle(0, 0, 1) + plv::test::line(0, 0, 5, 5) + plv::test::circle(9, 9, 1));
    const struct {
        const char* name;
        const std::string& text;
        std::size_t points;
        std::size_t entities;
        bool refused_before_made;  // one entity, checked before its points exist
    } cases[] = {{"polyline", polyline, polyline_points, 1, true}, {"circles and a line", mixed, 52, 3, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto at_limit = plv::read_dxf_text(c.text, plv::DxfImportSettings{}, c.points);
        EXPECT_EQ(at_limit.contours.size() + at_limit.open_chains.size(), c.entities);
        AllocationMeter meter;
        try {
            plv::read_dxf_text(c.text, plv::DxfImportSettings{}, c.points - 1);
            ADD_FAILURE() << "one point over the limit was read";
        } catch (const plv::DxfTooLarge& e) {
            EXPECT_EQ(std::string(e.what()), "DXF too large (over " + std::to_string(c.points - 1) + " points)");
        }
        if (c.refused_before_made) {
            EXPECT_LT(meter.peak_bytes(), c.points * kPointBytes / 2);
        }
    }
}

TEST(DxfLoadMemory, FileOverTwentyMillionPointsIsRefusedWithItsName) {
    const int vertices = 160000;  // 20 479 873 points
    ASSERT_GT(bulged_polyline_points(vertices), plv::kMaxDxfPoints);
    plv::test::TempDir dir;
    const auto file = dir.write("huge.dxf", bulged_polyline(vertices));
    // Short of the memory the points would take, as a small machine is.
    AllocationMeter meter(std::size_t{256} << 20);
    try {
        plv::load_dxf_parts({file}, plv::DxfImportSettings{});
        FAIL() << "loaded";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "DXF too large (over 20000000 points): " + plv::path_to_utf8(file));
    }
    EXPECT_LT(meter.peak_bytes(), std::size_t{64} << 20);
}

TEST(DxfLoadMemory, OutOfMemoryIsAnErrorOfTheLoadNamingTheFile) {
    const struct {
        const char* name;
        std::string text;
        std::size_t refuse_above;  // bytes; below what the outline needs, above all else
    } cases[] = {
        // The file is read in blocks of 1 MB: the outline is what fails.
        {"polyline.dxf", bulged_polyline(2000), std::size_t{2} << 20},  // 4 MB, fails while read
        {"arcs.dxf", circle_of_arcs(), std::size_t{5} << 18},           // fails while joined
    };
    plv::test::TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto file = dir.write(c.name, c.text);
        EXPECT_EQ(plv::load_dxf_parts({file}, plv::DxfImportSettings{}).size(), 1u);
        AllocationMeter meter(c.refuse_above);
        try {
            const auto parts = plv::load_dxf_parts({file}, plv::DxfImportSettings{});
            ADD_FAILURE() << "loaded " << parts.size() << " parts";
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(std::string(e.what()), "Out of memory reading DXF: " + plv::path_to_utf8(file));
        }
    }
}

}  // namespace
