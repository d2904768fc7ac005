#include "app/core/graph_model.hpp"

#include "app/core/gui_state.hpp"
#include "app/core/window_colours.hpp"

#include <algorithm>
#include <cmath>
#include <mutex>

namespace app {

namespace {

constexpr Rgb kBackground = window_colour::panel;
constexpr Rgb kTitle = window_colour::warm_text;
constexpr Rgb kLabel{132, 143, 138};
constexpr PenSpec kGridPen{{62, 67, 63}, 1};
constexpr PenSpec kAxisPen{{46, 101, 71}, 1};
constexpr PenSpec kAreaPen{{232, 91, 46}, 2};
constexpr PenSpec kSuccessPen{window_colour::warm_text, 2};
constexpr Rgb kSuccessFill = window_colour::warm_text;

void draw_y_labels(PaintList& out, const Rect& p, double low, double high, bool area) {
    for (int i = 0; i < 3; ++i) {
        const int y = p.bottom - round_px((p.bottom - p.top) * i * 0.5);
        out.line(kGridPen, p.left, y, p.right, y);
        const double v = low + (high - low) * i * 0.5;
        out.text(p.left - 68, y - 7, area ? format_area_m2(v) : format_percent(v), FontRole::small,
                 kLabel);
    }
}

void draw_x_labels(PaintList& out, const Rect& p, std::int32_t a, std::int32_t b) {
    if (a <= 0 || b <= 0) return;
    out.text(p.left - 2, p.bottom + 5, std::to_string(a), FontRole::small, kLabel);
    out.text(p.right - 34, p.bottom + 5, std::to_string(b), FontRole::small, kLabel);
    if (static_cast<std::int64_t>(b) - a > 2) {
        const std::int64_t middle = a + (static_cast<std::int64_t>(b) - a) / 2;
        out.text(p.left + (p.right - p.left) / 2 - 14, p.bottom + 5, std::to_string(middle),
                 FontRole::small, kLabel);
    }
}

void draw_axes(PaintList& out, const Rect& p) {
    out.polyline(kAxisPen, {{p.left, p.top}, {p.left, p.bottom}, {p.right, p.bottom}});
}

// x of point j of k spread over the plot's width.
int spread_x(const Rect& p, std::size_t j, std::size_t k) {
    const double f = k < 2 ? 0.0 : static_cast<double>(j) / static_cast<double>(k - 1);
    return p.left + trunc_px(f * (p.right - p.left));
}

}  // namespace

GraphSnapshot take_graph_snapshot(GuiState& gui) {
    GraphSnapshot snap;
    std::lock_guard<std::mutex> lock(gui.state_mutex);
    snap.history.reserve(gui.iteration_history.size());
    for (const plv::IterationStats& s : gui.iteration_history)
        snap.history.push_back({s.iteration, s.best_score});
    snap.live_iteration = gui.live_stats.iteration;
    return snap;
}

std::vector<GraphSuccess> graph_successes(const std::vector<GraphEntry>& history) {
    std::vector<GraphSuccess> out;
    if (history.empty()) return out;
    double f = history.front().best_score;
    for (std::size_t i = 1; i < history.size(); ++i) {
        const double g = history[i].best_score;
        if (!(f <= g + 1e-6)) {
            out.push_back({history[i].iteration, f - g, (f - g) / std::max(f, 1.0) * 100.0});
            f = g;
        }
    }
    return out;
}

std::string format_area_m2(double area_mm2) {
    return fixed_text(area_mm2 / 1000000.0, area_mm2 >= 10000000.0 ? 1 : 3);
}

std::string format_percent(double percent) {
    return fixed_text(percent, percent >= 10.0 ? 1 : 2) + "%";
}

std::string graph_footer(std::int32_t live_iteration, double last_best_score,
                         const std::vector<GraphSuccess>& successes) {
    const double percent = successes.empty() ? 0.0 : successes.back().percent;
    const double saved = successes.empty() ? 0.0 : successes.back().saved;
    return "Iteracion: " + std::to_string(live_iteration) + "   Area: " +
           fixed_text(last_best_score / 1000000.0, 4) + " m2" + "   Ultimo salto exitoso: " +
           fixed_text(percent, 2) + " %" + " (" + fixed_text(saved, 0) + " mm2)" +
           "   Exitos: " + std::to_string(successes.size());
}

PaintList build_convergence_graph(const GraphSnapshot& snapshot, const Rect& client) {
    PaintList out;
    const int l = client.left;
    const int t = client.top;
    const int r = client.right;
    const int b = client.bottom;
    out.fill_rect(client, kBackground);

    const std::vector<GraphEntry>& h = snapshot.history;
    const std::size_t n = h.size();
    if (n < 2) {
        out.text(l + 14, t + 10, "Area ocupada (m2)", FontRole::ui, kTitle);
        out.text(l + 58, t + 42, "El grafico se actualiza en cada iteracion...", FontRole::small,
                 kLabel);
        return out;
    }

    const int mid = t + (b - t) / 2;
    const Rect upper{l + 82, t + 42, r - 22, mid - 26};
    const Rect lower{l + 82, mid + 42, r - 22, b - 46};
    out.text(l + 14, t + 10, "Area ocupada mejor (m2)", FontRole::ui, kTitle);
    out.text(l + 14, mid + 10, "Convergencia (saltos entre exitos)", FontRole::ui, kTitle);

    const std::size_t w = n > kGraphAreaWindow ? n - kGraphAreaWindow : 0;
    double lo = h[w].best_score;
    double hi = h[w].best_score;
    for (std::size_t i = w; i < n; ++i) {
        lo = std::min(lo, h[i].best_score);
        hi = std::max(hi, h[i].best_score);
    }

    const std::vector<GraphSuccess> all = graph_successes(h);
    const std::size_t m = all.size();
    const std::size_t first_kept = m > kGraphSuccessWindow ? m - kGraphSuccessWindow : 0;
    double pmax = 0.0;
    for (std::size_t i = first_kept; i < m; ++i) pmax = std::max(pmax, all[i].percent);
    const double pscale = std::max(pmax, 0.01);

    draw_y_labels(out, upper, lo, hi, true);
    draw_y_labels(out, lower, 0.0, pscale, false);

    draw_x_labels(out, upper, h[w].iteration, h[n - 1].iteration);
    if (m > 0)
        draw_x_labels(out, lower, all[first_kept].iteration, all[m - 1].iteration);
    else
        draw_x_labels(out, lower, h[w].iteration, h[n - 1].iteration);

    draw_axes(out, upper);
    draw_axes(out, lower);

    const std::size_t k = n - w;
    const double span = std::max(hi - lo, 1.0);
    std::vector<PixelPoint> curve;
    curve.reserve(k);
    for (std::size_t j = 0; j < k; ++j) {
        const double v = (h[w + j].best_score - lo) / span;
        curve.push_back({spread_x(upper, j, k),
                         upper.bottom - trunc_px(v * (upper.bottom - upper.top))});
    }
    out.polyline(kAreaPen, std::move(curve));

    if (m == 0) {
        out.text(l + 86, mid + 50, "Todavia no hubo otro caso de exito.", FontRole::small, kLabel);
    } else {
        const std::size_t kept = m - first_kept;
        std::vector<PixelPoint> points;
        points.reserve(kept);
        for (std::size_t j = 0; j < kept; ++j) {
            const double v = all[first_kept + j].percent / pscale;
            points.push_back({spread_x(lower, j, kept),
                              lower.bottom - trunc_px(v * (lower.bottom - lower.top))});
        }
        out.polyline(kSuccessPen, points);
        for (const PixelPoint& p : points)
            out.filled_ellipse(kSuccessPen, Rect{p.x - 3, p.y - 3, p.x + 4, p.y + 4}, kSuccessFill);
    }

    out.text(l + 82, b - 23, graph_footer(snapshot.live_iteration, h[n - 1].best_score, all),
             FontRole::small, kLabel);
    return out;
}

}  // namespace app
