// A port of the kind a window supplies: it keeps what is posted for the main
// window until the front end's thread takes it (no dialog is open, so other
// targets refuse). Shared by the tests that run a camera session.
#pragma once

#include <deque>
#include <mutex>

#include "engine/message_port.h"
#include "engine/queued_message_port.h"

namespace kvx::test {

class RecordingPort final : public kvx::engine::IMessagePort {
public:
    bool Post(int target, uint32_t message, uintptr_t wParam, intptr_t lParam) override {
        std::lock_guard g(lock_);
        if (target != kvx::engine::kTargetMainWindow) return false;  // no dialog is open
        queue_.push_back(kvx::engine::PostedMessage{target, message, wParam, lParam});
        return true;
    }
    bool Exists(int target) const override { return target == kvx::engine::kTargetMainWindow; }
    std::deque<kvx::engine::PostedMessage> Take() {
        std::lock_guard g(lock_);
        std::deque<kvx::engine::PostedMessage> out;
        out.swap(queue_);
        return out;
    }

private:
    std::mutex lock_;  // guards queue_
    std::deque<kvx::engine::PostedMessage> queue_;
};

}  // namespace kvx::test
