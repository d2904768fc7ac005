#pragma once

// The job list's commands on the main window: adding a folder or files,
// removing rows, applying a quantity, importing a CSV of quantities, and
// the parts list view that shows the list.

#include <windows.h>
#include <commctrl.h>

#include <optional>
#include <string>
#include <vector>

#include "app/win32/frame_hooks.hpp"

namespace app {

// Rebuilds every row of IDC_PARTS_LIST from the job list.
void refresh_file_list();

// The indices of the selected rows of IDC_PARTS_LIST, ascending.
std::vector<int> selected_rows();

// The file command after its picker: adds each path with quantity 1, moves
// the output path beside the first file while it holds the default text,
// rebuilds the rows and starts a preview load. No path (a cancelled picker)
// changes nothing.
void add_files_to_job_list(HWND main_window, const std::vector<std::string>& paths);

// The folder command after its picker (nothing at all when cancelled): every DXF
// file under the folder with quantity 1, the output path beside it, the
// rows and a preview load. Throws what the folder walk throws.
void add_folder_to_job_list(HWND main_window, const std::optional<std::string>& folder);

// The import after its picker: the quantities of a CSV file (UTF-8 path)
// added to the job list, the rows rebuilt and "CSV importado." logged; no
// preview load. A file that cannot be opened does nothing.
void import_quantities_file(const std::string& csv_path);

// Fills the job list's, the preview's and the save command's entries.
void install_jobs_handlers(FrameHooks& hooks);

}  // namespace app
