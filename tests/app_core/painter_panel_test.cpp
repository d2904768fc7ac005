// The settings panel's painted part: logo fit, scroll bar, label rows that
// follow the job list and the scroll, the split title, the emblem fallback
// and the help markers.

#include "app/core/panel_paint.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "painter_ops.hpp"

namespace {

using app::OpKind;
using app::PanelPaintInput;
using app::Rect;
using app::Rgb;
using painter_test::find_text;
using painter_test::ops_of;

// Every character 10 px wide.
const app::TextWidth kTenPerChar = [](app::FontRole, const std::string& s) {
    return static_cast<int>(s.size()) * 10;
};

PanelPaintInput input_of(int height, int list_height = 150, int scroll = 0, int scroll_max = 0) {
    PanelPaintInput in;
    in.client_width = 1320;
    in.client_height = height;
    in.parts_list_height = list_height;
    in.panel_scroll = scroll;
    in.panel_scroll_max = scroll_max;
    return in;
}

TEST(PanelLogo, FittedIntoTheBoxAndCentred) {
    struct Case {
        int w, h;
        Rect expected;
    };
    const Case cases[] = {
        {156, 78, {18, 29, 96, 68}},  // shrunk to 78 x 39
        {40, 20, {18, 29, 96, 68}},   // enlarged to 78 x 39
        {78, 78, {18, 10, 96, 88}},
        {20, 40, {37, 10, 76, 88}},
        {1000, 3, {18, 48, 96, 49}},  // never thinner than 1 px
        {0, 0, {56, 48, 57, 49}},     // no size: drawn as is, at least 1 px
    };
    for (const Case& c : cases) EXPECT_EQ(app::logo_rect(c.w, c.h), c.expected) << c.w << "x" << c.h;
}

TEST(PanelScrollBar, ThumbLengthAndPosition) {
    const app::PanelScrollBar bar = app::panel_scroll_bar(768, 300, 300);
    ASSERT_TRUE(bar.shown);
    EXPECT_EQ(bar.track, (Rect{510, 112, 514, 760}));
    EXPECT_EQ(bar.thumb, (Rect{508, 318, 516, 760}));
    EXPECT_EQ(app::panel_scroll_bar(768, 300, 0).thumb, (Rect{508, 112, 516, 554}));
    EXPECT_FALSE(app::panel_scroll_bar(768, 0, 0).shown);
    // A very short client area: the track is 1 px, the thumb at least 34.
    EXPECT_EQ(app::panel_scroll_bar(100, 50, 0).thumb, (Rect{508, 112, 516, 146}));
}

TEST(PanelPaint, RowsFollowTheJobListAndTheScroll) {
    const app::PaintList tall = app::build_control_panel(input_of(1000, 150, 0), kTenPerChar);
    const app::PaintOp* qty = find_text(tall, "Cantidad del DXF seleccionado");
    ASSERT_NE(qty, nullptr);
    EXPECT_EQ(qty->x, 18);
    EXPECT_EQ(qty->y, 347);
    EXPECT_EQ(qty->colour, (Rgb{216, 218, 209}));

    const app::PaintList scrolled = app::build_control_panel(input_of(1000, 150, 20, 100), kTenPerChar);
    EXPECT_EQ(find_text(scrolled, "Cantidad del DXF seleccionado")->y, 327);
    EXPECT_EQ(find_text(scrolled, "DXF a procesar")->y, 96);

    // At 876 px or less the list is held at 70 whatever its height.
    const app::PaintList short_one = app::build_control_panel(input_of(876, 300, 0), kTenPerChar);
    bool splitter = false;
    for (const app::PaintOp* op : ops_of(short_one, OpKind::fill_rect))
        if (op->fill == Rgb{55, 62, 58}) {
            EXPECT_EQ(op->rect, (Rect{18, 212, 502, 220}));
            splitter = true;
        }
    EXPECT_TRUE(splitter);
    bool grip = false;
    for (const app::PaintOp* op : ops_of(short_one, OpKind::polyline))
        if (op->pen.colour == Rgb{232, 91, 46})
            grip = op->points == std::vector<app::PixelPoint>{{188, 216}, {332, 216}};
    EXPECT_TRUE(grip);
    EXPECT_EQ(find_text(short_one, "Solver")->y, 70 + 769);
}

TEST(PanelPaint, LabelTableTextsFontsAndColours) {
    const app::PaintList list = app::build_control_panel(input_of(1000, 150), kTenPerChar);
    struct Case {
        const char* text;
        int x, k;
        app::FontRole font;
        Rgb colour;
    };
    const Rgb field{216, 218, 209};
    const Rgb light{255, 223, 184};
    const Rgb solver{232, 91, 46};
    const auto small = app::FontRole::small;
    const auto ui = app::FontRole::ui;
    // Every label and heading beside the settings controls, row by row.
    const Case cases[] = {
        {"Cantidad del DXF seleccionado", 18, 197, small, field},
        {"Ancho chapa", 18, 261, small, field},
        {"Alto chapa", 122, 261, small, field},
        {"Precio/Kg", 18, 315, small, field},
        {"Densidad", 122, 315, small, field},
        {"Espesor", 226, 315, small, field},
        {"Nesting configuration", 18, 393, ui, light},
        {"Display units", 18, 425, small, field},
        {"Space between", 306, 425, small, field},
        {"Curve tolerance", 18, 452, small, field},
        {"Part rotations", 306, 452, small, field},
        {"Optimization type", 18, 479, small, field},
        {"Rough approx", 306, 479, small, field},
        {"CPU cores", 18, 506, small, field},
        {"Iterations", 306, 506, small, field},
        {"Import / Export", 18, 555, ui, light},
        {"SVG scale", 18, 583, small, field},
        {"Endpoint tol.", 306, 583, small, field},
        {"DXF import", 18, 610, small, field},
        {"DXF export mm", 306, 610, small, field},
        {"Laser / meta-heuristic", 18, 660, ui, light},
        {"Merge common", 18, 688, small, field},
        {"Opt. ratio", 306, 688, small, field},
        {"GA population", 18, 715, small, field},
        {"Mutation %", 306, 715, small, field},
        {"Shuffle %", 18, 742, small, field},
        {"Intensity %", 306, 742, small, field},
        {"Solver", 18, 769, small, solver},
        {"Perf log", 306, 769, small, field},
    };
    for (const Case& c : cases) {
        const app::PaintOp* op = find_text(list, c.text);
        ASSERT_NE(op, nullptr) << c.text;
        EXPECT_EQ(op->x, c.x) << c.text;
        EXPECT_EQ(op->y, 150 + c.k) << c.text;
        EXPECT_EQ(op->font, c.font) << c.text;
        EXPECT_EQ(op->colour, c.colour) << c.text;
    }
    // Nothing else is written in the scrolled band but "DXF a procesar".
    std::vector<std::string> written;
    const int from = painter_test::index_of(list, OpKind::push_clip);
    ASSERT_GE(from, 0);
    for (std::size_t i = static_cast<std::size_t>(from); i < list.ops.size(); ++i)
        if (list.ops[i].kind == OpKind::text && list.ops[i].text != "DXF a procesar")
            written.push_back(list.ops[i].text);
    std::vector<std::string> expected;
    for (const Case& c : cases) expected.push_back(c.text);
    std::sort(written.begin(), written.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(written, expected);
    // Each heading is underlined at its y + 23.
    int rules = 0;
    for (const app::PaintOp* op : ops_of(list, OpKind::polyline))
        if (op->pen.colour == Rgb{69, 79, 73}) {
            EXPECT_EQ(op->points[0].x, 18);
            EXPECT_EQ(op->points[1].x, 502);
            const int y = op->points[0].y;
            EXPECT_TRUE(y == 150 + 393 + 23 || y == 150 + 555 + 23 || y == 150 + 660 + 23) << y;
            ++rules;
        }
    EXPECT_EQ(rules, 3);
}

TEST(PanelPaint, TitleInTwoColoursWithAGap) {
    const app::PaintList list = app::build_control_panel(input_of(1000), kTenPerChar);
    const app::PaintOp* first = find_text(list, "KELD");
    const app::PaintOp* rest = find_text(list, "AMIRON");
    ASSERT_NE(first, nullptr);
    ASSERT_NE(rest, nullptr);
    EXPECT_EQ(first->x, 108);
    EXPECT_EQ(first->font, app::FontRole::title);
    EXPECT_EQ(first->colour, (Rgb{232, 91, 46}));
    EXPECT_EQ(rest->x, 110 + 40);
    EXPECT_EQ(rest->colour, (Rgb{255, 223, 184}));
    EXPECT_EQ(find_text(list, app::kTaglineFirst)->y, 58);
    EXPECT_EQ(find_text(list, app::kTaglineSecond)->colour, (Rgb{46, 101, 71}));
}

TEST(PanelPaint, LogoThenIconThenEmblem) {
    PanelPaintInput in = input_of(800);
    in.logo = app::PictureSize{156, 78};
    in.has_icon = true;
    const app::PaintList with_logo = app::build_control_panel(in, kTenPerChar);
    auto pictures = ops_of(with_logo, OpKind::picture);
    ASSERT_EQ(pictures.size(), 1u);
    EXPECT_EQ(pictures[0]->picture, app::PictureKind::logo);
    EXPECT_EQ(pictures[0]->rect, (Rect{18, 29, 96, 68}));

    in.logo.reset();
    const app::PaintList with_icon = app::build_control_panel(in, kTenPerChar);
    pictures = ops_of(with_icon, OpKind::picture);
    ASSERT_EQ(pictures.size(), 1u);
    EXPECT_EQ(pictures[0]->picture, app::PictureKind::icon);
    EXPECT_EQ(pictures[0]->rect, (Rect{18, 10, 96, 88}));

    in.has_icon = false;
    const app::PaintList emblem = app::build_control_panel(in, kTenPerChar);
    EXPECT_TRUE(ops_of(emblem, OpKind::picture).empty());
    const auto polygons = ops_of(emblem, OpKind::polygon);
    ASSERT_EQ(polygons.size(), 1u);
    EXPECT_EQ(polygons[0]->points.size(), 15u);
    EXPECT_EQ(polygons[0]->fill, (Rgb{255, 223, 184}));
    const auto notch = ops_of(emblem, OpKind::round_rect);
    ASSERT_EQ(notch.size(), 1u);
    EXPECT_FALSE(notch[0]->has_fill);
    EXPECT_EQ(notch[0]->pen, (app::PenSpec{{38, 38, 38}, 4}));
    EXPECT_EQ(notch[0]->rect, (Rect{56, 55, 66, 69}));
    EXPECT_EQ(notch[0]->corner_w, 9);
}

TEST(PanelPaint, HelpMarkersOnlyWhenShownAndLaidOut) {
    std::vector<app::HelpMarker> markers(3);
    markers[0].hot_rect = Rect{400, 300, 415, 315};
    markers[1].hot_rect = Rect{400, 330, 415, 345};
    markers[1].visible = false;
    markers[2].hot_rect = Rect{};  // not laid out
    PanelPaintInput in = input_of(1000);
    in.help_markers = &markers;
    const app::PaintList list = app::build_control_panel(in, kTenPerChar);
    const auto circles = ops_of(list, OpKind::ellipse);
    ASSERT_EQ(circles.size(), 1u);
    EXPECT_EQ(circles[0]->rect, markers[0].hot_rect);
    EXPECT_EQ(circles[0]->fill, (Rgb{36, 43, 39}));
    EXPECT_EQ(circles[0]->pen, (app::PenSpec{{92, 111, 101}, 1}));
    const auto letters = ops_of(list, OpKind::centred_text);
    ASSERT_EQ(letters.size(), 1u);
    EXPECT_EQ(letters[0]->text, "i");
    EXPECT_EQ(letters[0]->rect, (Rect{400, 299, 415, 314}));
}

TEST(PanelPaint, ScrolledPartIsClippedBelowTheHeader) {
    const app::PaintList list = app::build_control_panel(input_of(768, 150, 300, 300), kTenPerChar);
    const int push = painter_test::index_of(list, OpKind::push_clip);
    const int pop = painter_test::index_of(list, OpKind::pop_clip);
    ASSERT_GE(push, 0);
    EXPECT_EQ(list.ops[push].rect, (Rect{0, 104, 520, 768}));
    EXPECT_LT(push, painter_test::text_index(list, "DXF a procesar"));
    EXPECT_GT(push, painter_test::text_index(list, app::kTaglineSecond));
    // The scroll bar thumb is the last thing inside the clip.
    EXPECT_EQ(pop, static_cast<int>(list.ops.size()) - 1);
    EXPECT_EQ(list.ops[pop - 1].rect, (Rect{508, 318, 516, 760}));
    EXPECT_EQ(list.ops[pop - 1].fill, (Rgb{232, 91, 46}));
    // Backgrounds first: panel, right side, accent strip.
    EXPECT_EQ(list.ops[0].rect, (Rect{0, 0, 520, 768}));
    EXPECT_EQ(list.ops[1].rect, (Rect{520, 0, 1320, 768}));
    EXPECT_EQ(list.ops[1].fill, (Rgb{30, 35, 33}));
    EXPECT_EQ(list.ops[2].rect, (Rect{0, 0, 5, 768}));
}

}  // namespace
