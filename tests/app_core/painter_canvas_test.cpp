// The canvas: placeholder and status texts, the command bar texts, and the
// primitives of the layout (sheets, grid, parts) and of the editor overlay
// at a view of exactly 0.5 px per mm.

#include "app/core/canvas_model.hpp"
#include "app/core/gui_state.hpp"
#include "app/core/preview_layout.hpp"
#include "app/core/run_settings.hpp"
#include "app/core/shown_layout.hpp"
#include "geometry/primitives.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "painter_ops.hpp"
#include "test_support.hpp"

namespace {

using app::ColouredText;
using app::EditorEntity;
using app::EditorState;
using app::OpKind;
using app::PixelPoint;
using app::Rect;
using app::Rgb;
using app_test::entity;
using painter_test::find_text;
using painter_test::has_text;
using painter_test::ops_of;
namespace EntityKind = app::EntityKind;
namespace EditorTool = app::EditorTool;

// Canvas (544, 60, 2136, 1064), 1592 x 1004: a 3000 x 1500 sheet fits at
// 0.5 px/mm, with sheet 0's top-left corner at (590, 134).
const Rect kClient{0, 0, 2160, 1200};
const Rgb kEntityColour{230, 226, 216};
const Rgb kDimensionColour{232, 91, 46};
const Rgb kSelectedColour{255, 236, 205};

PixelPoint screen(double x, double y) {
    return {590 + static_cast<int>(std::lround(x * 0.5)),
            134 + static_cast<int>(std::lround((1500.0 - y) * 0.5))};
}

plv::Placement square_part(int sheet, double size) {
    plv::Placement p;
    p.part_name = "square";
    p.sheet_index = sheet;
    p.shape.outer = {{0, 0}, {size, 0}, {size, size}, {0, size}, {0, 0}};
    p.shape.holes = {{{10, 10}, {20, 10}, {20, 20}, {10, 10}}};
    return p;
}

app::CanvasSnapshot layout_snapshot(int sheets = 1) {
    app::CanvasSnapshot snap;
    snap.has_layout = true;
    snap.layout.sheet = plv::Sheet{3000.0, 1500.0};
    for (int k = 0; k < sheets; ++k) snap.layout.placements.push_back(square_part(k, 100.0));
    snap.job_list_empty = false;
    return snap;
}

std::vector<const app::PaintOp*> lines_in(const app::PaintList&&, Rgb, int = 1) = delete;
std::vector<const app::PaintOp*> lines_in(const app::PaintList& list, Rgb colour, int width = 1) {
    std::vector<const app::PaintOp*> out;
    for (const app::PaintOp* op : ops_of(list, OpKind::polyline))
        if (op->pen.colour == colour && op->pen.width == width) out.push_back(op);
    return out;
}

// The overlay ops: everything between the second push_clip and its pop.
app::PaintList overlay_of(const app::PaintList& list) {
    const int first = painter_test::index_of(list, OpKind::push_clip);
    const int second = painter_test::index_of(list, OpKind::push_clip, first + 1);
    const int end = painter_test::index_of(list, OpKind::pop_clip, second + 1);
    app::PaintList out;
    for (int i = second + 1; i < end; ++i) out.ops.push_back(list.ops[i]);
    return out;
}

app::PaintList overlay_with(const std::vector<EditorEntity>& entities, int selection = -1) {
    EditorState st;
    st.entities = entities;
    st.selection = selection;
    return overlay_of(app::build_canvas(layout_snapshot(), st, kClient));
}

TEST(CanvasTexts, PlaceholderByPriority) {
    app::CanvasSnapshot snap;
    snap.preview_loading = true;
    snap.preview_message = "No se encontraron perfiles cerrados para previsualizar.";
    EXPECT_EQ(app::canvas_placeholder(snap),
              (ColouredText{"Cargando previsualizacion de los DXF...", {132, 143, 138}}));
    snap.preview_loading = false;
    EXPECT_EQ(app::canvas_placeholder(snap),
              (ColouredText{"No se encontraron perfiles cerrados para previsualizar.", {238, 128, 104}}));
    snap.preview_message.clear();
    EXPECT_EQ(app::canvas_placeholder(snap).text,
              "Agrega una carpeta o archivos DXF para verlos antes del nesting.");
    snap.job_list_empty = false;
    EXPECT_EQ(app::canvas_placeholder(snap).text,
              "Los DXF estan en la lista; preparando previsualizacion.");
}

TEST(CanvasTexts, StatusLine) {
    app::CanvasSnapshot snap;
    EXPECT_TRUE(app::canvas_status(snap).text.empty());
    snap.iteration = 7;
    snap.saving = 2.9;
    snap.running = true;
    EXPECT_EQ(app::canvas_status(snap).text, "Corriendo  |  Iteracion 7  |  Ahorro 2 mm2");
    EXPECT_EQ(app::canvas_status(snap).dx, 240);
    snap.pause_requested = true;
    EXPECT_EQ(app::canvas_status(snap).text, "Pausado  |  Iteracion 7  |  Ahorro 2 mm2");
    snap.pause_requested = false;
    snap.running = false;
    snap.saving = 5e9;  // past the 32-bit range
    EXPECT_EQ(app::canvas_status(snap).text, "Listo  |  Iteracion 7  |  Ahorro 5000000000 mm2");
    snap.saving = -2.9;
    EXPECT_EQ(app::canvas_status(snap).text, "Listo  |  Iteracion 7  |  Ahorro -2 mm2");

    app::CanvasSnapshot preview = layout_snapshot();
    preview.is_preview = true;
    preview.layout.placements.resize(12);
    EXPECT_EQ(app::canvas_status(preview).text, "12 perfil(es) detectados");
    EXPECT_EQ(app::canvas_status(preview).dx, 300);
    EXPECT_EQ(app::canvas_title(preview), "Previsualizacion de DXF cargados");
    EXPECT_EQ(app::canvas_title(app::CanvasSnapshot{}), "Vista previa del acomodo");
}

TEST(CanvasTexts, CommandLineFirstMatchingPrompt) {
    struct Case {
        void (*set)(EditorState&);
        const char* expected;
    };
    const Case cases[] = {
        {[](EditorState& s) { s.tool = EditorTool::select; },
         "Comando: SELECCIONAR  -  click para seleccionar, arrastra para mover, Delete para borrar."},
        {[](EditorState& s) { s.tool = EditorTool::erase; },
         "Comando: BORRAR  -  click sobre una entidad para borrarla. Supr borra lo seleccionado."},
        {[](EditorState& s) { s.tool = EditorTool::pan; },
         "Comando: PAN  -  arrastra la vista. Rueda = zoom, doble click rueda = ajustar."},
        {[](EditorState& s) { s.tool = EditorTool::text; },
         "Comando: TEXTO  -  click para ubicar texto con fuente y tamano."},
        {[](EditorState& s) {
             s.tool = EditorTool::line;
             s.shape_in_progress = true;
             s.shape_tool = EditorTool::line;
         },
         "Comando: LINEA  -  segundo punto de linea. Enter/click derecho confirma, Esc cancela."},
        {[](EditorState& s) {
             s.tool = EditorTool::rectangle;
             s.shape_in_progress = true;
             s.shape_tool = EditorTool::rectangle;
         },
         "Comando: RECTANGULO  -  esquina opuesta. Enter/click derecho confirma, Esc cancela."},
        {[](EditorState& s) {
             s.tool = EditorTool::circle;
             s.shape_in_progress = true;
             s.shape_tool = EditorTool::circle;
         },
         "Comando: CIRCULO  -  radio del circulo. Enter/click derecho confirma, Esc cancela."},
        {[](EditorState& s) {
             s.tool = EditorTool::polyline;
             s.polyline_active = true;
             s.arc_clicks = 1;  // the polyline prompt comes first
         },
         "Comando: POLILINEA  -  siguiente punto. Enter/click derecho termina, Esc cancela."},
        {[](EditorState& s) {
             s.tool = EditorTool::dimension;
             s.dimension_active = true;
             s.dimension_step = 1;
         },
         "Comando: COTA  -  segundo punto de la cota."},
        {[](EditorState& s) {
             s.tool = EditorTool::dimension;
             s.dimension_active = true;
             s.dimension_step = 2;
         },
         "Comando: COTA  -  ubica la cota con el mouse y click para confirmar."},
        {[](EditorState& s) {
             s.tool = EditorTool::arc;
             s.arc_clicks = 2;
         },
         "Comando: ARCO  -  punto final del arco."},
        {[](EditorState& s) {
             s.tool = EditorTool::arc;
             s.arc_clicks = 1;
         },
         "Comando: ARCO  -  segundo punto del arco."},
        {[](EditorState& s) { s.tool = EditorTool::arc; }, "Comando: ARCO  -  primer punto del arco."},
        {[](EditorState& s) { s.tool = 42; }, "Comando: COMANDO  -  "},
    };
    for (const Case& c : cases) {
        EditorState st;
        c.set(st);
        EXPECT_EQ(app::command_line_text(st), c.expected);
    }
}

TEST(CanvasTexts, CoordinatesAndIndicator) {
    EditorState st;
    EXPECT_EQ(app::command_coordinates_text(st),
              "L/LINEA  R/REC  C/CIRCULO  P/POLILINEA  A/ARCO  M/COTA  T/TEXTO  S/GRILLA  ESC/CANCELAR");
    st.hover_valid = true;
    st.hover_point = {1234.56, -4.04};
    EXPECT_EQ(app::command_coordinates_text(st), "X 1234.6   Y -4.0 mm");

    struct Case {
        bool snap_hit, grid, snap;
        ColouredText expected;
    };
    const Case cases[] = {
        {true, false, false, {"OSNAP", {50, 205, 50}}},
        {false, true, true, {"GRID+SNAP", {232, 91, 46}}},
        {false, true, false, {"GRID ON", {232, 91, 46}}},
        {false, false, true, {"GRID OFF", {232, 91, 46}}},
    };
    for (const Case& c : cases) {
        st.object_snap_hit = c.snap_hit;
        st.grid_visible = c.grid;
        st.snap_to_grid = c.snap;
        EXPECT_EQ(app::snap_indicator(st), c.expected);
    }
}

// The canvas keeps its back layer (background, sheets, grid, parts) in a
// bitmap while the layer's key stays the same, so every change that draws
// the back differently must change the key, or the window shows the stale
// layer. Each step changes one thing the back shows.
TEST(CanvasBackLayer, EveryChangeOfTheBackChangesItsKey) {
    auto kept = [](const plv::NestingResult& r) { return app::finish_canvas_layout(app::copy_canvas_layout(r)); };
    plv::NestingResult result = layout_snapshot(2).layout;
    const std::shared_ptr<const app::CanvasLayout> first = kept(result);
    result.placements[0].shape = geom::translate_polygon(result.placements[0].shape, 40.0, 0.0);
    const std::shared_ptr<const app::CanvasLayout> moved = kept(result);
    result.sheet = plv::Sheet{2000.0, 1500.0};
    const std::shared_ptr<const app::CanvasLayout> narrower = kept(result);

    struct Step {
        const char* what;
        void (*edit)(EditorState&);
        const app::CanvasLayout* layout;
        Rect client;
    };
    const Step steps[] = {
        {"start", [](EditorState& st) { st.grid_visible = true; }, first.get(), kClient},
        {"grid hidden", [](EditorState& st) { st.grid_visible = false; }, first.get(), kClient},
        {"grid shown again", [](EditorState& st) { st.grid_visible = true; }, first.get(), kClient},
        {"zoom in, same grid step", [](EditorState& st) { st.zoom = 1.1; }, first.get(), kClient},
        {"zoom to a finer grid", [](EditorState& st) { st.zoom = 2.0; }, first.get(), kClient},
        {"pan across", [](EditorState& st) { st.pan_x += 37.0; }, first.get(), kClient},
        {"pan up", [](EditorState& st) { st.pan_y -= 23.0; }, first.get(), kClient},
        // Lower only: the width still sets the scale, so only the canvas changes.
        {"lower window", [](EditorState&) {}, first.get(), Rect{0, 0, 2160, 1100}},
        {"narrower window", [](EditorState&) {}, first.get(), Rect{0, 0, 1900, 1100}},
        {"a part moved", [](EditorState&) {}, moved.get(), Rect{0, 0, 1900, 1100}},
        {"a narrower sheet", [](EditorState&) {}, narrower.get(), Rect{0, 0, 1900, 1100}},
    };
    EditorState st;
    app::PaintList previous_back;
    app::CanvasBackKey previous_key;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        step.edit(st);
        const app::CanvasView view = app::canvas_view(*step.layout, st, step.client);
        const app::PaintList back = app::build_canvas_back(*step.layout, view);
        const app::CanvasBackKey key = app::canvas_back_key(*step.layout, view);
        // The same things give the same key, so the layer is kept at all.
        const app::CanvasView again = app::canvas_view(*step.layout, st, step.client);
        EXPECT_TRUE(key == app::canvas_back_key(*step.layout, again));
        if (&step != &steps[0]) {
            ASSERT_FALSE(painter_test::same_ops(back, previous_back)) << "the step draws the same back";
            EXPECT_FALSE(key == previous_key);
        }
        previous_back = back;
        previous_key = key;
    }
}

