// The window answers during a long run: an unlimited search on a job of
// small parts runs for thousands of iterations with both side windows
// painting, then a real mouse click on "Detener solver" (input through the
// system, not a posted command) stops it. Messages are taken one at a time,
// in the system's own order, as the program's message loop takes them.

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/core/control_ids.hpp"
#include "app/core/editor_model.hpp"
#include "app/core/gui_state.hpp"
#include "app/win32/app_windows.hpp"
#include "app/win32/graph_window.hpp"
#include "app/win32/tree_window.hpp"

#include "tests/app_win32/run_window_support.hpp"

namespace {

using namespace std::chrono_literals;
using run_test::RunWindow;

// Iterations the run makes before the click.
constexpr std::size_t kLong = 2000;

// Where the last mouse move this thread took put the pointer.
POINT g_moved_to{-1, -1};

// Takes messages one at a time until `done` holds or the time is up; false
// when the time ran out. The limit is checked between any two messages.
bool loop_until(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        MSG msg;
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) continue;
            if (msg.message == WM_MOUSEMOVE) g_moved_to = msg.pt;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        } else {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
    }
    return true;
}

// A side window with the program's own window procedure.
HWND side_window(const char* name, WNDPROC proc, DWORD style, int x, int y, int w, int h) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = name;
    RegisterClassA(&wc);
    HWND window = CreateWindowExA(WS_EX_TOOLWINDOW, name, name, style, x, y, w, h, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    if (window != nullptr) ShowWindow(window, SW_SHOWNOACTIVATE);
    return window;
}

// A left click at a screen point, as the mouse would make it: the pointer
// moves there, and once this thread has taken the move the button goes down
// and up there. Under Wine the pointer's old place (where the display still
// has it) now and then comes back as a move just before button events sent
// without a place, and the click lands there; the system's cursor position
// is no sign, as it is at the new place at once.
bool click_at(POINT p) {
    const int w = GetSystemMetrics(SM_CXSCREEN);
    const int h = GetSystemMetrics(SM_CYSCREEN);
    if (p.x < 0 || p.y < 0 || p.x >= w || p.y >= h) return false;
    INPUT move{};
    move.type = INPUT_MOUSE;
    move.mi.dx = static_cast<LONG>((p.x * 65535LL + (w - 1) / 2) / (w - 1));
    move.mi.dy = static_cast<LONG>((p.y * 65535LL + (h - 1) / 2) / (h - 1));
    move.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    if (SendInput(1, &move, sizeof(INPUT)) != 1) return false;
    // A pointer already there may make no move at all: then the wait runs
    // out and the click goes where the pointer is, as it should.
    loop_until([p] { return g_moved_to.x == p.x && g_moved_to.y == p.y; }, 2s);
    // The button events carry the place too, so that they land there even
    // when the pointer's old place comes back in between.
    INPUT press[2] = {move, move};
    press[0].mi.dwFlags |= MOUSEEVENTF_LEFTDOWN;
    press[1].mi.dwFlags |= MOUSEEVENTF_LEFTUP;
    return SendInput(2, press, sizeof(INPUT)) == 2;
}

class RunAnswers : public RunWindow {
protected:
    void TearDown() override {
        for (HWND w : {graph_, tree_})
            if (w != nullptr && IsWindow(w)) DestroyWindow(w);
        RunWindow::TearDown();
    }
    HWND graph_ = nullptr;
    HWND tree_ = nullptr;
};

TEST_F(RunAnswers, RealClickOnStopEndsALongUnlimitedRun) {
    ShowWindow(window_, SW_SHOWNORMAL);
    SetForegroundWindow(window_);
    // The side windows off the settings panel, where the run button is.
    graph_ = side_window("RunAnswersGraph", app::graph_window_proc, WS_OVERLAPPEDWINDOW, 900, 0, 600, 400);
    tree_ = side_window("RunAnswersTree", app::tree_window_proc, WS_OVERLAPPEDWINDOW | WS_VSCROLL | WS_HSCROLL,
                        980, 150, 600, 800);
    ASSERT_NE(graph_, nullptr);
    ASSERT_NE(tree_, nullptr);
    app::app_windows().graph_window = graph_;
    app::app_windows().tree_window = tree_;

    // Five small rectangles drawn in the editor: five parts.
    std::vector<app::EditorEntity> parts;
    const double sizes[][2] = {{20, 10}, {30, 15}, {25, 25}, {40, 10}, {15, 15}};
    double x = 0;
    for (const auto& size : sizes) {
        app::EditorEntity rect;
        rect.kind = app::EntityKind::rectangle;
        rect.p0 = {x, 0};
        rect.p1 = {x + size[0], size[1]};
        parts.push_back(rect);
        x += size[0] + 10;
    }
    app::editor_state().entities = parts;
    set_text(app::IDC_MAX_ITERATIONS, "0");  // until stopped
    // One candidate an iteration: iterations as fast as they come.
    set_text(app::IDC_POPULATION, "1");
    set_text(app::IDC_THREADS, "1");
    command(app::IDC_RUN);
    ASSERT_TRUE(app::gui_state().running.load());
    ASSERT_EQ(text(app::IDC_RUN), "Detener solver");

    // Let the history grow long while the window goes on as usual.
    ASSERT_TRUE(loop_until([] { return history_size() >= kLong; }, 300s)) << history_size();
    ASSERT_TRUE(app::gui_state().running.load());

    RECT button{};
    GetWindowRect(control(app::IDC_RUN), &button);
    ASSERT_TRUE(click_at(POINT{(button.left + button.right) / 2, (button.top + button.bottom) / 2}));

    // The click must be answered, the search stop and the window come back
    // to idle within a few seconds; a window that does not answer fails here.
    const bool ended = loop_until(
        [this] {
            return !app::gui_state().running.load() && enabled(app::IDC_RUN) &&
                   text(app::IDC_RUN) == "Ejecutar nesting" && !enabled(app::IDC_PAUSE);
        },
        5s);
    const std::string done = log();
    ASSERT_TRUE(ended) << "history " << history_size() << ", log:\n" << done.substr(done.size() > 400 ? done.size() - 400 : 0);
    expect_idle_buttons();
    EXPECT_NE(done.find("Solicitud de detencion recibida. El solver se detiene sin guardar.\r\n"), std::string::npos);
    EXPECT_NE(done.find("Detenido por usuario.\r\n"), std::string::npos) << done;
    // The end shows the whole run: its history and its saved solutions.
    const std::size_t n = history_size();
    EXPECT_GE(n, kLong);
    EXPECT_NE(done.find("Iteraciones ejecutadas: " + std::to_string(n) + "\r\n"), std::string::npos) << done;
    const std::vector<std::string> lines = solution_lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0].rfind("#1  it ", 0), 0u) << lines[0];
}

}  // namespace
