#include "app/win32/value_window.hpp"

#include "app/win32/editor_modal.hpp"

namespace app {

namespace {

void read_back(ValueInputDialogState& s) { s.result = editor_edit_text(s.edit, 511); }

bool register_class() {
    static bool registered = false;
    if (!registered) registered = register_editor_dialog_class(kValueWindowClass, value_dialog_proc);
    return registered;
}

}  // namespace

LRESULT CALLBACK value_dialog_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    LRESULT result = 0;
    if (end_editor_dialog_message<ValueInputDialogState>(window, message, wparam, lparam, read_back, result))
        return result;
    if (message != WM_CREATE) return DefWindowProcA(window, message, wparam, lparam);

    const auto* cs = reinterpret_cast<const CREATESTRUCTA*>(lparam);
    auto* s = static_cast<ValueInputDialogState*>(cs->lpCreateParams);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(s));
    if (s == nullptr) return 0;
    SetWindowTextA(window, s->title.c_str());
    HINSTANCE inst = cs->hInstance;
    HFONT f = s->dialog_font;
    // The label keeps the system font.
    editor_dialog_child(window, inst, 0, "STATIC", "Valor de cota (mm):", 0, 14, 14, 260, 20, 0, nullptr);
    s->edit = editor_dialog_child(window, inst, WS_EX_CLIENTEDGE, "EDIT", s->initial_text.c_str(),
                                  WS_TABSTOP | ES_AUTOHSCROLL, 14, 38, 260, 24, kValueEditId, f);
    editor_dialog_child(window, inst, 0, "BUTTON", "Aceptar", WS_TABSTOP | BS_DEFPUSHBUTTON, 104, 76, 82, 28,
                        IDOK, f);
    editor_dialog_child(window, inst, 0, "BUTTON", "Cancelar", WS_TABSTOP, 192, 76, 82, 28, IDCANCEL, f);
    if (s->edit != nullptr) {
        SendMessageA(s->edit, EM_SETSEL, 0, -1);
        SetFocus(s->edit);
    }
    return 0;
}

WindowAnswer ask_value(HWND owner, const std::string& initial, std::string& answer) {
    if (!register_class()) return WindowAnswer::not_created;
    ValueInputDialogState state;
    state.initial_text = initial;
    state.title = kValueWindowTitle;
    state.dialog_font = editor_dialog_font();
    if (!run_editor_dialog(owner, kValueWindowClass, state.title.c_str(), 310, 150, &state, state.done))
        return WindowAnswer::not_created;
    if (!state.ok) return WindowAnswer::cancelled;
    answer = state.result;
    return WindowAnswer::confirmed;
}

}  // namespace app
