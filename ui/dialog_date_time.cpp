#include "ui/dialog_date_time.h"

#include <QKeyEvent>
#include <QLabel>

#include "gdip_button.h"
#include "model/setting_commands.h"
#include "model/window_messages.h"
#include "ui/dialog_look.h"

namespace kvx::ui {

using namespace VARNO::window_messages;

namespace {

bool LocalTime(std::time_t t, std::tm& out) {
    return localtime_r(&t, &out) != nullptr;
}

}  // namespace

CDialogDateTime::CDialogDateTime(ICommandSink& sink, bool commRunning, QWidget* parent, Now now)
    : QDialog(parent), sink_(sink), now_(now ? std::move(now) : [] { return std::time(nullptr); }) {
    setWindowTitle(CDialogLook::Text(32000));
    CDialogLook::SetBackground(this, 152);
    const int w = width();
    CDialogLook::Label(this, 32001, QRect(0, 37, w, 13), Qt::AlignCenter);
    date_ = CDialogLook::Label(this, QString(), QRect(0, 77, w, 13), Qt::AlignCenter);
    time_ = CDialogLook::Label(this, QString(), QRect(0, 96, w, 13), Qt::AlignCenter);
    ok_ = CDialogLook::TextButton(this, 30003, QPoint(78, 156));
    cancel_ = CDialogLook::TextButton(this, 30004, QPoint(208, 156));
    connect(ok_, &CGdipButton::clicked, this, &CDialogDateTime::Ok);
    connect(cancel_, &CGdipButton::clicked, this, [this] {
        timer_.stop();
        reject();
    });
    ok_->setEnabled(commRunning);
    ok_->SetDisabledLook(!commRunning);
    Refresh();
    timer_.setInterval(1000);
    connect(&timer_, &QTimer::timeout, this, &CDialogDateTime::Refresh);
    timer_.start();
}

bool CDialogDateTime::HandleMessage(uint32_t message, uintptr_t, intptr_t) {
    if (message != kMsgDateDialogConnected && message != kMsgDateDialogDisconnected) return false;
    const bool on = message == kMsgDateDialogConnected;
    ok_->setEnabled(on);
    ok_->SetDisabledLook(!on);
    return true;
}

QString CDialogDateTime::DateText() const {
    return date_->text();
}
QString CDialogDateTime::TimeText() const {
    return time_->text();
}

void CDialogDateTime::Refresh() {
    std::tm t{};
    char d[32] = "", h[32] = "";
    if (LocalTime(now_(), t)) {
        std::strftime(d, sizeof d, "%Y / %m / %d", &t);
        std::strftime(h, sizeof h, "%H : %M : %S", &t);
    }
    date_->setText(QString::fromLatin1(d));
    time_->setText(QString::fromLatin1(h));
}

void CDialogDateTime::Ok() {
    timer_.stop();
    // The time is read once more, so the camera gets the moment OK was pressed.
    std::tm t{};
    const bool ok = LocalTime(now_(), t);
    sink_.QueueCommand(VARNO::MakeClockCommand(ok ? &t : nullptr));
    accept();
}

}  // namespace kvx::ui
