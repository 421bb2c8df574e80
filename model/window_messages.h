// The program's window messages and their targets, in one place for the
// engine, the settings dispatch, the camera session and every front end.
// Messages are posted, never sent: (target, message, wParam, lParam), lParam
// 0 unless a message says otherwise. The WM_USER numbers are those every
// window of the program answers to (WM_USER = 0x0400); the camera session
// adds its own wake-ups above WM_APP (0x8000).
#pragma once

#include <cstdint>

namespace VARNO {
// Inline, so that the model uses the names as VARNO's own and the engine can
// take them in with one using-directive.
inline namespace window_messages {

// Where a message goes. A target that is not registered with the message
// port (its window is not open) receives nothing.
enum WindowTarget : int {
    kTargetMainWindow = 0,
    kTargetIsoSetting,      // CDialogIsoSetting, the ISO function dialog
    kTargetLiveView,        // CDialogLiveView
    kTargetSpecialAB,       // CDialogSpecialAB
    kTargetSpecialColor,    // CDialogSpecialColor
    kTargetSpecialSetting,  // CDialogSpecialSetting
    kTargetSpecialWB,       // CDialogSpecialWB
    kTargetWhiteBalance,    // CDialogWhiteBalance
    kTargetDateTime,        // CDialogDateTime
    kTargetMessageBox,      // the open CDialogMessageBox
    kTargetCount
};

inline constexpr uint32_t kWmClose = 0x0010;
inline constexpr uint32_t kWmDeviceChange = 0x0219;
inline constexpr uint32_t kWmUser = 0x0400;
inline constexpr uint32_t kWmApp = 0x8000;

// Sender: communication thread. Receiver: main window. wParam 0.
inline constexpr uint32_t kMsgDataGroup1Updated = kWmUser + 101;
inline constexpr uint32_t kMsgDataGroup2Updated = kWmUser + 102;
inline constexpr uint32_t kMsgDataGroup3Updated = kWmUser + 103;
// Camera state or status text changed: refresh the status text and the
// controls' enabled state; to the main window and the white balance dialog.
// wParam 1 when the camera state is 0 or 1, else 0.
inline constexpr uint32_t kMsgCameraStateChanged = kWmUser + 105;
// A capture ended; to the main window and the white balance dialog.
// wParam: the capture status code (0x6001 to 0x6005, 0x8002).
inline constexpr uint32_t kMsgCaptureResult = kWmUser + 106;
inline constexpr uint32_t kMsgCanSetInfoUpdated = kWmUser + 107;
// Main window to the special capture pages and the white balance dialog:
// the page's function is not available now. wParam: the camera-connected
// flag for the auto-bracket page, else 0.
inline constexpr uint32_t kMsgFunctionUnavailable = kWmUser + 108;
inline constexpr uint32_t kMsgDataGroup4Updated = kWmUser + 109;
inline constexpr uint32_t kMsgCanSetInfo2Updated = kWmUser + 110;
// Main window to the ISO function dialog: disable its controls.
inline constexpr uint32_t kMsgIsoDialogDisable = kWmUser + 111;
// To the ISO function dialog on a DataGroup4 update; wParam the record's Field1.
inline constexpr uint32_t kMsgIsoDataGroup4Changed = kWmUser + 112;
// As +108: the page's function is available now.
inline constexpr uint32_t kMsgFunctionAvailable = kWmUser + 113;
inline constexpr uint32_t kMsgCanSetInfo3Updated = kWmUser + 114;
inline constexpr uint32_t kMsgDataGroup5Updated = kWmUser + 115;
inline constexpr uint32_t kMsgDataGroup6Updated = kWmUser + 116;
// Main window to the ISO function dialog: enable its controls.
inline constexpr uint32_t kMsgIsoDialogEnable = kWmUser + 117;
// Main window to the date and time dialog: camera connected / not.
inline constexpr uint32_t kMsgDateDialogConnected = kWmUser + 118;
inline constexpr uint32_t kMsgDateDialogDisconnected = kWmUser + 119;
// CanSetInfo4 updated; marks the camera as extended.
inline constexpr uint32_t kMsgCanSetInfo4Updated = kWmUser + 120;
// Live view window to the main window: it has closed.
inline constexpr uint32_t kMsgLiveViewClosed = kWmUser + 121;
// To the live view window: camera available (wParam 1) or not (0).
inline constexpr uint32_t kMsgLiveViewAvailable = kWmUser + 123;
// To the live view window: wParam 1000 (focus peaking mask) or 1001
// (magnification mask), lParam the new mask byte.
inline constexpr uint32_t kMsgLiveViewMask = kWmUser + 124;
inline constexpr uintptr_t kLiveViewPeakingMask = 1000;
inline constexpr uintptr_t kLiveViewMagnificationMask = 1001;

// The camera session's wake-ups, to the main window target. The payload
// waits in the session; the message only says that it is there.
inline constexpr uint32_t kMsgSessionMail = kWmApp + 1;  // finished pictures or progress
// Show the notice box: wParam the string id, lParam the auto-close time in ms.
inline constexpr uint32_t kMsgSessionNotice = kWmApp + 2;
inline constexpr uint32_t kMsgSessionNoticeClose = kWmApp + 3;
inline constexpr uint32_t kMsgSessionCameraLine = kWmApp + 4;
inline constexpr uint32_t kMsgSessionControls = kWmApp + 5;  // wParam 1 enabled, 0 disabled
inline constexpr uint32_t kMsgSessionStatusCleared = kWmApp + 6;
inline constexpr uint32_t kMsgSessionDisplayReset = kWmApp + 7;
inline constexpr uint32_t kMsgSessionPanelsReset = kWmApp + 8;

}  // namespace window_messages
}  // namespace VARNO
