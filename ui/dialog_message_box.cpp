#include "ui/dialog_message_box.h"

#include <QLabel>

#include "gdip_button.h"
#include "ui/dialog_look.h"

namespace kvx::ui {

CDialogMessageBox::CDialogMessageBox(const QString& caption, const QString& message,
                                     int autoCloseMs, QWidget* parent, const QRect& centreOver)
    : QDialog(parent), autoCloseMs_(autoCloseMs), centreOver_(centreOver) {
    setWindowTitle(caption);
    CDialogLook::SetBackground(this, 150);
    text_ = CDialogLook::Label(this, message, QRect(10, 54, width() - 20, 28), Qt::AlignCenter);
    text_->setWordWrap(true);
    auto* ok = CDialogLook::TextButton(this, 30003, QPoint((width() - 109) / 2, 124));
    connect(ok, &CGdipButton::clicked, this, &QDialog::accept);
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &QDialog::accept);
}

QString CDialogMessageBox::Message() const {
    return text_->text();
}

void CDialogMessageBox::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (centreOver_.isValid()) move(centreOver_.center() - rect().center());
    if (autoCloseMs_ > 0) timer_.start(autoCloseMs_);
}

}  // namespace kvx::ui
