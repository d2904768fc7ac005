#include "app/win32/editor_modal.hpp"

#include "app/win32/app_windows.hpp"

namespace app {

void run_editor_modal_loop(HWND owner, HWND dialog, const bool& done) {
    if (owner != nullptr) EnableWindow(owner, FALSE);
    ShowWindow(dialog, SW_SHOW);
    UpdateWindow(dialog);
    bool quit = false;
    WPARAM quit_code = 0;
    MSG msg{};
    while (!done && IsWindow(dialog)) {
        const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got <= 0) {
            quit = got == 0;
            quit_code = msg.wParam;
            break;
        }
        if (msg.message == WM_KEYDOWN && (msg.hwnd == dialog || GetParent(msg.hwnd) == dialog)) {
            if (msg.wParam == VK_ESCAPE) {
                SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
                continue;
            }
            if (msg.wParam == VK_RETURN) {
                SendMessageA(dialog, WM_COMMAND, IDOK, 0);
                continue;
            }
        }
        if (!IsDialogMessageA(dialog, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    if (IsWindow(dialog)) DestroyWindow(dialog);
    if (owner != nullptr) {
        EnableWindow(owner, TRUE);
        SetForegroundWindow(owner);
        SetFocus(owner);
    }
    if (quit) PostQuitMessage(static_cast<int>(quit_code));
}

POINT centred_over(HWND owner, int width, int height) {
    RECT r{};
    if (owner == nullptr || !GetWindowRect(owner, &r)) r = RECT{0, 0, 0, 0};
    return POINT{r.left + (r.right - r.left - width) / 2, r.top + (r.bottom - r.top - height) / 2};
}

HFONT editor_dialog_font() {
    HFONT font = app_windows().ui_font;
    return font != nullptr ? font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

}  // namespace app
