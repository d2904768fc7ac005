#include "app/core/canvas_model.hpp"

#include "app/core/gui_state.hpp"
#include "app/core/window_colours.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <mutex>

namespace app {

namespace {

constexpr Rgb kBackground{18, 24, 23};
constexpr Rgb kTitle = window_colour::warm_text;
constexpr Rgb kSecondary{132, 143, 138};
constexpr Rgb kMessage{238, 128, 104};
constexpr Rgb kEntity{230, 226, 216};
constexpr Rgb kDimension{232, 91, 46};
constexpr Rgb kSelected{255, 236, 205};
constexpr Rgb kSnap{50, 205, 50};
constexpr Rgb kBar{14, 18, 17};

constexpr PenSpec kMinorGridPen{{38, 48, 45}, 1};
constexpr PenSpec kMajorGridPen{{50, 63, 58}, 1};
constexpr PenSpec kSheetPen{{46, 101, 71}, 1};
constexpr PenSpec kPartPen{kEntity, 1};
constexpr PenSpec kHolePen{kDimension, 1};
constexpr PenSpec kEntityPen{kEntity, 1};
constexpr PenSpec kDimensionPen{kDimension, 1};
constexpr PenSpec kSelectedPen{kSelected, 3};
constexpr PenSpec kCrosshairPen{{120, 140, 130}, 1, true};
constexpr PenSpec kSnapPen{kSnap, 2};
constexpr PenSpec kBarRulePen{{55, 68, 62}, 1};

constexpr double kTwoPi = 6.28318530717958;

const char* const kKeyHelp =
    "L/LINEA  R/REC  C/CIRCULO  P/POLILINEA  A/ARCO  M/COTA  T/TEXTO  S/GRILLA  ESC/CANCELAR";

struct ToolText {
    const char* name;
    const char* idle;
};

constexpr ToolText kTools[] = {
    {"SELECCIONAR", "click para seleccionar, arrastra para mover, Delete para borrar."},
    {"PAN", "arrastra la vista. Rueda = zoom, doble click rueda = ajustar."},
    {"COTA", "selecciona un circulo o el primer punto de la cota."},
    {"LINEA", "primer punto de linea."},
    {"RECTANGULO", "primera esquina."},
    {"CIRCULO", "centro del circulo."},
    {"ARCO", "primer punto del arco."},
    {"POLILINEA", "primer punto de polilinea."},
    {"TEXTO", "click para ubicar texto con fuente y tamano."},
    {"BORRAR", "click sobre una entidad para borrarla. Supr borra lo seleccionado."},
};

bool known_tool(std::int32_t tool) { return tool >= 0 && tool <= 9; }

double norm(const Point& v) { return std::sqrt(v.x * v.x + v.y * v.y); }

// Integer part of a saving, safe for any double.
std::int64_t whole_mm2(double v) {
    if (!std::isfinite(v)) return 0;
    const double t = std::trunc(v);
    if (t >= 9.2e18) return std::numeric_limits<std::int64_t>::max();
    if (t <= -9.2e18) return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(t);
}

// World to screen for one sheet of the shown layout.
class Mapper {
public:
    explicit Mapper(const ViewTransform& view) : v_(view) {}

