// The drawing editor on the real main window: mouse and key messages sent
// to it draw and undo, and the two modal input windows are found, read,
// typed into and confirmed (or cancelled) from a second thread while the
// window's own loop runs.

#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <string>
#include <utility>

#include "app/core/control_ids.hpp"
#include "app/core/editor_model.hpp"
#include "app/core/gui_state.hpp"
#include "app/win32/editor_handlers.hpp"
#include "app/win32/frame_hooks.hpp"
#include "app/win32/main_window.hpp"
#include "app/win32/text_window.hpp"
#include "app/win32/value_window.hpp"

#include "tests/app_win32/window_test_support.hpp"

namespace {

using app::Point;
using window_test::text_of;

// Waits on its own thread for a visible top-level window of `cls` and
// `title` (created whole and its loop running), then hands it to `act`.
class DialogWatcher : public window_test::WindowWatcher {
public:
    DialogWatcher(const char* cls, const char* title, std::function<void(HWND)> act)
        : WindowWatcher(
              [cls, title] {
                  HWND dialog = FindWindowA(cls, title);
                  return dialog != nullptr && IsWindowVisible(dialog) ? dialog : nullptr;
              },
              std::move(act)) {}
};

void press_key(HWND target, WPARAM key) { PostMessageA(target, WM_KEYDOWN, key, 0); }

class EditorWindow : public window_test::MainWindowTest {
protected:
    void SetUp() override {
        app::GuiState& gui = app::gui_state();
        {
            std::lock_guard<std::mutex> lock(gui.state_mutex);
            gui.has_result = false;
            gui.shown_result = plv::NestingResult{};
            gui.preview_layout = plv::NestingResult{};
            gui.preview_layout.sheet = {3000, 1500};
            plv::Placement corner;
            corner.part_name = "corner";
            corner.shape.outer = {{2900, 10}, {2950, 10}, {2950, 60}, {2900, 60}, {2900, 10}};
            gui.preview_layout.placements.push_back(corner);
            gui.preview_ready = true;
        }
        app::editor_state() = app::EditorState{};
        // Scale 2.2 px/mm: the world's upper left corner is near the
        // canvas's.
        app::editor_state().zoom = 10.0;
        app::frame_hooks() = app::FrameHooks{};
        app::install_editor_handlers(app::frame_hooks());
        ASSERT_NE(create_main_window(), nullptr);
        pump();
    }

    void TearDown() override {
        close_main_window();
        std::lock_guard<std::mutex> lock(app::gui_state().state_mutex);
        app::gui_state().preview_ready = false;
        app::gui_state().preview_layout = plv::NestingResult{};
    }

    app::ViewTransform view() const {
        RECT r{};
        GetClientRect(window_, &r);
        plv::NestingResult layout;
        app::get_display_layout(layout);
        return app::compute_view_transform(layout, app::canvas_rect(app::Rect{0, 0, r.right, r.bottom}),
                                           app::editor_state());
    }

    POINT screen_of(Point world) const {
        const Point s = app::world_to_screen(view(), world);
        return POINT{app::round_to_int(s.x), app::round_to_int(s.y)};
    }

    void send_mouse(UINT message, Point world) {
        const POINT p = screen_of(world);
        SendMessageA(window_, message, message == WM_MOUSEMOVE ? 0 : MK_LBUTTON, MAKELPARAM(p.x, p.y));
    }

    void click(Point world) {
        send_mouse(WM_LBUTTONDOWN, world);
        send_mouse(WM_LBUTTONUP, world);
    }

