// CDialogImage2: "Image Setting 2": colour mode, contrast, sharpness,
// saturation, filter and toning effect (black and white only), colour space
// and tone control.
#pragma once

#include "model/dispatch_interfaces.h"
#include "ui/dialog_panel.h"

class CGdipHoldButton;
class CGdipSlider;

class CDialogImage2 : public CDialogPanel, public VARNO::IImagePanel2 {
    Q_OBJECT
public:
    CDialogImage2(QWidget* parent, VARNO::CCamera& camera, kvx::ui::ICommandSink& sink);

    void EnablePanel(bool enable) override;
    void RegisterWith(VARNO::CSettingDispatcher& dispatcher) override;

    void FillColorModeList(uint32_t mask) override;
    void FillColorSpaceList(uint32_t mask) override;
    void ShowContrast(int8_t value) override;
    void ShowSharpness(int8_t value) override;
    void ShowSaturation(int8_t value) override;
    void ShowColorSpace(uint8_t code) override;
    void ShowColorMode(uint8_t code) override;
    void ShowFilterEffect(uint8_t code) override;
    void ShowToningEffect(uint8_t code) override;
    void ShowToneControl(uint8_t code) override;
    void ApplyQmdMode(bool on) override;

    enum Selector { kColorMode, kFilter, kToning, kColorSpace, kToneControl, kCount };
    enum Param { kContrast, kSharpness, kSaturation, kParamCount };
    CStaticCombo* SelectorAt(Selector s) const { return combos_[s]; }
    CGdipSlider* Slider(Param p) const { return rows_[p].slider; }
    CGdipHoldButton* MinusButton(Param p) const { return rows_[p].minus; }
    CGdipHoldButton* PlusButton(Param p) const { return rows_[p].plus; }
    QLabel* ValueText(Param p) const { return rows_[p].value; }
    QLabel* ParamLabel(Param p) const { return rows_[p].label; }
    QLabel* SelectorLabel(Selector s) const { return labels_[s]; }

private:
    struct ParamRow {
        QLabel* label = nullptr;
        CGdipHoldButton* minus = nullptr;
        CGdipSlider* slider = nullptr;
        CGdipHoldButton* plus = nullptr;
        QLabel* value = nullptr;
    };
    void Pick(Selector s, int index);
    void StepParam(Param p, int delta);
    void ShowParam(Param p, int8_t value);
    void ApplyEnable();
    bool BlackAndWhite() const { return color_mode_ == 2; }

    CStaticCombo* combos_[kCount] = {};
    QLabel* labels_[kCount] = {};
    bool has_options_[kCount] = {true, true, true, true, true};
    ParamRow rows_[kParamCount];
    uint8_t color_mode_ = 0;
    bool qmd_ = false;
};
