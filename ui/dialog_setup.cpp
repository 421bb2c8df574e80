#include "dialog_setup.h"

#include "model/setting_commands.h"
#include "model/setting_dispatcher.h"
#include "static_combo.h"

namespace {
struct Row {
    uint32_t label;
    int y;  // label row; the selector sits 3 pixels higher
    VARNO::ValueTable table;
    VARNO::Setting setting;
};
// In the order of CDialogSetup::Selector.
constexpr Row kRows[] = {
    {23000, 48, VARNO::ValueTable::AfAssist, VARNO::Setting::AfAssist},
    {23001, 80, VARNO::ValueTable::AfVolume, VARNO::Setting::AfVolume},
    {23005, 112, VARNO::ValueTable::TimerSound, VARNO::Setting::TimerSound},
    {23003, 144, VARNO::ValueTable::ExtendedMode, VARNO::Setting::ExtendedMode},
    {23004, 16, VARNO::ValueTable::AutoRotate, VARNO::Setting::AutoRotate},
};
constexpr uint32_t kEveryRow = 0xFFFFFFFF;
}  // namespace

CDialogSetup::CDialogSetup(QWidget* parent, VARNO::CCamera& camera, kvx::ui::ICommandSink& sink)
    : CDialogPanel(parent, camera, sink) {
    for (int i = 0; i < kCount; ++i) {
        const Row& row = kRows[i];
        AddLabel(row.label, QRect(10, row.y, 130, 14));
        combos_[i] = AddSelector(150, row.y - 3);
        FillSelector(combos_[i], row.table, kEveryRow, -1);
        connect(combos_[i], &CStaticCombo::picked, this, [this, i](int index) {
            const uint8_t code = combos_[i]->Code(index);
            if (code != 0) Queue(VARNO::MakeSettingCommand(kRows[i].setting, code));
        });
    }
    EnablePanel(false);
}

void CDialogSetup::EnablePanel(bool enable) {
    SetPanelEnabled(enable);
    for (CStaticCombo* combo : combos_) EnableControl(combo, enable);
}

void CDialogSetup::RegisterWith(VARNO::CSettingDispatcher& dispatcher) {
    dispatcher.SetSetupPanel(this);
}

void CDialogSetup::Show(Selector s, uint8_t code, uint8_t highest) {
    if (code > highest) return;
    ShowCode(combos_[s], code);
}

void CDialogSetup::ShowAfAssist(uint8_t code) {
    Show(kAfAssist, code, 2);
}
void CDialogSetup::ShowAfVolume(uint8_t code) {
    Show(kAfVolume, code, 7);
}
void CDialogSetup::ShowExtendedMode(uint8_t code) {
    Show(kExtendedMode, code, 2);
}
void CDialogSetup::ShowAutoRotate(uint8_t code) {
    Show(kAutoRotate, code, 2);
}
void CDialogSetup::ShowTimerSound(uint8_t code) {
    Show(kTimerSound, code, 7);
}
