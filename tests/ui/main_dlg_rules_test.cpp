#include "ui/main_dlg_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace kvx::ui::rules;

// A connected camera shooting to the computer with room to spare, single
// drive, AF-S, a lens on: every button may be on.
CaptureInputs Ready() {
    CaptureInputs in;
    in.driveMode = 1;
    in.afMode = 1;
    in.picturesToComputer = true;
    in.destinationFreeBytes = 1ull << 30;
    in.lensReported = true;
    in.connected = true;
    return in;
}

struct CaptureCase {
    const char* name;
    void (*change)(CaptureInputs&);
    CaptureButtons want;
};
void PrintTo(const CaptureCase& c, std::ostream* os) {
    *os << c.name;
}

class CaptureButtonTable : public ::testing::TestWithParam<CaptureCase> {};

TEST_P(CaptureButtonTable, FollowsDriveAfDestinationAndState) {
    CaptureInputs in = Ready();
    GetParam().change(in);
    EXPECT_EQ(EvaluateCaptureButtons(in), GetParam().want);
}

constexpr CaptureButtons kAll{true, true, true};
constexpr CaptureButtons kNone{false, false, false};
constexpr CaptureButtons kNoAfOnly{true, true, false};
constexpr CaptureButtons kCaptureOnly{false, true, false};

INSTANTIATE_TEST_SUITE_P(
    Rules, CaptureButtonTable,
    ::testing::Values(
        CaptureCase{"SingleAfS", [](CaptureInputs&) {}, kAll},
        CaptureCase{"SingleManualFocus", [](CaptureInputs& i) { i.afMode = 3; }, kCaptureOnly},
        CaptureCase{"ContinuousAfS", [](CaptureInputs& i) { i.driveMode = 2; }, kNoAfOnly},
        CaptureCase{"SelfTimerAfC",
                    [](CaptureInputs& i) {
                        i.driveMode = 3;
                        i.afMode = 2;
                    },
                    kNoAfOnly},
        CaptureCase{"MirrorUpRelease2",
                    [](CaptureInputs& i) {
                        i.driveMode = 5;
                        i.mirrorUpRelease = 2;
                    },
                    kAll},
        CaptureCase{"MirrorUpRelease0",
                    [](CaptureInputs& i) {
                        i.driveMode = 5;
                        i.mirrorUpRelease = 0;
                    },
                    kNone},
        CaptureCase{"UnknownAfMode", [](CaptureInputs& i) { i.afMode = 9; }, kNone},
        CaptureCase{"IntervalTimerIsLikeSingle", [](CaptureInputs& i) { i.driveMode = 7; }, kAll},
        CaptureCase{"AutoBracketingDrive", [](CaptureInputs& i) { i.driveMode = 6; }, kNone},
        CaptureCase{"NoDriveYet", [](CaptureInputs& i) { i.driveMode = 0; }, kNone},
        CaptureCase{"NineMiBFree", [](CaptureInputs& i) { i.destinationFreeBytes = 9ull << 20; },
                    kNone},
        CaptureCase{"ExactlyTenMiBFree",
                    [](CaptureInputs& i) { i.destinationFreeBytes = kMinimumFreeBytes; }, kAll},
        CaptureCase{"FreeSpaceUnreadable", [](CaptureInputs& i) { i.destinationFreeBytes.reset(); },
                    kNone},
        CaptureCase{"CardFull",
                    [](CaptureInputs& i) {
                        i.picturesToComputer = false;
                        i.picturesToCard = true;
                        i.cardState = 1;
                        i.cardReady = 1;
                        i.remainingShots = 0;
                    },
                    kNone},
        CaptureCase{"CardWithRoom",
                    [](CaptureInputs& i) {
                        i.picturesToComputer = false;
                        i.picturesToCard = true;
                        i.cardState = 2;
                        i.cardReady = 1;
                        i.remainingShots = 10;
                    },
                    kAll},
        CaptureCase{"CardNotReady",
                    [](CaptureInputs& i) {
                        i.picturesToCard = true;
                        i.cardState = 1;
                        i.cardReady = 0;
                        i.remainingShots = 10;
                    },
                    kNone},
        CaptureCase{"NoLens", [](CaptureInputs& i) { i.lensReported = false; }, kCaptureOnly},
        CaptureCase{"CameraBusy", [](CaptureInputs& i) { i.cameraState = 5; }, kCaptureOnly},
        CaptureCase{"AfLocked", [](CaptureInputs& i) { i.afLocked = true; }, kNoAfOnly},
        CaptureCase{"LiveViewMagnified",
                    [](CaptureInputs& i) {
                        i.canSetInfo4Received = true;
                        i.liveViewMagnification = 2;
                    },
                    kNone},
        CaptureCase{"MagnificationWithoutInfo4Ignored",
                    [](CaptureInputs& i) { i.liveViewMagnification = 2; }, kAll},
        CaptureCase{"Disconnected", [](CaptureInputs& i) { i.connected = false; }, kNone}));