    PixelPoint at(const Point& p, double offset_x = 0.0) const {
        return {offset_px(v_.origin_x, (p.x + offset_x) * v_.scale),
                offset_px(v_.origin_y, (v_.sheet_height - p.y) * v_.scale)};
    }
    double scale() const { return v_.scale; }

private:
    const ViewTransform& v_;
};

void draw_scaled_ring(PaintList& out, const PenSpec& pen, const Point* first, const Point* end,
                      double offset_x, const Mapper& map) {
    if (end - first < 2) return;
    std::vector<PixelPoint> points;
    points.reserve(static_cast<std::size_t>(end - first));
    for (const Point* p = first; p != end; ++p) points.push_back(map.at(*p, offset_x));
    out.polyline(pen, std::move(points));
}

// Whether a 1-px outline of the part could colour a pixel of the band. Its
// points map, by rounding that never reverses order, into the pixel box of
// its world box, and a polyline colours pixels only inside the box of its
// points; one whose points all fall on one pixel has only zero-length
// segments and colours none.
bool part_shows(const CanvasLayout::Part& part, double offset_x, const Rect& band,
                const Mapper& map) {
    if (!part.boxed) return true;
    const PixelPoint lo = map.at(Point{part.box.min_x, part.box.max_y}, offset_x);
    const PixelPoint hi = map.at(Point{part.box.max_x, part.box.min_y}, offset_x);
    if (hi.x < band.left || lo.x >= band.right || hi.y < band.top || lo.y >= band.bottom)
        return false;
    return lo.x != hi.x || lo.y != hi.y;
}

// Outer ring with the part pen, then each hole with the hole pen, placement
// by placement; with `cull`, parts that would colour no pixel are left out.
void draw_parts(PaintList& out, const CanvasLayout& layout, const ViewTransform& view,
                const Rect& band, const Mapper& map, bool cull) {
    const double pitch = layout.sheet.width + view.sheet_gap;
    const Point* points = layout.points.data();
    for (const CanvasLayout::Part& part : layout.parts) {
        const double dx = pitch * part.sheet;
        if (cull && !part_shows(part, dx, band, map)) continue;
        for (std::size_t r = part.first_ring; r < part.ring_end; ++r) {
            const std::size_t begin = layout.ring_begin(r);
            draw_scaled_ring(out, r == part.first_ring ? kPartPen : kHolePen, points + begin,
                             points + layout.ring_ends[r], dx, map);
        }
    }
}

// A filled triangle with its tip at `tip` and its base 11 px along the
// screen direction (dx, dy), 8 px wide.
void arrowhead(PaintList& out, const PenSpec& pen, Rgb fill, PixelPoint tip, double dx, double dy) {
    const double bx = tip.x + 11.0 * dx;
    const double by = tip.y + 11.0 * dy;
    const double nx = -dy * 4.0;
    const double ny = dx * 4.0;
    out.polygon(pen,
                {tip, {round_px(bx + nx), round_px(by + ny)}, {round_px(bx - nx), round_px(by - ny)}},
                fill);
}

void draw_arc(PaintList& out, const PenSpec& pen, const EditorEntity& e, const Mapper& map) {
    const double x0 = e.p0.x, y0 = e.p0.y;
    const double x1 = e.p1.x, y1 = e.p1.y;
    const double x2 = e.p2.x, y2 = e.p2.y;
    const double d = 2.0 * (x2 * (y1 - y0) + x0 * (y2 - y1) + x1 * (y0 - y2));
    if (!(std::fabs(d) > 1e-9)) return;
    const double s0 = x0 * x0 + y0 * y0;
    const double s1 = x1 * x1 + y1 * y1;
    const double s2 = x2 * x2 + y2 * y2;
    const double cx = (s0 * (y2 - y1) + s2 * (y1 - y0) + s1 * (y0 - y2)) / d;
    const double cy = (s0 * (x1 - x2) + s2 * (x0 - x1) + s1 * (x2 - x0)) / d;
    const double r = std::hypot(x0 - cx, y0 - cy);
    const double a0 = std::atan2(y0 - cy, x0 - cx);
    const double a1 = std::atan2(y1 - cy, x1 - cx);
    const double a2 = std::atan2(y2 - cy, x2 - cx);
    const double lo = std::min(a0, a1);
    const double hi = std::max(a0, a1);
    double start = lo;
    double end = hi;
    if (!(a2 >= lo && a2 <= hi)) {
        start = hi;
        end = lo + kTwoPi;
    }
    std::vector<PixelPoint> points;
    points.reserve(49);
    for (int i = 0; i <= 48; ++i) {
        const double a = start + i * (end - start) / 48.0;
        points.push_back(map.at(Point{cx + r * std::cos(a), cy + r * std::sin(a)}));
    }
    out.polyline(pen, std::move(points));
}

void draw_circular_dimension(PaintList& out, const PenSpec& pen, Rgb colour, const EditorEntity& e,
                             const Mapper& map) {
    const Point c = e.p0;
    const double r = norm(Point{e.p0.x - e.p1.x, e.p0.y - e.p1.y});
    const Point t = norm(e.p2) > 1e-6 ? e.p2 : e.p1;
    const double len = std::max(norm(Point{t.x - c.x, t.y - c.y}), 1e-6);
    const Point u{(t.x - c.x) / len, (t.y - c.y) / len};
    const Point edge{c.x + r * u.x, c.y + r * u.y};
    const PixelPoint pe = map.at(edge);
    const PixelPoint pt = map.at(t);
    out.line(pen, pe.x, pe.y, pt.x, pt.y);
    // The base lies toward T: outward for a text point outside the circle,
    // inward for one inside it. Screen y runs down: the world direction u
    // is (u.x, -u.y) on screen.
    const double toward = norm(Point{t.x - c.x, t.y - c.y}) < r ? -1.0 : 1.0;
    arrowhead(out, pen, colour, pe, toward * u.x, -toward * u.y);
    const std::string text =
        !e.text.empty() ? e.text
                        : format_dimension_text(e.radius ? r : 2.0 * r, e.diameter, e.radius);
    out.text(pt.x + 6, pt.y - 8, text, FontRole::drawing, colour);
}

void draw_linear_dimension(PaintList& out, const PenSpec& pen, Rgb colour, const EditorEntity& e,
                           const Mapper& map) {
    const Point d{e.p1.x - e.p0.x, e.p1.y - e.p0.y};
    const double len = norm(d);
    if (!(len > 1e-6)) return;
    const Point t = norm(e.p2) > 1e-6 ? e.p2 : default_dimension_text_position(e.p0, e.p1);
    const Point u{d.x / len, d.y / len};
    const Point n{-u.y, u.x};
    const Point m{(e.p0.x + e.p1.x) * 0.5, (e.p0.y + e.p1.y) * 0.5};
    double o = (t.x - m.x) * n.x + (t.y - m.y) * n.y;
    if (std::fabs(o) < 2.0 / map.scale()) o = 22.0 / map.scale();
    const Point a{e.p0.x + o * n.x, e.p0.y + o * n.y};
    const Point b{e.p1.x + o * n.x, e.p1.y + o * n.y};
    const PixelPoint p0 = map.at(e.p0);
    const PixelPoint p1 = map.at(e.p1);
    const PixelPoint pa = map.at(a);
    const PixelPoint pb = map.at(b);
    out.line(pen, p0.x, p0.y, pa.x, pa.y);
    out.line(pen, p1.x, p1.y, pb.x, pb.y);
    out.line(pen, pa.x, pa.y, pb.x, pb.y);
    arrowhead(out, pen, colour, pa, -u.x, u.y);
    arrowhead(out, pen, colour, pb, u.x, -u.y);
    const std::string text =
        !e.text.empty() ? e.text : format_dimension_text(e.value > 0.0 ? e.value : len, false, false);
    const PixelPoint mid = map.at(Point{(a.x + b.x) * 0.5, (a.y + b.y) * 0.5});
    out.text(mid.x - 22, mid.y - 18, text, FontRole::drawing, colour);
}

void draw_entity(PaintList& out, const EditorEntity& e, bool selected, const Mapper& map) {
    const PenSpec& pen = selected ? kSelectedPen : kEntityPen;
    switch (e.kind) {
        case EntityKind::line: {
            out.polyline(pen, {map.at(e.p0), map.at(e.p1)});
            break;
        }
        case EntityKind::rectangle: {
            const PixelPoint a = map.at(e.p0);
            const PixelPoint b = map.at(e.p1);
            out.rectangle(pen, Rect{std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x),
                                    std::max(a.y, b.y)});
            break;
        }
        case EntityKind::circle: {
            const PixelPoint c = map.at(e.p0);
            const int r = round_px(norm(Point{e.p1.x - e.p0.x, e.p1.y - e.p0.y}) * map.scale());
            out.ellipse(pen, Rect{c.x - r, c.y - r, c.x + r, c.y + r});
            break;
        }
        case EntityKind::arc: draw_arc(out, pen, e, map); break;
        case EntityKind::polyline: {
            if (e.points.size() < 2) break;
            std::vector<PixelPoint> points;
            points.reserve(e.points.size());
            for (const Point& p : e.points) points.push_back(map.at(p));
            out.polyline(pen, std::move(points));
            break;
        }
        case EntityKind::text: {
            const PixelPoint p = map.at(e.p0);
            const double h = std::isnan(e.height) ? 16.0 : std::clamp(e.height, 6.0, 96.0);
            out.custom_text(p.x, p.y, e.text, e.font.empty() ? "ISOCPEUR" : e.font, round_px(h),
                            selected ? kSelected : kEntity);
            break;
        }
        case EntityKind::dimension: {
            const PenSpec& dim_pen = selected ? kSelectedPen : kDimensionPen;
            const Rgb colour = selected ? kSelected : kDimension;
            if (e.diameter || e.radius)
                draw_circular_dimension(out, dim_pen, colour, e, map);
            else
                draw_linear_dimension(out, dim_pen, colour, e, map);
            break;
        }
        default: break;
    }
}

void draw_in_progress(PaintList& out, const EditorState& st, const Mapper& map) {
    if (st.polyline_active && !st.polyline_points.empty()) {
        std::vector<PixelPoint> points;
        points.reserve(st.polyline_points.size() + 1);
        for (const Point& p : st.polyline_points) points.push_back(map.at(p));
        if (st.hover_valid) points.push_back(map.at(st.hover_point));
        if (points.size() >= 2) out.polyline(kEntityPen, std::move(points));
    }
    if ((st.arc_clicks == 1 || st.arc_clicks == 2) && st.hover_valid) {
        std::vector<PixelPoint> points{map.at(st.arc_points[0])};
        if (st.arc_clicks == 2) points.push_back(map.at(st.arc_points[1]));
        points.push_back(map.at(st.hover_point));
        out.polyline(kEntityPen, std::move(points));
    }
}

void draw_sheets(PaintList& out, const CanvasLayout& layout, const ViewTransform& view,
                 double g, bool grid, const Rect& band, const Mapper& map) {
    const double w = layout.sheet.width;
    const double h = layout.sheet.height;
    const int sheets = layout.sheets;
    for (int k = 0; k < sheets; ++k) {
        const double dx = k * (w + view.sheet_gap);
        if (grid && g > 0.0 && std::isfinite(g)) {
            // Lines at i * g, not accumulated, so the last one is neither
            // lost nor doubled by drift. Lines outside the band are clipped
            // away anyway and are left out.
            for (long long i = 0;; ++i) {
                const double x = static_cast<double>(i) * g;
                if (!(x <= w + 1e-6)) break;
                const PixelPoint a = map.at(Point{x, 0.0}, dx);
                if (a.x >= band.right) break;
                if (a.x < band.left) continue;
                const PixelPoint b = map.at(Point{x, h}, dx);
                out.line(i % 5 == 0 ? kMajorGridPen : kMinorGridPen, a.x, a.y, b.x, b.y);
            }
            for (long long i = 0;; ++i) {
                const double y = static_cast<double>(i) * g;
                if (!(y <= h + 1e-6)) break;
                const PixelPoint a = map.at(Point{0.0, y}, dx);
                if (a.y < band.top) break;
                if (a.y >= band.bottom) continue;
                const PixelPoint b = map.at(Point{w, y}, dx);
                out.line(i % 5 == 0 ? kMajorGridPen : kMinorGridPen, a.x, a.y, b.x, b.y);
            }
        }
        const PixelPoint tl = map.at(Point{0.0, h}, dx);
        const PixelPoint br = map.at(Point{w, 0.0}, dx);
        out.rectangle(kSheetPen, Rect{tl.x, tl.y, br.x, br.y});
    }
}

}  // namespace

