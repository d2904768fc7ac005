// The arrowhead of a diameter or radius dimension: its tip on the circle at
// E, its base 11 px from E toward the text point T, whether T lies outside
// the circle or inside it (a pick just inside the rim puts it there). The
// view is exactly 0.5 px per mm.

#include "app/core/canvas_model.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "painter_ops.hpp"
#include "test_support.hpp"

namespace {

using app::OpKind;
using app::PixelPoint;
using app_test::entity;
using painter_test::ops_of;

// Canvas (544, 60, 2136, 1064): a 3000 x 1500 sheet at 0.5 px/mm with its
// top-left corner at (590, 134).
const app::Rect kClient{0, 0, 2160, 1200};

PixelPoint screen(double x, double y) {
    return {590 + static_cast<int>(std::lround(x * 0.5)), 134 + static_cast<int>(std::lround((1500.0 - y) * 0.5))};
}

app::CanvasSnapshot one_sheet() {
    app::CanvasSnapshot snap;
    snap.has_layout = true;
    snap.layout.sheet = plv::Sheet{3000.0, 1500.0};
    plv::Placement p;
    p.shape.outer = {{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}};
    snap.layout.placements.push_back(p);
    snap.job_list_empty = false;
    return snap;
}

TEST(CanvasCircleDimension, ArrowBaseLiesTowardTheTextPoint) {
    // Circle about (1000, 700) with radius 100 mm (50 px).
    struct Case {
        const char* what;
        bool radius;
        app::Point text_point;
        app::Point edge;     // E, the point on the circle
        int base_dx, base_dy;  // from E to the middle of the base, px
    };
    const Case cases[] = {
        {"outside, right", false, {1200, 700}, {1100, 700}, 11, 0},
        {"inside, right", false, {1050, 700}, {1100, 700}, -11, 0},
        {"inside just by the rim, above", false, {1000, 790}, {1000, 800}, 0, 11},
        {"outside, above", false, {1000, 900}, {1000, 800}, 0, -11},
        {"radius, inside, left", true, {930, 700}, {900, 700}, 11, 0},
        {"radius, outside, left", true, {850, 700}, {900, 700}, -11, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        app::EditorEntity d = entity(app::EntityKind::dimension, {1000, 700}, {1100, 700}, c.text_point);
        d.diameter = !c.radius;
        d.radius = c.radius;
        app::EditorState editor;
        editor.entities = {d};
        const app::PaintList list = app::build_canvas(one_sheet(), editor, kClient);
        const auto heads = ops_of(list, OpKind::polygon);
        ASSERT_EQ(heads.size(), 1u);
        const std::vector<PixelPoint>& tri = heads[0]->points;
        ASSERT_EQ(tri.size(), 3u);
        const PixelPoint e = screen(c.edge.x, c.edge.y);
        EXPECT_EQ(tri[0], e);
        EXPECT_EQ((tri[1].x + tri[2].x) / 2 - e.x, c.base_dx);
        EXPECT_EQ((tri[1].y + tri[2].y) / 2 - e.y, c.base_dy);
    }
}

}  // namespace
