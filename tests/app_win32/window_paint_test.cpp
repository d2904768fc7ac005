// The main window's painting seen on the screen: a progress update repaints
// the window without painting over its controls; after the panel scrolls,
// the splitter moves or the window resizes, every control shows its own
// image at its new place; the wheel over a closed combo box scrolls the
// panel and leaves the setting alone; only the current tool's button looks
// active. Driven by real input (SendInput) where a user's would matter.

#include <windows.h>

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "app/core/control_ids.hpp"
#include "app/core/editor_model.hpp"
#include "app/core/gui_state.hpp"
#include "app/core/layout.hpp"
#include "app/win32/frame_hooks.hpp"
#include "tests/app_win32/dib_section.hpp"
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

// Real input for a window of this thread, through SendInput: the cursor
// moved to a screen point, then wheel notches, clicks and keys.
INPUT mouse_input(DWORD flags, DWORD data = 0) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = flags;
    in.mi.mouseData = data;
    return in;
}

void send_move(POINT screen) {
    INPUT in = mouse_input(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE);
    in.mi.dx = static_cast<LONG>((screen.x * 65536 + 32768) / GetSystemMetrics(SM_CXSCREEN));
    in.mi.dy = static_cast<LONG>((screen.y * 65536 + 32768) / GetSystemMetrics(SM_CYSCREEN));
    SendInput(1, &in, sizeof(INPUT));
}

void send_wheel(int delta) {
    INPUT in = mouse_input(MOUSEEVENTF_WHEEL, static_cast<DWORD>(delta));
    SendInput(1, &in, sizeof(INPUT));
}

void send_click() {
    INPUT in[2] = {mouse_input(MOUSEEVENTF_LEFTDOWN), mouse_input(MOUSEEVENTF_LEFTUP)};
    SendInput(2, in, sizeof(INPUT));
}

void send_key(WORD key) {
    INPUT in[2] = {};
    in[0].type = in[1].type = INPUT_KEYBOARD;
    in[0].ki.wVk = in[1].ki.wVk = key;
    in[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, in, sizeof(INPUT));
}

// Pumps until `done` holds or the limit passes; true when it held.
template <class Done>
bool pump_until(Done done, int limit_ms = 5000) {
    const DWORD start = GetTickCount();
    for (;;) {
        window_test::pump_messages();
        if (done()) return true;
        if (GetTickCount() - start > static_cast<DWORD>(limit_ms)) return false;
        Sleep(10);
    }
}

// Lets queued input and the paints it causes through.
void settle() {
    pump_until([] { return false; }, 300);
}

// The cursor moved there by real input, and the move seen through.
void move_cursor(POINT screen) {
    send_move(screen);
    pump_until([&] {
        POINT now{};
        GetCursorPos(&now);
        return now.x == screen.x && now.y == screen.y;
    }, 2000);
}

