#include "ui/special_dialog_wb.h"

#include <QLabel>
#include <algorithm>

#include "gdip_button.h"
#include "gdip_hold_button.h"
#include "gdip_slider.h"
#include "model/setting_commands.h"
#include "model/value_tables.h"
#include "static_combo.h"
#include "static_wb_adjust.h"
#include "ui/dialog_look.h"

namespace kvx::ui {

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
    grid_ = new CStaticWbAdjust(this);
    grid_->move(121, 60);
    connect(grid_, &CStaticWbAdjust::committed, this, [this](int8_t ba, int8_t gm) {
        sink_.QueueCommand(VARNO::MakeWbAdjustCommand(ba, gm));
    });

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
    connect(wb_, &CStaticCombo::picked, this, [this] {
        const int code = CDialogLook::SelectedCode(wb_);
        if (code > 0)
            sink_.QueueCommand(VARNO::MakeSettingCommand(VARNO::Setting::WhiteBalance, code));
    });
    connect(axis_, &CStaticCombo::picked, this, [this] {
        const int code = CDialogLook::SelectedCode(axis_);
        if (code > 0)
            sink_.QueueCommand(VARNO::MakeSettingCommand(VARNO::Setting::WbBracketAxis, code));
    });
    connect(number_, &CStaticCombo::picked, this, [this] {
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
    for (CStaticCombo* c : {wb_, axis_, number_}) c->Enable(on);
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
    grid_->setEnabled(on);
    grid_->SetDisabledLook(!on);
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
    grid_->SetAdjustValue(blueAmber, greenMagenta);
}

bool CDialogSpecialWB::StepGrid(int dx, int dy) {
    if (!GridEnabled() || (dx == 0 && dy == 0)) return false;
    using D = CStaticWbAdjust::Direction;
    grid_->StepCursor(dx < 0 ? D::kLeft : dx > 0 ? D::kRight : dy < 0 ? D::kUp : D::kDown);
    return true;
}

void CDialogSpecialWB::UpdateMarks() {
    marks_ = WbBracketMarks(axisCode_, numberCode_, stepCode_);
    grid_->SetBracketMarks(axisCode_, numberCode_, stepCode_);
}

}  // namespace kvx::ui