    void command(int id) { SendMessageA(window_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }
    void key(WPARAM k) { SendMessageA(window_, WM_KEYDOWN, k, 0); }
};

TEST_F(EditorWindow, DrawsALineWithTheMouseAndUndoesIt) {
    command(app::IDC_TOOL_LINE);
    EXPECT_EQ(app::editor_state().tool, app::EditorTool::line);
    click({100, 1400});
    send_mouse(WM_MOUSEMOVE, {180, 1400});
    const app::EntityList& ents = app::editor_state().entities;
    ASSERT_EQ(ents.size(), 1u);
    EXPECT_TRUE(app::editor_state().shape_in_progress);
    EXPECT_NEAR(ents[0].p1.x, 180, 0.5);  // the rubber band
    click({200, 1400});
    ASSERT_EQ(ents.size(), 1u);
    EXPECT_FALSE(app::editor_state().shape_in_progress);
    EXPECT_EQ(ents[0].kind, app::EntityKind::line);
    EXPECT_NEAR(ents[0].p0.x, 100, 0.5);
    EXPECT_NEAR(ents[0].p1.x, 200, 0.5);
    EXPECT_NEAR(ents[0].p1.y, 1400, 0.5);

    // The select tool picks it and Delete removes it; Undo brings it back.
    key('V');
    click({150, 1400});
    EXPECT_EQ(app::editor_state().selection, 0);
    key(VK_DELETE);
    EXPECT_TRUE(ents.empty());
    command(app::IDC_UNDO);
    EXPECT_EQ(ents.size(), 1u);
    command(app::IDC_UNDO);  // the select click's snapshot
    command(app::IDC_UNDO);  // the line's first press
    EXPECT_TRUE(ents.empty());

    // The grid button flips grid and snapping and its caption.
    command(app::IDC_GRID);
    EXPECT_FALSE(app::editor_state().grid_visible);
    EXPECT_EQ(text_of(GetDlgItem(window_, app::IDC_GRID)), "Grilla OFF");
    command(app::IDC_GRID);
    EXPECT_TRUE(app::editor_state().snap_to_grid);
    EXPECT_EQ(text_of(GetDlgItem(window_, app::IDC_GRID)), "Grilla ON");
}

TEST_F(EditorWindow, PolylineEndsWithADoubleClickAndTheRightButtonRepeatsTheTool) {
    key('P');
    click({100, 1400});
    click({200, 1400});
    // A double click: its first press adds the point, the second ends it.
    send_mouse(WM_LBUTTONDOWN, {200, 1300});
    send_mouse(WM_LBUTTONUP, {200, 1300});
    send_mouse(WM_LBUTTONDBLCLK, {200, 1300});
    const app::EntityList& ents = app::editor_state().entities;
    ASSERT_EQ(ents.size(), 1u);
    EXPECT_EQ(ents[0].kind, app::EntityKind::polyline);
    EXPECT_EQ(ents[0].points.size(), 3u);
    EXPECT_FALSE(app::editor_state().polyline_active);

    // A double click on empty canvas with nothing under way resets the view.
    send_mouse(WM_LBUTTONDBLCLK, {300, 1300});
    EXPECT_EQ(app::editor_state().zoom, 1.0);

    key('V');
    SendMessageA(window_, WM_RBUTTONDOWN, 0, MAKELPARAM(700, 300));
    EXPECT_EQ(app::editor_state().tool, app::EditorTool::polyline);
}

TEST_F(EditorWindow, WheelZoomsAtTheCursorOverTheCanvas) {
    const POINT before = screen_of({200, 1300});
    POINT p = before;
    ClientToScreen(window_, &p);  // the wheel's position comes in screen pixels
    SendMessageA(window_, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(static_cast<short>(120))),
                 MAKELPARAM(static_cast<WORD>(static_cast<short>(p.x)), static_cast<WORD>(static_cast<short>(p.y))));
    EXPECT_DOUBLE_EQ(app::editor_state().zoom, 11.8);
    // The point under the cursor stays there.
    const POINT after = screen_of({200, 1300});
    EXPECT_NEAR(after.x, before.x, 1);
    EXPECT_NEAR(after.y, before.y, 1);
    // The middle button's double click brings the view back.
    SendMessageA(window_, WM_MBUTTONDBLCLK, 0, MAKELPARAM(10, 10));
    EXPECT_EQ(app::editor_state().zoom, 1.0);
}

TEST_F(EditorWindow, ValueWindowTakesATypedValue) {
    app::EditorEntity line;
    line.kind = app::EntityKind::line;
    line.p0 = {100, 1400};
    line.p1 = {200, 1400};
    app::append_entity(app::editor_state(), line);
    key('M');
    click({100, 1400});  // object snap puts both presses on the ends
    click({200, 1400});
    const app::EntityList& ents = app::editor_state().entities;
    ASSERT_EQ(ents.size(), 2u);
    EXPECT_EQ(ents[1].link, 0);

    std::string shown, cls_title;
    RECT rect{};
    bool owner_disabled = false;
    DialogWatcher watcher(app::kValueWindowClass, app::kValueWindowTitle, [&](HWND dialog) {
        HWND edit = GetDlgItem(dialog, app::kValueEditId);
        shown = text_of(edit);
        GetWindowRect(dialog, &rect);
        owner_disabled = !IsWindowEnabled(window_);
        SetWindowTextA(edit, "150,5");
        press_key(edit, VK_RETURN);
    });
    click({150, 1440});
    ASSERT_TRUE(watcher.found());
    EXPECT_EQ(shown, "100 mm");
    EXPECT_EQ(rect.right - rect.left, 310);
    EXPECT_EQ(rect.bottom - rect.top, 150);
    EXPECT_TRUE(owner_disabled);
    EXPECT_TRUE(IsWindowEnabled(window_));
    EXPECT_EQ(FindWindowA(app::kValueWindowClass, nullptr), nullptr);
    ASSERT_EQ(ents.size(), 2u);
    EXPECT_DOUBLE_EQ(ents[0].p1.x, 250.5);
    EXPECT_EQ(ents[1].text, "150 mm");
    EXPECT_FALSE(app::editor_state().dimension_active);

    // A double click on the dimension opens it again; Escape cancels.
    DialogWatcher cancel(app::kValueWindowClass, app::kValueWindowTitle, [&](HWND dialog) {
        shown = text_of(GetDlgItem(dialog, app::kValueEditId));
        press_key(GetDlgItem(dialog, app::kValueEditId), VK_ESCAPE);
    });
    const POINT at = screen_of({175, 1440});
    SendMessageA(window_, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(at.x, at.y));
    ASSERT_TRUE(cancel.found());
    EXPECT_EQ(shown, "150 mm");
    ASSERT_EQ(ents.size(), 2u);
    EXPECT_DOUBLE_EQ(ents[0].p1.x, 250.5);
    EXPECT_EQ(app::editor_state().selection, 1);
}

TEST_F(EditorWindow, TextWindowPlacesAndCancels) {
    key('T');
    std::string text, font, size;
    DialogWatcher watcher(app::kTextWindowClass, app::kTextWindowTitle, [&](HWND dialog) {
        text = text_of(GetDlgItem(dialog, app::kTextEditId));
        font = text_of(GetDlgItem(dialog, app::kFontEditId));
        size = text_of(GetDlgItem(dialog, app::kSizeEditId));
        SetWindowTextA(GetDlgItem(dialog, app::kTextEditId), "Hola");
        SetWindowTextA(GetDlgItem(dialog, app::kSizeEditId), "24");
        press_key(GetDlgItem(dialog, app::kSizeEditId), VK_RETURN);
    });
    click({300, 1300});
    ASSERT_TRUE(watcher.found());
    EXPECT_EQ(text, "");
    EXPECT_EQ(font, "ISOCPEUR");
    EXPECT_EQ(size, "16");
    const app::EntityList& ents = app::editor_state().entities;
    ASSERT_EQ(ents.size(), 1u);
    EXPECT_EQ(ents[0].text, "Hola");
    EXPECT_EQ(ents[0].height, 24);
    EXPECT_EQ(app::editor_state().text_height, 24);

    DialogWatcher cancel(app::kTextWindowClass, app::kTextWindowTitle, [&](HWND dialog) {
        size = text_of(GetDlgItem(dialog, app::kSizeEditId));
        PostMessageA(dialog, WM_CLOSE, 0, 0);
    });
    click({250, 1350});
    ASSERT_TRUE(cancel.found());
    EXPECT_EQ(size, "24");
    EXPECT_EQ(ents.size(), 1u);
}

TEST_F(EditorWindow, QuitWhileAWindowIsOpenClosesItAndKeepsTheQuit) {
    key('T');
    const DWORD ui_thread = GetCurrentThreadId();
    DialogWatcher watcher(app::kTextWindowClass, app::kTextWindowTitle,
                          [&](HWND) { PostThreadMessageA(ui_thread, WM_QUIT, 7, 0); });
    click({300, 1300});
    ASSERT_TRUE(watcher.found());
    EXPECT_EQ(FindWindowA(app::kTextWindowClass, nullptr), nullptr);
    EXPECT_TRUE(IsWindowEnabled(window_));
    EXPECT_TRUE(app::editor_state().entities.empty());
    MSG msg{};
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 7u);
}

}  // namespace
