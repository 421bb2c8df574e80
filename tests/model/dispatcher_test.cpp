// The setting dispatch: a received record -> exactly the expected consumer
// calls, in order.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "dispatch_fakes.h"
#include "model/setting_dispatcher.h"

namespace {

using namespace VARNO;
using kvx_test::Calls;

constexpr uint32_t kDataGroupMessage[7] = {0,           0x400 + 101, 0x400 + 102, 0x400 + 103,
                                           0x400 + 109, 0x400 + 115, 0x400 + 116};
constexpr uint32_t kCanSetMessage[5] = {0, 0x400 + 107, 0x400 + 110, 0x400 + 114, 0x400 + 120};

class Dispatch : public ::testing::Test {
protected:
    Dispatch() : dispatcher(camera, host) {
        dispatcher.SetExposurePanel(&exposure);
        dispatcher.SetCameraPanel(&cameraPanel);
        dispatcher.SetImagePanel1(&image1);
        dispatcher.SetImagePanel2(&image2);
        dispatcher.SetWbAdjustGrid(&grid);
        dispatcher.SetSetupPanel(&setup);
        dispatcher.SetFlashPanel(&flash);
        dispatcher.SetMainWindow(&main);
        camera.SetDataGroup4Seen(true);
    }

    // Puts bytes into a current record without any dispatch.
    void Current(int group, size_t offset, std::vector<uint8_t> bytes) {
        camera.SetDataGroupBytes(group, offset, bytes.data(), bytes.size());
    }
    Calls DataGroup(int group, std::vector<uint8_t> record) {
        camera.StoreReceivedDataGroup(group, record.data(), record.size());
        calls.clear();
        EXPECT_TRUE(dispatcher.HandleMessage(kDataGroupMessage[group]));
        return calls;
    }
    // A settable-info record: the current record of the version with `bytes` changed.
    Calls CanSet(int version, std::vector<std::pair<size_t, uint8_t>> bytes) {
        std::vector<uint8_t> r(camera.CanSetInfo(version),
                               camera.CanSetInfo(version) + kCanSetInfoSize[version]);
        for (auto [offset, value] : bytes) r[offset] = value;
        camera.StoreReceivedCanSetInfo(version, r.data(), r.size());
        calls.clear();
        EXPECT_TRUE(dispatcher.HandleMessage(kCanSetMessage[version]));
        return calls;
    }

