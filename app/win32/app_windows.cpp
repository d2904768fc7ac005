#include "app/win32/app_windows.hpp"

namespace app {

AppWindows& app_windows() {
    static AppWindows* const windows = new AppWindows();
    return *windows;
}

void forget_side_window(HWND window) {
    AppWindows& w = app_windows();
    if (w.graph_window == window) w.graph_window = nullptr;
    if (w.tree_window == window) w.tree_window = nullptr;
}

HWND control_handle(int id) {
    if (id < kFirstControlId || id > kLastControlId) return nullptr;
    return app_windows().controls[static_cast<std::size_t>(id - kFirstControlId)];
}

}  // namespace app
