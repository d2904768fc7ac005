// The mutation tree: which iterations become nodes, where nodes, links and
// discarded candidates go, the content size and scroll maxima, the header,
// and the scroll rules of the bars and the wheel.

#include "app/core/tree_model.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "painter_ops.hpp"

namespace {

using app::OpKind;
using app::Rect;
using app::Rgb;
using painter_test::find_text;
using painter_test::ops_of;

const Rect kClient{0, 0, 584, 761};
const std::string kHeader = "Poblacion: 4 | Mutacion: 20% | Shuffle Prob: 5% | Shuffle Int: 30%";

plv::IterationStats entry(int iteration, double best, std::vector<plv::CandidateScore> losers = {},
                          bool shuffle = false, double utilization = 0.5) {
    plv::IterationStats s;
    s.iteration = iteration;
    s.iteration_best_score = best;
    s.candidates = std::move(losers);
    s.best_from_shuffle = shuffle;
    s.utilization = utilization;
    return s;
}

// Node boxes are the fill_rects in a node colour.
std::vector<Rect> boxes_filled(const app::PaintList& list, Rgb fill) {
    std::vector<Rect> out;
    for (const app::PaintOp* op : ops_of(list, OpKind::fill_rect))
        if (op->fill == fill) out.push_back(op->rect);
    return out;
}

const Rgb kBase{21, 22, 22};
const Rgb kWin{30, 90, 50};
const Rgb kShuffle{150, 100, 30};
const Rgb kDiscard{180, 50, 50};

TEST(TreeHeader, JoinsTheFourFieldTexts) {
    EXPECT_EQ(app::tree_header_text("4", "20", "5", "30"), kHeader);
    EXPECT_EQ(app::tree_header_text("", "", "", ""),
              "Poblacion:  | Mutacion: % | Shuffle Prob: % | Shuffle Int: %");
}

TEST(TreePaint, EmptyHistoryWaitsWithoutHeaderBar) {
    const app::TreePaint t = app::build_mutation_tree({}, kHeader, kClient, 0, 0);
    EXPECT_FALSE(t.has_maxima);
    ASSERT_EQ(t.paint.ops.size(), 3u);
    const app::PaintOp* waiting = find_text(t.paint, "Esperando iteraciones...");
    ASSERT_NE(waiting, nullptr);
    EXPECT_EQ(waiting->font, app::FontRole::ui);
    EXPECT_EQ(waiting->x, 14);
    EXPECT_EQ(waiting->y, 10);
    const app::PaintOp* header = find_text(t.paint, kHeader);
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header->y, 30);
    EXPECT_EQ(header->colour, (Rgb{132, 143, 138}));
}

TEST(TreePaint, NodesForImprovingIterationsNotesForTheRest) {
    const std::vector<plv::IterationStats> h = {
        entry(1, 100e6, {{120e6, false}}),
        entry(2, 90e6),
        entry(3, 95e6),
        entry(4, 80e6),
    };
    const app::TreePaint t = app::build_mutation_tree(h, kHeader, kClient, 0, 0);
    // Column at x 180; the first box at y 50, its loser's note 120..138,
    // a 30-px link, box 2 at 168, iteration 3's own best as a note at 238,
    // a link, box 4 at 286.
    EXPECT_EQ(boxes_filled(t.paint, kBase), (std::vector<Rect>{{50, 50, 310, 120}}));
    EXPECT_EQ(boxes_filled(t.paint, kWin),
              (std::vector<Rect>{{50, 168, 310, 238}, {50, 286, 310, 356}}));
    const app::PaintOp* first = find_text(t.paint, "Iteracion 1 (Configuracion Base)");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->x, 60);
    EXPECT_EQ(first->y, 55);
    EXPECT_NE(find_text(t.paint, "Iteracion 2 (Mutacion Ganadora)"), nullptr);
    EXPECT_EQ(find_text(t.paint, "Iteracion 3 (Mutacion Ganadora)"), nullptr);
    EXPECT_NE(find_text(t.paint, "Area ocupada: 80.0"), nullptr);
    EXPECT_NE(find_text(t.paint, "Utilizacion: 50.0%"), nullptr);
    const app::PaintOp* loser = find_text(t.paint, "Mutacion (Descartada): 120.0");
    ASSERT_NE(loser, nullptr);
    EXPECT_EQ(loser->x, 205);
    EXPECT_EQ(loser->y, 122);
    EXPECT_EQ(loser->colour, (Rgb{220, 120, 120}));
    const app::PaintOp* own = find_text(t.paint, "Mutacion (Descartada): 95.0");
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(own->y, 240);
    EXPECT_EQ(t.content_height, 356);
    EXPECT_EQ(t.content_width, 380);
    EXPECT_EQ(t.scroll_max_x, 0);  // 380 px fit a 600-px window
    EXPECT_EQ(t.scroll_max_y, 0);
    // The header bar comes last, over everything.
    ASSERT_GE(t.paint.ops.size(), 2u);
    const app::PaintOp& bar = t.paint.ops[t.paint.ops.size() - 2];
    EXPECT_EQ(bar.kind, OpKind::fill_rect);
    EXPECT_EQ(bar.rect, (Rect{0, 0, 584, 30}));
    const app::PaintOp& text = t.paint.ops.back();
    EXPECT_EQ(text.text, kHeader);
    EXPECT_EQ(text.x, 14);
    EXPECT_EQ(text.y, 8);
    EXPECT_EQ(text.colour, (Rgb{180, 200, 190}));
}

