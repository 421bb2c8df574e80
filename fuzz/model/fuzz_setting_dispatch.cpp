// The setting dispatch fed with records from the camera: any bytes stored
// for any group or version, then any message -- the ten update messages, any
// other number -- and the direct handlers with numbers in and out of range.
// Consumers are absent (null) or recording no-ops chosen by the input; the
// recording ones check that everything they are handed stays inside the
// tables and records it refers to: list positions inside the value lists,
// record pointers inside the record they come from.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fuzz/common/byte_reader.h"
#include "fuzz/common/check_stats.h"
#include "fuzz/common/guarded_buffer.h"
#include "model/camera.h"
#include "model/setting_dispatcher.h"
#include "model/window_messages.h"

using namespace VARNO;
using kvx::fuzz::ByteReader;
using kvx::fuzz::GuardedBuffer;

namespace {

kvx::fuzz::CheckStats g_stats{
    "setting_dispatch", {}, {"positions", "pointers", "empty_iso_list", "messages"}};

// A position handed to a slider or list of `size` entries.
void CheckPosition(int position, int size) {
    ++g_stats.counts[0];
    if (size > 0) KVX_FUZZ_CHECK(position >= 0 && position < size);
}

// Bytes handed over as a pointer must lie inside the current record.
void CheckInside(const CCamera& camera, int group, const uint8_t* p, size_t count) {
    ++g_stats.counts[1];
    const uint8_t* start = camera.DataGroup(group);
    KVX_FUZZ_CHECK(p >= start && p + count <= start + kDataGroupSize[group]);
}

class Consumers final : public IExposurePanel,
                        public ICameraPanel,
                        public IImagePanel1,
                        public IImagePanel2,
                        public IWbAdjustGrid,
                        public ISetupPanel,
                        public IFlashPanel,
                        public IMainWindowView,
                        public ISpecialSettingsDialog,
                        public ILiveViewWindow,
                        public IDispatchHost {
public:
    explicit Consumers(const CCamera& camera) : camera_(camera) {}
    int shownRow = 0;
    uint64_t calls = 0;

    // IExposurePanel
    void ShowExposureMode(uint8_t) override { ++calls; }
    void FillExposureModeList(uint32_t) override { ++calls; }
    void ShowShutterSpeed(uint8_t) override { ++calls; }
    void ShowAperture(uint8_t) override { ++calls; }
    void ShowProgramShift(int8_t) override { ++calls; }
    void ShowIsoAuto(uint8_t) override { ++calls; }
    void ShowIso(uint8_t) override { ++calls; }
    void UpdateExposureComp(uint8_t, int) override { ++calls; }
    void EnableProgramShift(uint8_t) override { ++calls; }
    void SetIsoAutoAvailable(bool) override { ++calls; }
    void ResetIsoSlider() override { ++calls; }
    void SetShutterLimits(int lowest, int highest) override {
        const int n = static_cast<int>(camera_.ShutterList().size());
        CheckPosition(lowest, n);
        CheckPosition(highest, n);
    }
    void SetShutterRange(int lower, int upper) override {
        const int n = static_cast<int>(camera_.ShutterList().size());
        CheckPosition(lower, n);
        CheckPosition(upper, n);
    }
    void SetApertureRange(int lower, int upper) override {
        const int n = static_cast<int>(camera_.ApertureList().size());
        CheckPosition(lower, n);
        CheckPosition(upper, n);
    }
    void SetIsoRange(int lower, int upper) override {
        const int n = static_cast<int>(camera_.IsoList().size());
        // An empty list leaves no position to check; count that it happens.
        if (n == 0) ++g_stats.counts[2];
        CheckPosition(lower, n);
        CheckPosition(upper, n);
    }
    void SetExposureCompRange(int lower, int upper) override {
        const int span = camera_.ExpCompTop() - camera_.ExpCompBase() + 1;
        CheckPosition(lower, span);
        CheckPosition(upper, span);
    }
    void ApplyQmdMode(bool) override { ++calls; }

    // ICameraPanel
    void ShowDriveMode(uint8_t) override { ++calls; }
    void FillDriveModeList(uint32_t) override { ++calls; }
    void ShowMeteringMode(uint8_t) override { ++calls; }
    void FillMeteringList(uint32_t) override { ++calls; }
    void ShowAfMode(uint8_t) override { ++calls; }
    void FillAfModeList(uint32_t) override { ++calls; }
    void ShowIntervalTimer(uint16_t, uint8_t) override { ++calls; }
    void ShowFocusFrame(const uint8_t frame[4]) override { CheckInside(camera_, 5, frame, 4); }
    void ShowFaceDetection(uint8_t, uint8_t) override { ++calls; }

    // IImagePanel1
    void FillImageSizeList(uint32_t) override { ++calls; }
    void FillImageQualityList(uint32_t) override { ++calls; }
    void FillWhiteBalanceList(uint32_t) override { ++calls; }
    void FillAspectRatioList(uint32_t) override { ++calls; }
    void FillDcCropList(uint32_t) override { ++calls; }
    void ShowImageSize(uint8_t) override { ++calls; }
    void ShowImageQuality(uint8_t) override { ++calls; }
    void ShowWhiteBalance(uint8_t) override { ++calls; }
    void ShowColorTemperature(uint16_t) override { ++calls; }
    void ShowAspectRatio(uint8_t) override { ++calls; }
    void ShowDcCrop(uint8_t) override { ++calls; }

    // IImagePanel2
    void FillColorModeList(uint32_t) override { ++calls; }
    void FillColorSpaceList(uint32_t) override { ++calls; }
    void ShowContrast(int8_t) override { ++calls; }
    void ShowSharpness(int8_t) override { ++calls; }
    void ShowSaturation(int8_t) override { ++calls; }
    void ShowColorSpace(uint8_t) override { ++calls; }
    void ShowColorMode(uint8_t) override { ++calls; }
    void ShowFilterEffect(uint8_t) override { ++calls; }
    void ShowToningEffect(uint8_t) override { ++calls; }
    void ShowToneControl(uint8_t) override { ++calls; }

    // IWbAdjustGrid
    void SetAdjustValue(int8_t, int8_t) override { ++calls; }

    // ISetupPanel
    void ShowAfAssist(uint8_t) override { ++calls; }
    void ShowAfVolume(uint8_t) override { ++calls; }
    void ShowExtendedMode(uint8_t) override { ++calls; }
    void ShowAutoRotate(uint8_t) override { ++calls; }
    void ShowTimerSound(uint8_t) override { ++calls; }

    // IFlashPanel
    void FillFlashLists(uint32_t) override { ++calls; }
    void ShowFlashFlags(uint8_t) override { ++calls; }
    void ShowSyncMode(uint8_t) override { ++calls; }
    void ShowFlashCompensation(uint8_t) override { ++calls; }
    void ShowFlashAfAssist(uint8_t) override { ++calls; }
    void SetFlashCompensationLimits(int lower, int upper) override {
        const int span = camera_.FlashCompTop() - camera_.FlashCompBase() + 1;
        CheckPosition(lower, span);
        CheckPosition(upper, span);
    }

    // IMainWindowView
    void UpdateExposureReadout(int) override { ++calls; }
    void ShowIsoAutoIndicator(int state) override { KVX_FUZZ_CHECK(state == 1 || state == 2); }
    void SetBracketAmount(int8_t) override { ++calls; }
    void SetBracketSetting(uint8_t, uint8_t shotsClass) override {
        KVX_FUZZ_CHECK(shotsClass == 1 || shotsClass == 2);
    }
    void SetBracketingIndicator(int glyph) override {
        KVX_FUZZ_CHECK(glyph == 0 || glyph == 3 || glyph == 5);
    }
    void RefreshBracketReadout() override { ++calls; }
    void SetBracketAmountLimit(int limit) override { KVX_FUZZ_CHECK(limit >= 0 && limit <= 9); }
    void EvaluateCaptureButtons() override { ++calls; }
    void EvaluateSpecialButtons() override { ++calls; }
    void ShowRemainingShots(uint16_t, uint8_t) override { ++calls; }
    void ShowBattery(int8_t) override { ++calls; }
    void ShowAdditionalBatteries(uint8_t, uint8_t) override { ++calls; }
    void SetAeLock(bool) override { ++calls; }
    void RedrawAeLockButton() override { ++calls; }
    void SetAfLock(bool) override { ++calls; }
    void SetDriveModeState(uint8_t) override { ++calls; }
    void ShowExposureModeIndicator(uint8_t) override { ++calls; }
    void ShowMeteringIndicator(uint8_t) override { ++calls; }
    void ShowIntervalReadout(bool, uint16_t, uint8_t, uint8_t) override { ++calls; }
    void UpdateAfModeStatus(uint8_t) override { ++calls; }
    void UpdateCameraLine(uint16_t, uint16_t) override { ++calls; }
    void SetIndicator(StatusIndicator indicator, bool) override {
        KVX_FUZZ_CHECK(static_cast<int>(indicator) <=
                       static_cast<int>(StatusIndicator::StatusLamp));
    }
    void SetSpecialBracketIndicator(uint8_t) override { ++calls; }
    void OnWhiteBalanceReported(uint8_t) override { ++calls; }
    void EvaluateCustomWbMenu() override { ++calls; }
    void SetQmdMode(bool) override { ++calls; }
    void UpdateIsoFunctionMenu() override { ++calls; }
    void SetDcCrop(uint8_t) override { ++calls; }

    // ISpecialSettingsDialog
    void SetBracketValues(int8_t, uint8_t) override { ++calls; }
    void ShowBracketAmount(int8_t) override { ++calls; }
    void ShowBracketSetting(uint8_t) override { ++calls; }
    void FillBracketLists(uint32_t) override { ++calls; }
    void ShowQmdMode(uint8_t) override { ++calls; }
    void ShowAdjustValue(int8_t, int8_t) override { ++calls; }
    int ShownColorRow() const override { return shownRow; }
    void ShowBaseParameter(ColorParam param, uint8_t) override {
        KVX_FUZZ_CHECK(static_cast<int>(param) <= static_cast<int>(ColorParam::ToningEffect));
    }
    void SetWbBracketAvailable(bool) override { ++calls; }
    void SetColorBracketAvailable(bool) override { ++calls; }
    void ShowWbBracketActive(uint8_t) override { ++calls; }
    void ShowColorBracketActive(uint8_t) override { ++calls; }
    void ShowWbBracketCount(uint8_t) override { ++calls; }
    void ShowWbBracketAmount(uint8_t) override { ++calls; }
    void ShowWbBracketAxis(uint8_t) override { ++calls; }
    void ShowRowColorMode(int row, uint8_t) override { KVX_FUZZ_CHECK(row >= 1 && row <= 5); }
    void ShowRowParameters(int row, const uint8_t params[5]) override {
        KVX_FUZZ_CHECK(row >= 1 && row <= 5);
        CheckInside(camera_, 6, params, 5);
    }

    // ILiveViewWindow
    void ShowMagnification(uint8_t) override { ++calls; }
    void ShowPeakingLevel(uint8_t) override { ++calls; }

    // IDispatchHost
    void PostMessage(WindowTarget target, uint32_t, uintptr_t, intptr_t) override {
        KVX_FUZZ_CHECK(static_cast<int>(target) <=
                       static_cast<int>(kTargetLiveView));
    }
    void PostStatusRefresh() override { ++calls; }
    void SetExtendedCamera() override { ++calls; }
    void ClearDestinationSent() override { ++calls; }
    void SetLiveViewAspectIndex(uint8_t) override { ++calls; }

private:
    const CCamera& camera_;
};

constexpr uint32_t kUpdates[10] = {kWmUser + 101, kWmUser + 102, kWmUser + 103, kWmUser + 109,
                                   kWmUser + 115, kWmUser + 116, kWmUser + 107, kWmUser + 110,
                                   kWmUser + 114, kWmUser + 120};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static GuardedBuffer bytes(kMaxCanSetInfoSize);
    // One camera for every input: Clear() puts the records back and the
    // lists are built again (a DataGroup4 ISO step rebuilds the ISO list).
    static CCamera camera;
    camera.Clear();
    camera.BuildLists();
    ByteReader in(data, size);

