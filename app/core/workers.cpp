#include "app/core/workers.hpp"

#include <algorithm>

namespace app {

WorkerTracker::Ticket::Ticket(Ticket&& other) noexcept
    : tracker_(other.tracker_), kind_(other.kind_) {
    other.tracker_ = nullptr;
}

WorkerTracker::Ticket& WorkerTracker::Ticket::operator=(Ticket&& other) noexcept {
    if (this != &other) {
        finish();
        tracker_ = other.tracker_;
        kind_ = other.kind_;
        other.tracker_ = nullptr;
    }
    return *this;
}

WorkerTracker::Ticket::~Ticket() { finish(); }

void WorkerTracker::Ticket::finish() {
    if (tracker_ == nullptr) return;
    WorkerTracker* tracker = tracker_;
    tracker_ = nullptr;
    tracker->end(kind_);
}

WorkerTracker::Ticket WorkerTracker::begin(WorkerKind kind) {
    std::lock_guard<std::mutex> lock(mutex_);
    (kind == WorkerKind::run ? runs_ : previews_) += 1;
    return Ticket(this, kind);
}

void WorkerTracker::end(WorkerKind kind) {
    std::lock_guard<std::mutex> lock(mutex_);
    (kind == WorkerKind::run ? runs_ : previews_) -= 1;
    if (runs_ + previews_ == 0) idle_.notify_all();
}

int WorkerTracker::live(WorkerKind kind) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return kind == WorkerKind::run ? runs_ : previews_;
}

int WorkerTracker::live_total() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return runs_ + previews_;
}

bool WorkerTracker::wait_idle_for(std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return idle_.wait_for(lock, timeout, [this] { return runs_ + previews_ == 0; });
}

WorkerTracker& worker_tracker() {
    static WorkerTracker* tracker = new WorkerTracker();
    return *tracker;
}

bool GpuReleaseGate::request() {
    pending_ = true;
    return retry();
}

bool GpuReleaseGate::retry() {
    if (!pending_) return true;
    if (tracker_.live(WorkerKind::run) != 0) return false;
    pending_ = false;
    if (release_) release_();
    return true;
}

bool finish_workers(const WorkerTracker& tracker, GpuReleaseGate& gpu,
                    std::chrono::milliseconds timeout, std::chrono::milliseconds slice,
                    const std::function<void()>& pump) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    bool idle = tracker.wait_idle_for(std::chrono::milliseconds(0));
    while (!idle) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) break;
        if (pump) pump();
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
        idle = tracker.wait_idle_for(std::min(slice, left));
    }
    gpu.retry();
    return idle;
}

}  // namespace app
