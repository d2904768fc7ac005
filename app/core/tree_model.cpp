#include "app/core/tree_model.hpp"

#include "app/core/graph_model.hpp"
#include "app/core/gui_state.hpp"
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

// Walks the history in content coordinates and draws the items that reach
// into the client area, shifted by the scroll offsets.
class TreeWalk {
public:
    TreeWalk(PaintList& out, const Rect& client, int scroll_x, int scroll_y)
        : out_(out), client_(client), scroll_x_(scroll_x), scroll_y_(scroll_y) {}

    void node(const plv::IterationStats& s, bool first) {
        const std::int64_t top = y_;
        const int link = first ? 0 : (s.best_from_shuffle ? 50 : 30);
        const bool show = visible(top, top + link + 70);
        if (!first) {
            if (s.best_from_shuffle) {
                if (show) elbow(kShufflePen);
                width_ = std::max(width_, column_ + kShuffleShift);
                column_ += kShuffleShift;
            } else if (show) {
                const int j = jx();
                const int y = sy(top);
                out_.line(kLinkPen, j, y, j, y + 30);
                out_.line(kLinkPen, j, y + 30, j - 5, y + 20);
                out_.line(kLinkPen, j, y + 30, j + 5, y + 20);
            }
            advance(link);
        }
        if (show) {
            const int j = jx();
            const int y = sy(y_);
            const Rect box{j - 130, y, j + 130, y + 70};
            const Rgb fill = first ? kBaseFill : (s.best_from_shuffle ? kShuffleFill : kWinFill);
            const PenSpec pen = first ? kBasePen : (s.best_from_shuffle ? kShufflePen : kWinPen);
            out_.fill_rect(box, fill);
            out_.polyline(pen, {{box.left, box.top},
                                {box.right, box.top},
                                {box.right, box.bottom},
                                {box.left, box.bottom},
                                {box.left, box.top}});
            const char* what = first ? " (Configuracion Base)"
                                     : (s.best_from_shuffle ? " (Salto Evolutivo / Shuffle)"
                                                            : " (Mutacion Ganadora)");
            out_.text(box.left + 10, box.top + 5, "Iteracion " + std::to_string(s.iteration) + what,
                      FontRole::small, kNodeText);
            out_.text(box.left + 10, box.top + 25,
                      "Area ocupada: " + format_area_m2(s.iteration_best_score), FontRole::small,
                      kNodeText);
            out_.text(box.left + 10, box.top + 45,
                      "Utilizacion: " + format_percent(s.utilization * 100.0), FontRole::small,
                      kNodeText);
        }
        advance(70);
    }

    void discarded(double score, bool shuffled) {
        if (shuffled) {
            if (visible(y_, y_ + 120)) {
                elbow(kDiscardPen);
                const int j = jx();
                const int y = sy(y_);
                const Rect box{j + 220, y + 50, j + 480, y + 120};
                out_.filled_rectangle(kDiscardPen, box, kDiscardFill);
                out_.text(box.left + 10, box.top + 5, "Shuffle (Descartado)", FontRole::small,
                          kNodeText);
                out_.text(box.left + 10, box.top + 25, "Area: " + format_area_m2(score),
                          FontRole::small, kNodeText);
            }
            width_ = std::max(width_, column_ + kShuffleShift);
            advance(120);
        } else {
            if (visible(y_, y_ + 18)) {
                const int j = jx();
                const int y = sy(y_);
                out_.line(kDiscardPen, j, y, j, y + 18);
                out_.line(kDiscardPen, j, y + 9, j + 20, y + 9);
                out_.text(j + 25, y + 2, "Mutacion (Descartada): " + format_area_m2(score),
                          FontRole::small, kNoteText);
            }
            advance(18);
        }
    }

