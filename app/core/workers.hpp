#pragma once

// Bookkeeping of the detached worker threads (the run thread, the preview
// threads), so that the end of the program can wait a bounded time for them
// and knows whether anything they use may be released.
//
// A worker's ticket is taken on the user-interface thread before the thread
// starts and moved into it; it counts the worker as live until the ticket is
// destroyed, which the thread does as its very last act.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

namespace app {

enum class WorkerKind { run, preview };

class WorkerTracker {
public:
    class Ticket {
    public:
        Ticket() = default;
        Ticket(Ticket&& other) noexcept;
        Ticket& operator=(Ticket&& other) noexcept;
        Ticket(const Ticket&) = delete;
        Ticket& operator=(const Ticket&) = delete;
        ~Ticket();

        // Ends the count early (the destructor then does nothing).
        void finish();

    private:
        friend class WorkerTracker;
        Ticket(WorkerTracker* tracker, WorkerKind kind) : tracker_(tracker), kind_(kind) {}
        WorkerTracker* tracker_ = nullptr;
        WorkerKind kind_ = WorkerKind::run;
    };

    Ticket begin(WorkerKind kind);

    int live(WorkerKind kind) const;
    int live_total() const;

    // Waits until no worker is live or the time is up; true when none is.
    bool wait_idle_for(std::chrono::milliseconds timeout) const;

private:
    void end(WorkerKind kind);

    mutable std::mutex mutex_;
    mutable std::condition_variable idle_;
    int runs_ = 0;
    int previews_ = 0;
};

// The process-wide tracker, never destroyed.
WorkerTracker& worker_tracker();

// Release of the GPU accelerator at shutdown: only while no run thread is
// live, because a run may be evaluating on it. Asked for when the main
// window is destroyed; when a run is live then, the release waits until the
// bounded wait for the workers is over, and is skipped for good when the run
// still has not ended.
class GpuReleaseGate {
public:
    GpuReleaseGate(const WorkerTracker& tracker, std::function<void()> release)
        : tracker_(tracker), release_(std::move(release)) {}

    // Releases now when no run is live, else leaves the release pending.
    // True when it was done.
    bool request();
    // Does a pending release once no run is live; true when none is left.
    bool retry();
    bool pending() const { return pending_; }

private:
    const WorkerTracker& tracker_;
    std::function<void()> release_;
    bool pending_ = false;
};

// The end of the process after the message loop: waits up to timeout for
// the workers, giving `pump` a turn every slice (the shell services messages
// sent to its remaining windows there), then retries a pending GPU release. True
// when every worker has ended, so process-wide state may be destroyed;
// false means the caller must leave without running static destructors.
bool finish_workers(const WorkerTracker& tracker, GpuReleaseGate& gpu,
                    std::chrono::milliseconds timeout, std::chrono::milliseconds slice,
                    const std::function<void()>& pump);

}  // namespace app
