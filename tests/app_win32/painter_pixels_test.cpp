// The painters drawn for real with GDI into a 32-bit DIB section and read
// back pixel by pixel: canvas, settings panel (with a GDI+ logo), the
// convergence graph, the mutation tree, and the side windows' procedures
// (scroll bars, wheel, destruction). Text pixels are never compared: the
// faces are substituted in a Wine prefix.

#include <windows.h>

#include <gdiplus.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "app/core/canvas_model.hpp"
#include "app/core/editor_model.hpp"
#include "app/core/graph_model.hpp"
#include "app/core/gui_state.hpp"
#include "app/core/panel_paint.hpp"
#include "app/core/tree_model.hpp"
#include "app/win32/app_windows.hpp"
#include "app/win32/canvas_painter.hpp"
#include "app/win32/frame_hooks.hpp"
#include "app/win32/main_window.hpp"
#include "app/win32/panel_painter.hpp"
#include "app/win32/graph_window.hpp"
#include "app/win32/tree_window.hpp"
#include "tests/app_win32/dib_section.hpp"
#include "tests/app_win32/window_test_support.hpp"

namespace app {
// Readable colours in failure messages.
inline std::ostream& operator<<(std::ostream& os, const Rgb& c) {
    return os << "(" << int(c.r) << ", " << int(c.g) << ", " << int(c.b) << ")";
}
}  // namespace app

