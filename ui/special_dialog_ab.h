// CDialogSpecialAB: the "Auto Bracket Setting / QMD Mode" page of the
// special capture settings dialog: bracketing number and order, bracketing
// amount (slider with minus and plus), and the QMD mode switch. Every change
// is queued at once (DataGroup1 0x40 / 0x80, DataGroup4 0x08) and the page
// shows what the camera reports back.
#pragma once

#include <QWidget>
#include <cstdint>

#include "ui/command_sink.h"

class CGdipButton;
class CGdipHoldButton;
class CGdipSlider;
class CStaticCombo;
class QLabel;

namespace kvx::ui {

class CDialogSpecialAB : public QWidget {
    Q_OBJECT
public:
    struct Start {
        int8_t amount = 0;
        uint8_t setting = 0;
        bool qmd = false;
        bool available = false;  // auto bracketing available (main window)
        int protocolMajor = 0;
        uint32_t bracketMask = 0x03;
    };
    CDialogSpecialAB(ICommandSink& sink, const Start& start, QWidget* parent = nullptr);

    void ShowBracketAmount(int8_t code);
    void ShowBracketSetting(uint8_t code);
    void FillBracketLists(uint32_t mask);
    void ShowQmdMode(uint8_t value);
    // WM_USER+113 (available) / +108 (not); wParam (the camera connected)
    // makes the QMD section usable.
    void Availability(bool available, bool qmdUsable);
    void SetMainQmd(bool on) { mainQmd_ = on; }

    // The amount to keep and the setting code, handed back on OK.
    int8_t KeptAmount() const { return keep_; }
    uint8_t SettingCode() const { return setting_; }
    bool AutoBracketingEnabled() const { return abEnabled_; }

    CStaticCombo* NumberSelector() const { return number_; }
    CStaticCombo* OrderSelector() const { return order_; }
    CGdipSlider* AmountSlider() const { return slider_; }
    CGdipHoldButton* MinusButton() const { return minus_; }
    CGdipHoldButton* PlusButton() const { return plus_; }
    CGdipButton* QmdToggle() const { return qmdToggle_; }
    QString AmountText() const;

private:
    void Step(int d);
    void UserPosition(int position);
    void PickSelectors();
    void ToggleQmd();
    void Apply();
    void SelectSetting(uint8_t code);

    ICommandSink& sink_;
    CStaticCombo* number_ = nullptr;
    CStaticCombo* order_ = nullptr;
    CGdipSlider* slider_ = nullptr;
    CGdipHoldButton* minus_ = nullptr;
    CGdipHoldButton* plus_ = nullptr;
    CGdipButton* qmdToggle_ = nullptr;
    QLabel* value_ = nullptr;
    QLabel* title_ = nullptr;
    QLabel* numberLabel_ = nullptr;
    QLabel* amountLabel_ = nullptr;
    QLabel* orderLabel_ = nullptr;
    QLabel* qmdTitle_ = nullptr;

    int cameraAmount_ = 0;
    bool amountKnown_ = false;  // the camera has reported an amount
    int8_t keep_ = 0;
    uint8_t setting_ = 0;
    bool qmdUsable_ = true;
    bool abEnabled_ = false;
    bool available_ = false;
    bool mainQmd_ = false;
    bool qmdOn_ = false;
    bool hasOptions_ = true;
    bool numberEmpty_ = false;
    bool orderEmpty_ = false;
    int protocolMajor_ = 0;
};

}  // namespace kvx::ui
