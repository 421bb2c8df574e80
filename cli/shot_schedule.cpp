#include "cli/shot_schedule.h"

namespace kvx::cli {

uint32_t CShotSchedule::WaitBefore(int k, uint32_t nowMs) const {
    // Differences of the wrapping 32-bit clock stay right across a wrap.
    const uint64_t due = static_cast<uint64_t>(k < 0 ? 0 : k) * interval_;
    const uint32_t elapsed = nowMs - start_;
    return due > elapsed ? static_cast<uint32_t>(due - elapsed) : 0;
}

}  // namespace kvx::cli