POINT centre_on_screen(HWND control) {
    RECT r{};
    GetWindowRect(control, &r);
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

// The main window with all of the program's handlers, shown on the test
// desktop at a client size of 1380 x 800 (panel scroll range 158), in front
// and with the keyboard, so that real input reaches it.
class ShownWindow : public window_test::MainWindowTest {
protected:
    static constexpr int kClientWidth = 1380;
    static constexpr int kClientHeight = 800;

    void SetUp() override {
        app::gui_state().panel = app::PanelState{};
        app::editor_state() = app::EditorState{};
        app::frame_hooks() = app::FrameHooks{};
        app::install_part_handlers(app::frame_hooks());
        RECT outer{0, 0, kClientWidth, kClientHeight};
        AdjustWindowRectEx(&outer, WS_OVERLAPPEDWINDOW, FALSE, 0);
        window_ = CreateWindowExA(0, app::kMainWindowClass, app::kMainWindowTitle, WS_OVERLAPPEDWINDOW, 0, 0,
                                  outer.right - outer.left, outer.bottom - outer.top, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(window_, nullptr);
        ShowWindow(window_, SW_SHOWNORMAL);
        UpdateWindow(window_);
        // Real input goes to the foreground window's focus; the desktop
        // may take a moment to hand it over.
        ASSERT_TRUE(pump_until([&] {
            SetForegroundWindow(window_);
            SetFocus(window_);
            return GetForegroundWindow() == window_ && GetFocus() == window_;
        }));
        settle();
        ASSERT_EQ(app::gui_state().panel.panel_scroll_max, 158);
    }
    void TearDown() override { close_main_window(); }

    static int scroll() { return app::gui_state().panel.panel_scroll; }

    // Real input now and then goes astray here while the desktop hands the
    // foreground around: `send` is tried up to three times, each with the
    // window in front again, until `arrived` holds.
    template <class Send, class Arrived>
    bool send_until(Send send, Arrived arrived) {
        for (int attempt = 0; attempt < 3; ++attempt) {
            HWND focus = GetFocus();
            if (GetForegroundWindow() != window_) {
                pump_until([&] {
                    SetForegroundWindow(window_);
                    return GetForegroundWindow() == window_;
                });
                SetFocus(focus);
            }
            send();
            if (pump_until(arrived, 2000)) return true;
        }
        return false;
    }

    // One real wheel notch with the cursor at a screen point.
    void wheel_at(POINT screen, int delta) {
        const int before = scroll();
        send_until(
            [&] {
                move_cursor(screen);
                send_wheel(delta);
            },
            [&] { return scroll() != before; });
        settle();
    }

    POINT panel_point() const {
        // Over the panel's left margin, where no control ever stands.
        POINT p{10, 400};
        ClientToScreen(window_, &p);
        return p;
    }
};

// How many pixels of the client area of `control` on the screen differ
// from a fresh rendering of it (PrintWindow): the screen shows a stale image
// when they differ.
int stale_pixels(HWND top, HWND control) {
    RECT r{};
    GetClientRect(control, &r);
    const int w = r.right, h = r.bottom;
    gdi_test::DibSection shown(w, h), fresh(w, h);
    if (!shown.ok() || !fresh.ok()) return -1;
    POINT at{0, 0};
    ClientToScreen(control, &at);
    RECT outer{};
    GetWindowRect(top, &outer);
    HDC dc = GetDCEx(top, nullptr, DCX_WINDOW | DCX_CACHE);
    BitBlt(shown.dc(), 0, 0, w, h, dc, at.x - outer.left, at.y - outer.top, SRCCOPY);
    ReleaseDC(top, dc);
    if (!PrintWindow(control, fresh.dc(), PW_CLIENTONLY)) return -1;
    int differ = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (!(shown.at(x, y) == fresh.at(x, y))) ++differ;
    return differ;
}

// The visible controls (of the settings panel only, or all) that stand whole
// below the panel's header band and inside the client area, by id. Not the
// job list: a list view renders nothing for PrintWindow here.
std::vector<int> whole_controls(HWND window, bool panel_only = true) {
    std::vector<int> ids;
    RECT client{};
    GetClientRect(window, &client);
    for (int id = app::kFirstControlId; id <= app::kLastControlId; ++id) {
        HWND c = GetDlgItem(window, id);
        if (c == nullptr || !IsWindowVisible(c) || id == app::IDC_PARTS_LIST) continue;
        RECT r{};
        GetWindowRect(c, &r);
        // Only what the desktop shows can be read back.
        if (r.bottom > GetSystemMetrics(SM_CYSCREEN)) continue;
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
        if (r.top >= app::kPanelHeaderBottom && r.bottom <= client.bottom && r.right <= client.right &&
            (!panel_only || r.right <= app::kPanelWidth))
            ids.push_back(id);
    }
    return ids;
}

TEST_F(ShownWindow, EveryControlShowsItsOwnImageAfterTheWheelScrollsThePanel) {
    const std::vector<int> before = whole_controls(window_);
    ASSERT_GE(before.size(), 20u);
    for (int id : before) ASSERT_EQ(stale_pixels(window_, control(id)), 0) << "control " << id << " at rest";

    // Three notches towards the user, one back: the panel ends 104 px up.
    for (int i = 0; i < 3; ++i) wheel_at(panel_point(), -120);
    wheel_at(panel_point(), 120);
    ASSERT_EQ(scroll(), 104);

    const std::vector<int> after = whole_controls(window_);
    ASSERT_GE(after.size(), 20u);
    int stale = 0;
    for (int id : after) {
        const int n = stale_pixels(window_, control(id));
        EXPECT_EQ(n, 0) << "control " << id << " shows another image where it now stands";
        if (n != 0) ++stale;
    }
    EXPECT_EQ(stale, 0) << "of " << after.size();
}

TEST_F(ShownWindow, EveryControlShowsItsOwnImageAfterAResizeMovesThem) {
    // Scrolled to the end, then made 50 px higher: the scroll shrinks to the
    // new range and the panel's controls move down 50 px, the bottom row
    // with the window's bottom edge.
    for (int i = 0; i < 3; ++i) wheel_at(panel_point(), -120);
    ASSERT_EQ(scroll(), 158);
    RECT outer{0, 0, kClientWidth, kClientHeight + 50};
    AdjustWindowRectEx(&outer, WS_OVERLAPPEDWINDOW, FALSE, 0);
    SetWindowPos(window_, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                 SWP_NOZORDER | SWP_NOMOVE);
    settle();
    ASSERT_EQ(scroll(), 108);
    const std::vector<int> ids = whole_controls(window_, false);
    ASSERT_GE(ids.size(), 30u);
    for (int id : ids) EXPECT_EQ(stale_pixels(window_, control(id)), 0) << "control " << id << " after the resize";
}

WNDPROC g_main_proc = nullptr;

// The test desktop is lower than a window whose job list can be dragged;
// lifts the maximum tracking size that the system would hold it to.
LRESULT CALLBACK taller_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    const LRESULT result = CallWindowProcA(g_main_proc, window, message, wparam, lparam);
    if (message == WM_GETMINMAXINFO) reinterpret_cast<MINMAXINFO*>(lparam)->ptMaxTrackSize.y = 5000;
    return result;
}

TEST_F(ShownWindow, EveryControlShowsItsOwnImageWhileTheSplitterMovesThem) {
    // 1000 px high (its lower part below the desktop), the job list can grow
    // from 70 to 194 px.
    g_main_proc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&taller_proc)));
    RECT outer{0, 0, kClientWidth, 1000};
    AdjustWindowRectEx(&outer, WS_OVERLAPPEDWINDOW, FALSE, 0);
    SetWindowPos(window_, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                 SWP_NOZORDER | SWP_NOMOVE);
    settle();
    RECT client{};
    GetClientRect(window_, &client);
    ASSERT_EQ(client.bottom, 1000);
    ASSERT_EQ(app::gui_state().panel.parts_list_height, 70);

    // Grabbed in the band under the list (y 212 to 219), dragged 40 px and
    // then 20 more, and let go.
    SendMessageA(window_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(300, 215));
    for (int y : {255, 275}) {
        SendMessageA(window_, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(300, y));
        settle();
        const std::vector<int> ids = whole_controls(window_);
        ASSERT_GE(ids.size(), 15u);
        for (int id : ids)
            EXPECT_EQ(stale_pixels(window_, control(id)), 0) << "control " << id << " with the cursor at " << y;
    }
    SendMessageA(window_, WM_LBUTTONUP, 0, MAKELPARAM(300, 275));
    settle();
    EXPECT_EQ(app::gui_state().panel.parts_list_height, 130);
    for (int id : whole_controls(window_))
        EXPECT_EQ(stale_pixels(window_, control(id)), 0) << "control " << id << " after the release";
    SetWindowLongPtrA(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_main_proc));
}