CanvasSnapshot take_canvas_snapshot(GuiState& gui) {
    KeptCanvasLayout fresh;
    return take_canvas_snapshot(gui, fresh);
}

CanvasSnapshot take_canvas_snapshot(GuiState& gui, KeptCanvasLayout& kept) {
    CanvasSnapshot snap;
    snap.running = gui.running.load();
    snap.pause_requested = gui.pause_requested.load();
    snap.job_list_empty = gui.selected_files.empty();
    ShownLayoutCheck check;
    {
        // One hold for everything: a preview finishing between two holds
        // would show its text as if no layout had come.
        std::lock_guard<std::mutex> lock(gui.state_mutex);
        check = check_shown_layout_locked(gui, kept);
        snap.has_layout = check.shown;
        snap.is_preview = check.shown && !check.from_result;
        snap.preview_loading = gui.preview_loading;
        snap.preview_message = gui.preview_message;
        snap.iteration = gui.live_stats.iteration;
        snap.saving = gui.live_stats.improvement;
    }
    snap.shown = keep_canvas_layout(std::move(check), kept);
    return snap;
}

std::shared_ptr<const CanvasLayout> snapshot_layout(const CanvasSnapshot& snap) {
    if (snap.shown != nullptr) return snap.shown;
    return finish_canvas_layout(copy_canvas_layout(snap.layout));
}

