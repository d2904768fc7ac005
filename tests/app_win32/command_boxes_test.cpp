// The message boxes of the main window's commands, found on the Wine
// desktop while they are open: the failure of a command shown under its
// own caption, and a save with nothing shown.

#include <windows.h>

#include <gtest/gtest.h>

#include <mutex>
#include <stdexcept>
#include <string>

#include "app/core/control_ids.hpp"
#include "app/core/editor_model.hpp"
#include "app/core/gui_state.hpp"
#include "app/win32/frame_hooks.hpp"
#include "app/win32/job_list_commands.hpp"

#include "tests/app_win32/window_test_support.hpp"

namespace {

class CommandBoxes : public window_test::MainWindowTest {
protected:
    void SetUp() override {
        app::frame_hooks() = app::FrameHooks{};
        app::gui_state().running = false;
        ASSERT_NE(create_main_window(), nullptr);
    }

    void TearDown() override {
        close_main_window();
        std::lock_guard<std::mutex> lock(app::gui_state().state_mutex);
        app::gui_state().preview_ready = false;
    }

    void command(int id) { SendMessageA(window_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }
};

[[noreturn]] void fail_with_text(HWND) { throw std::runtime_error("Cannot write DXF: X:\\nada.dxf"); }

TEST_F(CommandBoxes, AFailedCommandShowsItsTextUnderItsCaption) {
    struct Case {
        int id;
        app::WindowAction app::FrameHooks::*hook;
        const char* caption;
    };
    const Case cases[] = {
        {app::IDC_ADD_FOLDER, &app::FrameHooks::add_dxf_folder, "No se pudo agregar carpeta"},
        {app::IDC_SAVE, &app::FrameHooks::save_result_dxf, "No se pudo guardar DXF"},
        {app::IDC_RUN, &app::FrameHooks::run_nesting, "Configuracion invalida"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.caption);
        app::frame_hooks() = app::FrameHooks{};
        app::frame_hooks().*c.hook = fail_with_text;
        window_test::MessageBoxWatcher box;
        command(c.id);
        box.finish();
        ASSERT_TRUE(box.seen());
        EXPECT_EQ(box.caption(), c.caption);
        EXPECT_EQ(box.text(), "Cannot write DXF: X:\\nada.dxf");
        EXPECT_TRUE(IsWindow(window_));
    }
}

std::string g_asked;

TEST_F(CommandBoxes, SavingWithNothingShownSaysSo) {
    app::install_jobs_handlers(app::frame_hooks());
    app::frame_hooks().choose_dxf_save_path = [](HWND, const std::string& suggested) {
        g_asked = suggested;
        return std::string();
    };
    g_asked = "(not asked)";
    app::GuiState& state = app::gui_state();
    {
        std::lock_guard<std::mutex> lock(state.state_mutex);
        state.has_result = false;
        state.preview_ready = true;  // ready, but empty
        state.preview_layout = plv::NestingResult{};
    }
    window_test::MessageBoxWatcher box;
    command(app::IDC_SAVE);
    box.finish();
    ASSERT_TRUE(box.seen());
    EXPECT_EQ(box.caption(), "Guardar DXF");
    EXPECT_EQ(box.text(), "Todavia no hay nada cargado para guardar.");
    EXPECT_EQ(g_asked, "(not asked)");
}

}  // namespace