    Consumers consumers(camera);
    CSettingDispatcher dispatcher(camera, consumers);
    const uint16_t present = in.U16();
    auto pick = [&](int bit, auto* p) { return (present & (1u << bit)) ? p : nullptr; };
    dispatcher.SetExposurePanel(pick(0, static_cast<IExposurePanel*>(&consumers)));
    dispatcher.SetCameraPanel(pick(1, static_cast<ICameraPanel*>(&consumers)));
    dispatcher.SetImagePanel1(pick(2, static_cast<IImagePanel1*>(&consumers)));
    dispatcher.SetImagePanel2(pick(3, static_cast<IImagePanel2*>(&consumers)));
    dispatcher.SetWbAdjustGrid(pick(4, static_cast<IWbAdjustGrid*>(&consumers)));
    dispatcher.SetSetupPanel(pick(5, static_cast<ISetupPanel*>(&consumers)));
    dispatcher.SetFlashPanel(pick(6, static_cast<IFlashPanel*>(&consumers)));
    dispatcher.SetMainWindow(pick(7, static_cast<IMainWindowView*>(&consumers)));
    dispatcher.SetSpecialSettingsDialog(pick(8, static_cast<ISpecialSettingsDialog*>(&consumers)));
    dispatcher.SetLiveViewWindow(pick(9, static_cast<ILiveViewWindow*>(&consumers)));
    dispatcher.SetIsoFunctionDialogOpen((present & (1u << 10)) != 0);
    consumers.shownRow = static_cast<int8_t>(in.U8()) % 8;

