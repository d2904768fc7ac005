#pragma once

// What the window tests share: COM, the common controls and the program's
// window classes set up once per suite, a message pump, the main window at
// the program's size, and small readers of what the windows show.

#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "app/win32/app_windows.hpp"
#include "app/win32/file_dialogs.hpp"
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

// Watches, from a thread of its own, for a message box of the thread that
// makes the watcher (that thread is inside the box's modal loop by then),
// keeps its caption and text and presses OK. finish() stops watching and
// waits for the watching thread.
class MessageBoxWatcher {
public:
    MessageBoxWatcher() : owner_(GetCurrentThreadId()) {
        thread_ = std::thread([this] {
            const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            while (!stop_ && std::chrono::steady_clock::now() < give_up) {
                HWND box = nullptr;
                EnumThreadWindows(owner_, &find_box, reinterpret_cast<LPARAM>(&box));
                if (box != nullptr) {
                    // Wide, as UTF-8: the boxes show paths and typed values.
                    wchar_t text[512] = {};
                    GetWindowTextW(box, text, 512);
                    caption_ = app::utf16_to_utf8(text);
                    text[0] = L'\0';
                    GetDlgItemTextW(box, 0xFFFF, text, 512);
                    text_ = app::utf16_to_utf8(text);
                    seen_ = true;
                    PostMessageA(box, WM_COMMAND, IDOK, 0);
                    return;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        });
    }
    ~MessageBoxWatcher() { finish(); }
    MessageBoxWatcher(const MessageBoxWatcher&) = delete;
    MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

    void finish() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }
    // Valid after finish().
    bool seen() const { return seen_; }
    const std::string& caption() const { return caption_; }
    const std::string& text() const { return text_; }

private:
    static BOOL CALLBACK find_box(HWND window, LPARAM found) {
        char name[16] = {};
        GetClassNameA(window, name, sizeof(name));
        if (std::string(name) != "#32770" || !IsWindowVisible(window)) return TRUE;
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }

    DWORD owner_;
    std::string caption_;
    std::string text_;
    std::atomic<bool> seen_{false};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

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
