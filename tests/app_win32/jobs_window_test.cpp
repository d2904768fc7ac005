// The job list, the preview load and the save command on the real main
// window: paths go in through the functions the pickers call, the rows of
// the list view, the log, the shared state and the written file are read
// back.

#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/core/control_ids.hpp"
#include "app/core/editor_model.hpp"
#include "app/core/gui_state.hpp"
#include "app/core/job_list.hpp"
#include "app/core/workers.hpp"
#include "app/win32/app_windows.hpp"
#include "app/win32/file_dialogs.hpp"
#include "app/win32/frame_hooks.hpp"
#include "app/win32/job_list_commands.hpp"
#include "app/win32/main_window.hpp"
#include "app/win32/preview_load.hpp"
#include "app/win32/save_result.hpp"
#include "dxf/paths.hpp"

#include "tests/app_win32/saved_dxf.hpp"
#include "tests/app_win32/window_test_support.hpp"

namespace {

namespace fs = std::filesystem;
using window_test::count_of;
using window_test::text_of;

// What the save dialog stand-in answers, and what it was asked with.
std::string g_save_answer;
std::string g_save_suggested;
int g_save_calls = 0;

std::string fake_save_dialog(HWND, const std::string& suggested) {
    ++g_save_calls;
    g_save_suggested = suggested;
    return g_save_answer;
}

fs::path fixture(const char* name) { return fs::path(PLV_TEST_DATA_DIR) / name; }

class JobsWindow : public window_test::MainWindowTest {
protected:
    void SetUp() override {
        reset_shared_state();
        app::frame_hooks() = app::FrameHooks{};
        app::install_jobs_handlers(app::frame_hooks());
        g_save_answer.clear();
        g_save_suggested.clear();
        g_save_calls = 0;

        folder_ = fs::temp_directory_path() /
                  ("plv_jobs_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);

        ASSERT_NE(create_main_window(), nullptr);
    }

    void TearDown() override {
        wait_for_previews();
        close_main_window();
        // The tests after these find the shared state as the program starts.
        reset_shared_state();
        std::error_code ec;
        fs::remove_all(folder_, ec);
    }

    static void reset_shared_state() {
        app::GuiState& state = app::gui_state();
        state.selected_files.clear();
        state.panel = app::PanelState{};
        state.running = false;
        state.stop_requested = false;
        window_test::forget_shown_layouts();
        app::editor_state() = app::EditorState{};
    }

    // Lets every preview thread end and its message be handled.
    static void wait_for_previews() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (app::worker_tracker().live(app::WorkerKind::preview) > 0 &&
               std::chrono::steady_clock::now() < deadline) {
            pump();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        EXPECT_EQ(app::worker_tracker().live(app::WorkerKind::preview), 0);
        pump();
    }

    std::string log() const { return text_of(control(app::IDC_LOG)); }

    std::vector<std::string> rows() const {
        HWND list = control(app::IDC_PARTS_LIST);
        std::vector<std::string> out;
        const int n = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
        for (int i = 0; i < n; ++i) {
            char buffer[512] = {};
            LVITEMA item{};
            item.iSubItem = 0;
            item.pszText = buffer;
            item.cchTextMax = sizeof(buffer);
            SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
            out.emplace_back(buffer);
        }
        return out;
    }

    void select_rows(const std::vector<int>& selected) {
        HWND list = control(app::IDC_PARTS_LIST);
        LVITEMA none{};
        none.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&none));
        for (const int row : selected) {
            LVITEMA item{};
            item.stateMask = LVIS_SELECTED;
            item.state = LVIS_SELECTED;
            SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
        }
    }

    void command(int id) { SendMessageA(window_, WM_COMMAND, MAKEWPARAM(id, 0), 0); }

    // A copy of a real drawing under the test's folder, as UTF-8.
    std::string copy_fixture(const char* name, const fs::path& as) {
        fs::create_directories((folder_ / as).parent_path());
        fs::copy_file(fixture(name), folder_ / as, fs::copy_options::overwrite_existing);
        return plv::path_to_utf8(folder_ / as);
    }

    std::vector<int> quantities() const {
        std::vector<int> out;
        for (const app::SelectedFile& f : app::gui_state().selected_files) out.push_back(f.quantity);
        return out;
    }

    fs::path folder_;
};

