#pragma once

// What the window tests share: COM, the common controls and the program's
// window classes set up once per suite, a message pump, the main window at
// the program's size, and small readers of what the windows show.

#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <string>

#include "app/win32/app_windows.hpp"
#include "app/win32/main_window.hpp"

namespace window_test {

// A window's text through the ANSI call, whatever its length.
inline std::string text_of(HWND window) {
    const int n = GetWindowTextLengthA(window);
    std::string text(static_cast<std::size_t>(n > 0 ? n : 0) + 1, '\0');
    const int got = GetWindowTextA(window, text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<std::size_t>(got > 0 ? got : 0));
    return text;
}

// How often `part` occurs in `text`, overlaps included.
inline int count_of(const std::string& text, const std::string& part) {
    int n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

// Dispatches whatever is queued; a quit request is dropped.
inline void pump_messages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message != WM_QUIT) DispatchMessageA(&msg);
    }
}

// A test on the real main window; the window itself is made by the test
// (window_), and each test's TearDown destroys it.
class MainWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES};
        InitCommonControlsEx(&controls);
        ASSERT_TRUE(app::register_window_classes(GetModuleHandleA(nullptr)));
    }

    static void pump() { pump_messages(); }

    // The main window at 1400 x 1000, not shown, into window_.
    HWND create_main_window() {
        window_ = CreateWindowExA(0, app::kMainWindowClass, app::kMainWindowTitle, WS_OVERLAPPEDWINDOW, 0, 0,
                                  1400, 1000, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        return window_;
    }

    HWND control(int id) const { return GetDlgItem(window_, id); }

    HWND window_ = nullptr;
};

}  // namespace window_test
