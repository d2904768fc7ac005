// The convergence graph: successes, the two formatters, the footer and the
// positions of labels and curves for small histories.

#include "app/core/graph_model.hpp"
#include "app/core/gui_state.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "painter_ops.hpp"

namespace {

using app::GraphEntry;
using app::GraphSnapshot;
using app::OpKind;
using app::Rect;
using painter_test::find_text;
using painter_test::has_text;
using painter_test::ops_of;

// A client area like the 600 x 400 window's.
const Rect kClient{0, 0, 584, 361};

std::vector<GraphEntry> history_of(const std::vector<double>& best) {
    std::vector<GraphEntry> h;
    for (std::size_t i = 0; i < best.size(); ++i)
        h.push_back({static_cast<std::int32_t>(i + 1), best[i]});
    return h;
}

TEST(GraphFormat, AreaAndPercentSwitchDecimalsAtTen) {
    struct Case {
        double v;
        const char* area;
        const char* percent;
    };
    const Case cases[] = {
        {9999999.0, "10.000", "9999999.0%"},
        {10000000.0, "10.0", "10000000.0%"},
        {4500000.0, "4.500", "4500000.0%"},
        {0.0, "0.000", "0.00%"},
        {9.999, "0.000", "10.00%"},
        {10.0, "0.000", "10.0%"},
        {0.01, "0.000", "0.01%"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(app::format_area_m2(c.v), c.area) << c.v;
        EXPECT_EQ(app::format_percent(c.v), c.percent) << c.v;
    }
}

TEST(GraphSuccesses, OnlyImprovementsAboveTheToleranceCount) {
    const auto s = app::graph_successes(history_of({5e6, 5e6, 4.5e6, 4.5e6}));
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].iteration, 3);
    EXPECT_DOUBLE_EQ(s[0].saved, 500000.0);
    EXPECT_DOUBLE_EQ(s[0].percent, 10.0);

    EXPECT_TRUE(app::graph_successes(history_of({100.0, 100.0 - 0.5e-6})).empty());
    EXPECT_EQ(app::graph_successes(history_of({100.0, 100.0 - 2e-6})).size(), 1u);
    // The reference stays at the last success, so small steps add up.
    const auto drift = app::graph_successes(history_of({100.0, 100.0 - 0.6e-6, 100.0 - 1.2e-6}));
    ASSERT_EQ(drift.size(), 1u);
    EXPECT_EQ(drift[0].iteration, 3);
    // A previous best below 1 mm2 divides by 1.
    const auto small = app::graph_successes(history_of({0.5, 0.25}));
    ASSERT_EQ(small.size(), 1u);
    EXPECT_DOUBLE_EQ(small[0].percent, 25.0);
    EXPECT_TRUE(app::graph_successes({}).empty());
}

TEST(GraphFooter, LastSuccessOrZeros) {
    const auto s = app::graph_successes(history_of({5e6, 5e6, 4.5e6, 4.5e6}));
    EXPECT_EQ(app::graph_footer(7, 4.5e6, s, s.size()),
              "Iteracion: 7   Area: 4.5000 m2   Ultimo salto exitoso: 10.00 % (500000 mm2)   "
              "Exitos: 1");
    EXPECT_EQ(app::graph_footer(2, 5e6, {}, 0),
              "Iteracion: 2   Area: 5.0000 m2   Ultimo salto exitoso: 0.00 % (0 mm2)   Exitos: 0");
}

TEST(GraphPaint, PlaceholderBeforeTheSecondIteration) {
    for (std::size_t n : {0u, 1u}) {
        const GraphSnapshot snap = app::graph_snapshot_of(history_of(std::vector<double>(n, 1e6)), 0);
        const app::PaintList list = app::build_convergence_graph(snap, kClient);
        ASSERT_EQ(list.ops.size(), 3u);
        EXPECT_EQ(list.ops[0].kind, OpKind::fill_rect);
        EXPECT_EQ(list.ops[0].rect, kClient);
        EXPECT_EQ(list.ops[0].fill, (app::Rgb{38, 38, 38}));
        const app::PaintOp* title = find_text(list, "Area ocupada (m2)");
        ASSERT_NE(title, nullptr);
        EXPECT_EQ(title->x, 14);
        EXPECT_EQ(title->y, 10);
        EXPECT_EQ(title->font, app::FontRole::ui);
        const app::PaintOp* hint = find_text(list, "El grafico se actualiza en cada iteracion...");
        ASSERT_NE(hint, nullptr);
        EXPECT_EQ(hint->x, 58);
        EXPECT_EQ(hint->y, 42);
        EXPECT_EQ(hint->colour, (app::Rgb{132, 143, 138}));
    }
}

