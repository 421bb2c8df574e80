#include "clock.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

namespace kvx {

uint32_t SystemClock::NowMs() {
    using namespace std::chrono;
    auto ms = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    return static_cast<uint32_t>(ms);
}

void SystemClock::SleepMs(uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

uint32_t ScaledClock::NowMs() {
    using namespace std::chrono;
    auto ms = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    return static_cast<uint32_t>(ms);
}

void ScaledClock::SleepMs(uint32_t ms) {
    if (ms >= threshold_) ms /= divisor_;
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

namespace {
std::mutex g_clockMutex;         // leaf lock
std::shared_ptr<Clock> g_clock;  // guarded by g_clockMutex
SystemClock g_system;
}  // namespace

Clock& GetClock() {
    std::lock_guard guard(g_clockMutex);
    if (g_clock) return *g_clock;
    return g_system;
}

void SetClock(std::shared_ptr<Clock> clock) {
    std::lock_guard guard(g_clockMutex);
    g_clock = std::move(clock);
}

}  // namespace kvx
