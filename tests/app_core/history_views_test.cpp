// The run's history as the window keeps it, and the two side windows' views
// of it: the compact store gives back what was reported, the tree's and the
// graph's views kept as the history grows paint exactly what a reading of
// the whole history paints, and a paint of a long run holds no more
// primitives, and copies no more entries, than the view shows.

#include "app/core/graph_model.hpp"
#include "app/core/gui_state.hpp"
#include "app/core/iteration_history.hpp"
#include "app/core/tree_model.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

namespace {

using app::Rect;

const Rect kTreeClient{0, 0, 584, 761};
const Rect kGraphClient{0, 0, 584, 361};
const std::string kHeader = "Poblacion: 4 | Mutacion: 8% | Shuffle Prob: 10% | Shuffle Int: 15%";

// Entry i of a history that repeats every 10 iterations: three losing
// candidates each (one of them shuffled every fifth iteration), a new best
// every third iteration, now and then from a shuffle.
plv::IterationStats periodic_entry(std::size_t i) {
    plv::IterationStats s;
    s.iteration = static_cast<std::int32_t>(i + 1);
    const std::size_t step = i / 10 * 4 + (i % 10) / 3;
    s.iteration_best_score = (i % 10) % 3 == 0 ? 1e9 - 1000.0 * static_cast<double>(step) : 2e9;
    s.best_score = 1e9 - 1000.0 * static_cast<double>(step);
    s.improvement = 1000.0 * static_cast<double>(step);
    s.utilization = 0.5;
    s.seconds_between_improvements = 0.25;
    s.best_from_shuffle = i % 10 == 6;
    for (int k = 0; k < 3; ++k) s.candidates.push_back({2e9 + k, k == 0 && i % 5 == 2});
    return s;
}

std::vector<plv::IterationStats> periodic_history(std::size_t n) {
    std::vector<plv::IterationStats> h;
    for (std::size_t i = 0; i < n; ++i) h.push_back(periodic_entry(i));
    return h;
}

std::vector<app::GraphEntry> graph_entries(const std::vector<plv::IterationStats>& h) {
    std::vector<app::GraphEntry> out;
    for (const plv::IterationStats& s : h) out.push_back({s.iteration, s.best_score});
    return out;
}

bool same_stats(const plv::IterationStats& a, const plv::IterationStats& b) {
    if (a.candidates.size() != b.candidates.size()) return false;
    for (std::size_t k = 0; k < a.candidates.size(); ++k)
        if (a.candidates[k].score != b.candidates[k].score || a.candidates[k].shuffled != b.candidates[k].shuffled)
            return false;
    return a.iteration == b.iteration && a.iteration_best_score == b.iteration_best_score &&
           a.best_score == b.best_score && a.improvement == b.improvement && a.utilization == b.utilization &&
           a.seconds_between_improvements == b.seconds_between_improvements &&
           a.best_from_shuffle == b.best_from_shuffle;
}

bool same_ops(const app::PaintList& a, const app::PaintList& b) {
    if (a.ops.size() != b.ops.size()) return false;
    for (std::size_t i = 0; i < a.ops.size(); ++i) {
        const app::PaintOp& x = a.ops[i];
        const app::PaintOp& y = b.ops[i];
        if (x.kind != y.kind || x.rect != y.rect || x.points != y.points || x.pen != y.pen ||
            x.has_fill != y.has_fill || x.fill != y.fill || x.x != y.x || x.y != y.y || x.text != y.text ||
            x.font != y.font || x.colour != y.colour)
            return false;
    }
    return true;
}

// Whether every operation of a tree paint, but the background and the
// header bar, lies across rows of the client area, or within one item's
// height (a discarded shuffle's 120 px, with the 4 px spare) of them.
bool only_rows_in_view(const app::PaintList& list, const Rect& client) {
    for (std::size_t i = 1; i + 2 < list.ops.size(); ++i) {
        const app::PaintOp& op = list.ops[i];
        int top = op.rect.top;
        int bottom = op.rect.bottom;
        if (op.kind == app::OpKind::text) {
            top = op.y;
            bottom = op.y + 16;
        } else if (!op.points.empty()) {
            top = bottom = op.points.front().y;
            for (const app::PixelPoint& p : op.points) {
                top = std::min(top, p.y);
                bottom = std::max(bottom, p.y);
            }
        }
        if (bottom < client.top - 124 || top > client.bottom + 124) return false;
    }
    return true;
}

// Primitives of a paint list: its operations and the points they draw through.
std::size_t primitives(const app::PaintList& list) {
    std::size_t n = list.ops.size();
    for (const app::PaintOp& op : list.ops) n += op.points.size();
    return n;
}

TEST(IterationHistoryStore, GivesBackWhatWasReportedAndCountsResets) {
    app::IterationHistory store;
    const std::vector<plv::IterationStats> h = periodic_history(25);
    const std::uint64_t start = store.generation();
    for (const plv::IterationStats& s : h) store.push_back(s);
    plv::IterationStats bare;  // no candidates at all
    bare.iteration = 26;
    store.push_back(bare);
    EXPECT_EQ(store.generation(), start);  // appending is no reset
    ASSERT_EQ(store.size(), 26u);
    for (std::size_t i = 0; i < h.size(); ++i) {
        EXPECT_TRUE(same_stats(store[i], h[i])) << i;
        EXPECT_EQ(store.candidate_count(i), 3u);
        EXPECT_EQ(store.candidate(i, 2).score, h[i].candidates[2].score);
    }
    EXPECT_TRUE(store[25].candidates.empty());

    store = h;
    EXPECT_NE(store.generation(), start);
    EXPECT_EQ(store.size(), 25u);
    EXPECT_TRUE(same_stats(store[24], h[24]));
    const std::uint64_t replaced = store.generation();
    store.clear();
    EXPECT_TRUE(store.empty());
    EXPECT_NE(store.generation(), replaced);
}

// The history as the run delivers it: appended in bursts between paints,
// once dropped (a preview start) and once replaced (the run's end).
TEST(HistoryViews, KeptAsTheHistoryGrowsTheyPaintWhatTheWholeHistoryPaints) {
    const std::vector<plv::IterationStats> all = periodic_history(1500);
    app::GuiState gui;
    app::MutationTreeView tree;
    app::ConvergenceGraphView graph;
    const std::size_t bursts[] = {1, 1, 5, 60, 63, 64, 65, 200, 301, 400, 340};
    std::vector<plv::IterationStats> shown;  // what the store holds, read in full

    auto check = [&](const char* when) {
        const std::size_t n = shown.size();
        gui.live_stats.iteration = static_cast<std::int32_t>(n);
        const app::TreePaint whole = app::build_mutation_tree(shown, kHeader, kTreeClient, 0, 0);
        for (int scroll_y : {0, 17, 2000, whole.scroll_max_y / 2, whole.scroll_max_y}) {
            for (int scroll_x : {0, 350}) {
                const app::TreeSlice slice =
                    app::take_tree_slice(gui, tree, kTreeClient.bottom - kTreeClient.top, scroll_y);
                const app::TreePaint kept =
                    app::build_mutation_tree_slice(slice, kHeader, kTreeClient, scroll_x, scroll_y);
                const app::TreePaint full = app::build_mutation_tree(shown, kHeader, kTreeClient, scroll_x, scroll_y);
                EXPECT_TRUE(same_ops(kept.paint, full.paint)) << when << " n " << n << " at " << scroll_y;
                EXPECT_EQ(kept.has_maxima, full.has_maxima) << when;
                EXPECT_EQ(kept.content_height, full.content_height) << when << " n " << n;
                EXPECT_EQ(kept.content_width, full.content_width) << when << " n " << n;
                EXPECT_EQ(kept.scroll_max_y, full.scroll_max_y) << when;
                EXPECT_EQ(kept.scroll_max_x, full.scroll_max_x) << when;
            }
        }
        const app::GraphSnapshot snap = app::take_graph_snapshot(gui, graph);
        const app::GraphSnapshot plain = app::graph_snapshot_of(graph_entries(shown), static_cast<std::int32_t>(n));
        EXPECT_EQ(snap.count, n);
        EXPECT_EQ(snap.success_count, plain.success_count) << when;
        EXPECT_TRUE(same_ops(app::build_convergence_graph(snap, kGraphClient),
                             app::build_convergence_graph(plain, kGraphClient)))
            << when << " n " << n;
    };

    std::size_t next = 0;
    for (std::size_t burst : bursts) {
        for (std::size_t k = 0; k < burst && next < all.size(); ++k, ++next) {
            gui.iteration_history.push_back(all[next]);
            shown.push_back(all[next]);
        }
        check("growing");
        if (next == 194) {
            gui.iteration_history.clear();
            shown.clear();
            check("dropped");
        }
    }
    // The end replaces the history with the engine's: a different one of
    // the same length starts both views over.
    std::vector<plv::IterationStats> final_history = periodic_history(shown.size() + 7);
    final_history.erase(final_history.begin(), final_history.begin() + 7);
    gui.iteration_history = final_history;
    shown = final_history;
    check("replaced");
}

TEST(HistoryViews, APaintOfALongRunHoldsOnlyWhatIsInView) {
    // A history long enough to fill the tree window many times over, and one
    // of 10^5 iterations. The history repeats every 10 iterations, so any
    // view of the long one shows as much as some view of the short one.
    constexpr std::size_t kShort = 600;
    constexpr std::size_t kLong = 100000;
    const int height = kTreeClient.bottom - kTreeClient.top;
    app::GuiState short_gui;
    app::GuiState long_gui;
    for (std::size_t i = 0; i < kLong; ++i) {
        const plv::IterationStats s = periodic_entry(i);
        if (i < kShort) short_gui.iteration_history.push_back(s);
        long_gui.iteration_history.push_back(s);
    }

    // The most any view of the short history draws.
    app::MutationTreeView short_tree;
    std::size_t most = 0;
    const int short_max = app::build_mutation_tree_slice(app::take_tree_slice(short_gui, short_tree, height, 0),
                                                         kHeader, kTreeClient, 0, 0)
                              .scroll_max_y;
    ASSERT_GT(short_max, 10 * height);
    for (int y = 0; y <= short_max; y += 7) {
        const app::TreeSlice slice = app::take_tree_slice(short_gui, short_tree, height, y);
        most = std::max(most, primitives(app::build_mutation_tree_slice(slice, kHeader, kTreeClient, 0, y).paint));
    }

    app::MutationTreeView long_tree;
    const app::TreeSlice top = app::take_tree_slice(long_gui, long_tree, height, 0);
    const int long_max = app::build_mutation_tree_slice(top, kHeader, kTreeClient, 0, 0).scroll_max_y;
    ASSERT_GT(long_max, 1000 * height);
    // An entry is at least 18 px high: a view shows at most this many.
    const std::size_t in_view = static_cast<std::size_t>(height) / 18 + 2;
    for (int y : {0, long_max / 3, long_max - 5 * height, long_max}) {
        const app::TreeSlice slice = app::take_tree_slice(long_gui, long_tree, height, y);
        EXPECT_LE(slice.entries.size(), in_view) << "copied for a view at " << y;
        const app::TreePaint paint = app::build_mutation_tree_slice(slice, kHeader, kTreeClient, 0, y);
        EXPECT_LE(primitives(paint.paint), most) << "drawn for a view at " << y;
        EXPECT_TRUE(only_rows_in_view(paint.paint, kTreeClient)) << "drawn for a view at " << y;
        EXPECT_EQ(paint.scroll_max_y, long_max);
    }

    // The graph: 220 iterations and 120 successes whatever the length.
    app::GuiState graph_short;
    for (std::size_t i = 0; i < kShort; ++i) graph_short.iteration_history.push_back(periodic_entry(i));
    app::ConvergenceGraphView short_graph;
    const app::GraphSnapshot short_snap = app::take_graph_snapshot(graph_short, short_graph);
    ASSERT_GE(short_snap.success_count, app::kGraphSuccessWindow);
    const std::size_t graph_most = primitives(app::build_convergence_graph(short_snap, kGraphClient));

    app::ConvergenceGraphView long_graph;
    const app::GraphSnapshot snap = app::take_graph_snapshot(long_gui, long_graph);
    EXPECT_EQ(snap.count, kLong);
    EXPECT_LE(snap.history.size(), app::kGraphAreaWindow);
    EXPECT_LE(snap.successes.size(), app::kGraphSuccessWindow);
    EXPECT_LE(primitives(app::build_convergence_graph(snap, kGraphClient)), graph_most);
}

}  // namespace
