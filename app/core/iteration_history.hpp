#pragma once

// The history of a run as the window keeps it. An unlimited run goes on for
// hours, so every iteration is one compact record and the candidates of all
// iterations share one pool (scores, and shuffled flags a bit each); records
// and scores grow in blocks, so appending never moves them. Entries are only
// appended, or all dropped or replaced at once; the generation tells the
// views that derive their own state from the history when they must start
// over.

#include "engine/model.hpp"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

namespace app {

class IterationHistory {
public:
    std::size_t size() const { return records_.size(); }
    bool empty() const { return records_.empty(); }

    void push_back(const plv::IterationStats& stats);
    void clear();
    IterationHistory& operator=(const std::vector<plv::IterationStats>& all);

    // Entry i rebuilt as the engine reported it.
    plv::IterationStats operator[](std::size_t i) const;

    // Fields of entry i, read without rebuilding it.
    std::int32_t iteration(std::size_t i) const { return records_[i].iteration; }
    double iteration_best_score(std::size_t i) const { return records_[i].iteration_best_score; }
    double best_score(std::size_t i) const { return records_[i].best_score; }
    double utilization(std::size_t i) const { return records_[i].utilization; }
    bool best_from_shuffle(std::size_t i) const { return records_[i].best_from_shuffle; }
    std::size_t candidate_count(std::size_t i) const;
    plv::CandidateScore candidate(std::size_t i, std::size_t k) const;

    // Changes whenever entries are dropped or replaced, never on an append.
    std::uint64_t generation() const { return generation_; }

private:
    struct Record {
        double iteration_best_score;
        double best_score;
        double improvement;
        double utilization;
        double seconds_between_improvements;
        std::int32_t iteration;
        bool best_from_shuffle;
        std::uint64_t candidates_end;  // one past this entry's last candidate in the pool
    };

    std::size_t candidates_begin(std::size_t i) const {
        return i == 0 ? 0 : static_cast<std::size_t>(records_[i - 1].candidates_end);
    }

    std::deque<Record> records_;
    // The candidates' scores, and their shuffled flags a bit each.
    std::deque<double> scores_;
    std::vector<bool> shuffled_;
    std::uint64_t generation_ = 0;
};

}  // namespace app
