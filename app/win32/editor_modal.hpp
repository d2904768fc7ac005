#pragma once

// The modal loop shared by the value window and the text window: the main
// window is disabled while it runs, Enter and Escape in the window or one of
// its controls become OK and Cancel, and everything else of the thread is
// still dispatched (worker messages, the side windows).

#include <windows.h>

namespace app {

// Shows `dialog` and runs until `done` is set or the window is gone. When
// the queue ends (WM_QUIT) the dialog is destroyed here, since it points at
// state owned by the caller, and the quit request is posted again for the
// main loop.
void run_editor_modal_loop(HWND owner, HWND dialog, const bool& done);

// Left and top that centre a w x h window over the owner's rectangle.
POINT centred_over(HWND owner, int width, int height);

// The interface font, or the stock GUI font when there is none.
HFONT editor_dialog_font();

}  // namespace app
