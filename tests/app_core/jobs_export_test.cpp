// What a save writes besides the layout: the drawing's items as
// annotations (all of them with a preview, only dimensions and texts with a
// run result), which layout is saved, and what the save dialog starts with.

#include "app/core/result_export.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using app::EditorEntity;
namespace EntityKind = app::EntityKind;
namespace AnnotationKind = plv::AnnotationKind;

std::string label(std::size_t n) {
    std::string s = "t";
    s += std::to_string(n);
    return s;
}

EditorEntity entity(std::int32_t kind) {
    EditorEntity e;
    e.kind = kind;
    e.p0 = {1.0 + kind, 2.0};
    e.p1 = {3.0, 4.0 + kind};
    e.p2 = {5.0, 6.0};
    e.text = label(static_cast<std::size_t>(kind));
    e.points = {{0, 0}, {10, 0}, {10, 10}};
    e.diameter = true;
    e.value = 42.0;
    e.link = 3;
    return e;
}

std::vector<EditorEntity> one_of_each() {
    std::vector<EditorEntity> all;
    for (std::int32_t k = 0; k <= 6; ++k) all.push_back(entity(k));
    return all;
}

TEST(SaveAnnotations, EveryKindMapsWithItsPointsAndText) {
    const std::vector<plv::Annotation> got = app::annotations_for_save(one_of_each(), false);
    const std::uint32_t expected[] = {AnnotationKind::dimension, AnnotationKind::text,
                                      AnnotationKind::line,      AnnotationKind::rectangle,
                                      AnnotationKind::circle,    AnnotationKind::arc,
                                      AnnotationKind::polyline};
    ASSERT_EQ(got.size(), 7u);
    for (std::size_t i = 0; i < got.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(got[i].kind, expected[i]);
        EXPECT_DOUBLE_EQ(got[i].p0.x, 1.0 + static_cast<double>(i));
        EXPECT_DOUBLE_EQ(got[i].p1.y, 4.0 + static_cast<double>(i));
        EXPECT_DOUBLE_EQ(got[i].p2.x, 5.0);
        EXPECT_EQ(got[i].text, label(i));
        // Only a polyline carries its point list.
        EXPECT_EQ(got[i].points.size(), i == 6 ? 3u : 0u);
    }
}

TEST(SaveAnnotations, ARunResultKeepsOnlyDimensionsAndTexts) {
    std::vector<EditorEntity> drawing = one_of_each();
    drawing.push_back(entity(EntityKind::dimension));
    drawing.push_back(entity(99));  // not a kind the editor makes
    const std::vector<plv::Annotation> from_result = app::annotations_for_save(drawing, true);
    ASSERT_EQ(from_result.size(), 3u);
    EXPECT_EQ(from_result[0].kind, AnnotationKind::dimension);
    EXPECT_EQ(from_result[1].kind, AnnotationKind::text);
    EXPECT_EQ(from_result[2].kind, AnnotationKind::dimension);
    EXPECT_EQ(app::annotations_for_save(drawing, false).size(), 8u);
    EXPECT_TRUE(app::annotations_for_save({}, false).empty());
}

plv::Placement placement() {
    plv::Placement p;
    p.shape.outer = {{0, 0}, {1, 0}, {1, 1}, {0, 0}};
    return p;
}

TEST(SaveLayout, TheRunResultFirstThenAFinishedPreviewElseNothing) {
    app::GuiState state;
    EXPECT_FALSE(app::copy_layout_to_save(state));

    state.preview_layout.placements = {placement(), placement()};
    EXPECT_FALSE(app::copy_layout_to_save(state));  // loaded but not ready
    state.preview_ready = true;
    std::optional<app::LayoutToSave> got = app::copy_layout_to_save(state);
    ASSERT_TRUE(got);
    EXPECT_FALSE(got->from_result);
    EXPECT_EQ(got->layout.placements.size(), 2u);

    state.has_result = true;  // a result without placements does not count
    got = app::copy_layout_to_save(state);
    ASSERT_TRUE(got);
    EXPECT_FALSE(got->from_result);

    state.shown_result.placements = {placement()};
    state.shown_result.sheet = {1000, 500};
    got = app::copy_layout_to_save(state);
    ASSERT_TRUE(got);
    EXPECT_TRUE(got->from_result);
    EXPECT_EQ(got->layout.placements.size(), 1u);
    EXPECT_DOUBLE_EQ(got->layout.sheet.width, 1000.0);
    EXPECT_TRUE(state.state_mutex.try_lock());  // not left held
    state.state_mutex.unlock();
}

TEST(SaveDialog, SuggestedPathAndWhatTheDialogOpensWith) {
    app::GuiState state;
    const fs::path jobs = fs::path("jobs");
    EXPECT_EQ(app::suggested_save_path("", state), fs::path());
    state.selected_files = {{(jobs / "a.dxf").string(), 1}, {"other/b.dxf", 1}};
    EXPECT_EQ(app::suggested_save_path("", state), jobs / "nesting_result_cpp.dxf");
    state.last_output_path = fs::path("saved") / "last.dxf";
    EXPECT_EQ(app::suggested_save_path("", state), fs::path("saved") / "last.dxf");
    EXPECT_EQ(app::suggested_save_path("typed.dxf", state), fs::path("typed.dxf"));

    struct Case {
        fs::path suggested;
        std::string name;
        fs::path folder;
    };
    const Case cases[] = {
        {{}, "nesting_result_cpp.dxf", {}},
        {fs::path("outputs") / "cpp_gui_nesting_result.dxf", "cpp_gui_nesting_result.dxf", "outputs"},
        {jobs / "nesting_result_cpp.dxf", "nesting_result_cpp.dxf", jobs},
        {fs::path("plate.dxf"), "plate.dxf", {}},
        {jobs / "", "nesting_result_cpp.dxf", jobs},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.suggested.string());
        const app::SaveDialogStart start = app::save_dialog_start(c.suggested);
        EXPECT_EQ(start.file_name, c.name);
        EXPECT_EQ(start.folder, c.folder);
    }
    EXPECT_EQ(app::saved_log_line("C:\\out\\r.dxf"), "DXF guardado: C:\\out\\r.dxf\r\n");
}

}  // namespace
