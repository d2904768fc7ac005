#include "app/core/control_ids.hpp"
#include "app/core/help_markers.hpp"
#include "tests/app_core/expected_help_markers.hpp"

#include <gtest/gtest.h>

#include <iterator>
#include <set>
#include <vector>

namespace {

TEST(HelpMarkers, TableOrderAndSquares) {
    const auto& specs = app::help_marker_specs();
    ASSERT_EQ(specs.size(), 26u);
    EXPECT_EQ(specs.front().control_id, app::IDC_QUANTITY);
    EXPECT_EQ(specs[6].control_id, app::IDC_UNIT_MM);
    EXPECT_EQ(specs.back().control_id, app::IDC_PERF_LOG);
    std::set<int> ids;
    for (const auto& s : specs) ids.insert(s.control_id);
    EXPECT_EQ(ids.size(), 26u);

    struct Case {
        int id, L, s;
        app::Rect rect;
    };
    const Case cases[] = {
        {app::IDC_QUANTITY, 150, 0, {223, 348, 238, 363}},
        {app::IDC_QUANTITY, 70, 38, {223, 230, 238, 245}},
        {app::IDC_UNIT_MM, 150, 0, {139, 576, 154, 591}},
        {app::IDC_SOLVER, 194, 82, {139, 882, 154, 897}},
        {app::IDC_PERF_LOG, 150, 0, {395, 920, 410, 935}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        for (const auto& s : specs)
            if (s.control_id == c.id) {
                EXPECT_EQ(app::help_marker_rect(s, c.L, c.s), c.rect);
            }
    }
}

TEST(HelpMarkers, TooltipTexts) {
    std::vector<app::HelpMarker> markers;
    for (const auto& s : app::help_marker_specs())
        app::add_help_marker(markers, s.control_id, s.what, s.advice, s.default_text);
    ASSERT_EQ(markers.size(), 26u);
    EXPECT_EQ(markers[0].tooltip_text,
              "Que modifica: cuantas copias de este DXF entran al nesting.\r\n"
              "Recomendado: usar la cantidad real a fabricar; para muchas piezas iguales el "
              "programa agrupa repetidas.\r\n"
              "Default: 1");
    EXPECT_EQ(markers[14].tooltip_text,
              "Que modifica: escala historica para importar SVG si se usa esa ruta.\r\n"
              "Recomendado: dejarlo como esta salvo que un archivo entre con escala "
              "incorrecta.\r\n"
              "Default: 2.834645 units/mm");
    EXPECT_EQ(markers[24].tooltip_text,
              "Que modifica: motor que calcula los acomodos.\r\n"
              "Recomendado: cpu para estabilidad; dual-gpu si queres probar velocidad y tu "
              "placa lo soporta.\r\n"
              "Default: cpu");
    for (const auto& m : markers) {
        EXPECT_TRUE(m.visible);
        EXPECT_EQ(m.hot_rect, app::Rect{});
    }

    app::layout_help_markers(markers, 150, 10);
    EXPECT_EQ(markers[0].hot_rect, (app::Rect{223, 338, 238, 353}));
    EXPECT_EQ(markers[25].hot_rect, (app::Rect{395, 910, 410, 925}));
}

// The whole table, text and square of every marker, at two list heights and
// scrolls, through the same calls the main window makes.
TEST(HelpMarkers, EveryMarkerHasItsTooltipAndSquare) {
    std::vector<app::HelpMarker> markers;
    for (const auto& s : app::help_marker_specs())
        app::add_help_marker(markers, s.control_id, s.what, s.advice, s.default_text);
    const auto& expected = help_marker_test::kExpectedMarkers;
    ASSERT_EQ(markers.size(), std::size(expected));
    struct Place {
        int L, s;
    };
    for (const Place place : {Place{150, 0}, Place{194, 82}}) {
        app::layout_help_markers(markers, place.L, place.s);
        for (std::size_t i = 0; i < markers.size(); ++i) {
            const help_marker_test::ExpectedMarker& e = expected[i];
            SCOPED_TRACE(testing::Message() << "marker " << i << " at L " << place.L << ", scroll "
                                            << place.s);
            EXPECT_EQ(markers[i].control_id, e.control_id);
            EXPECT_EQ(markers[i].tooltip_text, e.tooltip());
            const int dy = place.L - place.s;
            EXPECT_EQ(markers[i].hot_rect,
                      (app::Rect{e.square.left, e.square.top + dy, e.square.right, e.square.bottom + dy}));
        }
    }
}

TEST(HelpMarkers, OnlyTheFirstMarkerOfAnIdIsLaidOut) {
    std::vector<app::HelpMarker> markers;
    app::add_help_marker(markers, app::IDC_SPACING, "a", "b", "c");
    app::add_help_marker(markers, app::IDC_SPACING, "d", "e", "f");
    app::add_help_marker(markers, 999, "g", "h", "i");
    app::layout_help_markers(markers, 70, 0);
    EXPECT_EQ(markers[0].hot_rect, (app::Rect{395, 496, 410, 511}));
    EXPECT_EQ(markers[1].hot_rect, app::Rect{});
    EXPECT_EQ(markers[2].hot_rect, app::Rect{});
}

}  // namespace