TEST(TreePaint, PlainLinkIsAGreyArrow) {
    const app::TreePaint t =
        app::build_mutation_tree({entry(1, 100.0), entry(2, 90.0)}, kHeader, kClient, 0, 0);
    std::vector<std::vector<app::PixelPoint>> grey;
    for (const app::PaintOp* op : ops_of(t.paint, OpKind::polyline))
        if (op->pen.colour == Rgb{132, 143, 138} && op->pen.width == 2 && op->points.size() == 2)
            grey.push_back(op->points);
    const std::vector<std::vector<app::PixelPoint>> expected = {
        {{180, 120}, {180, 150}}, {{180, 150}, {175, 140}}, {{180, 150}, {185, 140}}};
    EXPECT_EQ(grey, expected);
}

TEST(TreePaint, NodeOutlinesByKind) {
    // A base node, a winning mutation and a winning shuffle, one under the
    // other; each box is outlined with its own 2-px pen.
    const std::vector<plv::IterationStats> h = {entry(1, 100.0), entry(2, 90.0), entry(3, 80.0, {}, true)};
    const app::TreePaint t = app::build_mutation_tree(h, kHeader, kClient, 0, 0);
    struct Node {
        Rgb fill;
        app::PenSpec outline;
    };
    const Node nodes[] = {
        {kBase, {{132, 143, 138}, 2}},
        {kWin, {{80, 200, 100}, 2}},
        {kShuffle, {{220, 160, 50}, 2}},
    };
    for (const Node& n : nodes) {
        const std::vector<Rect> boxes = boxes_filled(t.paint, n.fill);
        ASSERT_EQ(boxes.size(), 1u);
        const Rect& b = boxes[0];
        const std::vector<app::PixelPoint> outline{
            {b.left, b.top}, {b.right, b.top}, {b.right, b.bottom}, {b.left, b.bottom}, {b.left, b.top}};
        int found = 0;
        for (const app::PaintOp* op : ops_of(t.paint, OpKind::polyline))
            if (op->points == outline) {
                EXPECT_EQ(op->pen, n.outline) << b.top;
                ++found;
            }
        EXPECT_EQ(found, 1) << b.top;
    }
}

TEST(TreePaint, AnImprovementWithinTheToleranceMakesNoNode) {
    const app::TreePaint t = app::build_mutation_tree({entry(1, 100.0), entry(2, 100.0 - 1e-6)},
                                                      kHeader, kClient, 0, 0);
    EXPECT_TRUE(boxes_filled(t.paint, kWin).empty());
    EXPECT_EQ(t.content_height, 50 + 70 + 18);
}

TEST(TreePaint, WinningShuffleMovesTheColumnForEverythingAfter) {
    const std::vector<plv::IterationStats> h = {
        entry(1, 100e6),
        entry(2, 90e6, {{95e6, false}}, true),
    };
    const app::TreePaint t = app::build_mutation_tree(h, kHeader, kClient, 0, 0);
    // Elbow from (180, 120) to (530, 170); the box centred on 530.
    EXPECT_EQ(boxes_filled(t.paint, kShuffle), (std::vector<Rect>{{400, 170, 660, 240}}));
    EXPECT_NE(find_text(t.paint, "Iteracion 2 (Salto Evolutivo / Shuffle)"), nullptr);
    bool elbow = false;
    for (const app::PaintOp* op : ops_of(t.paint, OpKind::polyline))
        if (op->pen.colour == Rgb{220, 160, 50} && op->points.size() == 4) {
            EXPECT_EQ(op->points, (std::vector<app::PixelPoint>{
                                      {180, 120}, {180, 150}, {530, 150}, {530, 170}}));
            elbow = true;
        }
    EXPECT_TRUE(elbow);
    const app::PaintOp* note = find_text(t.paint, "Mutacion (Descartada): 95.0");
    ASSERT_NE(note, nullptr);
    EXPECT_EQ(note->x, 555);
    EXPECT_EQ(t.content_width, 730);
    EXPECT_EQ(t.scroll_max_x, 730 - 584);
}

