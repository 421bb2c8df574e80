#include "ui/event_pumping_clock.h"

#include <QEventLoop>
#include <QMetaObject>
#include <thread>

namespace kvx::ui {

CEventPumpingClock::CEventPumpingClock(std::shared_ptr<kvx::Clock> inner, QThread* windowThread)
    : inner_(inner ? std::move(inner) : std::make_shared<kvx::SystemClock>()),
      windowThread_(windowThread) {}

void CEventPumpingClock::SleepMs(uint32_t ms) {
    if (ms < kPumpFromMs || QThread::currentThread() != windowThread_) {
        inner_->SleepMs(ms);
        return;
    }
    ++pumped_;
    // The inner clock decides how long the wait really is; the loop only
    // turns until the helper says it is over. quit() queued before exec()
    // starts is still seen: it is a posted call the loop delivers.
    QEventLoop loop;
    std::thread sleeper([this, ms, &loop] {
        inner_->SleepMs(ms);
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    sleeper.join();
}

}  // namespace kvx::ui
