// CCustomWbCapture: the main window's custom white-balance capture run
// (CameraWhitebalanceCapture). Start(mode) switches the camera into the
// capture mode of a slot (9, 11, 13), opens CDialogWhiteBalance window-modal
// from the event loop (never from inside the caller, which may be a
// dispatch), and when the dialog has ended waits for the camera to stand by
// (at most 50 checks 100 ms apart, on a timer: the window stays live) and
// switches the camera back to the white balance to restore, which the dialog
// has made the slot just handled.
//
// For the main window: own one; call Start() from the "Set Custom WB 1..3"
// menu items; hand it every white balance the camera reports
// (OnWhiteBalanceReported, from IMainWindowView::OnWhiteBalanceReported),
// every capture result (OnCaptureResult, from the session's
// OnCaptureResult) and, while Running(), the dialog's messages WM_USER+105,
// +108, +113 through HandleMessage. Running() is the "custom white balance
// dialog open" record (arrow keys stay away from the image panel meanwhile).
// finished() tells when a run is over.
#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <cstdint>
#include <functional>

#include "ui/command_sink.h"
#include "ui/dialog_white_balance.h"

namespace kvx::ui {

class CCustomWbCapture : public QObject {
    Q_OBJECT
public:
    struct Host {
        std::function<bool()> connected;   // the camera link is up
        std::function<int()> cameraState;  // 1 = standby
        // The live view window's white-balance-capture flag (may be empty).
        std::function<void(bool)> setLiveViewCaptureFlag;
    };
    CCustomWbCapture(ICommandSink& sink, Host host, QWidget* dialogParent);
    ~CCustomWbCapture() override;

    // Starts a run for capture mode 9, 11 or 13; false when one is open or
    // the mode is none of them.
    bool Start(uint8_t mode);
    bool Running() const { return running_; }
    CDialogWhiteBalance* Dialog() const { return dialog_; }
    // The white balance the run ends with (the main window's "white balance
    // to restore").
    uint8_t RestoreCode() const { return restore_; }

    // A white balance the camera reports: a capture mode while no run is
    // open starts one (the capture was chosen on the camera body); any other
    // code closes an open run's dialog (the camera left capture mode), or,
    // with no run open, becomes the white balance to restore.
    void OnWhiteBalanceReported(uint8_t code);
    void OnCaptureResult(uint32_t status);
    // Messages for the open dialog; false when no run is open or the message
    // is not the dialog's.
    bool HandleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam);

    static bool IsCaptureMode(uint8_t code) { return code == 9 || code == 11 || code == 13; }

signals:
    // The run is over: restored = the restore command was queued (false
    // when the camera went away meanwhile).
    void finished(bool restored);

private:
    void DialogEnded();
    void WaitTick();
    void End(bool restore);

    ICommandSink& sink_;
    Host host_;
    QPointer<QWidget> parent_;
    QPointer<CDialogWhiteBalance> dialog_;
    QTimer wait_;
    int checks_ = 0;
    bool running_ = false;
    uint8_t restore_ = 1;
};

}  // namespace kvx::ui
