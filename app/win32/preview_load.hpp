#pragma once

// The preview load of the job list: started on the user-interface thread
// by every job-list edit, run on a detached thread that publishes only
// while it is still the newest, and shown when WM_PREVIEW_READY arrives.

#include <windows.h>

#include <cstdint>

#include "app/core/run_settings.hpp"

namespace app {

// Reads the loading fields of the panel, takes a new generation, empties
// the shown result and, with a non-empty job list, starts the thread.
void start_preview_load(HWND main_window);

// The body of a preview thread: loads the snapshot's files, lays them out
// and publishes while `generation` is still the newest, then posts
// WM_PREVIEW_READY to `main_window`.
void preview_thread_main(HWND main_window, RunSettings settings, std::int32_t generation);

// WM_PREVIEW_READY: logs the preview's message and repaints.
void on_preview_ready(HWND main_window);

}  // namespace app
