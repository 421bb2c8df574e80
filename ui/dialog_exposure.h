// CDialogExposure: "Exposure Setting": exposure mode, shutter speed,
// aperture, ISO sensitivity with ISO auto, exposure compensation and program
// shift. The four stepped quantities are sliders over the camera model's
// value lists, bounded by the settable ranges; each user step queues one
// command and updates the main window's readouts through the signals.
#pragma once

#include "model/dispatch_interfaces.h"
#include "ui/dialog_panel.h"

class CGdipButton;
class CGdipHoldButton;
class CGdipSlider;

class CDialogExposure : public CDialogPanel, public VARNO::IExposurePanel {
    Q_OBJECT
public:
    enum Quantity { kShutter, kAperture, kIso, kExpComp, kQuantityCount };

    CDialogExposure(QWidget* parent, VARNO::CCamera& camera, kvx::ui::ICommandSink& sink);

    void EnablePanel(bool enable) override;
    void RegisterWith(VARNO::CSettingDispatcher& dispatcher) override;

    void ShowExposureMode(uint8_t mode) override;
    void FillExposureModeList(uint32_t mask) override;
    void ShowShutterSpeed(uint8_t code) override;
    void ShowAperture(uint8_t code) override;
    void ShowProgramShift(int8_t shift) override;
    void ShowIsoAuto(uint8_t value) override;
    void ShowIso(uint8_t code) override;
    void UpdateExposureComp(uint8_t code, int caller) override;
    // Sends the compensation the slider shows again: bracketing set up in the
    // special capture settings may have moved the camera's own.
    void SetExposureComp();
    void EnableProgramShift(uint8_t settable) override;
    void SetIsoAutoAvailable(bool available) override;
    void ResetIsoSlider() override;
    void SetShutterLimits(int lowest, int highest) override;
    void SetShutterRange(int lower, int upper) override;
    void SetApertureRange(int lower, int upper) override;
    void SetIsoRange(int lower, int upper) override;
    void SetExposureCompRange(int lower, int upper) override;
    void ApplyQmdMode(bool on) override;

    CStaticCombo* ModeSelector() const { return mode_; }
    CGdipSlider* Slider(Quantity q) const { return rows_[q].slider; }
    CGdipHoldButton* MinusButton(Quantity q) const { return rows_[q].minus; }
    CGdipHoldButton* PlusButton(Quantity q) const { return rows_[q].plus; }
    QLabel* ValueText(Quantity q) const { return rows_[q].value; }
    CGdipHoldButton* ShiftDownButton() const { return shift_down_; }
    CGdipHoldButton* ShiftUpButton() const { return shift_up_; }
    QLabel* ShiftText() const { return shift_value_; }
    CGdipButton* IsoAutoButton() const { return iso_auto_; }

signals:
    // The main window's readouts follow the panel at once.
    void shutterReadout(const QString& readout, bool bulb);
    void apertureReadout(int code);  // -1 blanks it
    void isoReadout(int iso);
    void exposureReadout(int code);  // -1: refresh from the current values

private:
    struct Row {
        CGdipHoldButton* minus = nullptr;
        CGdipSlider* slider = nullptr;
        CGdipHoldButton* plus = nullptr;
        QLabel* value = nullptr;
        int lower = 0, upper = 0;  // settable range, slider positions
        int last_sent = -1;        // last code sent or reported
    };
    void Step(Quantity q, int delta);
    int ListSize(Quantity q) const;
    int CodeAt(Quantity q, int position) const;
    void ShowAt(Quantity q, int position);
    void ApplyEnable();
    void Refill();
    bool Bracketing() const;
    void SetRange(Quantity q, int lower, int upper);

    CStaticCombo* mode_ = nullptr;
    Row rows_[kQuantityCount];
    CGdipHoldButton* shift_down_ = nullptr;
    CGdipHoldButton* shift_up_ = nullptr;
    QLabel* shift_value_ = nullptr;
    CGdipButton* iso_auto_ = nullptr;

    bool mode_known_ = false;
    bool shutter_allowed_ = false, aperture_allowed_ = false, shift_allowed_ = false;
    bool comp_allowed_ = false, iso_auto_allowed_ = false;
    bool shift_available_ = false, iso_auto_available_ = true, iso_auto_on_ = false;
    bool qmd_ = false;
    bool mode_has_options_ = true;
    int shutter_lowest_ = 0, shutter_highest_ = 0;
    int last_valid_iso_ = 0;
};