std::string canvas_title(const CanvasSnapshot& snap) {
    return snap.is_preview ? "Previsualizacion de DXF cargados" : "Vista previa del acomodo";
}

StatusLine canvas_status(const CanvasSnapshot& snap) {
    if (snap.iteration >= 1) {
        const char* state =
            snap.pause_requested ? "Pausado" : (snap.running ? "Corriendo" : "Listo");
        return {std::string(state) + "  |  Iteracion " + std::to_string(snap.iteration) +
                    "  |  Ahorro " + std::to_string(whole_mm2(snap.saving)) + " mm2",
                240};
    }
    if (snap.is_preview) {
        const std::size_t count =
            snap.shown != nullptr ? snap.shown->parts.size() : snap.layout.placements.size();
        return {std::to_string(count) + " perfil(es) detectados", 300};
    }
    return {};
}

ColouredText canvas_placeholder(const CanvasSnapshot& snap) {
    if (snap.preview_loading) return {"Cargando previsualizacion de los DXF...", kSecondary};
    if (!snap.preview_message.empty()) return {snap.preview_message, kMessage};
    if (snap.job_list_empty)
        return {"Agrega una carpeta o archivos DXF para verlos antes del nesting.", kSecondary};
    return {"Los DXF estan en la lista; preparando previsualizacion.", kSecondary};
}

