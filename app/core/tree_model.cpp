#include "app/core/tree_model.hpp"

#include "app/core/graph_model.hpp"
#include "app/core/gui_state.hpp"
#include "app/core/iteration_history.hpp"
#include "app/core/window_colours.hpp"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <mutex>

namespace app {

namespace {

constexpr Rgb kBackground = window_colour::panel;
constexpr Rgb kNodeText = window_colour::warm_text;
constexpr Rgb kNoteText{220, 120, 120};
constexpr Rgb kHeaderText{180, 200, 190};
constexpr Rgb kWaitingText = window_colour::warm_text;
constexpr Rgb kWaitingHeader{132, 143, 138};

constexpr Rgb kBaseFill = window_colour::list;
constexpr PenSpec kBasePen{{132, 143, 138}, 2};
constexpr Rgb kWinFill{30, 90, 50};
constexpr PenSpec kWinPen{{80, 200, 100}, 2};
constexpr Rgb kShuffleFill{150, 100, 30};
constexpr PenSpec kShufflePen{{220, 160, 50}, 2};
constexpr Rgb kDiscardFill{180, 50, 50};
constexpr PenSpec kDiscardPen{{180, 70, 70}, 1};
constexpr PenSpec kLinkPen{{132, 143, 138}, 2};

constexpr int kFirstColumn = 180;
constexpr int kShuffleShift = 350;
constexpr int kContentTop = 50;

int clamp_to_int(std::int64_t v) {
    return static_cast<int>(std::clamp<std::int64_t>(v, std::numeric_limits<int>::min(),
                                                     std::numeric_limits<int>::max()));
}

// Pixels spare around the view for pen widths and glyphs.
constexpr std::int64_t kSpare = 4;

// Whether content rows top..bottom reach into a view of view_height rows
// from view_top.
bool reaches_view(std::int64_t top, std::int64_t bottom, std::int64_t view_top, std::int64_t view_height) {
    return bottom + kSpare >= view_top && top - kSpare < view_top + view_height;
}

// Walks the history in content coordinates and, with a paint list, draws
// the items that reach into the client area, shifted by the scroll offsets.
// Without one it only advances, which is how the layout is kept.
class TreeWalk {
public:
    TreeWalk(PaintList* out, const Rect& client, int scroll_x, int scroll_y, const TreeWalkState& from)
        : out_(out), client_(client), scroll_x_(scroll_x), scroll_y_(scroll_y), st_(from) {}

    const TreeWalkState& state() const { return st_; }

    // Entry i of `entries`, which holds the entry the walk is at.
    template <class Entries>
    void entry(const Entries& entries, std::size_t i) {
        const double b = entries.best(i);
        const bool first = st_.next == 0;
        if (first || b < st_.lowest - 1e-6) {
            node(entries.iteration(i), b, entries.utilization(i), entries.shuffle(i), first);
            candidates(entries, i);
            st_.lowest = b;
        } else {
            candidates(entries, i);
            discarded(b, entries.shuffle(i));
        }
        ++st_.next;
    }

private:
    template <class Entries>
    void candidates(const Entries& entries, std::size_t i) {
        const std::size_t n = entries.candidate_count(i);
        for (std::size_t k = 0; k < n; ++k) {
            const plv::CandidateScore c = entries.candidate(i, k);
            discarded(c.score, c.shuffled);
        }
    }

    void node(std::int32_t iteration, double best, double utilization, bool shuffle, bool first) {
        const std::int64_t top = st_.y;
        const int link = first ? 0 : (shuffle ? 50 : 30);
        const bool show = visible(top, top + link + 70);
        if (!first) {
            if (shuffle) {
                if (show) elbow(kShufflePen);
                st_.width = std::max(st_.width, st_.column + kShuffleShift);
                st_.column += kShuffleShift;
            } else if (show) {
                const int j = jx();
                const int y = sy(top);
                out_->line(kLinkPen, j, y, j, y + 30);
                out_->line(kLinkPen, j, y + 30, j - 5, y + 20);
                out_->line(kLinkPen, j, y + 30, j + 5, y + 20);
            }
            st_.y += link;
        }
        if (show) {
            const int j = jx();
            const int y = sy(st_.y);
            const Rect box{j - 130, y, j + 130, y + 70};
            const Rgb fill = first ? kBaseFill : (shuffle ? kShuffleFill : kWinFill);
            const PenSpec pen = first ? kBasePen : (shuffle ? kShufflePen : kWinPen);
            out_->fill_rect(box, fill);
            out_->polyline(pen, {{box.left, box.top},
                                 {box.right, box.top},
                                 {box.right, box.bottom},
                                 {box.left, box.bottom},
                                 {box.left, box.top}});
            const char* what = first ? " (Configuracion Base)"
                                     : (shuffle ? " (Salto Evolutivo / Shuffle)" : " (Mutacion Ganadora)");
            out_->text(box.left + 10, box.top + 5, "Iteracion " + std::to_string(iteration) + what,
                       FontRole::small, kNodeText);
            out_->text(box.left + 10, box.top + 25, "Area ocupada: " + format_area_m2(best),
                       FontRole::small, kNodeText);
            out_->text(box.left + 10, box.top + 45, "Utilizacion: " + format_percent(utilization * 100.0),
                       FontRole::small, kNodeText);
        }
        st_.y += 70;
    }

