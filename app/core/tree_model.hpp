#pragma once

// The mutation tree "Arbol Evolutivo de Mutaciones": one box per iteration
// that lowered the best iteration score, joined by arrows, with the losing
// candidates of each iteration under it, and a header bar with the search
// settings typed into the panel. The content scrolls both ways.

#include "app/core/canvas_paint_list.hpp"
#include "app/core/layout.hpp"
#include "engine/model.hpp"

#include <string>
#include <vector>

namespace app {

struct GuiState;

// Copies the iteration history under state_mutex.
std::vector<plv::IterationStats> take_tree_snapshot(GuiState& gui);

// "Poblacion: P | Mutacion: M% | Shuffle Prob: S% | Shuffle Int: I%".
std::string tree_header_text(const std::string& population, const std::string& mutation,
                             const std::string& shuffle_percent,
                             const std::string& shuffle_intensity);

struct TreePaint {
    PaintList paint;
    // False with an empty history: the scroll maxima keep their values.
    bool has_maxima = false;
    int scroll_max_x = 0;
    int scroll_max_y = 0;
    int content_width = 0;   // Wc
    int content_height = 0;  // Hc
};

// The client area (L, T, R, B) scrolled by (scroll_x, scroll_y). Only the
// items that reach into the client area are drawn; the content size counts
// all of them.
TreePaint build_mutation_tree(const std::vector<plv::IterationStats>& history,
                              const std::string& header, const Rect& client, int scroll_x,
                              int scroll_y);

// Scroll bar request codes, numbered as the system numbers them.
enum class ScrollRequest : int {
    line_up = 0,
    line_down = 1,
    page_up = 2,
    page_down = 3,
    thumb_position = 4,
    thumb_track = 5,
    top = 6,
    bottom = 7,
    end_scroll = 8,
};

// New position after a scroll bar request: lines of 40 px, pages of 200,
// the track position while the thumb is dragged, then clamped to 0..max.
int tree_scroll_after(int request, int position, int track_position, int maximum);
// New vertical position after a wheel turn of `delta`: 60 px per whole notch,
// wheel up toward the top, clamped to 0..max.
int tree_wheel_scroll(int position, int delta, int maximum);

}  // namespace app