TEST(CanvasPaint, NothingButTitleAndPlaceholderWithoutALayout) {
    const app::PaintList list = app::build_canvas(app::CanvasSnapshot{}, EditorState{}, kClient);
    ASSERT_EQ(list.ops.size(), 3u);
    EXPECT_EQ(list.ops[0].rect, (Rect{544, 60, 2136, 1064}));
    EXPECT_EQ(list.ops[0].fill, (Rgb{18, 24, 23}));
    const app::PaintOp* title = find_text(list, "Vista previa del acomodo");
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->x, 558);
    EXPECT_EQ(title->y, 72);
    const app::PaintOp* hint =
        find_text(list, "Agrega una carpeta o archivos DXF para verlos antes del nesting.");
    ASSERT_NE(hint, nullptr);
    EXPECT_EQ(hint->x, 562);
    EXPECT_EQ(hint->y, 106);
}

TEST(CanvasPaint, GridSheetAndPartsOfOneSheet) {
    const app::PaintList list = app::build_canvas(layout_snapshot(), EditorState{}, kClient);
    const int clip = painter_test::index_of(list, OpKind::push_clip);
    ASSERT_GE(clip, 0);
    EXPECT_EQ(list.ops[clip].rect, (Rect{544, 98, 2136, 1064}));

    // Step 100 mm at 0.5 px/mm: 31 vertical and 16 horizontal lines, every
    // fifth one major.
    const auto major = lines_in(list, {50, 63, 58});
    const auto minor = lines_in(list, {38, 48, 45});
    EXPECT_EQ(major.size() + minor.size(), 31u + 16u);
    EXPECT_EQ(major.size(), 7u + 4u);
    EXPECT_EQ(major[1]->points, (std::vector<PixelPoint>{screen(500, 0), screen(500, 1500)}));
    EXPECT_EQ(minor[0]->points, (std::vector<PixelPoint>{screen(100, 0), screen(100, 1500)}));

    const auto sheets = ops_of(list, OpKind::rectangle);
    ASSERT_EQ(sheets.size(), 1u);
    EXPECT_EQ(sheets[0]->rect, (Rect{590, 134, 2090, 884}));
    EXPECT_EQ(sheets[0]->pen, (app::PenSpec{{46, 101, 71}, 1}));
    EXPECT_FALSE(sheets[0]->has_fill);

    const auto outer = lines_in(list, kEntityColour);
    ASSERT_EQ(outer.size(), 1u);
    EXPECT_EQ(outer[0]->points.front(), screen(0, 0));
    EXPECT_EQ(outer[0]->points[2], screen(100, 100));
    EXPECT_EQ(outer[0]->points.size(), 5u);
    const auto holes = lines_in(list, kDimensionColour);
    ASSERT_EQ(holes.size(), 1u);
    EXPECT_EQ(holes[0]->points[1], screen(20, 10));

    // Grid hidden: no grid lines, the sheet stays.
    EditorState hidden;
    hidden.grid_visible = false;
    const app::PaintList bare = app::build_canvas(layout_snapshot(), hidden, kClient);
    EXPECT_TRUE(lines_in(bare, {50, 63, 58}).empty());
    EXPECT_TRUE(lines_in(bare, {38, 48, 45}).empty());
    EXPECT_EQ(ops_of(bare, OpKind::rectangle).size(), 1u);
}