TEST(TreePaint, DiscardedShuffleIsARedBoxAndKeepsTheColumn) {
    const std::vector<plv::IterationStats> h = {
        entry(1, 100e6, {{110e6, true}, {105e6, false}}),
    };
    const app::TreePaint t = app::build_mutation_tree(h, kHeader, kClient, 0, 0);
    const auto red = ops_of(t.paint, OpKind::rectangle);
    ASSERT_EQ(red.size(), 1u);
    EXPECT_TRUE(red[0]->has_fill);
    EXPECT_EQ(red[0]->fill, kDiscard);
    EXPECT_EQ(red[0]->pen, (app::PenSpec{{180, 70, 70}, 1}));
    EXPECT_EQ(red[0]->rect, (Rect{400, 170, 660, 240}));
    EXPECT_NE(find_text(t.paint, "Shuffle (Descartado)"), nullptr);
    EXPECT_NE(find_text(t.paint, "Area: 110.0"), nullptr);
    const app::PaintOp* note = find_text(t.paint, "Mutacion (Descartada): 105.0");
    ASSERT_NE(note, nullptr);
    EXPECT_EQ(note->x, 205);
    EXPECT_EQ(note->y, 242);
    EXPECT_EQ(t.content_height, 50 + 70 + 120 + 18);
    EXPECT_EQ(t.content_width, 730);
}

TEST(TreePaint, ScrolledContentIsShiftedAndCulledButSizedInFull) {
    std::vector<plv::IterationStats> h;
    for (int i = 1; i <= 200; ++i) h.push_back(entry(i, 1000.0 - i));
    const Rect small{0, 0, 584, 300};
    const app::TreePaint top = app::build_mutation_tree(h, kHeader, small, 0, 0);
    // 200 nodes: 50 + 70 + 199 * 100.
    EXPECT_EQ(top.content_height, 20020);
    EXPECT_EQ(top.scroll_max_y, 20020 - 300);
    const app::TreePaint end = app::build_mutation_tree(h, kHeader, small, 0, top.scroll_max_y);
    EXPECT_EQ(end.content_height, top.content_height);
    // Only the few boxes that reach into the window are drawn.
    EXPECT_LE(boxes_filled(end.paint, kWin).size(), 4u);
    const app::PaintOp* last = find_text(end.paint, "Iteracion 200 (Mutacion Ganadora)");
    ASSERT_NE(last, nullptr);
    // Box 200 ends at content y 20020, the bottom of the window.
    EXPECT_EQ(last->y, 300 - 70 + 5);
    EXPECT_EQ(find_text(end.paint, "Iteracion 1 (Configuracion Base)"), nullptr);
    // Horizontal scrolling moves the column.
    const app::TreePaint side = app::build_mutation_tree(h, kHeader, small, 40, 0);
    const app::PaintOp* first = find_text(side.paint, "Iteracion 1 (Configuracion Base)");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->x, 20);
}

TEST(TreeScroll, RequestsMoveByLinesPagesOrTheTrackAndClamp) {
    struct Case {
        app::ScrollRequest request;
        int position, track, maximum, expected;
    };
    using R = app::ScrollRequest;
    const Case cases[] = {
        {R::line_up, 100, 0, 500, 60},      {R::line_down, 100, 0, 500, 140},
        {R::page_up, 100, 0, 500, 0},       {R::page_down, 100, 0, 500, 300},
        {R::page_down, 400, 0, 500, 500},   {R::thumb_track, 100, 70000, 90000, 70000},
        {R::thumb_track, 100, 900, 500, 500}, {R::thumb_position, 100, 300, 500, 100},
        {R::top, 100, 0, 500, 100},         {R::end_scroll, 100, 0, 500, 100},
        {R::line_down, 600, 0, 500, 500},   {R::line_up, 10, 0, 0, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(app::tree_scroll_after(static_cast<int>(c.request), c.position, c.track, c.maximum),
                  c.expected)
            << static_cast<int>(c.request) << " from " << c.position;
}

TEST(TreeScroll, WheelMovesSixtyPixelsPerWholeNotch) {
    EXPECT_EQ(app::tree_wheel_scroll(500, 240, 1000), 380);
    EXPECT_EQ(app::tree_wheel_scroll(500, 100, 1000), 500);
    EXPECT_EQ(app::tree_wheel_scroll(500, -120, 1000), 560);
    EXPECT_EQ(app::tree_wheel_scroll(500, -119, 1000), 500);
    EXPECT_EQ(app::tree_wheel_scroll(30, 120, 1000), 0);
    EXPECT_EQ(app::tree_wheel_scroll(990, -120, 1000), 1000);
}

}  // namespace
