#include "engine/capture_status_table.h"

namespace kvx::engine {

bool CCaptureStatusTable::Set(int id, uint16_t code, uint16_t flags) {
    if (!HasEntry(id)) return false;
    std::lock_guard guard(lock_);
    entries_[static_cast<size_t>(id)] = Entry{code, flags};
    return true;
}

CCaptureStatusTable::Entry CCaptureStatusTable::Get(int id) const {
    if (!HasEntry(id)) return {};
    std::lock_guard guard(lock_);
    return entries_[static_cast<size_t>(id)];
}

void CCaptureStatusTable::ClearCodes() {
    std::lock_guard guard(lock_);
    for (auto& e : entries_) e.code = 0;
}

int CCaptureStatusTable::PendingCount() const {
    std::lock_guard guard(lock_);
    int n = 0;
    for (const auto& e : entries_) {
        if (e.code != 0 && (e.flags & kFlagHeld) != 0) ++n;
    }
    return n;
}

}  // namespace kvx::engine
