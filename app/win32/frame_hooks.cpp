#include "app/win32/frame_hooks.hpp"

#include "app/win32/editor_handlers.hpp"
#include "app/win32/job_list_commands.hpp"
#include "app/win32/panel_painter.hpp"
#include "app/win32/run_control.hpp"

namespace app {

FrameHooks& frame_hooks() {
    static FrameHooks* const hooks = new FrameHooks();
    return *hooks;
}

void install_part_handlers(FrameHooks& hooks) {
    // Drawing editor: tools, mouse, keys, cursor and its buttons.
    install_editor_handlers(hooks);
    // Job list, preview loads and saving the result.
    install_jobs_handlers(hooks);
    // Run start, stop, pause, progress and the saved solutions.
    install_run_handlers(hooks);
    // Main window painter and the two side windows.
    install_painter_handlers(hooks);
}

}  // namespace app
