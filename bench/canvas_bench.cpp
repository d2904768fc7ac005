// Paints the main window's canvas for a shown layout of N copies of a small
// part with a hole into a 1400 x 900 DIB section, the way a WM_PAINT does,
// and prints one line per case:
//   canvas_paint copies=N case=full|hover|move|zoom ms=T
// full: the first paint after a new layout; hover: the paint after a mouse
// move over the canvas, layout unchanged; move: the same with the editor's
// hover handler (gate, view, object snap) before the paint; zoom: one wheel
// step. Times are medians.
// Optional arguments: the copy counts (default 1000 100000 1000000).

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "app/core/editor_input.hpp"
#include "app/core/editor_model.hpp"
#include "app/core/gui_state.hpp"
#include "app/win32/canvas_painter.hpp"
#include "app/win32/editor_handlers.hpp"
#include "tests/app_win32/dib_section.hpp"

namespace {

constexpr int kWidth = 1400;
constexpr int kHeight = 900;

// 40 x 30 mm with a round hole of 16 points, copies in rows and columns
// 5 mm apart, as many sheets of 3000 x 1500 as they need.
plv::NestingResult grid_layout(int copies) {
    plv::NestingResult r;
    r.sheet = plv::Sheet{3000.0, 1500.0};
    const double w = 40.0, h = 30.0, gap = 5.0;
    const int cols = static_cast<int>((r.sheet.width + gap) / (w + gap));
    const int rows = static_cast<int>((r.sheet.height + gap) / (h + gap));
    r.placements.reserve(static_cast<std::size_t>(copies));
    for (int i = 0; i < copies; ++i) {
        const int sheet = i / (cols * rows);
        const int at = i % (cols * rows);
        const double x = (at % cols) * (w + gap);
        const double y = (at / cols) * (h + gap);
        plv::Placement p;
        p.part_name = "plate";
        p.source = "C:\\jobs\\plates\\plate-with-hole.dxf";
        p.sheet_index = sheet;
        p.copy_number = i + 1;
        p.x = x;
        p.y = y;
        p.shape.outer = {{x, y}, {x + w, y}, {x + w, y + h}, {x, y + h}, {x, y}};
        plv::Ring hole;
        for (int k = 0; k <= 16; ++k) {
            const double a = 6.283185307179586 * (k % 16) / 16.0;
            hole.push_back({x + w / 2 + 8.0 * std::cos(a), y + h / 2 + 8.0 * std::sin(a)});
        }
        p.shape.holes.push_back(std::move(hole));
        r.placements.push_back(std::move(p));
    }
    return r;
}

double paint_ms(HDC dc) {
    const RECT client{0, 0, kWidth, kHeight};
    const auto t0 = std::chrono::steady_clock::now();
    app::paint_canvas(dc, client);
    GdiFlush();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

// The main window's editor host with the bench's client size and no window
// to repaint: the gate and everything behind it are the real ones.
class BenchHost : public app::Win32EditorHost {
public:
    BenchHost() : Win32EditorHost(nullptr) {}
    app::Rect client_rect() override { return app::Rect{0, 0, kWidth, kHeight}; }
    void invalidate_canvas() override {}
    void invalidate_window() override {}
};

double move_ms(HDC dc, int x, int y) {
    BenchHost host;
    const RECT client{0, 0, kWidth, kHeight};
    const auto t0 = std::chrono::steady_clock::now();
    app::editor_hover(app::editor_state(), host, {x, y});
    app::paint_canvas(dc, client);
    GdiFlush();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Publishes the layout as a finished run's result.
void show_layout(const plv::NestingResult& layout) {
    app::GuiState& gui = app::gui_state();
    std::lock_guard<std::mutex> lock(gui.state_mutex);
    gui.shown_result = layout;
    gui.has_result = true;
    app::note_display_change(gui);
}

void run(int copies, const gdi_test::DibSection& dib) {
    app::EditorState& st = app::editor_state();
    st = app::EditorState{};
    const plv::NestingResult layout = grid_layout(copies);

    std::vector<double> full;
    for (int i = 0; i < 3; ++i) {
        show_layout(layout);
        full.push_back(paint_ms(dib.dc()));
    }

    // The mouse moves across the canvas.
    std::vector<double> hover;
    for (int i = 0; i < 15; ++i) {
        st.hover_valid = true;
        st.hover_screen = {700 + 13 * i, 400 + 7 * i};
        st.hover_point = {100.0 + i, 200.0 + i};
        hover.push_back(paint_ms(dib.dc()));
    }

    // The same moves through the editor's hover handler, which snaps to the
    // parts' points.
    std::vector<double> move;
    for (int i = 0; i < 15; ++i) move.push_back(move_ms(dib.dc(), 700 + 13 * i, 400 + 7 * i));
    st.hover_valid = false;

    // One wheel step in, then one out, about the middle of the canvas.
    std::vector<double> zoom;
    for (int i = 0; i < 4; ++i) {
        const double f = i % 2 == 0 ? 1.18 : 1.0 / 1.18;
        const double cx = 960.0 - (544 + 46), cy = 412.0 - (60 + 74);
        st.pan_x = (st.pan_x - cx) * f + cx;
        st.pan_y = (st.pan_y - cy) * f + cy;
        st.zoom *= f;
        zoom.push_back(paint_ms(dib.dc()));
    }

    std::printf("canvas_paint copies=%d case=full ms=%.1f\n", copies, median(full));
    std::printf("canvas_paint copies=%d case=hover ms=%.1f\n", copies, median(hover));
    std::printf("canvas_paint copies=%d case=move ms=%.1f\n", copies, median(move));
    std::printf("canvas_paint copies=%d case=zoom ms=%.1f\n", copies, median(zoom));
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    gdi_test::DibSection dib(kWidth, kHeight);
    if (!dib.ok()) {
        std::fprintf(stderr, "no DIB section\n");
        return 1;
    }
    std::vector<int> counts{1000, 100000, 1000000};
    if (argc > 1) {
        counts.clear();
        for (int i = 1; i < argc; ++i) counts.push_back(std::atoi(argv[i]));
    }
    for (int n : counts) run(n, dib);
    return 0;
}
