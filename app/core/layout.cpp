#include "app/core/layout.hpp"

#include "app/core/control_ids.hpp"

#include <algorithm>

namespace app {

WindowPlacement main_window_placement(std::optional<Rect> work_area) {
    const Rect area = work_area.value_or(Rect{0, 0, 1366, 768});
    const int ww = area.width();
    const int wh = area.height();
    WindowPlacement p;
    p.width = ww <= 800 ? 760 : std::min(ww - 40, 1320);
    p.height = wh <= 560 ? 520 : std::min(wh - 40, 1010);
    // Integer division truncates toward zero, as the centring wants.
    int dx = (ww - p.width) / 2;
    int dy = (wh - p.height) / 2;
    if (dx < 1) dx = 0;
    if (dy < 1) dy = 0;
    p.x = area.left + dx;
    p.y = area.top + dy;
    return p;
}

int clamp_parts_list_height(int height, int client_height) {
    const int upper = std::max(client_height, 876) - 806;
    return std::clamp(height, kMinPartsListHeight, upper);
}

int panel_scroll_range(int parts_list_height, int client_height) {
    return std::max(0, parts_list_height + 888 - std::max(client_height, 113));
}

int clamp_panel_scroll(int scroll, int scroll_max) {
    return std::clamp(scroll, 0, std::max(scroll_max, 0));
}

int solutions_list_width(int client_width) {
    if (client_width < 1220) return 320;
    return std::min((client_width - 578) / 2, 430);
}

namespace {

struct PanelRow {
    int id;
    int x;
    int y_offset;  // added to L, except for the job list itself
    int width;
    int height;    // 0: the job list, L high
};

// The scrolled panel, y given as L + offset (the job list at a fixed 138).
constexpr PanelRow kPanelRows[] = {
    {IDC_PARTS_LIST, 18, 0, 484, 0},
    {IDC_ADD_FOLDER, 18, 158, 110, 26},
    {IDC_ADD_DXF, 136, 158, 110, 26},
    {IDC_REMOVE_SELECTED, 254, 158, 150, 26},
    {IDC_QUANTITY, 232, 218, 72, 24},
    {IDC_APPLY_QUANTITY, 312, 217, 190, 26},
    {IDC_SHEET_WIDTH, 18, 283, 96, 24},
    {IDC_SHEET_HEIGHT, 122, 283, 96, 24},
    {IDC_PRICE_PER_KG, 18, 337, 96, 24},
    {IDC_DENSITY, 122, 337, 96, 24},
    {IDC_THICKNESS, 226, 337, 96, 24},
    {IDC_RUN, 228, 280, 116, 30},
    {IDC_PAUSE, 352, 280, 72, 30},
    {IDC_SAVE, 432, 280, 88, 30},
    {IDC_UNIT_INCHES, 166, 424, 76, 21},
    {IDC_UNIT_MM, 246, 424, 58, 21},
    {IDC_SPACING, 422, 422, 80, 24},
    {IDC_CURVE_TOLERANCE, 166, 449, 80, 24},
    {IDC_ROTATIONS, 422, 449, 80, 24},
    {IDC_OPTIMIZATION_TYPE, 166, 474, 126, 110},
    {IDC_ROUGH_CURVES, 422, 478, 26, 21},
    {IDC_THREADS, 166, 503, 80, 24},
    {IDC_MAX_ITERATIONS, 422, 503, 80, 24},
    {IDC_SVG_SCALE, 166, 580, 80, 24},
    {IDC_JOIN_TOLERANCE, 422, 580, 80, 24},
    {IDC_INPUT_UNITS, 166, 605, 86, 110},
    {IDC_OUTPUT_UNITS, 422, 605, 86, 110},
    {IDC_MERGE_COMMON_LINES, 166, 687, 26, 21},
    {IDC_OPTIMIZATION_RATIO, 422, 685, 80, 24},
    {IDC_POPULATION, 166, 712, 80, 24},
    {IDC_MUTATION_PERCENT, 422, 712, 80, 24},
    {IDC_SHUFFLE_PERCENT, 166, 739, 80, 24},
    {IDC_SHUFFLE_INTENSITY, 422, 739, 80, 24},
    {IDC_SOLVER, 166, 764, 118, 110},
    {IDC_PERF_LOG, 422, 768, 26, 21},
};

constexpr int kAlwaysHidden[] = {IDC_IMPORT_CSV, IDC_OUTPUT_PATH, IDC_CHOOSE_OUTPUT, IDC_FEEDBACK};

struct ToolRow {
    int id;
    int x;
    int width;
};

constexpr ToolRow kToolRows[] = {
    {IDC_TOOL_SELECT, 544, 78},    {IDC_TOOL_PAN, 624, 62},      {IDC_FIT_VIEW, 688, 66},
    {IDC_TOOL_DIMENSION, 756, 58}, {IDC_TOOL_LINE, 816, 58},     {IDC_TOOL_RECT, 876, 54},
    {IDC_TOOL_CIRCLE, 932, 62},    {IDC_TOOL_ARC, 996, 50},      {IDC_TOOL_POLYLINE, 1048, 70},
    {IDC_TOOL_TEXT, 1120, 58},     {IDC_TOOL_ERASE, 1180, 64},   {IDC_UNDO, 1246, 58},
    {IDC_GRID, 1306, 58},          {IDC_CLEAR_DRAWING, 1366, 70},
};

Rect box(int x, int y, int w, int h) { return Rect{x, y, x + w, y + h}; }

}  // namespace

PanelLayout compute_layout(int client_width, int client_height, int parts_list_height,
                           int panel_scroll) {
    const int W = client_width;
    const int H = client_height;
    PanelLayout out;
    const int L = clamp_parts_list_height(parts_list_height, H);
    out.parts_list_height = L;
    out.panel_scroll_max = panel_scroll_range(L, H);
    const int s = clamp_panel_scroll(panel_scroll, out.panel_scroll_max);
    out.panel_scroll = s;

    for (const PanelRow& row : kPanelRows) {
        const bool list = row.id == IDC_PARTS_LIST;
        const int y = (list ? 138 : L + row.y_offset) - s;
        const int h = list ? L : row.height;
        ControlPlacement c;
        c.id = row.id;
        c.rect = box(row.x, y, row.width, h);
        // Shown while it starts above the client bottom and ends below the
        // painted header band (combo boxes taken at their dropped height).
        c.visibility = (y < H && y + h >= kPanelHeaderBottom) ? Visibility::show : Visibility::hide;
        out.controls.push_back(c);
    }
    for (int id : kAlwaysHidden) {
        ControlPlacement c;
        c.id = id;
        c.visibility = Visibility::hide;
        c.moves = false;
        out.controls.push_back(c);
    }
    for (const ToolRow& row : kToolRows) {
        ControlPlacement c;
        c.id = row.id;
        c.rect = box(row.x, 24, row.width, 28);
        out.controls.push_back(c);
    }
    const int list_width = solutions_list_width(W);
    ControlPlacement solutions;
    solutions.id = IDC_SOLUTIONS_LIST;
    solutions.rect = box(544, H - 120, list_width, 96);
    out.controls.push_back(solutions);
    ControlPlacement log;
    log.id = IDC_LOG;
    log.rect = box(554 + list_width, H - 120, std::max(W - list_width - 568, 200), 96);
    out.controls.push_back(log);
    return out;
}

Rect splitter_band(int parts_list_height, int panel_scroll) {
    return Rect{18, parts_list_height + 142 - panel_scroll, 501,
                parts_list_height + 149 - panel_scroll};
}

bool in_splitter_band(int x, int y, int parts_list_height, int panel_scroll) {
    const Rect b = splitter_band(parts_list_height, panel_scroll);
    return x >= b.left && x <= b.right && y >= b.top && y <= b.bottom;
}

bool wheel_over_panel(int x, int y) { return x >= 0 && x < kPanelWidth && y >= 0; }

int wheel_scroll_delta(int wheel_delta) {
    return wheel_delta >= 0 ? -kWheelScrollStep : kWheelScrollStep;
}

bool PanelState::scroll_by(int delta, int client_height) {
    panel_scroll_max = panel_scroll_range(parts_list_height, client_height);
    const int old_scroll = clamp_panel_scroll(panel_scroll, panel_scroll_max);
    panel_scroll = clamp_panel_scroll(old_scroll + delta, panel_scroll_max);
    return panel_scroll != old_scroll;
}

bool PanelState::grab_splitter(int x, int y) {
    if (!in_splitter_band(x, y, parts_list_height, panel_scroll)) return false;
    splitter_dragging = true;
    splitter_drag_start_y = y;
    splitter_drag_start_height = parts_list_height;
    return true;
}

bool PanelState::drag_splitter_to(int y, int client_height) {
    const int height = clamp_parts_list_height(
        y + splitter_drag_start_height - splitter_drag_start_y, client_height);
    if (height == parts_list_height) return false;
    parts_list_height = height;
    return true;
}

bool PanelState::release_splitter(int client_height) {
    if (!splitter_dragging) return false;
    splitter_dragging = false;
    parts_list_height = clamp_parts_list_height(parts_list_height, client_height);
    return true;
}

}  // namespace app
