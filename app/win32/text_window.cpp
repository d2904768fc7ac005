#include "app/win32/text_window.hpp"

#include "app/win32/editor_modal.hpp"

namespace app {

namespace {

void read_back(TextStyleDialogState& s) {
    s.fields.text = editor_edit_text(s.text_edit, 511);
    s.fields.font = editor_edit_text(s.font_edit, 127);
    s.fields.size = editor_edit_text(s.size_edit, 63);
}

bool register_class() {
    static bool registered = false;
    if (!registered) registered = register_editor_dialog_class(kTextWindowClass, text_style_dialog_proc);
    return registered;
}

}  // namespace

LRESULT CALLBACK text_style_dialog_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    LRESULT result = 0;
    if (end_editor_dialog_message<TextStyleDialogState>(window, message, wparam, lparam, read_back, result))
        return result;
    if (message != WM_CREATE) return DefWindowProcA(window, message, wparam, lparam);

    const auto* cs = reinterpret_cast<const CREATESTRUCTA*>(lparam);
    auto* s = static_cast<TextStyleDialogState*>(cs->lpCreateParams);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(s));
    SetWindowTextA(window, kTextWindowTitle);
    if (s == nullptr) return 0;
    HINSTANCE inst = cs->hInstance;
    HFONT f = s->dialog_font;
    constexpr DWORD field = WS_TABSTOP | ES_AUTOHSCROLL;
    editor_dialog_child(window, inst, 0, "STATIC", "Texto:", 0, 14, 16, 90, 20, 0, f);
    s->text_edit = editor_dialog_child(window, inst, WS_EX_CLIENTEDGE, "EDIT", s->fields.text.c_str(), field,
                                       106, 12, 220, 24, kTextEditId, f);
    editor_dialog_child(window, inst, 0, "STATIC", "Fuente:", 0, 14, 48, 90, 20, 0, f);
    s->font_edit = editor_dialog_child(window, inst, WS_EX_CLIENTEDGE, "EDIT", s->fields.font.c_str(), field,
                                       106, 44, 220, 24, kFontEditId, f);
    editor_dialog_child(window, inst, 0, "STATIC", "Tamano:", 0, 14, 80, 90, 20, 0, f);
    s->size_edit = editor_dialog_child(window, inst, WS_EX_CLIENTEDGE, "EDIT", s->fields.size.c_str(), field,
                                       106, 76, 220, 24, kSizeEditId, f);
    editor_dialog_child(window, inst, 0, "BUTTON", "Aceptar", WS_TABSTOP | BS_DEFPUSHBUTTON, 152, 114, 82, 28,
                        IDOK, f);
    editor_dialog_child(window, inst, 0, "BUTTON", "Cancelar", WS_TABSTOP, 244, 114, 82, 28, IDCANCEL, f);
    if (s->text_edit != nullptr) SetFocus(s->text_edit);
    return 0;
}

WindowAnswer ask_text_style(HWND owner, TextWindowFields& fields) {
    if (!register_class()) return WindowAnswer::not_created;
    TextStyleDialogState state;
    state.fields = fields;
    state.dialog_font = editor_dialog_font();
    if (!run_editor_dialog(owner, kTextWindowClass, kTextWindowTitle, 360, 190, &state, state.done))
        return WindowAnswer::not_created;
    if (!state.ok) return WindowAnswer::cancelled;
    fields = state.fields;
    return WindowAnswer::confirmed;
}

}  // namespace app