namespace {

using app::Rgb;

const Rgb kWhite{255, 255, 255};

// White at first, so what the painters leave alone reads as white.
class Dib : public gdi_test::DibSection {
public:
    Dib(int width, int height) : DibSection(width, height) {
        RECT all{0, 0, width, height};
        FillRect(dc(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    }
};

const app::PaintResources kNoResources{};

// Canvas at 0.5 px/mm with sheet 0's top-left corner at (590, 134).
const app::Rect kCanvasClient{0, 0, 2160, 1200};

app::PixelPoint screen(double x, double y) {
    return {590 + static_cast<int>(std::lround(x * 0.5)),
            134 + static_cast<int>(std::lround((1500.0 - y) * 0.5))};
}

app::CanvasSnapshot one_part_layout() {
    app::CanvasSnapshot snap;
    snap.has_layout = true;
    snap.job_list_empty = false;
    snap.layout.sheet = plv::Sheet{3000.0, 1500.0};
    plv::Placement p;
    p.shape.outer = {{200, 200}, {400, 200}, {400, 400}, {200, 400}, {200, 200}};
    p.shape.holes = {{{210, 210}, {220, 210}, {220, 220}, {210, 210}}};
    snap.layout.placements.push_back(p);
    return snap;
}

void paint_canvas_into(const Dib& dib, const app::CanvasSnapshot& snap, const app::EditorState& st) {
    app::draw_paint_list(dib.dc(), app::build_canvas(snap, st, kCanvasClient), kNoResources);
}

class PainterPixels : public ::testing::Test {};

TEST_F(PainterPixels, EmptyCanvasIsBackgroundWithoutCommandBar) {
    Dib dib(2160, 1200);
    ASSERT_TRUE(dib.ok());
    paint_canvas_into(dib, app::CanvasSnapshot{}, app::EditorState{});
    EXPECT_EQ(dib.at(2130, 1060), (Rgb{18, 24, 23}));
    EXPECT_EQ(dib.at(550, 1040), (Rgb{18, 24, 23}));  // no bar
    EXPECT_EQ(dib.at(544, 60), (Rgb{18, 24, 23}));
    EXPECT_EQ(dib.at(543, 60), kWhite);    // left of the canvas
    EXPECT_EQ(dib.at(2136, 500), kWhite);  // right edge is exclusive
    EXPECT_EQ(dib.at(600, 1064), kWhite);  // bottom edge too
}

TEST_F(PainterPixels, SheetGridAndPartOutlines) {
    Dib dib(2160, 1200);
    ASSERT_TRUE(dib.ok());
    paint_canvas_into(dib, one_part_layout(), app::EditorState{});
    EXPECT_EQ(dib.at(1000, 134), (Rgb{46, 101, 71}));  // sheet's top edge
    EXPECT_EQ(dib.at(590, 500), (Rgb{46, 101, 71}));   // its left edge
    EXPECT_EQ(dib.at(640, 500), (Rgb{38, 48, 45}));    // minor line at x 100
    EXPECT_EQ(dib.at(840, 500), (Rgb{50, 63, 58}));    // major line at x 500
    EXPECT_EQ(dib.at(615, 500), (Rgb{18, 24, 23}));    // between lines
    const app::PixelPoint top = screen(300, 400);
    EXPECT_EQ(dib.at(top.x, top.y), (Rgb{230, 226, 216}));
    const app::PixelPoint hole = screen(214, 210);
    EXPECT_EQ(dib.at(hole.x, hole.y), (Rgb{232, 91, 46}));
    // Command bar fill and its top rule.
    EXPECT_EQ(dib.at(550, 1060), (Rgb{14, 18, 17}));
    EXPECT_EQ(dib.at(550, 1018), (Rgb{55, 68, 62}));
}

TEST_F(PainterPixels, SelectedEntityHasTheWidePen) {
    app::EditorState st;
    app::EditorEntity plain;
    plain.kind = app::EntityKind::line;
    plain.p0 = {1000, 1100};
    plain.p1 = {1400, 1100};
    app::EditorEntity chosen = plain;
    chosen.p0.y = chosen.p1.y = 1000;
    st.entities = {plain, chosen};
    st.selection = 1;
    Dib dib(2160, 1200);
    ASSERT_TRUE(dib.ok());
    paint_canvas_into(dib, one_part_layout(), st);
    const int y = screen(0, 1000).y;  // 384
    for (int dy : {-1, 0, 1}) EXPECT_EQ(dib.at(1185, y + dy), (Rgb{255, 236, 205})) << dy;
    const int y1 = screen(0, 1100).y;  // 334
    EXPECT_EQ(dib.at(1185, y1), (Rgb{230, 226, 216}));
    EXPECT_EQ(dib.at(1185, y1 - 1), (Rgb{18, 24, 23}));
}

TEST_F(PainterPixels, CrosshairGapsShowTheCanvas) {
    app::EditorState st;
    st.grid_visible = false;
    st.hover_valid = true;
    st.hover_screen = {1000, 950};
    st.hover_point = {820, 0};
    Dib dib(2160, 1200);
    ASSERT_TRUE(dib.ok());
    paint_canvas_into(dib, one_part_layout(), st);
    int on = 0, off = 0;
    for (int x = 1100; x < 1130; ++x) {
        const Rgb c = dib.at(x, 950);
        if (c == Rgb{120, 140, 130})
            ++on;
        else if (c == Rgb{18, 24, 23})
            ++off;
        else
            ADD_FAILURE() << "pixel " << x << " is " << c;
    }
    EXPECT_GT(on, 0);
    EXPECT_GT(off, 0);
    // The vertical line stops at the command bar.
    EXPECT_EQ(dib.at(1000, 1040), (Rgb{14, 18, 17}));
}

TEST_F(PainterPixels, SnapMarkerIsATwoPixelGreenSquare) {
    app::EditorState st;
    st.hover_valid = true;
    st.hover_point = {1600, 300};
    st.hover_screen = {1390, 734};
    st.object_snap_hit = true;
    Dib dib(2160, 1200);
    ASSERT_TRUE(dib.ok());
    paint_canvas_into(dib, one_part_layout(), st);
    const Rgb green{50, 205, 50};
    EXPECT_EQ(dib.at(1384, 734), green);
    EXPECT_EQ(dib.at(1395, 734), green);
    EXPECT_EQ(dib.at(1390, 728), green);
    EXPECT_EQ(dib.at(1390, 739), green);
    EXPECT_NE(dib.at(1390, 734), green);
    EXPECT_NE(dib.at(1397, 734), green);
}

TEST_F(PainterPixels, PanelBackgroundsEmblemAndScrollBar) {
    app::PanelPaintInput in;
    in.client_width = 1320;
    in.client_height = 768;
    in.panel_scroll = 300;
    in.panel_scroll_max = 300;
    std::vector<app::HelpMarker> markers(1);
    markers[0].hot_rect = app::Rect{400, 400, 415, 415};
    in.help_markers = &markers;
    Dib dib(1320, 768);
    ASSERT_TRUE(dib.ok());
    app::draw_paint_list(dib.dc(), app::build_control_panel(in, {}), kNoResources);
    EXPECT_EQ(dib.at(2, 300), (Rgb{232, 91, 46}));    // accent strip
    EXPECT_EQ(dib.at(8, 300), (Rgb{38, 38, 38}));     // panel
    EXPECT_EQ(dib.at(530, 300), (Rgb{30, 35, 33}));   // right of the panel
    EXPECT_EQ(dib.at(60, 25), (Rgb{255, 223, 184}));  // emblem
    EXPECT_EQ(dib.at(61, 62), (Rgb{38, 38, 38}));     // its notch
    EXPECT_EQ(dib.at(511, 200), (Rgb{48, 55, 51}));   // track
    EXPECT_EQ(dib.at(508, 318), (Rgb{232, 91, 46}));  // thumb top-left
    EXPECT_EQ(dib.at(515, 759), (Rgb{232, 91, 46}));  // thumb bottom-right
    EXPECT_EQ(dib.at(511, 317), (Rgb{48, 55, 51}));
    EXPECT_EQ(dib.at(403, 407), (Rgb{36, 43, 39}));   // help marker fill
    EXPECT_EQ(dib.at(400, 407), (Rgb{92, 111, 101}));  // and its outline
}

TEST_F(PainterPixels, LogoPictureIsScaledIntoItsBox) {
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    ASSERT_EQ(Gdiplus::GdiplusStartup(&token, &input, nullptr), Gdiplus::Ok);
    {
        Gdiplus::Bitmap logo(40, 20, PixelFormat32bppARGB);
        {
            Gdiplus::Graphics g(&logo);
            g.Clear(Gdiplus::Color(255, 200, 0, 0));
        }
        app::PaintResources res;
        res.logo = &logo;
        app::PaintList list;
        list.picture(app::PictureKind::logo, app::logo_rect(40, 20));  // (18, 29)-(96, 68)
        Dib dib(200, 100);
        ASSERT_TRUE(dib.ok());
        app::draw_paint_list(dib.dc(), list, res);
        EXPECT_EQ(dib.at(57, 48), (Rgb{200, 0, 0}));
        EXPECT_EQ(dib.at(90, 62), (Rgb{200, 0, 0}));
        EXPECT_EQ(dib.at(57, 27), kWhite);
        EXPECT_EQ(dib.at(57, 69), kWhite);
    }
    Gdiplus::GdiplusShutdown(token);
}

TEST_F(PainterPixels, ConvergenceGraphCurvesAxesAndDot) {
    const app::GraphSnapshot snap = app::graph_snapshot_of({{1, 1e6}, {2, 1e6}, {3, 9e5}}, 0);
    Dib dib(584, 361);
    ASSERT_TRUE(dib.ok());
    app::draw_paint_list(dib.dc(), app::build_convergence_graph(snap, {0, 0, 584, 361}), kNoResources);
    EXPECT_EQ(dib.at(2, 2), (Rgb{38, 38, 38}));
    EXPECT_EQ(dib.at(570, 190), (Rgb{38, 38, 38}));
    EXPECT_EQ(dib.at(200, 42), (Rgb{232, 91, 46}));  // flat start of the upper curve
    EXPECT_EQ(dib.at(82, 120), (Rgb{46, 101, 71}));  // upper axis
    EXPECT_EQ(dib.at(300, 154), (Rgb{46, 101, 71}));
    EXPECT_EQ(dib.at(300, 98), (Rgb{62, 67, 63}));   // middle grid line
    EXPECT_EQ(dib.at(83, 223), (Rgb{255, 223, 184}));  // the one success's dot
}

// Two nodes and a discarded shuffle between them, within a 584 x 361 area.
std::vector<plv::IterationStats> small_tree() {
    plv::IterationStats a;
    a.iteration = 1;
    a.iteration_best_score = 100e6;
    a.utilization = 0.5;
    a.candidates = {{110e6, true}};
    plv::IterationStats b = a;
    b.iteration = 2;
    b.iteration_best_score = 90e6;
    b.candidates.clear();
    return {a, b};
}

TEST_F(PainterPixels, MutationTreeBoxes) {
    Dib dib(584, 361);
    ASSERT_TRUE(dib.ok());
    const app::TreePaint tree = app::build_mutation_tree(small_tree(), "Poblacion: 4", {0, 0, 584, 361}, 0, 0);
    app::draw_paint_list(dib.dc(), tree.paint, kNoResources);
    EXPECT_EQ(dib.at(300, 112), (Rgb{21, 22, 22}));     // base node fill
    EXPECT_EQ(dib.at(200, 50), (Rgb{132, 143, 138}));   // its 2-px outline
    EXPECT_EQ(dib.at(50, 100), (Rgb{132, 143, 138}));
    EXPECT_EQ(dib.at(575, 230), (Rgb{180, 50, 50}));    // discarded shuffle box
    EXPECT_EQ(dib.at(500, 170), (Rgb{180, 70, 70}));    // and its outline
    EXPECT_EQ(dib.at(300, 332), (Rgb{30, 90, 50}));     // winning node fill
    EXPECT_EQ(dib.at(180, 255), (Rgb{132, 143, 138}));  // the grey link
    EXPECT_EQ(dib.at(400, 20), (Rgb{38, 38, 38}));      // header bar
}

// A window of one of the side window classes, hidden, with a client area
// of 584 x 361.
HWND make_side_window(const char* class_name, WNDPROC proc, DWORD extra_style) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = class_name;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    RegisterClassA(&wc);
    RECT outer{0, 0, 584, 361};
    AdjustWindowRectEx(&outer, WS_OVERLAPPEDWINDOW, FALSE, WS_EX_TOOLWINDOW);
    return CreateWindowExA(WS_EX_TOOLWINDOW, class_name, "test", WS_OVERLAPPEDWINDOW | extra_style, 0, 0,
                           outer.right - outer.left, outer.bottom - outer.top, nullptr, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
}

void set_history(std::vector<plv::IterationStats> h) {
    app::GuiState& gui = app::gui_state();
    std::lock_guard<std::mutex> lock(gui.state_mutex);
    gui.iteration_history = std::move(h);
}

TEST(SideWindows, TreeScrollBarsWheelAndDestroy) {
    std::vector<plv::IterationStats> h;
    for (int i = 1; i <= 40; ++i) {
        plv::IterationStats s;
        s.iteration = i;
        s.iteration_best_score = 1000.0 - i;
        h.push_back(s);
    }
    set_history(h);
    app::tree_scroll_state() = app::TreeScrollState{};
    HWND window = make_side_window("PainterTestTree", app::tree_window_proc, WS_VSCROLL | WS_HSCROLL);
    ASSERT_NE(window, nullptr);
    RECT rc{};
    GetClientRect(window, &rc);
    {
        Dib dib(rc.right, rc.bottom);
        app::paint_mutation_tree(window, dib.dc());
    }
    app::TreeScrollState& st = app::tree_scroll_state();
    // 40 nodes: 50 + 70 + 39 * 100 px of content.
    EXPECT_EQ(st.max_y, 4020 - rc.bottom);
    EXPECT_EQ(st.max_x, 0);
    // The paint asked for the new range; it arrives with the next messages.
    window_test::pump_messages();
    SCROLLINFO si{};
    si.cbSize = sizeof(si);
    si.fMask = SIF_RANGE | SIF_PAGE;
    GetClientRect(window, &rc);
    ASSERT_TRUE(GetScrollInfo(window, SB_VERT, &si));
    EXPECT_EQ(si.nMax, st.max_y + rc.bottom);
    EXPECT_EQ(static_cast<int>(si.nPage), rc.bottom);

    SendMessageA(window, WM_VSCROLL, MAKEWPARAM(SB_PAGEDOWN, 0), 0);
    EXPECT_EQ(st.y, 200);
    SendMessageA(window, WM_VSCROLL, MAKEWPARAM(SB_LINEUP, 0), 0);
    EXPECT_EQ(st.y, 160);
    SendMessageA(window, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-240)), 0);
    EXPECT_EQ(st.y, 280);
    SendMessageA(window, WM_MOUSEWHEEL, MAKEWPARAM(0, 100), 0);
    EXPECT_EQ(st.y, 280);
    EXPECT_EQ(GetScrollPos(window, SB_VERT), 280);
    for (int i = 0; i < 40; ++i) SendMessageA(window, WM_VSCROLL, MAKEWPARAM(SB_PAGEDOWN, 0), 0);
    EXPECT_EQ(st.y, st.max_y);
    SendMessageA(window, WM_HSCROLL, MAKEWPARAM(SB_LINEDOWN, 0), 0);
    EXPECT_EQ(st.x, 0);  // nothing to scroll sideways
    // A real paint through the procedure at the end of the content.
    InvalidateRect(window, nullptr, FALSE);
    UpdateWindow(window);
    EXPECT_EQ(SendMessageA(window, WM_ERASEBKGND, 0, 0), 1);

