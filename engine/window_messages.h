// The window messages the engine and the windows exchange. They are posted,
// never sent; lParam is 0 unless a message says otherwise.
#pragma once

#include <cstdint>

namespace kvx::engine {

constexpr uint32_t kWmUser = 0x0400;
constexpr uint32_t kWmClose = 0x0010;

constexpr uint32_t kMsgDataGroup1Updated = kWmUser + 101;
constexpr uint32_t kMsgDataGroup2Updated = kWmUser + 102;
constexpr uint32_t kMsgDataGroup3Updated = kWmUser + 103;
// wParam 1 when the camera state is 0 or 1, else 0: refresh status text and controls.
constexpr uint32_t kMsgCameraStateChanged = kWmUser + 105;
// wParam: capture status code (0x6001 to 0x6005, 0x8002).
constexpr uint32_t kMsgCaptureResult = kWmUser + 106;
constexpr uint32_t kMsgCanSetInfoUpdated = kWmUser + 107;
// wParam: camera-connected flag for the auto-bracket page, else 0.
constexpr uint32_t kMsgFunctionUnavailable = kWmUser + 108;
constexpr uint32_t kMsgDataGroup4Updated = kWmUser + 109;
constexpr uint32_t kMsgCanSetInfo2Updated = kWmUser + 110;
constexpr uint32_t kMsgIsoDialogDisable = kWmUser + 111;
// wParam: the DataGroup4 record's Field1.
constexpr uint32_t kMsgIsoLimitsChanged = kWmUser + 112;
constexpr uint32_t kMsgFunctionAvailable = kWmUser + 113;
constexpr uint32_t kMsgCanSetInfo3Updated = kWmUser + 114;
constexpr uint32_t kMsgDataGroup5Updated = kWmUser + 115;
constexpr uint32_t kMsgDataGroup6Updated = kWmUser + 116;
constexpr uint32_t kMsgIsoDialogEnable = kWmUser + 117;
constexpr uint32_t kMsgDateTimeConnected = kWmUser + 118;
constexpr uint32_t kMsgDateTimeDisconnected = kWmUser + 119;
constexpr uint32_t kMsgCanSetInfo4Updated = kWmUser + 120;
constexpr uint32_t kMsgLiveViewClosed = kWmUser + 121;
// wParam 1: camera available for live view, 0: not.
constexpr uint32_t kMsgLiveViewAvailable = kWmUser + 123;
// wParam 1000 (focus peaking mask) or 1001 (magnification mask), lParam the mask.
constexpr uint32_t kMsgLiveViewMask = kWmUser + 124;

constexpr uintptr_t kLiveViewPeakingMask = 1000;
constexpr uintptr_t kLiveViewMagnificationMask = 1001;

}  // namespace kvx::engine
