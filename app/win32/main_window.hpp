#pragma once

// The program's entry and its main window: start-up, the three window
// classes, the routing of every message of the main window, and the orderly
// end.

#include <windows.h>

namespace app {

inline constexpr const char* kMainWindowClass = "PlavorinCppWindow";
inline constexpr const char* kGraphWindowClass = "PlavorinGraphWindow";
inline constexpr const char* kTreeWindowClass = "PlavorinTreeWindow";
inline constexpr const char* kMainWindowTitle = "KELDAMIRON";
inline constexpr const char* kGraphWindowTitle = "Ahorro por iteracion";
inline constexpr const char* kTreeWindowTitle = "Arbol Evolutivo de Mutaciones";

// How long the end of the program waits for worker threads still running.
inline constexpr int kWorkerWaitMilliseconds = 3000;

// Registers the three window classes (the main one with icon resource 1).
bool register_window_classes(HINSTANCE instance);

LRESULT CALLBACK main_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// The whole program: start-up, message loop and end; the process exit code.
int run_application(HINSTANCE instance, int show_command);

}  // namespace app
