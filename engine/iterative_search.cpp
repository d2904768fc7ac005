#include "engine/iterative_search.hpp"

#include "engine/array_layout.hpp"
#include "engine/perf_log.hpp"
#include "engine/search_detail.hpp"
#include "engine/sheet_placement.hpp"

#include <algorithm>
#include <chrono>
#include <exception>
#include <future>
#include <stdexcept>
#include <utility>

namespace plv {

namespace {

using detail::CandidateEvaluation;

void check_job(const Sheet& sheet, const IterativeNestingOptions& options) {
    validate_nesting_inputs(sheet, options);
    if (options.iterations < 1) throw std::runtime_error("Iterations must be at least 1.");
}

PerfRecord make_record(std::int32_t iteration, const IterativeNestingOptions& options,
                       const NestingResult& best) {
    PerfRecord record;
    record.iteration = iteration;
    record.solver = options.solver;
    record.parts_placed = static_cast<std::int32_t>(best.placements.size());
    if (options.solver == Solver::gpu || options.solver == Solver::dual_gpu) {
        record.gpu_name = detail::first_gpu_device_name();
    }
    return record;
}

IterationStats single_layout_stats(const NestingResult& result) {
    IterationStats stats;
    stats.iteration = 1;
    stats.iteration_best_score = result.occupied_area();
    stats.best_score = stats.iteration_best_score;
    stats.improvement = 0.0;
    stats.utilization = result.utilization();
    stats.seconds_between_improvements = 0.0;
    stats.best_from_shuffle = false;
    return stats;
}

// Array sheets of the high-quantity parts first, then the other copies,
// largest first, placed once into the space left.
NestingResult place_after_arrays(const Sheet& sheet, std::vector<std::vector<Placement>> sheets,
                                 const std::vector<Part>& remaining,
                                 const IterativeNestingOptions& options) {
    if (remaining.empty()) {
        NestingResult arrays;
        arrays.sheet = sheet;
        move_sheets_into(sheets, arrays.placements);
        return arrays;
    }
    std::vector<NestingItem> items = expand_items(remaining);
    detail::sort_largest_first(items);
    IterativeNestingOptions placement = detail::placement_options(options);
    placement.max_sheets = max_sheets_after_arrays(options.max_sheets, sheets.size());
    return place_items_on_sheets(sheet, items, placement, std::move(sheets));
}

}  // namespace

IterativeNestingResult nest_parts_iterative(const Sheet& sheet, const std::vector<Part>& parts,
                                            const IterativeNestingOptions& options,
                                            const ProgressCallback& progress) {
    check_job(sheet, options);

    IterativeNestingResult out;

    if (try_single_part_array_layout(sheet, parts, options, out.result)) {
        const IterationStats stats = single_layout_stats(out.result);
        out.history.push_back(stats);
        if (progress) progress(stats, out.result, out.result);
        return out;
    }

    {
        std::vector<std::vector<Placement>> arrays;
        std::vector<Part> remaining;
        if (place_high_quantity_array_sheets(sheet, parts, options, arrays, remaining)) {
            out.result = place_after_arrays(sheet, std::move(arrays), remaining, options);
            const IterationStats stats = single_layout_stats(out.result);
            out.history.push_back(stats);
            if (progress) progress(stats, out.result, out.result);
            if (options.perf_log != nullptr && options.perf_log->is_enabled()) {
                options.perf_log->add_record(make_record(1, options, out.result));
                options.perf_log->write_csv();
            }
            return out;
        }
    }

    using Clock = std::chrono::steady_clock;
    std::vector<NestingItem> items = expand_items(parts);
    double width_ratio = 1.0;
    CandidateEvaluation best;  // keys only; the layout lives in out.result
    double first_score = 0.0;
    Clock::time_point last_improvement = Clock::now();
    double seconds_between = 0.0;
    const std::int32_t threads = std::max<std::int32_t>(options.threads, 1);
    const std::int32_t population = std::max<std::int32_t>(options.population, 1);

    for (std::int32_t k = 1;; ++k) {
        CandidateEvaluation iteration_best;
        std::vector<CandidateScore> scores;
        scores.reserve(static_cast<std::size_t>(population));

        for (std::int32_t g = 0; g < population;) {
            const std::int32_t batch = std::min(population - g, threads);
            std::vector<std::future<CandidateEvaluation>> tasks;
            tasks.reserve(static_cast<std::size_t>(batch));
            // Tasks read the shared values by reference; nothing changes them
            // until the whole batch is collected.
            for (std::int32_t i = 0; i < batch; ++i) {
                tasks.push_back(std::async(std::launch::async, [&, n = g + i] {
                    return detail::evaluate_candidate(n, sheet, items, options, k, width_ratio,
                                                      population);
                }));
            }
            std::exception_ptr failure;
            for (auto& task : tasks) {
                if (failure) {
                    task.wait();
                    continue;
                }
                try {
                    CandidateEvaluation c = task.get();
                    scores.push_back(CandidateScore{c.score, c.shuffled});
                    if (iteration_best.empty() || detail::is_better(c, iteration_best)) {
                        iteration_best = std::move(c);
                    }
                } catch (...) {
                    failure = std::current_exception();
                }
            }
            if (failure) std::rethrow_exception(failure);
            g += batch;
        }

        if (detail::is_better(iteration_best, best)) {
            best.unplaced_count = iteration_best.unplaced_count;
            best.sheets_used = iteration_best.sheets_used;
            best.score = iteration_best.score;
            out.result = iteration_best.result;
            items = iteration_best.order;
            width_ratio = iteration_best.width_ratio;
            const Clock::time_point now = Clock::now();
            seconds_between =
                static_cast<double>(
                    std::chrono::duration_cast<std::chrono::nanoseconds>(now - last_improvement)
                        .count()) /
                1e9;
            last_improvement = now;
        }

        IterationStats stats;
        stats.iteration = k;
        stats.iteration_best_score = iteration_best.score;
        stats.best_score = best.score;
        if (k == 1) first_score = iteration_best.score;
        stats.improvement = std::max(first_score - best.score, 0.0);
        stats.utilization = out.result.utilization();
        stats.seconds_between_improvements = seconds_between;
        const auto winner = std::find_if(scores.begin(), scores.end(), [&](const CandidateScore& c) {
            return c.score == iteration_best.score;
        });
        if (winner != scores.end()) scores.erase(winner);
        stats.candidates = std::move(scores);
        stats.best_from_shuffle = iteration_best.shuffled;
        out.history.push_back(stats);

        bool stopped = false;
        if (progress) {
            stopped = !progress(out.history.back(), iteration_best.result, out.result);
            // The callback may have rewritten the options; a job it made
            // invalid ends here, as it would have at the start.
            if (!stopped) validate_nesting_inputs(sheet, options);
        }
        if (!stopped && options.perf_log != nullptr && options.perf_log->is_enabled()) {
            options.perf_log->add_record(make_record(k, options, out.result));
        }
        if (stopped || k >= options.iterations) break;
    }

    if (options.perf_log != nullptr) options.perf_log->write_csv();
    return out;
}

}  // namespace plv
