// CDialogIsoSetting: "ISO Sensitivity Function Setting". Sets the camera's
// ISO auto range (lower and upper limit) and ISO step; every pick is queued at
// once (DataGroup4), and the lists follow the camera's reports.
//
// For the main window: construct it with the command sink and the settings
// model, record it as the open ISO function dialog (and tell the dispatcher,
// SetIsoFunctionDialogOpen(true), so DataGroup4 updates post WM_USER+112),
// hand it WM_USER+112, +117 and +111 through HandleMessage while it is open,
// and run it modally. On OK (QDialog::Accepted) Step(), Upper() and Lower()
// hold the last choices; nothing more is sent on OK or Cancel.
#pragma once

#include <QDialog>
#include <cstdint>

#include "ui/command_sink.h"
#include "ui/special_dialog_rules.h"

class CGdipButton;
class CStaticCombo;
class QLabel;

namespace VARNO {
class CCamera;
}

namespace kvx::ui {

class CDialogIsoSetting : public QDialog {
    Q_OBJECT
public:
    CDialogIsoSetting(ICommandSink& sink, const VARNO::CCamera& camera, QWidget* parent = nullptr);

    // WM_USER+112 rebuilds the limit lists, +117 enables, +111 disables.
    bool HandleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam);

    // The choices OK kept: step 1 whole / 2 one-third, and the limit codes.
    uint8_t Step() const { return step_; }
    uint8_t Upper() const { return upper_; }
    uint8_t Lower() const { return lower_; }

    CStaticCombo* LowerSelector() const { return lowerSel_; }
    CStaticCombo* UpperSelector() const { return upperSel_; }
    CStaticCombo* StepSelector() const { return stepSel_; }
    CGdipButton* OkButton() const { return ok_; }

private:
    void BuildLists();
    void FillLimits(CStaticCombo* selector, const IsoLimitList& list, bool keepWhenAbsent);
    void PickLower(int index);
    void PickUpper(int index);
    void PickStep(int index);
    void Enable(bool on);
    void Ok();
    bool WholeSteps() const;

    ICommandSink& sink_;
    const VARNO::CCamera& camera_;
    CStaticCombo* lowerSel_ = nullptr;
    CStaticCombo* upperSel_ = nullptr;
    CStaticCombo* stepSel_ = nullptr;
    QLabel* labels_[5] = {};
    CGdipButton* ok_ = nullptr;
    CGdipButton* cancel_ = nullptr;
    uint8_t step_ = 0, upper_ = 0, lower_ = 0;
};

}  // namespace kvx::ui