std::string editor_tool_name(std::int32_t tool) {
    return known_tool(tool) ? kTools[tool].name : "COMANDO";
}

std::string editor_prompt(const EditorState& st) {
    if (st.shape_in_progress) {
        if (st.shape_tool == EditorTool::line)
            return "segundo punto de linea. Enter/click derecho confirma, Esc cancela.";
        if (st.shape_tool == EditorTool::rectangle)
            return "esquina opuesta. Enter/click derecho confirma, Esc cancela.";
        if (st.shape_tool == EditorTool::circle)
            return "radio del circulo. Enter/click derecho confirma, Esc cancela.";
    }
    if (st.polyline_active) return "siguiente punto. Enter/click derecho termina, Esc cancela.";
    if (st.dimension_active) {
        if (st.dimension_step == 1) return "segundo punto de la cota.";
        return "ubica la cota con el mouse y click para confirmar.";
    }
    if (st.arc_clicks == 2) return "punto final del arco.";
    if (st.arc_clicks == 1) return "segundo punto del arco.";
    return known_tool(st.tool) ? kTools[st.tool].idle : "";
}

std::string command_line_text(const EditorState& st) {
    return "Comando: " + editor_tool_name(st.tool) + "  -  " + editor_prompt(st);
}

std::string command_coordinates_text(const EditorState& st) {
    if (!st.hover_valid) return kKeyHelp;
    return "X " + fixed_text(st.hover_point.x, 1) + "   Y " + fixed_text(st.hover_point.y, 1) +
           " mm";
}

ColouredText snap_indicator(const EditorState& st) {
    if (st.object_snap_hit) return {"OSNAP", kSnap};
    if (!st.grid_visible) return {"GRID OFF", kDimension};
    return {st.snap_to_grid ? "GRID+SNAP" : "GRID ON", kDimension};
}

