// Saving a run's result on the real main window: the drawing travels with
// it as annotations, except the shapes that the run nested as parts and
// the other drawn outlines.

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <mutex>
#include <string>

#include "app/core/control_ids.hpp"
#include "app/core/editor_model.hpp"
#include "app/core/gui_state.hpp"
#include "app/win32/frame_hooks.hpp"
#include "app/win32/save_result.hpp"
#include "dxf/paths.hpp"

#include "tests/app_win32/run_window_support.hpp"
#include "tests/app_win32/saved_dxf.hpp"
#include "tests/app_win32/window_test_support.hpp"

namespace {

namespace fs = std::filesystem;
using run_test::RunWindow;
using window_test::entities_on_layer;

std::string g_save_answer;

std::string fake_save_dialog(HWND, const std::string&) { return g_save_answer; }

TEST_F(RunWindow, SavedRunResultHoldsTheDimensionsAndTextsOfTheDrawing) {
    const fs::path folder = fs::temp_directory_path() / "plv_run_save";
    fs::remove_all(folder);
    fs::create_directories(folder);

    app::EditorEntity rectangle;  // closed: nested as a part
    rectangle.kind = app::EntityKind::rectangle;
    rectangle.p0 = {0, 0};
    rectangle.p1 = {120, 60};
    app::EditorEntity line;  // left out of a saved result
    line.kind = app::EntityKind::line;
    line.p0 = {0, -40};
    line.p1 = {200, -40};
    app::EditorEntity dimension;
    dimension.kind = app::EntityKind::dimension;
    dimension.p0 = {0, 0};
    dimension.p1 = {120, 0};
    app::EditorEntity text;
    text.kind = app::EntityKind::text;
    text.p0 = text.p1 = {10, 100};
    text.text = "Lote 7";
    app::editor_state().entities = {rectangle, line, dimension, text};

    command(app::IDC_RUN);
    ASSERT_TRUE(wait_finished());
    {
        app::GuiState& state = app::gui_state();
        std::lock_guard<std::mutex> lock(state.state_mutex);
        ASSERT_TRUE(state.has_result);
        ASSERT_EQ(state.shown_result.placements.size(), 1u);
    }

    app::frame_hooks().choose_dxf_save_path = fake_save_dialog;
    const fs::path target = folder / "result.dxf";
    g_save_answer = plv::path_to_utf8(target);
    SendMessageA(control(app::IDC_MERGE_COMMON_LINES), BM_SETCHECK, BST_UNCHECKED, 0);
    app::save_result_dxf(window_);
    ASSERT_TRUE(fs::exists(target));

    // The dimension's seven lines and text, and the text; no line of the
    // rectangle or of the drawn line.
    EXPECT_EQ(entities_on_layer(target, "ANNOTATION"), (std::map<std::string, int>{{"LINE", 7}, {"TEXT", 2}}));
    // The rectangle is there once, as the nested part.
    EXPECT_EQ(entities_on_layer(target, "PARTS"), (std::map<std::string, int>{{"POLYLINE", 1}}));
    EXPECT_NE(log().find("DXF guardado: " + g_save_answer + "\r\n"), std::string::npos) << log();

    std::error_code ec;
    fs::remove_all(folder, ec);
}

}  // namespace
