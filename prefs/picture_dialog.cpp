#include "prefs/picture_dialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>

#include "gdip_button.h"
#include "resource_images.h"

namespace kvx::prefs {

CPictureDialog::CPictureDialog(QWidget* parent, int picture, const QString& title)
    : QDialog(parent), background_(kvx::res::LoadPicture(picture)) {
    setWindowTitle(title);
    setWindowIcon(kvx::res::ProgramIcon());
    QPalette pal = palette();
    pal.setColor(QPalette::Window, PanelColour());
    pal.setColor(QPalette::WindowText, Qt::white);
    setPalette(pal);
    const QSize size = background_.isNull() ? QSize(300, 300) : background_.size();
    setFixedSize(size);
}

QLabel* CPictureDialog::AddLabel(int id, const QString& text, const QRect& where) {
    auto* label = new QLabel(text, this);  // owned by the dialog
    label->setObjectName(QString::number(id));
    label->setGeometry(where);
    label->setAttribute(Qt::WA_TranslucentBackground);
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, Qt::white);
    label->setPalette(pal);
    return label;
}

CGdipButton* CPictureDialog::AddTextButton(int id, const QString& text, const QRect& where,
                                           const QColor& background) {
    auto* button = new CGdipButton(this);
    button->setObjectName(QString::number(id));
    button->SetImages(CGdipButton::kPush, 217, 219, 218, 220);
    button->SetWithText(true);
    button->SetCentredText(true);
    button->SetBackgroundColor(background);
    button->setText(text);
    button->setGeometry(where);
    return button;
}

QLineEdit* CPictureDialog::AddEdit(int id, const QRect& where) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QString::number(id));
    edit->setGeometry(where);
    QPalette pal = edit->palette();
    pal.setColor(QPalette::Base, Qt::white);
    pal.setColor(QPalette::Text, Qt::black);
    // Switched off: sunk into the panel, the text still legible.
    pal.setColor(QPalette::Disabled, QPalette::Base, QColor(58, 58, 58));
    pal.setColor(QPalette::Disabled, QPalette::Text, QColor(140, 140, 140));
    edit->setPalette(pal);
    edit->setFrame(false);
    edit->setTextMargins(3, 0, 3, 0);
    return edit;
}

void CPictureDialog::Notice(const QString& text) {
    lastNotice_ = text;
    if (notice_) {
        notice_(windowTitle(), text);
        return;
    }
    QMessageBox::warning(this, windowTitle(), text);
}

void CPictureDialog::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (background_.isNull()) {
        p.fillRect(rect(), PanelColour());
        return;
    }
    p.drawImage(0, 0, background_);
}

}  // namespace kvx::prefs
