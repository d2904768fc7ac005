#pragma once

// The canvas on the right of the main window: title and status line, the
// shown layout (sheets side by side with their grid, part outlines and
// holes), the drawing editor's overlay and the command bar. With nothing to
// show, one placeholder text and nothing else.

#include "app/core/button_look.hpp"
#include "app/core/canvas_paint_list.hpp"
#include "app/core/editor_model.hpp"
#include "app/core/layout.hpp"
#include "app/core/shown_layout.hpp"
#include "engine/model.hpp"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace app {

struct GuiState;

// What the canvas copies of the shared state at the start of a paint.
struct CanvasSnapshot {
    bool running = false;
    bool pause_requested = false;
    bool has_layout = false;
    plv::NestingResult layout;  // used when `shown` is not set
    std::shared_ptr<const CanvasLayout> shown;
    bool is_preview = false;
    bool preview_loading = false;
    std::string preview_message;
    bool job_list_empty = true;
    std::int32_t iteration = 0;
    double saving = 0.0;  // mm2
};

// The run flags first, then one short copy under state_mutex. The job list
// belongs to the user-interface thread and is read without the lock. With
// `kept`, the layout is copied only when it is not the one kept.
CanvasSnapshot take_canvas_snapshot(GuiState& gui);
CanvasSnapshot take_canvas_snapshot(GuiState& gui, KeptCanvasLayout& kept);

// The layout a snapshot shows: `shown`, else a copy of `layout`.
std::shared_ptr<const CanvasLayout> snapshot_layout(const CanvasSnapshot& snap);

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

// The canvas of a snapshot with a layout, in two layers: the back (the
// background, the sheets and the parts), which changes only with what
// CanvasBackKey holds, and the front (titles, editor overlay, command bar),
// drawn over it on every paint. Back and front give the pixels of
// build_canvas: the titles never reach the layout band. The back leaves out
// what would not colour a pixel: parts outside the layout band and parts
// that fall on a single pixel (every segment of zero length).
struct CanvasView {
    Rect canvas;
    Rect band;  // the layout band
    ViewTransform view;
    double grid = 0.0;  // grid step, mm
    bool grid_visible = false;
};
CanvasView canvas_view(const CanvasLayout& layout, const EditorState& editor, const Rect& client);

struct CanvasBackKey {
    std::uint64_t layout = 0;
    Rect canvas;
    double scale = 0.0;
    std::int32_t origin_x = 0;
    std::int32_t origin_y = 0;
    double sheet_gap = 0.0;
    double grid = 0.0;
    bool grid_visible = false;
    bool operator==(const CanvasBackKey&) const = default;
};
CanvasBackKey canvas_back_key(const CanvasLayout& layout, const CanvasView& view);

PaintList build_canvas_back(const CanvasLayout& layout, const CanvasView& view);
PaintList build_canvas_front(const CanvasSnapshot& snap, const EditorState& editor,
                             const CanvasView& view);

}  // namespace app
