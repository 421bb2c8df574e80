#include "dialog_image2.h"

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
    VARNO::Setting setting;
    uint8_t highest;  // reported codes above it are ignored
};
constexpr Row kRows[] = {
    {22007, 12, VARNO::ValueTable::ColorMode, VARNO::Setting::ColorMode, 12},
    {22011, 157, VARNO::ValueTable::FilterEffect, VARNO::Setting::FilterEffect, 6},
    {22012, 189, VARNO::ValueTable::ToningEffect, VARNO::Setting::ToningEffect, 10},
    {22006, 239, VARNO::ValueTable::ColorSpace, VARNO::Setting::ColorSpace, 2},
    {22013, 272, VARNO::ValueTable::ToneControl, VARNO::Setting::ToneControl, 3},
};
struct ParamLayout {
    uint32_t label;
    int label_y, row_y;
    VARNO::Setting setting;
};
constexpr ParamLayout kParams[] = {
    {22003, 45, 60, VARNO::Setting::Contrast},
    {22004, 80, 95, VARNO::Setting::Sharpness},
    {22005, 116, 131, VARNO::Setting::Saturation},
};

QString ParamText(int value) {
    return QString::asprintf("%+2.1f", value / 10.0);
}
}  // namespace

CDialogImage2::CDialogImage2(QWidget* parent, VARNO::CCamera& camera, kvx::ui::ICommandSink& sink)
    : CDialogPanel(parent, camera, sink) {
    for (int i = 0; i < kCount; ++i) {
        labels_[i] = AddLabel(kRows[i].label, QRect(10, kRows[i].y + 3, 130, 14));
        combos_[i] = AddSelector(150, kRows[i].y);
        FillSelector(combos_[i], kRows[i].table, 0xFFFFFFFF, -1);
        connect(combos_[i], &CStaticCombo::picked, this,
                [this, i](int index) { Pick(static_cast<Selector>(i), index); });
    }
    for (int p = 0; p < kParamCount; ++p) {
        ParamRow& row = rows_[p];
        const ParamLayout& l = kParams[p];
        row.label = AddLabel(l.label, QRect(90, l.label_y, 180, 14));
        row.minus = AddStepButton(false, {68, l.row_y});
        row.slider = AddSlider({86, l.row_y}, 0, 10);
        row.plus = AddStepButton(true, {262, l.row_y});
        row.value = AddValueText({292, l.row_y + 2}, ParamText(-10));
        const auto param = static_cast<Param>(p);
        connect(row.minus, &CGdipHoldButton::stepped, this,
                [this, param] { StepParam(param, -1); });
        connect(row.plus, &CGdipHoldButton::stepped, this, [this, param] { StepParam(param, +1); });
        connect(row.slider, &CGdipSlider::userChanged, this,
                [this, param](int) { StepParam(param, 0); });
    }
    color_mode_ = Camera().DataGroupByte(3, VARNO::dg3::kColorMode);
    EnablePanel(false);
}

void CDialogImage2::RegisterWith(VARNO::CSettingDispatcher& dispatcher) {
    dispatcher.SetImagePanel2(this);
}

void CDialogImage2::FillColorModeList(uint32_t mask) {
    has_options_[kColorMode] = FillSelector(combos_[kColorMode], VARNO::ValueTable::ColorMode, mask,
                                            combos_[kColorMode]->SelectedCode());
    ApplyEnable();
}

void CDialogImage2::FillColorSpaceList(uint32_t mask) {
    has_options_[kColorSpace] = FillSelector(combos_[kColorSpace], VARNO::ValueTable::ColorSpace,
                                             mask, combos_[kColorSpace]->SelectedCode());
    ApplyEnable();
}

void CDialogImage2::ShowColorMode(uint8_t code) {
    if (code > kRows[kColorMode].highest) return;
    ShowCode(combos_[kColorMode], code);
    color_mode_ = code;
    ApplyEnable();
}

void CDialogImage2::ShowColorSpace(uint8_t code) {
    if (code <= kRows[kColorSpace].highest) ShowCode(combos_[kColorSpace], code);
}
void CDialogImage2::ShowFilterEffect(uint8_t code) {
    if (code <= kRows[kFilter].highest) ShowCode(combos_[kFilter], code);
}
void CDialogImage2::ShowToningEffect(uint8_t code) {
    if (code <= kRows[kToning].highest) ShowCode(combos_[kToning], code);
}
void CDialogImage2::ShowToneControl(uint8_t code) {
    if (code <= kRows[kToneControl].highest) ShowCode(combos_[kToneControl], code);
    ApplyEnable();
}

void CDialogImage2::ShowContrast(int8_t value) {
    ShowParam(kContrast, value);
}
void CDialogImage2::ShowSharpness(int8_t value) {
    ShowParam(kSharpness, value);
}
void CDialogImage2::ShowSaturation(int8_t value) {
    ShowParam(kSaturation, value);
}

void CDialogImage2::ShowParam(Param p, int8_t value) {
    ParamRow& row = rows_[p];
    if (row.slider->isSliderDown() || value < -10 || value > 10) return;
    row.slider->setValue(value / 2 + 5);
    row.value->setText(ParamText(value));
}

void CDialogImage2::StepParam(Param p, int delta) {
    ParamRow& row = rows_[p];
    const int before = row.slider->value();
    const int pos = std::clamp(before + delta, 0, 10);
    // A step button at the end of the range moves nothing and sends nothing.
    if (delta != 0 && pos == before) return;
    if (pos != before) row.slider->setValue(pos);
    const int value = 2 * pos - 10;
    if (!row.slider->isSliderDown()) Queue(VARNO::MakeSettingCommand(kParams[p].setting, value));
    row.value->setText(ParamText(value));
}

void CDialogImage2::Pick(Selector s, int index) {
    const uint8_t code = combos_[s]->Code(index);
    if (code != 0) Queue(VARNO::MakeSettingCommand(kRows[s].setting, code));
}

void CDialogImage2::ApplyQmdMode(bool on) {
    qmd_ = on;
    ApplyEnable();
}

void CDialogImage2::EnablePanel(bool enable) {
    SetPanelEnabled(enable);
    ApplyEnable();
}

void CDialogImage2::ApplyEnable() {
    const bool on = PanelEnabled();
    const bool bw = BlackAndWhite();
    EnableControl(combos_[kColorMode], on && has_options_[kColorMode]);
    EnableControl(combos_[kColorSpace], on && has_options_[kColorSpace]);
    EnableControl(combos_[kToneControl], on && has_options_[kToneControl] && !qmd_);
    // Filter and toning effects exist only in black and white, saturation
    // only in colour; either side also needs the panel enabled.
    EnableControl(combos_[kFilter], on && bw && has_options_[kFilter]);
    EnableControl(combos_[kToning], on && bw && has_options_[kToning]);
    for (Param p : {kContrast, kSharpness, kSaturation}) {
        const bool enable = on && (p != kSaturation || !bw);
        for (QWidget* w :
             {static_cast<QWidget*>(rows_[p].slider), static_cast<QWidget*>(rows_[p].minus),
              static_cast<QWidget*>(rows_[p].plus)})
            EnableControl(w, enable);
    }
    SetLabelDimmed(rows_[kSaturation].label, bw);
    SetLabelDimmed(rows_[kSaturation].value, bw);
    SetLabelDimmed(labels_[kFilter], !bw);
    SetLabelDimmed(labels_[kToning], !bw);
}
