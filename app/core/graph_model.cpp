#include "app/core/graph_model.hpp"

#include "app/core/gui_state.hpp"
#include "app/core/iteration_history.hpp"
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

bool SuccessTracker::feed(const GraphEntry& entry, GraphSuccess& out) {
    const double g = entry.best_score;
    if (!started_) {
        started_ = true;
        best_ = g;
        return false;
    }
    if (best_ <= g + 1e-6) return false;
    out = {entry.iteration, best_ - g, (best_ - g) / std::max(best_, 1.0) * 100.0};
    best_ = g;
    return true;
}

std::vector<GraphSuccess> graph_successes(const std::vector<GraphEntry>& history) {
    std::vector<GraphSuccess> out;
    SuccessTracker tracker;
    GraphSuccess s;
    for (const GraphEntry& e : history)
        if (tracker.feed(e, s)) out.push_back(s);
    return out;
}

GraphSnapshot graph_snapshot_of(const std::vector<GraphEntry>& history, std::int32_t live_iteration) {
    GraphSnapshot snap;
    snap.count = history.size();
    const std::size_t w = history.size() > kGraphAreaWindow ? history.size() - kGraphAreaWindow : 0;
    snap.history.assign(history.begin() + static_cast<std::ptrdiff_t>(w), history.end());
    std::vector<GraphSuccess> all = graph_successes(history);
    snap.success_count = all.size();
    const std::size_t first = all.size() > kGraphSuccessWindow ? all.size() - kGraphSuccessWindow : 0;
    snap.successes.assign(all.begin() + static_cast<std::ptrdiff_t>(first), all.end());
    snap.live_iteration = live_iteration;
    return snap;
}

void ConvergenceGraphView::update(const IterationHistory& history) {
    if (history.generation() != generation_ || history.size() < seen_) {
        generation_ = history.generation();
        seen_ = 0;
        tracker_ = SuccessTracker{};
        kept_.clear();
        success_count_ = 0;
    }
    GraphSuccess s;
    for (; seen_ < history.size(); ++seen_) {
        if (!tracker_.feed({history.iteration(seen_), history.best_score(seen_)}, s)) continue;
        ++success_count_;
        kept_.push_back(s);
        if (kept_.size() > kGraphSuccessWindow) kept_.pop_front();
    }
}

GraphSnapshot ConvergenceGraphView::snapshot(const IterationHistory& history, std::int32_t live_iteration) const {
    GraphSnapshot snap;
    snap.count = seen_;
    const std::size_t w = seen_ > kGraphAreaWindow ? seen_ - kGraphAreaWindow : 0;
    snap.history.reserve(seen_ - w);
    for (std::size_t i = w; i < seen_; ++i) snap.history.push_back({history.iteration(i), history.best_score(i)});
    snap.success_count = success_count_;
    snap.successes.assign(kept_.begin(), kept_.end());
    snap.live_iteration = live_iteration;
    return snap;
}

GraphSnapshot take_graph_snapshot(GuiState& gui, ConvergenceGraphView& view) {
    std::lock_guard<std::mutex> lock(gui.state_mutex);
    view.update(gui.iteration_history);
    return view.snapshot(gui.iteration_history, gui.live_stats.iteration);
}

std::string format_area_m2(double area_mm2) {
    return fixed_text(area_mm2 / 1000000.0, area_mm2 >= 10000000.0 ? 1 : 3);
}

std::string format_percent(double percent) {
    return fixed_text(percent, percent >= 10.0 ? 1 : 2) + "%";
}

std::string graph_footer(std::int32_t live_iteration, double last_best_score,
                         const std::vector<GraphSuccess>& successes, std::size_t success_count) {
    const double percent = successes.empty() ? 0.0 : successes.back().percent;
    const double saved = successes.empty() ? 0.0 : successes.back().saved;
    return "Iteracion: " + std::to_string(live_iteration) + "   Area: " +
           fixed_text(last_best_score / 1000000.0, 4) + " m2" + "   Ultimo salto exitoso: " +
           fixed_text(percent, 2) + " %" + " (" + fixed_text(saved, 0) + " mm2)" +
           "   Exitos: " + std::to_string(success_count);
}

PaintList build_convergence_graph(const GraphSnapshot& snapshot, const Rect& client) {
    PaintList out;
    const int l = client.left;
    const int t = client.top;
    const int r = client.right;
    const int b = client.bottom;
    out.fill_rect(client, kBackground);

    const std::size_t n = snapshot.count;
    if (n < 2 || snapshot.history.empty()) {
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

    // The snapshot holds the last entries only: the window of the upper panel.
    const std::vector<GraphEntry>& h = snapshot.history;
    const std::size_t k = std::min(h.size(), kGraphAreaWindow);
    const std::size_t w = h.size() - k;
    double lo = h[w].best_score;
    double hi = h[w].best_score;
    for (std::size_t i = w; i < h.size(); ++i) {
        lo = std::min(lo, h[i].best_score);
        hi = std::max(hi, h[i].best_score);
    }

    const std::vector<GraphSuccess>& kept_all = snapshot.successes;
    const std::size_t first_kept = kept_all.size() > kGraphSuccessWindow ? kept_all.size() - kGraphSuccessWindow : 0;
    const std::size_t kept = kept_all.size() - first_kept;
    double pmax = 0.0;
    for (std::size_t i = first_kept; i < kept_all.size(); ++i) pmax = std::max(pmax, kept_all[i].percent);
    const double pscale = std::max(pmax, 0.01);

    draw_y_labels(out, upper, lo, hi, true);
    draw_y_labels(out, lower, 0.0, pscale, false);

    draw_x_labels(out, upper, h[w].iteration, h.back().iteration);
    if (kept > 0)
        draw_x_labels(out, lower, kept_all[first_kept].iteration, kept_all.back().iteration);
    else
        draw_x_labels(out, lower, h[w].iteration, h.back().iteration);

    draw_axes(out, upper);
    draw_axes(out, lower);

    const double span = std::max(hi - lo, 1.0);
    std::vector<PixelPoint> curve;
    curve.reserve(k);
    for (std::size_t j = 0; j < k; ++j) {
        const double v = (h[w + j].best_score - lo) / span;
        curve.push_back({spread_x(upper, j, k),
                         upper.bottom - trunc_px(v * (upper.bottom - upper.top))});
    }
    out.polyline(kAreaPen, std::move(curve));

    if (kept == 0) {
        out.text(l + 86, mid + 50, "Todavia no hubo otro caso de exito.", FontRole::small, kLabel);
    } else {
        std::vector<PixelPoint> points;
        points.reserve(kept);
        for (std::size_t j = 0; j < kept; ++j) {
            const double v = kept_all[first_kept + j].percent / pscale;
            points.push_back({spread_x(lower, j, kept),
                              lower.bottom - trunc_px(v * (lower.bottom - lower.top))});
        }
        out.polyline(kSuccessPen, points);
        for (const PixelPoint& p : points)
            out.filled_ellipse(kSuccessPen, Rect{p.x - 3, p.y - 3, p.x + 4, p.y + 4}, kSuccessFill);
    }

    out.text(l + 82, b - 23,
             graph_footer(snapshot.live_iteration, h.back().best_score, kept_all, snapshot.success_count),
             FontRole::small, kLabel);
    return out;
}

}  // namespace app
