// CDialogSpecialWB: the "White Balance BKT" page: activation, the white
// balance, the adjust point with the series' frames around it, bracketing
// axis, number of frames and amount. Every change is queued at once
// (DataGroup6, DataGroup2 white balance, DataGroup5 adjust) and the page
// shows what the camera reports back.
#pragma once

#include <QWidget>
#include <cstdint>

#include "ui/command_sink.h"
#include "ui/special_dialog_rules.h"

class CGdipButton;
class CGdipHoldButton;
class CGdipSlider;
class CStaticCombo;
class CStaticWbAdjust;
class QLabel;

namespace kvx::ui {

class CDialogSpecialWB : public QWidget {
    Q_OBJECT
public:
    struct Start {
        uint8_t kind = 0;  // special bracketing kind
        uint8_t whiteBalance = 1;
        uint8_t count = 3;  // 3 or 5
        uint8_t axis = 1;
        uint8_t step = 2;
        int8_t adjustBlueAmber = 0, adjustGreenMagenta = 0;
        bool available = false;  // the settable info offers white-balance bracketing
        bool qmd = false;
        bool thirdSettableInfo = false;  // CanSetInfo3 received: custom codes above 8 shown
    };
    CDialogSpecialWB(ICommandSink& sink, const Start& start, QWidget* parent = nullptr);

    void ShowWbBracketActive(uint8_t kind);
    void SetAvailable(bool available) { available_ = available; }
    void ShowWhiteBalance(uint8_t code);
    void ShowWbBracketCount(uint8_t count);
    void ShowWbBracketAmount(uint8_t code);
    void ShowWbBracketAxis(uint8_t code);
    void ShowAdjustValue(int8_t blueAmber, int8_t greenMagenta);
    // WM_USER+113 / +108.
    void Availability(bool available);
    void SetQmd(bool on) { qmd_ = on; }
    void SetThirdSettableInfo(bool received) { third_ = received; }
    // An arrow key while the page is open: one grid cell, committed at once.
    bool StepGrid(int dx, int dy);

    bool Active() const { return active_; }
    bool GridEnabled() const { return enabled_ && active_; }
    std::vector<GridMark> Marks() const { return marks_; }
    CStaticCombo* WhiteBalanceSelector() const { return wb_; }
    CStaticCombo* AxisSelector() const { return axis_; }
    CStaticCombo* NumberSelector() const { return number_; }
    CGdipSlider* StepSlider() const { return slider_; }
    CGdipHoldButton* PlusButton() const { return plus_; }
    CGdipHoldButton* MinusButton() const { return minus_; }
    CGdipButton* ActivateToggle() const { return toggle_; }
    QString AmountText() const;
    CStaticWbAdjust* Grid() const { return grid_; }

private:
    void Apply(bool enabled, bool available, bool active);
    void ToggleActive();
    void UserPosition(int position);
    void UpdateMarks();

    ICommandSink& sink_;
    CGdipButton* toggle_ = nullptr;
    CStaticCombo* wb_ = nullptr;
    CStaticCombo* axis_ = nullptr;
    CStaticCombo* number_ = nullptr;
    CGdipSlider* slider_ = nullptr;
    CGdipHoldButton* minus_ = nullptr;
    CGdipHoldButton* plus_ = nullptr;
    QLabel* value_ = nullptr;
    CStaticWbAdjust* grid_ = nullptr;
    QLabel* labels_[4] = {};

    uint8_t axisCode_ = 1;
    uint8_t numberCode_ = 2;
    uint8_t stepCode_ = 2;
    int lastSentPosition_ = 0;
    bool enabled_ = true;
    bool available_ = false;
    bool active_ = false;
    bool qmd_ = false;
    bool third_ = false;
    uint8_t kind_ = 0;
    std::vector<GridMark> marks_;
};

}  // namespace kvx::ui
