#pragma once

// How a worker tells the user-interface thread that a result waits in
// GuiState: one of the three worker messages, posted, never sent, so the
// worker never waits. The window shell posts to the main window; tests use
// the queue below.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>

namespace app {

class MessagePoster {
public:
    virtual ~MessagePoster() = default;
    // False when the message could not be posted (the window is gone).
    virtual bool post(unsigned message) = 0;
};

// A thread-safe first-in first-out queue of posted messages.
class MessageQueue : public MessagePoster {
public:
    bool post(unsigned message) override;
    // The oldest message, waiting up to timeout for one.
    std::optional<unsigned> take(std::chrono::milliseconds timeout);
    std::size_t size() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<unsigned> messages_;
};

}  // namespace app
