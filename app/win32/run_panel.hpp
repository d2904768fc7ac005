#pragma once

// Reading the settings controls and posting to the main window, for run
// start, the run thread and its progress callback. Control reads from the
// run thread are sent messages, handled by the user-interface thread; they
// never happen while state_mutex is held.

#include <windows.h>

#include <string>

#include "app/core/run_settings.hpp"
#include "app/core/worker_messages.hpp"

namespace app {

// The whole window text of a control as UTF-8; "" when empty or missing.
std::string get_control_text(HWND control);
// The text of the selected item of a drop-down combo box; "" with none.
std::string get_combo_text(HWND combo);

// The main window's settings controls, by id.
class WindowControlsPanel : public PanelSource {
public:
    std::string text(int control_id) override;
    std::string combo_text(int control_id) override;
    bool checked(int control_id) override;
};

// Posts to one window. A finished message is tried again until the window
// takes it or is gone, since losing it would leave the run buttons in
// their running state for good.
class MainWindowPoster : public MessagePoster {
public:
    explicit MainWindowPoster(HWND window) : window_(window) {}
    bool post(unsigned message) override;

private:
    HWND window_;
};

}  // namespace app
