#include "app/core/iteration_history.hpp"

namespace app {

void IterationHistory::push_back(const plv::IterationStats& stats) {
    candidates_.insert(candidates_.end(), stats.candidates.begin(), stats.candidates.end());
    records_.push_back(Record{stats.iteration_best_score, stats.best_score, stats.improvement,
                              stats.utilization, stats.seconds_between_improvements, stats.iteration,
                              stats.best_from_shuffle, static_cast<std::uint64_t>(candidates_.size())});
}

void IterationHistory::clear() {
    // Swapping with empty ones gives the blocks back; clear() may keep some.
    std::deque<Record>().swap(records_);
    std::deque<plv::CandidateScore>().swap(candidates_);
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
    const std::size_t begin = candidates_begin(i);
    s.candidates.assign(candidates_.begin() + static_cast<std::ptrdiff_t>(begin),
                        candidates_.begin() + static_cast<std::ptrdiff_t>(r.candidates_end));
    return s;
}

std::size_t IterationHistory::candidate_count(std::size_t i) const {
    return static_cast<std::size_t>(records_[i].candidates_end) - candidates_begin(i);
}

const plv::CandidateScore& IterationHistory::candidate(std::size_t i, std::size_t k) const {
    return candidates_[candidates_begin(i) + k];
}

}  // namespace app
