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

bool register_editor_dialog_class(const char* class_name, WNDPROC proc) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // arrow
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = class_name;
    return RegisterClassA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HWND editor_dialog_child(HWND parent, HINSTANCE inst, DWORD ex_style, const char* cls, const char* text,
                         DWORD style, int x, int y, int w, int h, int id, HFONT font) {
    HWND c = CreateWindowExA(ex_style, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), inst, nullptr);
    if (c != nullptr && font != nullptr) SendMessageA(c, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    return c;
}

std::string editor_edit_text(HWND edit, int capacity) {
    std::string buffer(static_cast<std::size_t>(capacity), '\0');
    const int got = edit != nullptr ? GetWindowTextA(edit, buffer.data(), capacity) : 0;
    buffer.resize(static_cast<std::size_t>(got > 0 ? got : 0));
    return buffer;
}

bool run_editor_dialog(HWND owner, const char* class_name, const char* title, int width, int height,
                       void* state, const bool& done) {
    const POINT at = centred_over(owner, width, height);
    HWND dialog = CreateWindowExA(WS_EX_DLGMODALFRAME | WS_EX_TOPMOST, class_name, title,
                                  WS_POPUP | WS_CAPTION | WS_SYSMENU, at.x, at.y, width, height, owner, nullptr,
                                  GetModuleHandleA(nullptr), state);
    if (dialog == nullptr) return false;
    run_editor_modal_loop(owner, dialog, done);
    return true;
}

}  // namespace app