    void discarded(double score, bool shuffled) {
        if (shuffled) {
            if (visible(st_.y, st_.y + 120)) {
                elbow(kDiscardPen);
                const int j = jx();
                const int y = sy(st_.y);
                const Rect box{j + 220, y + 50, j + 480, y + 120};
                out_->filled_rectangle(kDiscardPen, box, kDiscardFill);
                out_->text(box.left + 10, box.top + 5, "Shuffle (Descartado)", FontRole::small,
                           kNodeText);
                out_->text(box.left + 10, box.top + 25, "Area: " + format_area_m2(score),
                           FontRole::small, kNodeText);
            }
            st_.width = std::max(st_.width, st_.column + kShuffleShift);
            st_.y += 120;
        } else {
            if (visible(st_.y, st_.y + 18)) {
                const int j = jx();
                const int y = sy(st_.y);
                out_->line(kDiscardPen, j, y, j, y + 18);
                out_->line(kDiscardPen, j, y + 9, j + 20, y + 9);
                out_->text(j + 25, y + 2, "Mutacion (Descartada): " + format_area_m2(score),
                           FontRole::small, kNoteText);
            }
            st_.y += 18;
        }
    }

    // The elbow to a column 350 px to the right, with its arrowhead.
    void elbow(const PenSpec& pen) {
        const int j = jx();
        const int y = sy(st_.y);
        out_->polyline(pen, {{j, y}, {j, y + 30}, {j + 350, y + 30}, {j + 350, y + 50}});
        out_->line(pen, j + 350, y + 50, j + 345, y + 40);
        out_->line(pen, j + 350, y + 50, j + 355, y + 40);
    }

    int jx() const {
        return clamp_to_int(static_cast<std::int64_t>(client_.left) - scroll_x_ + st_.column);
    }
    int sy(std::int64_t content_y) const {
        return clamp_to_int(static_cast<std::int64_t>(client_.top) + content_y - scroll_y_);
    }
    // Whether content rows top..bottom are drawn: only with a paint list,
    // and only when they reach into the client area.
    bool visible(std::int64_t top, std::int64_t bottom) const {
        return out_ != nullptr &&
               reaches_view(top, bottom, scroll_y_, static_cast<std::int64_t>(client_.bottom) - client_.top);
    }

