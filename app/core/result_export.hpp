#pragma once

// Saving the shown layout as DXF, the parts that need no window: which
// layout is saved, which drawing items go with it, and what the save dialog
// is opened with.

#include "app/core/editor_model.hpp"
#include "app/core/gui_state.hpp"
#include "dxf/annotations.hpp"
#include "engine/model.hpp"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace app {

// Fixed export settings of the program.
inline constexpr double kExportSheetGap = 250.0;
inline constexpr int kExportUnitsMillimetres = 4;

struct LayoutToSave {
    plv::NestingResult layout;
    bool from_result = false;  // the run's result rather than a preview
};

// Under state_mutex: the shown run result when it has a placement, else the
// finished preview when it has one, else nothing to save.
std::optional<LayoutToSave> copy_layout_to_save(GuiState& state);

// The drawing's items as DXF annotations, in drawing order. With a run
// result only dimensions and texts go: the drawn shapes were nested as parts
// (or were not closed) and must not be written a second time.
std::vector<plv::Annotation> annotations_for_save(const std::vector<EditorEntity>& entities,
                                                  bool from_result);

// The drawing lives in the canvas's frame, where sheet k starts
// k * (W + sheet_gap_for(W)) mm right of sheet 0, while the DXF puts its
// sheets kExportSheetGap apart. Moves each item with the sheet it was drawn
// over (the sheet nearest the middle of its defining points, the first or
// the last of the layout's sheets beyond them), so that it lands on the same
// spot of the same sheet in the file. A dimension's text point at the origin
// means "default" and stays there.
void move_annotations_to_export_sheets(std::vector<plv::Annotation>& annotations,
                                       const plv::NestingResult& layout);

// The suggested save path: the output path text (UTF-8) when not empty;
// else, read under state_mutex, the last saved path, or the result file name
// beside the first job-list entry; else empty.
std::filesystem::path suggested_save_path(const std::string& output_text, GuiState& state);

struct SaveDialogStart {
    std::string file_name;             // UTF-8
    std::filesystem::path folder;      // empty: the dialog's own folder
};

// File name and folder the save dialog opens with.
SaveDialogStart save_dialog_start(const std::filesystem::path& suggested);

// The log lines of a finished save.
std::string saved_log_line(const std::string& chosen_path);
inline constexpr const char* kMergeAppliedLogLine =
    "Merge common lines aplicado en exportacion: los bordes colineales compartidos se escriben "
    "una sola vez.\r\n";

}  // namespace app
