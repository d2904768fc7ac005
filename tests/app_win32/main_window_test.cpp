// The real main window, created in this process at fixed client sizes and
// checked control by control against the layout rules; then the splitter,
// the wheel, the owner-drawn buttons, the routing and the shutdown, driven
// by the messages a user's actions produce.

#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cctype>
#include <iterator>
#include <stdexcept>
#include <string>
#include <thread>

#include "app/core/control_ids.hpp"
#include "app/core/control_table.hpp"
#include "app/core/gui_state.hpp"
#include "app/core/layout.hpp"
#include "app/win32/app_windows.hpp"
#include "app/win32/controls.hpp"
#include "app/win32/file_dialogs.hpp"
#include "app/win32/frame_hooks.hpp"
#include "app/win32/main_window.hpp"

#include "tests/app_core/expected_help_markers.hpp"
#include "tests/app_win32/dib_section.hpp"
#include "tests/app_win32/window_test_support.hpp"

namespace {

using app::Rect;
using window_test::text_of;

WNDPROC g_original_proc = nullptr;

// The test desktop is smaller than the sizes under test; lift the maximum
// tracking size that the system would clamp the window to.
LRESULT CALLBACK unbounded_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    const LRESULT result = CallWindowProcA(g_original_proc, window, message, wparam, lparam);
    if (message == WM_GETMINMAXINFO) {
        auto* info = reinterpret_cast<MINMAXINFO*>(lparam);
        info->ptMaxTrackSize.x = 5000;
        info->ptMaxTrackSize.y = 5000;
    }
    return result;
}

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string class_of(HWND window) {
    char buffer[128] = {};
    GetClassNameA(window, buffer, sizeof(buffer));
    return lower(buffer);
}

Rect client_rect_of(HWND parent, HWND child) {
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return Rect{r.left, r.top, r.right, r.bottom};
}

bool has_visible_style(HWND window) {
    return (GetWindowLongPtrA(window, GWL_STYLE) & WS_VISIBLE) != 0;
}

class MainWindow : public window_test::MainWindowTest {
protected:
    void TearDown() override {
        close_main_window();
    }

