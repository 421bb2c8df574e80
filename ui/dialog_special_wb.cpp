#include "ui/dialog_special_wb.h"

#include <QComboBox>
#include <QLabel>
#include <QPainter>
#include <algorithm>

#include "gdip_button.h"
#include "gdip_hold_button.h"
#include "gdip_slider.h"
#include "model/setting_commands.h"
#include "model/value_tables.h"
#include "ui/dialog_look.h"

namespace kvx::ui {

namespace {

constexpr QRect kGrid(121, 60, 149, 149);
// Grid cell k = 0..16 at pixel 18 + 7k inside the grid; value 2k - 16.
int CellOf(int value) {
    return (std::clamp(value, -16, 16) + 16) / 2;
}

}  // namespace

CDialogSpecialWB::CDialogSpecialWB(ICommandSink& sink, const Start& start, QWidget* parent)
    : QWidget(parent), sink_(sink) {
    CDialogLook::SetPanelBackground(this);
    const auto right = Qt::AlignRight | Qt::AlignVCenter;
    toggle_ = CDialogLook::Toggle(this, 25100, QPoint(10, 10));
    labels_[0] = CDialogLook::Label(this, 25102, QRect(10, 36, 130, 14), right);
    wb_ = CDialogLook::Selector(this, QPoint(150, 32));
    labels_[1] = CDialogLook::Label(this, 25103, QRect(10, 227, 130, 14), right);
    axis_ = CDialogLook::Selector(this, QPoint(150, 223));
    labels_[2] = CDialogLook::Label(this, 31002, QRect(10, 259, 130, 14), right);
    number_ = CDialogLook::Selector(this, QPoint(150, 255));
    labels_[3] = CDialogLook::Label(this, 31000, QRect(90, 306, 200, 14));
    minus_ = CDialogLook::StepButton(this, QPoint(69, 322), false);
    slider_ = CDialogLook::Slider(this, QPoint(86, 322), 7);
    plus_ = CDialogLook::StepButton(this, QPoint(262, 322), true);
    value_ = CDialogLook::Label(this, QString(), QRect(290, 324, 80, 14));

    // The complete lists: the page never filters them.
    CDialogLook::FillTable(wb_, VARNO::ValueTable::WhiteBalance);
    std::vector<const VARNO::tag_VALUE_ITEM*> rows;
    for (const auto& r : VARNO::GetValueTable(VARNO::ValueTable::WbBracketAxis))
        if (r.code) rows.push_back(&r);
    CDialogLook::Fill(axis_, rows);
    rows.clear();
    for (const auto& r : VARNO::GetValueTable(VARNO::ValueTable::BracketShots))
        if (r.code) rows.push_back(&r);
    CDialogLook::Fill(number_, rows);

    connect(toggle_, &CGdipButton::clicked, this, &CDialogSpecialWB::ToggleActive);
    connect(wb_, &QComboBox::activated, this, [this] {
        const int code = CDialogLook::SelectedCode(wb_);
        if (code > 0)
            sink_.QueueCommand(VARNO::MakeSettingCommand(VARNO::Setting::WhiteBalance, code));
    });
    connect(axis_, &QComboBox::activated, this, [this] {
        const int code = CDialogLook::SelectedCode(axis_);
        if (code > 0)
            sink_.QueueCommand(VARNO::MakeSettingCommand(VARNO::Setting::WbBracketAxis, code));
    });
    connect(number_, &QComboBox::activated, this, [this] {
        const int code = CDialogLook::SelectedCode(number_);
        if (code == 1 || code == 2)
            sink_.QueueCommand(
                VARNO::MakeSettingCommand(VARNO::Setting::WbBracketCount, code == 1 ? 3 : 5));
    });
    connect(minus_, &CGdipHoldButton::stepped, this,
            [this] { UserPosition(slider_->value() - 1); });
    connect(plus_, &CGdipHoldButton::stepped, this, [this] { UserPosition(slider_->value() + 1); });
    connect(slider_, &CGdipSlider::userChanged, this, &CDialogSpecialWB::UserPosition);

    qmd_ = start.qmd;
    third_ = start.thirdSettableInfo;
    available_ = start.available;
    ShowWhiteBalance(start.whiteBalance);
    ShowWbBracketCount(start.count);
    ShowWbBracketAxis(start.axis);
    ShowWbBracketAmount(start.step);
    ShowAdjustValue(start.adjustBlueAmber, start.adjustGreenMagenta);
    ShowWbBracketActive(start.kind);
}

QString CDialogSpecialWB::AmountText() const {
    return value_->text();
}

void CDialogSpecialWB::ShowWbBracketActive(uint8_t kind) {
    kind_ = kind;
    const bool available = !qmd_ && available_;
    Apply(enabled_, available, available && kind == 1);
}

void CDialogSpecialWB::Availability(bool available) {
    // The message says whether the main window finds the function available;
    // like the other pages, the page itself still asks the settable mask
    // (and QMD) before it offers activation.
    if (!available) {
        Apply(false, false, false);
        return;
    }
    const bool offered = !qmd_ && available_;
    Apply(true, offered, offered && kind_ == 1);
}

void CDialogSpecialWB::Apply(bool enabled, bool available, bool active) {
    enabled_ = enabled;
    active_ = active;
    const bool on = enabled && active;
    for (QComboBox* c : {wb_, axis_, number_}) c->setEnabled(on);
    slider_->setEnabled(on);
    for (CGdipHoldButton* b : {minus_, plus_}) {
        b->setEnabled(on);
        b->SetDisabledLook(!on);
    }
    toggle_->setEnabled(enabled && available);
    toggle_->SetDisabledLook(!(enabled && available));
    toggle_->SetState(active ? CGdipButton::kStateChecked : CGdipButton::kStateNormal);
    for (QLabel* l : labels_) CDialogLook::SetGrey(l, !on);
    CDialogLook::SetGrey(value_, !on);
    update(kGrid);
}

void CDialogSpecialWB::ToggleActive() {
    const bool on = !active_;
    sink_.QueueCommand(VARNO::MakeSettingCommand(VARNO::Setting::BracketKind, on ? 1 : 0));
    Apply(enabled_, true, on);
}

void CDialogSpecialWB::UserPosition(int position) {
    const auto table = VARNO::WbBracketAmountTable();
    position = std::clamp(position, 0, int(table.size()) - 1);
    if (slider_->value() != position) slider_->setValue(position);
    value_->setText(QString::fromUtf8(table[size_t(position)].text));
    if (position != lastSentPosition_ && !slider_->isSliderDown()) {
        sink_.QueueCommand(VARNO::MakeSettingCommand(VARNO::Setting::WbBracketAmount,
                                                     table[size_t(position)].code));
        lastSentPosition_ = position;
    }
}

void CDialogSpecialWB::ShowWhiteBalance(uint8_t code) {
    if (code > 8 && !third_) return;
    CDialogLook::SelectCode(wb_, VARNO::WhiteBalanceDisplayCode(code));
}

void CDialogSpecialWB::ShowWbBracketCount(uint8_t count) {
    if (count != 3 && count != 5) return;
    numberCode_ = count == 3 ? 1 : 2;
    CDialogLook::SelectCode(number_, numberCode_);
    UpdateMarks();
}

void CDialogSpecialWB::ShowWbBracketAxis(uint8_t code) {
    if (!CDialogLook::SelectCode(axis_, code)) return;
    axisCode_ = code;
    UpdateMarks();
}

void CDialogSpecialWB::ShowWbBracketAmount(uint8_t code) {
    const auto table = VARNO::WbBracketAmountTable();
    for (size_t i = 0; i < table.size(); ++i) {
        if (table[i].code != code) continue;
        stepCode_ = code;
        slider_->setValue(int(i));
        value_->setText(QString::fromUtf8(table[i].text));
        // What the camera holds is what was last sent: stepping back to a
        // value the camera changed on its own is sent again.
        lastSentPosition_ = int(i);
        UpdateMarks();
        return;
    }
}

void CDialogSpecialWB::ShowAdjustValue(int8_t blueAmber, int8_t greenMagenta) {
    adjust_[0] = blueAmber;
    adjust_[1] = greenMagenta;
    update(kGrid);
}

bool CDialogSpecialWB::StepGrid(int dx, int dy) {
    if (!GridEnabled()) return false;
    const int ba = std::clamp(CellOf(adjust_[0]) + dx, 0, 16) * 2 - 16;
    const int gm = std::clamp(CellOf(adjust_[1]) + dy, 0, 16) * 2 - 16;
    adjust_[0] = int8_t(ba);
    adjust_[1] = int8_t(gm);
    sink_.QueueCommand(VARNO::MakeWbAdjustCommand(int8_t(ba), int8_t(gm)));
    update(kGrid);
    return true;
}

void CDialogSpecialWB::UpdateMarks() {
    marks_ = WbBracketMarks(axisCode_, numberCode_, stepCode_);
    update(kGrid);
}

void CDialogSpecialWB::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const bool on = GridEnabled();
    const QRect g = kGrid;
    p.fillRect(g, CDialogLook::kPanel);
    // Colour field: blue to amber across, green to magenta down.
    QRect field(g.x() + 18, g.y() + 18, 113, 113);
    QLinearGradient h(field.topLeft(), field.topRight());
    h.setColorAt(0, QColor(40, 80, 150));
    h.setColorAt(0.5, QColor(70, 70, 70));
    h.setColorAt(1, QColor(170, 120, 40));
    p.fillRect(field, h);
    QLinearGradient v(field.topLeft(), field.bottomLeft());
    v.setColorAt(0, QColor(60, 160, 70, 120));
    v.setColorAt(0.5, QColor(0, 0, 0, 0));
    v.setColorAt(1, QColor(170, 60, 150, 120));
    p.fillRect(field, v);
    if (!on) p.fillRect(field, QColor(44, 44, 44, 170));
    p.setPen(QColor(255, 255, 255, on ? 40 : 20));
    for (int k = 0; k <= 16; ++k) {
        const int c = 18 + 7 * k;
        p.drawLine(g.x() + c, field.top(), g.x() + c, field.bottom());
        p.drawLine(field.left(), g.y() + c, field.right(), g.y() + c);
    }
    p.setPen(QColor(255, 255, 255, on ? 110 : 50));
    p.drawLine(g.x() + 74, field.top(), g.x() + 74, field.bottom());
    p.drawLine(field.left(), g.y() + 74, field.right(), g.y() + 74);
    QFont f = font();
    f.setPixelSize(10);
    p.setFont(f);
    p.setPen(on ? QColor(Qt::white) : CDialogLook::kGrey);
    p.drawText(QRect(g.x(), g.y() + 2, g.width(), 12), Qt::AlignHCenter, "G");
    p.drawText(QRect(g.x(), g.bottom() - 14, g.width(), 12), Qt::AlignHCenter, "M");
    p.drawText(QRect(g.x() + 2, g.y() + 68, 12, 12), Qt::AlignLeft, "B");
    p.drawText(QRect(g.right() - 12, g.y() + 68, 12, 12), Qt::AlignRight, "A");
    if (!on) return;
    const QPoint centre(g.x() + 18 + 7 * CellOf(adjust_[0]), g.y() + 18 + 7 * CellOf(adjust_[1]));
    p.setPen(QPen(QColor(20, 20, 20), 1));
    p.setBrush(QColor(255, 255, 255, 170));
    for (const GridMark& m : marks_) {
        const QPoint at(
            std::clamp(centre.x() + 7 * m.blueAmber / 2, field.left(), field.right()),
            std::clamp(centre.y() + 7 * m.greenMagenta / 2, field.top(), field.bottom()));
        p.drawEllipse(at, 3, 3);
    }
    p.setBrush(QColor(226, 150, 58));
    p.drawEllipse(centre, 4, 4);
}

}  // namespace kvx::ui