TEST(GraphPaint, UpperPanelShowsTheLast220Iterations) {
    std::vector<double> best;
    for (int i = 0; i < 300; ++i) best.push_back(1e6 - i);
    const GraphSnapshot snap = app::graph_snapshot_of(history_of(best), 300);
    const app::PaintList list = app::build_convergence_graph(snap, kClient);
    // mid = 180: upper plot (82, 42, 562, 154).
    const app::PaintOp* left = find_text(list, "81");
    const app::PaintOp* right = find_text(list, "300");
    const app::PaintOp* middle = find_text(list, "190");
    ASSERT_NE(left, nullptr);
    ASSERT_NE(right, nullptr);
    ASSERT_NE(middle, nullptr);
    EXPECT_EQ(left->x, 80);
    EXPECT_EQ(left->y, 159);
    EXPECT_EQ(right->x, 528);
    EXPECT_EQ(middle->x, 82 + 240 - 14);
    // The upper curve has one point per shown iteration.
    const auto lines = ops_of(list, OpKind::polyline);
    bool found = false;
    for (const app::PaintOp* op : lines) {
        if (op->pen.width == 2 && op->pen.colour == app::Rgb{232, 91, 46}) {
            EXPECT_EQ(op->points.size(), 220u);
            EXPECT_EQ(op->points.front(), (app::PixelPoint{82, 42}));
            EXPECT_EQ(op->points.back(), (app::PixelPoint{562, 154}));
            found = true;
        }
    }
    EXPECT_TRUE(found);
}

TEST(GraphPaint, TwoIterationsHaveNoMiddleLabel) {
    const GraphSnapshot snap = app::graph_snapshot_of(history_of({1e6, 1e6}), 0);
    const app::PaintList list = app::build_convergence_graph(snap, kClient);
    // Both panels label 1 and 2 (no success: the lower repeats the upper).
    int ones = 0, twos = 0;
    for (const std::string& t : painter_test::texts_of(list)) {
        ones += t == "1";
        twos += t == "2";
    }
    EXPECT_EQ(ones, 2);
    EXPECT_EQ(twos, 2);
    EXPECT_TRUE(has_text(list, "Todavia no hubo otro caso de exito."));
    EXPECT_TRUE(has_text(list, "0.00%"));
    EXPECT_TRUE(has_text(list, "0.01%"));
    // Equal scores: a flat line on the bottom edge of the upper plot.
    for (const app::PaintOp* op : ops_of(list, OpKind::polyline)) {
        if (op->pen.width == 2 && op->pen.colour == app::Rgb{232, 91, 46}) {
            for (const app::PixelPoint& p : op->points) EXPECT_EQ(p.y, 154);
        }
    }
}

TEST(GraphPaint, CurvePointsAreCutTowardZero) {
    const GraphSnapshot snap = app::graph_snapshot_of(history_of({300.0, 200.0, 100.0}), 0);
    const app::Rect client{0, 0, 585, 361};  // upper plot 82..563 wide 481, 42..154
    const app::PaintList list = app::build_convergence_graph(snap, client);
    for (const app::PaintOp* op : ops_of(list, OpKind::polyline)) {
        if (!(op->pen.width == 2 && op->pen.colour == app::Rgb{232, 91, 46})) continue;
        ASSERT_EQ(op->points.size(), 3u);
        EXPECT_EQ(op->points[0], (app::PixelPoint{82, 42}));
        EXPECT_EQ(op->points[1], (app::PixelPoint{82 + 240, 154 - 56}));
        EXPECT_EQ(op->points[2], (app::PixelPoint{563, 154}));
    }
    EXPECT_TRUE(has_text(list, "0.000"));  // 100 mm2 at the bottom label
}

TEST(GraphPaint, LowerPanelKeepsTheLast120Successes) {
    std::vector<double> best;
    for (int i = 0; i <= 150; ++i) best.push_back(1e7 - 1000.0 * i);
    const GraphSnapshot snap = app::graph_snapshot_of(history_of(best), 151);
    const app::PaintList list = app::build_convergence_graph(snap, kClient);
    const auto dots = ops_of(list, OpKind::ellipse);
    ASSERT_EQ(dots.size(), 120u);
    EXPECT_EQ(dots[0]->fill, (app::Rgb{255, 223, 184}));
    EXPECT_EQ(dots[0]->rect.right - dots[0]->rect.left, 7);
    // Lower x labels: first and last kept success (iterations 32 and 151).
    EXPECT_TRUE(has_text(list, "32"));
    const app::PaintOp* footer = nullptr;
    for (const app::PaintOp& op : list.ops)
        if (op.kind == OpKind::text && op.text.rfind("Iteracion: ", 0) == 0) footer = &op;
    ASSERT_NE(footer, nullptr);
    EXPECT_EQ(footer->x, 82);
    EXPECT_EQ(footer->y, 361 - 23);
    EXPECT_NE(footer->text.find("   Exitos: 150"), std::string::npos);
}