    // A fresh main window (hidden) whose client area is width x height from
    // its creation on.
    HWND open(int width, int height) {
        app::GuiState& state = app::gui_state();
        state.panel = app::PanelState{};
        state.stop_requested = false;
        state.running = false;
        RECT outer{0, 0, width, height};
        AdjustWindowRectEx(&outer, WS_OVERLAPPEDWINDOW, FALSE, 0);
        HHOOK hook = SetWindowsHookExA(WH_CBT, &subclass_on_create, nullptr, GetCurrentThreadId());
        window_ = CreateWindowExA(0, app::kMainWindowClass, app::kMainWindowTitle,
                                  WS_OVERLAPPEDWINDOW, 0, 0, outer.right - outer.left,
                                  outer.bottom - outer.top, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
        if (hook != nullptr) UnhookWindowsHookEx(hook);
        EXPECT_NE(window_, nullptr);
        if (window_ == nullptr) return nullptr;
        RECT client{};
        GetClientRect(window_, &client);
        EXPECT_EQ(client.right, width);
        EXPECT_EQ(client.bottom, height);
        return window_;
    }

    // Puts unbounded_proc in front of the main window's procedure before the
    // window's size is checked against the screen.
    static LRESULT CALLBACK subclass_on_create(int code, WPARAM wparam, LPARAM lparam) {
        if (code == HCBT_CREATEWND) {
            HWND created = reinterpret_cast<HWND>(wparam);
            char name[64] = {};
            GetClassNameA(created, name, sizeof(name));
            if (std::string(name) == app::kMainWindowClass)
                g_original_proc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
                    created, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&unbounded_proc)));
        }
        return CallNextHookEx(nullptr, code, wparam, lparam);
    }

    void resize(int width, int height) {
        RECT outer{0, 0, width, height};
        AdjustWindowRectEx(&outer, WS_OVERLAPPEDWINDOW, FALSE, 0);
        SetWindowPos(window_, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                     SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
    }

    Rect rect_of(int id) const { return client_rect_of(window_, control(id)); }

    void wheel(int client_x, int client_y, int delta) {
        POINT p{client_x, client_y};
        ClientToScreen(window_, &p);
        SendMessageA(window_, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(static_cast<short>(delta))),
                     MAKELPARAM(static_cast<WORD>(static_cast<short>(p.x)),
                                static_cast<WORD>(static_cast<short>(p.y))));
    }

    // Checks every control against the layout for the current list height
    // and scroll.
    void expect_layout(int width, int height) {
        const app::PanelState& panel = app::gui_state().panel;
        const app::PanelLayout layout =
            app::compute_layout(width, height, panel.parts_list_height, panel.panel_scroll);
        for (const app::ControlPlacement& c : layout.controls) {
            SCOPED_TRACE("control " + std::to_string(c.id));
            HWND h = control(c.id);
            ASSERT_NE(h, nullptr);
            if (c.moves) {
                const Rect r = client_rect_of(window_, h);
                const app::ControlSpec* desc = app::find_control_spec(c.id);
                if (desc->kind == app::ControlKind::combo) {
                    // A drop-down list is as high as its field; 110 is the
                    // height of the dropped list.
                    EXPECT_EQ(r.left, c.rect.left);
                    EXPECT_EQ(r.top, c.rect.top);
                    EXPECT_EQ(r.width(), c.rect.width());
                } else if (desc->kind == app::ControlKind::solutions_list) {
                    // A list box keeps to whole rows within the height given.
                    const int row = static_cast<int>(SendMessageA(h, LB_GETITEMHEIGHT, 0, 0));
                    EXPECT_EQ(r.left, c.rect.left);
                    EXPECT_EQ(r.top, c.rect.top);
                    EXPECT_EQ(r.width(), c.rect.width());
                    EXPECT_LE(r.height(), c.rect.height());
                    EXPECT_GT(r.height(), c.rect.height() - row);
                } else {
                    EXPECT_EQ(r, c.rect);
                }
            }
            EXPECT_EQ(has_visible_style(h), c.visibility != app::Visibility::hide);
        }
    }
};

TEST_F(MainWindow, ControlsStandWhereTheLayoutSaysAtThreeWidths) {
    struct Case {
        int width, list_width, log_x, log_width;
    };
    const Case cases[] = {{1219, 320, 874, 331}, {1400, 411, 965, 421}, {1700, 430, 984, 702}};
    for (const Case& c : cases) {
        SCOPED_TRACE("width " + std::to_string(c.width));
        ASSERT_NE(open(c.width, 1000), nullptr);
        expect_layout(c.width, 1000);
        const Rect list = rect_of(app::IDC_SOLUTIONS_LIST);
        EXPECT_EQ(list.left, 544);
        EXPECT_EQ(list.top, 880);
        EXPECT_EQ(list.right, 544 + c.list_width);
        EXPECT_EQ(rect_of(app::IDC_LOG), (Rect{c.log_x, 880, c.log_x + c.log_width, 976}));
        EXPECT_EQ(rect_of(app::IDC_PARTS_LIST), (Rect{18, 138, 502, 288}));
        EXPECT_EQ(rect_of(app::IDC_RUN), (Rect{228, 430, 344, 460}));
        EXPECT_EQ(rect_of(app::IDC_TOOL_SELECT), (Rect{544, 24, 622, 52}));
        EXPECT_EQ(rect_of(app::IDC_CLEAR_DRAWING), (Rect{1366, 24, 1436, 52}));
        // At 1000 high with the list at 150 everything of the panel fits
        // but the solver row's combo; the scroll range is 38.
        EXPECT_EQ(app::gui_state().panel.panel_scroll_max, 38);
        for (int id : {app::IDC_IMPORT_CSV, app::IDC_OUTPUT_PATH, app::IDC_CHOOSE_OUTPUT,
                       app::IDC_FEEDBACK})
            EXPECT_FALSE(has_visible_style(control(id))) << id;
        DestroyWindow(window_);
        pump();
    }
}

