#include "app/core/result_export.hpp"

#include "app/core/job_list.hpp"
#include "dxf/paths.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
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

namespace {

// x of the middle of the points that place an item; NaN for an item without any.
double middle_x(const plv::Annotation& a) {
    std::vector<geom::Point> points;
    switch (a.kind) {
        case plv::AnnotationKind::text:
        case plv::AnnotationKind::circle: points = {a.p0}; break;  // insertion point, centre
        case plv::AnnotationKind::arc: points = {a.p0, a.p1, a.p2}; break;
        case plv::AnnotationKind::polyline: points = a.points; break;
        default: points = {a.p0, a.p1}; break;  // line, rectangle, the measured points of a dimension
    }
    if (points.empty()) return std::numeric_limits<double>::quiet_NaN();
    double low = points.front().x;
    double high = points.front().x;
    for (const geom::Point& p : points) {
        low = std::min(low, p.x);
        high = std::max(high, p.x);
    }
    return 0.5 * (low + high);
}

}  // namespace

void move_annotations_to_export_sheets(std::vector<plv::Annotation>& annotations,
                                       const plv::NestingResult& layout) {
    const std::int32_t sheets = layout.sheets_used();
    if (sheets < 2) return;
    const double width = layout.sheet.width;
    const double canvas_gap = sheet_gap_for(width);
    const double canvas_pitch = width + canvas_gap;
    for (plv::Annotation& a : annotations) {
        const double x = middle_x(a);
        if (!std::isfinite(x)) continue;
        // Each gap is shared by its two sheets, half each.
        const double k = std::clamp(std::floor((x + 0.5 * canvas_gap) / canvas_pitch), 0.0,
                                    static_cast<double>(sheets - 1));
        const double dx = k * (kExportSheetGap - canvas_gap);
        if (dx == 0.0) continue;
        const bool default_text_point =
            a.kind == plv::AnnotationKind::dimension && std::hypot(a.p2.x, a.p2.y) <= 1e-6;
        a.p0.x += dx;
        a.p1.x += dx;
        if (!default_text_point) a.p2.x += dx;
        for (geom::Point& p : a.points) p.x += dx;
    }
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
