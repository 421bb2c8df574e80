#include "ui/dialog_message_box.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QPainter>

#include "resources/resource_images.h"

namespace kvx::ui {

namespace {
constexpr int kMessageTop = 46;
constexpr int kMessageHeight = 30;
}  // namespace

CDialogMessageBox::CDialogMessageBox(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      message_(new QLabel(this)),
      ok_(new QPushButton(tr("OK"), this)) {
    background_ = kvx::res::LoadPicture(151);
    QSize size = background_.isNull() ? QSize(400, 130) : background_.size();
    // The message is two lines at most; a taller font grows the box
    // downwards rather than cutting the text.
    const int lineHeight = fontMetrics().lineSpacing();
    const int messageHeight = std::max(kMessageHeight, 2 * lineHeight + 4);
    size.setHeight(std::max(size.height(), kMessageTop + messageHeight + 12 + 28 + 12));
    setFixedSize(size);
    setAutoFillBackground(false);

    message_->setGeometry(0, kMessageTop, size.width(), messageHeight);
    message_->setAlignment(Qt::AlignCenter);
    message_->setWordWrap(true);
    message_->setContentsMargins(16, 0, 16, 0);
    QPalette pal = message_->palette();
    pal.setColor(QPalette::WindowText, Qt::white);
    message_->setPalette(pal);

    ok_->setGeometry((size.width() - 88) / 2, size.height() - 12 - 28, 88, 28);
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);

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
        p.drawImage(rect(), background_);
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
