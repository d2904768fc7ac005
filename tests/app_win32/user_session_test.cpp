// The main window driven as a user drives it, with every handler of the
// program installed: paths outside the ANSI code page through run start,
// save and the log, pickers answered with nothing, a dimension clicked while
// a settings field has the keyboard, and drawing over later sheets saved.
// Modal boxes and the save dialog are replaced by recorders.

#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/core/control_ids.hpp"
#include "app/core/editor_model.hpp"
#include "app/core/gui_state.hpp"
#include "app/core/workers.hpp"
#include "app/win32/app_windows.hpp"
#include "app/win32/controls.hpp"
#include "app/win32/file_dialogs.hpp"
#include "app/win32/frame_hooks.hpp"
#include "app/win32/job_list_commands.hpp"
#include "app/win32/main_window.hpp"
#include "app/win32/run_control.hpp"
#include "app/win32/run_panel.hpp"
#include "dxf/paths.hpp"

#include "dxf/writer_support.hpp"

#include "tests/app_win32/run_window_support.hpp"
#include "tests/app_win32/window_test_support.hpp"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using window_test::count_of;

std::string g_save_answer;
std::string fake_save_dialog(HWND, const std::string&) { return g_save_answer; }

const char kJose[] = "Jos\xc3\xa9";      // José, UTF-8
const char kDiseno[] = "Dise\xc3\xb1o";  // Diseño, UTF-8

plv::Placement square_on_sheet(int sheet) {
    plv::Placement p;
    p.part_name = "square";
    p.sheet_index = sheet;
    p.shape.outer = {{0, 0}, {100, 0}, {100, 100}, {0, 100}, {0, 0}};
    return p;
}

// The run tests' fixture with every other handler of the program added.
class UserSession : public run_test::RunWindow {
protected:
    void SetUp() override {
        RunWindow::SetUp();
        app::install_part_handlers(app::frame_hooks());
        app::frame_hooks().choose_dxf_save_path = fake_save_dialog;
        g_save_answer.clear();
        window_test::forget_shown_layouts();

        folder_ = fs::temp_directory_path() /
                  ("plv_user_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }

    void TearDown() override {
        wait_until([] { return app::worker_tracker().live(app::WorkerKind::preview) == 0; }, 20s);
        RunWindow::TearDown();
        window_test::forget_shown_layouts();
        app::gui_state().selected_files.clear();
        app::editor_state() = app::EditorState{};
        std::error_code ec;
        fs::remove_all(folder_, ec);
    }

    // Wide, so any character reaches the control.
    void set_text(int id, const std::string& utf8) { app::set_control_text_utf8(control(id), utf8); }

    fs::path folder_;
};

TEST_F(UserSession, RunStartsWithAnOutputPathOutsideTheAnsiCodePage) {
    app::gui_state().selected_files = {{run_test::fixture("dns__20x20outer10x10hole.dxf"), 2}};
    const std::string output = std::string("C:\\piezas\\") + kJose + "\\nesting_result_cpp.dxf";
    set_text(app::IDC_OUTPUT_PATH, output);
    set_text(app::IDC_MAX_ITERATIONS, "2");
    set_text(app::IDC_POPULATION, "1");
    set_text(app::IDC_THREADS, "2");
    set_text(app::IDC_LOG, "kept");
    {
        std::lock_guard<std::mutex> lock(app::gui_state().state_mutex);
        app::gui_state().last_output_path = "D:\\before.dxf";
        app::gui_state().saved_solutions.resize(1);
    }
    app::editor_state().zoom = 3.0;

    // A bad field with that path: the start fails before anything changes.
    set_text(app::IDC_POPULATION, "cuatro");
    try {
        app::run_nesting(window_);
        FAIL() << "started";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "Valor no valido en \"GA population\": cuatro");
    }
    EXPECT_EQ(log(), "kept");
    expect_idle_buttons();
    EXPECT_EQ(app::worker_tracker().live(app::WorkerKind::run), 0);
    EXPECT_EQ(app::editor_state().zoom, 3.0);
    {
        std::lock_guard<std::mutex> lock(app::gui_state().state_mutex);
        EXPECT_EQ(app::gui_state().last_output_path, fs::path("D:\\before.dxf"));
        EXPECT_EQ(app::gui_state().saved_solutions.size(), 1u);
    }

    // Mended, the run starts, ends, and starts again.
    set_text(app::IDC_POPULATION, "1");
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        ASSERT_NO_THROW(app::run_nesting(window_));
        EXPECT_TRUE(app::gui_state().running.load());
        EXPECT_EQ(text(app::IDC_RUN), "Detener solver");
        ASSERT_TRUE(wait_until([] { return !app::gui_state().running.load(); }));
        EXPECT_EQ(count_of(log(), "Listo.\r\n"), 1) << log();
        expect_idle_buttons();
        EXPECT_TRUE(run_test::g_boxes.empty());
        std::lock_guard<std::mutex> lock(app::gui_state().state_mutex);
        EXPECT_EQ(app::gui_state().last_output_path, plv::path_from_utf8(output));
    }
}