TEST(CanvasPaint, SecondSheetAndItsPartsAreShiftedByWidthAndGap) {
    const app::PaintList list = app::build_canvas(layout_snapshot(2), EditorState{}, kClient);
    const double s = 1500.0 / 6240.0;  // (W + G) with G = max(80, 240) = 240
    const int shift = static_cast<int>(std::lround(3240.0 * s));
    const auto sheets = ops_of(list, OpKind::rectangle);
    ASSERT_EQ(sheets.size(), 2u);
    EXPECT_EQ(sheets[1]->rect.left, 590 + shift);
    const auto parts = lines_in(list, kEntityColour);
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(parts[1]->points.front().x, 590 + shift);
}

TEST(CanvasPaint, GridLinesOutsideTheBandAreLeftOut) {
    EditorState zoomed;
    zoomed.zoom = 4.0;  // 2 px/mm: the sheet is far wider than the canvas
    const app::PaintList list = app::build_canvas(layout_snapshot(), zoomed, kClient);
    const auto major = lines_in(list, {50, 63, 58});
    const auto minor = lines_in(list, {38, 48, 45});
    ASSERT_FALSE(major.empty());
    for (const auto* group : {&major, &minor})
        for (const app::PaintOp* op : *group) {
            const PixelPoint a = op->points[0];
            const PixelPoint b = op->points[1];
            if (a.x == b.x) {
                EXPECT_TRUE(a.x >= 544 && a.x < 2136) << a.x;
            } else {
                EXPECT_EQ(a.y, b.y);
                EXPECT_TRUE(a.y >= 98 && a.y < 1064) << a.y;
            }
        }
    // Lines 100 px apart from x 590: 16 inside; y from 134 down: 10 inside.
    EXPECT_EQ(major.size() + minor.size(), 16u + 10u);
}