TEST_F(JobsWindow, AddedFilesShowAsRowsMoveTheOutputPathAndPreview) {
    const std::string a = copy_fixture("dns__20x20outer10x10hole.dxf", "cut/a.dxf");
    const std::string b = copy_fixture("l_with_notch_square.dxf", "cut/b.DXF");
    std::string a_again = a;
    for (char& c : a_again) c = c == '\\' ? '/' : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(text_of(control(app::IDC_OUTPUT_PATH)), app::kDefaultOutputPath);

    app::add_files_to_job_list(window_, {a, b, a_again});
    EXPECT_EQ(rows(), (std::vector<std::string>{"x2  a.dxf", "x1  b.DXF"}));
    EXPECT_EQ(app::gui_state().selected_files[0].path, a);
    const std::string beside = plv::path_to_utf8(folder_ / "cut" / "nesting_result_cpp.dxf");
    EXPECT_EQ(text_of(control(app::IDC_OUTPUT_PATH)), beside);

    wait_for_previews();
    // One part in a, two in b; each part once whatever its quantity.
    EXPECT_EQ(count_of(log(), "Previsualizacion DXF lista: 3 perfil(es) detectados.\r\n"), 1);
    {
        app::GuiState& state = app::gui_state();
        std::lock_guard<std::mutex> lock(state.state_mutex);
        EXPECT_TRUE(state.preview_ready);
        EXPECT_FALSE(state.preview_loading);
        EXPECT_EQ(state.preview_layout.placements.size(), 3u);
    }

    // The output path no longer holds the default text: it stays.
    const std::string elsewhere = copy_fixture("dns__Donut.dxf", "other/c.dxf");
    app::add_files_to_job_list(window_, {elsewhere});
    EXPECT_EQ(text_of(control(app::IDC_OUTPUT_PATH)), beside);
    EXPECT_EQ(rows().size(), 3u);
}

TEST_F(JobsWindow, FolderAddsItsDxfFilesSortedAndACancelChangesNothing) {
    copy_fixture("dns__20x20outer10x10hole.dxf", "jobs/b.DXF");
    copy_fixture("dns__Donut.dxf", "jobs/a.dxf");
    copy_fixture("l_with_notch_square.dxf", "jobs/deep/c.dxf");
    std::ofstream(folder_ / "jobs" / "notes.txt") << "not a drawing\n";

    app::add_folder_to_job_list(window_, plv::path_to_utf8(folder_ / "jobs"));
    EXPECT_EQ(rows(), (std::vector<std::string>{"x1  a.dxf", "x1  b.DXF", "x1  c.dxf"}));
    EXPECT_EQ(text_of(control(app::IDC_OUTPUT_PATH)),
              plv::path_to_utf8(folder_ / "jobs" / "nesting_result_cpp.dxf"));
    wait_for_previews();
    EXPECT_EQ(count_of(log(), "Previsualizacion DXF lista: 4 perfil(es) detectados.\r\n"), 1);

    const std::int32_t before = app::gui_state().preview_generation.load();
    app::add_folder_to_job_list(window_, std::nullopt);
    EXPECT_EQ(app::gui_state().preview_generation.load(), before);
    EXPECT_EQ(rows().size(), 3u);

    // A folder that is not there: the walk's error leaves the list alone.
    EXPECT_THROW(app::add_folder_to_job_list(window_, plv::path_to_utf8(folder_ / "gone")),
                 std::exception);
    EXPECT_EQ(rows().size(), 3u);
}