namespace {

void draw_heading(PaintList& out, const CanvasSnapshot& snap, const Rect& canvas) {
    out.text(canvas.left + 14, canvas.top + 12, canvas_title(snap), FontRole::ui, kTitle);
    const StatusLine status = canvas_status(snap);
    if (!status.text.empty())
        out.text(canvas.left + status.dx, canvas.top + 14, status.text, FontRole::small, kSecondary);
}

void draw_layout(PaintList& out, const CanvasLayout& layout, const CanvasView& v, bool cull) {
    const Mapper map(v.view);
    out.push_clip(v.band);
    draw_sheets(out, layout, v.view, v.grid, v.grid_visible, v.band, map);
    draw_parts(out, layout, v.view, v.band, map, cull);
    out.pop_clip();
}

// The editor overlay and the command bar.
void draw_overlay(PaintList& out, const EditorState& st, const CanvasView& v) {
    const Mapper map(v.view);
    const int left = v.canvas.left;
    const int top = v.canvas.top;
    const int right = v.canvas.right;
    const int bottom = v.canvas.bottom;
    out.push_clip(Rect{left, top + 38, right, bottom - 46});
    for (std::size_t i = 0; i < st.entities.size(); ++i)
        draw_entity(out, st.entities[i], static_cast<std::int64_t>(i) == st.selection, map);
    draw_in_progress(out, st, map);
    if (st.hover_valid && st.hover_screen.x >= left && st.hover_screen.x <= right) {
        const int hx = st.hover_screen.x;
        const int hy = st.hover_screen.y;
        out.line(kCrosshairPen, hx, top + 38, hx, bottom);
        out.line(kCrosshairPen, left, hy, right, hy);
        if (st.object_snap_hit) {
            const PixelPoint p = map.at(st.hover_point);
            out.rectangle(kSnapPen, Rect{p.x - 5, p.y - 5, p.x + 6, p.y + 6});
        }
    }
    out.pop_clip();

    const int bar_top = bottom - 46;
    out.fill_rect(Rect{left, bar_top, right, bottom}, kBar);
    out.line(kBarRulePen, left, bar_top, right, bar_top);
    out.text(left + 12, bar_top + 7, command_line_text(st), FontRole::small, kTitle);
    out.text(left + 12, bar_top + 26, command_coordinates_text(st), FontRole::small, kSecondary);
    const ColouredText indicator = snap_indicator(st);
    out.text(right - 86, bar_top + 26, indicator.text, FontRole::small, indicator.colour);
}

}  // namespace

CanvasView canvas_view(const CanvasLayout& layout, const EditorState& st, const Rect& client) {
    CanvasView v;
    v.canvas = canvas_rect(client);
    v.band = Rect{v.canvas.left, v.canvas.top + 38, v.canvas.right, v.canvas.bottom};
    v.view = compute_view_transform(layout, v.canvas, st);
    v.grid = grid_step(v.view.scale, v.canvas);
    v.grid_visible = st.grid_visible;
    return v;
}

CanvasBackKey canvas_back_key(const CanvasLayout& layout, const CanvasView& v) {
    return CanvasBackKey{layout.serial,      v.canvas,      v.view.scale, v.view.origin_x,
                         v.view.origin_y,    v.view.sheet_gap, v.grid,     v.grid_visible};
}

PaintList build_canvas_back(const CanvasLayout& layout, const CanvasView& v) {
    PaintList out;
    out.fill_rect(v.canvas, kBackground);
    draw_layout(out, layout, v, true);
    return out;
}

PaintList build_canvas_front(const CanvasSnapshot& snap, const EditorState& st, const CanvasView& v) {
    PaintList out;
    draw_heading(out, snap, v.canvas);
    draw_overlay(out, st, v);
    return out;
}

PaintList build_canvas(const CanvasSnapshot& snap, const EditorState& st, const Rect& client) {
    PaintList out;
    const Rect canvas = canvas_rect(client);
    out.fill_rect(canvas, kBackground);
    draw_heading(out, snap, canvas);
    if (!snap.has_layout) {
        const ColouredText placeholder = canvas_placeholder(snap);
        out.text(canvas.left + 18, canvas.top + 46, placeholder.text, FontRole::small,
                 placeholder.colour);
        return out;
    }
    const std::shared_ptr<const CanvasLayout> layout = snapshot_layout(snap);
    const CanvasView v = canvas_view(*layout, st, client);
    draw_layout(out, *layout, v, false);
    draw_overlay(out, st, v);
    return out;
}

}  // namespace app
