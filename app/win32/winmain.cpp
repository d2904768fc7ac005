// Entry of the desktop program. It is built as a console program, so that a
// console shows what goes to the standard error stream; main hands over to
// WinMain with the start-up information's show command.

#include <windows.h>

#include "app/win32/main_window.hpp"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show_command) {
    return app::run_application(instance, show_command);
}

int main() {
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    GetStartupInfoA(&startup);
    const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 ? startup.wShowWindow
                                                                  : SW_SHOWDEFAULT;
    return WinMain(GetModuleHandleA(nullptr), nullptr, GetCommandLineA(), show);
}
