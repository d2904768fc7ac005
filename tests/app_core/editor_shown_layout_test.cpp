// The layout the editor works over: object snap on a large layout passes over
// far parts without changing any answer, and the kept copy of the shown
// layout is never stale.

#include "app/core/editor_input.hpp"
#include "app/core/editor_model.hpp"
#include "app/core/gui_state.hpp"
#include "app/core/shown_layout.hpp"

#include "editor_fake_host.hpp"
#include "test_support.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <mutex>
#include <vector>

namespace {

using app::Point;
using app_test::entity;
namespace Kind = app::EntityKind;

// The snap rule read plainly: every entity point, then every placement
// point (outer ring, then holes) shifted to its sheet; only a strictly
// nearer point replaces the one held.
app::SnapResult plain_snap(const Point& p, const app::EntityList& entities,
                           const plv::NestingResult& layout, double gap, double tolerance) {
    app::SnapResult result;
    double best = tolerance;
    auto offer = [&](const Point& c) {
        const double d = std::sqrt((p.x - c.x) * (p.x - c.x) + (p.y - c.y) * (p.y - c.y));
        if (d < best) {
            best = d;
            result = {true, c};
        }
    };
    for (const app::EditorEntity& e : entities) {
        offer(e.p0);
        offer(e.p1);
        if (e.kind == Kind::arc) offer(e.p2);
        for (const Point& q : e.points) offer(q);
    }
    for (const plv::Placement& pl : layout.placements) {
        const double shift = pl.sheet_index * (layout.sheet.width + gap);
        for (const Point& q : pl.shape.outer) offer({q.x + shift, q.y});
        for (const plv::Ring& hole : pl.shape.holes)
            for (const Point& q : hole) offer({q.x + shift, q.y});
    }
    return result;
}

// Squares of 8 in rows and columns 10 apart on two 100 x 60 sheets, each
// with a diamond hole, so that a point half-way between two neighbours lies
// as near to one as to the other; one part has a point at infinity (no box).
plv::NestingResult many_parts() {
    plv::NestingResult r;
    r.sheet = {100, 60};
    for (int sheet = 0; sheet < 2; ++sheet)
        for (int row = 0; row < 4; ++row)
            for (int col = 0; col < 10; ++col) {
                const double x = col * 10.0, y = row * 10.0;
                plv::Placement p;
                p.sheet_index = sheet;
                p.shape.outer = {{x, y}, {x + 8, y}, {x + 8, y + 8}, {x, y + 8}, {x, y}};
                p.shape.holes.push_back({{x + 4, y + 2}, {x + 6, y + 4}, {x + 4, y + 6}, {x + 2, y + 4}});
                r.placements.push_back(p);
            }
    plv::Placement odd;
    odd.sheet_index = 1;
    odd.shape.outer = {{55, 65}, {std::numeric_limits<double>::infinity(), 65}, {55, 66}};
    r.placements.push_back(odd);
    return r;
}

TEST(EditorSnap, PassingOverFarPartsKeepsEveryAnswer) {
    const plv::NestingResult layout = many_parts();
    const std::shared_ptr<const app::CanvasLayout> shown =
        app::finish_canvas_layout(app::copy_canvas_layout(layout));
    app::EntityList ents;
    ents.push_back(entity(Kind::line, {18, 0}, {31, 9}));  // on a corner; one off the grid
    ents.push_back(entity(Kind::arc, {140, 30}, {150, 30}, {145, 35}));
    app::EditorEntity poly = entity(Kind::polyline, {205, 21}, {209, 39});
    poly.points = {{205, 21}, {207, 30}, {209, 39}};
    ents.push_back(poly);
    const double gap = 20;  // sheet k starts at 120 k

    int found = 0;
    for (double tolerance : {0.25, 1.0, std::sqrt(2.0), 3.0, 12.0})
        for (double x = -12; x <= 232; x += 0.5)
            for (double y = -12; y <= 52; y += 0.5) {
                const Point p{x, y};
                const app::SnapResult want = plain_snap(p, ents, layout, gap, tolerance);
                const app::SnapResult got = app::find_object_snap(p, ents, *shown, gap, tolerance);
                ASSERT_EQ(got.found, want.found) << x << ", " << y << " within " << tolerance;
                ASSERT_EQ(got.point.x, want.point.x) << x << ", " << y << " within " << tolerance;
                ASSERT_EQ(got.point.y, want.point.y) << x << ", " << y << " within " << tolerance;
                found += want.found ? 1 : 0;
            }
    EXPECT_GT(found, 1000);  // the table reaches points, not only empty space

    // Ties between neighbours: the earlier placement, the entity before both.
    struct Tie {
        Point p;
        Point want;
    };
    for (const Tie& t : std::vector<Tie>{{{9, 0}, {8, 0}},          // squares 0 and 1
                                         {{9, 18}, {8, 18}},        // four squares
                                         {{129, 0}, {128, 0}},      // the same on sheet 1
                                         {{109, 0}, {98, 0}},       // across the gap
                                         {{30, 9}, {31, 9}}}) {     // the entity first
        const app::SnapResult got = app::find_object_snap(t.p, ents, *shown, gap, 12);
        const app::SnapResult want = plain_snap(t.p, ents, layout, gap, 12);
        ASSERT_TRUE(got.found);
        EXPECT_EQ(got.point.x, want.point.x) << t.p.x << ", " << t.p.y;
        EXPECT_EQ(got.point.y, want.point.y) << t.p.x << ", " << t.p.y;
        EXPECT_EQ(got.point.x, t.want.x) << t.p.x << ", " << t.p.y;
        EXPECT_EQ(got.point.y, t.want.y) << t.p.x << ", " << t.p.y;
    }
}

// A host whose gate is the shared kept copy of a state of its own, as the
// main window's is over the process-wide one.
class KeptHost : public editor_test::FakeHost {
public:
    std::shared_ptr<const app::CanvasLayout> display_layout() override {
        return app::take_shown_layout(gui, kept);
    }
    app::GuiState gui;
    app::KeptCanvasLayout kept;
};

plv::NestingResult one_square_at(double x, double y) {
    plv::NestingResult r;
    r.sheet = {660, 600};
    plv::Placement p;
    p.shape.outer = {{x, y}, {x + 10, y}, {x + 10, y + 10}, {x, y + 10}, {x, y}};
    r.placements.push_back(p);
    return r;
}

TEST(EditorGate, KeptLayoutFollowsEveryChangeOfTheShownLayout) {
    KeptHost host;
    app::EditorState st = editor_test::zoomed_state();
    auto show = [&](bool result, const plv::NestingResult& layout) {
        std::lock_guard<std::mutex> lock(host.gui.state_mutex);
        (result ? host.gui.shown_result : host.gui.preview_layout) = layout;
        (result ? host.gui.has_result : host.gui.preview_ready) = true;
        app::note_display_change(host.gui);
    };
    auto hover_at = [&](double x, double y) {
        app::editor_hover(st, host, {editor_test::sx(x), editor_test::sy(y)});
        return st.object_snap_hit ? st.hover_point : Point{-1, -1};
    };

    show(false, one_square_at(100, 100));
    EXPECT_EQ(hover_at(101, 101).x, 100);
    const std::shared_ptr<const app::CanvasLayout> first = host.display_layout();
    EXPECT_EQ(host.display_layout(), first);  // unchanged: no new copy

    // The same number of placements in the same storage: only the count of
    // changes tells the layouts apart.
    show(false, one_square_at(200, 100));
    EXPECT_EQ(hover_at(101, 101).x, -1);
    EXPECT_EQ(hover_at(201, 101).x, 200);

    // A result comes before the preview.
    show(true, one_square_at(300, 100));
    EXPECT_EQ(hover_at(301, 101).x, 300);
    EXPECT_EQ(hover_at(201, 101).x, -1);

    // Nothing shown: the gate closes and the copy is let go.
    {
        std::lock_guard<std::mutex> lock(host.gui.state_mutex);
        host.gui.has_result = false;
        host.gui.preview_ready = false;
        app::note_display_change(host.gui);
    }
    app::editor_hover(st, host, {editor_test::sx(301), editor_test::sy(101)});
    EXPECT_FALSE(st.hover_valid);
    EXPECT_EQ(host.kept.layout, nullptr);
}

}  // namespace
