#include "app/core/progress.hpp"

#include "engine/deterministic.hpp"

#include <iomanip>
#include <locale>
#include <mutex>
#include <sstream>

namespace app {

bool saved_solution_better(const SavedSolution& a, const SavedSolution& b) {
    if (a.unplaced_count != b.unplaced_count) return a.unplaced_count < b.unplaced_count;
    if (a.sheets_used != b.sheets_used) return a.sheets_used < b.sheets_used;
    return a.occupied_area + 1e-4 < b.occupied_area;
}

SavedSolution make_saved_solution(const plv::IterationStats& stats, const plv::NestingResult& best) {
    SavedSolution s;
    s.iteration = stats.iteration;
    s.occupied_area = best.occupied_area();
    s.improvement = stats.improvement;
    s.utilization = best.utilization();
    s.seconds_since_last_improvement = stats.seconds_between_improvements;
    s.sheets_used = best.sheets_used();
    s.unplaced_count = static_cast<std::int32_t>(best.unplaced.size());
    s.layout = best;
    s.scrap_area = s.occupied_area - best.placed_area();
    return s;
}

bool offer_saved_solution(std::vector<SavedSolution>& list, SavedSolution candidate) {
    if (!list.empty() && !saved_solution_better(candidate, list.front())) return false;
    list.push_back(std::move(candidate));
    plv::merge_sort(list, saved_solution_better);
    if (list.size() > kMaxSavedSolutions) list.resize(kMaxSavedSolutions);
    return true;
}

double cost_input_or_zero(const std::string& text) {
    try {
        return parse_number(text);
    } catch (const std::exception&) {
        return 0.0;
    }
}

std::string saved_solution_line(std::size_t number, const SavedSolution& solution, double price_per_kg,
                                double density_kg_m3, double thickness_mm) {
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out << std::fixed;
    out << "#" << number << "  it " << solution.iteration << "  area " << std::setprecision(3)
        << solution.occupied_area / 1e6 << " m2" << "  scrap " << solution.scrap_area / 1e6 << " m2";
    if (thickness_mm > 0.0 && density_kg_m3 > 0.0) {
        out << "  costo $" << std::setprecision(2)
            << solution.occupied_area * thickness_mm / 1e9 * density_kg_m3 * price_per_kg;
    }
    out << "  ahorro " << std::setprecision(3) << solution.improvement / 1e6 << " m2" << "  tiempo "
        << std::setprecision(1) << solution.seconds_since_last_improvement << "s";
    return out.str();
}

int saved_list_extent(const std::vector<std::string>& lines) {
    int extent = 0;
    for (const std::string& line : lines) extent = std::max(extent, static_cast<int>(line.size()) * 8 + 28);
    return extent;
}

bool ProgressSignal::post(MessagePoster& poster, unsigned message) {
    fresh_.store(true);
    if (pending_.exchange(true)) return true;
    if (poster.post(message)) return true;
    pending_.store(false);
    return false;
}

bool ProgressSignal::tick() {
    if (fresh_.load()) return true;
    pending_.store(false);
    // A payload stored just before the release found the signal held and
    // posted nothing: it is taken here, unless the search posted since.
    return fresh_.load() && !pending_.exchange(true);
}

void ProgressSignal::reset() {
    fresh_.store(false);
    pending_.store(false);
}

ProgressSignal& run_progress_signal() {
    static ProgressSignal* const signal = new ProgressSignal();
    return *signal;
}

namespace {

void post_progress(RunContext& context) {
    if (context.progress != nullptr) {
        context.progress->post(context.poster, WM_RUN_PROGRESS);
    } else {
        context.poster.post(WM_RUN_PROGRESS);
    }
}

bool paused(const GuiState& state) { return state.pause_requested.load() && !state.stop_requested.load(); }

}  // namespace

bool run_progress(RunSettings& settings, RunContext& context, const plv::IterationStats& stats,
                  const plv::NestingResult& iteration_best, const plv::NestingResult& best_so_far) {
    GuiState& state = context.state;
    // The copies are made before the lock, so the lock covers only moves.
    SavedSolution candidate = make_saved_solution(stats, best_so_far);
    plv::NestingResult shown = iteration_best;
    plv::IterationStats record = stats;
    {
        std::lock_guard<std::mutex> lock(state.state_mutex);
        state.iteration_history.push_back(std::move(record));
        offer_saved_solution(state.saved_solutions, std::move(candidate));
        state.shown_result = std::move(shown);
        state.live_stats.iteration = stats.iteration;
        state.live_stats.iteration_best_score = stats.iteration_best_score;
        state.live_stats.best_score = stats.best_score;
        state.live_stats.improvement = stats.improvement;
        state.has_result = true;
        note_display_change(state);
    }
    post_progress(context);

    if (paused(state)) {
        do {
            context.sleep(kPauseStep);
        } while (paused(state));
        if (!state.stop_requested.load()) {
            bool read = false;
            SearchSettings search;
            try {
                search = read_search_settings(context.panel, context.hardware_threads);
                read = true;
            } catch (const std::exception&) {
            }
            if (read) {
                apply_search_settings(search, settings.options);
            } else {
                context.log(
                    "No pude aplicar algun cambio de configuracion; sigo con los valores anteriores.\r\n");
            }
            post_progress(context);
        }
    }
    return !state.stop_requested.load();
}

}  // namespace app
