#include "app/win32/app_windows.hpp"

namespace app {

AppWindows& app_windows() {
    static AppWindows* const windows = new AppWindows();
    return *windows;
}

HWND control_handle(int id) {
    if (id < kFirstControlId || id > kLastControlId) return nullptr;
    return app_windows().controls[static_cast<std::size_t>(id - kFirstControlId)];
}

}  // namespace app
