#pragma once

// The modal value window of a dimension ("Modificar cota").

#include <windows.h>

#include <string>

#include "app/core/editor_host.hpp"

namespace app {

inline constexpr const char* kValueWindowClass = "VesmorDimensionInputDialog";
inline constexpr const char* kValueWindowTitle = "Modificar cota";
inline constexpr int kValueEditId = 101;

struct ValueInputDialogState {
    HWND edit = nullptr;
    std::string initial_text;
    std::string title;
    std::string result;
    bool done = false;
    bool ok = false;
    HFONT dialog_font = nullptr;
};

LRESULT CALLBACK value_dialog_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Shows the window over `owner` with `initial` in its edit; on
// confirmation `answer` receives the edit's text.
WindowAnswer ask_value(HWND owner, const std::string& initial, std::string& answer);

}  // namespace app
