#pragma once

// The body of the run thread: load the job list, add the parts drawn in the
// editor, run the search with the progress callback, publish the final
// layout with the summary (or only the failure text) and post
// WM_RUN_FINISHED, exactly once, as the last act.

#include "app/core/progress.hpp"
#include "app/core/run_settings.hpp"
#include "engine/model.hpp"

#include <functional>
#include <vector>

namespace app {

using PartsLoader = std::function<std::vector<plv::Part>(const RunSettings&)>;

// Never throws: every failure ends as "Error: " + its text in run_message.
// `load` defaults to load_selected_parts_parallel.
void run_thread_body(RunSettings& settings, RunContext& context, const PartsLoader& load = {});

}  // namespace app