    CCamera camera;
    Calls calls;
    kvx_test::FakeHost host{calls};
    kvx_test::FakeExposure exposure{calls};
    kvx_test::FakeCameraPanel cameraPanel{calls};
    kvx_test::FakeImage1 image1{calls};
    kvx_test::FakeImage2 image2{calls};
    kvx_test::FakeGrid grid{calls};
    kvx_test::FakeSetup setup{calls};
    kvx_test::FakeFlash flash{calls};
    kvx_test::FakeMain main{calls};
    kvx_test::FakeSpecial special{calls};
    kvx_test::FakeLiveView liveView{calls};
    CSettingDispatcher dispatcher;
};

using Expect = std::vector<std::string>;

TEST_F(Dispatch, DataGroup1) {
    EXPECT_EQ(DataGroup(1, {5, 0x00, 0x02, 0x0A, 0x00, 0}),
              (Expect{"main.ShowRemainingShots(10,0)", "main.EvaluateCaptureButtons()"}));
    EXPECT_EQ(DataGroup(1, {4, 0x01, 0x00, 9, 0}),
              (Expect{"exposure.ShowShutterSpeed(9)", "main.UpdateExposureReadout(-1)"}));
    EXPECT_EQ(
        DataGroup(1, {5, 0x18, 0x00, 1, 56, 0}),
        // Fields are stored one by one: the ISO shown with ISO auto is the
        // previous one, then the new one follows.
        (Expect{"exposure.ShowIsoAuto(1)", "exposure.ShowIso(0)", "main.ShowIsoAutoIndicator(1)",
                "exposure.ShowIso(56)", "main.ShowIsoAutoIndicator(1)"}));
    EXPECT_EQ(DataGroup(1, {4, 0x00, 0x04, 8, 0}),
              (Expect{"main.EvaluateCaptureButtons()", "main.ShowRemainingShots(10,8)"}));
    EXPECT_EQ(DataGroup(1, {4, 0x00, 0x50, 0xFB, 3, 0}),
              (Expect{"main.ShowBattery(-5)", "main.UpdateExposureReadout(3)",
                      "exposure.UpdateExposureComp(3,3)"}));
    EXPECT_EQ(DataGroup(1, {4, 0x00, 0x88, 0x34, 0x12, 0}), Expect{});  // stored only
    EXPECT_EQ(camera.DataGroupU16(1, dg1::kRemainingShots + 3), 0x1234);
}

TEST_F(Dispatch, DataGroup1BracketingAndFrameCounter) {
    dispatcher.SetSpecialSettingsDialog(&special);
    EXPECT_EQ(DataGroup(1, {4, 0x40, 0x00, 8, 0}),
              (Expect{"main.SetBracketAmount(8)", "main.UpdateExposureReadout(-1)",
                      "special.SetBracketValues(8,0)", "special.ShowBracketAmount(8)",
                      "main.SetBracketingIndicator(5)", "main.RefreshBracketReadout()"}));
    dispatcher.SetSpecialSettingsDialog(nullptr);
    EXPECT_EQ(DataGroup(1, {4, 0x80, 0x00, 5, 0}),
              (Expect{"main.SetBracketSetting(5,2)", "main.RefreshBracketReadout()"}));
    // A setting code outside the table keeps the shots class.
    EXPECT_EQ(DataGroup(1, {4, 0x80, 0x00, 9, 0}),
              (Expect{"main.SetBracketSetting(9,2)", "main.RefreshBracketReadout()"}));
    EXPECT_EQ(dispatcher.State().bracketAmount, 8);

    Current(1, dg1::kIso, {48});
    Current(1, dg1::kExposureLevel, {3});
    EXPECT_EQ(DataGroup(1, {4, 0x00, 0x20, 2, 0}),
              (Expect{"main.UpdateExposureReadout(-1)", "exposure.UpdateExposureComp(3,2)",
                      "main.ShowIsoAutoIndicator(2)", "exposure.ShowIso(48)",
                      "main.RefreshBracketReadout()", "main.RedrawAeLockButton()"}));
}

TEST_F(Dispatch, DataGroup2DriveAndModes) {
    Current(2, dg2::kExposureMode, {2});
    Current(5, dg5::kIntervalTimer, {30, 0, 5, 12, 0, 2});
    EXPECT_EQ(DataGroup(2, {4, 0x01, 0x00, 7, 0}),
              (Expect{"camera.ShowDriveMode(7)", "main.SetDriveModeState(7)",
                      "main.ShowExposureModeIndicator(2)", "exposure.ShowExposureMode(2)",
                      "main.ShowIntervalReadout(1,12,2,5)", "camera.ShowIntervalTimer(30,5)"}));
    EXPECT_EQ(dispatcher.State().driveMode, 7);
    EXPECT_EQ(DataGroup(2, {8, 0xBE, 0x00, 0, 3, 4, 1, 2, 1, 0}),
              (Expect{"exposure.ShowExposureMode(3)", "main.ShowExposureModeIndicator(3)",
                      "main.UpdateExposureReadout(-1)", "camera.ShowMeteringMode(4)",
                      "main.ShowMeteringIndicator(4)", "main.SetAeLock(1)", "camera.ShowAfMode(2)",
                      "main.UpdateAfModeStatus(2)", "main.SetAfLock(1)",
                      "main.EvaluateCaptureButtons()"}));
    EXPECT_EQ(DataGroup(2, {6, 0x00, 0xE0, 9, 5, 2, 0}),
              (Expect{"image1.ShowWhiteBalance(9)", "main.OnWhiteBalanceReported(9)",
                      "main.EvaluateCustomWbMenu()", "image1.ShowImageSize(5)",
                      "image1.ShowImageQuality(2)"}));
    dispatcher.SetSpecialSettingsDialog(&special);
    EXPECT_EQ(DataGroup(2, {4, 0x00, 0x20, 10, 0}),
              (Expect{"image1.ShowWhiteBalance(10)", "main.OnWhiteBalanceReported(10)",
                      "main.EvaluateCustomWbMenu()", "special.ShowWhiteBalance(10)"}));
}

TEST_F(Dispatch, DataGroup2FlashIndicators) {
    // Flash mask in use comes from CanSetInfo3 while no CanSetInfo4 has arrived.
    uint8_t csi3[112] = {};
    csi3[43] = 0x01;
    camera.StoreReceivedCanSetInfo(3, csi3, sizeof csi3);
    camera.MergeCanSetInfo(3);
    EXPECT_EQ(DataGroup(2, {8, 0x00, 0x1F, 1, 3, 0x42, 0x00, 0x08, 0}),
              (Expect{"flash.ShowSyncMode(3)", "main.SetIndicator(1,1)", "flash.ShowFlashFlags(66)",
                      "main.SetIndicator(3,1)", "main.SetIndicator(0,1)", "main.SetIndicator(2,1)",
                      "main.EvaluateSpecialButtons()", "main.SetIndicator(1,1)",
                      "main.SetIndicator(3,1)", "flash.ShowFlashCompensation(8)"}));
    // Flash status 0x80 suppresses the sync and slow-sync indicators.
    EXPECT_EQ(DataGroup(2, {4, 0x00, 0x08, 0x80, 0}),
              (Expect{"main.SetIndicator(2,1)", "main.EvaluateSpecialButtons()",
                      "main.SetIndicator(1,0)", "main.SetIndicator(3,0)"}));
}

TEST_F(Dispatch, DataGroup3) {
    dispatcher.SetSpecialSettingsDialog(&special);
    special.shownRow = 0;
    EXPECT_EQ(DataGroup(3, {5, 0x11, 0x00, 0xFD, 2, 0}),
              (Expect{"image2.ShowContrast(-3)", "special.ShowBaseParameter(0,253)",
                      "image2.ShowColorMode(2)", "special.ShowColorMode(2)"}));
    special.shownRow = 2;  // a bracket frame is shown: the camera's own values stay off it
    EXPECT_EQ(DataGroup(3, {5, 0x06, 0x00, 4, 0xFC, 0}),
              (Expect{"image2.ShowSharpness(4)", "image2.ShowSaturation(-4)"}));
    dispatcher.SetSpecialSettingsDialog(nullptr);

    Current(2, dg2::kAfMode, {1});
    EXPECT_EQ(DataGroup(3, {6, 0xC0, 0x00, 0x18, 0x01, 0x70, 0x03, 0}),
              (Expect{"main.UpdateAfModeStatus(1)", "main.UpdateCameraLine(280,880)"}));
    EXPECT_EQ(DataGroup(3, {9, 0x08, 0xBF, 2, 1, 3, 2, 2, 1, 5, 0}),
              (Expect{"image2.ShowColorSpace(2)", "setup.ShowAfAssist(1)", "setup.ShowAfVolume(3)",
                      "main.EvaluateCaptureButtons()", "setup.ShowExtendedMode(2)",
                      "setup.ShowAutoRotate(1)", "setup.ShowTimerSound(5)",
                      "host.ClearDestinationSent()"}));
}

TEST_F(Dispatch, DataGroup4IsoStepQmdAndTheIsoDialog) {
    camera.SetDataGroup4Seen(false);
    Current(3, dg3::kColorMode, {3});
    Current(1, dg1::kIso, {45});
    dispatcher.SetIsoFunctionDialogOpen(true);
    EXPECT_EQ(
        DataGroup(4, {5, 0x09, 0x00, 2, 1, 0}),
        (Expect{"exposure.ResetIsoSlider()", "exposure.ShowIso(45)", "exposure.SetIsoRange(0,18)",
                "host.PostMessage(1,1136,9,0)", "main.SetQmdMode(1)", "exposure.ApplyQmdMode(1)",
                "camera.ApplyQmdMode(1)", "image1.ApplyQmdMode(1)", "image2.ApplyQmdMode(1)",
                "flash.ApplyQmdMode(1)", "main.UpdateIsoFunctionMenu()",
                "main.SetBracketingIndicator(3)", "image2.ShowColorMode(3)"}));
    EXPECT_EQ(camera.IsoList().size(), 19u);
    EXPECT_TRUE(camera.DataGroup4Seen());
    EXPECT_TRUE(dispatcher.State().qmd);

    // Limits only: the dialog still hears of the update, once.
    EXPECT_EQ(DataGroup(4, {5, 0x06, 0x00, 72, 32, 0}), (Expect{"host.PostMessage(1,1136,6,0)"}));
    dispatcher.SetIsoFunctionDialogOpen(false);
    dispatcher.SetLiveViewWindow(&liveView);
    EXPECT_EQ(DataGroup(4, {5, 0x30, 0x00, 2, 2, 0}),
              (Expect{"main.SetDcCrop(2)", "image1.ShowDcCrop(2)", "main.EvaluateCaptureButtons()",
                      "liveview.ShowMagnification(2)"}));
    EXPECT_EQ(
        DataGroup(4, {4, 0x01, 0x00, 1, 0}),
        (Expect{"exposure.ResetIsoSlider()", "exposure.ShowIso(45)", "exposure.SetIsoRange(0,6)"}));
    EXPECT_EQ(camera.IsoList().size(), 7u);
}

TEST_F(Dispatch, DataGroup4IsoRangeFollowsTheVersionInForce) {
    uint8_t csi4[102] = {};
    csi4[20] = 64;  // upper ISO 1600
    csi4[21] = 40;  // lower ISO 200
    camera.StoreReceivedCanSetInfo(4, csi4, sizeof csi4);
    camera.MergeCanSetInfo(4);
    EXPECT_EQ(
        DataGroup(4, {4, 0x01, 0x00, 2, 0}),
        (Expect{"exposure.ResetIsoSlider()", "exposure.ShowIso(0)", "exposure.SetIsoRange(3,12)"}));
}

TEST_F(Dispatch, DataGroup5) {
    EXPECT_EQ(DataGroup(5, {10, 0x03, 0x00, 6, 0, 10, 0, 0, 0, 0x8C, 0x0A, 0}),
              (Expect{"image1.ShowColorTemperature(2700)"}));  // short interval: not a timer
    Current(2, dg2::kDriveMode, {7});
    EXPECT_EQ(DataGroup(5, {8, 0x01, 0x00, 60, 0, 0, 45, 0, 3, 0}),
              (Expect{"main.ShowIntervalReadout(1,45,3,0)", "camera.ShowIntervalTimer(60,0)"}));
    EXPECT_EQ(DataGroup(5, {7, 0x7C, 0x00, 0xFD, 5, 3, 2, 4, 3, 0}),
              (Expect{"grid.SetAdjustValue(-3,5)", "image1.ShowAspectRatio(3)",
                      "host.SetLiveViewAspectIndex(3)", "image2.ShowFilterEffect(2)",
                      "image2.ShowToningEffect(4)", "image2.ShowToneControl(3)"}));
    dispatcher.SetLiveViewWindow(&liveView);
    EXPECT_EQ(DataGroup(5, {11, 0x00, 0x2B, 4, 1, 1, 32, 21, 2, 2, 0}),
              (Expect{"liveview.ShowPeakingLevel(4)", "camera.ShowFaceDetection(1,0)",
                      "camera.ShowFocusFrame(1,32,21,2)", "liveview.ShowFocusFrame(1,32,21,2)",
                      "camera.ShowFaceDetection(1,2)"}));
    EXPECT_EQ(DataGroup(5, {6, 0x00, 0x50, 4, 7, 2, 0, 1, 0}),
              (Expect{"main.ShowAdditionalBatteries(4,7)", "main.SetIndicator(5,1)"}));
    EXPECT_EQ(DataGroup(5, {5, 0x00, 0x40, 2, 0, 2, 0}), (Expect{"main.SetIndicator(5,0)"}));
}

TEST_F(Dispatch, DataGroup5FlashAfAssistRecomputesTheCompensationIndicator) {
    uint8_t csi4[102] = {};
    csi4[31] = 0x10;
    camera.StoreReceivedCanSetInfo(4, csi4, sizeof csi4);
    camera.MergeCanSetInfo(4);
    Current(2, dg2::kFlashComp, {0xF8});
    EXPECT_EQ(DataGroup(5, {4, 0x00, 0x80, 1, 0}),
              (Expect{"main.SetIndicator(4,1)", "flash.ShowFlashAfAssist(1)"}));
}

TEST_F(Dispatch, DataGroup6OnlyReachesTheOpenDialog) {
    const std::vector<uint8_t> record = {10, 0xC1, 0x00, 2, 7, 1, 0xFE, 4, 1, 3, 0};
    EXPECT_EQ(DataGroup(6, record), Expect{});
    EXPECT_EQ(camera.DataGroupByte(6, dg6::kBracketKind), 2);
    EXPECT_EQ(camera.DataGroupByte(6, dg6::kFrameColorMode[2]), 7);

    dispatcher.SetSpecialSettingsDialog(&special);
    special.shownRow = 2;
    EXPECT_EQ(DataGroup(6, record),
              (Expect{"special.ShowWbBracketActive(2)", "special.ShowColorBracketActive(2)",
                      "main.SetSpecialBracketIndicator(2)", "special.ShowRowColorMode(2,7)",
                      "special.ShowRowParameters(2,1,254,4,1,3)"}));
    special.shownRow = 1;
    EXPECT_EQ(DataGroup(6, {8, 0x0E, 0x14, 5, 6, 2, 12, 0, 0}),
              (Expect{"special.ShowWbBracketCount(5)", "special.ShowWbBracketAmount(6)",
                      "special.ShowWbBracketAxis(2)", "special.ShowRowColorMode(4,12)",
                      "special.ShowRowColorMode(5,0)"}));
}

TEST_F(Dispatch, CanSetInfoExposureFlagsMoveTheShutterEnds) {
    EXPECT_EQ(CanSet(1, {{13, 0x01}}), (Expect{"exposure.SetShutterLimits(0,56)"}));
    EXPECT_EQ(CanSet(1, {{13, 0x11}}), (Expect{"exposure.SetShutterLimits(0,57)"}));
    EXPECT_EQ(CanSet(1, {{13, 0x10}}), (Expect{"exposure.SetShutterLimits(1,57)"}));
}

TEST_F(Dispatch, CanSetInfoRangesBecomeListPositions) {
    const int i116 = camera.ShutterIndex(116);
    const int i16 = camera.ShutterIndex(16);
    // The old generation's shutter upper code 115 stands for 1/180.
    EXPECT_EQ(CanSet(1, {{11, 115}, {12, 16}}),
              (Expect{"exposure.SetShutterRange(0," + std::to_string(i116) + ")",
                      "exposure.SetShutterRange(" + std::to_string(i16) + "," +
                          std::to_string(i116) + ")"}));
    EXPECT_EQ(CanSet(4, {{16, 16}, {17, 64}}),
              (Expect{"host.SetExtendedCamera()", "exposure.SetApertureRange(3,39)",
                      "exposure.SetApertureRange(3,21)", "host.PostStatusRefresh()"}));
    // Codes missing from the list: a lower end falls to the first entry, an upper
    // end to the last.
    EXPECT_EQ(CanSet(4, {{16, 200}}),
              (Expect{"host.SetExtendedCamera()", "exposure.SetApertureRange(0,21)",
                      "host.PostStatusRefresh()"}));
    EXPECT_EQ(CanSet(4, {{17, 201}}),
              (Expect{"host.SetExtendedCamera()", "exposure.SetApertureRange(0,39)",
                      "host.PostStatusRefresh()"}));
    // Compensation positions count from -5.0 / -3.0 and stay inside the slider.
    EXPECT_EQ(CanSet(4, {{25, 0x18}, {26, 0xE8}, {33, 0x10}, {34, 0xF0}, {29, 0x0B}}),
              (Expect{"host.SetExtendedCamera()", "exposure.SetExposureCompRange(0,24)",
                      "exposure.SetExposureCompRange(6,24)", "main.SetBracketAmountLimit(4)",
                      "flash.SetFlashCompensationLimits(0,15)",
                      "flash.SetFlashCompensationLimits(3,15)", "host.PostStatusRefresh()"}));
    EXPECT_EQ(CanSet(4, {{25, 0x7F}, {26, 0xCD}, {29, 0x33}}),
              (Expect{"host.SetExtendedCamera()", "exposure.SetExposureCompRange(6,30)",
                      "exposure.SetExposureCompRange(0,30)", "main.SetBracketAmountLimit(9)",
                      "host.PostStatusRefresh()"}));
    EXPECT_EQ(dispatcher.ExposureCompRange().upper, 30);
}

TEST_F(Dispatch, CanSetInfoAfterASecondGenerationOnlyChangesIsoAutoAvailability) {
    const Expect second = CanSet(2, {{9, 0x83}, {7, 0x05}});
    EXPECT_EQ(second, (Expect{"exposure.FillExposureModeList(127)", "camera.FillMeteringList(5)",
                              "camera.FillAfModeList(131)"}));
    EXPECT_EQ(CanSet(1, {{5, 0x01}, {6, 0x01}, {9, 0x01}, {13, 0x11}, {19, 0x00}, {31, 0x02}}),
              (Expect{"exposure.SetIsoAutoAvailable(0)"}));
}

TEST_F(Dispatch, CanSetInfoMasksFillTheLists) {
    dispatcher.SetSpecialSettingsDialog(&special);
    dispatcher.SetLiveViewWindow(&liveView);
    Current(6, dg6::kBracketKind, {1});
    EXPECT_EQ(CanSet(4, {{2, 0x0D},
                         {11, 0x06},
                         {12, 0x05},
                         {19, 0x01},
                         {22, 0x01},
                         {28, 0x03},
                         {31, 0x01},
                         {36, 0xFF},
                         {38, 0x04},
                         {43, 0x03},
                         {63, 0x3F},
                         {68, 0x0F},
                         {92, 0x20},
                         {95, 0x01},
                         {99, 0x03},
                         {100, 0x07}}),
              (Expect{"host.SetExtendedCamera()",
                      "camera.FillDriveModeList(13)",
                      "image1.FillImageSizeList(6)",
                      "image1.FillImageQualityList(5)",
                      "exposure.EnableProgramShift(1)",
                      "exposure.SetIsoAutoAvailable(1)",
                      "special.FillBracketLists(3)",
                      "flash.FillFlashLists(1)",
                      "main.SetIndicator(0,0)",
                      "main.SetIndicator(2,1)",
                      "main.SetIndicator(4,0)",
                      "main.EvaluateSpecialButtons()",
                      "image1.FillWhiteBalanceList(255)",
                      "image2.FillColorModeList(4)",
                      "image2.FillColorSpaceList(3)",
                      "image1.FillAspectRatioList(63)",
                      "host.PostMessage(2,1148,1000,15)",
                      "special.SetWbBracketAvailable(0)",
                      "special.ShowWbBracketActive(1)",
                      "special.SetColorBracketAvailable(1)",
                      "special.ShowColorBracketActive(1)",
                      "image1.FillDcCropList(3)",
                      "host.PostMessage(2,1148,1001,7)",
                      "host.PostStatusRefresh()"}));
    // An unchanged record dispatches nothing but the generation's own notices.
    EXPECT_EQ(CanSet(4, {}), (Expect{"host.SetExtendedCamera()", "host.PostStatusRefresh()"}));
}

TEST_F(Dispatch, MessagesAfterALinkResetFindNothing) {
    camera.SetDataGroup4Seen(false);
    dispatcher.SetIsoFunctionDialogOpen(true);
    calls.clear();
    for (int group = 1; group <= 6; ++group) dispatcher.HandleMessage(kDataGroupMessage[group]);
    for (int version = 1; version <= 4; ++version)
        dispatcher.HandleMessage(kCanSetMessage[version]);
    EXPECT_EQ(calls, Expect{});
    EXPECT_EQ(camera.VersionInForce(), 0);
    EXPECT_FALSE(camera.DataGroup4Seen());
}

TEST_F(Dispatch, ClosedWindowsAreSkipped) {
    CSettingDispatcher bare(camera, host);
    const uint8_t dg2[] = {8, 0xFF, 0xFF, 1, 2, 3, 4, 1, 2, 0, 1, 1, 3, 0x42, 0, 8, 1, 1, 1, 0};
    camera.StoreReceivedDataGroup(2, dg2, sizeof dg2);
    calls.clear();
    bare.OnUpdateDataGroup(2);
    EXPECT_EQ(calls, Expect{});
    EXPECT_FALSE(bare.HandleMessage(0x400 + 105));
    EXPECT_EQ(bare.OnUpdateDataGroup(0), 0);
    EXPECT_EQ(bare.OnUpdateCanSetInfo(5), 0);
}

}  // namespace
