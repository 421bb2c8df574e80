#include "engine/queued_message_port.h"

#include <algorithm>
#include <chrono>

namespace kvx::engine {

namespace {
bool Valid(int target) {
    return target >= 0 && target < kTargetCount;
}
}  // namespace

QueuedMessagePort::QueuedMessagePort() = default;

void QueuedMessagePort::Register(int target) {
    if (!Valid(target)) return;
    std::lock_guard guard(m_);
    registered_[static_cast<size_t>(target)] = true;
}

void QueuedMessagePort::Unregister(int target) {
    if (!Valid(target)) return;
    std::lock_guard guard(m_);
    registered_[static_cast<size_t>(target)] = false;
    std::erase_if(queue_, [target](const PostedMessage& m) { return m.target == target; });
}

bool QueuedMessagePort::Post(int target, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (!Valid(target)) return false;
    {
        std::lock_guard guard(m_);
        if (!registered_[static_cast<size_t>(target)]) return false;
        queue_.push_back(PostedMessage{target, message, wParam, lParam});
    }
    cv_.notify_all();
    return true;
}

bool QueuedMessagePort::Exists(int target) const {
    if (!Valid(target)) return false;
    std::lock_guard guard(m_);
    return registered_[static_cast<size_t>(target)];
}

std::optional<PostedMessage> QueuedMessagePort::Take(uint32_t timeoutMs) {
    std::unique_lock lock(m_);
    if (queue_.empty() && timeoutMs > 0) {
        cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return !queue_.empty(); });
    }
    if (queue_.empty()) return std::nullopt;
    PostedMessage m = queue_.front();
    queue_.pop_front();
    return m;
}

std::vector<PostedMessage> QueuedMessagePort::Drain() {
    std::lock_guard guard(m_);
    std::vector<PostedMessage> out(queue_.begin(), queue_.end());
    queue_.clear();
    return out;
}

size_t QueuedMessagePort::Pending() const {
    std::lock_guard guard(m_);
    return queue_.size();
}

}  // namespace kvx::engine
