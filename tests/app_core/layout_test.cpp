#include "app/core/control_ids.hpp"
#include "app/core/layout.hpp"

#include <gtest/gtest.h>

#include <map>
#include <optional>

namespace {

using app::Rect;
using app::Visibility;
using app::WindowPlacement;

TEST(MainWindowPlacement, FollowsTheWorkArea) {
    struct Case {
        std::optional<Rect> work_area;
        WindowPlacement expected;
    };
    const Case cases[] = {
        {Rect{0, 0, 1920, 1080}, {300, 35, 1320, 1010}},
        {Rect{0, 0, 800, 560}, {20, 20, 760, 520}},
        {Rect{0, 0, 700, 500}, {0, 0, 760, 520}},
        {std::nullopt, {23, 20, 1320, 728}},
        {Rect{100, 50, 2020, 1090}, {400, 70, 1320, 1000}},
        // Offsets below 1 become 0, relative to the work area's corner.
        {Rect{10, 20, 771, 541}, {10, 20, 760, 520}},
        {Rect{-1600, 0, 0, 900}, {-1460, 20, 1320, 860}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.work_area ? c.work_area->right : -1);
        EXPECT_EQ(app::main_window_placement(c.work_area), c.expected);
    }
}

TEST(PanelLimits, PartsListHeightIsClampedByTheClientHeight) {
    // Up to 876 the list is exactly 70 high whatever is asked.
    for (int h : {520, 700, 876})
        for (int l : {0, 70, 150, 500}) EXPECT_EQ(app::clamp_parts_list_height(l, h), 70);
    EXPECT_EQ(app::clamp_parts_list_height(10, 1000), 70);
    EXPECT_EQ(app::clamp_parts_list_height(150, 1000), 150);
    EXPECT_EQ(app::clamp_parts_list_height(194, 1000), 194);
    EXPECT_EQ(app::clamp_parts_list_height(195, 1000), 194);
}

TEST(PanelLimits, ScrollRange) {
    EXPECT_EQ(app::panel_scroll_range(150, 1000), 38);
    EXPECT_EQ(app::panel_scroll_range(70, 600), 358);
    EXPECT_EQ(app::panel_scroll_range(194, 1200), 0);
    // Tiny client heights count as 113.
    EXPECT_EQ(app::panel_scroll_range(70, 0), 70 + 888 - 113);
}

TEST(PanelScroll, WheelStepsStopAtTheRange) {
    app::PanelState p;  // L = 150
    EXPECT_TRUE(p.scroll_by(app::wheel_scroll_delta(-120), 1000));
    EXPECT_EQ(p.panel_scroll, 38);
    EXPECT_EQ(p.panel_scroll_max, 38);
    EXPECT_FALSE(p.scroll_by(app::wheel_scroll_delta(-120), 1000));
    EXPECT_EQ(p.panel_scroll, 38);
    EXPECT_TRUE(p.scroll_by(app::wheel_scroll_delta(0), 1000));
    EXPECT_EQ(p.panel_scroll, 0);
    EXPECT_FALSE(p.scroll_by(app::wheel_scroll_delta(120), 1000));
}

TEST(PanelScroll, StaleScrollIsClampedBeforeTheStep) {
    // The window grew since the last scroll: 300 is out of range now.
    app::PanelState p;
    p.parts_list_height = 70;
    p.panel_scroll = 300;
    // Range 0: the old value is clamped to 0 first, so nothing moves.
    EXPECT_FALSE(p.scroll_by(54, 1000));
    EXPECT_EQ(p.panel_scroll, 0);
    EXPECT_EQ(p.panel_scroll_max, 0);
}

TEST(PanelScroll, WheelDeltaAndTarget) {
    EXPECT_EQ(app::wheel_scroll_delta(0), -54);
    EXPECT_EQ(app::wheel_scroll_delta(1), -54);
    EXPECT_EQ(app::wheel_scroll_delta(-1), 54);
    EXPECT_EQ(app::wheel_scroll_delta(-960), 54);
    EXPECT_TRUE(app::wheel_over_panel(0, 0));
    EXPECT_TRUE(app::wheel_over_panel(519, 900));
    EXPECT_FALSE(app::wheel_over_panel(520, 300));
    EXPECT_FALSE(app::wheel_over_panel(-1, 300));
    EXPECT_FALSE(app::wheel_over_panel(100, -1));
}

TEST(Splitter, BandEdges) {
    struct Case {
        int x, y;
        bool inside;
    };
    // L = 70, no scroll: rows 212 .. 219, columns 18 .. 501.
    const Case cases[] = {{100, 211, false}, {100, 212, true}, {100, 219, true},
                          {100, 220, false}, {17, 215, false}, {18, 215, true},
                          {501, 215, true},  {502, 215, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.x * 1000 + c.y);
        EXPECT_EQ(app::in_splitter_band(c.x, c.y, 70, 0), c.inside);
    }
    EXPECT_TRUE(app::in_splitter_band(100, 212 - 30, 70, 30));
    EXPECT_FALSE(app::in_splitter_band(100, 212, 70, 30));
}

TEST(Splitter, DragStaysWithinTheLimits) {
    app::PanelState p;  // L = 150, H = 1000: 70 .. 194
    EXPECT_FALSE(p.grab_splitter(100, 150 + 141));
    ASSERT_TRUE(p.grab_splitter(100, 150 + 145));
    EXPECT_TRUE(p.splitter_dragging);
    EXPECT_TRUE(p.drag_splitter_to(150 + 145 + 30, 1000));
    EXPECT_EQ(p.parts_list_height, 180);
    EXPECT_TRUE(p.drag_splitter_to(150 + 145 + 300, 1000));
    EXPECT_EQ(p.parts_list_height, 194);
    EXPECT_FALSE(p.drag_splitter_to(150 + 145 + 400, 1000));
    // Far above the window: stops at 70.
    EXPECT_TRUE(p.drag_splitter_to(-5000, 1000));
    EXPECT_EQ(p.parts_list_height, 70);
    EXPECT_TRUE(p.release_splitter(1000));
    EXPECT_FALSE(p.splitter_dragging);
    EXPECT_FALSE(p.release_splitter(1000));
}

TEST(Splitter, CannotChangeTheListOnShortWindows) {
    app::PanelState p;
    p.parts_list_height = 70;
    ASSERT_TRUE(p.grab_splitter(200, 215));
    EXPECT_FALSE(p.drag_splitter_to(215 + 100, 876));
    EXPECT_EQ(p.parts_list_height, 70);
    p.abort_splitter();
    EXPECT_FALSE(p.splitter_dragging);
}

std::map<int, app::ControlPlacement> by_id(const app::PanelLayout& layout) {
    std::map<int, app::ControlPlacement> m;
    for (const auto& c : layout.controls) m[c.id] = c;
    return m;
}

TEST(Layout, BottomRowFollowsTheWidth) {
    struct Case {
        int width, list_width, log_x, log_width;
    };
    const Case cases[] = {{1219, 320, 874, 331},
                          {1220, 321, 875, 331},
                          {1400, 411, 965, 421},
                          {1700, 430, 984, 702},
                          {744, 320, 874, 200}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.width);
        auto m = by_id(app::compute_layout(c.width, 1000, 150, 0));
        EXPECT_EQ(m[app::IDC_SOLUTIONS_LIST].rect, (Rect{544, 880, 544 + c.list_width, 976}));
        EXPECT_EQ(m[app::IDC_LOG].rect, (Rect{c.log_x, 880, c.log_x + c.log_width, 976}));
        EXPECT_EQ(m[app::IDC_LOG].visibility, Visibility::keep);
    }
}

