#include "dialog_flash.h"

#include <algorithm>

#include "gdip_hold_button.h"
#include "gdip_slider.h"
#include "model/record_layout.h"
#include "model/setting_commands.h"
#include "model/setting_dispatcher.h"
#include "static_combo.h"

namespace {
struct Row {
    uint32_t label;
    int y;  // selector row
    int label_height;
    VARNO::ValueTable table;
};
constexpr Row kRows[] = {
    {24101, 75, 28, VARNO::ValueTable::FlashRedEye},
    {24002, 171, 14, VARNO::ValueTable::FlashSlowSync},
    {24301, 107, 14, VARNO::ValueTable::FlashSyncMode},
    {24302, 139, 14, VARNO::ValueTable::FlashFp},
    {23000, 203, 14, VARNO::ValueTable::AfAssist},
};
// The bit of the flags byte a selector owns, and the mask that keeps the rest.
constexpr uint8_t kFlagBit[] = {0x01, 0x40, 0, 0x02, 0};
constexpr uint8_t kKeepMask[] = {0xFE, 0xBF, 0, 0xFD, 0};
}  // namespace

CDialogFlash::CDialogFlash(QWidget* parent, VARNO::CCamera& camera, kvx::ui::ICommandSink& sink)
    : CDialogPanel(parent, camera, sink) {
    comp_label_ = AddLabel(24000, QRect(90, 15, 290, 14));
    minus_ = AddStepButton(false, {68, 31});
    plus_ = AddStepButton(true, {262, 31});
    slider_ = AddSlider({86, 31}, 0, 0);
    value_ = AddValueText({292, 33});
    for (int i = 0; i < kCount; ++i) {
        const Row& row = kRows[i];
        labels_[i] = AddLabel(row.label, QRect(10, row.y + 3, 130, row.label_height));
        combos_[i] = AddSelector(150, row.y);
        connect(combos_[i], &CStaticCombo::picked, this,
                [this, i](int index) { Pick(static_cast<Selector>(i), index); });
    }
    connect(minus_, &CGdipHoldButton::stepped, this, [this] { Step(-1); });
    connect(plus_, &CGdipHoldButton::stepped, this, [this] { Step(+1); });
    connect(slider_, &CGdipSlider::userChanged, this, [this](int) { Step(0); });
    ResetFlashCompensationRange();
    FillFlashLists(0);
    EnablePanel(false);
}

void CDialogFlash::RegisterWith(VARNO::CSettingDispatcher& dispatcher) {
    dispatcher.SetFlashPanel(this);
}

void CDialogFlash::ResetFlashCompensationRange() {
    const int top = std::max(0, Camera().FlashCompTop() - Camera().FlashCompBase());
    slider_->setRange(0, top);
    slider_->setValue(0);
    lower_ = 0;
    upper_ = top;
    last_sent_ = -1;
}

void CDialogFlash::FillFlashLists(uint32_t mask) {
    const uint8_t flags = Camera().DataGroupByte(2, VARNO::dg2::kFlashFlags);
    const int current[kCount] = {flags & 0x01, flags & 0x40,
                                 Camera().DataGroupByte(2, VARNO::dg2::kSyncMode), flags & 0x02,
                                 Camera().DataGroupByte(5, VARNO::dg5::kFlashAfAssist)};
    for (int i = 0; i < kCount; ++i)
        has_options_[i] = FillSelector(combos_[i], kRows[i].table, mask, current[i]);
    comp_available_ = mask != 0;
    ApplyEnable();
    if (slider_->isEnabled())
        ShowFlashCompensation(Camera().DataGroupByte(2, VARNO::dg2::kFlashComp));
}

void CDialogFlash::ShowFlashFlags(uint8_t flags) {
    for (Selector s : {kRedEye, kSlowSync, kFp}) ShowCode(combos_[s], flags & kFlagBit[s]);
    flags_ = flags;
}

void CDialogFlash::ShowSyncMode(uint8_t code) {
    if (code <= 3) ShowCode(combos_[kRearCurtain], code);
}

void CDialogFlash::ShowFlashAfAssist(uint8_t code) {
    if (code <= 2) ShowCode(combos_[kAfAssist], code);
}

void CDialogFlash::ShowFlashCompensation(uint8_t code) {
    if (slider_->isSliderDown()) return;
    const int index = Camera().ExpIndex(code);
    if (index < 0) return;
    const int position = index - Camera().FlashCompBase();
    if (position < slider_->minimum() || position > slider_->maximum()) return;
    slider_->setValue(position);
    last_sent_ = code;
    ShowEntryAt(position);
}

void CDialogFlash::ShowEntryAt(int position) {
    const int index = Camera().FlashCompBase() + position;
    if (index < 0 || index >= static_cast<int>(Camera().ExpList().size())) return;
    const auto& entry = *Camera().ExpList()[index];
    value_->setText(QString::fromStdString(entry.text));
    emit compensationIndicator(Camera().FlashMaskInUse() != 0 && entry.value != 0);
}

void CDialogFlash::SetFlashCompensationLimits(int lower, int upper) {
    lower_ = std::max(lower, slider_->minimum());
    upper_ = std::min(upper, slider_->maximum());
}

void CDialogFlash::Step(int delta) {
    int p = std::clamp(slider_->value() + delta, slider_->minimum(), slider_->maximum());
    p = std::min(std::max(p, lower_), upper_);
    const int index = Camera().FlashCompBase() + p;
    if (index < 0 || index >= static_cast<int>(Camera().ExpList().size())) return;
    if (p != slider_->value()) slider_->setValue(p);
    const int code = static_cast<int>(Camera().ExpList()[index]->code);
    // At a limit the position does not move and the code is the one already
    // sent: nothing goes to the camera.
    if (code != last_sent_ && !slider_->isSliderDown()) {
        Queue(VARNO::MakeSettingCommand(VARNO::Setting::FlashComp, code));
        last_sent_ = code;
    }
    ShowEntryAt(p);
}

void CDialogFlash::Pick(Selector s, int index) {
    const uint8_t code = combos_[s]->Code(index);
    switch (s) {
        case kRearCurtain:
            if (code != 0) Queue(VARNO::MakeSettingCommand(VARNO::Setting::FlashSyncMode, code));
            break;
        case kAfAssist:
            if (code != 0) Queue(VARNO::MakeSettingCommand(VARNO::Setting::FlashAfAssist, code));
            break;
        default:
            flags_ = VARNO::ReplaceFlashFlag(flags_, kKeepMask[s], code);
            Queue(VARNO::MakeSettingCommand(VARNO::Setting::FlashFlags, flags_));
            break;
    }
}

void CDialogFlash::ApplyQmdMode(bool on) {
    qmd_ = on;
    ApplyEnable();
}

void CDialogFlash::EnablePanel(bool enable) {
    SetPanelEnabled(enable);
    ApplyEnable();
}

void CDialogFlash::ApplyEnable() {
    const bool effective = PanelEnabled() && !qmd_;
    for (int i = 0; i < kCount; ++i) {
        EnableControl(combos_[i], effective && has_options_[i]);
        SetLabelDimmed(labels_[i], !has_options_[i]);
    }
    const bool comp = effective && comp_available_;
    for (QWidget* w : {static_cast<QWidget*>(slider_), static_cast<QWidget*>(minus_),
                       static_cast<QWidget*>(plus_)})
        EnableControl(w, comp);
    SetLabelDimmed(comp_label_, !comp_available_);
    SetLabelDimmed(value_, !comp_available_);
}
