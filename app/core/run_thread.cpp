#include "app/core/run_thread.hpp"

#include "app/core/drawing_to_parts.hpp"
#include "app/core/parts_loading.hpp"
#include "app/core/run_summary.hpp"
#include "engine/iterative_search.hpp"

#include <mutex>
#include <stdexcept>
#include <string>

namespace app {

namespace {

void publish_failure(GuiState& state, const std::string& what) {
    std::string message = "Error: " + what + "\r\n";
    std::lock_guard<std::mutex> lock(state.state_mutex);
    state.run_message = std::move(message);
    state.run_succeeded = false;
}

}  // namespace

void run_thread_body(RunSettings& settings, RunContext& context, const PartsLoader& load) {
    GuiState& state = context.state;
    try {
        std::vector<plv::Part> parts = load ? load(settings) : load_selected_parts_parallel(settings);
        const std::vector<plv::Part> drawn = editor_entities_to_parts(settings.drawing);
        parts.insert(parts.end(), drawn.begin(), drawn.end());
        if (parts.empty()) throw std::runtime_error("No se encontraron perfiles cerrados.");
        if (!drawn.empty())
            context.log("Piezas dibujadas agregadas al nesting: " + std::to_string(drawn.size()) + "\r\n");

        const plv::ProgressCallback progress = [&settings, &context](const plv::IterationStats& stats,
                                                                     const plv::NestingResult& iteration_best,
                                                                     const plv::NestingResult& best) {
            return run_progress(settings, context, stats, iteration_best, best);
        };
        plv::IterativeNestingResult result =
            plv::nest_parts_iterative(settings.sheet, parts, settings.options, progress);

        std::string summary =
            run_summary_text(state.stop_requested.load(), settings, parts.size(), drawn.size(), result);
        std::lock_guard<std::mutex> lock(state.state_mutex);
        state.iteration_history = std::move(result.history);
        state.selected_solution = -1;
        state.shown_result = std::move(result.result);
        state.has_result = true;
        note_display_change(state);
        state.run_message = std::move(summary);
        state.run_succeeded = true;
    } catch (const std::exception& e) {
        publish_failure(state, e.what());
    } catch (...) {
        // A detached thread must not let anything escape.
        publish_failure(state, "unknown failure");
    }
    context.poster.post(WM_RUN_FINISHED);
}

}  // namespace app