TEST(Layout, PanelRowsFollowTheListHeightAndScroll) {
    auto layout = app::compute_layout(1400, 1000, 150, 20);
    EXPECT_EQ(layout.parts_list_height, 150);
    EXPECT_EQ(layout.panel_scroll, 20);
    EXPECT_EQ(layout.panel_scroll_max, 38);
    auto m = by_id(layout);
    EXPECT_EQ(m[app::IDC_PARTS_LIST].rect, (Rect{18, 118, 502, 268}));
    EXPECT_EQ(m[app::IDC_ADD_FOLDER].rect, (Rect{18, 288, 128, 314}));
    EXPECT_EQ(m[app::IDC_APPLY_QUANTITY].rect, (Rect{312, 347, 502, 373}));
    EXPECT_EQ(m[app::IDC_RUN].rect, (Rect{228, 410, 344, 440}));
    EXPECT_EQ(m[app::IDC_SOLVER].rect, (Rect{166, 894, 284, 1004}));
    EXPECT_EQ(m[app::IDC_PERF_LOG].rect, (Rect{422, 898, 448, 919}));
    // Out-of-range inputs are clamped first.
    auto clamped = app::compute_layout(1400, 1000, 400, 500);
    EXPECT_EQ(clamped.parts_list_height, 194);
    EXPECT_EQ(clamped.panel_scroll_max, 82);
    EXPECT_EQ(clamped.panel_scroll, 82);
}

