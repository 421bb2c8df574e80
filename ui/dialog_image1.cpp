#include "dialog_image1.h"

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
    int y;  // selector row; its label sits 3 pixels lower
    VARNO::ValueTable table;
};
constexpr Row kRows[] = {
    {22002, 13, VARNO::ValueTable::WhiteBalance}, {22001, 237, VARNO::ValueTable::ImageQuality},
    {22000, 269, VARNO::ValueTable::ImageSize},   {22010, 301, VARNO::ValueTable::AspectRatio},
    {22014, 333, VARNO::ValueTable::DcCrop},
};
constexpr uint8_t kColorTemperatureCode = 14;
}  // namespace

CDialogImage1::CDialogImage1(QWidget* parent, VARNO::CCamera& camera, kvx::ui::ICommandSink& sink)
    : CDialogPanel(parent, camera, sink) {
    for (int i = 0; i < kCount; ++i) {
        AddLabel(kRows[i].label, QRect(10, kRows[i].y + 3, 130, 14));
        combos_[i] = AddSelector(150, kRows[i].y);
        FillSelector(combos_[i], kRows[i].table, 0xFFFFFFFF, -1);
        connect(combos_[i], &CStaticCombo::picked, this,
                [this, i](int index) { Pick(static_cast<Selector>(i), index); });
    }
    kelvin_label_ = AddLabel(22008, QRect(90, 38, 180, 14));
    minus_ = AddStepButton(false, {68, 54});
    slider_ = AddSlider({86, 54}, 0, 75);
    plus_ = AddStepButton(true, {262, 54});
    value_ = AddValueText({292, 56});
    slider_->setPageStep(10);
    slider_->setValue(50);
    AddLabel(22009, QRect(10, 144, 110, 14));
    grid_ = new CStaticWbAdjust(this);
    grid_->move(131, 75);
    connect(minus_, &CGdipHoldButton::stepped, this, [this] { StepKelvin(-1); });
    connect(plus_, &CGdipHoldButton::stepped, this, [this] { StepKelvin(+1); });
    connect(slider_, &CGdipSlider::userChanged, this, [this](int) { StepKelvin(0); });
    connect(grid_, &CStaticWbAdjust::committed, this, [this](int8_t ba, int8_t gm) {
        Queue(VARNO::MakeWbAdjustCommand(ba, gm));
        // Arrow keys go on moving the point through the main window.
        if (window() != this) window()->setFocus();
    });
    UpdateKelvinRange();
    ShowKelvinPosition(slider_->value());
    EnablePanel(false);
}

void CDialogImage1::RegisterWith(VARNO::CSettingDispatcher& dispatcher) {
    dispatcher.SetImagePanel1(this);
    dispatcher.SetWbAdjustGrid(grid_);
}

CDialogImage1::KelvinRange CDialogImage1::ColorTemperatureRange() const {
    using VARNO::SettableField;
    if (Camera().CanSetInfoReceived(3)) {
        const int max =
            static_cast<int>(Camera().SettableOf(3, SettableField::ColorTempMax).value_or(0));
        const int min =
            static_cast<int>(Camera().SettableOf(3, SettableField::ColorTempMin).value_or(0));
        int step =
            static_cast<int>(Camera().SettableOf(3, SettableField::ColorTempStep).value_or(0));
        if (step == 0) step = 100;
        if (max > 0 && max >= min) return {max, min, step};
    }
    return {10000, 2500, 100};
}

void CDialogImage1::Fill(Selector s, uint32_t mask, int current) {
    const bool had = has_options_[s];
    has_options_[s] = FillSelector(combos_[s], kRows[s].table, mask, current);
    if (had != has_options_[s] || s == kSize || s == kQuality) ApplyEnable();
}

void CDialogImage1::FillImageSizeList(uint32_t mask) {
    Fill(kSize, mask, combos_[kSize]->SelectedCode());
}
void CDialogImage1::FillImageQualityList(uint32_t mask) {
    Fill(kQuality, mask, combos_[kQuality]->SelectedCode());
}
void CDialogImage1::FillWhiteBalanceList(uint32_t mask) {
    Fill(kWhiteBalance, mask,
         VARNO::WhiteBalanceDisplayCode(Camera().DataGroupByte(2, VARNO::dg2::kWhiteBalance)));
    ApplyEnable();
}
void CDialogImage1::FillAspectRatioList(uint32_t mask) {
    Fill(kAspect, mask, combos_[kAspect]->SelectedCode());
}
void CDialogImage1::FillDcCropList(uint32_t mask) {
    Fill(kDcCrop, mask, combos_[kDcCrop]->SelectedCode());
}

