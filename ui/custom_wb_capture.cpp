#include "ui/custom_wb_capture.h"

#include "log/write_log.h"
#include "model/setting_commands.h"
#include "model/window_messages.h"

namespace kvx::ui {

using namespace VARNO::window_messages;

namespace {
constexpr int kWaitChecks = 50;
constexpr int kWaitIntervalMs = 100;
}  // namespace

CCustomWbCapture::CCustomWbCapture(ICommandSink& sink, Host host, QWidget* dialogParent)
    : sink_(sink), host_(std::move(host)), parent_(dialogParent) {
    wait_.setInterval(kWaitIntervalMs);
    connect(&wait_, &QTimer::timeout, this, &CCustomWbCapture::WaitTick);
}

CCustomWbCapture::~CCustomWbCapture() {
    if (dialog_) delete dialog_.data();
}

bool CCustomWbCapture::Start(uint8_t mode) {
    if (running_ || !IsCaptureMode(mode)) return false;
    running_ = true;
    checks_ = 0;
    sink_.QueueCommand(VARNO::MakeSettingCommand(VARNO::Setting::WhiteBalance, mode));
    dialog_ = new CDialogWhiteBalance(sink_, mode, parent_);
    // Whatever happens, the camera is left on the slot just handled.
    restore_ = CDialogWhiteBalance::SlotOf(mode);
    if (host_.setLiveViewCaptureFlag) host_.setLiveViewCaptureFlag(true);
    connect(dialog_, &QDialog::finished, this, &CCustomWbCapture::DialogEnded);
    // Opened from the event loop: Start may be called from inside a
    // dispatch, which must return before the dialog runs.
    QPointer<CDialogWhiteBalance> d = dialog_;
    QTimer::singleShot(0, this, [d] {
        if (d) d->open();
    });
    return true;
}

void CCustomWbCapture::OnWhiteBalanceReported(uint8_t code) {
    if (IsCaptureMode(code)) {
        if (!running_) Start(code);
        return;
    }
    if (running_) {
        HandleMessage(kWmClose, 0, 0);
        return;
    }
    restore_ = code;
}

void CCustomWbCapture::OnCaptureResult(uint32_t status) {
    HandleMessage(kMsgCaptureResult, status, 0);
}

bool CCustomWbCapture::HandleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (!running_ || !dialog_ || wait_.isActive()) return false;
    return dialog_->HandleMessage(message, wParam, lParam);
}

void CCustomWbCapture::DialogEnded() {
    // Wait for the camera to stand by, without holding up the window.
    checks_ = 0;
    wait_.start();
    WaitTick();
}

void CCustomWbCapture::WaitTick() {
    if (!wait_.isActive()) return;
    if (host_.connected && !host_.connected()) {
        WriteLog(1, "+++ Camera Disconnect at %s +++", "CMainDlg::CameraWhitebalanceCapture");
        End(false);
        return;
    }
    if ((host_.cameraState && host_.cameraState() == 1) || ++checks_ >= kWaitChecks) End(true);
}

void CCustomWbCapture::End(bool restore) {
    wait_.stop();
    if (restore)
        sink_.QueueCommand(VARNO::MakeSettingCommand(VARNO::Setting::WhiteBalance, restore_));
    // The live view flag goes with the run, whether the camera is still there or not.
    if (host_.setLiveViewCaptureFlag) host_.setLiveViewCaptureFlag(false);
    running_ = false;
    if (dialog_) dialog_->deleteLater();
    dialog_ = nullptr;
    emit finished(restore);
}

}  // namespace kvx::ui
