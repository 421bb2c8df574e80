// CDialogSetup: "Setup", the camera body settings: AF auxiliary light, AF
// beep volume, timer sound, extended mode and auto rotate. Their lists are
// never filtered by a settable mask.
#pragma once

#include "model/dispatch_interfaces.h"
#include "ui/dialog_panel.h"

class CDialogSetup : public CDialogPanel, public VARNO::ISetupPanel {
    Q_OBJECT
public:
    CDialogSetup(QWidget* parent, VARNO::CCamera& camera, kvx::ui::ICommandSink& sink);

    void EnablePanel(bool enable) override;
    void RegisterWith(VARNO::CSettingDispatcher& dispatcher) override;

    void ShowAfAssist(uint8_t code) override;
    void ShowAfVolume(uint8_t code) override;
    void ShowExtendedMode(uint8_t code) override;
    void ShowAutoRotate(uint8_t code) override;
    void ShowTimerSound(uint8_t code) override;

    enum Selector { kAfAssist, kAfVolume, kTimerSound, kExtendedMode, kAutoRotate, kCount };
    CStaticCombo* SelectorAt(Selector s) const { return combos_[s]; }

private:
    void Show(Selector s, uint8_t code, uint8_t highest);
    CStaticCombo* combos_[kCount] = {};
};