TEST(SpecialButtons, AvailabilityByMasksAndState) {
    SpecialInputs in;
    in.driveMode = 1;
    in.connected = true;
    // No settings-info record yet: auto bracketing is offered, the others never.
    EXPECT_EQ(EvaluateSpecialButtons(in), (SpecialButtons{true, false, false, true, false}));

    in.autoBracketMask = 0x04;  // neither of the low two bits
    in.wbBracketMask = 0x10;
    in.colorBracketMask = 0x20;  // outside the low five bits
    in.liveViewOffered = true;
    EXPECT_EQ(EvaluateSpecialButtons(in), (SpecialButtons{false, true, false, true, true}));

    in.autoBracketMask = 0x01;
    in.flashActive = true;  // a flash rules auto bracketing out
    EXPECT_TRUE(EvaluateSpecialButtons(in).wbBracket);
    EXPECT_FALSE(EvaluateSpecialButtons(in).autoBracket);

    in.connected = false;
    EXPECT_EQ(EvaluateSpecialButtons(in), SpecialButtons{});
}

TEST(Readouts, RemainingShotsAndBracketingTexts) {
    struct Row {
        uint16_t count;
        uint8_t cardState;
        const char* text;
    };
    for (const Row& r : std::vector<Row>{{12, 1, "  12"},
                                         {0, 1, "FULL"},
                                         {12345, 1, "9999"},
                                         {9999, 2, "9999"},
                                         {5, 4, "----"},
                                         {5, 6, "----"},
                                         {5, 8, " Err"}})
        EXPECT_EQ(RemainingShotsText(r.count, r.cardState), r.text)
            << r.count << "/" << +r.cardState;

    EXPECT_EQ(BracketingText(1, 0), "Ab-3");
    EXPECT_EQ(BracketingText(2, 1), "Ab-4");
    EXPECT_EQ(BracketingText(1, 7), "Ab-0");  // a counter past the series never shows garbage
}

TEST(Readouts, BatteryIconsMarksAndVerdicts) {
    const int icons[] = {0, 1, 4, 5, 6, 6, 7, 0, 8, 0, 2, 3, 0, 0};
    for (int code = 0; code <= 13; ++code) EXPECT_EQ(BatteryIcon(code), icons[code]) << code;
    EXPECT_EQ(BatteryIcon(-1), 0);

    EXPECT_EQ(BlinkingBatteryIcon(7, true), 7);
    EXPECT_EQ(BlinkingBatteryIcon(7, false), 0);
    EXPECT_EQ(BlinkingBatteryIcon(2, false), 4);

    EXPECT_EQ(JudgeBatteries(5, 4, 7), BatteryVerdict::EndProgram);
    EXPECT_EQ(JudgeBatteries(4, 4, 1), BatteryVerdict::Normal);
    EXPECT_EQ(JudgeBatteries(7, 12, 7), BatteryVerdict::ControlsOff);
    EXPECT_EQ(JudgeBatteries(1, 7, 7), BatteryVerdict::Normal);

    EXPECT_FALSE(AdditionalBatteries(8, 1).visible);   // icon 8 hides the group
    EXPECT_FALSE(AdditionalBatteries(7, 12).visible);  // both without power
    const AdditionalBatteryCells cells = AdditionalBatteries(6, 10);
    EXPECT_TRUE(cells.visible);
    EXPECT_EQ(cells.first, 6);  // icon 7 capped at 6
    EXPECT_EQ(cells.second, 2);
}

TEST(Readouts, ApertureDigits) {
    EXPECT_EQ(ApertureReadout(true, true, 110), (ApertureCells{'1', '1', 1}));
    EXPECT_EQ(ApertureReadout(true, true, 56), (ApertureCells{'5', '6', 0}));
    EXPECT_EQ(ApertureReadout(true, true, 100), (ApertureCells{'1', '0', 1}));
    EXPECT_EQ(ApertureReadout(true, false, 56), (ApertureCells{'-', '-', 1}));
    EXPECT_EQ(ApertureReadout(false, true, 56), (ApertureCells{' ', ' ', 1}));
}