TEST(GraphPaint, TitlesLabelsLowerCurveAndFooterFollowTheClientArea) {
    // A client area away from the origin: everything is placed from its
    // left and top. mid = 200; upper plot (92, 62, 572, 174), lower plot
    // (92, 242, 572, 335).
    const Rect client{10, 20, 594, 381};
    const GraphSnapshot snap = app::graph_snapshot_of(history_of({4e6, 3e6, 3e6, 2.4e6}), 4);
    const app::PaintList list = app::build_convergence_graph(snap, client);

    struct Label {
        const char* text;
        int x, y;
        app::FontRole font;
        app::Rgb colour;
    };
    const app::Rgb title{255, 223, 184};
    const app::Rgb label{132, 143, 138};
    const Label labels[] = {
        {"Area ocupada mejor (m2)", 24, 30, app::FontRole::ui, title},
        {"Convergencia (saltos entre exitos)", 24, 210, app::FontRole::ui, title},
        // y labels 68 px left of the plot and 7 px above their grid line
        {"2.400", 24, 174 - 7, app::FontRole::small, label},
        {"3.200", 24, 118 - 7, app::FontRole::small, label},
        {"4.000", 24, 62 - 7, app::FontRole::small, label},
        {"0.00%", 24, 335 - 7, app::FontRole::small, label},
        {"12.5%", 24, 288 - 7, app::FontRole::small, label},  // 46.5 px rounds away from zero
        {"25.0%", 24, 242 - 7, app::FontRole::small, label},
        {"Iteracion: 4   Area: 2.4000 m2   Ultimo salto exitoso: 20.00 % (600000 mm2)   Exitos: 2", 92,
         381 - 23, app::FontRole::small, label},
    };
    for (const Label& l : labels) {
        const app::PaintOp* op = find_text(list, l.text);
        ASSERT_NE(op, nullptr) << l.text;
        EXPECT_EQ(op->x, l.x) << l.text;
        EXPECT_EQ(op->y, l.y) << l.text;
        EXPECT_EQ(op->font, l.font) << l.text;
        EXPECT_EQ(op->colour, l.colour) << l.text;
    }

    // The lower curve: successes of 25 % and 20 %, the scale at 25 %.
    const std::vector<app::PixelPoint> lower{{92, 242}, {572, 335 - 74}};
    int curves = 0;
    for (const app::PaintOp* op : ops_of(list, OpKind::polyline))
        if (op->pen == app::PenSpec{{255, 223, 184}, 2}) {
            EXPECT_EQ(op->points, lower);
            ++curves;
        }
    EXPECT_EQ(curves, 1);
    const auto dots = ops_of(list, OpKind::ellipse);
    ASSERT_EQ(dots.size(), lower.size());
    for (std::size_t i = 0; i < lower.size(); ++i) {
        const app::PixelPoint p = lower[i];
        EXPECT_EQ(dots[i]->rect, (Rect{p.x - 3, p.y - 3, p.x + 4, p.y + 4})) << i;
        EXPECT_EQ(dots[i]->fill, title) << i;
        EXPECT_EQ(dots[i]->pen, (app::PenSpec{{255, 223, 184}, 2})) << i;
    }
}

TEST(GraphSnapshotCopy, TakesScoresAndTheLiveIteration) {
    app::GuiState gui;
    plv::IterationStats s;
    s.iteration = 4;
    s.best_score = 12.5;
    s.candidates.resize(3);
    gui.iteration_history.push_back(s);
    gui.live_stats.iteration = 9;
    app::ConvergenceGraphView view;
    const GraphSnapshot snap = app::take_graph_snapshot(gui, view);
    ASSERT_EQ(snap.history.size(), 1u);
    EXPECT_EQ(snap.history[0].iteration, 4);
    EXPECT_EQ(snap.history[0].best_score, 12.5);
    EXPECT_EQ(snap.live_iteration, 9);
}

}  // namespace
