// The window messages the settings dispatch posts itself (through its host).
// The engine's full table of WM_USER + 101 ... + 124 carries the same numbers.
#pragma once

#include <cstdint>

namespace VARNO {

inline constexpr uint32_t kWmUser = 0x0400;

// To the main window: refresh the status text and the controls' enabled state.
inline constexpr uint32_t kMsgStatusRefresh = kWmUser + 105;
// To the ISO function dialog: DataGroup4 changed, wParam = the record's Field1.
inline constexpr uint32_t kMsgIsoDataGroup4Changed = kWmUser + 112;
// To the live view window: wParam 1000 / 1001, lParam the new mask.
inline constexpr uint32_t kMsgLiveViewMask = kWmUser + 124;
inline constexpr uintptr_t kLiveViewPeakingMask = 1000;
inline constexpr uintptr_t kLiveViewMagnificationMask = 1001;

}  // namespace VARNO
