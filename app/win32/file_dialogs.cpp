#include "app/win32/file_dialogs.hpp"

#include "app/core/result_export.hpp"
#include "dxf/paths.hpp"

#include <objbase.h>
#include <shobjidl.h>

#include <algorithm>

namespace app {

namespace {

namespace fs = std::filesystem;

// Releases a COM interface when it leaves scope.
template <typename T>
class ComRef {
public:
    ComRef() = default;
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    ~ComRef() {
        if (p_ != nullptr) p_->Release();
    }
    T** out() { return &p_; }
    T* operator->() const { return p_; }
    T* get() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }

private:
    T* p_ = nullptr;
};

// The file-system path of a shell item as UTF-8; empty when it has none.
std::optional<std::string> item_path(IShellItem* item) {
    if (item == nullptr) return std::nullopt;
    PWSTR name = nullptr;
    if (FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, &name)) || name == nullptr) return std::nullopt;
    std::string path = utf16_to_utf8(name);
    CoTaskMemFree(name);
    return path;
}

bool make_open_dialog(ComRef<IFileOpenDialog>& dialog, FILEOPENDIALOGOPTIONS extra,
                      const wchar_t* title) {
    if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IFileOpenDialog, reinterpret_cast<void**>(dialog.out()))))
        return false;
    FILEOPENDIALOGOPTIONS options = 0;
    dialog->GetOptions(&options);
    dialog->SetOptions(options | extra);
    dialog->SetTitle(title);
    return true;
}

// Shows a picker; with filters, two of them, the first selected.
bool show_open_dialog(ComRef<IFileOpenDialog>& dialog, HWND owner, FILEOPENDIALOGOPTIONS extra,
                      const wchar_t* title, const COMDLG_FILTERSPEC* filters) {
    if (!make_open_dialog(dialog, extra, title)) return false;
    if (filters != nullptr) {
        dialog->SetFileTypes(2, filters);
        dialog->SetFileTypeIndex(1);
    }
    return SUCCEEDED(dialog->Show(owner));
}

std::optional<std::string> single_result(IFileOpenDialog* dialog) {
    ComRef<IShellItem> item;
    if (FAILED(dialog->GetResult(item.out()))) return std::nullopt;
    return item_path(item.get());
}

bool folder_exists(const fs::path& folder) {
    // Throws on a file-system failure, which the save command reports.
    return fs::exists(folder);
}

}  // namespace

std::string utf16_to_utf8(const wchar_t* text) {
    if (text == nullptr) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1) return {};
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
    out.resize(static_cast<std::size_t>(n - 1));
    return out;
}

std::string utf16_to_utf8(const std::wstring& text) { return utf16_to_utf8(text.c_str()); }

std::wstring utf8_to_utf16(const std::string& text) {
    if (text.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (n <= 0) return {};
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

std::string control_text_utf8(HWND control) {
    if (control == nullptr) return {};
    const int n = GetWindowTextLengthW(control);
    std::wstring text(static_cast<std::size_t>(std::max(n, 0)) + 1, L'\0');
    const int got = GetWindowTextW(control, text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<std::size_t>(std::max(got, 0)));
    return utf16_to_utf8(text);
}

void set_control_text_utf8(HWND control, const std::string& text) {
    if (control != nullptr) SetWindowTextW(control, utf8_to_utf16(text).c_str());
}

int message_box_utf8(HWND owner, const std::string& text, const std::string& caption, UINT style) {
    return MessageBoxW(owner, utf8_to_utf16(text).c_str(), utf8_to_utf16(caption).c_str(), style);
}

std::optional<std::string> pick_dxf_folder(HWND owner) {
    ComRef<IFileOpenDialog> dialog;
    if (!show_open_dialog(dialog, owner, FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM,
                          L"Elegir carpeta con DXF", nullptr))
        return std::nullopt;
    return single_result(dialog.get());
}

std::vector<std::string> pick_dxf_files(HWND owner) {
    static const COMDLG_FILTERSPEC filters[] = {{L"DXF files", L"*.dxf"}, {L"All files", L"*.*"}};
    ComRef<IFileOpenDialog> dialog;
    std::vector<std::string> paths;
    if (!show_open_dialog(dialog, owner, FOS_ALLOWMULTISELECT | FOS_FILEMUSTEXIST | FOS_FORCEFILESYSTEM,
                          L"Elegir archivos DXF", filters))
        return paths;
    ComRef<IShellItemArray> items;
    if (FAILED(dialog->GetResults(items.out()))) return paths;
    DWORD count = 0;
    items->GetCount(&count);
    for (DWORD i = 0; i < count; ++i) {
        ComRef<IShellItem> item;
        if (FAILED(items->GetItemAt(i, item.out()))) continue;
        if (std::optional<std::string> path = item_path(item.get())) paths.push_back(std::move(*path));
    }
    return paths;
}

std::optional<std::string> pick_quantities_csv(HWND owner) {
    static const COMDLG_FILTERSPEC filters[] = {{L"CSV files", L"*.csv"}, {L"All files", L"*.*"}};
    ComRef<IFileOpenDialog> dialog;
    if (!show_open_dialog(dialog, owner, FOS_FILEMUSTEXIST | FOS_FORCEFILESYSTEM,
                          L"Elegir archivo CSV de cantidades", filters))
        return std::nullopt;
    return single_result(dialog.get());
}

std::string choose_dxf_save_path(HWND owner, const fs::path& suggested) {
    ComRef<IFileSaveDialog> dialog;
    if (FAILED(CoCreateInstance(CLSID_FileSaveDialog, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IFileSaveDialog, reinterpret_cast<void**>(dialog.out()))))
        return {};
    static const COMDLG_FILTERSPEC filters[] = {{L"DXF files", L"*.dxf"}, {L"All files", L"*.*"}};
    dialog->SetFileTypes(2, filters);
    dialog->SetFileTypeIndex(1);
    dialog->SetDefaultExtension(L"dxf");
    const SaveDialogStart start = save_dialog_start(suggested);
    dialog->SetFileName(utf8_to_utf16(start.file_name).c_str());
    if (!start.folder.empty() && folder_exists(start.folder)) {
        ComRef<IShellItem> folder;
        // The shell wants a full path; a relative folder is taken from the
        // working folder.
        const fs::path absolute = fs::absolute(start.folder);
        if (SUCCEEDED(SHCreateItemFromParsingName(absolute.c_str(), nullptr, IID_IShellItem,
                                                  reinterpret_cast<void**>(folder.out()))))
            dialog->SetFolder(folder.get());
    }
    dialog->SetTitle(L"Guardar DXF de nesting");
    if (FAILED(dialog->Show(owner))) return {};
    ComRef<IShellItem> item;
    if (FAILED(dialog->GetResult(item.out()))) return {};
    return item_path(item.get()).value_or(std::string());
}

}  // namespace app
