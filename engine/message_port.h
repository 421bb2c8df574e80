// How the engine reaches windows: it posts (target, message, wParam, lParam)
// and never calls into a window. A target that is not registered (its window
// is not open) receives nothing. Targets and message numbers are those of
// model/window_messages.h.
#pragma once

#include <cstdint>

#include "model/window_messages.h"

namespace kvx::engine {

using namespace ::VARNO::window_messages;
using MessageTarget = ::VARNO::WindowTarget;

class IMessagePort {
public:
    virtual ~IMessagePort() = default;
    // Queues the message for the target's thread; false (and nothing queued)
    // when the target is not registered. Any thread may post; an
    // implementation never calls into a window from Post.
    virtual bool Post(int target, uint32_t message, uintptr_t wParam, intptr_t lParam) = 0;
    // True while the target's window exists. Any thread; answers at once.
    virtual bool Exists(int target) const = 0;
};

}  // namespace kvx::engine