TEST(Readouts, ExposureLevel) {
    struct Row {
        ExposureInputs in;
        ExposureCells want;
    };
    const std::vector<Row> rows = {
        {{-13, 1, false, 1, 0}, {1, '1', 0, '3', 6}},  // P, -1.3
        {{7, 2, false, 1, 0}, {2, '0', 0, '7', 6}},    // A, +0.7
        {{0, 1, false, 1, 0}, {0, '0', 0, '0', 0}},    // nothing to mark at 0.0
        {{-10, 4, false, 1, 0}, {1, '1', 0, '0', 0}},  // M: no mark
        {{-10, 4, true, 1, 0}, {0, ' ', 1, ' ', 0}},   // M at Bulb: hidden
        {{-10, 4, true, 1, 2}, {0, '1', 0, '0', 0}},   // ... unless bracketing runs
        {{10, 1, false, 6, 0}, {0, '1', 0, '0', 6}},   // drive 6: no sign
    };
    for (size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(ExposureReadout(rows[i].in), rows[i].want) << i;
}

TEST(Readouts, IntervalTimer) {
    IntervalCells on = IntervalReadout(true, 125, 3, 10);
    EXPECT_EQ(on.timer, "0205");
    EXPECT_EQ(on.count, "0310");
    EXPECT_EQ(on.separator, 1);
    EXPECT_FALSE(on.noCountVisible);

    IntervalCells unlimited = IntervalReadout(true, 59, 3, 0);
    EXPECT_EQ(unlimited.timer, "0059");
    EXPECT_EQ(unlimited.count, "    ");
    EXPECT_EQ(unlimited.separator, 0);
    EXPECT_TRUE(unlimited.noCountVisible);

    IntervalCells off = IntervalReadout(false, 125, 3, 10);
    EXPECT_EQ(off.timer, "    ");
    EXPECT_EQ(off.colon + off.countMark + off.separator, 0);

    EXPECT_EQ(IntervalReadout(true, 65535, 0, 1).timer, "9915");  // minutes held to two digits
}

TEST(Readouts, MarksAndProgress) {
    EXPECT_EQ(MeteringGlyphs(1), (std::array<int, 3>{2, 4, 4}));
    EXPECT_EQ(MeteringGlyphs(2), (std::array<int, 3>{4, 1, 4}));
    EXPECT_EQ(MeteringGlyphs(3), (std::array<int, 3>{4, 4, 4}));
    EXPECT_EQ(MeteringGlyphs(4), (std::array<int, 3>{4, 4, 3}));

    EXPECT_EQ(ExposureModeGlyphs(0x01), (std::array<int, 4>{4, 4, 4, 2}));
    EXPECT_EQ(ExposureModeGlyphs(0x12), (std::array<int, 4>{4, 4, 0, 4}));
    EXPECT_EQ(ExposureModeGlyphs(0x03), (std::array<int, 4>{4, 3, 4, 4}));
    EXPECT_EQ(ExposureModeGlyphs(0x04), (std::array<int, 4>{1, 4, 4, 4}));

    EXPECT_EQ(CustomModeGlyphs(0x00), (std::array<int, 6>{0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(CustomModeGlyphs(0x10), (std::array<int, 6>{0, 1, 0, 0, 0, 0}));
    EXPECT_EQ(CustomModeGlyphs(0xC0), (std::array<int, 6>{0, 0, 0, 0, 1, 2}));

    EXPECT_EQ(BracketProgress(false, 1, 1), 0);
    EXPECT_EQ(BracketProgress(true, 1, 1), 2);
    EXPECT_EQ(BracketProgress(true, 1, 2), 3);
    EXPECT_EQ(BracketProgress(true, 1, 0), 1);
    EXPECT_EQ(BracketProgress(true, 2, 4), 8);
    EXPECT_EQ(BracketProgress(true, 2, 5), 4);
}

TEST(Accordion, OpenPanelSitsUnderItsHeaderAndTheRestStackBelow) {
    const Rect frame{0, 14, 393, 512};
    const AccordionLayout open3 = LayOutAccordion(frame, 21, 3);
    for (int i = 0; i <= 3; ++i) EXPECT_EQ(open3.headers[i], (Rect{0, 14 + 21 * i, 393, 21})) << i;
    EXPECT_EQ(open3.panel, (Rect{0, 14 + 4 * 21, 393, 512 - 6 * 21}));
    EXPECT_EQ(open3.headers[4].y, open3.panel.y + open3.panel.height);
    EXPECT_EQ(open3.headers[5].y + 21, 14 + 512);  // the last header ends at the frame's bottom

    const AccordionLayout open5 = LayOutAccordion(frame, 21, 5);
    EXPECT_EQ(open5.panel.y + open5.panel.height, 14 + 512);
    EXPECT_EQ(LayOutAccordion(frame, 21, 9).panel, open5.panel);  // out of range: the last panel
}

}  // namespace

namespace {

using namespace kvx::ui::rules;

TEST(StatusOverrideRules, CardFullAndNoFocusKeepEachOther) {
    struct Case {
        int current;
        uint16_t shots;
        uint8_t card;
        int want;
    } const cases[] = {
        {kOverrideNone, 0, 1, kOverrideCardFull},      // empty card, ready
        {kOverrideNone, 0, 4, kOverrideNone},          // no card: not "full"
        {kOverrideCardFull, 5, 1, kOverrideNone},      // room again
        {kOverrideNoFocus, 0, 1, kOverrideNoFocus},    // another override stays
        {kOverrideAfFailed, 3, 1, kOverrideAfFailed},  // not ours to clear
    };
    for (const auto& c : cases)
        EXPECT_EQ(CardFullOverride(c.current, c.shots, c.card), c.want)
            << c.current << " " << c.shots << " " << int(c.card);

    EXPECT_EQ(AfModeOverride(kOverrideNone, 2, true), kOverrideNoFocus);
    EXPECT_EQ(AfModeOverride(kOverrideNone, 2, false), kOverrideNone);
    EXPECT_EQ(AfModeOverride(kOverrideCardFull, 2, true), kOverrideCardFull);
    EXPECT_EQ(AfModeOverride(kOverrideNoFocus, 1, true), kOverrideNone);
    EXPECT_EQ(AfModeOverride(kOverrideCardFull, 1, true), kOverrideCardFull);
}

MenuInputs MenuReady() {
    MenuInputs in;
    in.driveMode = 1;
    in.connected = true;
    in.settableVersion = 4;
    in.whiteBalanceMask = 0x2000;
    in.dataGroup4Seen = true;
    return in;
}

TEST(MenuRules, CustomWbDateAndIsoFollowCaptureAndSettable) {
    struct Case {
        const char* name;
        void (*change)(MenuInputs&);
        MenuStates want;
    } const cases[] = {
        {"ready", [](MenuInputs&) {}, {true, true, true}},
        {"drive 6", [](MenuInputs& m) { m.driveMode = 6; }, {false, false, false}},
        {"no drive", [](MenuInputs& m) { m.driveMode = 0; }, {false, false, false}},
        {"busy", [](MenuInputs& m) { m.cameraState = 5; }, {false, false, false}},
        {"pictures pending", [](MenuInputs& m) { m.pendingPictures = 2; }, {false, false, false}},
        {"capturing slot 11", [](MenuInputs& m) { m.whiteBalance = 11; }, {false, false, false}},
        {"qmd", [](MenuInputs& m) { m.qmd = true; }, {true, true, false}},
        {"no group 4", [](MenuInputs& m) { m.dataGroup4Seen = false; }, {true, true, false}},
        {"v3 without custom bits",
         [](MenuInputs& m) { m.whiteBalanceMask = 0x8000; },
         {false, true, true}},
        {"v2 custom bit",
         [](MenuInputs& m) {
             m.settableVersion = 2;
             m.whiteBalanceMask = 0x8000;
         },
         {true, true, true}},
        {"v1 without custom bit",
         [](MenuInputs& m) {
             m.settableVersion = 1;
             m.whiteBalanceMask = 0x6100;
         },
         {false, true, true}},
        {"no record", [](MenuInputs& m) { m.settableVersion = 0; }, {false, true, true}},
        {"disconnected", [](MenuInputs& m) { m.connected = false; }, {false, false, false}},
    };
    for (const auto& c : cases) {
        MenuInputs in = MenuReady();
        c.change(in);
        const MenuStates got = EvaluateMenus(in);
        EXPECT_EQ(got, c.want) << c.name << ": " << got.customWb << got.dateSetting
                               << got.isoFunction;
    }
}

}  // namespace
