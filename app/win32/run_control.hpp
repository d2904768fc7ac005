#pragma once

// Run control on the main window: starting a run, the stop and pause
// commands, the saved-solutions list box, and what the main window does
// when the run thread's messages arrive.

#include <windows.h>

#include <string>

#include "app/core/run_settings.hpp"
#include "app/win32/frame_hooks.hpp"

namespace app {

// "Ejecutar nesting" while no run is going: reads the panel, checks there is
// something to nest, resets the run state, prepares the GPU for the GPU
// solvers and starts the detached run thread. Throws (before changing
// anything) for a setting that cannot be read or an empty job.
void run_nesting(HWND main_window);
// The same, reading the settings from `panel` (the run thread still reads
// the window's controls after a pause).
void run_nesting(HWND main_window, PanelSource& panel);
// The run button while a run is going.
void request_stop(HWND main_window);
// The pause button while a run is going: pause or resume.
void toggle_pause(HWND main_window);
// A line of the saved-solutions list was picked.
void show_saved_solution(HWND main_window);
// Rebuilds the saved-solutions list box from the shared state.
void refresh_saved_solutions_list();

// WM_RUN_PROGRESS and WM_RUN_FINISHED.
void on_run_progress(HWND main_window);
void on_run_finished(HWND main_window);

// The modal box of a failed run ("Nesting error"); tests put a recorder in.
using RunErrorBox = void (*)(HWND owner, const std::string& text, const char* caption);
RunErrorBox& run_error_box();

void install_run_handlers(FrameHooks& hooks);

}  // namespace app