TEST_F(JobsWindow, RemoveAndQuantityWorkOnTheSelectedRows) {
    std::vector<std::string> paths;
    for (int i = 0; i < 5; ++i)
        paths.push_back(copy_fixture("dns__20x20outer10x10hole.dxf", "p" + std::to_string(i) + ".dxf"));
    app::add_files_to_job_list(window_, paths);
    wait_for_previews();

    // Selecting a row shows its quantity.
    app::gui_state().selected_files[3].quantity = 6;
    select_rows({3});
    EXPECT_EQ(text_of(control(app::IDC_QUANTITY)), "6");

    select_rows({1, 3});
    command(app::IDC_REMOVE_SELECTED);
    EXPECT_EQ(rows(), (std::vector<std::string>{"x1  p0.dxf", "x1  p2.dxf", "x1  p4.dxf"}));

    struct Case {
        const char* text;
        std::vector<int> expected;
    };
    const Case cases[] = {{"0", {1, 1, 1}}, {"7", {7, 1, 7}}, {"-5", {1, 1, 1}}, {"4 pcs", {4, 1, 4}},
                          {"abc", {4, 1, 4}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        select_rows({0, 2});
        SetWindowTextA(control(app::IDC_QUANTITY), c.text);
        command(app::IDC_APPLY_QUANTITY);
        EXPECT_EQ(quantities(), c.expected);
        // The rows stay selected after the rebuild.
        EXPECT_EQ(app::selected_rows(), (std::vector<int>{0, 2}));
    }
    EXPECT_EQ(rows()[0], "x4  p0.dxf");

    // Without a selection neither command does anything, not even a reload.
    select_rows({});
    const std::int32_t before = app::gui_state().preview_generation.load();
    SetWindowTextA(control(app::IDC_QUANTITY), "9");
    command(app::IDC_APPLY_QUANTITY);
    command(app::IDC_REMOVE_SELECTED);
    EXPECT_EQ(quantities(), (std::vector<int>{4, 1, 4}));
    EXPECT_EQ(app::gui_state().preview_generation.load(), before);

    // Delete in the list view removes the selected row.
    select_rows({1});
    SendMessageA(control(app::IDC_PARTS_LIST), WM_KEYDOWN, VK_DELETE, 0);
    EXPECT_EQ(rows(), (std::vector<std::string>{"x4  p0.dxf", "x4  p4.dxf"}));
}

TEST_F(JobsWindow, CsvImportAddsQuantitiesWithoutAPreview) {
    const std::string listed = copy_fixture("dns__20x20outer10x10hole.dxf", "csv/a.dxf");
    copy_fixture("dns__Donut.dxf", "csv/b.DXF");
    app::add_files_to_job_list(window_, {listed});
    wait_for_previews();
    const std::int32_t before = app::gui_state().preview_generation.load();
    const std::string output_before = text_of(control(app::IDC_OUTPUT_PATH));

    std::ofstream(folder_ / "csv" / "q.csv") << "a.dxf,3\nmissing.dxf,2\nb.DXF,word\nb.DXF,0\n";
    app::import_quantities_file(plv::path_to_utf8(folder_ / "csv" / "q.csv"));
    EXPECT_EQ(rows(), (std::vector<std::string>{"x4  a.dxf", "x1  b.DXF"}));
    EXPECT_EQ(count_of(log(), "CSV importado.\r\n"), 1);
    EXPECT_EQ(app::gui_state().preview_generation.load(), before);
    EXPECT_EQ(text_of(control(app::IDC_OUTPUT_PATH)), output_before);

    // A file that cannot be opened: nothing at all.
    app::import_quantities_file(plv::path_to_utf8(folder_ / "csv" / "none.csv"));
    EXPECT_EQ(count_of(log(), "CSV importado.\r\n"), 1);
}

TEST_F(JobsWindow, SpellingsOfOnePathMergeAndAMissingFileFailsThePreview) {
    app::add_files_to_job_list(window_, {"C:\\NoSuchCut\\A.DXF", "c:/nosuchcut/a.dxf"});
    EXPECT_EQ(rows(), (std::vector<std::string>{"x2  A.DXF"}));
    wait_for_previews();
    EXPECT_EQ(count_of(log(), "No pude previsualizar los DXF: "), 1);
    app::GuiState& state = app::gui_state();
    std::lock_guard<std::mutex> lock(state.state_mutex);
    EXPECT_FALSE(state.preview_ready);
    EXPECT_TRUE(state.preview_layout.placements.empty());
}

TEST_F(JobsWindow, OnlyTheNewestPreviewPublishes) {
    const std::string one = copy_fixture("dns__20x20outer10x10hole.dxf", "one.dxf");
    const std::string two = copy_fixture("l_with_notch_square.dxf", "two.dxf");
    app::add_files_to_job_list(window_, {one});
    app::add_files_to_job_list(window_, {two});
    wait_for_previews();
    {
        app::GuiState& state = app::gui_state();
        std::lock_guard<std::mutex> lock(state.state_mutex);
        EXPECT_EQ(state.preview_layout.placements.size(), 3u);
        EXPECT_EQ(state.preview_message, "Previsualizacion DXF lista: 3 perfil(es) detectados.");
    }
    const std::string lines_before = log();
    EXPECT_EQ(count_of(lines_before, "Previsualizacion DXF lista: 3 perfil(es) detectados.\r\n"), 1);

    // A thread of an older generation that ends now publishes and posts
    // nothing.
    app::RunSettings stale;
    stale.files = {{one, 1}};
    const std::int32_t current = app::gui_state().preview_generation.load();
    app::preview_thread_main(window_, stale, current - 1);
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, window_, app::WM_PREVIEW_READY, app::WM_PREVIEW_READY, PM_NOREMOVE));
    {
        app::GuiState& state = app::gui_state();
        std::lock_guard<std::mutex> lock(state.state_mutex);
        EXPECT_EQ(state.preview_layout.placements.size(), 3u);
    }
    // The current one does.
    app::preview_thread_main(window_, stale, current);
    pump();
    EXPECT_EQ(count_of(log(), "Previsualizacion DXF lista: 1 perfil(es) detectados.\r\n"), 1);
}

