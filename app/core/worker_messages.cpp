#include "app/core/worker_messages.hpp"

namespace app {

bool MessageQueue::post(unsigned message) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        messages_.push_back(message);
    }
    ready_.notify_one();
    return true;
}

std::optional<unsigned> MessageQueue::take(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!ready_.wait_for(lock, timeout, [this] { return !messages_.empty(); })) return std::nullopt;
    const unsigned message = messages_.front();
    messages_.pop_front();
    return message;
}

std::size_t MessageQueue::size() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return messages_.size();
}

}  // namespace app