TEST(CanvasPaint, EntityPensAndShapes) {
    const app::PaintList plain = overlay_with({entity(EntityKind::line, {0, 0}, {100, 200})});
    const auto line = lines_in(plain, kEntityColour);
    ASSERT_EQ(line.size(), 1u);
    EXPECT_EQ(line[0]->points, (std::vector<PixelPoint>{screen(0, 0), screen(100, 200)}));

    const app::PaintList selected = overlay_with({entity(EntityKind::line, {0, 0}, {100, 200})}, 0);
    EXPECT_EQ(lines_in(selected, kSelectedColour, 3).size(), 1u);
    EXPECT_TRUE(lines_in(selected, kEntityColour).empty());

    const app::PaintList rect = overlay_with({entity(EntityKind::rectangle, {100, 0}, {0, 100})});
    const auto rects = ops_of(rect, OpKind::rectangle);
    ASSERT_EQ(rects.size(), 1u);
    EXPECT_EQ(rects[0]->rect, (Rect{590, 834, 640, 884}));

    const app::PaintList circle = overlay_with({entity(EntityKind::circle, {100, 100}, {110, 100})});
    const auto circles = ops_of(circle, OpKind::ellipse);
    ASSERT_EQ(circles.size(), 1u);
    EXPECT_EQ(circles[0]->rect, (Rect{635, 829, 645, 839}));
    EXPECT_FALSE(circles[0]->has_fill);

    EditorEntity poly = entity(EntityKind::polyline, {0, 0}, {100, 100});
    poly.points = {{0, 0}, {100, 0}, {100, 100}};
    const app::PaintList poly_list = overlay_with({poly});
    const auto polys = lines_in(poly_list, kEntityColour);
    ASSERT_EQ(polys.size(), 1u);
    EXPECT_EQ(polys[0]->points.size(), 3u);  // not closed

    // An unknown kind draws nothing.
    EXPECT_TRUE(overlay_with({entity(7, {0, 0}, {100, 100})}).ops.empty());
}

