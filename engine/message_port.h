// How the engine reaches windows: it posts (target, message, wParam, lParam)
// and never calls into a window. A target that is not registered (its window
// is not open) receives nothing.
#pragma once

#include <cstdint>

namespace kvx::engine {

enum MessageTarget : int {
    kTargetMainWindow = 0,
    kTargetWhiteBalance,    // CDialogWhiteBalance
    kTargetLiveView,        // CDialogLiveView
    kTargetSpecialAB,       // CDialogSpecialAB
    kTargetSpecialColor,    // CDialogSpecialColor
    kTargetSpecialSetting,  // CDialogSpecialSetting
    kTargetSpecialWB,       // CDialogSpecialWB
    kTargetIsoSetting,      // CDialogIsoSetting
    kTargetDateTime,        // CDialogDateTime
    kTargetMessageBox,      // the open CDialogMessageBox
    kTargetCount
};

class IMessagePort {
public:
    virtual ~IMessagePort() = default;
    // Queues the message for the target's thread; false (and nothing queued)
    // when the target is not registered. Any thread may post.
    virtual bool Post(int target, uint32_t message, uintptr_t wParam, intptr_t lParam) = 0;
    // True while the target's window exists.
    virtual bool Exists(int target) const = 0;
};

}  // namespace kvx::engine
