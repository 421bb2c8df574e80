// CEventPumpingClock: the engine's clock while a window runs. The engine
// waits on the thread that starts and stops a link (two seconds before a
// link starts, a second after it stops); on the window thread such a wait
// would freeze the window. This clock lets the wait run on a helper thread
// while the window thread keeps its event loop turning (paints, timers,
// posted events; user input waits until the engine call returns), so the
// engine's steps keep their order and the window stays alive.
//
// Waits on other threads, and short ones, are the inner clock's own.
#pragma once

#include <QThread>
#include <atomic>
#include <memory>

#include "platform/clock.h"

namespace kvx::ui {

class CEventPumpingClock final : public kvx::Clock {
public:
    // inner: the clock that keeps the time (null: the system clock).
    // windowThread: the thread whose waits keep its event loop turning.
    CEventPumpingClock(std::shared_ptr<kvx::Clock> inner, QThread* windowThread);

    uint32_t NowMs() override { return inner_->NowMs(); }
    void SleepMs(uint32_t ms) override;

    // Waits the window thread spent turning its event loop (tests).
    int PumpedWaits() const { return pumped_.load(); }

    // Waits shorter than this are plain sleeps: pacing, not waiting.
    static constexpr uint32_t kPumpFromMs = 50;

private:
    std::shared_ptr<kvx::Clock> inner_;
    QThread* windowThread_;
    std::atomic<int> pumped_{0};
};

}  // namespace kvx::ui
