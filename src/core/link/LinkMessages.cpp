#include "link/LinkMessages.h"

#include <algorithm>

namespace thermivo {

void MessageQueue::post(std::uint32_t message, std::int64_t wParam, std::int64_t lParam) {
    {
        std::lock_guard lock(mutex_);
        queue_.push_back({message, wParam, lParam});
    }
    posted_.notify_all();
}

std::vector<PostedMessage> MessageQueue::drain() {
    std::lock_guard lock(mutex_);
    std::vector<PostedMessage> out(queue_.begin(), queue_.end());
    queue_.clear();
    return out;
}

std::optional<PostedMessage> MessageQueue::waitFor(std::uint32_t message, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    std::optional<PostedMessage> found;
    auto take = [&] {
        auto it = std::find_if(queue_.begin(), queue_.end(),
                               [&](const PostedMessage& m) { return m.message == message; });
        if (it == queue_.end()) return false;
        found = *it;
        queue_.erase(it);
        return true;
    };
    posted_.wait_for(lock, timeout, take);
    return found;
}

int MessageQueue::count(std::uint32_t message) const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(std::count_if(queue_.begin(), queue_.end(),
                                          [&](const PostedMessage& m) { return m.message == message; }));
}

}  // namespace thermivo
