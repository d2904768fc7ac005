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
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "app/core/gui_state.hpp"
#include "app/win32/app_windows.hpp"
#include "app/win32/file_dialogs.hpp"
#include "app/win32/frame_hooks.hpp"
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

// Forgets the shown result and the preview, as a run or a preview load
// leaves them, and the saved path.
inline void forget_shown_layouts() {
    app::GuiState& state = app::gui_state();
    std::lock_guard<std::mutex> lock(state.state_mutex);
    state.has_result = false;
    state.shown_result = plv::NestingResult{};
    state.preview_layout = plv::NestingResult{};
    state.preview_ready = false;
    state.preview_loading = false;
    state.preview_message.clear();
    state.last_output_path.clear();
}

// Watches, on a thread of its own, for the window that `find` returns (the
// test's thread is inside that window's modal loop by then) and hands it to
// `act`. finish() stops watching and waits for the watching thread.
class WindowWatcher {
public:
    WindowWatcher(std::function<HWND()> find, std::function<void(HWND)> act)
        : thread_([this, find = std::move(find), act = std::move(act)] {
              const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(20);
              while (!stop_ && std::chrono::steady_clock::now() < give_up) {
                  HWND window = find();
                  if (window != nullptr) {
                      act(window);
                      found_ = true;
                      return;
                  }
                  std::this_thread::sleep_for(std::chrono::milliseconds(10));
              }
          }) {}
    ~WindowWatcher() { finish(); }
    WindowWatcher(const WindowWatcher&) = delete;
    WindowWatcher& operator=(const WindowWatcher&) = delete;

    void finish() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }
    // Whether the window came and was handed over; stops watching first.
    bool found() {
        finish();
        return found_;
    }

private:
    std::atomic<bool> found_{false};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// A message box of the thread that makes the watcher: its caption and text
// are kept and OK is pressed.
class MessageBoxWatcher {
public:
    MessageBoxWatcher()
        : watcher_([owner = GetCurrentThreadId()] { return visible_box_of(owner); },
                   [this](HWND box) {
                       // Wide, as UTF-8: the boxes show paths and typed values.
                       wchar_t text[512] = {};
                       GetWindowTextW(box, text, 512);
                       caption_ = app::utf16_to_utf8(text);
                       text[0] = L'\0';
                       GetDlgItemTextW(box, 0xFFFF, text, 512);
                       text_ = app::utf16_to_utf8(text);
                       PostMessageA(box, WM_COMMAND, IDOK, 0);
                   }) {}

    void finish() { watcher_.finish(); }
    // Valid after finish().
    bool seen() { return watcher_.found(); }
    const std::string& caption() const { return caption_; }
    const std::string& text() const { return text_; }

private:
    static HWND visible_box_of(DWORD thread) {
        HWND box = nullptr;
        EnumThreadWindows(
            thread,
            [](HWND window, LPARAM found) -> BOOL {
                char name[16] = {};
                GetClassNameA(window, name, sizeof(name));
                if (std::string(name) != "#32770" || !IsWindowVisible(window)) return TRUE;
                *reinterpret_cast<HWND*>(found) = window;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&box));
        return box;
    }

    std::string caption_;
    std::string text_;
    WindowWatcher watcher_;  // last: its thread writes the two above
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

    // For TearDown: the window destroyed if it is still there, what that
    // queued handled, and the test's handlers dropped.
    void close_main_window() {
        if (window_ != nullptr && IsWindow(window_)) DestroyWindow(window_);
        pump();
        app::frame_hooks() = app::FrameHooks{};
    }

    HWND control(int id) const { return GetDlgItem(window_, id); }

    HWND window_ = nullptr;
};

}  // namespace window_test
