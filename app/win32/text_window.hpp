#pragma once

// The modal text window ("Texto"): text, font face and size of a text
// entity.

#include <windows.h>

#include <string>

#include "app/core/editor_host.hpp"

namespace app {

inline constexpr const char* kTextWindowClass = "KeldamironTextStyleDialog";
inline constexpr const char* kTextWindowTitle = "Texto";
inline constexpr int kTextEditId = 101;
inline constexpr int kFontEditId = 102;
inline constexpr int kSizeEditId = 103;

struct TextStyleDialogState {
    HWND text_edit = nullptr;
    HWND font_edit = nullptr;
    HWND size_edit = nullptr;
    bool ok = false;
    TextWindowFields fields;  // shown, then read back
    bool done = false;
    HFONT dialog_font = nullptr;
};

LRESULT CALLBACK text_style_dialog_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Shows the window over `owner` with `fields`; on confirmation they hold
// the three edits' texts (at most 510, 126 and 62 characters).
WindowAnswer ask_text_style(HWND owner, TextWindowFields& fields);

}  // namespace app
