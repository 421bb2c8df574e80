// The window messages the engine and the windows exchange, WM_USER + 101 to
// + 124 (WM_USER = 0x0400). They are posted, never sent; lParam is 0 unless a
// message says otherwise. The settings dispatch posts three of them with the
// same numbers (model/window_messages.h).
#pragma once

#include <cstdint>

namespace kvx::engine {

constexpr uint32_t kWmUser = 0x0400;
constexpr uint32_t kWmClose = 0x0010;

// Sender: communication thread. Receiver: main window. wParam 0.
constexpr uint32_t kMsgDataGroup1Updated = kWmUser + 101;
constexpr uint32_t kMsgDataGroup2Updated = kWmUser + 102;
constexpr uint32_t kMsgDataGroup3Updated = kWmUser + 103;
// Camera state or status text changed; to the main window and the white
// balance dialog. wParam 1 when the camera state is 0 or 1, else 0.
constexpr uint32_t kMsgCameraStateChanged = kWmUser + 105;
// A capture ended; to the main window and the white balance dialog.
// wParam: the capture status code (0x6001 to 0x6005, 0x8002).
constexpr uint32_t kMsgCaptureResult = kWmUser + 106;
constexpr uint32_t kMsgCanSetInfoUpdated = kWmUser + 107;
// Main window to the special capture pages and the white balance dialog:
// the page's function is not available now. wParam: the camera-connected
// flag for the auto-bracket page, else 0.
constexpr uint32_t kMsgFunctionUnavailable = kWmUser + 108;
constexpr uint32_t kMsgDataGroup4Updated = kWmUser + 109;
constexpr uint32_t kMsgCanSetInfo2Updated = kWmUser + 110;
// Main window to the ISO function dialog: disable its controls.
constexpr uint32_t kMsgIsoDialogDisable = kWmUser + 111;
// Main window to the ISO function dialog on a DataGroup4 update; wParam Field1.
constexpr uint32_t kMsgIsoDataGroup4Changed = kWmUser + 112;
// As +108: the page's function is available now.
constexpr uint32_t kMsgFunctionAvailable = kWmUser + 113;
constexpr uint32_t kMsgCanSetInfo3Updated = kWmUser + 114;
constexpr uint32_t kMsgDataGroup5Updated = kWmUser + 115;
constexpr uint32_t kMsgDataGroup6Updated = kWmUser + 116;
// Main window to the ISO function dialog: enable its controls.
constexpr uint32_t kMsgIsoDialogEnable = kWmUser + 117;
// Main window to the date and time dialog: camera connected / not.
constexpr uint32_t kMsgDateDialogConnected = kWmUser + 118;
constexpr uint32_t kMsgDateDialogDisconnected = kWmUser + 119;
// CanSetInfo4 updated; marks the camera as extended.
constexpr uint32_t kMsgCanSetInfo4Updated = kWmUser + 120;
// Live view window to the main window: it has closed.
constexpr uint32_t kMsgLiveViewClosed = kWmUser + 121;
// To the live view window: camera available (wParam 1) or not (0).
constexpr uint32_t kMsgLiveViewAvailable = kWmUser + 123;
// Main window to the live view window: wParam 1000 (focus peaking mask) or
// 1001 (magnification mask), lParam the new mask byte.
constexpr uint32_t kMsgLiveViewMask = kWmUser + 124;
constexpr uintptr_t kLiveViewPeakingMask = 1000;
constexpr uintptr_t kLiveViewMagnificationMask = 1001;

}  // namespace kvx::engine