void CDialogImage1::ShowImageSize(uint8_t code) {
    ShowCode(combos_[kSize], code);
}
void CDialogImage1::ShowImageQuality(uint8_t code) {
    ShowCode(combos_[kQuality], code);
}
void CDialogImage1::ShowWhiteBalance(uint8_t code) {
    ShowCode(combos_[kWhiteBalance], VARNO::WhiteBalanceDisplayCode(code));
    ApplyEnable();
}
void CDialogImage1::ShowAspectRatio(uint8_t code) {
    if (code <= 6) ShowCode(combos_[kAspect], code);
}
void CDialogImage1::ShowDcCrop(uint8_t code) {
    if (code <= 3) ShowCode(combos_[kDcCrop], code);
}

// The range comes from the settable info, which may arrive or change at any time.
CDialogImage1::KelvinRange CDialogImage1::UpdateKelvinRange() {
    const KelvinRange r = ColorTemperatureRange();
    const int top = std::max(0, r.max / r.step - r.min / r.step);
    if (slider_->maximum() != top) slider_->setRange(0, top);
    return r;
}

void CDialogImage1::ShowColorTemperature(uint16_t kelvin) {
    if (slider_->isSliderDown()) return;
    const KelvinRange r = UpdateKelvinRange();
    const int v = std::clamp(kelvin / r.step, r.min / r.step, r.max / r.step);
    slider_->setValue(v - r.min / r.step);
    ShowKelvinPosition(slider_->value());
}

void CDialogImage1::ShowKelvinPosition(int position) {
    const KelvinRange r = ColorTemperatureRange();
    // The kelvin value itself, right for any step, not only for 100 K.
    value_->setText(QString("%1K").arg((position + r.min / r.step) * r.step));
}

void CDialogImage1::StepKelvin(int delta) {
    const KelvinRange r = UpdateKelvinRange();
    const int before = slider_->value();
    const int p = std::clamp(before + delta, 0, slider_->maximum());
    // A step button at the end of the range moves nothing and sends nothing.
    if (delta != 0 && p == before) return;
    if (p != before) slider_->setValue(p);
    if (!slider_->isSliderDown())
        Queue(VARNO::MakeColorTemperatureCommand(
            static_cast<uint16_t>((p + r.min / r.step) * r.step)));
    ShowKelvinPosition(p);
}

void CDialogImage1::Pick(Selector s, int index) {
    const uint8_t code = combos_[s]->Code(index);
    using VARNO::Setting;
    switch (s) {
        case kDcCrop:  // "Auto" is code 0 and is a real choice here
            Queue(VARNO::MakeSettingCommand(Setting::DcCrop, code));
            return;
        case kWhiteBalance:
            if (code != 0) Queue(VARNO::MakeSettingCommand(Setting::WhiteBalance, code));
            return;
        case kQuality:
            if (code != 0) Queue(VARNO::MakeSettingCommand(Setting::ImageQuality, code));
            return;
        case kSize:
            if (code != 0) Queue(VARNO::MakeSettingCommand(Setting::ImageSize, code));
            return;
        case kAspect:
            if (code != 0) Queue(VARNO::MakeSettingCommand(Setting::AspectRatio, code));
            return;
        case kCount:
            return;
    }
}

bool CDialogImage1::StepAdjust(CStaticWbAdjust::Direction direction) {
    if (!grid_->isEnabled()) return false;
    grid_->StepCursor(direction);
    return true;
}

void CDialogImage1::ApplyQmdMode(bool on) {
    qmd_ = on;
    ApplyEnable();
}

void CDialogImage1::EnablePanel(bool enable) {
    SetPanelEnabled(enable);
    ApplyEnable();
}

bool CDialogImage1::KelvinShown() const {
    return combos_[kWhiteBalance]->SelectedCode() == kColorTemperatureCode;
}

void CDialogImage1::ApplyEnable() {
    const bool on = PanelEnabled();
    for (int i = 0; i < kCount; ++i) {
        bool enable = on && has_options_[i];
        if (i == kSize || i == kQuality) enable = enable && !qmd_;
        EnableControl(combos_[i], enable);
    }
    const bool kelvin = on && KelvinShown();
    for (QWidget* w : {static_cast<QWidget*>(slider_), static_cast<QWidget*>(minus_),
                       static_cast<QWidget*>(plus_)})
        EnableControl(w, kelvin);
    SetLabelDimmed(kelvin_label_, !KelvinShown());
    SetLabelDimmed(value_, !KelvinShown());
    grid_->setEnabled(on);
    grid_->SetDisabledLook(!on);
}
