#include "app/win32/job_list_commands.hpp"

#include "app/core/control_ids.hpp"
#include "app/core/gui_state.hpp"
#include "app/core/job_list.hpp"
#include "app/core/parts_loading.hpp"
#include "app/core/quantities_csv.hpp"
#include "app/win32/app_windows.hpp"
#include "app/win32/controls.hpp"
#include "app/win32/file_dialogs.hpp"
#include "app/win32/preview_load.hpp"
#include "app/win32/save_result.hpp"
#include "dxf/file_collection.hpp"
#include "dxf/paths.hpp"

#include <fstream>
#include <string>

namespace app {

namespace {

namespace fs = std::filesystem;

JobListAdder job_list_adder() { return JobListAdder(gui_state().selected_files, selected_file_key); }

// Replaces the default output path by one beside `folder` (UTF-8).
void move_output_path_beside(const std::string& folder) {
    HWND output = control_handle(IDC_OUTPUT_PATH);
    if (output == nullptr) return;
    if (const std::optional<std::string> beside = output_path_beside(control_text_utf8(output), folder))
        set_control_text_utf8(output, *beside);
}

void on_add_dxf_folder(HWND window) { add_folder_to_job_list(window, pick_dxf_folder(window)); }

void on_add_dxf_files(HWND window) { add_files_to_job_list(window, pick_dxf_files(window)); }

void on_import_quantities_csv(HWND window) {
    if (const std::optional<std::string> csv = pick_quantities_csv(window)) import_quantities_file(*csv);
}

void on_remove_selected_files(HWND window) {
    const std::vector<int> rows = selected_rows();
    if (rows.empty()) return;
    remove_selected_entries(gui_state().selected_files, rows);
    refresh_file_list();
    start_preview_load(window);
}

void on_apply_quantity(HWND window) {
    const std::vector<int> rows = selected_rows();
    if (rows.empty()) return;
    // A text without a usable number changes nothing.
    const std::optional<std::int32_t> quantity =
        quantity_from_text(control_text_utf8(control_handle(IDC_QUANTITY)));
    if (!quantity) return;
    set_quantity_of_rows(gui_state().selected_files, rows, *quantity);
    refresh_file_list();
    HWND list = control_handle(IDC_PARTS_LIST);
    const int count = static_cast<int>(gui_state().selected_files.size());
    for (const int row : rows) {
        if (row < 0 || row >= count) continue;
        LVITEMA item{};
        item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        item.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    }
    start_preview_load(window);
}

void on_parts_list_item_changed(HWND, const NMLISTVIEW* change) {
    if (change == nullptr) return;
    if ((change->uChanged & LVIF_STATE) == 0 || (change->uNewState & LVIS_SELECTED) == 0) return;
    const std::vector<SelectedFile>& files = gui_state().selected_files;
    if (change->iItem < 0 || static_cast<std::size_t>(change->iItem) >= files.size()) return;
    SetWindowTextA(control_handle(IDC_QUANTITY),
                   std::to_string(files[static_cast<std::size_t>(change->iItem)].quantity).c_str());
}

std::string choose_save_path_hook(HWND window, const std::string& suggested) {
    return choose_dxf_save_path(window, plv::path_from_utf8(suggested));
}

}  // namespace

void refresh_file_list() {
    HWND list = control_handle(IDC_PARTS_LIST);
    if (list == nullptr) return;
    // One repaint for the whole rebuild, not one per row.
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    const std::vector<SelectedFile>& files = gui_state().selected_files;
    for (std::size_t i = 0; i < files.size(); ++i) {
        // Wide text, so file names outside the ANSI code page show as named.
        std::wstring text = utf8_to_utf16(job_row_text(files[i]));
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(i);
        item.pszText = text.data();
        SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
}

std::vector<int> selected_rows() {
    std::vector<int> rows;
    HWND list = control_handle(IDC_PARTS_LIST);
    if (list == nullptr) return rows;
    int row = -1;
    for (;;) {
        row = static_cast<int>(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(row),
                                            MAKELPARAM(LVNI_SELECTED, 0)));
        if (row < 0) break;
        rows.push_back(row);
    }
    return rows;
}

void add_files_to_job_list(HWND main_window, const std::vector<std::string>& paths) {
    // A cancelled picker changes nothing: reloading the preview would drop
    // the shown result and the saved solutions.
    if (paths.empty()) return;
    JobListAdder adder = job_list_adder();
    for (const std::string& path : paths) adder.add(path, 1);
    move_output_path_beside(parent_folder_of(paths.front()));
    refresh_file_list();
    start_preview_load(main_window);
}

void add_folder_to_job_list(HWND main_window, const std::optional<std::string>& folder) {
    if (!folder) return;  // cancelled: nothing changes
    try {
        const std::vector<fs::path> files = plv::collect_dxf_files({plv::path_from_utf8(*folder)});
        JobListAdder adder = job_list_adder();
        for (const fs::path& file : files) adder.add(plv::path_to_utf8(file), 1);
        move_output_path_beside(*folder);
    } catch (...) {
        // Whatever was added stays, and the rows must show it, or row
        // indices would no longer match the entries.
        refresh_file_list();
        throw;
    }
    refresh_file_list();
    start_preview_load(main_window);
}

void import_quantities_file(const std::string& csv_path) {
    const fs::path csv = plv::path_from_utf8(csv_path);
    std::ifstream in(csv);
    if (!in) return;
    JobListAdder adder = job_list_adder();
    for (const QuantityImport& line : read_quantities_csv(in, csv.parent_path()))
        adder.add(line.path, line.quantity);
    refresh_file_list();
    append_log("CSV importado.\r\n");
}

void install_jobs_handlers(FrameHooks& hooks) {
    hooks.parts_list_item_changed = on_parts_list_item_changed;
    hooks.add_dxf_folder = on_add_dxf_folder;
    hooks.add_dxf_files = on_add_dxf_files;
    hooks.import_quantities_csv = on_import_quantities_csv;
    hooks.remove_selected_files = on_remove_selected_files;
    hooks.apply_quantity = on_apply_quantity;
    hooks.on_preview_ready = on_preview_ready;
    hooks.save_result_dxf = save_result_dxf;
    hooks.choose_dxf_save_path = choose_save_path_hook;
}

}  // namespace app