TEST(CanvasPaint, ArcTakesTheSweepThroughItsSecondClick) {
    // Centre (100, 100), radius 100, from (200, 100) to (0, 100).
    const app::PaintList long_way =
        overlay_with({entity(EntityKind::arc, {200, 100}, {0, 100}, {100, 0})});
    const auto lower = lines_in(long_way, kEntityColour);
    ASSERT_EQ(lower.size(), 1u);
    ASSERT_EQ(lower[0]->points.size(), 49u);
    EXPECT_EQ(lower[0]->points[24], screen(100, 0));
    EXPECT_EQ(lower[0]->points.front(), screen(0, 100));

    const app::PaintList short_way =
        overlay_with({entity(EntityKind::arc, {200, 100}, {0, 100}, {100, 200})});
    const auto upper = lines_in(short_way, kEntityColour);
    ASSERT_EQ(upper.size(), 1u);
    EXPECT_EQ(upper[0]->points[24], screen(100, 200));
    EXPECT_EQ(upper[0]->points.front(), screen(200, 100));

    EXPECT_TRUE(overlay_with({entity(EntityKind::arc, {0, 0}, {200, 0}, {100, 0})}).ops.empty());
}

TEST(CanvasPaint, LinearDimensionOnItsLineMovesOut22Pixels) {
    const app::PaintList list =
        overlay_with({entity(EntityKind::dimension, {0, 0}, {100, 0}, {50, 0})});
    const auto lines = lines_in(list, kDimensionColour);
    ASSERT_EQ(lines.size(), 3u);
    const PixelPoint a{590, 884 - 22};
    const PixelPoint b{640, 884 - 22};
    EXPECT_EQ(lines[0]->points, (std::vector<PixelPoint>{screen(0, 0), a}));
    EXPECT_EQ(lines[1]->points, (std::vector<PixelPoint>{screen(100, 0), b}));
    EXPECT_EQ(lines[2]->points, (std::vector<PixelPoint>{a, b}));
    const auto heads = ops_of(list, OpKind::polygon);
    ASSERT_EQ(heads.size(), 2u);
    EXPECT_EQ(heads[0]->points,
              (std::vector<PixelPoint>{a, {a.x - 11, a.y - 4}, {a.x - 11, a.y + 4}}));
    EXPECT_EQ(heads[1]->points,
              (std::vector<PixelPoint>{b, {b.x + 11, b.y + 4}, {b.x + 11, b.y - 4}}));
    EXPECT_EQ(heads[0]->fill, kDimensionColour);
    const app::PaintOp* text = find_text(list, "100 mm");
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->x, 615 - 22);
    EXPECT_EQ(text->y, 862 - 18);
    EXPECT_EQ(text->font, app::FontRole::drawing);
    EXPECT_EQ(text->colour, kDimensionColour);
}

