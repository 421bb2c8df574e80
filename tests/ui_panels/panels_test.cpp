// The six panels against the real dispatcher: list filtering by settable
// masks, slider bounds from settable ranges, one user step = one command with
// its exact payload, and no command for anything the camera reports.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>
#include <functional>
#include <string>

#include "gdip_button.h"
#include "gdip_hold_button.h"
#include "gdip_slider.h"
#include "model/record_layout.h"
#include "panel_rig.h"
#include "pick.h"
#include "static_a_farea2.h"
#include "static_wb_adjust.h"
#include "ui/image_arrow_key_filter.h"

namespace {

using kvx::test::PanelRig;
using VARNO::SettableField;

QStringList Items(const CStaticCombo* combo) {
    QStringList out;
    for (int i = 0; i < combo->Count(); ++i) out << combo->Text(i);
    return out;
}

// ---- filtering: one table across the panels ----

struct FilterCase {
    const char* name;
    std::function<CStaticCombo*(PanelRig&)> fill;  // fills with a mask, returns the selector
    QStringList expected;                          // every item, placeholder first
    bool enabled;
};

class Filtering : public ::testing::TestWithParam<FilterCase> {};

TEST_P(Filtering, ListHoldsTheOfferedRowsAfterThePlaceholder) {
    PanelRig rig;
    rig.FeedCanSetInfo(3, PanelRig::RealisticCanSetInfo3());
    rig.EnableAll(true);
    CStaticCombo* combo = GetParam().fill(rig);
    EXPECT_EQ(Items(combo), GetParam().expected);
    EXPECT_EQ(combo->FirstOffered(), 1);  // the placeholder is never offered
    EXPECT_EQ(combo->isEnabled(), GetParam().enabled);
    EXPECT_TRUE(rig.sink.commands.empty());
}

const FilterCase kFilterCases[] = {
    {"metering_0x05",
     [](PanelRig& r) {
         r.cameraPanel->FillMeteringList(0x05);
         return r.cameraPanel->SelectorAt(CDialogCamera::kMetering);
     },
     {"---", "Evaluative Metering", "Center Area Metering"},
     true},
    {"af_mode_never_manual",
     [](PanelRig& r) {
         r.cameraPanel->FillAfModeList(0x07);
         return r.cameraPanel->SelectorAt(CDialogCamera::kAfMode);
     },
     {"---", "AF-S - Single Auto Mode", "AF-C - Continuous Auto Focus Mode"},
     true},
    {"drive_without_bracketing",
     [](PanelRig& r) {
         r.cameraPanel->FillDriveModeList(0x7F);
         return r.cameraPanel->SelectorAt(CDialogCamera::kDrive);
     },
     {"---", "Single Frame Shooting", "Continuous Shooting", "Self-Timer 2s", "Self-Timer 10s",
      "Mirror Lock-up", "Interval Timer"},
     true},
    {"drive_in_qmd",
     [](PanelRig& r) {
         r.cameraPanel->ApplyQmdMode(true);
         r.cameraPanel->FillDriveModeList(0x7F);
         return r.cameraPanel->SelectorAt(CDialogCamera::kDrive);
     },
     {"---", "Single Frame Shooting", "Self-Timer 2s", "Self-Timer 10s"},
     true},
    {"exposure_mode_in_qmd",
     [](PanelRig& r) {
         r.exposure->ApplyQmdMode(true);
         r.exposure->FillExposureModeList(0x7F);
         return r.exposure->ModeSelector();
     },
     {"---", "A - Aperture Priority AE", "M - Manual Exposure", "C1 - Custom Mode 1",
      "C2 - Custom Mode 2", "C3 - Custom Mode 3"},
     true},
    {"image_size_0x06",
     [](PanelRig& r) {
         r.image1->FillImageSizeList(0x06);
         return r.image1->SelectorAt(CDialogImage1::kSize);
     },
     {"---", "HI", "MED"},
     true},
    {"white_balance_mask_0",
     [](PanelRig& r) {
         r.image1->FillWhiteBalanceList(0);
         return r.image1->SelectorAt(CDialogImage1::kWhiteBalance);
     },
     {"---"},
     false},
    {"dc_crop_off_shares_auto",
     [](PanelRig& r) {
         r.image1->FillDcCropList(0x01);
         return r.image1->SelectorAt(CDialogImage1::kDcCrop);
     },
     {"---", "Off", "Auto"},
     true},
    {"colour_space_0x02",
     [](PanelRig& r) {
         r.image2->FillColorSpaceList(0x02);
         return r.image2->SelectorAt(CDialogImage2::kColorSpace);
     },
     {"---", "AdobeRGB"},
     true},
    {"flash_red_eye_0x0001",
     [](PanelRig& r) {
         r.flash->FillFlashLists(0x0001);
         return r.flash->SelectorAt(CDialogFlash::kRedEye);
     },
     {"---", "Off"},
     true},
    {"flash_af_assist_0x0001",
     [](PanelRig& r) {
         r.flash->FillFlashLists(0x0001);
         return r.flash->SelectorAt(CDialogFlash::kAfAssist);
     },
     {"---", "Off"},
     true},
    {"flash_sync_mask_0",
     [](PanelRig& r) {
         r.flash->FillFlashLists(0);
         return r.flash->SelectorAt(CDialogFlash::kRearCurtain);
     },
     {"---"},
     false},
    {"setup_volume_unfiltered",
     [](PanelRig& r) { return r.setup->SelectorAt(CDialogSetup::kAfVolume); },
     {"---", "0", "1", "2", "3", "4", "5"},
     true},
};

INSTANTIATE_TEST_SUITE_P(Panels, Filtering, ::testing::ValuesIn(kFilterCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- one user step = one command ----

struct Expected {
    uint32_t command;
    uint8_t extended;
    uint8_t field1, field2;
    int32_t value;
    std::vector<uint8_t> data = {};
};

struct StepCase {
    const char* name;
    std::function<void(PanelRig&)> prepare;  // camera state before the step
    std::function<void(PanelRig&)> act;      // the user's step
    std::function<Expected(PanelRig&)> expected;
};

class OneStep : public ::testing::TestWithParam<StepCase> {};

TEST_P(OneStep, QueuesExactlyOneCommandWithItsPayload) {
    PanelRig rig;
    rig.ConnectToVirtualCamera();
    GetParam().prepare(rig);
    rig.sink.commands.clear();
    GetParam().act(rig);
    ASSERT_EQ(rig.sink.commands.size(), 1u);
    const tag_CAM_COMMAND& c = rig.sink.commands[0];
    const Expected e = GetParam().expected(rig);
    EXPECT_EQ(c.command, e.command);
    EXPECT_EQ(c.extended, e.extended);
    EXPECT_EQ(c.payload.setting.Field1, e.field1);
    EXPECT_EQ(c.payload.setting.Field2, e.field2);
    EXPECT_EQ(c.payload.setting.value, e.value);
    for (size_t i = 0; i < e.data.size(); ++i)
        EXPECT_EQ(c.payload.setting.data[i], e.data[i]) << "data byte " << i;
}

void Nothing(PanelRig&) {}
void ManualMode(PanelRig& r) {
    r.FeedField(2, 0x04, 0, {4});
}
void ProgramMode(PanelRig& r) {
    r.FeedField(2, 0x04, 0, {1});
}

const StepCase kStepCases[] = {
    {"shutter_plus",
     [](PanelRig& r) {
         ManualMode(r);
         r.FeedField(1, 0x01, 0, {64});
     },
     [](PanelRig& r) { r.exposure->PlusButton(CDialogExposure::kShutter)->click(); },
     [](PanelRig& r) {
         return Expected{0x9016, 0, 0x01, 0, r.camera.ShutterCodeAt(r.camera.ShutterIndex(64) + 1)};
     }},
    {"aperture_minus",
     [](PanelRig& r) {
         ManualMode(r);
         r.FeedField(1, 0x02, 0, {56});
     },
     [](PanelRig& r) { r.exposure->MinusButton(CDialogExposure::kAperture)->click(); },
     [](PanelRig& r) {
         return Expected{0x9016, 0, 0x02, 0,
                         r.camera.ApertureCodeAt(r.camera.ApertureIndex(56) - 1)};
     }},
    {"iso_slider_key", [](PanelRig& r) { r.FeedField(1, 0x10, 0, {32}); },
     [](PanelRig& r) {
         QKeyEvent key(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
         QCoreApplication::sendEvent(r.exposure->Slider(CDialogExposure::kIso), &key);
     },
     [](PanelRig& r) {
         return Expected{0x9016, 0, 0x10, 0, r.camera.IsoCodeAt(r.camera.IsoIndex(32) + 1)};
     }},
    {"exposure_comp_plus",
     [](PanelRig& r) {
         ProgramMode(r);
         r.exposure->UpdateExposureComp(0, 1);
     },
     [](PanelRig& r) { r.exposure->PlusButton(CDialogExposure::kExpComp)->click(); },
     [](PanelRig& r) {
         return Expected{0x9016, 0, 0x20, 0, r.camera.ExpCodeAt(r.camera.ExpIndex(0) + 1)};
     }},
    {"program_shift_down", ProgramMode, [](PanelRig& r) { r.exposure->ShiftDownButton()->click(); },
     [](PanelRig&) {
         return Expected{0x9016, 0, 0x04, 0, -1};
     }},
    {"iso_auto_on",
     [](PanelRig& r) {
         ProgramMode(r);
         r.FeedField(1, 0x08, 0, {0});
     },
     [](PanelRig& r) { r.exposure->IsoAutoButton()->click(); },
     [](PanelRig&) {
         return Expected{0x9016, 0, 0x08, 0, 1};
     }},
    {"exposure_mode_pick", Nothing,
     [](PanelRig& r) { PickText(r.exposure->ModeSelector(), "M - Manual Exposure"); },
     [](PanelRig&) {
         return Expected{0x9017, 0, 0x04, 0, 4};
     }},
    {"metering_pick", Nothing,
     [](PanelRig& r) {
         PickText(r.cameraPanel->SelectorAt(CDialogCamera::kMetering), "Spot Metering");
     },
     [](PanelRig&) {
         return Expected{0x9017, 0, 0x08, 0, 4};
     }},
    {"drive_pick", Nothing,
     [](PanelRig& r) {
         PickText(r.cameraPanel->SelectorAt(CDialogCamera::kDrive), "Continuous Shooting");
     },
     [](PanelRig&) {
         return Expected{0x9017, 0, 0x01, 0, 2};
     }},
    {"focus_cell_click",
     [](PanelRig& r) {
         r.FeedField(5, 0, 0x08, {1, 32, 21, 1});
     },
     [](PanelRig& r) {
         Press(r.cameraPanel->FocusArea(), {137, 90});
         Release(r.cameraPanel->FocusArea(), {137, 90});
     },
     [](PanelRig&) {
         return Expected{0x9028, 1, 0, 0x08, 4, {1, 46, 30, 1}};
     }},
    {"frame_size_pick",
     [](PanelRig& r) {
         r.FeedField(5, 0, 0x08, {1, 32, 21, 1});
     },
     [](PanelRig& r) { PickText(r.cameraPanel->SelectorAt(CDialogCamera::kFrameSize), "Spot"); },
     [](PanelRig&) {
         return Expected{0x9028, 1, 0, 0x08, 4, {1, 32, 21, 3}};
     }},
    {"free_move_click",
     [](PanelRig& r) {
         r.FeedField(5, 0, 0x08, {1, 32, 21, 2});
     },
     [](PanelRig& r) { r.cameraPanel->FreeMoveButton()->click(); },
     // The regular centre cell puts the free point at (96, 63).
     [](PanelRig&) {
         return Expected{0x9028, 1, 0, 0x08, 4, {2, 32, 21, 2}};
     }},
    {"face_detection_on", [](PanelRig& r) { r.FeedField(5, 0, 0x02, {2}); },
     [](PanelRig& r) { r.cameraPanel->FaceButton()->click(); },
     [](PanelRig&) {
         return Expected{0x9028, 0, 0, 0x02, 1};
     }},
    {"interval_unlimited",
     [](PanelRig& r) {
         r.FeedField(2, 0x01, 0, {7});
         r.cameraPanel->ShowIntervalTimer(90, 5);
     },
     [](PanelRig& r) { r.cameraPanel->UnlimitedButton()->click(); },
     [](PanelRig&) {
         return Expected{0x9028, 1, 0x01, 0, 3, {90, 0, 0}};
     }},
    {"white_balance_pick", Nothing,
     [](PanelRig& r) { PickText(r.image1->SelectorAt(CDialogImage1::kWhiteBalance), "Shade"); },
     [](PanelRig&) {
         return Expected{0x9017, 0, 0, 0x20, 3};
     }},
    {"kelvin_plus",
     [](PanelRig& r) {
         r.FeedField(2, 0, 0x20, {14});
         r.image1->ShowColorTemperature(5550);
     },
     [](PanelRig& r) { r.image1->PlusButton()->click(); },
     [](PanelRig&) {
         return Expected{0x9028, 1, 0x02, 0, 2, {0xE0, 0x15}};
     }},  // 5600 K
    {"wb_adjust_arrow", [](PanelRig& r) { r.image1->Grid()->SetAdjustValue(0, 0); },
     [](PanelRig& r) { r.image1->StepAdjust(CStaticWbAdjust::Direction::kDown); },
     [](PanelRig&) {
         return Expected{0x9028, 1, 0x04, 0, 2, {0, 2}};
     }},
    {"aspect_pick", Nothing,
     [](PanelRig& r) { PickText(r.image1->SelectorAt(CDialogImage1::kAspect), "16:9"); },
     [](PanelRig&) {
         return Expected{0x9028, 0, 0x08, 0, 2};
     }},
    {"dc_crop_auto", [](PanelRig& r) { r.image1->FillDcCropList(0x03); },
     [](PanelRig& r) { PickText(r.image1->SelectorAt(CDialogImage1::kDcCrop), "Auto"); },
     [](PanelRig&) {
         return Expected{0x9024, 0, 0x10, 0, 0};
     }},
    {"contrast_plus",
     [](PanelRig& r) { r.FeedField(3, 0x01, 0, {uint8_t(-3)}); },  // slider 4, shows -0.3
     [](PanelRig& r) { r.image2->PlusButton(CDialogImage2::kContrast)->click(); },
     [](PanelRig&) {
         return Expected{0x9018, 0, 0x01, 0, 0};
     }},
    {"colour_mode_pick", Nothing,
     [](PanelRig& r) { PickText(r.image2->SelectorAt(CDialogImage2::kColorMode), "Vivid"); },
     [](PanelRig&) {
         return Expected{0x9018, 0, 0x10, 0, 4};
     }},
    {"af_volume_pick", Nothing,
     [](PanelRig& r) { PickText(r.setup->SelectorAt(CDialogSetup::kAfVolume), "3"); },
     [](PanelRig&) {
         return Expected{0x9018, 0, 0, 0x02, 5};
     }},
    {"flash_fp_on_keeps_other_flags", [](PanelRig& r) { r.FeedField(2, 0, 0x04, {0x41}); },
     [](PanelRig& r) { PickText(r.flash->SelectorAt(CDialogFlash::kFp), "On"); },
     [](PanelRig&) {
         return Expected{0x9017, 0, 0, 0x04, 0x43};
     }},
    {"flash_rear_curtain", Nothing,
     [](PanelRig& r) { PickText(r.flash->SelectorAt(CDialogFlash::kRearCurtain), "On"); },
     [](PanelRig&) {
         return Expected{0x9017, 0, 0, 0x02, 3};
     }},
    {"flash_af_assist", Nothing,
     [](PanelRig& r) { PickText(r.flash->SelectorAt(CDialogFlash::kAfAssist), "On"); },
     [](PanelRig&) {
         return Expected{0x9028, 0, 0, 0x80, 1};
     }},
    {"flash_comp_plus", [](PanelRig& r) { r.FeedField(2, 0, 0x10, {0}); },
     [](PanelRig& r) { r.flash->PlusButton()->click(); },
     [](PanelRig& r) {
         return Expected{0x9017, 0, 0, 0x10, r.camera.ExpCodeAt(r.camera.ExpIndex(0) + 1)};
     }},
};

INSTANTIATE_TEST_SUITE_P(Panels, OneStep, ::testing::ValuesIn(kStepCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- what the camera reports never goes back ----

TEST(NoEcho, EveryReportedFieldLeavesTheQueueEmpty) {
    PanelRig rig;
    rig.ConnectToVirtualCamera(7);
    const struct {
        int group;
        uint8_t f1, f2;
        std::vector<uint8_t> bytes;
    } reports[] = {
        {1, 0x01, 0, {72}},          {1, 0x02, 0, {40}},
        {1, 0x08, 0, {1}},           {1, 0x10, 0, {48}},
        {1, 0, 0x40, {8}},           {2, 0x01, 0, {7}},
        {2, 0x04, 0, {3}},           {2, 0x08, 0, {4}},
        {2, 0x20, 0, {2}},           {2, 0, 0x02, {3}},
        {2, 0, 0x04, {0x43}},        {2, 0, 0x10, {3}},
        {2, 0, 0x20, {14}},          {2, 0, 0x40, {3}},
        {2, 0, 0x80, {1}},           {3, 0x01, 0, {4}},
        {3, 0x02, 0, {uint8_t(-6)}}, {3, 0x04, 0, {2}},
        {3, 0x08, 0, {2}},           {3, 0x10, 0, {2}},
        {3, 0, 0x01, {2}},           {3, 0, 0x02, {5}},
        {3, 0, 0x08, {1}},           {3, 0, 0x10, {2}},
        {3, 0, 0x20, {4}},           {4, 0x08, 0, {1}},
        {4, 0x10, 0, {2}},           {5, 0x01, 0, {0x2C, 0x01, 9, 0, 0, 0}},
        {5, 0x02, 0, {0x70, 0x17}},  {5, 0x04, 0, {4, 0xFC}},
        {5, 0x08, 0, {2}},           {5, 0x10, 0, {3}},
        {5, 0x20, 0, {4}},           {5, 0x40, 0, {2}},
        {5, 0, 0x02, {1}},           {5, 0, 0x08, {2, 40, 20, 3}},
        {5, 0, 0x80, {2}},
    };
    for (const auto& r : reports) rig.FeedField(r.group, r.f1, r.f2, r.bytes);
    rig.FeedCanSetInfo(3, PanelRig::RealisticCanSetInfo3());
    QCoreApplication::processEvents();
    EXPECT_TRUE(rig.sink.commands.empty()) << rig.sink.commands.size() << " commands echoed";
    // And the panels show what was reported.
    EXPECT_EQ(rig.cameraPanel->SecondsEdit()->text(), "00");
    EXPECT_EQ(rig.cameraPanel->MinutesEdit()->text(), "05");
    EXPECT_EQ(rig.cameraPanel->CountEdit()->text(), "09");
    EXPECT_EQ(rig.image1->KelvinText()->text(), "6000K");
    EXPECT_EQ(rig.image1->Grid()->Cursor(),
              QPoint(CStaticWbAdjust::PixelOfValue(4), CStaticWbAdjust::PixelOfValue(-4)));
    EXPECT_EQ(rig.flash->FlagsCopy(), 0x43);
}

// ---- bounds and ends of ranges ----

TEST(Bounds, SlidersFollowTheSettableRangesAndStopAtTheirEnds) {
    PanelRig rig;
    rig.ConnectToVirtualCamera();
    ManualMode(rig);
    // Aperture settable from code 29 to 88: at 88 a plus sends nothing.
    rig.FeedField(1, 0x02, 0, {88});
    rig.sink.commands.clear();
    rig.exposure->PlusButton(CDialogExposure::kAperture)->click();
    EXPECT_TRUE(rig.sink.commands.empty());
    rig.FeedField(1, 0x02, 0, {29});
    rig.exposure->MinusButton(CDialogExposure::kAperture)->click();
    EXPECT_TRUE(rig.sink.commands.empty());
    // Exposure compensation slider spans -5.0 .. +5.0 of the one-third list.
    EXPECT_EQ(rig.exposure->Slider(CDialogExposure::kExpComp)->maximum(),
              rig.camera.ExpCompTop() - rig.camera.ExpCompBase());
    // Flash compensation held to +1.0 by its limit: plus at +1.0 sends nothing.
    const int base = rig.camera.FlashCompBase();
    const int plus1 = rig.camera.ExpIndex(8) - base;
    rig.flash->SetFlashCompensationLimits(0, plus1);
    rig.FeedField(2, 0, 0x10, {8});
    rig.sink.commands.clear();
    rig.flash->PlusButton()->click();
    EXPECT_TRUE(rig.sink.commands.empty());
    EXPECT_EQ(rig.flash->Slider()->value(), plus1);
    // Contrast at +1.0: plus sends nothing more.
    rig.FeedField(3, 0x01, 0, {10});
    rig.image2->PlusButton(CDialogImage2::kContrast)->click();
    EXPECT_TRUE(rig.sink.commands.empty());
}

TEST(Bounds, ShutterReachesSyncOnlyWhenOffered) {
    PanelRig rig;
    rig.ConnectToVirtualCamera();
    ManualMode(rig);
    const int sync = rig.camera.ShutterSyncIndex();
    ASSERT_GT(sync, 0);
    rig.FeedField(1, 0x01, 0, {160});  // 1/8000, the settable upper end
    rig.sink.commands.clear();
    rig.exposure->PlusButton(CDialogExposure::kShutter)->click();  // flags 0x11: Sync offered
    ASSERT_EQ(rig.sink.commands.size(), 1u);
    EXPECT_EQ(rig.sink.commands[0].payload.setting.value, 162);

    rig.FeedCanSetInfo(3, PanelRig::CanSetRecord(3, {{SettableField::ExposureFlags, 0x00},
                                                     {SettableField::ShutterUpper, 160},
                                                     {SettableField::ShutterLower, 16},
                                                     {SettableField::ExposureModeMask, 0x7F}}));
    rig.FeedField(1, 0x01, 0, {160});
    rig.sink.commands.clear();
    rig.exposure->PlusButton(CDialogExposure::kShutter)->click();
    EXPECT_TRUE(rig.sink.commands.empty());
}

TEST(Bounds, KelvinTextIsTheKelvinValueForAnyStep) {
    PanelRig rig;
    rig.FeedCanSetInfo(3, PanelRig::CanSetRecord(3, {{SettableField::ColorTempMax, 9000},
                                                     {SettableField::ColorTempMin, 3000},
                                                     {SettableField::ColorTempStep, 250}}));
    rig.EnableAll(true);
    rig.FeedField(2, 0, 0x20, {14});
    rig.image1->ShowColorTemperature(5600);  // 22 steps of 250 K
    EXPECT_EQ(rig.image1->KelvinText()->text(), "5500K");
    EXPECT_EQ(rig.image1->KelvinSlider()->maximum(), 24);
    rig.sink.commands.clear();
    rig.image1->PlusButton()->click();
    ASSERT_EQ(rig.sink.commands.size(), 1u);
    EXPECT_EQ(rig.sink.commands[0].payload.setting.data[0] |
                  (rig.sink.commands[0].payload.setting.data[1] << 8),
              5750);
    EXPECT_EQ(rig.image1->KelvinText()->text(), "5750K");
}

TEST(Bounds, CameraWithOnlyCanSetInfo4StillSetsTheColourTemperature) {
    PanelRig rig;
    rig.FeedCanSetInfo(4, PanelRig::CanSetRecord(4, {{SettableField::WhiteBalanceMask, 0x7FF}}));
    rig.EnableAll(true);
    rig.FeedField(2, 0, 0x20, {14});
    rig.image1->ShowColorTemperature(6500);
    EXPECT_EQ(rig.image1->KelvinText()->text(), "6500K");
    rig.sink.commands.clear();
    rig.image1->MinusButton()->click();
    ASSERT_EQ(rig.sink.commands.size(), 1u);
    EXPECT_EQ(rig.sink.commands[0].payload.setting.data[0] |
                  (rig.sink.commands[0].payload.setting.data[1] << 8),
              6400);
}

TEST(Bounds, IntervalMaximumOfZeroDoesNotClampToZero) {
    PanelRig rig;
    rig.FeedCanSetInfo(3, PanelRig::CanSetRecord(3, {{SettableField::DriveModeMask, 0x7F},
                                                     {SettableField::IntervalMin, 7}}));
    rig.EnableAll(true);
    rig.FeedField(2, 0x01, 0, {7});
    rig.cameraPanel->ShowIntervalTimer(300, 4);
    rig.sink.commands.clear();
    rig.cameraPanel->UnlimitedButton()->click();
    ASSERT_EQ(rig.sink.commands.size(), 1u);
    const auto& d = rig.sink.commands[0].payload.setting.data;
    EXPECT_EQ(d[0] | (d[1] << 8), 300);
    EXPECT_EQ(d[2], 0);
}

// ---- enabling and the grey labels ----

TEST(Enabling, PanelsEnableAsAWholeAndTheirLabelsTurnGrey) {
    PanelRig rig;
    rig.ConnectToVirtualCamera();
    for (CDialogPanel* p : rig.Panels()) {
        p->EnablePanel(false);
        for (QLabel* l : p->findChildren<QLabel*>())
            EXPECT_EQ(CDialogPanel::LabelColour(l), QColor(0x64, 0x64, 0x64))
                << l->text().toStdString();
        for (CStaticCombo* c : p->findChildren<CStaticCombo*>()) EXPECT_FALSE(c->isEnabled());
        for (CGdipSlider* s : p->findChildren<CGdipSlider*>()) EXPECT_FALSE(s->isEnabled());
    }
    rig.FeedField(3, 0x10, 0, {3});  // colour: saturation lives, effects do not
    rig.image2->EnablePanel(true);
    EXPECT_EQ(CDialogPanel::LabelColour(rig.image2->ParamLabel(CDialogImage2::kSaturation)),
              QColor(Qt::white));
    EXPECT_TRUE(rig.image2->Slider(CDialogImage2::kSaturation)->isEnabled());
    EXPECT_FALSE(rig.image2->SelectorAt(CDialogImage2::kFilter)->isEnabled());
    rig.FeedField(3, 0x10, 0, {2});  // black and white
    EXPECT_FALSE(rig.image2->Slider(CDialogImage2::kSaturation)->isEnabled());
    EXPECT_TRUE(rig.image2->SelectorAt(CDialogImage2::kFilter)->isEnabled());
    rig.image2->EnablePanel(false);  // the reverse holds only inside an enabled panel
    rig.FeedField(3, 0x10, 0, {3});
    EXPECT_FALSE(rig.image2->Slider(CDialogImage2::kSaturation)->isEnabled());
}

TEST(Enabling, ModeDecidesWhatTheExposurePanelAdjusts) {
    PanelRig rig;
    rig.ConnectToVirtualCamera();
    ManualMode(rig);
    EXPECT_TRUE(rig.exposure->Slider(CDialogExposure::kShutter)->isEnabled());
    EXPECT_TRUE(rig.exposure->Slider(CDialogExposure::kAperture)->isEnabled());
    EXPECT_FALSE(rig.exposure->Slider(CDialogExposure::kExpComp)->isEnabled());
    EXPECT_FALSE(rig.exposure->IsoAutoButton()->isEnabled());
    EXPECT_FALSE(rig.exposure->ShiftUpButton()->isEnabled());
    ProgramMode(rig);
    EXPECT_TRUE(rig.exposure->ShiftUpButton()->isEnabled());
    rig.exposure->EnablePanel(false);
    EXPECT_FALSE(rig.exposure->ShiftUpButton()->isEnabled());
    rig.exposure->EnablePanel(true);
    rig.FeedField(2, 0x04, 0, {0x12});  // C1 on aperture priority
    EXPECT_EQ(rig.exposure->ModeSelector()->Text(rig.exposure->ModeSelector()->Selected()),
              "C1 - Custom Mode 1");
    EXPECT_TRUE(rig.exposure->Slider(CDialogExposure::kAperture)->isEnabled());
    EXPECT_FALSE(rig.exposure->ShiftUpButton()->isEnabled());
}

TEST(CameraPanel, FixedPointIsNotSentWithoutASelectedCell) {
    PanelRig rig;
    rig.EnableAll(true);
    ASSERT_EQ(rig.cameraPanel->FocusArea()->SelectedCell(), QPoint(-1, -1));
    PickText(rig.cameraPanel->SelectorAt(CDialogCamera::kFrameSize), "Regular");
    EXPECT_TRUE(rig.sink.commands.empty());
}

TEST(CameraPanel, FocusFrameFromTheCameraSelectsCellAndSize) {
    PanelRig rig;
    rig.EnableAll(true);
    const uint8_t frame[4] = {1, 32, 21, 2};
    rig.cameraPanel->ShowFocusFrame(frame);
    EXPECT_EQ(rig.cameraPanel->FocusArea()->SelectedCell(), QPoint(1, 1));
    EXPECT_EQ(rig.cameraPanel->FocusArea()->FrameSizeIndex(), CStaticAFarea2::kRegular);
    EXPECT_EQ(rig.cameraPanel->SelectorAt(CDialogCamera::kFrameSize)->SelectedCode(), 2);
    EXPECT_TRUE(rig.sink.commands.empty());
}

TEST(ArrowKeys, ReachTheGridOnlyWhileTheFilterSaysImageOneIsOpen) {
    PanelRig rig;
    rig.ConnectToVirtualCamera();
    rig.image1->show();
    bool open = false;
    CImageArrowKeyFilter filter(*rig.image1, [&open] { return open; });
    qApp->installEventFilter(&filter);
    rig.sink.commands.clear();
    QKeyEvent right(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
    QCoreApplication::sendEvent(rig.image1.get(), &right);
    EXPECT_TRUE(rig.sink.commands.empty());
    open = true;
    QCoreApplication::sendEvent(rig.image1.get(), &right);
    ASSERT_EQ(rig.sink.commands.size(), 1u);
    EXPECT_EQ(rig.sink.commands[0].payload.setting.Field1, 0x04);
    rig.image1->EnablePanel(false);  // a disabled grid takes no keys
    QCoreApplication::sendEvent(rig.image1.get(), &right);
    EXPECT_EQ(rig.sink.commands.size(), 1u);
    qApp->removeEventFilter(&filter);
}

}  // namespace

// ---- the interval timer's fields ----

struct TypingCase {
    const char* name;
    int max_seconds;
    const char* field;  // "min", "sec" or "count"
    const char* typed;
    bool leave;  // the field loses the focus afterwards
    const char* minutes;
    const char* seconds;
    const char* count;
    int sent_interval;  // -1: nothing sent
    int sent_count;
};

class IntervalTyping : public ::testing::TestWithParam<TypingCase> {};

TEST_P(IntervalTyping, FieldsAreClampedAndSentOnce) {
    const TypingCase& c = GetParam();
    PanelRig rig;
    rig.FeedCanSetInfo(
        3, PanelRig::CanSetRecord(3, {{SettableField::DriveModeMask, 0x7F},
                                      {SettableField::IntervalMax, uint32_t(c.max_seconds)},
                                      {SettableField::IntervalMin, 7},
                                      {SettableField::IntervalMaxCount, 99}}));
    rig.EnableAll(true);
    rig.FeedField(2, 0x01, 0, {7});
    rig.cameraPanel->ShowIntervalTimer(0, 5);
    ASSERT_TRUE(rig.cameraPanel->IntervalShown());
    rig.sink.commands.clear();
    QLineEdit* edit = std::string(c.field) == "min"   ? rig.cameraPanel->MinutesEdit()
                      : std::string(c.field) == "sec" ? rig.cameraPanel->SecondsEdit()
                                                      : rig.cameraPanel->CountEdit();
    edit->clear();
    for (const char* p = c.typed; *p; ++p) {
        QKeyEvent key(QEvent::KeyPress, Qt::Key_0 + (*p - '0'), Qt::NoModifier, QString(*p));
        QCoreApplication::sendEvent(edit, &key);
    }
    if (c.leave) emit edit->editingFinished();
    EXPECT_EQ(rig.cameraPanel->MinutesEdit()->text(), c.minutes);
    EXPECT_EQ(rig.cameraPanel->SecondsEdit()->text(), c.seconds);
    EXPECT_EQ(rig.cameraPanel->CountEdit()->text(), c.count);
    if (c.sent_interval < 0) {
        EXPECT_TRUE(rig.sink.commands.empty());
        return;
    }
    ASSERT_EQ(rig.sink.commands.size(), 1u);
    const auto& s = rig.sink.commands[0].payload.setting;
    EXPECT_EQ(s.Field1, 0x01);
    EXPECT_EQ(s.data[0] | (s.data[1] << 8), c.sent_interval);
    EXPECT_EQ(s.data[2], c.sent_count);
}

const TypingCase kTypingCases[] = {
    {"one_small_digit_waits", 3600, "min", "5", false, "5", "00", "05", -1, 0},
    {"fifty_minutes", 3600, "min", "50", false, "50", "00", "05", 3000, 5},
    {"minutes_held_to_the_maximum", 1800, "min", "50", false, "30", "00", "05", 1800, 5},
    {"seconds_raised_to_the_minimum", 3600, "sec", "03", false, "00", "07", "05", 7, 5},
    {"seconds_held_below_sixty", 3600, "sec", "75", false, "00", "59", "05", 59, 5},
    {"count_one_on_leaving", 3600, "count", "1", true, "00", "00", "02", 7, 2},
    {"count_zero_zero", 3600, "count", "00", false, "00", "00", "02", 7, 2},
};

INSTANTIATE_TEST_SUITE_P(CameraPanel, IntervalTyping, ::testing::ValuesIn(kTypingCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ExposurePanel, WholeStepMaskRefusesIsoSteps) {
    PanelRig rig;
    rig.FeedCanSetInfo(1, PanelRig::CanSetRecord(1, {{SettableField::IsoWholeStepMask, 0x0006},
                                                     {SettableField::IsoUpper, 80},
                                                     {SettableField::IsoLower, 32}}));
    rig.FeedField(4, 0x01, 0, {2});  // one-third steps
    rig.EnableAll(true);
    rig.FeedField(1, 0x10, 0, {40});  // ISO 200
    rig.sink.commands.clear();
    auto* plus = rig.exposure->PlusButton(CDialogExposure::kIso);
    plus->click();
    plus->click();
    plus->click();  // 400: bit 0x08 is clear
    ASSERT_EQ(rig.sink.commands.size(), 2u);
    EXPECT_EQ(rig.sink.commands[0].payload.setting.value, 43);  // 250
    EXPECT_EQ(rig.sink.commands[1].payload.setting.value, 45);  // 320
    EXPECT_EQ(rig.exposure->ValueText(CDialogExposure::kIso)->text(), "320");
}

TEST(HoldButtons, OneStepPerRepeatAndNoneForTheReleasingClick) {
    PanelRig rig;
    rig.ConnectToVirtualCamera();
    rig.FeedField(3, 0x01, 0, {uint8_t(-10)});  // contrast at its lowest: slider 0
    CGdipHoldButton* plus = rig.image2->PlusButton(CDialogImage2::kContrast);
    plus->SetTiming(5, 5);
    rig.sink.commands.clear();
    Press(plus, {5, 5});
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.sink.commands.size() >= 3; }));
    Release(plus, {5, 5});
    const int steps = rig.image2->Slider(CDialogImage2::kContrast)->value();
    ASSERT_EQ(rig.sink.commands.size(), static_cast<size_t>(steps));
    for (int i = 0; i < steps; ++i)
        EXPECT_EQ(rig.sink.commands[i].payload.setting.value, -10 + 2 * (i + 1)) << i;
    // A plain click afterwards is one step again.
    rig.image2->MinusButton(CDialogImage2::kContrast)->click();
    ASSERT_EQ(rig.sink.commands.size(), static_cast<size_t>(steps + 1));
    EXPECT_EQ(rig.sink.commands.back().payload.setting.value, -10 + 2 * (steps - 1));
}
