#include "ui/special_dialog_ab.h"

#include <QLabel>
#include <algorithm>

#include "gdip_button.h"
#include "gdip_hold_button.h"
#include "gdip_slider.h"
#include "model/setting_commands.h"
#include "model/value_tables.h"
#include "static_combo.h"
#include "ui/dialog_look.h"
#include "ui/special_dialog_rules.h"

namespace kvx::ui {

CDialogSpecialAB::CDialogSpecialAB(ICommandSink& sink, const Start& start, QWidget* parent)
    : QWidget(parent), sink_(sink), protocolMajor_(start.protocolMajor) {
    CDialogLook::SetPanelBackground(this);
    const auto right = Qt::AlignRight | Qt::AlignVCenter;
    title_ = CDialogLook::Label(this, 31004, QRect(15, 12, 390, 14));
    numberLabel_ = CDialogLook::Label(this, 31002, QRect(10, 39, 130, 14), right);
    number_ = CDialogLook::Selector(this, QPoint(150, 36));
    amountLabel_ = CDialogLook::Label(this, 31000, QRect(90, 74, 390, 14));
    minus_ = CDialogLook::StepButton(this, QPoint(69, 89), false);
    slider_ = CDialogLook::Slider(this, QPoint(86, 89), 9);
    plus_ = CDialogLook::StepButton(this, QPoint(262, 89), true);
    value_ = CDialogLook::Label(this, QString(), QRect(292, 93, 60, 14));
    orderLabel_ = CDialogLook::Label(this, 31001, QRect(10, 142, 130, 14), right);
    order_ = CDialogLook::Selector(this, QPoint(150, 139));
    qmdTitle_ = CDialogLook::Label(this, 31005, QRect(15, 217, 390, 14));
    qmdToggle_ = CDialogLook::Toggle(this, 31006, QPoint(15, 241));
    connect(minus_, &CGdipHoldButton::stepped, this, [this] { Step(-1); });
    connect(plus_, &CGdipHoldButton::stepped, this, [this] { Step(1); });
    connect(slider_, &CGdipSlider::userChanged, this, &CDialogSpecialAB::UserPosition);
    connect(number_, &CStaticCombo::picked, this, &CDialogSpecialAB::PickSelectors);
    connect(order_, &CStaticCombo::picked, this, &CDialogSpecialAB::PickSelectors);
    connect(qmdToggle_, &CGdipButton::clicked, this, &CDialogSpecialAB::ToggleQmd);

    keep_ = start.amount;
    setting_ = start.setting;
    mainQmd_ = start.qmd;
    available_ = start.available;
    FillBracketLists(start.bracketMask);
    ShowBracketAmount(start.amount);
    ShowBracketSetting(start.setting);
    qmdOn_ = start.qmd;
    qmdToggle_->SetState(start.qmd ? CGdipButton::kStateChecked : CGdipButton::kStateNormal);
    abEnabled_ = !start.qmd && start.available;
    Apply();
}

QString CDialogSpecialAB::AmountText() const {
    return value_->text();
}

void CDialogSpecialAB::ShowBracketAmount(int8_t code) {
    int pos = BracketAmountPosition(uint8_t(code));
    if (pos < 0) pos = int(kBracketAmountCodes.size()) - 1;
    slider_->setValue(pos);
    if (!amountKnown_ || cameraAmount_ != code) {
        if (amountKnown_) keep_ = code;
        cameraAmount_ = code;
        amountKnown_ = true;
    }
    value_->setText(QString::fromStdString(BracketAmountText(pos)));
}

void CDialogSpecialAB::Step(int d) {
    UserPosition(std::clamp(slider_->value() + d, slider_->minimum(), slider_->maximum()));
}

void CDialogSpecialAB::UserPosition(int position) {
    position = std::clamp(position, 0, int(kBracketAmountCodes.size()) - 1);
    if (slider_->value() != position) slider_->setValue(position);
    const uint8_t code = kBracketAmountCodes[size_t(position)];
    if (amountKnown_ && code != cameraAmount_ && !slider_->isSliderDown()) {
        sink_.QueueCommand(VARNO::MakeSettingCommand(VARNO::Setting::BracketAmount, code));
        keep_ = int8_t(code);
    }
    value_->setText(QString::fromStdString(BracketAmountText(position)));
}

void CDialogSpecialAB::PickSelectors() {
    const int shots = CDialogLook::SelectedCode(number_);
    const int order = CDialogLook::SelectedCode(order_);
    if (shots <= 0 || order <= 0) return;  // a placeholder: no series to name
    const uint8_t code = VARNO::BracketSettingCode(uint8_t(shots), uint8_t(order));
    if (code == 0) return;
    sink_.QueueCommand(VARNO::MakeSettingCommand(VARNO::Setting::BracketSetting, code));
}

void CDialogSpecialAB::SelectSetting(uint8_t code) {
    // Setting 0 names no series: both selectors show nothing chosen rather
    // than a row the camera did not report.
    auto s = VARNO::BracketSettingOf(code);
    if (!s) {
        number_->Select(number_->Count() == 1 ? 0 : -1);
        order_->Select(order_->Count() == 1 ? 0 : -1);
        return;
    }
    if (!CDialogLook::SelectCode(number_, s->shotsClass)) number_->Select(0);
    if (!CDialogLook::SelectCode(order_, s->order)) order_->Select(0);
}

void CDialogSpecialAB::ShowBracketSetting(uint8_t code) {
    if (code > 6) return;
    setting_ = code;
    SelectSetting(code);
}

void CDialogSpecialAB::FillBracketLists(uint32_t mask) {
    auto fill = [&](CStaticCombo* sel, VARNO::ValueTable table, bool& empty) {
        auto list = VARNO::FilterValueTable(table, mask, -1);
        empty = list.items.empty();
        if (empty) {
            sel->Clear();
            sel->AddItem(CDialogLook::Text(33001), 0, 0);
            sel->Enable(false);
            return 0;
        }
        CDialogLook::Fill(sel, list.items);
        return int(list.items.size());
    };
    const int kept = fill(order_, VARNO::ValueTable::BracketOrder, orderEmpty_) +
                     fill(number_, VARNO::ValueTable::BracketShots, numberEmpty_);
    SelectSetting(setting_);
    const bool hasOptions = kept > 1;
    if (hasOptions != hasOptions_) {
        hasOptions_ = hasOptions;
    }
    Apply();
}

void CDialogSpecialAB::ToggleQmd() {
    qmdOn_ = !qmdOn_;
    qmdToggle_->SetState(qmdOn_ ? CGdipButton::kStateChecked : CGdipButton::kStateNormal);
    sink_.QueueCommand(VARNO::MakeSettingCommand(VARNO::Setting::QmdMode, qmdOn_ ? 1 : 0));
}

void CDialogSpecialAB::ShowQmdMode(uint8_t value) {
    qmdOn_ = value == 1;
    mainQmd_ = qmdOn_;
    qmdToggle_->SetState(qmdOn_ ? CGdipButton::kStateChecked : CGdipButton::kStateNormal);
    if (qmdOn_) {
        qmdUsable_ = true;
        abEnabled_ = false;
        Apply();
    } else {
        Availability(available_, true);
    }
}

void CDialogSpecialAB::Availability(bool available, bool qmdUsable) {
    // wParam only says whether the QMD section is usable; auto bracketing
    // follows the availability and the QMD flag.
    available_ = available;
    qmdUsable_ = qmdUsable;
    abEnabled_ = available && !mainQmd_;
    Apply();
}

void CDialogSpecialAB::Apply() {
    number_->Enable(abEnabled_ && hasOptions_ && !numberEmpty_);
    order_->Enable(abEnabled_ && hasOptions_ && !orderEmpty_);
    slider_->setEnabled(abEnabled_);
    for (CGdipHoldButton* b : {minus_, plus_}) {
        b->setEnabled(abEnabled_);
        b->SetDisabledLook(!abEnabled_);
    }
    const bool qmdEnabled = protocolMajor_ >= 4 && qmdUsable_;
    qmdToggle_->setEnabled(qmdEnabled);
    qmdToggle_->SetDisabledLook(!qmdEnabled);
    CDialogLook::SetGrey(qmdTitle_, !qmdUsable_);
    for (QLabel* l : {title_, numberLabel_, amountLabel_, orderLabel_, value_})
        CDialogLook::SetGrey(l, !abEnabled_);
}

}  // namespace kvx::ui
