#include "app/core/result_export.hpp"

#include "app/core/job_list.hpp"
#include "dxf/paths.hpp"

#include <mutex>

namespace app {

namespace fs = std::filesystem;

std::optional<LayoutToSave> copy_layout_to_save(GuiState& state) {
    std::lock_guard<std::mutex> lock(state.state_mutex);
    if (state.has_result && !state.shown_result.placements.empty())
        return LayoutToSave{state.shown_result, true};
    if (state.preview_ready && !state.preview_layout.placements.empty())
        return LayoutToSave{state.preview_layout, false};
    return std::nullopt;
}

std::vector<plv::Annotation> annotations_for_save(const std::vector<EditorEntity>& entities,
                                                  bool from_result) {
    std::vector<plv::Annotation> out;
    for (const EditorEntity& e : entities) {
        std::uint32_t kind = 0;
        switch (e.kind) {
            case EntityKind::dimension: kind = plv::AnnotationKind::dimension; break;
            case EntityKind::text: kind = plv::AnnotationKind::text; break;
            case EntityKind::line: kind = plv::AnnotationKind::line; break;
            case EntityKind::rectangle: kind = plv::AnnotationKind::rectangle; break;
            case EntityKind::circle: kind = plv::AnnotationKind::circle; break;
            case EntityKind::arc: kind = plv::AnnotationKind::arc; break;
            case EntityKind::polyline: kind = plv::AnnotationKind::polyline; break;
            default: continue;  // no such item; nothing to write
        }
        const bool shape = kind != plv::AnnotationKind::dimension && kind != plv::AnnotationKind::text;
        if (from_result && shape) continue;
        plv::Annotation a;
        a.kind = kind;
        a.p0 = e.p0;
        a.p1 = e.p1;
        a.p2 = e.p2;
        a.text = e.text;
        if (kind == plv::AnnotationKind::polyline) a.points = e.points;
        out.push_back(std::move(a));
    }
    return out;
}

fs::path suggested_save_path(const std::string& output_text, GuiState& state) {
    if (!output_text.empty()) return plv::path_from_utf8(output_text);
    std::lock_guard<std::mutex> lock(state.state_mutex);
    if (!state.last_output_path.empty()) return state.last_output_path;
    // The job list belongs to this thread too; it is read here only because
    // the lock is already held.
    if (!state.selected_files.empty())
        return plv::path_from_utf8(state.selected_files.front().path).parent_path() / kResultFileName;
    return {};
}

SaveDialogStart save_dialog_start(const fs::path& suggested) {
    SaveDialogStart start{kResultFileName, {}};
    if (suggested.empty()) return start;
    start.folder = suggested.parent_path();
    const fs::path name = suggested.filename();
    if (!name.empty()) start.file_name = plv::path_to_utf8(name);
    return start;
}

std::string saved_log_line(const std::string& chosen_path) {
    return "DXF guardado: " + chosen_path + "\r\n";
}

}  // namespace app
