#include "engine/search_detail.hpp"

#include "engine/deterministic.hpp"
#include "engine/sheet_placement.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <utility>

namespace plv::detail {

namespace {

// Limits v to [lo, hi]; a value that is not a number becomes lo, so the
// counts derived from it stay defined.
double clamp_value(double v, double lo, double hi) {
    if (v > hi) return hi;
    if (v >= lo) return v;
    return lo;
}

std::int64_t clamp_index(std::int64_t v, std::int64_t lo, std::int64_t hi) {
    return v < lo ? lo : (v > hi ? hi : v);
}

std::int64_t nearest_int(double v) { return static_cast<std::int64_t>(plv::nearest(v)); }

// `count` swaps of a random item with one at most `window` places away.
void windowed_swaps(std::vector<NestingItem>& order, std::int64_t count, std::int64_t window,
                    std::mt19937& g) {
    const auto n = static_cast<std::int64_t>(order.size());
    for (std::int64_t s = 0; s < count; ++s) {
        const std::int64_t i = uniform_int(g, 0, n - 1);
        const std::int64_t d = uniform_int(g, -window, window);
        const std::int64_t j = clamp_index(i + d, 0, n - 1);
        if (j != i) std::swap(order[static_cast<std::size_t>(i)], order[static_cast<std::size_t>(j)]);
    }
}

bool angle_in_list(double angle, const std::vector<double>& angles) {
    return std::find(angles.begin(), angles.end(), angle) != angles.end();
}

}  // namespace

std::uint32_t candidate_seed(std::int32_t candidate, std::int32_t iteration, std::int32_t seed) {
    return static_cast<std::uint32_t>(iteration) * 1009u +
           static_cast<std::uint32_t>(candidate) * 9176u + static_cast<std::uint32_t>(seed);
}

IterativeNestingOptions placement_options(const IterativeNestingOptions& options) {
    IterativeNestingOptions copy;
    copy.spacing = options.spacing;
    copy.rotations = options.rotations;
    copy.max_sheets = options.max_sheets;
    copy.extra_positions = options.extra_positions;
    copy.optimization = options.optimization;
    copy.opt_ratio = options.opt_ratio;
    copy.top_k = options.top_k;
    copy.position_seed = options.position_seed;
    copy.solver = options.solver;
    copy.compact = false;
    return copy;
}

void sort_largest_first(std::vector<NestingItem>& items) {
    std::vector<std::pair<double, NestingItem>> keyed;
    keyed.reserve(items.size());
    for (const NestingItem& item : items) keyed.emplace_back(part_net_area(*item.part), item);
    merge_sort(keyed, [](const auto& a, const auto& b) { return a.first > b.first; });
    for (std::size_t i = 0; i < items.size(); ++i) items[i] = keyed[i].second;
}

CandidateEvaluation evaluate_candidate(std::int32_t candidate, const Sheet& sheet,
                                       const std::vector<NestingItem>& items,
                                       const IterativeNestingOptions& options,
                                       std::int32_t iteration, double width_ratio) {
    return evaluate_candidate(candidate, sheet, items, options, iteration, width_ratio,
                              std::max<std::int32_t>(options.population, 1));
}

CandidateEvaluation evaluate_candidate(std::int32_t candidate, const Sheet& sheet,
                                       const std::vector<NestingItem>& items,
                                       const IterativeNestingOptions& options,
                                       std::int32_t iteration, double width_ratio,
                                       std::int32_t population) {
    const std::int32_t N = candidate;
    const std::int32_t k = iteration;
    std::mt19937 g(candidate_seed(N, k, options.seed));

    // The elite is judged by the candidate count fixed at the start: a
    // population raised during a pause must not turn the single mutating
    // candidate into an unchanging elite.
    const bool elite = N == 0 && (k == 1 || population >= 2);

    std::vector<NestingItem> order = items;
    // A copy may carry an angle fixed before the rotation list was changed
    // during a pause; it must not keep an angle that is no longer allowed.
    for (NestingItem& item : order) {
        if (item.rotation_fixed && !angle_in_list(item.fixed_angle, options.rotations)) {
            item.rotation_fixed = false;
            item.fixed_angle = 0.0;
        }
    }
    if (k < 2) sort_largest_first(order);

    const auto n = static_cast<std::int64_t>(order.size());
    bool shuffled = false;
    if (!elite && n >= 2) {
        const double u1 = uniform_real(g, 0.0, 100.0);
        if (u1 < clamp_value(options.shuffle_percent, 0.0, 100.0)) {
            const double s = clamp_value(options.shuffle_intensity_percent, 0.0, 100.0) / 100.0;
            std::int64_t window = nearest_int((0.2 * s + 0.04) * static_cast<double>(n));
            if (window < 2) window = 1;
            std::int64_t swaps = nearest_int((0.65 * s + 0.1) * static_cast<double>(n));
            if (swaps < 2) swaps = 1;
            windowed_swaps(order, swaps, window, g);
            shuffled = true;
        } else {
            const std::int64_t swaps = nearest_int(
                clamp_value(options.mutation_percent, 0.0, 100.0) * static_cast<double>(n) / 100.0);
            if (swaps >= 1) {
                std::int64_t window =
                    static_cast<std::int64_t>(plv::truncate(0.15 * static_cast<double>(n)));
                if (window < 3) window = 2;
                windowed_swaps(order, swaps, window, g);
            }
        }
    }

    const std::vector<double>& angles = options.rotations;
    if (!elite && k >= 2 && angles.size() >= 2) {
        const double p = clamp_value(0.6 * options.mutation_percent + 10.0, 0.0, 75.0);
        const auto last = static_cast<std::int64_t>(angles.size()) - 1;
        for (NestingItem& item : order) {
            if (!item.part->allow_rotation) continue;
            const double u = uniform_real(g, 0.0, 100.0);
            if (u <= p) {
                item.rotation_fixed = true;
                item.fixed_angle = angles[static_cast<std::size_t>(uniform_int(g, 0, last))];
            }
        }
    }

    IterativeNestingOptions placement = placement_options(options);
    if (k >= 2 && (static_cast<std::int64_t>(k) + N) % 4 == 0 && placement.rotations.size() >= 2) {
        shuffle(placement.rotations, g);
    }
    if (!(k < 2 && N == 0)) {
        placement.top_k = static_cast<std::int32_t>(
            2 + nearest_int(clamp_value(options.mutation_percent, 0.0, 100.0) / 12.5));
        // 64-bit: the sum outgrows 32 bits in very long runs; it is folded
        // back into the non-negative 32-bit range.
        const std::int64_t seed = 37 * static_cast<std::int64_t>(k) + 101 * static_cast<std::int64_t>(N);
        placement.position_seed = static_cast<std::int32_t>(seed % 2147483648LL);
    }

    double ext = 0.0;
    for (const NestingItem& item : items) {
        const BoundingBox box = part_bounds(*item.part);
        if (box.width() > ext) ext = box.width();
        if (item.part->allow_rotation && box.height() > ext) ext = box.height();
    }

    Sheet virtual_sheet = sheet;
    double ratio = width_ratio;
    if (options.optimization == OptimizationType::compact_area) {
        if (N != 0) {
            const double W = sheet.width;
            const double a = clamp_value((2.0 * options.spacing + ext) / W, 0.28, 1.0);
            const double drawn = uniform_real(g, a, 1.0);
            double t = drawn;
            switch (N % 5) {
                case 1: t = a; break;
                case 2: t = (1.0 + a) * 0.5; break;
                case 3: t = 0.72; break;
                case 4: t = 0.55; break;
                default: break;
            }
            ratio = clamp_value(t, a, 1.0);
        }
        virtual_sheet.width = sheet.width * ratio;
    }

    CandidateEvaluation eval;
    eval.order = std::move(order);
    eval.shuffled = shuffled;
    eval.width_ratio = ratio;
    eval.result = place_items_on_sheets(virtual_sheet, eval.order, placement, {});
    eval.result.sheet = sheet;
    eval.score = eval.result.occupied_area();
    eval.unplaced_count = static_cast<std::int32_t>(eval.result.unplaced.size());
    eval.sheets_used = eval.result.sheets_used();
    return eval;
}

}  // namespace plv::detail
