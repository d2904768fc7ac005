#include "app/win32/value_window.hpp"

#include "app/win32/editor_modal.hpp"

namespace app {

namespace {

ValueInputDialogState* state_of(HWND window) {
    return reinterpret_cast<ValueInputDialogState*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

void close_dialog(HWND window, bool ok) {
    ValueInputDialogState* s = state_of(window);
    if (s != nullptr) {
        if (ok) {
            char buffer[511] = {};
            GetWindowTextA(s->edit, buffer, static_cast<int>(sizeof(buffer)));
            s->result = buffer;
        }
        s->ok = ok;
        s->done = true;
    }
    DestroyWindow(window);
}

bool register_class() {
    static bool registered = false;
    if (registered) return true;
    WNDCLASSA wc{};
    wc.lpfnWndProc = value_dialog_proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // arrow
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kValueWindowClass;
    registered = RegisterClassA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    return registered;
}

}  // namespace

LRESULT CALLBACK value_dialog_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_CREATE: {
            const auto* cs = reinterpret_cast<const CREATESTRUCTA*>(lparam);
            auto* s = static_cast<ValueInputDialogState*>(cs->lpCreateParams);
            SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(s));
            if (s == nullptr) return 0;
            SetWindowTextA(window, s->title.c_str());
            HINSTANCE inst = cs->hInstance;
            CreateWindowExA(0, "STATIC", "Valor de cota (mm):", WS_CHILD | WS_VISIBLE, 14, 14, 260, 20,
                            window, nullptr, inst, nullptr);
            s->edit = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", s->initial_text.c_str(),
                                      WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, 14, 38, 260, 24,
                                      window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kValueEditId)),
                                      inst, nullptr);
            HWND ok = CreateWindowExA(0, "BUTTON", "Aceptar",
                                      WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 104, 76, 82, 28,
                                      window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDOK)), inst,
                                      nullptr);
            HWND cancel = CreateWindowExA(0, "BUTTON", "Cancelar", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 192,
                                          76, 82, 28, window,
                                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDCANCEL)), inst,
                                          nullptr);
            const WPARAM font = reinterpret_cast<WPARAM>(s->dialog_font);
            for (HWND child : {s->edit, ok, cancel})
                if (child != nullptr) SendMessageA(child, WM_SETFONT, font, TRUE);
            if (s->edit != nullptr) {
                SendMessageA(s->edit, EM_SETSEL, 0, -1);
                SetFocus(s->edit);
            }
            return 0;
        }
        case WM_COMMAND:
            if (LOWORD(wparam) == IDOK) {
                close_dialog(window, true);
                return 0;
            }
            if (LOWORD(wparam) == IDCANCEL) {
                close_dialog(window, false);
                return 0;
            }
            return DefWindowProcA(window, message, wparam, lparam);
        case WM_CLOSE: close_dialog(window, false); return 0;
        case WM_NCDESTROY: {
            ValueInputDialogState* s = state_of(window);
            if (s != nullptr) s->done = true;
            SetWindowLongPtrA(window, GWLP_USERDATA, 0);
            return DefWindowProcA(window, message, wparam, lparam);
        }
        default: return DefWindowProcA(window, message, wparam, lparam);
    }
}

WindowAnswer ask_value(HWND owner, const std::string& initial, std::string& answer) {
    if (!register_class()) return WindowAnswer::not_created;
    ValueInputDialogState state;
    state.initial_text = initial;
    state.title = kValueWindowTitle;
    state.dialog_font = editor_dialog_font();
    const POINT at = centred_over(owner, 310, 150);
    HWND dialog = CreateWindowExA(WS_EX_DLGMODALFRAME | WS_EX_TOPMOST, kValueWindowClass, state.title.c_str(),
                                  WS_POPUP | WS_CAPTION | WS_SYSMENU, at.x, at.y, 310, 150, owner, nullptr,
                                  GetModuleHandleA(nullptr), &state);
    if (dialog == nullptr) return WindowAnswer::not_created;
    run_editor_modal_loop(owner, dialog, state.done);
    if (!state.ok) return WindowAnswer::cancelled;
    answer = state.result;
    return WindowAnswer::confirmed;
}

}  // namespace app
