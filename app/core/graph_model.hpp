#pragma once

// The convergence graph "Ahorro por iteracion": the best occupied area of
// the last iterations above, the successes (iterations that improved the
// best score) and how much each saved below, and a one-line summary.

#include "app/core/canvas_paint_list.hpp"
#include "app/core/layout.hpp"
#include "engine/model.hpp"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace app {

struct GuiState;
class IterationHistory;

// What the graph needs of one history entry.
struct GraphEntry {
    std::int32_t iteration = 0;
    double best_score = 0.0;  // mm2, lower is better
};

struct GraphSuccess {
    std::int32_t iteration = 0;
    double saved = 0.0;    // previous best minus new best, mm2
    double percent = 0.0;  // saved / max(previous best, 1) * 100
};

inline constexpr std::size_t kGraphAreaWindow = 220;
inline constexpr std::size_t kGraphSuccessWindow = 120;

// What one paint draws from: only what the two panels show, whatever the
// length of the run.
struct GraphSnapshot {
    std::size_t count = 0;              // entries in the whole history
    std::vector<GraphEntry> history;    // its last entries, at most 220
    std::size_t success_count = 0;      // successes in the whole history
    std::vector<GraphSuccess> successes;  // the last of them, at most 120
    std::int32_t live_iteration = 0;
};

// Finds the successes one entry after the other: an entry whose best score
// lies more than 1e-6 below the best of the last success (or of the first
// entry).
class SuccessTracker {
public:
    // True, with the success in `out`, when the entry is one.
    bool feed(const GraphEntry& entry, GraphSuccess& out);

private:
    bool started_ = false;
    double best_ = 0.0;
};

// Every success of the history, in order.
std::vector<GraphSuccess> graph_successes(const std::vector<GraphEntry>& history);
// The snapshot of a whole history, read in full.
GraphSnapshot graph_snapshot_of(const std::vector<GraphEntry>& history, std::int32_t live_iteration);

// The successes so far, kept as the history grows: update() reads only the
// entries appended since its last call (all of them after the history was
// dropped or replaced).
class ConvergenceGraphView {
public:
    void update(const IterationHistory& history);
    // The last 220 entries and the kept successes.
    GraphSnapshot snapshot(const IterationHistory& history, std::int32_t live_iteration) const;

private:
    std::uint64_t generation_ = 0;
    std::size_t seen_ = 0;
    SuccessTracker tracker_;
    std::deque<GraphSuccess> kept_;  // the last 120
    std::size_t success_count_ = 0;
};

// Under state_mutex: the view takes up the new entries and what the graph
// draws from is copied, with the live iteration.
GraphSnapshot take_graph_snapshot(GuiState& gui, ConvergenceGraphView& view);

// m2 with 1 decimal from 10 000 000 mm2 up, else 3 decimals; no unit.
std::string format_area_m2(double area_mm2);
// 1 decimal from 10 up, else 2 decimals, then "%".
std::string format_percent(double percent);

// "Iteracion: 7   Area: 4.5000 m2   Ultimo salto exitoso: 10.00 % (500000 mm2)   Exitos: 1"
// `successes` ends with the last success; `success_count` counts them all.
std::string graph_footer(std::int32_t live_iteration, double last_best_score,
                         const std::vector<GraphSuccess>& successes, std::size_t success_count);

// The whole client area (L, T, R, B).
PaintList build_convergence_graph(const GraphSnapshot& snapshot, const Rect& client);

}  // namespace app
