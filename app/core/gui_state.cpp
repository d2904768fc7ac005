#include "app/core/gui_state.hpp"

namespace app {

GuiState& gui_state() {
    // Deliberately never deleted (see the header).
    static GuiState* const state = [] {
        auto* s = new GuiState();
        s->help_markers.reserve(32);
        return s;
    }();
    return *state;
}

}  // namespace app
