#pragma once

// The painted part of the settings panel on the left of the main window:
// backgrounds, accent strip, logo, branded title, taglines, the labels and
// headings beside the settings controls, the splitter bar, the help markers
// and the panel's own scroll bar. The canvas is painted after it.

#include "app/core/canvas_paint_list.hpp"
#include "app/core/help_markers.hpp"
#include "app/core/layout.hpp"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace app {

struct PictureSize {
    int width = 0;
    int height = 0;
};

struct PanelPaintInput {
    int client_width = 0;
    int client_height = 0;
    int parts_list_height = kInitialPartsListHeight;
    int panel_scroll = 0;
    int panel_scroll_max = 0;
    const std::vector<HelpMarker>* help_markers = nullptr;
    std::optional<PictureSize> logo;  // the loaded logo picture, when there is one
    bool has_icon = false;
};

// Width in pixels of a text drawn with a font.
using TextWidth = std::function<int(FontRole font, const std::string& text)>;

inline constexpr char kTaglineFirst[] = "Nesting de chapa para corte laser";
inline constexpr char kTaglineSecond[] = "Acomodo optimizado por busqueda genetica";

// Where the logo picture goes in the 78 x 78 box at (18, 10): fitted, small
// pictures enlarged, centred.
Rect logo_rect(int picture_width, int picture_height);

struct PanelScrollBar {
    bool shown = false;
    Rect track;
    Rect thumb;
};

// The panel's scroll bar for client height H, range R and scroll S.
PanelScrollBar panel_scroll_bar(int client_height, int scroll_max, int scroll);

struct PanelLabel {
    int k;  // the row is at c + k - S
    int x;
    const char* text;
    bool heading;  // ui font, underlined by a rule
    bool accent;   // drawn in the accent colour
};

// The labels and headings beside the settings controls, in drawing order.
const std::vector<PanelLabel>& panel_labels();

PaintList build_control_panel(const PanelPaintInput& input, const TextWidth& text_width);

}  // namespace app
