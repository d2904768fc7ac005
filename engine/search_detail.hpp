#pragma once

// Internals of the genetic search, reachable for tests: one candidate of one
// iteration, and the order in which layouts are ranked.

#include "engine/model.hpp"

#include <climits>
#include <cstdint>
#include <limits>
#include <vector>

namespace plv::detail {

struct CandidateEvaluation {
    NestingResult result;  // on the real sheet
    std::vector<NestingItem> order;  // the order placed, with any fixed rotations
    double score = std::numeric_limits<double>::infinity();
    std::int32_t unplaced_count = INT_MAX;  // INT_MAX: no candidate taken yet
    std::int32_t sheets_used = INT_MAX;
    double width_ratio = 1.0;
    bool shuffled = false;

    bool empty() const { return unplaced_count == INT_MAX; }
};

// Fewer unplaced copies, then fewer sheets, then a smaller occupied area.
inline bool is_better(const CandidateEvaluation& a, const CandidateEvaluation& b) {
    if (a.unplaced_count != b.unplaced_count) return a.unplaced_count < b.unplaced_count;
    if (a.sheets_used != b.sheets_used) return a.sheets_used < b.sheets_used;
    return a.score < b.score;
}

// The candidate's generator seed: k * 1009 + N * 9176 + seed, wrapping in
// 32 bits.
std::uint32_t candidate_seed(std::int32_t candidate, std::int32_t iteration, std::int32_t seed);

// Candidate `candidate` of iteration `iteration` (from 1), derived from the
// shared best order `items` and the shared width ratio. `population` is the
// number of candidates per iteration as fixed when the search started; it
// decides whether candidate 0 is the elite. Reads the options as they are
// when called.
CandidateEvaluation evaluate_candidate(std::int32_t candidate, const Sheet& sheet,
                                       const std::vector<NestingItem>& items,
                                       const IterativeNestingOptions& options,
                                       std::int32_t iteration, double width_ratio,
                                       std::int32_t population);

// The same with the population read from the options (at least 1).
CandidateEvaluation evaluate_candidate(std::int32_t candidate, const Sheet& sheet,
                                       const std::vector<NestingItem>& items,
                                       const IterativeNestingOptions& options,
                                       std::int32_t iteration, double width_ratio);

// Copies the fields that steer placement; the rest keep their defaults.
IterativeNestingOptions placement_options(const IterativeNestingOptions& options);

// Sorts copies by the net area of their part, largest first; copies of equal
// area keep their order.
void sort_largest_first(std::vector<NestingItem>& items);

}  // namespace plv::detail