TEST_F(MainWindow, ControlsHaveTheirClassesCaptionsAndStates) {
    ASSERT_NE(open(1400, 1000), nullptr);
    const app::AppWindows& w = app::app_windows();
    for (const app::ControlSpec& desc : app::control_specs()) {
        SCOPED_TRACE("control " + std::to_string(desc.id));
        HWND h = control(desc.id);
        ASSERT_NE(h, nullptr);
        EXPECT_EQ(app::control_handle(desc.id), h);
        const LONG_PTR style = GetWindowLongPtrA(h, GWL_STYLE);
        const LONG_PTR ex_style = GetWindowLongPtrA(h, GWL_EXSTYLE);
        switch (desc.kind) {
            case app::ControlKind::parts_list:
                EXPECT_EQ(class_of(h), "syslistview32");
                EXPECT_EQ(style & LVS_TYPEMASK, LVS_REPORT);
                EXPECT_NE(style & LVS_NOCOLUMNHEADER, 0);
                EXPECT_EQ(SendMessageA(h, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) &
                              (LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER),
                          LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
                EXPECT_EQ(SendMessageA(h, LVM_GETCOLUMNWIDTH, 0, 0), 2000);
                break;
            case app::ControlKind::push:
                EXPECT_EQ(class_of(h), "button");
                EXPECT_EQ(style & BS_TYPEMASK, BS_OWNERDRAW);
                EXPECT_EQ(text_of(h), desc.text);
                break;
            case app::ControlKind::radio:
            case app::ControlKind::check:
                EXPECT_EQ(class_of(h), "button");
                EXPECT_EQ(style & BS_TYPEMASK, desc.kind == app::ControlKind::radio
                                                   ? BS_AUTORADIOBUTTON
                                                   : BS_AUTOCHECKBOX);
                EXPECT_EQ(text_of(h), desc.text);
                EXPECT_EQ(SendMessageA(h, BM_GETCHECK, 0, 0), desc.checked ? BST_CHECKED : BST_UNCHECKED);
                break;
            case app::ControlKind::edit:
                EXPECT_EQ(class_of(h), "edit");
                EXPECT_NE(style & ES_AUTOHSCROLL, 0);
                EXPECT_NE(ex_style & WS_EX_CLIENTEDGE, 0);
                EXPECT_EQ(text_of(h), desc.text);
                break;
            case app::ControlKind::combo: {
                EXPECT_EQ(class_of(h), "combobox");
                EXPECT_EQ(style & 3, CBS_DROPDOWNLIST);
                ASSERT_EQ(SendMessageA(h, CB_GETCOUNT, 0, 0), static_cast<LRESULT>(desc.items.size()));
                for (std::size_t i = 0; i < desc.items.size(); ++i) {
                    char item[64] = {};
                    SendMessageA(h, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item));
                    EXPECT_EQ(std::string(item), desc.items[i]);
                }
                EXPECT_EQ(SendMessageA(h, CB_GETCURSEL, 0, 0), 0);
                break;
            }
            case app::ControlKind::log:
                EXPECT_EQ(class_of(h), "edit");
                EXPECT_NE(style & ES_MULTILINE, 0);
                EXPECT_NE(style & ES_READONLY, 0);
                break;
            case app::ControlKind::solutions_list:
                EXPECT_EQ(class_of(h), "listbox");
                EXPECT_NE(style & LBS_NOTIFY, 0);
                break;
        }
        EXPECT_EQ(IsWindowEnabled(h) != FALSE, !desc.disabled);
        const HFONT expected_font = desc.id == app::IDC_SOLUTIONS_LIST ? w.small_font : w.ui_font;
        EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(h, WM_GETFONT, 0, 0)), expected_font);
    }
    // A few texts as the user reads them.
    EXPECT_EQ(text_of(control(app::IDC_RUN)), "Ejecutar nesting");
    EXPECT_EQ(text_of(control(app::IDC_ADD_FOLDER)), "Agregar carpeta");
    EXPECT_EQ(text_of(control(app::IDC_GRID)), "Grilla ON");
    EXPECT_EQ(text_of(control(app::IDC_OUTPUT_PATH)), "outputs\\cpp_gui_nesting_result.dxf");
    EXPECT_EQ(text_of(control(app::IDC_THREADS)),
              std::to_string(app::default_thread_count(std::thread::hardware_concurrency())));
    EXPECT_FALSE(IsWindowEnabled(control(app::IDC_PAUSE)));
    EXPECT_FALSE(IsWindowEnabled(control(app::IDC_OUTPUT_UNITS)));
    EXPECT_EQ(text_of(window_), "KELDAMIRON");
    EXPECT_NE(w.app_icon, nullptr);
    EXPECT_NE(SendMessageA(window_, WM_GETICON, ICON_BIG, 0), 0);
}

