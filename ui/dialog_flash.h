// CDialogFlash: "Flash Setting": flash exposure compensation (slider with
// step buttons) and the red-eye, rear curtain, FP, slow sync and AF
// auxiliary light selectors, all filtered by the one flash settable mask.
// Red-eye, FP and slow sync share the camera's flash flags byte: the panel
// keeps its own copy and sends the whole byte with only its bit replaced.
#pragma once

#include "model/dispatch_interfaces.h"
#include "ui/dialog_panel.h"

class CGdipHoldButton;
class CGdipSlider;

class CDialogFlash : public CDialogPanel, public VARNO::IFlashPanel {
    Q_OBJECT
public:
    CDialogFlash(QWidget* parent, VARNO::CCamera& camera, kvx::ui::ICommandSink& sink);

    void EnablePanel(bool enable) override;
    void RegisterWith(VARNO::CSettingDispatcher& dispatcher) override;

    void FillFlashLists(uint32_t mask) override;
    void ShowFlashFlags(uint8_t flags) override;
    void ShowSyncMode(uint8_t code) override;
    void ShowFlashCompensation(uint8_t code) override;
    void ShowFlashAfAssist(uint8_t code) override;
    void SetFlashCompensationLimits(int lower, int upper) override;
    void ApplyQmdMode(bool on) override;
    // A new link: the slider range follows the exposure list again, position 0.
    void ResetFlashCompensationRange();

    enum Selector { kRedEye, kSlowSync, kRearCurtain, kFp, kAfAssist, kCount };
    CStaticCombo* SelectorAt(Selector s) const { return combos_[s]; }
    CGdipSlider* Slider() const { return slider_; }
    CGdipHoldButton* MinusButton() const { return minus_; }
    CGdipHoldButton* PlusButton() const { return plus_; }
    QLabel* ValueText() const { return value_; }
    uint8_t FlagsCopy() const { return flags_; }

signals:
    // The main window's flash compensation indicator.
    void compensationIndicator(bool lit);

private:
    void Pick(Selector s, int index);
    // One user step: -1, +1, or 0 for a slider the user moved.
    void Step(int delta);
    void ShowEntryAt(int position);
    void ApplyEnable();

    CStaticCombo* combos_[kCount] = {};
    QLabel* labels_[kCount] = {};
    QLabel* comp_label_ = nullptr;
    QLabel* value_ = nullptr;
    CGdipSlider* slider_ = nullptr;
    CGdipHoldButton* minus_ = nullptr;
    CGdipHoldButton* plus_ = nullptr;
    bool has_options_[kCount] = {};
    bool comp_available_ = false;
    bool qmd_ = false;
    uint8_t flags_ = 0;
    int last_sent_ = -1;
    int lower_ = 0, upper_ = 0;
};
