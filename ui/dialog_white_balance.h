// CDialogWhiteBalance: "Capture Custom WB". Offers the capture of a custom
// white balance while the camera waits in a capture mode (9, 11, 13). OK
// queues the capture destination (the card) and a release without
// autofocus, then waits for the capture result (WM_USER+106), which it shows
// in the timed notice box: on a failure OK and Cancel come back so the user
// can try again. The dialog ends only through Cancel or WM_CLOSE (the camera
// left the capture mode). CCustomWbCapture runs it; see there.
#pragma once

#include <QDialog>
#include <QPointer>
#include <cstdint>

#include "ui/command_sink.h"
#include "ui/dialog_message_box.h"

class CGdipButton;

namespace kvx::ui {

class CDialogWhiteBalance : public QDialog {
    Q_OBJECT
public:
    // `mode`: the capture slot mode 9, 11 or 13.
    CDialogWhiteBalance(ICommandSink& sink, uint8_t mode, QWidget* parent = nullptr);

    uint8_t Mode() const { return mode_; }
    // The custom slot the mode measures: 9 -> 8, 11 -> 10, 13 -> 12.
    static uint8_t SlotOf(uint8_t mode);

    // WM_USER+105 (wParam: camera ready), +106 (capture status), +108 / +113
    // (capture possible or not), WM_CLOSE; false for any other message.
    bool HandleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam);

    bool Capturing() const { return capturing_; }
    bool CloseAllowed() const { return closeAllowed_; }
    CGdipButton* OkButton() const { return ok_; }
    CGdipButton* CancelButton() const { return cancel_; }
    // The result box while it shows, else null.
    CDialogMessageBox* ResultBox() const { return box_; }

signals:
    // The result box for a capture status is showing (success: 0x8002).
    void resultShown(uint32_t status);

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Capture();
    void ShowResult(uint32_t status);
    void SetButtons(bool on);

    ICommandSink& sink_;
    uint8_t mode_;
    CGdipButton* ok_ = nullptr;
    CGdipButton* cancel_ = nullptr;
    QPointer<CDialogMessageBox> box_;
    bool capturing_ = false;
    bool closeAllowed_ = true;
    bool ended_ = false;
    bool closePending_ = false;
};

}  // namespace kvx::ui
