// The main window's painting seen on the screen: a progress update repaints
// the window without painting over its controls.

#include <windows.h>

#include <gtest/gtest.h>

#include <ostream>

#include "app/core/control_ids.hpp"
#include "app/core/gui_state.hpp"
#include "app/win32/frame_hooks.hpp"
#include "tests/app_win32/window_test_support.hpp"

namespace {

struct Colour {
    int r, g, b;
    bool operator==(const Colour&) const = default;
};

void PrintTo(const Colour& c, std::ostream* os) { *os << "(" << c.r << ", " << c.g << ", " << c.b << ")"; }

// What the window shows at a client point of `window`, read back from the
// window's device context (the pixels on the screen, children included).
Colour shown_at(HWND window, int x, int y) {
    HDC dc = GetDCEx(window, nullptr, DCX_WINDOW | DCX_CACHE);
    POINT p{x, y};
    ClientToScreen(window, &p);
    RECT outer{};
    GetWindowRect(window, &outer);
    const COLORREF c = GetPixel(dc, p.x - outer.left, p.y - outer.top);
    ReleaseDC(window, dc);
    return Colour{GetRValue(c), GetGValue(c), GetBValue(c)};
}

// The main window with all of the program's handlers.
class WindowPaint : public window_test::MainWindowTest {
protected:
    void SetUp() override {
        app::frame_hooks() = app::FrameHooks{};
        app::install_part_handlers(app::frame_hooks());
    }
    void TearDown() override {
        if (window_ != nullptr) DestroyWindow(window_);
        pump();
        app::frame_hooks() = app::FrameHooks{};
    }
};

TEST_F(WindowPaint, ProgressRepaintKeepsTheControls) {
    ASSERT_NE(create_main_window(), nullptr);
    ShowWindow(window_, SW_SHOWNORMAL);
    SetForegroundWindow(window_);
    UpdateWindow(window_);
    pump();

    // Inside the "Ancho chapa" field, right of its text: the edit's own
    // background, where the panel behind it is (38, 38, 38).
    HWND field = control(app::IDC_SHEET_WIDTH);
    ASSERT_NE(field, nullptr);
    RECT rc{};
    GetWindowRect(field, &rc);
    POINT at{rc.right - 8, (rc.top + rc.bottom) / 2};
    ScreenToClient(window_, &at);
    const Colour edit_background{28, 32, 31};
    ASSERT_EQ(shown_at(window_, at.x, at.y), edit_background);

    // The main window paints first; what the screen shows before any
    // control repaints itself is what the user sees in between.
    for (int i = 0; i < 3; ++i) {
        SendMessageA(window_, app::WM_RUN_PROGRESS, 0, 0);
        SendMessageA(window_, WM_PAINT, 0, 0);
        EXPECT_EQ(shown_at(window_, at.x, at.y), edit_background) << "after progress update " << i;
        pump();
    }
}

}  // namespace
