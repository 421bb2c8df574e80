// Time as the camera engine sees it. NowMs() is a wrapping 32-bit millisecond
// counter; SleepMs() waits. Production uses real time; tests install a clock
// that shortens the engine's fixed waits.
#pragma once

#include <cstdint>
#include <memory>

namespace kvx {

class Clock {
public:
    virtual ~Clock() = default;
    virtual uint32_t NowMs() = 0;
    virtual void SleepMs(uint32_t ms) = 0;
};

// Real time: steady clock, real sleeps.
class SystemClock final : public Clock {
public:
    uint32_t NowMs() override;
    void SleepMs(uint32_t ms) override;
};

// Real time, but every sleep of at least `threshold` ms is divided by
// `divisor`. Keeps the engine's 2,000/1,000/300/200 ms waits short in tests
// while the 1 ms pacing sleeps and the 30 ms tick stay real.
class ScaledClock final : public Clock {
public:
    ScaledClock(uint32_t divisor, uint32_t threshold = 100) : divisor_(divisor ? divisor : 1), threshold_(threshold) {}
    uint32_t NowMs() override;
    void SleepMs(uint32_t ms) override;

private:
    uint32_t divisor_;
    uint32_t threshold_;
};

// The process-wide clock. Never null.
Clock& GetClock();
// Installs a clock (tests). Passing null restores the system clock.
void SetClock(std::shared_ptr<Clock> clock);

inline uint32_t NowMs() { return GetClock().NowMs(); }
inline void SleepMs(uint32_t ms) { GetClock().SleepMs(ms); }

}  // namespace kvx