TEST(CanvasPaint, LinearDimensionTextPositionAndText) {
    // (0, 0) means the default position: 20 mm to the left of p0 -> p1.
    EditorEntity d = entity(EntityKind::dimension, {0, 0}, {100, 0});
    const app::PaintList plain = overlay_with({d});
    const auto lines = lines_in(plain, kDimensionColour);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[2]->points[0], screen(0, 20));

    d.value = 150.0;
    EXPECT_TRUE(has_text(overlay_with({d}), "150 mm"));
    d.text = "abc";
    EXPECT_TRUE(has_text(overlay_with({d}), "abc"));
    // Selected: 3-px pen, arrowheads and text in the selected colour.
    const app::PaintList sel = overlay_with({d}, 0);
    EXPECT_EQ(lines_in(sel, kSelectedColour, 3).size(), 3u);
    EXPECT_EQ(ops_of(sel, OpKind::polygon)[0]->fill, kSelectedColour);
    EXPECT_EQ(find_text(sel, "abc")->colour, kSelectedColour);
    // Zero length draws nothing.
    EXPECT_TRUE(overlay_with({entity(EntityKind::dimension, {5, 5}, {5, 5})}).ops.empty());
}

TEST(CanvasPaint, DiameterAndRadiusDimensions) {
    EditorEntity d = entity(EntityKind::dimension, {100, 100}, {110, 100});
    d.diameter = true;
    d.value = 55.0;  // not shown: the canvas shows the measured size
    const app::PaintList list = overlay_with({d});
    const app::PaintOp* text = find_text(list, "DIA 20.0 mm");
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->x, 645 + 6);
    EXPECT_EQ(text->y, 834 - 8);
    // Leader to a text position right of the circle: arrow tip on the rim.
    d.p2 = {130, 100};
    const app::PaintList leader = overlay_with({d});
    const auto seg = lines_in(leader, kDimensionColour);
    ASSERT_EQ(seg.size(), 1u);
    EXPECT_EQ(seg[0]->points, (std::vector<PixelPoint>{screen(110, 100), screen(130, 100)}));
    const auto head = ops_of(leader, OpKind::polygon);
    ASSERT_EQ(head.size(), 1u);
    EXPECT_EQ(head[0]->points[0], screen(110, 100));
    EXPECT_EQ(head[0]->points[1].x, screen(110, 100).x + 11);

    d.diameter = false;
    d.radius = true;
    EXPECT_TRUE(has_text(overlay_with({d}), "R 10.0 mm"));
    d.text = "DIA 99 mm";
    EXPECT_TRUE(has_text(overlay_with({d}), "DIA 99 mm"));
}

TEST(CanvasPaint, TextEntityFont) {
    struct Case {
        const char* face;
        double height;
        const char* expected_face;
        int expected_height;
    };
    const Case cases[] = {
        {"", 16.0, "ISOCPEUR", 16}, {"Arial", 200.0, "Arial", 96}, {"Arial", 2.0, "Arial", 6},
        {"Arial", 12.5, "Arial", 13},
    };
    for (const Case& c : cases) {
        EditorEntity t = entity(EntityKind::text, {0, 1500}, {0, 1500});
        t.text = "Hola";
        t.font = c.face;
        t.height = c.height;
        const app::PaintList list = overlay_with({t});
        const app::PaintOp* op = find_text(list, "Hola");
        ASSERT_NE(op, nullptr);
        EXPECT_EQ(op->font, app::FontRole::custom);
        EXPECT_EQ(op->face, c.expected_face);
        EXPECT_EQ(op->font_height, c.expected_height);
        EXPECT_EQ(op->x, 590);
        EXPECT_EQ(op->y, 134);
        EXPECT_EQ(op->colour, kEntityColour);
    }
}

