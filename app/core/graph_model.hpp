#pragma once

// The convergence graph "Ahorro por iteracion": the best occupied area of
// the last iterations above, the successes (iterations that improved the
// best score) and how much each saved below, and a one-line summary.

#include "app/core/canvas_paint_list.hpp"
#include "app/core/layout.hpp"
#include "engine/model.hpp"

#include <cstdint>
#include <string>
#include <vector>

namespace app {

struct GuiState;

// What the graph needs of one history entry.
struct GraphEntry {
    std::int32_t iteration = 0;
    double best_score = 0.0;  // mm2, lower is better
};

struct GraphSnapshot {
    std::vector<GraphEntry> history;
    std::int32_t live_iteration = 0;
};

// Copies, under state_mutex, what the graph draws from.
GraphSnapshot take_graph_snapshot(GuiState& gui);

struct GraphSuccess {
    std::int32_t iteration = 0;
    double saved = 0.0;    // previous best minus new best, mm2
    double percent = 0.0;  // saved / max(previous best, 1) * 100
};

inline constexpr std::size_t kGraphAreaWindow = 220;
inline constexpr std::size_t kGraphSuccessWindow = 120;

// Every success of the history, in order.
std::vector<GraphSuccess> graph_successes(const std::vector<GraphEntry>& history);

// m2 with 1 decimal from 10 000 000 mm2 up, else 3 decimals; no unit.
std::string format_area_m2(double area_mm2);
// 1 decimal from 10 up, else 2 decimals, then "%".
std::string format_percent(double percent);

// "Iteracion: 7   Area: 4.5000 m2   Ultimo salto exitoso: 10.00 % (500000 mm2)   Exitos: 1"
std::string graph_footer(std::int32_t live_iteration, double last_best_score,
                         const std::vector<GraphSuccess>& successes);

// The whole client area (L, T, R, B).
PaintList build_convergence_graph(const GraphSnapshot& snapshot, const Rect& client);

}  // namespace app
