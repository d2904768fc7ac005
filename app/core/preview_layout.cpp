#include "app/core/preview_layout.hpp"

#include "app/core/run_settings.hpp"
#include "geometry/primitives.hpp"

#include <algorithm>
#include <cmath>
#include <exception>
#include <mutex>
#include <utility>

namespace app {

plv::NestingResult layout_preview(const std::vector<plv::Part>& parts) {
    plv::NestingResult layout;
    if (parts.empty()) return layout;

    double area_sum = 0.0;
    double max_width = 1.0;
    double max_height = 1.0;
    for (const plv::Part& part : parts) {
        const geom::BoundingBox box = plv::part_bounds(part);
        if (!box.is_finite()) continue;
        area_sum += std::max(plv::part_net_area(part), 0.0);
        max_width = std::max(max_width, box.width());
        max_height = std::max(max_height, box.height());
    }
    const double gap = std::clamp(0.12 * std::max(max_width, max_height), 20.0, 180.0);
    const double row_width =
        std::max(1.75 * std::sqrt(std::max(area_sum, 1.0)), 2.0 * gap + max_width);

    double x = gap;
    double y = gap;
    double row_height = 0.0;
    double right = gap;
    int count = 0;
    for (const plv::Part& part : parts) {
        if (count >= kPreviewMaxPlacements) break;
        geom::Polygon shape = geom::normalize_polygon(part.shape);
        const geom::BoundingBox box = geom::polygon_bounds(shape);
        const double w = box.width();
        const double h = box.height();
        if (!box.is_finite() || !(w > 0.0) || !(h > 0.0)) continue;
        if (x > gap && x + w > row_width) {
            y = y + row_height + gap;
            x = gap;
            row_height = 0.0;
        }
        layout.placements.push_back(plv::make_placement(part, shape, 0, count + 1, x, y, 0.0));
        x = x + w + gap;
        row_height = std::max(row_height, h);
        right = std::max(right, x);
        ++count;
    }
    layout.sheet.width = std::max(right + gap, 100.0);
    layout.sheet.height = std::max(y + row_height + gap, 100.0);
    return layout;
}

std::string preview_message_for(const plv::NestingResult& layout) {
    if (layout.placements.empty()) return "No se encontraron perfiles cerrados para previsualizar.";
    return "Previsualizacion DXF lista: " + std::to_string(layout.placements.size()) +
           " perfil(es) detectados.";
}

PreviewOutcome build_preview(const std::function<std::vector<plv::Part>()>& load_parts) {
    PreviewOutcome outcome;
    try {
        plv::NestingResult layout = layout_preview(load_parts());
        outcome.message = preview_message_for(layout);
        outcome.layout = std::move(layout);
    } catch (const std::exception& e) {
        outcome.layout = plv::NestingResult{};
        outcome.message = std::string("No pude previsualizar los DXF: ") + e.what();
    } catch (...) {
        // A detached thread must not let anything escape.
        outcome.layout = plv::NestingResult{};
        outcome.message = "No pude previsualizar los DXF: unknown error";
    }
    return outcome;
}

bool publish_preview_if_current(GuiState& state, std::int32_t generation, PreviewOutcome outcome) {
    std::lock_guard<std::mutex> lock(state.state_mutex);
    if (state.preview_generation.load() != generation) return false;
    state.preview_ready = !outcome.layout.placements.empty();
    state.preview_layout = std::move(outcome.layout);
    note_display_change(state);
    state.preview_loading = false;
    state.preview_message = std::move(outcome.message);
    return true;
}

bool run_preview(const std::function<std::vector<plv::Part>()>& load_parts,
                 std::int32_t generation, GuiState& state, MessagePoster& poster) {
    if (!publish_preview_if_current(state, generation, build_preview(load_parts))) return false;
    poster.post(WM_PREVIEW_READY);
    return true;
}

void begin_preview(GuiState& state, bool job_list_empty) {
    std::lock_guard<std::mutex> lock(state.state_mutex);
    reset_result_state(state);
    state.preview_layout = plv::NestingResult{};
    state.preview_ready = false;
    note_display_change(state);
    state.preview_loading = !job_list_empty;
    state.preview_message = job_list_empty ? "" : kPreviewLoadingMessage;
}

void fail_preview_start(GuiState& state) {
    std::lock_guard<std::mutex> lock(state.state_mutex);
    state.preview_ready = false;
    note_display_change(state);
    state.preview_loading = false;
    state.preview_message = kPreviewSettingsMessage;
    reset_result_state(state);
}

}  // namespace app
