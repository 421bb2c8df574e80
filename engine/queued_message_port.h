// A message port that keeps posted messages in one thread-safe queue, drained
// by the consuming thread (the command line program's loop, tests).
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <vector>

#include "engine/message_port.h"

namespace kvx::engine {

struct PostedMessage {
    int target = 0;
    uint32_t message = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
};

class QueuedMessagePort final : public IMessagePort {
public:
    QueuedMessagePort();

    // A window opens or closes. Closing drops the messages still queued for it.
    void Register(int target);
    void Unregister(int target);

    bool Post(int target, uint32_t message, uintptr_t wParam, intptr_t lParam) override;
    bool Exists(int target) const override;

    // The oldest message, waiting at most timeoutMs (0: do not wait).
    std::optional<PostedMessage> Take(uint32_t timeoutMs = 0);
    // Every message queued now, oldest first.
    std::vector<PostedMessage> Drain();
    size_t Pending() const;

private:
    mutable std::mutex m_;  // leaf lock
    std::condition_variable cv_;
    std::array<bool, kTargetCount> registered_{};  // guarded by m_
    std::deque<PostedMessage> queue_;              // guarded by m_
};

}  // namespace kvx::engine
