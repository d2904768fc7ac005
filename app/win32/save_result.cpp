#include "app/win32/save_result.hpp"

#include "app/core/control_ids.hpp"
#include "app/core/editor_model.hpp"
#include "app/core/gui_state.hpp"
#include "app/core/result_export.hpp"
#include "app/win32/app_windows.hpp"
#include "app/win32/controls.hpp"
#include "app/win32/file_dialogs.hpp"
#include "app/win32/frame_hooks.hpp"
#include "dxf/dxf_writer.hpp"
#include "dxf/paths.hpp"

#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace app {

void save_result_dxf(HWND main_window) {
    GuiState& state = gui_state();
    const std::optional<LayoutToSave> copy = copy_layout_to_save(state);
    if (!copy) {
        MessageBoxA(main_window, "Todavia no hay nada cargado para guardar.", "Guardar DXF",
                    MB_ICONINFORMATION);
        return;
    }

    HWND output = control_handle(IDC_OUTPUT_PATH);
    const std::string suggested =
        plv::path_to_utf8(suggested_save_path(control_text_utf8(output), state));
    const auto choose = frame_hooks().choose_dxf_save_path;
    const std::string chosen = choose != nullptr ? choose(main_window, suggested) : std::string();
    if (chosen.empty()) return;

    set_control_text_utf8(output, chosen);
    const bool merge =
        SendMessageA(control_handle(IDC_MERGE_COMMON_LINES), BM_GETCHECK, 0, 0) == BST_CHECKED;
    std::vector<plv::Annotation> annotations =
        annotations_for_save(finished_entities(editor_state()), copy->from_result);
    move_annotations_to_export_sheets(annotations, copy->layout);
    const std::filesystem::path target = plv::path_from_utf8(chosen);
    plv::write_dxf(copy->layout, target, kExportSheetGap, {}, kExportUnitsMillimetres, merge,
                   annotations);
    {
        std::lock_guard<std::mutex> lock(state.state_mutex);
        state.last_output_path = target;
    }
    append_log(saved_log_line(chosen));
    if (merge) append_log(kMergeAppliedLogLine);
}

}  // namespace app
