#include "ui/dialog_message_box.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QPainter>

#include "resources/resource_images.h"

namespace kvx::ui {

namespace {
constexpr int kMessageTop = 46;
constexpr int kMessageHeight = 30;
constexpr int kSideMargin = 16;
constexpr int kDefaultWidth = 440;
constexpr int kButtonWidth = 88;
constexpr int kButtonHeight = 28;
}  // namespace

CDialogMessageBox::CDialogMessageBox(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      message_(new QLabel(this)),
      ok_(new QPushButton(tr("OK"), this)) {
    background_ = kvx::res::LoadPicture(151);
    QPalette pal = message_->palette();
    pal.setColor(QPalette::WindowText, Qt::white);
    message_->setPalette(pal);
    message_->setAlignment(Qt::AlignCenter);
    message_->setWordWrap(true);
    message_->setContentsMargins(kSideMargin, 0, kSideMargin, 0);
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    LayOut();

    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &CDialogMessageBox::OnTimer);
    // Whatever way it ends, no timer outlives the box's time on screen.
    connect(this, &QDialog::finished, this, [this] {
        timer_.stop();
        autoCloseMs_ = 0;
    });
}

void CDialogMessageBox::SetCaption(const QString& caption) {
    setWindowTitle(caption.left(kMaxText));
}

void CDialogMessageBox::SetMessage(const QString& message) {
    QString text = message.left(kMaxText);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    message_->setText(text);
    LayOut();
}

void CDialogMessageBox::LayOut() {
    // The picture gives the width; the message's own height (a long file
    // name, a larger font) grows the box downwards instead of being cut.
    const int width = background_.isNull() ? kDefaultWidth : background_.width();
    const QRect text =
        message_->fontMetrics().boundingRect(QRect(0, 0, width - 2 * kSideMargin, 10000),
                                             Qt::AlignCenter | Qt::TextWordWrap, message_->text());
    const int messageHeight = std::max(kMessageHeight, text.height() + 4);
    int height = kMessageTop + messageHeight + 12 + kButtonHeight + 12;
    if (!background_.isNull()) height = std::max(height, background_.height());
    setFixedSize(width, height);
    message_->setGeometry(0, kMessageTop, width, messageHeight);
    ok_->setGeometry((width - kButtonWidth) / 2, height - 12 - kButtonHeight, kButtonWidth,
                     kButtonHeight);
}

void CDialogMessageBox::Open() {
    if (owner_.isValid()) {
        QRect r(QPoint(0, 0), size());
        r.moveCenter(owner_.center());
        move(r.topLeft());
    }
    if (autoCloseMs_ > 0) timer_.start(static_cast<int>(autoCloseMs_));
    open();
}

void CDialogMessageBox::OnTimer() {
    timer_.stop();
    if (!pending_ || pending_() == 0) {
        accept();
        return;
    }
    // Pictures still come: the box stays until they are in.
    autoCloseMs_ = 0;
}

void CDialogMessageBox::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (background_.isNull())
        p.fillRect(rect(), QColor(0x2C, 0x2C, 0x2C));
    else
        p.drawImage(0, 0, background_);
    // A box grown for a long message continues the picture's bottom row.
    if (!background_.isNull() && height() > background_.height())
        p.drawImage(QRect(0, background_.height(), width(), height() - background_.height()),
                    background_, QRect(0, background_.height() - 1, background_.width(), 1));
    // The caption again inside the box, above its rule: the window manager's
    // title bar may be small, or not there at all.
    QFont f = font();
    f.setBold(true);
    p.setFont(f);
    p.setPen(QColor(226, 150, 58));
    p.drawText(QRect(kSideMargin, 8, width() - 2 * kSideMargin, 28),
               Qt::AlignLeft | Qt::AlignVCenter, windowTitle());
}

void CDialogMessageBox::closeEvent(QCloseEvent* event) {
    // The window's close box is not offered; a close from elsewhere (the
    // window manager) still only ends the box.
    timer_.stop();
    autoCloseMs_ = 0;
    QDialog::closeEvent(event);
}

void CDialogMessageBox::keyPressEvent(QKeyEvent* event) {
    // Escape would reject behind the user's back; only OK ends the box.
    if (event->key() == Qt::Key_Escape) return;
    QDialog::keyPressEvent(event);
}

}  // namespace kvx::ui
