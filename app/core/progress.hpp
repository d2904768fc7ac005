#pragma once

// What happens after every iteration of a run: the progress callback keeps
// the history and the saved solutions, puts the iteration's best layout on
// display, wakes the user-interface thread, holds the run while a pause is
// requested and takes up the search settings edited during the pause. Also
// the ordering of saved solutions and the lines of their list box.

#include "app/core/gui_state.hpp"
#include "app/core/run_settings.hpp"
#include "app/core/worker_messages.hpp"
#include "engine/model.hpp"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace app {

// Fewer unplaced copies, then fewer sheets, then an occupied area smaller
// by more than 1e-4.
bool saved_solution_better(const SavedSolution& a, const SavedSolution& b);
SavedSolution make_saved_solution(const plv::IterationStats& stats, const plv::NestingResult& best);
// Adds `candidate` when the list is empty or it beats the first entry, then
// sorts best first and keeps the first 80. True when it was added.
bool offer_saved_solution(std::vector<SavedSolution>& list, SavedSolution candidate);

// A cost input for the list: parse_number, 0 when unreadable.
double cost_input_or_zero(const std::string& text);
// "#1  it 12  area 4.500 m2  scrap 0.250 m2  ahorro 1.235 m2  tiempo 3.3s",
// with "  costo $..." before "  ahorro" when thickness and density are
// above 0. `number` counts from 1.
std::string saved_solution_line(std::size_t number, const SavedSolution& solution, double price_per_kg,
                                double density_kg_m3, double thickness_mm);
// Horizontal extent of the list box in pixels: the longest line's
// characters x 8 + 28, 0 without lines.
int saved_list_extent(const std::vector<std::string>& lines);

// Paces progress messages. The system hands posted messages to the window
// before input and painting, so a fast search that posted after every
// iteration would keep the window from ever answering a click. At most one
// message waits in the queue, and after the window has taken one the
// signal stays held until the window's next frame tick: between two ticks
// the search posts nothing, so input and painting get their turn. Nothing
// is lost, since the payload waits in GuiState and each take covers all of
// it.
class ProgressSignal {
public:
    // Run thread, after storing a payload: posts unless a message waits or
    // the signal is held. False only when a post was tried and failed.
    bool post(MessagePoster& poster, unsigned message);
    // User-interface thread, before it reads the state for the message (or
    // for the run's end): everything stored so far is taken. The signal
    // stays held.
    void take() { fresh_.store(false); }
    // User-interface thread, once per frame while held. True when payload
    // came since the last take: the caller handles it as if the message had
    // come (take first) and keeps ticking. False: the signal is released and
    // the caller stops ticking.
    bool tick();
    // Run start: nothing waits and nothing is held.
    void reset();
    bool pending() const { return pending_.load(); }

private:
    std::atomic<bool> pending_{false};  // a message waits, or the signal is held
    std::atomic<bool> fresh_{false};    // payload stored since the last take
};
// The one for WM_RUN_PROGRESS of the main window.
ProgressSignal& run_progress_signal();

// What the run thread and its callback reach outside themselves.
struct RunContext {
    GuiState& state;
    MessagePoster& poster;        // posts to the main window
    std::function<void(const std::string&)> log;  // appends to the log control
    PanelSource& panel;           // read again after a pause
    unsigned hardware_threads = 1;
    std::function<void(std::chrono::milliseconds)> sleep;
    ProgressSignal* progress = nullptr;  // null: every progress is posted
};

// The body of the progress callback (the engine's arguments are valid only
// during the call; everything kept is copied). Returns false once a stop is
// requested. Never holds state_mutex while logging, reading the panel,
// posting or sleeping.
bool run_progress(RunSettings& settings, RunContext& context, const plv::IterationStats& stats,
                  const plv::NestingResult& iteration_best, const plv::NestingResult& best_so_far);

inline constexpr std::chrono::milliseconds kPauseStep{120};

}  // namespace app
