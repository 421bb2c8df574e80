// The camera's picture database as the program mirrors it: for each picture
// id 0..63 the last capture status code and picture flags read from the
// camera. Written by the communication thread; the pending count is also read
// by the window thread when it decides whether it may close.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>

namespace kvx::engine {

class CCaptureStatusTable {
public:
    static constexpr int kEntries = 64;
    // Picture flag: the camera still holds the picture for the computer.
    static constexpr uint16_t kFlagHeld = 0x02;

    struct Entry {
        uint16_t code = 0;
        uint16_t flags = 0;
    };

    static constexpr bool HasEntry(int id) { return id >= 0 && id < kEntries; }

    // Ids outside 0..63 have no entry: Set ignores them and returns false,
    // Get gives an empty entry.
    bool Set(int id, uint16_t code, uint16_t flags);
    Entry Get(int id) const;

    // Every code becomes 0 (the flags stay), so nothing is pending any more.
    void ClearCodes();
    // Entries with a non-zero code and the held flag.
    int PendingCount() const;

private:
    mutable std::mutex lock_;                // leaf lock
    std::array<Entry, kEntries> entries_{};  // guarded by lock_
};

}  // namespace kvx::engine
