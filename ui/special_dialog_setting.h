// CDialogSpecialSetting: "Special Capture Setting", the bracketing dialog
// with three pages under stacked headers: auto bracketing and QMD
// (CDialogSpecialAB), white-balance bracketing (CDialogSpecialWB) and
// colour-mode bracketing (CDialogSpecialColor). Every change is queued at
// once; OK and Cancel only close (neither undoes anything sent).
//
// For the main window ("AB Setting" button): build it with the command sink,
// the settings model and a Handover (its own bracketing amount and setting,
// QMD flag, the protocol major, the three availabilities of its special-button rule, whether the
// camera is connected); set it as the dispatcher's special settings dialog
// (Dispatcher().SetSpecialSettingsDialog(&dialog)) and as the target of
// kTargetSpecialSetting / AB / WB / Color while it runs; route WM_USER+113 /
// +108 for each page through HandlePageMessage; run it modally (exec(): it
// takes no modal loop of its own). On QDialog::Accepted keep Amount() and
// Setting() (Dispatcher().SetBracketValues); clear both records afterwards.
#pragma once

#include <QDialog>
#include <array>
#include <cstdint>

#include "model/dispatch_interfaces.h"
#include "ui/command_sink.h"

class CGdipButton;
class CGdipToggleButtonEx;

namespace VARNO {
class CCamera;
}

namespace kvx::ui {

class CDialogSpecialAB;
class CDialogSpecialWB;
class CDialogSpecialColor;

class CDialogSpecialSetting : public QDialog, public VARNO::ISpecialSettingsDialog {
    Q_OBJECT
public:
    struct Handover {
        int8_t amount = 0;
        uint8_t setting = 0;
        bool qmd = false;
        bool autoBracketAvailable = false;
        bool wbBracketAvailable = false;
        bool colorBracketAvailable = false;
        bool connected = false;
        int protocolMajor = 0;  // the camera's protocol: QMD needs 4 or above
    };
    CDialogSpecialSetting(ICommandSink& sink, const VARNO::CCamera& camera,
                          const Handover& handover, QWidget* parent = nullptr);
    ~CDialogSpecialSetting() override;

    // WM_USER+113 / +108 for one page (target kTargetSpecialAB, WB or Color;
    // the AB page's wParam is the camera-connected flag). False otherwise.
    bool HandlePageMessage(int target, uint32_t message, uintptr_t wParam);
    // The camera connection: OK is enabled only while it is up.
    void SetConnected(bool connected);

    // What OK hands back: the auto bracketing page's amount and setting.
    int8_t Amount() const;
    uint8_t Setting() const;

    void OpenPage(int page);
    int OpenPageIndex() const { return open_; }
    CDialogSpecialAB* AbPage() const { return ab_; }
    CDialogSpecialWB* WbPage() const { return wb_; }
    CDialogSpecialColor* ColorPage() const { return color_; }
    CGdipToggleButtonEx* Header(int i) const { return headers_[size_t(i)]; }
    CGdipButton* OkButton() const { return ok_; }

    // ---- VARNO::ISpecialSettingsDialog ----
    void SetBracketValues(int8_t amount, uint8_t setting) override;
    void ShowBracketAmount(int8_t amount) override;
    void ShowBracketSetting(uint8_t setting) override;
    void FillBracketLists(uint32_t mask) override;
    void ShowQmdMode(uint8_t value) override;
    void ShowWhiteBalance(uint8_t code) override;
    void ShowAdjustValue(int8_t blueAmber, int8_t greenMagenta) override;
    void ShowColorMode(uint8_t code) override;
    int ShownColorRow() const override;
    void ShowBaseParameter(VARNO::ColorParam param, uint8_t value) override;
    void SetWbBracketAvailable(bool available) override;
    void SetColorBracketAvailable(bool available) override;
    void ShowWbBracketActive(uint8_t kind) override;
    void ShowColorBracketActive(uint8_t kind) override;
    void ShowWbBracketCount(uint8_t count) override;
    void ShowWbBracketAmount(uint8_t code) override;
    void ShowWbBracketAxis(uint8_t code) override;
    void ShowRowColorMode(int row, uint8_t code) override;
    void ShowRowParameters(int row, const uint8_t params[5]) override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    const VARNO::CCamera& camera_;
    CDialogSpecialAB* ab_ = nullptr;
    CDialogSpecialWB* wb_ = nullptr;
    CDialogSpecialColor* color_ = nullptr;
    std::array<CGdipToggleButtonEx*, 3> headers_{};
    CGdipButton* ok_ = nullptr;
    CGdipButton* cancel_ = nullptr;
    int open_ = 0;
    bool connected_ = false;
};

}  // namespace kvx::ui
