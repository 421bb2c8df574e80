// What the setting dispatch calls when the camera reports a setting: one small
// interface per panel, readout area and dialog. The windows implement them;
// tests implement them with recording fakes. Every value is the camera's code
// as it stands in the record; the consumer applies its own display rules
// (ignored ranges, "while connected", and so on).
#pragma once

#include <cstdint>

#include "model/window_messages.h"

namespace VARNO {

// "Exposure Setting" panel.
class IExposurePanel {
public:
    virtual ~IExposurePanel() = default;
    virtual void ShowExposureMode(uint8_t mode) = 0;
    virtual void FillExposureModeList(uint32_t mask) = 0;
    virtual void ShowShutterSpeed(uint8_t code) = 0;  // also sets the shutter readout
    virtual void ShowAperture(uint8_t code) = 0;      // also sets the aperture readout
    virtual void ShowProgramShift(int8_t shift) = 0;
    virtual void ShowIsoAuto(uint8_t value) = 0;
    virtual void ShowIso(uint8_t code) = 0;
    virtual void UpdateExposureComp(uint8_t code, int caller) = 0;
    virtual void EnableProgramShift(uint8_t settable) = 0;
    virtual void SetIsoAutoAvailable(bool available) = 0;
    // The ISO list was rebuilt: slider range 0 .. new length - 1.
    virtual void ResetIsoSlider() = 0;
    // Shutter slider ends from the Bulb and Sync offers (list positions).
    virtual void SetShutterLimits(int lowest, int highest) = 0;
    // Settable ranges as list positions (exposure compensation: relative to -5.0).
    virtual void SetShutterRange(int lower, int upper) = 0;
    virtual void SetApertureRange(int lower, int upper) = 0;
    virtual void SetIsoRange(int lower, int upper) = 0;
    virtual void SetExposureCompRange(int lower, int upper) = 0;
    virtual void ApplyQmdMode(bool on) = 0;
};

// "Camera Setting" panel.
class ICameraPanel {
public:
    virtual ~ICameraPanel() = default;
    virtual void ShowDriveMode(uint8_t code) = 0;
    virtual void FillDriveModeList(uint32_t mask) = 0;
    virtual void ShowMeteringMode(uint8_t code) = 0;
    virtual void FillMeteringList(uint32_t mask) = 0;
    virtual void ShowAfMode(uint8_t code) = 0;
    virtual void FillAfModeList(uint32_t mask) = 0;
    // Interval in seconds and shot count (0 = unlimited) of the interval timer.
    virtual void ShowIntervalTimer(uint16_t intervalSeconds, uint8_t count) = 0;
    virtual void ShowFocusFrame(const uint8_t frame[4]) = 0;
    // Face detection AF value (1 on) and face detection state (2 = face found).
    virtual void ShowFaceDetection(uint8_t value, uint8_t state) = 0;
    virtual void ApplyQmdMode(bool on) = 0;
};

// "Image Setting 1" panel.
class IImagePanel1 {
public:
    virtual ~IImagePanel1() = default;
    virtual void FillImageSizeList(uint32_t mask) = 0;
    virtual void FillImageQualityList(uint32_t mask) = 0;
    virtual void FillWhiteBalanceList(uint32_t mask) = 0;
    virtual void FillAspectRatioList(uint32_t mask) = 0;
    virtual void FillDcCropList(uint32_t mask) = 0;
    virtual void ShowImageSize(uint8_t code) = 0;
    virtual void ShowImageQuality(uint8_t code) = 0;
    virtual void ShowWhiteBalance(uint8_t code) = 0;
    virtual void ShowColorTemperature(uint16_t kelvin) = 0;
    virtual void ShowAspectRatio(uint8_t code) = 0;
    virtual void ShowDcCrop(uint8_t code) = 0;
    virtual void ApplyQmdMode(bool on) = 0;
};

// "Image Setting 2" panel.
class IImagePanel2 {
public:
    virtual ~IImagePanel2() = default;
    virtual void FillColorModeList(uint32_t mask) = 0;
    virtual void FillColorSpaceList(uint32_t mask) = 0;
    virtual void ShowContrast(int8_t value) = 0;
    virtual void ShowSharpness(int8_t value) = 0;
    virtual void ShowSaturation(int8_t value) = 0;
    virtual void ShowColorSpace(uint8_t code) = 0;
    virtual void ShowColorMode(uint8_t code) = 0;
    virtual void ShowFilterEffect(uint8_t code) = 0;
    virtual void ShowToningEffect(uint8_t code) = 0;
    virtual void ShowToneControl(uint8_t code) = 0;
    virtual void ApplyQmdMode(bool on) = 0;
};

// The white-balance adjust grid of "Image Setting 1" (fed directly, not through the panel).
class IWbAdjustGrid {
public:
    virtual ~IWbAdjustGrid() = default;
    virtual void SetAdjustValue(int8_t blueAmber, int8_t greenMagenta) = 0;
};

// "Setup" panel.
class ISetupPanel {
public:
    virtual ~ISetupPanel() = default;
    virtual void ShowAfAssist(uint8_t code) = 0;
    virtual void ShowAfVolume(uint8_t code) = 0;
    virtual void ShowExtendedMode(uint8_t code) = 0;
    virtual void ShowAutoRotate(uint8_t code) = 0;
    virtual void ShowTimerSound(uint8_t code) = 0;
};

// "Flash Setting" panel.
class IFlashPanel {
public:
    virtual ~IFlashPanel() = default;
    virtual void FillFlashLists(uint32_t mask) = 0;
    virtual void ShowFlashFlags(uint8_t flags) = 0;
    virtual void ShowSyncMode(uint8_t code) = 0;
    virtual void ShowFlashCompensation(uint8_t code) = 0;  // also sets its indicator
    virtual void ShowFlashAfAssist(uint8_t code) = 0;
    // Settable flash compensation range, positions relative to -3.0.
    virtual void SetFlashCompensationLimits(int lower, int upper) = 0;
    virtual void ApplyQmdMode(bool on) = 0;
};

// Indicators of the main window's status readouts (readout 6).
enum class StatusIndicator : uint8_t {
    FpFlash,
    FlashSync,
    FlashAvailable,
    SlowSync,
    FlashComp,
    StatusLamp,
};

// The main window's readouts, buttons, menus and the state it keeps.
class IMainWindowView {
public:
    virtual ~IMainWindowView() = default;
    // Exposure level readout: with a code, or refreshed from the current values (-1).
    virtual void UpdateExposureReadout(int code) = 0;
    virtual void ShowIsoAutoIndicator(int state) = 0;  // 1 ISO auto on, 2 off
    virtual void SetBracketAmount(int8_t amount) = 0;
    virtual void SetBracketSetting(uint8_t code, uint8_t shotsClass) = 0;
    virtual void SetBracketingIndicator(int glyph) = 0;  // 3 QMD, 5 amount set, 0 off
    virtual void RefreshBracketReadout() = 0;
    virtual void SetBracketAmountLimit(int limit) = 0;  // 0..9 positions from 0.0
    virtual void EvaluateCaptureButtons() = 0;
    virtual void EvaluateSpecialButtons() = 0;
    virtual void ShowRemainingShots(uint16_t count, uint8_t cardState) = 0;
    virtual void ShowBattery(int8_t code) = 0;
    virtual void ShowAdditionalBatteries(uint8_t first, uint8_t second) = 0;
    virtual void SetAeLock(bool locked) = 0;  // state and button
    virtual void RedrawAeLockButton() = 0;
    virtual void SetAfLock(bool locked) = 0;  // state and button
    virtual void SetDriveModeState(uint8_t code) = 0;
    virtual void ShowExposureModeIndicator(uint8_t mode) = 0;
    virtual void ShowMeteringIndicator(uint8_t code) = 0;
    // Interval timer readout; on when the drive mode is 7.
    virtual void ShowIntervalReadout(bool on, uint16_t runningSeconds, uint8_t runningCount,
                                     uint8_t configuredCount) = 0;
    virtual void UpdateAfModeStatus(uint8_t afMode) = 0;
    virtual void UpdateCameraLine(uint16_t shortest, uint16_t longest) = 0;
    virtual void SetIndicator(StatusIndicator indicator, bool lit) = 0;
    virtual void SetSpecialBracketIndicator(uint8_t kind) = 0;
    // Custom white-balance capture handling of a reported white balance.
    virtual void OnWhiteBalanceReported(uint8_t code) = 0;
    virtual void EvaluateCustomWbMenu() = 0;
    virtual void SetQmdMode(bool on) = 0;
    virtual void UpdateIsoFunctionMenu() = 0;
    virtual void SetDcCrop(uint8_t code) = 0;
};

// Row parameters of the colour-mode bracketing page.
enum class ColorParam : uint8_t { Contrast, Sharpness, Saturation, FilterEffect, ToningEffect };

// "Special Capture Setting" dialog with its three pages (only while it is open).
class ISpecialSettingsDialog {
public:
    virtual ~ISpecialSettingsDialog() = default;
    virtual void SetBracketValues(int8_t amount, uint8_t setting) = 0;
    virtual void ShowBracketAmount(int8_t amount) = 0;
    virtual void ShowBracketSetting(uint8_t setting) = 0;
    virtual void FillBracketLists(uint32_t mask) = 0;
    virtual void ShowQmdMode(uint8_t value) = 0;
    virtual void ShowWhiteBalance(uint8_t code) = 0;
    virtual void ShowAdjustValue(int8_t blueAmber, int8_t greenMagenta) = 0;
    virtual void ShowColorMode(uint8_t code) = 0;  // the camera's own colour mode
    // The row the colour-mode page shows: 0 = the camera's settings, 1..5 = BKT1..BKT5.
    virtual int ShownColorRow() const = 0;
    virtual void ShowBaseParameter(ColorParam param, uint8_t value) = 0;
    virtual void SetWbBracketAvailable(bool available) = 0;
    virtual void SetColorBracketAvailable(bool available) = 0;
    virtual void ShowWbBracketActive(uint8_t kind) = 0;
    virtual void ShowColorBracketActive(uint8_t kind) = 0;
    virtual void ShowWbBracketCount(uint8_t count) = 0;
    virtual void ShowWbBracketAmount(uint8_t code) = 0;
    virtual void ShowWbBracketAxis(uint8_t code) = 0;
    virtual void ShowRowColorMode(int row, uint8_t code) = 0;
    virtual void ShowRowParameters(int row, const uint8_t params[5]) = 0;
};

// Live view window (only while it is open).
class ILiveViewWindow {
public:
    virtual ~ILiveViewWindow() = default;
    virtual void ShowMagnification(uint8_t code) = 0;
    virtual void ShowPeakingLevel(uint8_t value) = 0;
    virtual void ShowFocusFrame(const uint8_t frame[4]) = 0;
};

// What the dispatch needs from the engine: posting, and the flags it owns.
class IDispatchHost {
public:
    virtual ~IDispatchHost() = default;
    // target: one of the window targets of window_messages.h.
    virtual void PostMessage(WindowTarget target, uint32_t message, uintptr_t wParam,
                             intptr_t lParam) = 0;
    // WM_USER+105 to the main window, with the wParam the camera state gives.
    virtual void PostStatusRefresh() = 0;
    // A CanSetInfo4 arrived: the camera is an extended camera.
    virtual void SetExtendedCamera() = 0;
    // A reply flagged the capture destination: send it again.
    virtual void ClearDestinationSent() = 0;
    // The live view mask index follows the aspect ratio code.
    virtual void SetLiveViewAspectIndex(uint8_t aspect) = 0;
};

}  // namespace VARNO
