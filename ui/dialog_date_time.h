// CDialogDateTime: "Date/Time Setting". Shows the computer's local date and
// time, refreshed every second, and on OK queues the clock record that sets
// the camera's clock to that time (command 0x9019). Cancel sends nothing.
//
// For the main window: construct it with the command sink and whether the
// communication thread runs (OK starts disabled when not), record it as the
// open date dialog, hand it WM_USER+118 / +119 through HandleMessage while
// it is open, and run it modally (exec()). It returns QDialog::Accepted when
// the clock command was queued.
#pragma once

#include <QDialog>
#include <QTimer>
#include <ctime>
#include <functional>

#include "ui/command_sink.h"

class CGdipButton;
class QLabel;

namespace kvx::ui {

class CDialogDateTime : public QDialog {
    Q_OBJECT
public:
    // `now` gives the computer's time (tests pass a fixed one).
    using Now = std::function<std::time_t()>;
    CDialogDateTime(ICommandSink& sink, bool commRunning, QWidget* parent = nullptr,
                    Now now = nullptr);

    // WM_USER+118 enables OK, WM_USER+119 disables it; false for any other.
    bool HandleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam);

    QString DateText() const;
    QString TimeText() const;
    CGdipButton* OkButton() const { return ok_; }
    CGdipButton* CancelButton() const { return cancel_; }

private:
    void Refresh();
    void Ok();

    ICommandSink& sink_;
    Now now_;
    QTimer timer_;
    QLabel* date_ = nullptr;
    QLabel* time_ = nullptr;
    CGdipButton* ok_ = nullptr;
    CGdipButton* cancel_ = nullptr;
};

}  // namespace kvx::ui