    app::app_windows().tree_window = window;
    DestroyWindow(window);
    EXPECT_EQ(app::app_windows().tree_window, nullptr);
    set_history({});
    app::tree_scroll_state() = app::TreeScrollState{};
}

TEST(SideWindows, GraphWindowPaintsAndForgetsItsHandle) {
    set_history(small_tree());
    HWND window = make_side_window("PainterTestGraph", app::graph_window_proc, 0);
    ASSERT_NE(window, nullptr);
    RECT rc{};
    GetClientRect(window, &rc);
    {
        Dib dib(rc.right, rc.bottom);
        app::paint_convergence_graph(window, dib.dc());
        EXPECT_EQ(dib.at(2, 2), (Rgb{38, 38, 38}));
        EXPECT_EQ(dib.at(82, 120), (Rgb{46, 101, 71}));
    }
    InvalidateRect(window, nullptr, FALSE);
    UpdateWindow(window);
    EXPECT_EQ(SendMessageA(window, WM_ERASEBKGND, 0, 0), 1);
    app::app_windows().graph_window = window;
    DestroyWindow(window);
    EXPECT_EQ(app::app_windows().graph_window, nullptr);
    set_history({});
}

TEST(SideWindows, MainWindowPaintsPanelMarkersAndCanvas) {
    app::frame_hooks() = app::FrameHooks{};
    app::install_painter_handlers(app::frame_hooks());
    ASSERT_TRUE(app::register_window_classes(GetModuleHandleA(nullptr)));
    app::gui_state().panel = app::PanelState{};
    {
        // No layout: the canvas shows its placeholder only.
        app::GuiState& gui = app::gui_state();
        std::lock_guard<std::mutex> lock(gui.state_mutex);
        gui.has_result = false;
        gui.preview_ready = false;
        gui.preview_loading = false;
        gui.preview_message.clear();
    }
    HWND window = CreateWindowExA(0, app::kMainWindowClass, app::kMainWindowTitle, WS_OVERLAPPEDWINDOW, 0,
                                  0, 1100, 760, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
    RECT rc{};
    GetClientRect(window, &rc);
    {
        Dib dib(rc.right, rc.bottom);
        ASSERT_TRUE(dib.ok());
        app::paint_control_panel(window, dib.dc());
        EXPECT_EQ(dib.at(2, rc.bottom / 2), (Rgb{232, 91, 46}));
        EXPECT_EQ(dib.at(8, rc.bottom / 2), (Rgb{38, 38, 38}));
        const app::Rect canvas = app::canvas_rect({0, 0, rc.right, rc.bottom});
        if (canvas.right > canvas.left + 4 && canvas.bottom > canvas.top + 4) {
            EXPECT_EQ(dib.at(canvas.right - 2, canvas.bottom - 2), (Rgb{18, 24, 23}));
            EXPECT_EQ(dib.at(canvas.right, canvas.bottom - 2), (Rgb{30, 35, 33}));
        }
        // The first shown marker below the header band has its filled circle.
        int checked = 0;
        for (const app::HelpMarker& m : app::gui_state().help_markers) {
            const app::Rect& r = m.hot_rect;
            if (!m.visible || r.left >= r.right || r.top < 110 || r.bottom > rc.bottom) continue;
            EXPECT_EQ(dib.at(r.left + 3, (r.top + r.bottom) / 2), (Rgb{36, 43, 39}));
            ++checked;
            break;
        }
        EXPECT_EQ(checked, 1);
    }
    // The real paint, through the window procedure.
    InvalidateRect(window, nullptr, FALSE);
    UpdateWindow(window);
    DestroyWindow(window);
    window_test::pump_messages();
    app::frame_hooks() = app::FrameHooks{};
}

// The canvas painter keeps the drawn layout between paints. A scene of three
// sheets with parts of a few pixels, parts that fall on a single pixel and
// parts cut by the sheet's edge, a grid, two entities and a hover point.
const app::Rect kSceneClient{0, 0, 1400, 900};

plv::NestingResult scene_layout(double shift) {
    plv::NestingResult r;
    r.sheet = plv::Sheet{1000.0, 600.0};
    for (int k = 0; k < 3; ++k) {
        for (int i = 0; i < 22; ++i) {
            for (int j = 0; j < 15; ++j) {
                const double x = i * 45.0 + shift;
                const double y = j * 38.0 + shift;
                plv::Placement p;
                p.sheet_index = k;
                p.shape.outer = {{x, y}, {x + 30, y}, {x + 30, y + 20}, {x, y + 20}, {x, y}};
                p.shape.holes = {{{x + 5, y + 5}, {x + 12, y + 5}, {x + 8, y + 14}, {x + 5, y + 5}}};
                r.placements.push_back(p);
                plv::Placement dot;
                dot.sheet_index = k;
                dot.shape.outer = {{x + 35, y + 25}, {x + 35.3, y + 25}, {x + 35.3, y + 25.3}, {x + 35, y + 25}};
                r.placements.push_back(dot);
            }
        }
    }
    return r;
}

void show_scene_layout(const plv::NestingResult& layout) {
    app::GuiState& gui = app::gui_state();
    std::lock_guard<std::mutex> lock(gui.state_mutex);
    gui.shown_result = layout;  // same count: the vector keeps its storage
    gui.has_result = true;
    app::note_display_change(gui);
}

// Sets the scene up and puts the shared state back afterwards.
class CanvasReuse : public ::testing::Test {
protected:
    void SetUp() override {
        saved_editor_ = app::editor_state();
        app::EditorState& st = app::editor_state();
        st = app::EditorState{};
        st.grid_visible = true;
        app::EditorEntity line;
        line.kind = app::EntityKind::line;
        line.p0 = {100, 100};
        line.p1 = {900, 500};
        app::EditorEntity circle;
        circle.kind = app::EntityKind::circle;
        circle.p0 = {500, 300};
        circle.p1 = {600, 300};
        st.entities = {line, circle};
        show_scene_layout(scene_layout(0.0));
    }
    void TearDown() override {
        app::editor_state() = saved_editor_;
        app::GuiState& gui = app::gui_state();
        std::lock_guard<std::mutex> lock(gui.state_mutex);
        gui.shown_result = plv::NestingResult{};
        gui.has_result = false;
        app::note_display_change(gui);
    }

    static void move_mouse(int x, int y) {
        app::EditorState& st = app::editor_state();
        st.hover_valid = true;
        st.hover_screen = {x, y};
        st.hover_point = {(x - 590) / 0.2, (y - 134) / 0.2};
        st.object_snap_hit = (x % 2) == 0;
    }

    // Each paint of the window starts on a new off-screen bitmap.
    static void clear(const Dib& dib) {
        RECT all{0, 0, 1400, 900};
        FillRect(dib.dc(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    }

    // The whole canvas drawn afresh from the state, every part included.
    static void paint_fresh(const Dib& dib, const app::Rect& client) {
        clear(dib);
        app::draw_paint_list(dib.dc(),
                             app::build_canvas(app::take_canvas_snapshot(app::gui_state()), app::editor_state(),
                                               client),
                             app::main_window_resources());
    }

    static void paint(const Dib& dib, const app::Rect& client) {
        clear(dib);
        const RECT rc{client.left, client.top, client.right, client.bottom};
        app::paint_canvas(dib.dc(), rc);
    }

    static int differing_pixels(const Dib& a, const Dib& b) {
        int n = 0;
        for (int y = 0; y < 900; ++y)
            for (int x = 0; x < 1400; ++x) n += a.at(x, y) == b.at(x, y) ? 0 : 1;
        return n;
    }

private:
    app::EditorState saved_editor_;
};

TEST_F(CanvasReuse, RepaintAfterAMouseMoveMatchesAFullRepaint) {
    Dib shown(1400, 900);
    Dib fresh(1400, 900);
    ASSERT_TRUE(shown.ok() && fresh.ok());
    paint(shown, kSceneClient);
    for (const app::ScreenPoint at : {app::ScreenPoint{800, 400}, app::ScreenPoint{1003, 251}}) {
        move_mouse(at.x, at.y);
        paint(shown, kSceneClient);
        paint_fresh(fresh, kSceneClient);
        EXPECT_EQ(differing_pixels(shown, fresh), 0) << "mouse at " << at.x << ", " << at.y;
    }
    // The crosshair is there, so the overlay was drawn.
    EXPECT_EQ(shown.at(1003, 700), (Rgb{120, 140, 130}));
}

TEST_F(CanvasReuse, EveryChangeOfThePictureShowsTheNewOne) {
    struct Change {
        const char* what;
        void (*apply)();
        app::Rect client;
    };
    const Change changes[] = {
        {"new layout", [] { show_scene_layout(scene_layout(7.0)); }, kSceneClient},
        {"zoom",
         [] {
             app::EditorState& st = app::editor_state();
             st.zoom *= 1.18;
             st.pan_x = (st.pan_x - 300.0) * 1.18 + 300.0;
             st.pan_y = (st.pan_y - 200.0) * 1.18 + 200.0;
         },
         kSceneClient},
        {"pan",
         [] {
             app::editor_state().pan_x += 37.0;
             app::editor_state().pan_y -= 23.0;
         },
         kSceneClient},
        {"resize", [] {}, app::Rect{0, 0, 1300, 860}},
        {"grid off", [] { app::editor_state().grid_visible = false; }, app::Rect{0, 0, 1300, 860}},
        {"grid on again", [] { app::editor_state().grid_visible = true; }, app::Rect{0, 0, 1300, 860}},
    };
    Dib shown(1400, 900);
    Dib before(1400, 900);
    Dib fresh(1400, 900);
    ASSERT_TRUE(shown.ok() && before.ok() && fresh.ok());
    app::Rect client = kSceneClient;
    move_mouse(800, 400);
    paint(shown, client);
    for (const Change& change : changes) {
        paint_fresh(before, client);
        change.apply();
        client = change.client;
        paint(shown, client);
        paint_fresh(fresh, client);
        EXPECT_GT(differing_pixels(before, fresh), 0) << change.what << " changes nothing";
        EXPECT_EQ(differing_pixels(shown, fresh), 0) << "after " << change.what;
    }
}

}  // namespace
