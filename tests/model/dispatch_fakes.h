// Recording fakes of every dispatch consumer: each call lands in one shared
// list as "consumer.Operation(arg,...)", in call order.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "model/dispatch_interfaces.h"

namespace kvx_test {

using Calls = std::vector<std::string>;

class Recorder {
public:
    Recorder(Calls& calls, const char* name) : calls_(calls), name_(name) {}

protected:
    void Rec(const char* op, std::initializer_list<long long> args) const {
        std::string s = name_ + "." + op + "(";
        bool first = true;
        for (long long a : args) {
            if (!first) s += ",";
            s += std::to_string(a);
            first = false;
        }
        calls_.push_back(s + ")");
    }

private:
    Calls& calls_;
    std::string name_;
};

#define KVX_R0(op)       \
    void op() override { \
        Rec(#op, {});    \
    }
#define KVX_R1(op, T)                          \
    void op(T a) override {                    \
        Rec(#op, {static_cast<long long>(a)}); \
    }
#define KVX_R2(op, T1, T2)                                                \
    void op(T1 a, T2 b) override {                                        \
        Rec(#op, {static_cast<long long>(a), static_cast<long long>(b)}); \
    }
#define KVX_R4(op, T1, T2, T3, T4)                                                                 \
    void op(T1 a, T2 b, T3 c, T4 d) override {                                                     \
        Rec(#op, {static_cast<long long>(a), static_cast<long long>(b), static_cast<long long>(c), \
                  static_cast<long long>(d)});                                                     \
    }
#define KVX_RFRAME(op)                      \
    void op(const uint8_t f[4]) override {  \
        Rec(#op, {f[0], f[1], f[2], f[3]}); \
    }

class FakeExposure : public VARNO::IExposurePanel, Recorder {
public:
    explicit FakeExposure(Calls& c) : Recorder(c, "exposure") {}
    KVX_R1(ShowExposureMode, uint8_t)
    KVX_R1(FillExposureModeList, uint32_t)
    KVX_R1(ShowShutterSpeed, uint8_t)
    KVX_R1(ShowAperture, uint8_t)
    KVX_R1(ShowProgramShift, int8_t)
    KVX_R1(ShowIsoAuto, uint8_t)
    KVX_R1(ShowIso, uint8_t)
    KVX_R2(UpdateExposureComp, uint8_t, int)
    KVX_R1(EnableProgramShift, uint8_t)
    KVX_R1(SetIsoAutoAvailable, bool)
    KVX_R0(ResetIsoSlider)
    KVX_R2(SetShutterLimits, int, int)
    KVX_R2(SetShutterRange, int, int)
    KVX_R2(SetApertureRange, int, int)
    KVX_R2(SetIsoRange, int, int)
    KVX_R2(SetExposureCompRange, int, int)
    KVX_R1(ApplyQmdMode, bool)
};

class FakeCameraPanel : public VARNO::ICameraPanel, Recorder {
public:
    explicit FakeCameraPanel(Calls& c) : Recorder(c, "camera") {}
    KVX_R1(ShowDriveMode, uint8_t)
    KVX_R1(FillDriveModeList, uint32_t)
    KVX_R1(ShowMeteringMode, uint8_t)
    KVX_R1(FillMeteringList, uint32_t)
    KVX_R1(ShowAfMode, uint8_t)
    KVX_R1(FillAfModeList, uint32_t)
    KVX_R2(ShowIntervalTimer, uint16_t, uint8_t)
    KVX_RFRAME(ShowFocusFrame)
    KVX_R2(ShowFaceDetection, uint8_t, uint8_t)
    KVX_R1(ApplyQmdMode, bool)
};

class FakeImage1 : public VARNO::IImagePanel1, Recorder {
public:
    explicit FakeImage1(Calls& c) : Recorder(c, "image1") {}
    KVX_R1(FillImageSizeList, uint32_t)
    KVX_R1(FillImageQualityList, uint32_t)
    KVX_R1(FillWhiteBalanceList, uint32_t)
    KVX_R1(FillAspectRatioList, uint32_t)
    KVX_R1(FillDcCropList, uint32_t)
    KVX_R1(ShowImageSize, uint8_t)
    KVX_R1(ShowImageQuality, uint8_t)
    KVX_R1(ShowWhiteBalance, uint8_t)
    KVX_R1(ShowColorTemperature, uint16_t)
    KVX_R1(ShowAspectRatio, uint8_t)
    KVX_R1(ShowDcCrop, uint8_t)
    KVX_R1(ApplyQmdMode, bool)
};

class FakeImage2 : public VARNO::IImagePanel2, Recorder {
public:
    explicit FakeImage2(Calls& c) : Recorder(c, "image2") {}
    KVX_R1(FillColorModeList, uint32_t)
    KVX_R1(FillColorSpaceList, uint32_t)
    KVX_R1(ShowContrast, int8_t)
    KVX_R1(ShowSharpness, int8_t)
    KVX_R1(ShowSaturation, int8_t)
    KVX_R1(ShowColorSpace, uint8_t)
    KVX_R1(ShowColorMode, uint8_t)
    KVX_R1(ShowFilterEffect, uint8_t)
    KVX_R1(ShowToningEffect, uint8_t)
    KVX_R1(ShowToneControl, uint8_t)
    KVX_R1(ApplyQmdMode, bool)
};

class FakeGrid : public VARNO::IWbAdjustGrid, Recorder {
public:
    explicit FakeGrid(Calls& c) : Recorder(c, "grid") {}
    KVX_R2(SetAdjustValue, int8_t, int8_t)
};

class FakeSetup : public VARNO::ISetupPanel, Recorder {
public:
    explicit FakeSetup(Calls& c) : Recorder(c, "setup") {}
    KVX_R1(ShowAfAssist, uint8_t)
    KVX_R1(ShowAfVolume, uint8_t)
    KVX_R1(ShowExtendedMode, uint8_t)
    KVX_R1(ShowAutoRotate, uint8_t)
    KVX_R1(ShowTimerSound, uint8_t)
};

class FakeFlash : public VARNO::IFlashPanel, Recorder {
public:
    explicit FakeFlash(Calls& c) : Recorder(c, "flash") {}
    KVX_R1(FillFlashLists, uint32_t)
    KVX_R1(ShowFlashFlags, uint8_t)
    KVX_R1(ShowSyncMode, uint8_t)
    KVX_R1(ShowFlashCompensation, uint8_t)
    KVX_R1(ShowFlashAfAssist, uint8_t)
    KVX_R2(SetFlashCompensationLimits, int, int)
    KVX_R1(ApplyQmdMode, bool)
};

class FakeMain : public VARNO::IMainWindowView, Recorder {
public:
    explicit FakeMain(Calls& c) : Recorder(c, "main") {}
    KVX_R1(UpdateExposureReadout, int)
    KVX_R1(ShowIsoAutoIndicator, int)
    KVX_R1(SetBracketAmount, int8_t)
    KVX_R2(SetBracketSetting, uint8_t, uint8_t)
    KVX_R1(SetBracketingIndicator, int)
    KVX_R0(RefreshBracketReadout)
    KVX_R1(SetBracketAmountLimit, int)
    KVX_R0(EvaluateCaptureButtons)
    KVX_R0(EvaluateSpecialButtons)
    KVX_R2(ShowRemainingShots, uint16_t, uint8_t)
    KVX_R1(ShowBattery, int8_t)
    KVX_R2(ShowAdditionalBatteries, uint8_t, uint8_t)
    KVX_R1(SetAeLock, bool)
    KVX_R0(RedrawAeLockButton)
    KVX_R1(SetAfLock, bool)
    KVX_R1(SetDriveModeState, uint8_t)
    KVX_R1(ShowExposureModeIndicator, uint8_t)
    KVX_R1(ShowMeteringIndicator, uint8_t)
    KVX_R4(ShowIntervalReadout, bool, uint16_t, uint8_t, uint8_t)
    KVX_R1(UpdateAfModeStatus, uint8_t)
    KVX_R2(UpdateCameraLine, uint16_t, uint16_t)
    KVX_R2(SetIndicator, VARNO::StatusIndicator, bool)
    KVX_R1(SetSpecialBracketIndicator, uint8_t)
    KVX_R1(OnWhiteBalanceReported, uint8_t)
    KVX_R0(EvaluateCustomWbMenu)
    KVX_R1(SetQmdMode, bool)
    KVX_R0(UpdateIsoFunctionMenu)
    KVX_R1(SetDcCrop, uint8_t)
};

class FakeSpecial : public VARNO::ISpecialSettingsDialog, Recorder {
public:
    explicit FakeSpecial(Calls& c) : Recorder(c, "special") {}
    int shownRow = 0;
    KVX_R2(SetBracketValues, int8_t, uint8_t)
    KVX_R1(ShowBracketAmount, int8_t)
    KVX_R1(ShowBracketSetting, uint8_t)
    KVX_R1(FillBracketLists, uint32_t)
    KVX_R1(ShowQmdMode, uint8_t)
    KVX_R1(ShowWhiteBalance, uint8_t)
    KVX_R2(ShowAdjustValue, int8_t, int8_t)
    KVX_R1(ShowColorMode, uint8_t)
    int ShownColorRow() const override { return shownRow; }
    KVX_R2(ShowBaseParameter, VARNO::ColorParam, uint8_t)
    KVX_R1(SetWbBracketAvailable, bool)
    KVX_R1(SetColorBracketAvailable, bool)
    KVX_R1(ShowWbBracketActive, uint8_t)
    KVX_R1(ShowColorBracketActive, uint8_t)
    KVX_R1(ShowWbBracketCount, uint8_t)
    KVX_R1(ShowWbBracketAmount, uint8_t)
    KVX_R1(ShowWbBracketAxis, uint8_t)
    KVX_R2(ShowRowColorMode, int, uint8_t)
    void ShowRowParameters(int row, const uint8_t p[5]) override {
        Rec("ShowRowParameters", {row, p[0], p[1], p[2], p[3], p[4]});
    }
};

class FakeLiveView : public VARNO::ILiveViewWindow, Recorder {
public:
    explicit FakeLiveView(Calls& c) : Recorder(c, "liveview") {}
    KVX_R1(ShowMagnification, uint8_t)
    KVX_R1(ShowPeakingLevel, uint8_t)
    KVX_RFRAME(ShowFocusFrame)
};

class FakeHost : public VARNO::IDispatchHost, Recorder {
public:
    explicit FakeHost(Calls& c) : Recorder(c, "host") {}
    void PostMessage(VARNO::WindowTarget t, uint32_t m, uintptr_t w, intptr_t l) override {
        Rec("PostMessage", {static_cast<long long>(t), m, static_cast<long long>(w), l});
    }
    KVX_R0(PostStatusRefresh)
    KVX_R0(SetExtendedCamera)
    KVX_R0(ClearDestinationSent)
    KVX_R1(SetLiveViewAspectIndex, uint8_t)
};

#undef KVX_R0
#undef KVX_R1
#undef KVX_R2
#undef KVX_R4
#undef KVX_RFRAME

}  // namespace kvx_test