    for (int op = 0; op < 48 && !in.Empty(); ++op) {
        const uint8_t kind = in.U8();
        switch (kind % 6) {
            case 0:
            case 1: {  // a record arrives and its message follows
                const int which = in.U8() % 10;
                const bool group = which < 6;
                const int n = group ? which + 1 : which - 5;
                const size_t full = group ? kDataGroupSize[n] : kCanSetInfoSize[n];
                const size_t claimed = (kind & 0x80) ? in.U8() % (full + 1) : full;
                size_t got = 0;
                const uint8_t* src = in.Take(claimed, &got);
                uint8_t* rec = bytes.Place(claimed, src, got);
                if (group) {
                    camera.StoreReceivedDataGroup(n, rec, claimed);
                } else {
                    camera.StoreReceivedCanSetInfo(n, rec, claimed);
                }
                KVX_FUZZ_CHECK(dispatcher.HandleMessage(kUpdates[which]));
                break;
            }
            case 2: {  // any message number
                const uint32_t message = (kind & 0x80) ? in.U32() : kWmUser + in.U8();
                bool known = false;
                for (uint32_t m : kUpdates) known = known || m == message;
                KVX_FUZZ_CHECK(dispatcher.HandleMessage(message) == known);
                ++g_stats.counts[3];
                break;
            }
            case 3:
                dispatcher.OnUpdateDataGroup(static_cast<int8_t>(in.U8()));
                dispatcher.OnUpdateCanSetInfo(static_cast<int8_t>(in.U8()));
                break;
            case 4: {
                const int8_t amount = static_cast<int8_t>(in.U8());
                dispatcher.SetBracketValues(amount, in.U8());
                const auto& s = dispatcher.State();
                KVX_FUZZ_CHECK(s.bracketShots == 1 || s.bracketShots == 2);
                break;
            }
            default:
                if (kind & 0x80) {
                    camera.Clear();
                    camera.BuildLists();
                    dispatcher.ResetForNewLink();
                }
                consumers.shownRow = static_cast<int8_t>(in.U8()) % 8;
                break;
        }
        // Bounds the dispatch keeps are list positions as well.
        const int shutter = static_cast<int>(camera.ShutterList().size());
        const int aperture = static_cast<int>(camera.ApertureList().size());
        CheckPosition(dispatcher.ShutterRange().lower, shutter);
        CheckPosition(dispatcher.ShutterRange().upper, shutter);
        CheckPosition(dispatcher.ApertureRange().lower, aperture);
        CheckPosition(dispatcher.ApertureRange().upper, aperture);
        KVX_FUZZ_CHECK(dispatcher.BracketAmountLimit() >= 0 &&
                       dispatcher.BracketAmountLimit() <= 9);
    }
    return 0;
}
