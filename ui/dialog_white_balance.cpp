#include "ui/dialog_white_balance.h"

#include <QCloseEvent>
#include <QKeyEvent>

#include "gdip_button.h"
#include "model/setting_commands.h"
#include "model/window_messages.h"
#include "ui/dialog_look.h"

namespace kvx::ui {

using namespace VARNO::window_messages;

namespace {
constexpr uint32_t kCaptureSuccess = 0x8002;
}

CDialogWhiteBalance::CDialogWhiteBalance(ICommandSink& sink, uint8_t mode, QWidget* parent)
    : QDialog(parent), sink_(sink), mode_(mode) {
    setWindowTitle(CDialogLook::Text(31500));
    CDialogLook::SetBackground(this, 150);
    CDialogLook::Label(this, 31501, QRect(0, 54, width(), 13), Qt::AlignCenter);
    ok_ = CDialogLook::TextButton(this, 30003, QPoint(78, 124));
    cancel_ = CDialogLook::TextButton(this, 30004, QPoint(208, 124));
    connect(ok_, &CGdipButton::clicked, this, &CDialogWhiteBalance::Capture);
    connect(cancel_, &CGdipButton::clicked, this, &QDialog::reject);
    connect(this, &QDialog::finished, this, [this] { ended_ = true; });
}

uint8_t CDialogWhiteBalance::SlotOf(uint8_t mode) {
    return mode == 9 || mode == 11 || mode == 13 ? uint8_t(mode - 1) : mode;
}

void CDialogWhiteBalance::SetButtons(bool on) {
    closeAllowed_ = on;
    for (CGdipButton* b : {ok_, cancel_}) {
        b->setEnabled(on);
        b->SetDisabledLook(!on);
    }
}

void CDialogWhiteBalance::Capture() {
    sink_.QueueCommand(VARNO::MakeCaptureDestinationCommand(true, false));
    sink_.QueueCommand(VARNO::MakeReleaseCommand(2));
    capturing_ = true;
    SetButtons(false);
}

bool CDialogWhiteBalance::HandleMessage(uint32_t message, uintptr_t wParam, intptr_t) {
    switch (message) {
        case kMsgCameraStateChanged:
            if (!capturing_) SetButtons(wParam != 0);
            return true;
        case kMsgCaptureResult:
            if (capturing_) ShowResult(uint32_t(wParam));
            return true;
        case kMsgFunctionUnavailable:
        case kMsgFunctionAvailable:
            if (!capturing_) {
                ok_->setEnabled(message == kMsgFunctionAvailable);
                ok_->SetDisabledLook(message != kMsgFunctionAvailable);
            }
            return true;
        case kWmClose:
            // The camera left the capture mode: nothing more to capture. A
            // measurement under way (its result not yet shown, or showing)
            // is shown to its end first.
            if (capturing_ || box_) {
                closePending_ = true;
                return true;
            }
            closeAllowed_ = true;
            reject();
            return true;
        default:
            return false;
    }
}

void CDialogWhiteBalance::ShowResult(uint32_t status) {
    capturing_ = false;
    const bool ok = status == kCaptureSuccess;
    const QRect over = frameGeometry();
    hide();
    box_ = new CDialogMessageBox(parentWidget());
    box_->SetCaption(CDialogLook::Text(34000));
    box_->SetMessage(CDialogLook::Text(ok ? 34001 : 34002));
    box_->SetOwnerRect(over);
    box_->SetAutoCloseMs(2000);
    box_->setAttribute(Qt::WA_DeleteOnClose);
    connect(box_, &QDialog::finished, this, [this, ok] {
        if (closePending_) {
            closeAllowed_ = true;
            reject();
            return;
        }
        // After a failure the user may try again or give up.
        if (!ok) SetButtons(true);
        if (!ended_ && !isVisible()) show();
    });
    box_->Open();
    emit resultShown(status);
}

void CDialogWhiteBalance::closeEvent(QCloseEvent* event) {
    if (!closeAllowed_) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void CDialogWhiteBalance::keyPressEvent(QKeyEvent* event) {
    // Escape must not end a capture that is under way.
    if (event->key() == Qt::Key_Escape && !closeAllowed_) return;
    QDialog::keyPressEvent(event);
}

}  // namespace kvx::ui
