#pragma once

// The modal loop shared by the value window and the text window: the main
// window is disabled while it runs, Enter and Escape in the window or one of
// its controls become OK and Cancel, and everything else of the thread is
// still dispatched (worker messages, the side windows).

#include <windows.h>

#include <string>

namespace app {

// Shows `dialog` and runs until `done` is set or the window is gone. When
// the queue ends (WM_QUIT) the dialog is destroyed here, since it points at
// state owned by the caller, and the quit request is posted again for the
// main loop.
void run_editor_modal_loop(HWND owner, HWND dialog, const bool& done);

// Left and top that centre a w x h window over the owner's rectangle.
POINT centred_over(HWND owner, int width, int height);

// The interface font, or the stock GUI font when there is none.
HFONT editor_dialog_font();

// Registers a dialog class (arrow cursor, window background) once per
// class; true when the class exists.
bool register_editor_dialog_class(const char* class_name, WNDPROC proc);

// A visible child control; `font` is applied unless null.
HWND editor_dialog_child(HWND parent, HINSTANCE inst, DWORD ex_style, const char* cls, const char* text,
                         DWORD style, int x, int y, int w, int h, int id, HFONT font);

// The text of an edit, at most capacity - 1 characters; "" for no edit.
std::string editor_edit_text(HWND edit, int capacity);

// Creates the width x height dialog of `class_name` centred over `owner`
// with `state` as its creation parameter and runs the modal loop on it;
// false when the window could not be created.
bool run_editor_dialog(HWND owner, const char* class_name, const char* title, int width, int height,
                       void* state, const bool& done);

// The state an editor dialog keeps in its user data.
template <class State>
State* editor_dialog_state(HWND window) {
    return reinterpret_cast<State*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

// The end of an editor dialog, the same for each: OK reads the fields back
// with `read_back` and closes, Cancel and the close box close, and the
// final destroy marks the state done and forgets it. True when `message`
// was one of these, with its answer in `result`. State needs `ok` and
// `done`.
template <class State>
bool end_editor_dialog_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                               void (*read_back)(State&), LRESULT& result) {
    if (message == WM_NCDESTROY) {
        State* s = editor_dialog_state<State>(window);
        if (s != nullptr) s->done = true;
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        result = DefWindowProcA(window, message, wparam, lparam);
        return true;
    }
    const bool command = message == WM_COMMAND && (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL);
    if (!command && message != WM_CLOSE) return false;
    const bool ok = command && LOWORD(wparam) == IDOK;
    State* s = editor_dialog_state<State>(window);
    if (s != nullptr) {
        if (ok) read_back(*s);
        s->ok = ok;
        s->done = true;
    }
    DestroyWindow(window);
    result = 0;
    return true;
}

}  // namespace app