    PaintList* out_;
    Rect client_;
    int scroll_x_;
    int scroll_y_;
    TreeWalkState st_;
};

// The two kinds of history the walk reads.
struct StatsEntries {
    const std::vector<plv::IterationStats>& h;
    std::size_t offset = 0;  // history index of h[0]
    const plv::IterationStats& at(std::size_t i) const { return h[i - offset]; }
    double best(std::size_t i) const { return at(i).iteration_best_score; }
    std::int32_t iteration(std::size_t i) const { return at(i).iteration; }
    double utilization(std::size_t i) const { return at(i).utilization; }
    bool shuffle(std::size_t i) const { return at(i).best_from_shuffle; }
    std::size_t candidate_count(std::size_t i) const { return at(i).candidates.size(); }
    const plv::CandidateScore& candidate(std::size_t i, std::size_t k) const { return at(i).candidates[k]; }
};

struct HistoryEntries {
    const IterationHistory& h;
    double best(std::size_t i) const { return h.iteration_best_score(i); }
    std::int32_t iteration(std::size_t i) const { return h.iteration(i); }
    double utilization(std::size_t i) const { return h.utilization(i); }
    bool shuffle(std::size_t i) const { return h.best_from_shuffle(i); }
    std::size_t candidate_count(std::size_t i) const { return h.candidate_count(i); }
    plv::CandidateScore candidate(std::size_t i, std::size_t k) const { return h.candidate(i, k); }
};

TreePaint paint_walk(const StatsEntries& entries, std::size_t count, const TreeWalkState& start,
                     const TreeWalkState* end, const std::string& header, const Rect& client, int scroll_x,
                     int scroll_y) {
    TreePaint result;
    PaintList& out = result.paint;
    out.fill_rect(client, kBackground);
    if ((end != nullptr ? end->next : count) == 0) {
        out.text(client.left + 14, client.top + 10, "Esperando iteraciones...", FontRole::ui,
                 kWaitingText);
        out.text(client.left + 14, client.top + 30, header, FontRole::small, kWaitingHeader);
        return result;
    }

    TreeWalk walk(&out, client, scroll_x, scroll_y, start);
    for (std::size_t i = 0; i < count; ++i) walk.entry(entries, start.next + i);
    const TreeWalkState& last = end != nullptr ? *end : walk.state();

    const std::int64_t wc = last.width + 200;
    const std::int64_t hc = last.y;
    result.has_maxima = true;
    result.content_width = clamp_to_int(wc);
    result.content_height = clamp_to_int(hc);
    result.scroll_max_y = clamp_to_int(std::max<std::int64_t>(0, hc - (client.bottom - client.top)));
    result.scroll_max_x = clamp_to_int(std::max<std::int64_t>(0, wc - (client.right - client.left)));

    out.fill_rect(Rect{client.left, client.top, client.right, client.top + 30}, kBackground);
    out.text(client.left + 14, client.top + 8, header, FontRole::small, kHeaderText);
    return result;
}

}  // namespace

std::string tree_header_text(const std::string& population, const std::string& mutation,
                             const std::string& shuffle_percent,
                             const std::string& shuffle_intensity) {
    return "Poblacion: " + population + " | Mutacion: " + mutation + "%" +
           " | Shuffle Prob: " + shuffle_percent + "%" + " | Shuffle Int: " + shuffle_intensity +
           "%";
}

void MutationTreeView::update(const IterationHistory& history) {
    if (history.generation() != generation_ || history.size() < end_.next) {
        generation_ = history.generation();
        checkpoints_.clear();
        end_ = TreeWalkState{};
    }
    TreeWalk walk(nullptr, Rect{}, 0, 0, end_);
    const HistoryEntries entries{history};
    for (std::size_t i = end_.next; i < history.size(); ++i) {
        if (i % kStride == 0) checkpoints_.push_back(walk.state());
        walk.entry(entries, i);
    }
    end_ = walk.state();
}

TreeSlice MutationTreeView::slice(const IterationHistory& history, std::int64_t top, std::int64_t height) const {
    TreeSlice out;
    out.end = end_;
    if (checkpoints_.empty()) return out;
    // The last checkpoint that every earlier item ends above the view.
    auto after = std::upper_bound(checkpoints_.begin() + 1, checkpoints_.end(), top,
                                  [](std::int64_t t, const TreeWalkState& c) { return c.y + kSpare >= t; });
    TreeWalk walk(nullptr, Rect{}, 0, 0, *(after - 1));
    const HistoryEntries entries{history};
    // Entries that end above the view are only walked over.
    while (walk.state().next < end_.next) {
        TreeWalk next = walk;
        next.entry(entries, walk.state().next);
        if (next.state().y + kSpare >= top) break;
        walk = next;
    }
    out.start = walk.state();
    for (std::size_t i = out.start.next; i < end_.next; ++i) {
        // An entry's items start at its y: from here on none reaches the view.
        if (walk.state().y - kSpare >= top + height) break;
        walk.entry(entries, i);
        out.entries.push_back(history[i]);
    }
    return out;
}

TreeSlice take_tree_slice(GuiState& gui, MutationTreeView& view, int client_height, int scroll_y) {
    std::lock_guard<std::mutex> lock(gui.state_mutex);
    view.update(gui.iteration_history);
    return view.slice(gui.iteration_history, scroll_y, client_height);
}

TreePaint build_mutation_tree_slice(const TreeSlice& slice, const std::string& header, const Rect& client,
                                    int scroll_x, int scroll_y) {
    return paint_walk(StatsEntries{slice.entries, slice.start.next}, slice.entries.size(), slice.start,
                      &slice.end, header, client, scroll_x, scroll_y);
}

TreePaint build_mutation_tree(const std::vector<plv::IterationStats>& history,
                              const std::string& header, const Rect& client, int scroll_x,
                              int scroll_y) {
    return paint_walk(StatsEntries{history, 0}, history.size(), TreeWalkState{}, nullptr, header, client,
                      scroll_x, scroll_y);
}

int tree_scroll_after(int request, int position, int track_position, int maximum) {
    std::int64_t p = position;
    switch (static_cast<ScrollRequest>(request)) {
        case ScrollRequest::line_up: p -= 40; break;
        case ScrollRequest::line_down: p += 40; break;
        case ScrollRequest::page_up: p -= 200; break;
        case ScrollRequest::page_down: p += 200; break;
        case ScrollRequest::thumb_track: p = track_position; break;
        default: break;
    }
    return clamp_to_int(std::clamp<std::int64_t>(p, 0, std::max(maximum, 0)));
}

int tree_wheel_scroll(int position, int delta, int maximum) {
    const std::int64_t p = static_cast<std::int64_t>(position) - (delta / 120) * 60;
    return clamp_to_int(std::clamp<std::int64_t>(p, 0, std::max(maximum, 0)));
}

}  // namespace app
