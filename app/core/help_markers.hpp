#pragma once

// The small "i" markers beside the settings of the panel, each with a
// tooltip that says what the setting changes, what is advised and its
// default.

#include "app/core/layout.hpp"

#include <string>
#include <vector>

namespace app {

struct HelpMarker {
    int control_id = 0;
    Rect hot_rect;  // 15 x 15 square in client coordinates; zero until laid out
    std::string tooltip_text;
    bool visible = true;
};

struct HelpMarkerSpec {
    int control_id;
    const char* what;
    const char* advice;
    const char* default_text;
    int left;        // x of the square
    int top_offset;  // its top is L + top_offset before the panel scroll
};

inline constexpr int kHelpMarkerSize = 15;

// The 26 markers in the order they are added.
const std::vector<HelpMarkerSpec>& help_marker_specs();

// "Que modifica: " what "\r\n" "Recomendado: " advice "\r\n" "Default: " default.
std::string help_tooltip_text(const std::string& what, const std::string& advice,
                              const std::string& default_text);

void add_help_marker(std::vector<HelpMarker>& markers, int control_id, const std::string& what,
                     const std::string& advice, const std::string& default_text);

// The marker square for the current job-list height and panel scroll.
Rect help_marker_rect(const HelpMarkerSpec& desc, int parts_list_height, int panel_scroll);

// Sets the rectangle of the first marker of each id of the table.
void layout_help_markers(std::vector<HelpMarker>& markers, int parts_list_height,
                         int panel_scroll);

}  // namespace app