TEST(CanvasPaint, ShapesUnderWayFollowTheCursor) {
    EditorState st;
    st.polyline_active = true;
    st.polyline_points = {{0, 0}, {100, 0}};
    st.hover_valid = true;
    st.hover_point = {100, 100};
    st.hover_screen = {640, 834};
    const app::PaintList poly = overlay_of(app::build_canvas(layout_snapshot(), st, kClient));
    auto lines = lines_in(poly, kEntityColour);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0]->points.back(), screen(100, 100));
    EXPECT_EQ(lines[0]->points.size(), 3u);

    st.polyline_active = false;
    st.arc_clicks = 2;
    st.arc_points[0] = {0, 0};
    st.arc_points[1] = {50, 50};
    const app::PaintList arc = overlay_of(app::build_canvas(layout_snapshot(), st, kClient));
    lines = lines_in(arc, kEntityColour);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0]->points,
              (std::vector<PixelPoint>{screen(0, 0), screen(50, 50), screen(100, 100)}));
    st.hover_valid = false;
    const app::PaintList none = overlay_of(app::build_canvas(layout_snapshot(), st, kClient));
    EXPECT_TRUE(lines_in(none, kEntityColour).empty());
}

TEST(CanvasPaint, CrosshairSnapMarkerAndCommandBar) {
    EditorState st;
    st.hover_valid = true;
    st.hover_screen = {700, 500};
    st.hover_point = {100, 100};
    st.object_snap_hit = true;
    const app::PaintList list = app::build_canvas(layout_snapshot(), st, kClient);
    const app::PaintList overlay = overlay_of(list);
    const int clip = painter_test::index_of(list, OpKind::push_clip,
                                            painter_test::index_of(list, OpKind::push_clip) + 1);
    EXPECT_EQ(list.ops[clip].rect, (Rect{544, 98, 2136, 1018}));
    std::vector<std::vector<PixelPoint>> dotted;
    for (const app::PaintOp* op : ops_of(overlay, OpKind::polyline))
        if (op->pen.dotted) {
            EXPECT_EQ(op->pen, (app::PenSpec{{120, 140, 130}, 1, true}));
            dotted.push_back(op->points);
        }
    EXPECT_EQ(dotted, (std::vector<std::vector<PixelPoint>>{{{700, 98}, {700, 1064}},
                                                            {{544, 500}, {2136, 500}}}));
    const auto marker = ops_of(overlay, OpKind::rectangle);
    ASSERT_EQ(marker.size(), 1u);
    EXPECT_EQ(marker[0]->rect, (Rect{635, 829, 646, 840}));
    EXPECT_EQ(marker[0]->pen, (app::PenSpec{{50, 205, 50}, 2}));

    // The bar after the overlay: fill, top rule, three texts.
    bool bar = false;
    for (const app::PaintOp* op : ops_of(list, OpKind::fill_rect))
        bar = bar || (op->rect == Rect{544, 1018, 2136, 1064} && op->fill == Rgb{14, 18, 17});
    EXPECT_TRUE(bar);
    EXPECT_EQ(lines_in(list, {55, 68, 62}).at(0)->points,
              (std::vector<PixelPoint>{{544, 1018}, {2136, 1018}}));
    const app::PaintOp* command = find_text(list, app::command_line_text(st));
    ASSERT_NE(command, nullptr);
    EXPECT_EQ(command->x, 556);
    EXPECT_EQ(command->y, 1025);
    const app::PaintOp* coords = find_text(list, "X 100.0   Y 100.0 mm");
    ASSERT_NE(coords, nullptr);
    EXPECT_EQ(coords->y, 1044);
    const app::PaintOp* osnap = find_text(list, "OSNAP");
    ASSERT_NE(osnap, nullptr);
    EXPECT_EQ(osnap->x, 2136 - 86);

    // The cursor right of the canvas: no crosshair, no marker.
    st.hover_screen = {2137, 500};
    const app::PaintList outside = overlay_of(app::build_canvas(layout_snapshot(), st, kClient));
    EXPECT_TRUE(ops_of(outside, OpKind::polyline).empty());
    EXPECT_TRUE(ops_of(outside, OpKind::rectangle).empty());
}

