#pragma once

// The one process-wide record through which the user-interface thread and
// the worker threads (run thread, preview threads, loading tasks) exchange
// results, and the three messages that tell the user-interface thread a
// result is waiting.
//
// Hand-over: a worker computes its result in its own data, locks
// state_mutex, moves the result into the guarded members, unlocks, and only
// then posts its message. Nobody sends a window message (a log line, a
// control read) while holding state_mutex.

#include "app/core/help_markers.hpp"
#include "app/core/iteration_history.hpp"
#include "app/core/layout.hpp"
#include "engine/model.hpp"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

namespace app {

// Posted to the main window with both parameters 0 (WM_APP + 1 .. + 3).
inline constexpr unsigned WM_RUN_PROGRESS = 0x8001;
inline constexpr unsigned WM_RUN_FINISHED = 0x8002;
inline constexpr unsigned WM_PREVIEW_READY = 0x8003;

// One entry of the job list.
struct SelectedFile {
    std::string path;  // UTF-8, as added (not made canonical)
    std::int32_t quantity = 1;
};

// The best layout so far at the moment it was saved, with its statistics.
struct SavedSolution {
    std::int32_t iteration = 0;
    double occupied_area = 0.0;
    double improvement = 0.0;
    double utilization = 0.0;
    double seconds_since_last_improvement = 0.0;
    std::int32_t sheets_used = 0;
    std::int32_t unplaced_count = 0;
    plv::NestingResult layout;
    double scrap_area = 0.0;
};

inline constexpr std::size_t kMaxSavedSolutions = 80;

// The latest iteration's figures for the canvas status line.
struct LiveStats {
    std::int32_t iteration = 0;
    double iteration_best_score = 0.0;
    double best_score = 0.0;
    double improvement = 0.0;
};

struct GuiState {
    // Guards every member of this first group, on every thread.
    std::mutex state_mutex;
    plv::NestingResult shown_result;
    plv::NestingResult preview_layout;
    IterationHistory iteration_history;
    std::vector<SavedSolution> saved_solutions;  // best first
    std::int32_t selected_solution = -1;
    LiveStats live_stats;
    std::filesystem::path last_output_path;
    bool has_result = false;
    bool preview_ready = false;
    bool preview_loading = false;
    std::string preview_message;
    std::string run_message;
    bool run_succeeded = false;
    // Counts the changes of shown_result, has_result, preview_layout and
    // preview_ready, so a painter can tell that its copy is still current
    // without comparing layouts.
    std::uint64_t display_generation = 0;

    // Written on the user-interface thread only; workers only read them.
    std::atomic<bool> running{false};
    std::atomic<bool> stop_requested{false};
    std::atomic<bool> pause_requested{false};
    // Number of the newest preview load; every preview start adds one.
    std::atomic<std::int32_t> preview_generation{0};

    // User-interface thread only.
    std::vector<SelectedFile> selected_files;
    PanelState panel;
    std::vector<HelpMarker> help_markers;
};

// The process-wide record. It is made on first use and never destroyed:
// detached workers may still reach it while the process ends.
GuiState& gui_state();

// Every writer of shown_result, has_result, preview_layout or preview_ready
// calls this under state_mutex after the change.
inline void note_display_change(GuiState& gui) { ++gui.display_generation; }

}  // namespace app
