#include "dxf/dxf_writer.hpp"
#include "dxf/part_builder.hpp"

#include "writer_support.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

using plv::NestingResult;
using plv::Placement;
using plv::Point;
using plv::Polygon;
using plv::Ring;
using writer_test::OutputFolder;
using writer_test::place;
using writer_test::rect;

// Distinct corners of a ring, the closing point left out.
std::vector<Point> corners(const Ring& ring) {
    std::vector<Point> out;
    for (const Point& p : ring) {
        if (!out.empty() && geom::point_distance(p, out.back()) <= 1e-6) continue;
        out.push_back(p);
    }
    if (out.size() > 1 && geom::point_distance(out.front(), out.back()) <= 1e-6) out.pop_back();
    return out;
}

// The same outline, whatever its start point and direction.
void expect_same_ring(const Ring& read, const Ring& written) {
    const auto a = corners(read);
    const auto b = corners(written);
    ASSERT_EQ(a.size(), b.size());
    for (const Point& p : b) {
        const bool found = std::any_of(a.begin(), a.end(), [&](const Point& q) { return geom::point_distance(p, q) <= 1e-6; });
        EXPECT_TRUE(found) << "corner (" << p.x << ", " << p.y << ") not read back";
    }
    // Coordinates travel with six decimals.
    EXPECT_NEAR(geom::ring_area(read), geom::ring_area(written), 1e-3);
}

TEST(DxfRoundTrip, MergedPartsAndHolesReadBackAsTheSameOutlines) {
    // Parts that do not touch, so every outline comes back as its own chain;
    // all parts have distinct areas, so the reader's area order is known.
    NestingResult r;
    r.sheet = plv::Sheet{1200, 600};
    const Polygon plate{rect(10, 10, 410, 210), {rect(50, 40, 130, 100), Ring{{200, 50}, {300, 50}, {250, 150}}}};
    const Polygon ell{Ring{{20, 300}, {220, 300}, {220, 350}, {70, 350}, {70, 500}, {20, 500}}, {}};
    const Polygon hexagon{Ring{{600, 100}, {650, 13.397459621556135}, {750, 13.397459621556135}, {800, 100},
                               {750, 186.60254037844385}, {650, 186.60254037844385}},
                          {rect(680, 80, 720, 120)}};
    r.placements = {place(plate, 0), place(ell, 1), place(hexagon, 1)};

    const OutputFolder folder("round-trip");
    const auto path = folder.file("round-trip.dxf");
    plv::write_dxf(r, path, 250.0, {}, 4, true, {});
    const auto summary = folder.summarize_file(path);
    EXPECT_EQ(summary.count("HOLES", "LINE"), 11);

    const std::vector<plv::Part> parts = plv::load_dxf_parts({path}, plv::DxfImportSettings{});
    ASSERT_EQ(parts.size(), 3u);
    const Polygon* expected[] = {&plate, &hexagon, &ell};  // by area, largest first
    for (std::size_t i = 0; i < parts.size(); ++i) {
        SCOPED_TRACE(parts[i].name);
        EXPECT_EQ(parts[i].name, "round-trip-" + std::to_string(i + 1));
        const Polygon want = geom::normalize_polygon(*expected[i]);
        expect_same_ring(parts[i].shape.outer, want.outer);
        ASSERT_EQ(parts[i].shape.holes.size(), want.holes.size());
        for (const Ring& hole : want.holes) {
            const bool found = std::any_of(parts[i].shape.holes.begin(), parts[i].shape.holes.end(), [&](const Ring& h) {
                return std::abs(geom::ring_area(h) - geom::ring_area(hole)) <= 1e-3;
            });
            ASSERT_TRUE(found) << "hole of area " << geom::ring_area(hole) << " not read back";
            for (const Ring& h : parts[i].shape.holes) {
                if (std::abs(geom::ring_area(h) - geom::ring_area(hole)) <= 1e-3) expect_same_ring(h, hole);
            }
        }
    }
}

}  // namespace
