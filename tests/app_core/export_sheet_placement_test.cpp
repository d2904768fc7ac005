// Drawing items over the second and later sheets: the canvas lays sheets
// max(80, 0.08 W) apart, the saved drawing 250 mm apart, and each item must
// land on the same spot of the same sheet in the file as on the canvas.

#include "app/core/editor_model.hpp"
#include "app/core/result_export.hpp"
#include "dxf/dxf_writer.hpp"

#include "dxf/writer_support.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using plv::Annotation;
namespace Kind = plv::AnnotationKind;

plv::NestingResult sheets_of(double width, int count) {
    plv::NestingResult layout;
    layout.sheet = plv::Sheet{width, 600.0};
    for (int k = 0; k < count; ++k) {
        plv::Placement p;
        p.part_name = "square";
        p.sheet_index = k;
        p.shape.outer = {{0, 0}, {50, 0}, {50, 50}, {0, 50}, {0, 0}};
        layout.placements.push_back(p);
    }
    return layout;
}

Annotation item(std::uint32_t kind, geom::Point p0, geom::Point p1, geom::Point p2 = {0, 0}) {
    Annotation a;
    a.kind = kind;
    a.p0 = p0;
    a.p1 = p1;
    a.p2 = p2;
    return a;
}

TEST(ExportSheetPlacement, ItemsMoveWithTheSheetTheyWereDrawnOver) {
    // W = 1000: canvas gap 80, pitch 1080; file pitch 1250, so 170 mm more per sheet.
    const plv::NestingResult layout = sheets_of(1000.0, 3);
    struct Case {
        const char* what;
        Annotation in;
        double dx;
    };
    Annotation polyline = item(Kind::polyline, {}, {});
    polyline.points = {{2400, 10}, {2500, 10}, {2500, 90}};
    const Case cases[] = {
        {"text over sheet 1", item(Kind::text, {100, 200}, {100, 200}), 0},
        {"text over sheet 2", item(Kind::text, {1250, 200}, {1250, 200}), 170},
        {"text over sheet 3", item(Kind::text, {2440, 200}, {2440, 200}), 340},
        {"circle about a point of sheet 3", item(Kind::circle, {2800, 300}, {2850, 300}), 340},
        {"line across the first gap, mostly over sheet 2", item(Kind::line, {950, 0}, {1400, 0}), 170},
        {"text in the first half of a gap", item(Kind::text, {1030, 0}, {1030, 0}), 0},
        {"text in the second half of a gap", item(Kind::text, {1050, 0}, {1050, 0}), 170},
        {"text right of the last sheet", item(Kind::text, {4000, 0}, {4000, 0}), 340},
        {"text left of the first sheet", item(Kind::text, {-500, 0}, {-500, 0}), 0},
        {"polyline over sheet 3", polyline, 340},
        {"arc over sheet 2", item(Kind::arc, {1200, 0}, {1400, 0}, {1300, 100}), 170},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<Annotation> items = {c.in};
        app::move_annotations_to_export_sheets(items, layout);
        ASSERT_EQ(items.size(), 1u);
        EXPECT_DOUBLE_EQ(items[0].p0.x, c.in.p0.x + c.dx);
        EXPECT_DOUBLE_EQ(items[0].p1.x, c.in.p1.x + c.dx);
        EXPECT_DOUBLE_EQ(items[0].p0.y, c.in.p0.y);
        ASSERT_EQ(items[0].points.size(), c.in.points.size());
        for (std::size_t i = 0; i < c.in.points.size(); ++i)
            EXPECT_DOUBLE_EQ(items[0].points[i].x, c.in.points[i].x + c.dx);
        if (c.in.kind == Kind::arc) {
            EXPECT_DOUBLE_EQ(items[0].p2.x, c.in.p2.x + c.dx);
        }
    }

    // A dimension's text point moves with it, unless it is the origin,
    // which stands for the default position.
    std::vector<Annotation> dims = {item(Kind::dimension, {1300, 100}, {1500, 100}, {1400, 150}),
                                    item(Kind::dimension, {1300, 100}, {1500, 100})};
    app::move_annotations_to_export_sheets(dims, layout);
    EXPECT_DOUBLE_EQ(dims[0].p2.x, 1570.0);
    EXPECT_DOUBLE_EQ(dims[1].p2.x, 0.0);
    EXPECT_DOUBLE_EQ(dims[1].p2.y, 0.0);
    EXPECT_DOUBLE_EQ(dims[1].p0.x, 1470.0);

    // One sheet (every preview): nothing moves.
    std::vector<Annotation> single = {item(Kind::text, {1500, 0}, {1500, 0})};
    app::move_annotations_to_export_sheets(single, sheets_of(1000.0, 1));
    EXPECT_DOUBLE_EQ(single[0].p0.x, 1500.0);
}

// The x of the sheet label "Sheet n" the writer puts at each sheet's left edge.
double sheet_left(const std::vector<writer_test::Entity>& entities, int n) {
    for (const writer_test::Entity& e : entities)
        if (e.type == "TEXT" && e.layer == "SHEET" && e.text(1) == "Sheet " + std::to_string(n)) return e.real(10);
    ADD_FAILURE() << "no label of sheet " << n;
    return 0.0;
}

TEST(ExportSheetPlacement, SavedTextsSitOnTheirSheetsAtTheCanvasSpot) {
    // Also read by ezdxf when the independent check asks for the drawings.
    const writer_test::OutputFolder folder("export-sheet-placement");
    // The canvas sheet pitch W + max(80, 0.08 W): 80 mm at 1000 mm, 240 at 3000.
    struct Canvas {
        double width, pitch;
    };
    for (const auto [width, pitch] : {Canvas{1000.0, 1080.0}, Canvas{3000.0, 3240.0}}) {
        SCOPED_TRACE(width);
        const plv::NestingResult layout = sheets_of(width, 3);
        std::vector<app::EditorEntity> drawing;
        for (int k = 1; k < 3; ++k) {
            app::EditorEntity text;
            text.kind = app::EntityKind::text;
            text.p0 = text.p1 = {k * pitch + 120.0, 250.0};
            text.text = "S" + std::to_string(k + 1);
            drawing.push_back(text);
        }
        std::vector<Annotation> annotations = app::annotations_for_save(drawing, true);
        app::move_annotations_to_export_sheets(annotations, layout);
        const auto file = folder.file("w" + std::to_string(static_cast<int>(width)) + ".dxf");
        plv::write_dxf(layout, file, app::kExportSheetGap, {}, app::kExportUnitsMillimetres, false, annotations);
        folder.summarize_file(file);

        const std::vector<writer_test::Entity> entities = writer_test::entities_of(writer_test::read_file(file));
        int found = 0;
        for (const writer_test::Entity& e : entities) {
            if (e.type != "TEXT" || e.layer != "ANNOTATION") continue;
            const int sheet = e.text(1) == "S2" ? 2 : 3;
            EXPECT_NEAR(e.real(10) - sheet_left(entities, sheet), 120.0, 1e-6) << e.text(1);
            EXPECT_NEAR(e.real(20), 250.0, 1e-6);
            ++found;
        }
        EXPECT_EQ(found, 2);
    }
}

}  // namespace
