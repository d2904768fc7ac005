#include "app/core/iteration_history.hpp"

namespace app {

void IterationHistory::push_back(const plv::IterationStats& stats) {
    for (const plv::CandidateScore& c : stats.candidates) {
        scores_.push_back(c.score);
        shuffled_.push_back(c.shuffled);
    }
    records_.push_back(Record{stats.iteration_best_score, stats.best_score, stats.improvement,
                              stats.utilization, stats.seconds_between_improvements, stats.iteration,
                              stats.best_from_shuffle, static_cast<std::uint64_t>(scores_.size())});
}

void IterationHistory::clear() {
    // Swapping with empty ones gives the blocks back; clear() may keep some.
    std::deque<Record>().swap(records_);
    std::deque<double>().swap(scores_);
    std::vector<bool>().swap(shuffled_);
    ++generation_;
}

IterationHistory& IterationHistory::operator=(const std::vector<plv::IterationStats>& all) {
    clear();
    for (const plv::IterationStats& s : all) push_back(s);
    return *this;
}

plv::IterationStats IterationHistory::operator[](std::size_t i) const {
    const Record& r = records_[i];
    plv::IterationStats s;
    s.iteration = r.iteration;
    s.iteration_best_score = r.iteration_best_score;
    s.best_score = r.best_score;
    s.improvement = r.improvement;
    s.utilization = r.utilization;
    s.seconds_between_improvements = r.seconds_between_improvements;
    s.best_from_shuffle = r.best_from_shuffle;
    const std::size_t n = candidate_count(i);
    s.candidates.reserve(n);
    for (std::size_t k = 0; k < n; ++k) s.candidates.push_back(candidate(i, k));
    return s;
}

std::size_t IterationHistory::candidate_count(std::size_t i) const {
    return static_cast<std::size_t>(records_[i].candidates_end) - candidates_begin(i);
}

plv::CandidateScore IterationHistory::candidate(std::size_t i, std::size_t k) const {
    const std::size_t at = candidates_begin(i) + k;
    return plv::CandidateScore{scores_[at], shuffled_[at]};
}

}  // namespace app
