#include "ui/dialog_look.h"

#include <QAbstractItemView>
#include <QPalette>
#include <QPixmap>

#include "gdip_button.h"
#include "gdip_hold_button.h"
#include "gdip_slider.h"
#include "model/string_table.h"
#include "resource_images.h"

namespace kvx::ui {

QString CDialogLook::Text(uint32_t stringId) {
    QString t = QString::fromUtf8(VARNO::StringText(stringId));
    t.replace("\r\n", "\n");
    t.replace("&&", "&");
    return t;
}

QLabel* CDialogLook::Label(QWidget* parent, uint32_t stringId, QRect at, Qt::Alignment align) {
    return Label(parent, Text(stringId), at, align);
}

QLabel* CDialogLook::Label(QWidget* parent, const QString& text, QRect at, Qt::Alignment align) {
    auto* l = new QLabel(text, parent);
    if (text.contains('\n')) at = QRect(at.x(), at.y() - 7, at.width(), 28);
    l->setGeometry(at);
    l->setAlignment(align);
    SetGrey(l, false);
    return l;
}

void CDialogLook::SetGrey(QLabel* label, bool grey) {
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, grey ? kGrey : QColor(Qt::white));
    label->setPalette(p);
}

CGdipButton* CDialogLook::TextButton(QWidget* parent, uint32_t stringId, QPoint at) {
    auto* b = new CGdipButton(parent);
    b->SetImages(CGdipButton::kPush, 217, 219, 218, 220);
    b->setText(Text(stringId));
    b->SetWithText(true);
    b->SetCentredText(true);
    b->setGeometry(at.x(), at.y(), 109, 22);
    return b;
}

CGdipButton* CDialogLook::Toggle(QWidget* parent, uint32_t stringId, QPoint at, int width) {
    auto* b = new CGdipButton(parent);
    b->SetImages(CGdipButton::kCheckBox, 175, 176, 176, 177, 0, 174);
    // A little air between the box and its text.
    b->setText(QStringLiteral("  ") + Text(stringId));
    b->SetWithText(true);
    b->setGeometry(at.x(), at.y(), width, 13);
    b->SetDrawSize(QSize(13, 13));
    return b;
}

CGdipButton* CDialogLook::RowButton(QWidget* parent, QPoint at) {
    auto* b = new CGdipButton(parent);
    b->SetImages(CGdipButton::kRadio, 179, 179, 179, 179, 178);
    b->setGeometry(at.x(), at.y(), 17, 16);
    b->SetDrawSize(QSize(13, 13));
    return b;
}

QComboBox* CDialogLook::Selector(QWidget* parent, QPoint at) {
    auto* c = new QComboBox(parent);
    c->setGeometry(at.x(), at.y(), 218, 22);
    c->setFocusPolicy(Qt::NoFocus);
    // The selector's own pictures: the field body and the drop button.
    kvx::res::InitResources();
    c->setStyleSheet(
        "QComboBox { border-image: url(:/res/195.png); border: none; color: white;"
        " padding-left: 6px; }"
        "QComboBox:hover { border-image: url(:/res/194.png); }"
        "QComboBox:disabled { border-image: url(:/res/196.png); color: #646464; }"
        "QComboBox::drop-down { width: 26px; border: none; image: url(:/res/190.png); }"
        "QComboBox::drop-down:hover { image: url(:/res/189.png); }"
        "QComboBox::drop-down:disabled { image: url(:/res/191.png); }"
        "QComboBox::down-arrow { image: none; width: 0; height: 0; }"
        "QComboBox QAbstractItemView { background: #222; color: white; outline: none;"
        " selection-background-color: #e2963a; selection-color: #2c2c2c;"
        " border: 1px solid #555; }");
    return c;
}

int CDialogLook::Fill(QComboBox* selector, std::span<const VARNO::tag_VALUE_ITEM* const> rows) {
    selector->clear();
    for (const auto* row : rows) selector->addItem(Text(row->stringId), QVariant(int(row->code)));
    return selector->count();
}

int CDialogLook::FillTable(QComboBox* selector, VARNO::ValueTable table) {
    std::vector<const VARNO::tag_VALUE_ITEM*> rows;
    for (const auto& row : VARNO::GetValueTable(table)) rows.push_back(&row);
    return Fill(selector, rows);
}

bool CDialogLook::SelectCode(QComboBox* selector, int code) {
    const int i = selector->findData(QVariant(code));
    if (i < 0) return false;
    selector->setCurrentIndex(i);
    return true;
}

int CDialogLook::SelectedCode(const QComboBox* selector) {
    if (selector->currentIndex() < 0) return -1;
    return selector->currentData().toInt();
}

CGdipSlider* CDialogLook::Slider(QWidget* parent, QPoint at, int max) {
    auto* s = new CGdipSlider(parent);
    s->LoadImages(2120);
    s->setRange(0, max);
    s->setPageStep(1);
    s->setSingleStep(1);
    s->setValue(0);
    s->setGeometry(at.x(), at.y(), 176, 18);
    return s;
}

CGdipHoldButton* CDialogLook::StepButton(QWidget* parent, QPoint at, bool plus) {
    auto* b = new CGdipHoldButton(parent);
    const int first = plus ? 2116 : 2112;
    b->SetImages(CGdipButton::kPush, first, first + 1, first + 2, first + 3);
    b->SetTiming(500, 500);
    b->setGeometry(at.x(), at.y(), 17, 18);
    return b;
}

void CDialogLook::SetBackground(QWidget* widget, int picture) {
    const QImage img = kvx::res::LoadPicture(picture);
    QPalette p = widget->palette();
    if (!img.isNull()) {
        p.setBrush(QPalette::Window, QBrush(QPixmap::fromImage(img)));
        widget->setFixedSize(img.size());
    } else {
        p.setColor(QPalette::Window, kPanel);
    }
    p.setColor(QPalette::WindowText, Qt::white);
    widget->setPalette(p);
    widget->setAutoFillBackground(true);
}

void CDialogLook::SetPanelBackground(QWidget* widget) {
    QPalette p = widget->palette();
    p.setColor(QPalette::Window, kPanel);
    p.setColor(QPalette::WindowText, Qt::white);
    widget->setPalette(p);
    widget->setAutoFillBackground(true);
}

}  // namespace kvx::ui
