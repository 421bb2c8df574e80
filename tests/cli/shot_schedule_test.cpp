// The time-lapse schedule on the engine's injectable clock: a slow download
// shortens the next pause instead of moving every later release.
#include "cli/shot_schedule.h"

#include <gtest/gtest.h>

#include <memory>

#include "platform/clock.h"

namespace {

// A clock that only moves when told to.
class ManualClock final : public kvx::Clock {
public:
    explicit ManualClock(uint32_t start) : now_(start) {}
    uint32_t NowMs() override { return now_; }
    void SleepMs(uint32_t ms) override { now_ += ms; }
    void Advance(uint32_t ms) { now_ += ms; }

private:
    uint32_t now_;
};

TEST(ShotSchedule, ReleasesKeepTheirTimesWhateverTheDownloadsTook) {
    // Started just before the 32-bit millisecond counter wraps.
    auto clock = std::make_shared<ManualClock>(0xFFFFFFFFu - 1500);
    kvx::SetClock(clock);
    const kvx::cli::CShotSchedule schedule(kvx::NowMs(), 5000);
    struct Step {
        uint32_t downloadMs;  // what the release before took
        uint32_t wait;        // then the wait before the next one
    } steps[] = {
        {0, 0},        // release 0 at once
        {1200, 3800},  // a quick download: the rest of the 5 s
        {4900, 100},   // a slow one: only what is left
        {7000, 0},     // longer than the interval: the next is due at once
        {0, 3000},     // and the one after that keeps its own time
    };
    uint32_t elapsed = 0;
    for (int k = 0; k < 5; ++k) {
        clock->Advance(steps[k].downloadMs);
        elapsed += steps[k].downloadMs;
        uint32_t wait = schedule.WaitBefore(k, kvx::NowMs());
        EXPECT_EQ(wait, steps[k].wait) << "release " << k;
        clock->SleepMs(wait);
        elapsed += wait;
        // Never earlier than its time, and late only when a download was.
        EXPECT_GE(elapsed, uint32_t(k) * 5000u) << "release " << k;
    }
    kvx::SetClock(nullptr);
}

}  // namespace