TEST(CanvasSnapshotCopy, LayoutChoiceAndLiveFigures) {
    app::GuiState gui;
    gui.preview_ready = true;
    gui.preview_layout.sheet = plv::Sheet{3000, 1500};
    gui.preview_layout.placements.push_back(square_part(0, 50));
    gui.preview_message = "msg";
    gui.live_stats.iteration = 3;
    gui.live_stats.improvement = 12.5;
    gui.running.store(true);
    app::CanvasSnapshot snap = app::take_canvas_snapshot(gui);
    EXPECT_TRUE(snap.has_layout);
    EXPECT_TRUE(snap.is_preview);
    EXPECT_TRUE(snap.running);
    EXPECT_EQ(snap.preview_message, "msg");
    EXPECT_EQ(snap.iteration, 3);
    EXPECT_EQ(snap.saving, 12.5);
    EXPECT_TRUE(snap.job_list_empty);

    // A result with placements wins; one without falls back to the preview.
    gui.has_result = true;
    snap = app::take_canvas_snapshot(gui);
    EXPECT_TRUE(snap.is_preview);
    gui.shown_result = gui.preview_layout;
    gui.shown_result.placements.push_back(square_part(1, 50));
    snap = app::take_canvas_snapshot(gui);
    EXPECT_FALSE(snap.is_preview);
    ASSERT_NE(snap.shown, nullptr);
    EXPECT_EQ(snap.shown->parts.size(), 2u);

    gui.has_result = false;
    gui.preview_layout.placements.clear();
    snap = app::take_canvas_snapshot(gui);
    EXPECT_FALSE(snap.has_layout);
    EXPECT_FALSE(snap.is_preview);
}

// A preview finishing while the canvas copies the state: the copy sees it
// either still loading or done with its layout, never done without one
// (which would show the success text as a placeholder, in the error colour).
TEST(CanvasSnapshotCopy, FinishingPreviewIsSeenWhole) {
    app::GuiState gui;
    plv::NestingResult ready;
    ready.sheet = plv::Sheet{3000, 1500};
    ready.placements.push_back(square_part(0, 50));
    gui.preview_loading = true;
    std::atomic<bool> stop{false};
    std::thread preview([&] {
        bool done = false;
        while (!stop.load()) {
            std::lock_guard<std::mutex> lock(gui.state_mutex);
            done = !done;
            gui.preview_loading = !done;
            gui.preview_ready = done;
            gui.preview_message = done ? "Previsualizacion DXF lista: 1" : "";
            gui.preview_layout = done ? ready : plv::NestingResult{};
        }
    });
    int torn = 0;
    for (int i = 0; i < 300000 && torn == 0; ++i) {
        const app::CanvasSnapshot snap = app::take_canvas_snapshot(gui);
        if (!snap.has_layout && !snap.preview_loading) ++torn;
    }
    stop.store(true);
    preview.join();
    EXPECT_EQ(torn, 0);
}

// The canvas keeps its copy of the layout from paint to paint and copies
// again after a change, even one that keeps the placements' storage.
TEST(CanvasSnapshotCopy, KeptLayoutIsCopiedAgainOnlyAfterAChange) {
    app::GuiState gui;
    gui.has_result = true;
    gui.shown_result.sheet = plv::Sheet{3000, 1500};
    gui.shown_result.placements = {square_part(0, 50), square_part(1, 50)};
    app::KeptCanvasLayout kept;
    const auto first = app::take_canvas_snapshot(gui, kept).shown;
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->sheets, 2);
    EXPECT_EQ(app::take_canvas_snapshot(gui, kept).shown, first);
    gui.shown_result.placements[1] = square_part(2, 50);
    app::note_display_change(gui);
    const auto second = app::take_canvas_snapshot(gui, kept).shown;
    EXPECT_NE(second, first);
    EXPECT_EQ(second->sheets, 3);

    // Nothing to show: the copy is let go.
    gui.has_result = false;
    app::note_display_change(gui);
    EXPECT_EQ(app::take_canvas_snapshot(gui, kept).shown, nullptr);
    EXPECT_EQ(kept.layout, nullptr);
}

// Every writer of the shown layout or the preview tells the painters.
TEST(CanvasSnapshotCopy, WritersOfTheShownLayoutNoteTheChange) {
    struct Writer {
        const char* what;
        void (*write)(app::GuiState&);
    };
    const Writer writers[] = {
        {"reset_result_state", [](app::GuiState& g) { app::reset_result_state(g); }},
        {"begin_preview", [](app::GuiState& g) { app::begin_preview(g, false); }},
        {"fail_preview_start", [](app::GuiState& g) { app::fail_preview_start(g); }},
        {"publish_preview_if_current",
         [](app::GuiState& g) { app::publish_preview_if_current(g, g.preview_generation.load(), {}); }},
    };
    for (const Writer& w : writers) {
        app::GuiState gui;
        w.write(gui);
        EXPECT_GT(gui.display_generation, 0u) << w.what;
    }
}

}  // namespace