TEST_F(JobsWindow, AnUnreadableToleranceShowsTheMessageAndStartsNothing) {
    const std::string one = copy_fixture("dns__20x20outer10x10hole.dxf", "one.dxf");
    SetWindowTextA(control(app::IDC_CURVE_TOLERANCE), "abc");
    const std::int32_t before = app::gui_state().preview_generation.load();
    app::add_files_to_job_list(window_, {one});
    EXPECT_EQ(app::gui_state().preview_generation.load(), before);
    EXPECT_EQ(app::worker_tracker().live(app::WorkerKind::preview), 0);
    app::GuiState& state = app::gui_state();
    std::lock_guard<std::mutex> lock(state.state_mutex);
    EXPECT_EQ(state.preview_message, "No pude leer la configuracion de importacion para previsualizar.");
    EXPECT_FALSE(state.preview_loading);
}

TEST_F(JobsWindow, SaveWritesTheShownPreviewWithTheDrawing) {
    app::frame_hooks().choose_dxf_save_path = fake_save_dialog;
    const std::string one = copy_fixture("dns__20x20outer10x10hole.dxf", "save/one.dxf");
    app::add_files_to_job_list(window_, {one});
    wait_for_previews();

    app::EditorEntity rectangle;
    rectangle.kind = app::EntityKind::rectangle;
    rectangle.p0 = {0, 0};
    rectangle.p1 = {50, 30};
    app::EditorEntity dimension;
    dimension.kind = app::EntityKind::dimension;
    dimension.p0 = {0, 0};
    dimension.p1 = {50, 0};
    app::editor_state().entities = {rectangle, dimension};

    // Cancelled: nothing happens.
    command(app::IDC_SAVE);
    EXPECT_EQ(g_save_calls, 1);
    EXPECT_EQ(g_save_suggested, plv::path_to_utf8(folder_ / "save" / "nesting_result_cpp.dxf"));
    EXPECT_EQ(count_of(log(), "DXF guardado: "), 0);

    const fs::path target = folder_ / "save" / "out" / "result.dxf";
    g_save_answer = plv::path_to_utf8(target);
    command(app::IDC_SAVE);
    ASSERT_TRUE(fs::exists(target));
    std::string dxf;
    {
        // Closed again before the next save replaces the file.
        std::ifstream in(target, std::ios::binary);
        std::stringstream content;
        content << in.rdbuf();
        dxf = content.str();
    }
    EXPECT_NE(dxf.substr(0, 200).find("SECTION"), std::string::npos);
    EXPECT_NE(dxf.find("AC1009"), std::string::npos);
    // With a preview every drawn item is written: the rectangle's four
    // lines, and the dimension's seven lines and its text.
    EXPECT_EQ(window_test::entities_on_layer(target, "ANNOTATION"),
              (std::map<std::string, int>{{"LINE", 11}, {"TEXT", 1}}));
    EXPECT_EQ(text_of(control(app::IDC_OUTPUT_PATH)), g_save_answer);
    const std::string expected_log = "DXF guardado: " + g_save_answer +
                                     "\r\nMerge common lines aplicado en exportacion: los bordes "
                                     "colineales compartidos se escriben una sola vez.\r\n";
    EXPECT_NE(log().find(expected_log), std::string::npos);
    {
        app::GuiState& state = app::gui_state();
        std::lock_guard<std::mutex> lock(state.state_mutex);
        EXPECT_EQ(state.last_output_path, target);
    }

    // The next save suggests the path of this one; unticked merging logs one line.
    SendMessageA(control(app::IDC_MERGE_COMMON_LINES), BM_SETCHECK, BST_UNCHECKED, 0);
    command(app::IDC_SAVE);
    EXPECT_EQ(g_save_suggested, g_save_answer);
    EXPECT_EQ(count_of(log(), "DXF guardado: "), 2);
    EXPECT_EQ(count_of(log(), "Merge common lines aplicado"), 1);
}

TEST_F(JobsWindow, AFailedWriteLeavesTheSavedPathAndTheLogAlone) {
    app::frame_hooks().choose_dxf_save_path = fake_save_dialog;
    const std::string one = copy_fixture("dns__20x20outer10x10hole.dxf", "one.dxf");
    app::add_files_to_job_list(window_, {one});
    wait_for_previews();
    // A folder cannot be made under a file.
    g_save_answer = plv::path_to_utf8(folder_ / "one.dxf" / "sub" / "x.dxf");
    EXPECT_THROW(app::save_result_dxf(window_), std::exception);
    EXPECT_EQ(text_of(control(app::IDC_OUTPUT_PATH)), g_save_answer);
    EXPECT_EQ(count_of(log(), "DXF guardado: "), 0);
    app::GuiState& state = app::gui_state();
    std::lock_guard<std::mutex> lock(state.state_mutex);
    EXPECT_TRUE(state.last_output_path.empty());
}

}  // namespace
