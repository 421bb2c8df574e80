// Auto-reset or manual-reset event on a condition variable.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace kvx {

class Event {
public:
    explicit Event(bool autoReset = true, bool signalled = false)
        : autoReset_(autoReset), signalled_(signalled) {}

    void Set() {
        {
            std::lock_guard guard(m_);
            signalled_ = true;
        }
        cv_.notify_all();
    }
    void Reset() {
        std::lock_guard guard(m_);
        signalled_ = false;
    }
    // True when signalled within the wait; an auto-reset event is then cleared.
    bool Wait(uint32_t timeoutMs) {
        std::unique_lock lock(m_);
        bool ok = cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return signalled_; });
        if (ok && autoReset_) signalled_ = false;
        return ok;
    }

private:
    std::mutex m_;  // leaf lock
    std::condition_variable cv_;
    bool autoReset_;
    bool signalled_;  // guarded by m_
};

}  // namespace kvx
