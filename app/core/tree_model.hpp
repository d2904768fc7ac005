#pragma once

// The mutation tree "Arbol Evolutivo de Mutaciones": one box per iteration
// that lowered the best iteration score, joined by arrows, with the losing
// candidates of each iteration under it, and a header bar with the search
// settings typed into the panel. The content scrolls both ways.

#include "app/core/canvas_paint_list.hpp"
#include "app/core/layout.hpp"
#include "engine/model.hpp"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace app {

struct GuiState;
class IterationHistory;

// "Poblacion: P | Mutacion: M% | Shuffle Prob: S% | Shuffle Int: I%".
std::string tree_header_text(const std::string& population, const std::string& mutation,
                             const std::string& shuffle_percent,
                             const std::string& shuffle_intensity);

// Where the walk down the history stands before an entry: the column, the
// content y of the next item (which is also the content height so far), the
// content width so far and the lowest iteration best so far.
struct TreeWalkState {
    std::size_t next = 0;  // index of the entry the walk is at
    std::int64_t column = 180;
    std::int64_t y = 50;
    std::int64_t width = 180;
    double lowest = std::numeric_limits<double>::max();
};

// What one paint draws from: the entries that reach into the view, with
// the walk's state before the first of them, and the state after the whole
// history (the content size).
struct TreeSlice {
    TreeWalkState start;
    std::vector<plv::IterationStats> entries;
    TreeWalkState end;
};

// The tree's layout, kept as the history grows, so that a paint costs what
// the view shows and not what the run has done: update() walks only the
// entries appended since its last call (all of them after the history was
// dropped or replaced) and keeps the walk's state every kStride entries.
class MutationTreeView {
public:
    static constexpr std::size_t kStride = 64;

    void update(const IterationHistory& history);
    // The entries that reach into content rows top .. top + height.
    TreeSlice slice(const IterationHistory& history, std::int64_t top, std::int64_t height) const;

private:
    std::uint64_t generation_ = 0;
    std::vector<TreeWalkState> checkpoints_;  // before entries 0, kStride, 2 kStride, ...
    TreeWalkState end_;
};

// Under state_mutex: the view takes up the new entries and the slice for a
// client area of `client_height` scrolled to `scroll_y` is copied.
TreeSlice take_tree_slice(GuiState& gui, MutationTreeView& view, int client_height, int scroll_y);

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
TreePaint build_mutation_tree_slice(const TreeSlice& slice, const std::string& header, const Rect& client,
                              int scroll_x, int scroll_y);
// The same from a whole history.
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
