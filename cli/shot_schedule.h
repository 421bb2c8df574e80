// The release times of a time-lapse: release k is due at start + k * interval
// on the engine's clock, whatever the downloads before it took, so a slow
// download shortens the next pause instead of shifting every later picture.
// A release that is already late is due at once; none is ever made twice
// to catch up.
#pragma once

#include <cstdint>

namespace kvx::cli {

class CShotSchedule {
public:
    CShotSchedule(uint32_t startMs, uint32_t intervalMs) : start_(startMs), interval_(intervalMs) {}
    // Milliseconds from nowMs until release k (0-based) is due; 0 when due.
    uint32_t WaitBefore(int k, uint32_t nowMs) const;

private:
    uint32_t start_;
    uint32_t interval_;
};

}  // namespace kvx::cli
