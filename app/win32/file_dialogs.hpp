#pragma once

// The shell's file dialogs over COM (IFileOpenDialog, IFileSaveDialog) and
// the text conversions around them. Paths come back as UTF-8.

#include <windows.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace app {

// UTF-16 to UTF-8 and back with the UTF-8 code page; "" for a null text.
std::string utf16_to_utf8(const wchar_t* text);
std::string utf16_to_utf8(const std::wstring& text);
std::wstring utf8_to_utf16(const std::string& text);

// Window text of a control as UTF-8, and setting it from UTF-8 (the wide
// calls, so names outside the ANSI code page survive).
std::string control_text_utf8(HWND control);
void set_control_text_utf8(HWND control, const std::string& text);

// A message box whose text and caption are UTF-8 (paths and typed values
// may lie outside the ANSI code page).
int message_box_utf8(HWND owner, const std::string& text, const std::string& caption, UINT style);

// The folder picker ("Elegir carpeta con DXF"); empty when cancelled.
std::optional<std::string> pick_dxf_folder(HWND owner);
// The DXF file picker ("Elegir archivos DXF"), several files, in the
// picker's order; empty when cancelled. Items without a file-system path
// are skipped.
std::vector<std::string> pick_dxf_files(HWND owner);
// The CSV picker ("Elegir archivo CSV de cantidades"); empty when cancelled.
std::optional<std::string> pick_quantities_csv(HWND owner);

// The save dialog ("Guardar DXF de nesting"), opened on the suggested
// path's folder and name; the chosen path, or "" when the dialog cannot be
// made, is cancelled, or its result cannot be read. A failure of the file
// system while checking the suggested folder is thrown.
std::string choose_dxf_save_path(HWND owner, const std::filesystem::path& suggested);

}  // namespace app
