#include "app/win32/run_panel.hpp"

#include "app/core/gui_state.hpp"
#include "app/win32/app_windows.hpp"
#include "app/win32/file_dialogs.hpp"

#include <algorithm>

namespace app {

std::string get_control_text(HWND control) {
    // Wide, so that a path outside the ANSI code page (the output path moved
    // beside a picked file) comes back as the UTF-8 the program holds.
    return control_text_utf8(control);
}

std::string get_combo_text(HWND combo) {
    if (combo == nullptr) return {};
    const LRESULT index = SendMessageA(combo, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR) return {};
    const LRESULT length = SendMessageA(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == CB_ERR || length <= 0) return {};
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    const LRESULT got =
        SendMessageA(combo, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(got == CB_ERR ? 0 : static_cast<std::size_t>(got));
    return text;
}

std::string WindowControlsPanel::text(int control_id) { return get_control_text(control_handle(control_id)); }

std::string WindowControlsPanel::combo_text(int control_id) {
    return get_combo_text(control_handle(control_id));
}

bool WindowControlsPanel::checked(int control_id) {
    HWND control = control_handle(control_id);
    return control != nullptr && SendMessageA(control, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

bool MainWindowPoster::post(unsigned message) {
    if (PostMessageA(window_, message, 0, 0)) return true;
    if (message != WM_RUN_FINISHED) return false;
    while (IsWindow(window_)) {
        Sleep(20);
        if (PostMessageA(window_, message, 0, 0)) return true;
    }
    return false;
}

}  // namespace app
