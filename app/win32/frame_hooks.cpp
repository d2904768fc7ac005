#include "app/win32/frame_hooks.hpp"

namespace app {

FrameHooks& frame_hooks() {
    static FrameHooks* const hooks = new FrameHooks();
    return *hooks;
}

void install_part_handlers(FrameHooks& hooks) {
    // Nothing is plugged in yet: job list, run control, preview, editor,
    // save, painters and side windows add their handlers here.
    (void)hooks;
}

}  // namespace app