TEST_F(ShownWindow, TheWheelOverAClosedComboScrollsThePanelAndKeepsItsSetting) {
    // With the panel 104 px up every combo box of the panel stands whole in
    // the window and the panel can go either way.
    auto scroll_to_middle = [&] {
        POINT p = panel_point();
        for (int delta : {-120, -120, -120, 120})
            SendMessageA(window_, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(static_cast<short>(delta))),
                         MAKELPARAM(static_cast<WORD>(p.x), static_cast<WORD>(p.y)));
        settle();
        ASSERT_EQ(scroll(), 104);
    };
    struct Combo {
        int id;
        const char* name;
    };
    const Combo combos[] = {{app::IDC_OPTIMIZATION_TYPE, "Optimization type"},
                            {app::IDC_INPUT_UNITS, "DXF import"},
                            {app::IDC_SOLVER, "Solver"}};
    struct Source {
        const char* name;
        bool real;
    };
    const Source sources[] = {{"a real wheel", true}, {"a posted wheel message", false}};
    for (const Combo& c : combos) {
        HWND combo = control(c.id);
        ASSERT_NE(combo, nullptr);
        const int last = static_cast<int>(SendMessageA(combo, CB_GETCOUNT, 0, 0)) - 1;
        for (const Source& source : sources) {
            // Down from the first item, up from the last: either would move
            // the selection if the combo box took the notch.
            for (int delta : {-120, 120}) {
                SCOPED_TRACE(std::string(c.name) + ", " + source.name + ", delta " + std::to_string(delta));
                scroll_to_middle();
                const int chosen = delta < 0 ? 0 : last;
                SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(chosen), 0);
                SetFocus(combo);
                ASSERT_EQ(GetFocus(), combo);
                ASSERT_EQ(GetForegroundWindow(), window_);
                const POINT at = centre_on_screen(combo);
                if (source.real) {
                    send_until(
                        [&] {
                            move_cursor(at);
                            send_wheel(delta);
                        },
                        [] { return scroll() != 104; });
                } else {
                    PostMessageA(combo, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(static_cast<short>(delta))),
                                 MAKELPARAM(static_cast<WORD>(at.x), static_cast<WORD>(at.y)));
                    pump_until([] { return scroll() != 104; }, 2000);
                }
                settle();
                EXPECT_EQ(SendMessageA(combo, CB_GETCURSEL, 0, 0), chosen) << "the setting changed";
                EXPECT_EQ(scroll(), delta < 0 ? 158 : 50) << "the panel did not scroll";
            }
        }
    }

    // With its list dropped down the wheel stays with the list: a real notch
    // goes to the open list, and one the combo box itself gets moves the
    // selection in the list, as it always did. The panel stays.
    HWND solver = control(app::IDC_SOLVER);
    for (const Source& source : sources) {
        SCOPED_TRACE(std::string("open list, ") + source.name);
        scroll_to_middle();
        SendMessageA(solver, CB_SETCURSEL, 0, 0);
        SetFocus(solver);
        SendMessageA(solver, CB_SHOWDROPDOWN, TRUE, 0);
        settle();
        ASSERT_TRUE(SendMessageA(solver, CB_GETDROPPEDSTATE, 0, 0));
        const POINT at = centre_on_screen(solver);
        move_cursor(at);
        if (source.real) {
            send_wheel(-120);
        } else {
            PostMessageA(solver, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-120)),
                         MAKELPARAM(static_cast<WORD>(at.x), static_cast<WORD>(at.y)));
            EXPECT_TRUE(pump_until([&] { return SendMessageA(solver, CB_GETCURSEL, 0, 0) == 1; }, 2000))
                << "the open list did not move";
        }
        settle();
        EXPECT_EQ(scroll(), 104);
        EXPECT_TRUE(SendMessageA(solver, CB_GETDROPPEDSTATE, 0, 0));
        SendMessageA(solver, CB_SHOWDROPDOWN, FALSE, 0);
        settle();
    }
}

