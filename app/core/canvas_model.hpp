#pragma once

// The canvas on the right of the main window: title and status line, the
// shown layout (sheets side by side with their grid, part outlines and
// holes), the drawing editor's overlay and the command bar. With nothing to
// show, one placeholder text and nothing else.

#include "app/core/button_look.hpp"
#include "app/core/canvas_paint_list.hpp"
#include "app/core/editor_model.hpp"
#include "app/core/layout.hpp"
#include "engine/model.hpp"

#include <cstdint>
#include <string>

namespace app {

struct GuiState;

// What the canvas copies of the shared state at the start of a paint.
struct CanvasSnapshot {
    bool running = false;
    bool pause_requested = false;
    bool has_layout = false;
    plv::NestingResult layout;
    bool is_preview = false;
    bool preview_loading = false;
    std::string preview_message;
    bool job_list_empty = true;
    std::int32_t iteration = 0;
    double saving = 0.0;  // mm2
};

// The run flags first, then one short copy under state_mutex. The job list
// belongs to the user-interface thread and is read without the lock.
CanvasSnapshot take_canvas_snapshot(GuiState& gui);

struct ColouredText {
    std::string text;
    Rgb colour;
    bool operator==(const ColouredText&) const = default;
};

// "Vista previa del acomodo" or "Previsualizacion de DXF cargados".
std::string canvas_title(const CanvasSnapshot& snap);
// The status line and where it goes (x relative to the canvas left); empty
// text when there is none.
struct StatusLine {
    std::string text;
    int dx = 0;
};
StatusLine canvas_status(const CanvasSnapshot& snap);
// The placeholder shown without a layout.
ColouredText canvas_placeholder(const CanvasSnapshot& snap);

// "SELECCIONAR" .. "BORRAR"; "COMANDO" outside 0..9.
std::string editor_tool_name(std::int32_t tool);
// The prompt of the current step, else the idle prompt of the tool.
std::string editor_prompt(const EditorState& state);
// "Comando: " name "  -  " prompt.
std::string command_line_text(const EditorState& state);
// The cursor's world position, or the key help line without a hover point.
std::string command_coordinates_text(const EditorState& state);
// "OSNAP", "GRID+SNAP", "GRID ON" or "GRID OFF" with its colour.
ColouredText snap_indicator(const EditorState& state);

// The whole canvas for the main window's client rectangle.
PaintList build_canvas(const CanvasSnapshot& snap, const EditorState& editor, const Rect& client);

}  // namespace app