TEST(Layout, ToolBarAndHiddenControlsAreFixed) {
    for (int s : {0, 38}) {
        auto m = by_id(app::compute_layout(1219, 1000, 150, s));
        EXPECT_EQ(m[app::IDC_TOOL_SELECT].rect, (Rect{544, 24, 622, 52}));
        EXPECT_EQ(m[app::IDC_CLEAR_DRAWING].rect, (Rect{1366, 24, 1436, 52}));
        EXPECT_EQ(m[app::IDC_GRID].visibility, Visibility::keep);
        for (int id : {app::IDC_IMPORT_CSV, app::IDC_OUTPUT_PATH, app::IDC_CHOOSE_OUTPUT,
                       app::IDC_FEEDBACK})
            EXPECT_EQ(m[id].visibility, Visibility::hide);
    }
}

TEST(Layout, EveryControlIsPlacedOnce) {
    auto layout = app::compute_layout(1400, 1000, 150, 0);
    std::map<int, int> count;
    for (const auto& c : layout.controls) ++count[c.id];
    EXPECT_EQ(count.size(), static_cast<std::size_t>(app::kControlCount));
    for (const auto& [id, n] : count) {
        EXPECT_GE(id, app::kFirstControlId);
        EXPECT_LE(id, app::kLastControlId);
        EXPECT_EQ(n, 1) << id;
    }
}

TEST(Layout, VisibilityBand) {
    // H = 600: L = 70, range 358.
    auto top = by_id(app::compute_layout(1219, 600, 150, 0));
    EXPECT_EQ(top[app::IDC_PARTS_LIST].rect.height(), 70);
    EXPECT_EQ(top[app::IDC_MAX_ITERATIONS].visibility, Visibility::show);  // y 573
    EXPECT_EQ(top[app::IDC_SVG_SCALE].visibility, Visibility::hide);       // y 650 >= 600

    // Scrolled by 108: the job list (138 .. 208 -> 30 .. 100) goes, the
    // buttons under it (228 -> 120) stay.
    auto s108 = by_id(app::compute_layout(1219, 600, 70, 108));
    EXPECT_EQ(s108[app::IDC_PARTS_LIST].visibility, Visibility::hide);
    EXPECT_EQ(s108[app::IDC_ADD_FOLDER].visibility, Visibility::show);

    // A 24-pixel edit at y - s + 24 = 104 is hidden, at 105 shown.
    auto edge = by_id(app::compute_layout(1219, 600, 70, 70 + 218 + 24 - 104));
    EXPECT_EQ(edge[app::IDC_QUANTITY].rect.bottom, 104);
    EXPECT_EQ(edge[app::IDC_QUANTITY].visibility, Visibility::hide);
    auto edge2 = by_id(app::compute_layout(1219, 600, 70, 70 + 218 + 24 - 105));
    EXPECT_EQ(edge2[app::IDC_QUANTITY].visibility, Visibility::show);

    // Combo boxes count 110 high: shown while their top is at least -5
    // (a very short client area gives the range for that).
    auto combo = by_id(app::compute_layout(1219, 200, 70, 70 + 474 + 5));
    EXPECT_EQ(combo[app::IDC_OPTIMIZATION_TYPE].rect.top, -5);
    EXPECT_EQ(combo[app::IDC_OPTIMIZATION_TYPE].visibility, Visibility::show);
    EXPECT_EQ(combo[app::IDC_ROUGH_CURVES].visibility, Visibility::hide);
    auto combo2 = by_id(app::compute_layout(1219, 200, 70, 70 + 474 + 6));
    EXPECT_EQ(combo2[app::IDC_OPTIMIZATION_TYPE].visibility, Visibility::hide);
}

}  // namespace