    std::int64_t content_height() const { return height_; }
    std::int64_t content_width() const { return width_; }

private:
    // The elbow to a column 350 px to the right, with its arrowhead.
    void elbow(const PenSpec& pen) {
        const int j = jx();
        const int y = sy(y_);
        out_.polyline(pen, {{j, y}, {j, y + 30}, {j + 350, y + 30}, {j + 350, y + 50}});
        out_.line(pen, j + 350, y + 50, j + 345, y + 40);
        out_.line(pen, j + 350, y + 50, j + 355, y + 40);
    }

    void advance(int dy) {
        y_ += dy;
        height_ += dy;
    }

    int jx() const {
        return clamp_to_int(static_cast<std::int64_t>(client_.left) - scroll_x_ + column_);
    }
    int sy(std::int64_t content_y) const {
        return clamp_to_int(static_cast<std::int64_t>(client_.top) + content_y - scroll_y_);
    }
    // Whether content rows top..bottom reach into the client area; a few
    // pixels spare for pen widths and glyphs.
    bool visible(std::int64_t top, std::int64_t bottom) const {
        const std::int64_t t = static_cast<std::int64_t>(client_.top) + top - scroll_y_;
        const std::int64_t b = static_cast<std::int64_t>(client_.top) + bottom - scroll_y_;
        return b + 4 >= client_.top && t - 4 < client_.bottom;
    }

    PaintList& out_;
    Rect client_;
    int scroll_x_;
    int scroll_y_;
    std::int64_t column_ = kFirstColumn;  // content x of the column
    std::int64_t y_ = kContentTop;        // content y of the next item
    std::int64_t height_ = kContentTop;   // Hc
    std::int64_t width_ = kFirstColumn;   // Wc
};

}  // namespace

std::vector<plv::IterationStats> take_tree_snapshot(GuiState& gui) {
    std::lock_guard<std::mutex> lock(gui.state_mutex);
    return gui.iteration_history;
}

std::string tree_header_text(const std::string& population, const std::string& mutation,
                             const std::string& shuffle_percent,
                             const std::string& shuffle_intensity) {
    return "Poblacion: " + population + " | Mutacion: " + mutation + "%" +
           " | Shuffle Prob: " + shuffle_percent + "%" + " | Shuffle Int: " + shuffle_intensity +
           "%";
}

TreePaint build_mutation_tree(const std::vector<plv::IterationStats>& history,
                              const std::string& header, const Rect& client, int scroll_x,
                              int scroll_y) {
    TreePaint result;
    PaintList& out = result.paint;
    out.fill_rect(client, kBackground);
    if (history.empty()) {
        out.text(client.left + 14, client.top + 10, "Esperando iteraciones...", FontRole::ui,
                 kWaitingText);
        out.text(client.left + 14, client.top + 30, header, FontRole::small, kWaitingHeader);
        return result;
    }

    TreeWalk walk(out, client, scroll_x, scroll_y);
    double lowest = std::numeric_limits<double>::max();
    for (std::size_t i = 0; i < history.size(); ++i) {
        const plv::IterationStats& s = history[i];
        const double b = s.iteration_best_score;
        if (i == 0 || b < lowest - 1e-6) {
            walk.node(s, i == 0);
            for (const plv::CandidateScore& c : s.candidates) walk.discarded(c.score, c.shuffled);
            lowest = b;
        } else {
            for (const plv::CandidateScore& c : s.candidates) walk.discarded(c.score, c.shuffled);
            walk.discarded(b, s.best_from_shuffle);
        }
    }

    const std::int64_t wc = walk.content_width() + 200;
    const std::int64_t hc = walk.content_height();
    result.has_maxima = true;
    result.content_width = clamp_to_int(wc);
    result.content_height = clamp_to_int(hc);
    result.scroll_max_y = clamp_to_int(std::max<std::int64_t>(0, hc - (client.bottom - client.top)));
    result.scroll_max_x = clamp_to_int(std::max<std::int64_t>(0, wc - (client.right - client.left)));

    out.fill_rect(Rect{client.left, client.top, client.right, client.top + 30}, kBackground);
    out.text(client.left + 14, client.top + 8, header, FontRole::small, kHeaderText);
    return result;
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
