// CDialogCamera: "Camera Setting": the focusing frame (fixed point or free
// position, frame size), metering, AF mode, drive mode with the interval
// timer's fields, and face detection AF.
#pragma once

#include "model/dispatch_interfaces.h"
#include "ui/dialog_panel.h"

class CGdipButton;
class CStaticAFarea2;
class QLineEdit;

class CDialogCamera : public CDialogPanel, public VARNO::ICameraPanel {
    Q_OBJECT
public:
    CDialogCamera(QWidget* parent, VARNO::CCamera& camera, kvx::ui::ICommandSink& sink);

    void EnablePanel(bool enable) override;
    void RegisterWith(VARNO::CSettingDispatcher& dispatcher) override;

    void ShowDriveMode(uint8_t code) override;
    void FillDriveModeList(uint32_t mask) override;
    void ShowMeteringMode(uint8_t code) override;
    void FillMeteringList(uint32_t mask) override;
    void ShowAfMode(uint8_t code) override;
    void FillAfModeList(uint32_t mask) override;
    void ShowIntervalTimer(uint16_t interval_seconds, uint8_t count) override;
    void ShowFocusFrame(const uint8_t frame[4]) override;
    void ShowFaceDetection(uint8_t value, uint8_t state) override;
    void ApplyQmdMode(bool on) override;

    // Interval limits in force (seconds, shots): CanSetInfo3's, with a
    // maximum of 0 read as "no limit" rather than as a limit of 0.
    struct IntervalLimits {
        int min_seconds, max_seconds, max_count;
    };
    IntervalLimits Limits() const;

    enum Selector { kFrameSize, kAfMode, kMetering, kDrive, kCount };
    CStaticCombo* SelectorAt(Selector s) const { return combos_[s]; }
    CStaticAFarea2* FocusArea() const { return area_; }
    CGdipButton* FreeMoveButton() const { return free_move_; }
    CGdipButton* FaceButton() const { return face_; }
    CGdipButton* UnlimitedButton() const { return unlimited_; }
    QLineEdit* MinutesEdit() const { return minutes_; }
    QLineEdit* SecondsEdit() const { return seconds_; }
    QLineEdit* CountEdit() const { return count_; }
    bool IntervalShown() const;

private:
    void Pick(Selector s, int index);
    void SendFocusFrame();
    void SendIntervalTimer();
    void MinutesEdited();
    void SecondsEdited();
    void CountEdited();
    void EditFinished(QLineEdit* edit);
    void SetUnlimited(bool on);
    void ShowInterval(bool shown);
    void FillDrive(uint32_t mask);
    uint32_t DriveMaskInForce() const;
    void ApplyEnable();
    static void Write(QLineEdit* edit, const QString& text);

    CStaticCombo* combos_[kCount] = {};
    bool has_options_[kCount] = {true, true, true, true};
    CStaticAFarea2* area_ = nullptr;
    CGdipButton* free_move_ = nullptr;
    CGdipButton* face_ = nullptr;
    CGdipButton* unlimited_ = nullptr;
    QWidget* interval_frame_ = nullptr;
    QLineEdit* minutes_ = nullptr;
    QLineEdit* seconds_ = nullptr;
    QLineEdit* count_ = nullptr;
    std::vector<QWidget*> interval_widgets_;
    std::vector<QLabel*> interval_labels_;
    bool free_move_on_ = false;
    bool face_on_ = false;
    bool unlimited_on_ = false;
    bool qmd_ = false;
    uint8_t drive_mode_ = 0;
};