// The window's settings, except an output path that no file name can be
// made of (bytes that are not UTF-8): a control always hands back UTF-8,
// so only a panel can bring such a path to run start.
class PanelWithBadOutputPath : public app::WindowControlsPanel {
public:
    std::string text(int control_id) override {
        if (control_id == app::IDC_OUTPUT_PATH) return "C:\\piezas\\\xff\xfe\\nesting_result_cpp.dxf";
        return WindowControlsPanel::text(control_id);
    }
};

// Whatever makes run start fail, it fails before it touches the log, the
// flags, the buttons or the shared state, and no run thread starts. The
// output path is converted last of all the checks, so only a start that
// fails on it sees whether the log was cleared first.
TEST_F(UserSession, EveryFailedStartLeavesTheWindowAsItWas) {
    struct Case {
        const char* what;
        bool job;                 // a file in the job list
        const char* population;   // typed into "GA population"
        bool bad_output_path;
    };
    const Case cases[] = {
        {"a field that cannot be read", true, "cuatro", false},
        {"nothing to nest", false, "1", false},
        {"an output path that is no file name", true, "1", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        app::gui_state().selected_files.clear();
        if (c.job) app::gui_state().selected_files = {{run_test::fixture("dns__20x20outer10x10hole.dxf"), 2}};
        app::editor_state().entities.clear();
        set_text(app::IDC_POPULATION, c.population);
        set_text(app::IDC_LOG, "kept");
        {
            std::lock_guard<std::mutex> lock(app::gui_state().state_mutex);
            app::gui_state().last_output_path = "D:\\before.dxf";
            app::gui_state().saved_solutions.resize(1);
            app::gui_state().selected_solution = 0;
        }
        app::editor_state().zoom = 3.0;
        app::editor_state().pan_x = 12.0;

        PanelWithBadOutputPath bad_path;
        app::WindowControlsPanel window_panel;
        app::PanelSource& panel = c.bad_output_path ? static_cast<app::PanelSource&>(bad_path) : window_panel;
        EXPECT_THROW(app::run_nesting(window_, panel), std::exception);

        EXPECT_EQ(log(), "kept");
        expect_idle_buttons();
        EXPECT_EQ(app::worker_tracker().live(app::WorkerKind::run), 0);
        EXPECT_EQ(app::editor_state().zoom, 3.0);
        EXPECT_EQ(app::editor_state().pan_x, 12.0);
        std::lock_guard<std::mutex> lock(app::gui_state().state_mutex);
        EXPECT_EQ(app::gui_state().last_output_path, fs::path("D:\\before.dxf"));
        EXPECT_EQ(app::gui_state().saved_solutions.size(), 1u);
        EXPECT_EQ(app::gui_state().selected_solution, 0);
    }
}

TEST_F(UserSession, CancelledPickersLeaveAFinishedRunAlone) {
    const std::string job = run_test::fixture("dns__20x20outer10x10hole.dxf");
    app::gui_state().selected_files = {{job, 1}};
    app::refresh_file_list();
    {
        std::lock_guard<std::mutex> lock(app::gui_state().state_mutex);
        app::GuiState& state = app::gui_state();
        state.has_result = true;
        state.shown_result.sheet = {3000, 1500};
        state.shown_result.placements = {square_on_sheet(0)};
        state.saved_solutions.resize(2);
        state.saved_solutions[0].layout = state.shown_result;
        state.iteration_history = std::vector<plv::IterationStats>(3);
    }
    const std::string output_before = text(app::IDC_OUTPUT_PATH);
    const std::int32_t generation = app::gui_state().preview_generation.load();

    // What the pickers hand on when the user cancels them.
    app::add_files_to_job_list(window_, {});
    app::add_folder_to_job_list(window_, std::nullopt);

    EXPECT_EQ(app::gui_state().preview_generation.load(), generation);
    EXPECT_EQ(app::worker_tracker().live(app::WorkerKind::preview), 0);
    EXPECT_EQ(text(app::IDC_OUTPUT_PATH), output_before);
    EXPECT_EQ(SendMessageA(control(app::IDC_PARTS_LIST), LVM_GETITEMCOUNT, 0, 0), 1);
    bool kept = false;
    {
        std::lock_guard<std::mutex> lock(app::gui_state().state_mutex);
        const app::GuiState& state = app::gui_state();
        kept = state.has_result;
        EXPECT_EQ(state.shown_result.placements.size(), 1u);
        EXPECT_EQ(state.saved_solutions.size(), 2u);
        EXPECT_EQ(state.iteration_history.size(), 3u);
    }
    // Without it "Guardar" would open its information box and wait.
    ASSERT_TRUE(kept);

    // "Guardar" still has the result to save.
    g_save_answer = plv::path_to_utf8(folder_ / "after_cancel.dxf");
    command(app::IDC_SAVE);
    EXPECT_TRUE(fs::exists(folder_ / "after_cancel.dxf"));
}

TEST_F(UserSession, LogShowsPathsAsPicked) {
    {
        std::lock_guard<std::mutex> lock(app::gui_state().state_mutex);
        app::gui_state().preview_ready = true;
        app::gui_state().preview_layout.sheet = {500, 500};
        app::gui_state().preview_layout.placements = {square_on_sheet(0)};
    }
    g_save_answer = plv::path_to_utf8(folder_) + "\\" + kDiseno + "\\pieza.dxf";
    const fs::path target = plv::path_from_utf8(g_save_answer);
    command(app::IDC_SAVE);
    ASSERT_TRUE(fs::exists(target));
    EXPECT_EQ(count_of(log(), "DXF guardado: " + g_save_answer + "\r\n"), 1) << log();

    // A line from the run thread's side of the program too.
    const std::string missing = std::string("C:\\piezas\\") + kJose + "\\falta.dxf";
    app::append_log("DXF input not found: " + missing + "\r\n");
    EXPECT_NE(log().find("DXF input not found: C:\\piezas\\Jos\xc3\xa9\\falta.dxf\r\n"), std::string::npos);
}

TEST_F(UserSession, ClickingADimensionTakesTheKeyboardFromASettingsField) {
    {
        std::lock_guard<std::mutex> lock(app::gui_state().state_mutex);
        app::gui_state().preview_ready = true;
        app::gui_state().preview_layout.sheet = {3000, 1500};
        app::gui_state().preview_layout.placements = {square_on_sheet(0)};
    }
    app::EditorEntity dimension;
    dimension.kind = app::EntityKind::dimension;
    dimension.p0 = {500, 700};
    dimension.p1 = {1500, 700};
    dimension.p2 = {1000, 800};
    app::editor_state().entities = {dimension};
    ShowWindow(window_, SW_SHOW);
    SetForegroundWindow(window_);
    pump();

    HWND width = control(app::IDC_SHEET_WIDTH);
    SetFocus(width);
    ASSERT_EQ(GetFocus(), width);
    ASSERT_EQ(text(app::IDC_SHEET_WIDTH), "3000");

    // A click on the dimension's text.
    RECT client{};
    GetClientRect(window_, &client);
    plv::NestingResult layout;
    ASSERT_TRUE(app::get_display_layout(layout));
    const app::ViewTransform view = app::compute_view_transform(
        layout, app::canvas_rect(app::Rect{0, 0, client.right, client.bottom}), app::editor_state());
    const app::Point at = app::world_to_screen(view, dimension.p2);
    const LPARAM where = MAKELPARAM(app::round_to_int(at.x), app::round_to_int(at.y));
    SendMessageA(window_, WM_LBUTTONDOWN, MK_LBUTTON, where);
    SendMessageA(window_, WM_LBUTTONUP, 0, where);
    ASSERT_EQ(app::editor_state().selection, 0);
    EXPECT_EQ(GetFocus(), window_);

    // Delete goes where the keyboard is: the dimension, not the width.
    SendMessageA(GetFocus(), WM_KEYDOWN, VK_DELETE, 0);
    SendMessageA(GetFocus(), WM_KEYUP, VK_DELETE, 0);
    EXPECT_TRUE(app::editor_state().entities.empty());
    EXPECT_EQ(text(app::IDC_SHEET_WIDTH), "3000");
}

TEST_F(UserSession, TextsDrawnOverLaterSheetsAreSavedOnThoseSheets) {
    // A run result on three 1000-mm sheets: the canvas puts them 80 mm apart.
    {
        std::lock_guard<std::mutex> lock(app::gui_state().state_mutex);
        app::GuiState& state = app::gui_state();
        state.has_result = true;
        state.shown_result.sheet = {1000, 600};
        state.shown_result.placements = {square_on_sheet(0), square_on_sheet(1), square_on_sheet(2)};
    }
    const double pitch = 1000.0 + app::sheet_gap_for(1000.0);
    for (int k = 1; k < 3; ++k) {
        app::EditorEntity text;
        text.kind = app::EntityKind::text;
        text.p0 = text.p1 = {k * pitch + 120.0, 250.0};
        text.text = "S" + std::to_string(k + 1);
        app::editor_state().entities.push_back(text);
    }
    const fs::path target = folder_ / "sheets.dxf";
    g_save_answer = plv::path_to_utf8(target);
    command(app::IDC_SAVE);
    ASSERT_TRUE(fs::exists(target));

    const std::vector<writer_test::Entity> entities = writer_test::entities_of(writer_test::read_file(target));
    auto sheet_left = [&entities](const std::string& label) {
        for (const writer_test::Entity& e : entities)
            if (e.type == "TEXT" && e.layer == "SHEET" && e.text(1) == label) return e.real(10);
        ADD_FAILURE() << "no " << label;
        return 0.0;
    };
    int found = 0;
    for (const writer_test::Entity& e : entities) {
        if (e.type != "TEXT" || e.layer != "ANNOTATION") continue;
        const std::string sheet = e.text(1) == "S2" ? "Sheet 2" : "Sheet 3";
        EXPECT_NEAR(e.real(10) - sheet_left(sheet), 120.0, 1e-6) << e.text(1);
        EXPECT_NEAR(e.real(20), 250.0, 1e-6);
        ++found;
    }
    EXPECT_EQ(found, 2);
}

TEST_F(UserSession, ABadSettingIsShownWithItsFieldAndTheTypedText) {
    app::gui_state().selected_files = {{run_test::fixture("dns__20x20outer10x10hole.dxf"), 1}};
    set_text(app::IDC_LOG, "kept");
    // A letter O with an accent where a digit should be.
    set_text(app::IDC_SHEET_WIDTH, "\xc3\x93" "3000");
    window_test::MessageBoxWatcher box;
    command(app::IDC_RUN);
    box.finish();
    ASSERT_TRUE(box.seen());
    EXPECT_EQ(box.caption(), "Configuracion invalida");
    EXPECT_EQ(box.text(), "Valor no valido en \"Ancho chapa\": \xc3\x93" "3000");
    EXPECT_EQ(log(), "kept");
    expect_idle_buttons();
}

}  // namespace
