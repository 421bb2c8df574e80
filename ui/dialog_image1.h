// CDialogImage1: "Image Setting 1": white balance with its colour
// temperature and fine adjustment grid, image quality, image size, aspect
// ratio and DC crop mode.
#pragma once

#include "model/dispatch_interfaces.h"
#include "static_wb_adjust.h"
#include "ui/dialog_panel.h"

class CGdipHoldButton;
class CGdipSlider;

class CDialogImage1 : public CDialogPanel, public VARNO::IImagePanel1 {
    Q_OBJECT
public:
    CDialogImage1(QWidget* parent, VARNO::CCamera& camera, kvx::ui::ICommandSink& sink);

    void EnablePanel(bool enable) override;
    // Registers the panel and its adjust grid.
    void RegisterWith(VARNO::CSettingDispatcher& dispatcher) override;

    void FillImageSizeList(uint32_t mask) override;
    void FillImageQualityList(uint32_t mask) override;
    void FillWhiteBalanceList(uint32_t mask) override;
    void FillAspectRatioList(uint32_t mask) override;
    void FillDcCropList(uint32_t mask) override;
    void ShowImageSize(uint8_t code) override;
    void ShowImageQuality(uint8_t code) override;
    void ShowWhiteBalance(uint8_t code) override;
    void ShowColorTemperature(uint16_t kelvin) override;
    void ShowAspectRatio(uint8_t code) override;
    void ShowDcCrop(uint8_t code) override;
    void ApplyQmdMode(bool on) override;

    // An arrow key the main window hands over: one cell on the grid,
    // committed like a mouse release. False when the grid is disabled.
    bool StepAdjust(CStaticWbAdjust::Direction direction);

    // The colour temperature range in force: from CanSetInfo3, or the usual
    // 2500..10000 K in 100 K steps for a camera that does not report one.
    struct KelvinRange {
        int max, min, step;
    };
    KelvinRange ColorTemperatureRange() const;

    enum Selector { kWhiteBalance, kQuality, kSize, kAspect, kDcCrop, kCount };
    CStaticCombo* SelectorAt(Selector s) const { return combos_[s]; }
    CStaticWbAdjust* Grid() const { return grid_; }
    CGdipSlider* KelvinSlider() const { return slider_; }
    CGdipHoldButton* MinusButton() const { return minus_; }
    CGdipHoldButton* PlusButton() const { return plus_; }
    QLabel* KelvinText() const { return value_; }
    QLabel* KelvinLabel() const { return kelvin_label_; }

private:
    void Pick(Selector s, int index);
    void Fill(Selector s, uint32_t mask, int current);
    KelvinRange UpdateKelvinRange();
    void StepKelvin(int delta);
    void ShowKelvinPosition(int position);
    void ApplyEnable();
    bool KelvinShown() const;

    CStaticCombo* combos_[kCount] = {};
    bool has_options_[kCount] = {true, true, true, true, false};
    bool qmd_ = false;
    QLabel* kelvin_label_ = nullptr;
    QLabel* value_ = nullptr;
    CGdipSlider* slider_ = nullptr;
    CGdipHoldButton* minus_ = nullptr;
    CGdipHoldButton* plus_ = nullptr;
    CStaticWbAdjust* grid_ = nullptr;
};