struct ButtonLook {
    Colour border, fill;
    bool operator==(const ButtonLook&) const = default;
};

void PrintTo(const ButtonLook& look, std::ostream* os) {
    *os << "border ";
    PrintTo(look.border, os);
    *os << ", fill ";
    PrintTo(look.fill, os);
}

TEST_F(ShownWindow, OnlyTheCurrentToolsButtonLooksActive) {
    const ButtonLook active{{232, 91, 46}, {67, 45, 34}};
    const ButtonLook plain{{76, 88, 82}, {31, 37, 35}};
    // The left edge's middle is the border; just inside the top left corner
    // is the fill, clear of the caption.
    auto look_of = [&](int id) {
        RECT r{};
        GetWindowRect(control(id), &r);
        MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&r), 2);
        return ButtonLook{shown_at(window_, r.left, (r.top + r.bottom) / 2), shown_at(window_, r.left + 3, r.top + 4)};
    };
    struct Step {
        int tool;
        int button;
        WORD key;
    };
    const Step steps[] = {{3, app::IDC_TOOL_LINE, 'L'}, {0, app::IDC_TOOL_SELECT, 'V'}};
    for (bool click : {true, false}) {
        for (const Step& step : steps) {
            SCOPED_TRACE(std::string(click ? "clicked " : "key ") + std::to_string(step.tool));
            const bool switched = send_until(
                [&] {
                    if (click) {
                        move_cursor(centre_on_screen(control(step.button)));
                        send_click();
                    } else {
                        SetFocus(window_);
                        send_key(step.key);
                    }
                },
                [&] { return app::editor_state().tool == step.tool; });
            ASSERT_TRUE(switched);
            settle();
            EXPECT_EQ(look_of(app::IDC_TOOL_LINE), step.tool == 3 ? active : plain) << "L Linea";
            EXPECT_EQ(look_of(app::IDC_TOOL_SELECT), step.tool == 0 ? active : plain) << "V Select";
        }
    }

    // The grid button is active while the grid shows.
    EXPECT_EQ(look_of(app::IDC_GRID), active);
    SendMessageA(window_, WM_COMMAND, MAKEWPARAM(app::IDC_GRID, BN_CLICKED), 0);
    settle();
    EXPECT_EQ(look_of(app::IDC_GRID), plain);
}

}  // namespace
