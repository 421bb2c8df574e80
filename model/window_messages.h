// The program's window message numbers (WM_USER + 101 ... + 124). The engine
// posts them through its message port; the settings dispatch posts a few too.
#pragma once

#include <cstdint>

namespace kvx {

inline constexpr uint32_t kWmUser = 0x0400;

inline constexpr uint32_t kMsgDataGroup1Updated = kWmUser + 101;
inline constexpr uint32_t kMsgDataGroup2Updated = kWmUser + 102;
inline constexpr uint32_t kMsgDataGroup3Updated = kWmUser + 103;
inline constexpr uint32_t kMsgStatusRefresh = kWmUser + 105;
inline constexpr uint32_t kMsgCaptureResult = kWmUser + 106;
inline constexpr uint32_t kMsgCanSetInfoUpdated = kWmUser + 107;
inline constexpr uint32_t kMsgFunctionUnavailable = kWmUser + 108;
inline constexpr uint32_t kMsgDataGroup4Updated = kWmUser + 109;
inline constexpr uint32_t kMsgCanSetInfo2Updated = kWmUser + 110;
inline constexpr uint32_t kMsgIsoDialogDisable = kWmUser + 111;
inline constexpr uint32_t kMsgIsoDataGroup4Changed = kWmUser + 112;
inline constexpr uint32_t kMsgFunctionAvailable = kWmUser + 113;
inline constexpr uint32_t kMsgCanSetInfo3Updated = kWmUser + 114;
inline constexpr uint32_t kMsgDataGroup5Updated = kWmUser + 115;
inline constexpr uint32_t kMsgDataGroup6Updated = kWmUser + 116;
inline constexpr uint32_t kMsgIsoDialogEnable = kWmUser + 117;
inline constexpr uint32_t kMsgDateDialogConnected = kWmUser + 118;
inline constexpr uint32_t kMsgDateDialogDisconnected = kWmUser + 119;
inline constexpr uint32_t kMsgCanSetInfo4Updated = kWmUser + 120;
inline constexpr uint32_t kMsgLiveViewClosed = kWmUser + 121;
inline constexpr uint32_t kMsgLiveViewLinkState = kWmUser + 123;
inline constexpr uint32_t kMsgLiveViewMask = kWmUser + 124;

// wParam of kMsgLiveViewMask.
inline constexpr uintptr_t kLiveViewPeakingMask = 1000;
inline constexpr uintptr_t kLiveViewMagnificationMask = 1001;

}  // namespace kvx