TEST_F(MainWindow, HelpMarkersHaveTooltipsAtTheirSquares) {
    ASSERT_NE(open(1400, 1000), nullptr);
    HWND tips = app::app_windows().tooltip_window;
    ASSERT_NE(tips, nullptr);
    EXPECT_EQ(SendMessageA(tips, TTM_GETTOOLCOUNT, 0, 0), 26);
    EXPECT_EQ(SendMessageA(tips, TTM_GETMAXTIPWIDTH, 0, 0), 360);
    EXPECT_EQ(SendMessageA(tips, TTM_GETDELAYTIME, TTDT_AUTOPOP, 0), 12000);
    EXPECT_EQ(SendMessageA(tips, TTM_GETDELAYTIME, TTDT_INITIAL, 0), 250);
    auto tool_rect = [&](int id) {
        TOOLINFOA tool{};
        tool.cbSize = sizeof(tool);
        tool.hwnd = window_;
        tool.uId = static_cast<UINT_PTR>(id);
        EXPECT_TRUE(SendMessageA(tips, TTM_GETTOOLINFOA, 0, reinterpret_cast<LPARAM>(&tool)));
        return Rect{tool.rect.left, tool.rect.top, tool.rect.right, tool.rect.bottom};
    };
    EXPECT_EQ(tool_rect(app::IDC_QUANTITY), (Rect{223, 348, 238, 363}));
    EXPECT_EQ(tool_rect(app::IDC_PERF_LOG), (Rect{395, 920, 410, 935}));
    // The squares follow the panel when it scrolls.
    wheel(100, 500, -120);
    EXPECT_EQ(app::gui_state().panel.panel_scroll, 38);
    EXPECT_EQ(tool_rect(app::IDC_QUANTITY), (Rect{223, 310, 238, 325}));
    EXPECT_EQ(app::gui_state().help_markers[0].hot_rect, (Rect{223, 310, 238, 325}));
}

// Every marker's tooltip as the tooltip control holds it: its text and its
// square, before and after the panel scrolls.
TEST_F(MainWindow, EveryHelpMarkerTooltipHasItsTextAndSquare) {
    ASSERT_NE(open(1400, 1000), nullptr);  // list 150 high, scroll range 38
    HWND tips = app::app_windows().tooltip_window;
    ASSERT_NE(tips, nullptr);
    const auto& expected = help_marker_test::kExpectedMarkers;
    ASSERT_EQ(SendMessageA(tips, TTM_GETTOOLCOUNT, 0, 0), static_cast<LRESULT>(std::size(expected)));
    for (const int scroll : {0, 38}) {
        if (scroll != 0) wheel(100, 500, -120);
        ASSERT_EQ(app::gui_state().panel.panel_scroll, scroll);
        const int dy = 150 - scroll;
        for (const help_marker_test::ExpectedMarker& e : expected) {
            SCOPED_TRACE(testing::Message() << "control " << e.control_id << ", scroll " << scroll);
            // Wide: the narrow call hands back no more than 80 bytes.
            wchar_t text[1024] = {};
            TOOLINFOW tool{};
            tool.cbSize = sizeof(tool);
            tool.hwnd = window_;
            tool.uId = static_cast<UINT_PTR>(e.control_id);
            tool.lpszText = text;
            ASSERT_TRUE(SendMessageW(tips, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&tool)));
            EXPECT_EQ((Rect{tool.rect.left, tool.rect.top, tool.rect.right, tool.rect.bottom}),
                      (Rect{e.square.left, e.square.top + dy, e.square.right, e.square.bottom + dy}));
            text[0] = L'\0';
            tool.lpszText = text;
            SendMessageW(tips, TTM_GETTEXTW, std::size(text), reinterpret_cast<LPARAM>(&tool));
            EXPECT_EQ(app::utf16_to_utf8(text), e.tooltip());
        }
    }
}

