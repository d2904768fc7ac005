#pragma once

// The job list's rules that need no window: adding with duplicate merging,
// removing and re-quantifying selected rows, the row texts and the output
// path that follows the first files added.

#include "app/core/gui_state.hpp"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace app {

// Initial text of IDC_OUTPUT_PATH; the folder and file commands replace it
// while it still holds exactly this.
inline constexpr const char* kDefaultOutputPath = "outputs\\cpp_gui_nesting_result.dxf";
// The file name suggested beside the inputs.
inline constexpr const char* kResultFileName = "nesting_result_cpp.dxf";

// The identity of a path (the parts loader's key).
using FileKeyFunction = std::function<std::string(const std::string& path)>;

// Adds paths to a job list, merging each with the first entry whose path
// has the same key. The keys of the entries already there are computed once
// per batch, not once per added path: a folder of thousands of files would
// otherwise canonicalise the whole list for every file.
class JobListAdder {
public:
    JobListAdder(std::vector<SelectedFile>& files, FileKeyFunction key);

    // Raises the quantity of the matching entry, or appends the path
    // unchanged with the quantity. Quantities saturate at the int32 maximum.
    void add(const std::string& path, std::int32_t quantity);

private:
    std::vector<SelectedFile>& files_;
    FileKeyFunction key_;
    std::unordered_map<std::string, std::size_t> index_of_key_;
};

// One add with the same merging rule.
void add_selected_file(std::vector<SelectedFile>& files, const std::string& path,
                       std::int32_t quantity, const FileKeyFunction& key);

// Erases the entries at the given row indices (any order; indices outside
// the list are ignored), keeping the order of the others.
void remove_selected_entries(std::vector<SelectedFile>& files, std::vector<int> rows);

// A base-10 integer at the start of the text (leading white space skipped,
// anything after the digits ignored); empty when there is none or it lies
// outside the int32 range.
std::optional<std::int32_t> leading_int32(const std::string& text);

// The quantity typed for the apply command: base-10 integer at the start of
// the text, at least 1. Empty when the text holds no number or one outside
// the int32 range.
std::optional<std::int32_t> quantity_from_text(const std::string& text);

// Sets the quantity of every listed row that lies inside the list.
void set_quantity_of_rows(std::vector<SelectedFile>& files, const std::vector<int>& rows,
                          std::int32_t quantity);

// The last component of a Windows or POSIX path written as text.
std::string file_name_part(const std::string& path);

// Row text of the parts list view: "x3  bracket.dxf".
std::string job_row_text(const SelectedFile& entry);

// The output path text after files were added from `folder` (UTF-8): the
// folder joined with the result file name while the control still holds
// the default text, else nothing to change.
std::optional<std::string> output_path_beside(const std::string& current_text,
                                              const std::string& folder);

// The folder of a file path written as UTF-8.
std::string parent_folder_of(const std::string& path);

}  // namespace app
