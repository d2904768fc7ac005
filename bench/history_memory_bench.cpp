// Heap bytes per iteration of a run's history: the engine's own list of
// IterationStats (which the window used to copy as well), the window's
// compact store, and what the tree's and the graph's views keep on top of
// it. Measured from the allocator's own figures (glibc), so block and
// bookkeeping overheads count too.
//
//   history_memory_bench [iterations]

#include "app/core/graph_model.hpp"
#include "app/core/iteration_history.hpp"
#include "app/core/tree_model.hpp"
#include "engine/model.hpp"

#include <cstdio>
#include <cstdlib>
#include <vector>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {

long long heap_in_use() {
#if defined(__GLIBC__)
    const struct mallinfo2 m = mallinfo2();
    return static_cast<long long>(m.uordblks + m.hblkhd);
#else
    return -1;
#endif
}

plv::IterationStats entry(std::size_t i, int candidates) {
    plv::IterationStats s;
    s.iteration = static_cast<std::int32_t>(i + 1);
    s.iteration_best_score = 1e9 - static_cast<double>(i % 97);
    s.best_score = 1e9 - static_cast<double>(i / 50);
    s.utilization = 0.5;
    s.best_from_shuffle = i % 13 == 0;
    for (int k = 0; k < candidates; ++k) s.candidates.push_back({2e9 + k, k == 0 && i % 7 == 0});
    return s;
}

void measure(std::size_t n, int population) {
    const int candidates = population - 1;
    const double per = static_cast<double>(n);

    long long before = heap_in_use();
    {
        std::vector<plv::IterationStats> engine_list;
        for (std::size_t i = 0; i < n; ++i) engine_list.push_back(entry(i, candidates));
        const long long used = heap_in_use() - before;
        std::printf("population %d: vector<IterationStats> (engine's history) %.1f B/iteration\n", population,
                    static_cast<double>(used) / per);
    }

    before = heap_in_use();
    app::IterationHistory store;
    for (std::size_t i = 0; i < n; ++i) store.push_back(entry(i, candidates));
    const long long stored = heap_in_use() - before;

    before = heap_in_use();
    app::MutationTreeView tree;
    app::ConvergenceGraphView graph;
    tree.update(store);
    graph.update(store);
    const long long views = heap_in_use() - before;
    std::printf("population %d: window's IterationHistory %.1f B/iteration, tree and graph views %.2f B/iteration\n",
                population, static_cast<double>(stored) / per, static_cast<double>(views) / per);
}

}  // namespace

int main(int argc, char** argv) {
    if (heap_in_use() < 0) {
        std::printf("heap figures need glibc; nothing measured\n");
        return 0;
    }
    const std::size_t n = argc > 1 ? static_cast<std::size_t>(std::atoll(argv[1])) : 1000000;
    std::printf("%zu iterations\n", n);
    for (int population : {1, 4, 8}) measure(n, population);
    return 0;
}