// The frame cannot be made smaller than 760 x 520, in either direction.
TEST_F(MainWindow, WindowKeepsItsMinimumTrackingSize) {
    ASSERT_NE(open(1400, 1000), nullptr);
    MINMAXINFO info{};
    SendMessageA(window_, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(info.ptMinTrackSize.x, 760);
    EXPECT_EQ(info.ptMinTrackSize.y, 520);
    struct Case {
        int width, height;        // asked for, outer
        int got_width, got_height;
    };
    const Case cases[] = {
        {400, 300, 760, 520}, {759, 900, 760, 900}, {1000, 519, 1000, 520},
        {760, 520, 760, 520}, {761, 521, 761, 521},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
        SetWindowPos(window_, nullptr, 0, 0, c.width, c.height, SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
        RECT r{};
        GetWindowRect(window_, &r);
        EXPECT_EQ(r.right - r.left, c.got_width);
        EXPECT_EQ(r.bottom - r.top, c.got_height);
    }
}

TEST_F(MainWindow, WheelScrollsThePanelAndHidesWhatLeavesTheBand) {
    ASSERT_NE(open(1219, 600), nullptr);  // list 70 high, range 358
    const app::PanelState& panel = app::gui_state().panel;
    EXPECT_EQ(rect_of(app::IDC_PARTS_LIST), (Rect{18, 138, 502, 208}));
    EXPECT_FALSE(has_visible_style(control(app::IDC_SOLVER)));  // below the client area
    wheel(100, 300, -120);
    EXPECT_EQ(panel.panel_scroll, 54);
    wheel(100, 300, -240);  // one step per message, whatever the delta
    EXPECT_EQ(panel.panel_scroll, 108);
    wheel(100, 300, -1);
    EXPECT_EQ(panel.panel_scroll, 162);
    expect_layout(1219, 600);
    EXPECT_FALSE(has_visible_style(control(app::IDC_PARTS_LIST)));
    EXPECT_FALSE(has_visible_style(control(app::IDC_ADD_FOLDER)));  // bottom at 92
    EXPECT_TRUE(has_visible_style(control(app::IDC_QUANTITY)));     // 126 .. 150
    EXPECT_EQ(rect_of(app::IDC_QUANTITY), (Rect{232, 126, 304, 150}));
    // Over the canvas the wheel leaves the panel alone.
    wheel(700, 300, -120);
    EXPECT_EQ(panel.panel_scroll, 162);
    wheel(100, 300, 120);
    EXPECT_EQ(panel.panel_scroll, 108);
    EXPECT_TRUE(has_visible_style(control(app::IDC_ADD_FOLDER)));  // 120 .. 146
    for (int i = 0; i < 20; ++i) wheel(100, 300, -120);
    EXPECT_EQ(panel.panel_scroll, 358);
    expect_layout(1219, 600);
    EXPECT_TRUE(has_visible_style(control(app::IDC_SOLVER)));
}

TEST_F(MainWindow, SplitterDragResizesTheJobList) {
    ASSERT_NE(open(1400, 1000), nullptr);
    auto at = [](int x, int y) { return MAKELPARAM(x, y); };
    // A press just above the band is not a grab.
    SendMessageA(window_, WM_LBUTTONDOWN, MK_LBUTTON, at(100, 150 + 141));
    EXPECT_FALSE(app::gui_state().panel.splitter_dragging);
    SendMessageA(window_, WM_LBUTTONUP, 0, at(100, 150 + 141));

    SendMessageA(window_, WM_LBUTTONDOWN, MK_LBUTTON, at(100, 150 + 145));
    EXPECT_TRUE(app::gui_state().panel.splitter_dragging);
    EXPECT_EQ(GetCapture(), window_);
    SendMessageA(window_, WM_MOUSEMOVE, MK_LBUTTON, at(100, 150 + 145 + 30));
    EXPECT_EQ(rect_of(app::IDC_PARTS_LIST), (Rect{18, 138, 502, 138 + 180}));
    EXPECT_EQ(rect_of(app::IDC_ADD_FOLDER).top, 180 + 158);
    SendMessageA(window_, WM_MOUSEMOVE, MK_LBUTTON, at(100, 150 + 145 + 300));
    EXPECT_EQ(rect_of(app::IDC_PARTS_LIST).height(), 194);
    SendMessageA(window_, WM_LBUTTONUP, 0, at(100, 150 + 145 + 300));
    EXPECT_FALSE(app::gui_state().panel.splitter_dragging);
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(app::gui_state().panel.parts_list_height, 194);
    expect_layout(1400, 1000);

    // Upward beyond the limit stops at 70; losing the capture ends the drag.
    SendMessageA(window_, WM_LBUTTONDOWN, MK_LBUTTON, at(200, 194 + 142));
    ASSERT_TRUE(app::gui_state().panel.splitter_dragging);
    SendMessageA(window_, WM_MOUSEMOVE, MK_LBUTTON, at(200, 5));
    EXPECT_EQ(rect_of(app::IDC_PARTS_LIST).height(), 70);
    ReleaseCapture();
    EXPECT_FALSE(app::gui_state().panel.splitter_dragging);
    SendMessageA(window_, WM_MOUSEMOVE, 0, at(200, 400));
    EXPECT_EQ(rect_of(app::IDC_PARTS_LIST).height(), 70);

    // A smaller window clamps the list again.
    app::gui_state().panel.parts_list_height = 194;
    resize(1400, 800);
    EXPECT_EQ(app::gui_state().panel.parts_list_height, 70);
    expect_layout(1400, 800);
}

TEST_F(MainWindow, LogKeepsLongTexts) {
    ASSERT_NE(open(1400, 1000), nullptr);
    HWND log = control(app::IDC_LOG);
    const std::string line(999, 'x');
    std::size_t total = 0;
    for (int i = 0; i < 60; ++i) {
        app::append_log(line + "\r\n");
        total += line.size() + 2;
    }
    app::append_log("end without newline");
    app::append_log(" and more");
    total += 28;
    EXPECT_EQ(static_cast<std::size_t>(GetWindowTextLengthA(log)), total);
    const int n = GetWindowTextLengthA(log);
    std::string full(static_cast<std::size_t>(n) + 1, '\0');
    GetWindowTextA(log, full.data(), n + 1);
    full.resize(static_cast<std::size_t>(n));
    EXPECT_EQ(full.substr(0, 3), "xxx");
    EXPECT_EQ(full.substr(full.size() - 30), "\r\nend without newline and more");
}

// Counters for the handlers plugged in below.
std::atomic<int> g_fit_calls{0};
std::atomic<int> g_remove_calls{0};
std::atomic<int> g_pick_calls{0};

TEST_F(MainWindow, CommandsWithoutHandlersDoNothing) {
    ASSERT_NE(open(1400, 1000), nullptr);
    for (int id = app::kFirstControlId; id <= app::kLastControlId; ++id)
        EXPECT_EQ(SendMessageA(window_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                               reinterpret_cast<LPARAM>(control(id))),
                  0);
    for (UINT message : {app::WM_RUN_PROGRESS, app::WM_RUN_FINISHED, app::WM_PREVIEW_READY})
        EXPECT_EQ(SendMessageA(window_, message, 0, 0), 0);
    EXPECT_FALSE(app::gui_state().running);
    EXPECT_EQ(text_of(control(app::IDC_RUN)), "Ejecutar nesting");
    EXPECT_EQ(text_of(control(app::IDC_OUTPUT_PATH)), "outputs\\cpp_gui_nesting_result.dxf");
}

TEST_F(MainWindow, CommandsReachTheirHandlersByIdAlone) {
    ASSERT_NE(open(1400, 1000), nullptr);
    app::FrameHooks& hooks = app::frame_hooks();
    hooks.fit_view = [](HWND) { ++g_fit_calls; };
    hooks.remove_selected_files = [](HWND) { ++g_remove_calls; };
    hooks.show_saved_solution = [](HWND) { ++g_pick_calls; };
    g_fit_calls = g_remove_calls = g_pick_calls = 0;

    SendMessageA(window_, WM_COMMAND, MAKEWPARAM(app::IDC_FIT_VIEW, BN_DBLCLK), 0);
    SendMessageA(window_, WM_COMMAND, MAKEWPARAM(app::IDC_FIT_VIEW, BN_CLICKED), 0);
    EXPECT_EQ(g_fit_calls, 2);
    // The saved-solutions list acts on a selection change only.
    SendMessageA(window_, WM_COMMAND, MAKEWPARAM(app::IDC_SOLUTIONS_LIST, LBN_DBLCLK), 0);
    SendMessageA(window_, WM_COMMAND, MAKEWPARAM(app::IDC_SOLUTIONS_LIST, LBN_SELCHANGE), 0);
    EXPECT_EQ(g_pick_calls, 1);
    // Delete in the job list becomes the remove command.
    NMLVKEYDOWN key{};
    key.hdr.hwndFrom = control(app::IDC_PARTS_LIST);
    key.hdr.idFrom = app::IDC_PARTS_LIST;
    key.hdr.code = LVN_KEYDOWN;
    key.wVKey = VK_DELETE;
    EXPECT_EQ(SendMessageA(window_, WM_NOTIFY, app::IDC_PARTS_LIST, reinterpret_cast<LPARAM>(&key)), 0);
    key.wVKey = VK_BACK;
    SendMessageA(window_, WM_NOTIFY, app::IDC_PARTS_LIST, reinterpret_cast<LPARAM>(&key));
    key.wVKey = 'A';
    SendMessageA(window_, WM_NOTIFY, app::IDC_PARTS_LIST, reinterpret_cast<LPARAM>(&key));
    EXPECT_EQ(g_remove_calls, 2);
}

std::string g_suggested_output;

TEST_F(MainWindow, ChooseOutputPassesPathsOutsideTheAnsiCodePage) {
    ASSERT_NE(open(1400, 1000), nullptr);
    HWND output = control(app::IDC_OUTPUT_PATH);
    SetWindowTextW(output, L"C:\\B\u00fcro\\\u03a9\u4e00.dxf");
    g_suggested_output.clear();
    app::frame_hooks().choose_dxf_save_path = [](HWND, const std::string& suggested) {
        g_suggested_output = suggested;
        return std::string("D:\\\xce\xa3\xe4\xba\x8c.dxf");  // sigma and a CJK character, UTF-8
    };
    SendMessageA(window_, WM_COMMAND, MAKEWPARAM(app::IDC_CHOOSE_OUTPUT, BN_CLICKED), 0);
    EXPECT_EQ(g_suggested_output, "C:\\B\xc3\xbcro\\\xce\xa9\xe4\xb8\x80.dxf");
    wchar_t shown[64] = {};
    GetWindowTextW(output, shown, 64);
    EXPECT_EQ(std::wstring(shown), L"D:\\\u03a3\u4e8c.dxf");
}

TEST_F(MainWindow, FailedRunStartShowsTheErrorBox) {
    ASSERT_NE(open(1400, 1000), nullptr);
    app::frame_hooks().run_nesting = [](HWND) { throw std::runtime_error("stod"); };
    window_test::MessageBoxWatcher box;
    SendMessageA(window_, WM_COMMAND, MAKEWPARAM(app::IDC_RUN, BN_CLICKED), 0);
    box.finish();
    EXPECT_TRUE(box.seen());
    EXPECT_EQ(box.caption(), "Configuracion invalida");
    EXPECT_EQ(box.text(), "stod");
    // The window goes on.
    EXPECT_TRUE(IsWindow(window_));
}

TEST_F(MainWindow, OwnerDrawnButtonsFollowTheirRole) {
    ASSERT_NE(open(1400, 1000), nullptr);
    const gdi_test::DibSection dib(200, 30);
    ASSERT_TRUE(dib.ok());
    HDC dc = dib.dc();
    auto pixel = [&](int x, int y) {
        const app::Rgb c = dib.at(x, y);
        return RGB(c.r, c.g, c.b);
    };
    auto draw = [&](int id, UINT state) {
        DRAWITEMSTRUCT item{};
        item.CtlType = ODT_BUTTON;
        item.CtlID = static_cast<UINT>(id);
        item.itemState = state;
        item.hwndItem = control(id);
        item.hDC = dc;
        item.rcItem = RECT{0, 0, 200, 30};
        EXPECT_EQ(SendMessageA(window_, WM_DRAWITEM, id, reinterpret_cast<LPARAM>(&item)), TRUE);
        GdiFlush();
    };
    draw(app::IDC_RUN, 0);
    EXPECT_EQ(pixel(8, 15), RGB(232, 91, 46));
    EXPECT_EQ(pixel(0, 15), RGB(255, 196, 151));
    EXPECT_EQ(pixel(199, 15), RGB(255, 196, 151));
    EXPECT_EQ(pixel(198, 15), RGB(232, 91, 46));
    draw(app::IDC_RUN, ODS_SELECTED);
    EXPECT_EQ(pixel(8, 15), RGB(197, 73, 35));
    draw(app::IDC_PAUSE, ODS_DISABLED);
    EXPECT_EQ(pixel(8, 15), RGB(58, 60, 58));
    EXPECT_EQ(pixel(0, 15), RGB(84, 88, 84));
    draw(app::IDC_TOOL_SELECT, 0);  // the editor starts with the select tool
    EXPECT_EQ(pixel(8, 15), RGB(67, 45, 34));
    EXPECT_EQ(pixel(0, 15), RGB(232, 91, 46));
    EXPECT_EQ(pixel(198, 15), RGB(232, 91, 46));  // two pixels wide
    draw(app::IDC_CLEAR_DRAWING, 0);
    EXPECT_EQ(pixel(8, 15), RGB(31, 37, 35));
    EXPECT_EQ(pixel(0, 15), RGB(162, 82, 72));
}

TEST_F(MainWindow, DestructionRaisesTheStopRequestAndEndsTheLoop) {
    ASSERT_NE(open(1219, 1000), nullptr);
    app::gui_state().running = true;
    EXPECT_NE(app::app_windows().ui_font, nullptr);
    DestroyWindow(window_);
    window_ = nullptr;
    EXPECT_TRUE(app::gui_state().stop_requested);
    MSG msg;
    bool quit = false;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        if (msg.message == WM_QUIT) quit = true;
    EXPECT_TRUE(quit);
    const app::AppWindows& w = app::app_windows();
    EXPECT_EQ(w.ui_font, nullptr);
    EXPECT_EQ(w.panel_brush, nullptr);
    EXPECT_EQ(w.app_icon, nullptr);
    EXPECT_EQ(w.gdiplus_token, 0u);
    EXPECT_EQ(w.logo_bitmap, nullptr);
    EXPECT_EQ(w.main_window, nullptr);
    app::gui_state().running = false;
}

}  // namespace
