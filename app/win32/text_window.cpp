#include "app/win32/text_window.hpp"

#include "app/win32/editor_modal.hpp"

namespace app {

namespace {

TextStyleDialogState* state_of(HWND window) {
    return reinterpret_cast<TextStyleDialogState*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

std::string read_edit(HWND edit, int capacity) {
    std::string buffer(static_cast<std::size_t>(capacity), '\0');
    const int got = edit != nullptr ? GetWindowTextA(edit, buffer.data(), capacity) : 0;
    buffer.resize(static_cast<std::size_t>(got > 0 ? got : 0));
    return buffer;
}

void close_dialog(HWND window, bool ok) {
    TextStyleDialogState* s = state_of(window);
    if (s != nullptr) {
        if (ok) {
            s->fields.text = read_edit(s->text_edit, 511);
            s->fields.font = read_edit(s->font_edit, 127);
            s->fields.size = read_edit(s->size_edit, 63);
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
    wc.lpfnWndProc = text_style_dialog_proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // arrow
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kTextWindowClass;
    registered = RegisterClassA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    return registered;
}

HWND child(HWND parent, HINSTANCE inst, DWORD ex_style, const char* cls, const char* text, DWORD style,
           int x, int y, int w, int h, int id, HFONT font) {
    HWND c = CreateWindowExA(ex_style, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), inst, nullptr);
    if (c != nullptr && font != nullptr) SendMessageA(c, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    return c;
}

}  // namespace

LRESULT CALLBACK text_style_dialog_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_CREATE: {
            const auto* cs = reinterpret_cast<const CREATESTRUCTA*>(lparam);
            auto* s = static_cast<TextStyleDialogState*>(cs->lpCreateParams);
            SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(s));
            SetWindowTextA(window, kTextWindowTitle);
            if (s == nullptr) return 0;
            HINSTANCE inst = cs->hInstance;
            HFONT f = s->dialog_font;
            constexpr DWORD field = WS_TABSTOP | ES_AUTOHSCROLL;
            child(window, inst, 0, "STATIC", "Texto:", 0, 14, 16, 90, 20, 0, f);
            s->text_edit = child(window, inst, WS_EX_CLIENTEDGE, "EDIT", s->fields.text.c_str(), field, 106,
                                 12, 220, 24, kTextEditId, f);
            child(window, inst, 0, "STATIC", "Fuente:", 0, 14, 48, 90, 20, 0, f);
            s->font_edit = child(window, inst, WS_EX_CLIENTEDGE, "EDIT", s->fields.font.c_str(), field, 106,
                                 44, 220, 24, kFontEditId, f);
            child(window, inst, 0, "STATIC", "Tamano:", 0, 14, 80, 90, 20, 0, f);
            s->size_edit = child(window, inst, WS_EX_CLIENTEDGE, "EDIT", s->fields.size.c_str(), field, 106,
                                 76, 220, 24, kSizeEditId, f);
            child(window, inst, 0, "BUTTON", "Aceptar", WS_TABSTOP | BS_DEFPUSHBUTTON, 152, 114, 82, 28, IDOK, f);
            child(window, inst, 0, "BUTTON", "Cancelar", WS_TABSTOP, 244, 114, 82, 28, IDCANCEL, f);
            if (s->text_edit != nullptr) SetFocus(s->text_edit);
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
            TextStyleDialogState* s = state_of(window);
            if (s != nullptr) s->done = true;
            SetWindowLongPtrA(window, GWLP_USERDATA, 0);
            return DefWindowProcA(window, message, wparam, lparam);
        }
        default: return DefWindowProcA(window, message, wparam, lparam);
    }
}

WindowAnswer ask_text_style(HWND owner, TextWindowFields& fields) {
    if (!register_class()) return WindowAnswer::not_created;
    TextStyleDialogState state;
    state.fields = fields;
    state.dialog_font = editor_dialog_font();
    const POINT at = centred_over(owner, 360, 190);
    HWND dialog = CreateWindowExA(WS_EX_DLGMODALFRAME | WS_EX_TOPMOST, kTextWindowClass, kTextWindowTitle,
                                  WS_POPUP | WS_CAPTION | WS_SYSMENU, at.x, at.y, 360, 190, owner, nullptr,
                                  GetModuleHandleA(nullptr), &state);
    if (dialog == nullptr) return WindowAnswer::not_created;
    run_editor_modal_loop(owner, dialog, state.done);
    if (!state.ok) return WindowAnswer::cancelled;
    fields = state.fields;
    return WindowAnswer::confirmed;
}

}  // namespace app
