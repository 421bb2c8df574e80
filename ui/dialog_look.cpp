#include "ui/dialog_look.h"

#include <QPalette>
#include <QPixmap>

#include "gdip_button.h"
#include "gdip_hold_button.h"
#include "gdip_slider.h"
#include "model/string_table.h"
#include "resource_images.h"
#include "static_combo.h"

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

CStaticCombo* CDialogLook::Selector(QWidget* parent, QPoint at) {
    auto* c = new CStaticCombo(parent);
    c->Place(at.x(), at.y(), 218);
    return c;
}

int CDialogLook::Fill(CStaticCombo* selector, std::span<const VARNO::tag_VALUE_ITEM* const> rows,
                      bool offerPlaceholder) {
    selector->Clear();
    uint8_t row = 0;
    for (const auto* item : rows) selector->AddItem(Text(item->stringId), row++, item->code);
    const bool placeholderFirst = !rows.empty() &&
                                  rows.front()->settable == VARNO::kAlwaysSettable &&
                                  rows.front()->stringId == VARNO::kStrPlaceholder;
    selector->SetFirstOffered(placeholderFirst && !offerPlaceholder ? 1 : 0);
    return selector->Count();
}

int CDialogLook::FillTable(CStaticCombo* selector, VARNO::ValueTable table, bool offerPlaceholder) {
    std::vector<const VARNO::tag_VALUE_ITEM*> rows;
    for (const auto& row : VARNO::GetValueTable(table)) rows.push_back(&row);
    return Fill(selector, rows, offerPlaceholder);
}

bool CDialogLook::SelectCode(CStaticCombo* selector, int code) {
    if (code < 0 || code > 255) return false;
    const int i = selector->IndexOfCode(uint8_t(code));
    if (i < 0) return false;
    selector->Select(i);
    return true;
}

int CDialogLook::SelectedCode(const CStaticCombo* selector) {
    return selector->SelectedCode();
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
