#pragma once

// Where the main window stands on the screen and where its controls stand in
// its client area: the settings panel that scrolls as a whole, the splitter
// under the job list, the fixed tool bar and the fixed bottom row.

#include <optional>
#include <vector>

namespace app {

// Client pixels, y downward.
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool operator==(const Rect&) const = default;
};

struct WindowPlacement {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const WindowPlacement&) const = default;
};

// The main window's size and position from the work area; without one (the
// query failed) a 1366 x 768 work area at the origin is assumed.
WindowPlacement main_window_placement(std::optional<Rect> work_area);

inline constexpr int kMinTrackWidth = 760;
inline constexpr int kMinTrackHeight = 520;

// Right edge of the settings panel and the band above it that belongs to
// the panel's painted header.
inline constexpr int kPanelWidth = 520;
inline constexpr int kPanelHeaderBottom = 105;
inline constexpr int kWheelScrollStep = 54;

inline constexpr int kInitialPartsListHeight = 150;
inline constexpr int kMinPartsListHeight = 70;

// The job list's height kept within 70 .. max(H, 876) - 806.
int clamp_parts_list_height(int height, int client_height);
// How far the panel can scroll: its content is L + 888 pixels high.
int panel_scroll_range(int parts_list_height, int client_height);
int clamp_panel_scroll(int scroll, int scroll_max);

enum class Visibility { keep, show, hide };

struct ControlPlacement {
    int id = 0;
    Rect rect;
    Visibility visibility = Visibility::keep;
    bool moves = true;  // false for the always-hidden controls, never placed
};

struct PanelLayout {
    int parts_list_height = 0;  // clamped
    int panel_scroll = 0;       // clamped
    int panel_scroll_max = 0;
    std::vector<ControlPlacement> controls;  // every control, panel first
};

// The full layout for a client area of width W and height H, the job list's
// height and the panel's scroll (both clamped here first).
PanelLayout compute_layout(int client_width, int client_height, int parts_list_height,
                           int panel_scroll);

// Width of the saved-solutions list in the bottom row.
int solutions_list_width(int client_width);

// The splitter band between the job list and its buttons (inclusive edges).
Rect splitter_band(int parts_list_height, int panel_scroll);
bool in_splitter_band(int x, int y, int parts_list_height, int panel_scroll);

// Whether a wheel message at client (x, y) is meant for the settings panel.
bool wheel_over_panel(int x, int y);
// The panel scroll delta of one wheel message: -54 for a turn away from the
// user (delta 0 or more), +54 towards the user.
int wheel_scroll_delta(int wheel_delta);

// The settings panel's scroll and splitter state, changed only by the
// splitter, the wheel and clamping (user-interface thread only).
struct PanelState {
    int parts_list_height = kInitialPartsListHeight;
    bool splitter_dragging = false;
    int splitter_drag_start_y = 0;
    int splitter_drag_start_height = kInitialPartsListHeight;
    int panel_scroll = 0;
    int panel_scroll_max = 0;

    // Scrolls by delta; true when the scroll changed (the caller then lays
    // out and repaints).
    bool scroll_by(int delta, int client_height);
    // Starts a drag when (x, y) lies in the splitter band.
    bool grab_splitter(int x, int y);
    // A move during a drag; true when the list height changed.
    bool drag_splitter_to(int y, int client_height);
    // End of a drag by the button; true when a drag was under way.
    bool release_splitter(int client_height);
    // The capture was lost: the drag ends, nothing else changes.
    void abort_splitter() { splitter_dragging = false; }
};

}  // namespace app
