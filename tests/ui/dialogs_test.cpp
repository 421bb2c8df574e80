// The special function dialogs, driven as a user drives them: each step and
// the command it queues, the camera's reports and what the dialogs then
// show, the availability messages enabling and disabling the pages.
#include <gtest/gtest.h>

#include <QApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QTimer>
#include <array>

#include "gdip_button.h"
#include "gdip_hold_button.h"
#include "gdip_slider.h"
#include "gdip_toggle_button_ex.h"
#include "model/camera.h"
#include "model/record_layout.h"
#include "model/window_messages.h"
#include "static_wb_adjust.h"
#include "tests/ui/dialog_test_support.h"
#include "ui/custom_wb_capture.h"
#include "ui/dialog_date_time.h"
#include "ui/dialog_iso_setting.h"
#include "ui/dialog_look.h"
#include "ui/special_dialog_ab.h"
#include "ui/special_dialog_color.h"
#include "ui/special_dialog_rules.h"
#include "ui/special_dialog_setting.h"
#include "ui/special_dialog_wb.h"

using namespace dialogtest;
using namespace VARNO::window_messages;
using kvx::ui::CDialogDateTime;
using kvx::ui::CDialogIsoSetting;
using kvx::ui::CDialogSpecialSetting;
using Strings = std::vector<std::string>;

namespace {

// ---- date and time -------------------------------------------------------

std::time_t LocalMoment(int y, int mo, int d, int h, int mi, int s) {
    std::tm t{};
    t.tm_year = y - 1900;
    t.tm_mon = mo - 1;
    t.tm_mday = d;
    t.tm_hour = h;
    t.tm_min = mi;
    t.tm_sec = s;
    t.tm_isdst = -1;
    return std::mktime(&t);
}

TEST(DateDialog, OkQueuesTheClockRecordOfTheLocalTime) {
    RecordingSink sink;
    const std::time_t at = LocalMoment(2009, 12, 31, 23, 59, 58);
    CDialogDateTime dlg(sink, true, nullptr, [at] { return at; });
    EXPECT_EQ(dlg.DateText(), "2009 / 12 / 31");
    EXPECT_EQ(dlg.TimeText(), "23 : 59 : 58");
    EXPECT_TRUE(sink.commands.empty());
    Click(dlg.OkButton());
    EXPECT_EQ(Describe(sink.Take()), Strings{"clock 6 58 59 23 31 12 9 0"});
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
}

TEST(DateDialog, CancelSendsNothingAndOkFollowsTheConnection) {
    RecordingSink sink;
    CDialogDateTime dlg(sink, false, nullptr);
    EXPECT_FALSE(dlg.OkButton()->isEnabled()) << "no communication running";
    EXPECT_TRUE(dlg.HandleMessage(kMsgDateDialogConnected, 0, 0));
    EXPECT_TRUE(dlg.OkButton()->isEnabled());
    EXPECT_TRUE(dlg.HandleMessage(kMsgDateDialogDisconnected, 0, 0));
    EXPECT_FALSE(dlg.OkButton()->isEnabled());
    EXPECT_FALSE(dlg.HandleMessage(kMsgIsoDialogEnable, 0, 0));
    Click(dlg.CancelButton());
    EXPECT_TRUE(sink.commands.empty());
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
}

TEST(DateDialog, TextsFollowTheClockEverySecond) {
    RecordingSink sink;
    std::time_t now = LocalMoment(2024, 2, 29, 10, 0, 59);
    CDialogDateTime dlg(sink, true, nullptr, [&now] { return now; });
    EXPECT_EQ(dlg.TimeText(), "10 : 00 : 59");
    now += 1;
    QTimer wait;
    wait.setSingleShot(true);
    QEventLoop loop;
    QObject::connect(&wait, &QTimer::timeout, &loop, &QEventLoop::quit);
    wait.start(1300);
    loop.exec();
    EXPECT_EQ(dlg.TimeText(), "10 : 01 : 00");
    EXPECT_EQ(dlg.DateText(), "2024 / 02 / 29");
}

// ---- ISO function ----------------------------------------------------------

void SetIsoGroup(VARNO::CCamera& cam, uint8_t step, uint8_t upper, uint8_t lower) {
    const uint8_t v[3] = {step, upper, lower};
    cam.SetDataGroupBytes(4, VARNO::dg4::kIsoStep, v, 3);
}

// A CanSetInfo2 whose ISO auto limit range is [lower, upper].
void ReceiveCanSetInfo2(VARNO::CCamera& cam, uint8_t upper, uint8_t lower) {
    std::array<uint8_t, 57> r{};
    r[0] = 55;
    r[35] = upper;
    r[36] = lower;
    uint8_t sum = 0;
    for (int i = 0; i < 56; ++i) sum = uint8_t(sum + r[size_t(i)]);
    r[56] = sum;
    cam.StoreReceivedCanSetInfo(2, r.data(), r.size());
    cam.MergeCanSetInfo(2);
}

// A CanSetInfo3 with an ISO range (upper, lower) and no ISO auto range.
void ReceiveCanSetInfo3(VARNO::CCamera& cam, uint8_t upper, uint8_t lower) {
    std::array<uint8_t, 112> r{};
    r[0] = 110;
    r[32] = upper;
    r[33] = lower;
    cam.StoreReceivedCanSetInfo(3, r.data(), r.size());
    cam.MergeCanSetInfo(3);
}

TEST(IsoDialog, LimitListsFollowStepRangeAndTheOtherLimit) {
    struct Case {
        const char* what;
        uint8_t step, upper, lower;
        int version;  // settable info received: 0 none, 2 with auto range, 3 without
        uint8_t rangeUpper, rangeLower;
        std::vector<int> lowerList, upperList;
        int lowerSelected, upperSelected;
    };
    const Case cases[] = {
        {"whole steps, full range",
         1,
         80,
         32,
         2,
         80,
         32,
         {32, 40, 48, 56, 64, 72},
         {40, 48, 56, 64, 72, 80},
         32,
         80},
        {"range 40..72 drops ISO 100 and 6400",
         1,
         72,
         40,
         2,
         72,
         40,
         {40, 48, 56, 64},
         {48, 56, 64, 72},
         40,
         72},
        {"third steps",
         2,
         40,
         32,
         2,
         80,
         32,
         {32, 35, 37},
         {35, 37, 40, 43, 45, 48, 51, 53, 56, 59, 61, 64, 67, 69, 72, 75, 77, 80},
         32,
         40},
        {"no settable info: the whole table",
         1,
         56,
         48,
         0,
         0,
         0,
         {32, 40, 48},
         {56, 64, 72, 80},
         48,
         56},
        {"version 3 (no auto range): its ISO range",
         1,
         64,
         40,
         3,
         72,
         40,
         {40, 48, 56},
         {48, 56, 64, 72},
         40,
         64},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        VARNO::CCamera cam;
        SetIsoGroup(cam, c.step, c.upper, c.lower);
        if (c.version == 2) ReceiveCanSetInfo2(cam, c.rangeUpper, c.rangeLower);
        if (c.version == 3) ReceiveCanSetInfo3(cam, c.rangeUpper, c.rangeLower);
        RecordingSink sink;
        CDialogIsoSetting dlg(sink, cam);
        EXPECT_EQ(Codes(dlg.LowerSelector()), c.lowerList);
        EXPECT_EQ(Codes(dlg.UpperSelector()), c.upperList);
        EXPECT_EQ(kvx::ui::CDialogLook::SelectedCode(dlg.LowerSelector()), c.lowerSelected);
        EXPECT_EQ(kvx::ui::CDialogLook::SelectedCode(dlg.UpperSelector()), c.upperSelected);
        EXPECT_EQ(dlg.StepSelector()->Selected(), c.step == 1 ? 0 : 1);
        EXPECT_TRUE(sink.commands.empty());
    }
}

TEST(IsoDialog, PicksQueueAtOnceAndRebuildTheOtherList) {
    VARNO::CCamera cam;
    SetIsoGroup(cam, 1, 56, 32);
    ReceiveCanSetInfo2(cam, 80, 32);
    RecordingSink sink;
    CDialogIsoSetting dlg(sink, cam);
    Pick(dlg.LowerSelector(), 48);
    EXPECT_EQ(Describe(sink.Take()), Strings{"0x9024 F1=0x04 F2=0x00 val=48"});
    EXPECT_EQ(Codes(dlg.UpperSelector()), (std::vector<int>{56, 64, 72, 80}));
    EXPECT_EQ(kvx::ui::CDialogLook::SelectedCode(dlg.UpperSelector()), 56);
    Pick(dlg.UpperSelector(), 64);
    EXPECT_EQ(Describe(sink.Take()), Strings{"0x9024 F1=0x02 F2=0x00 val=64"});
    EXPECT_EQ(Codes(dlg.LowerSelector()), (std::vector<int>{32, 40, 48, 56}));
    EXPECT_EQ(kvx::ui::CDialogLook::SelectedCode(dlg.LowerSelector()), 48);
    // The step is sent; the lists wait for the camera's report.
    dlg.StepSelector()->Select(1);
    emit dlg.StepSelector()->picked(1);
    EXPECT_EQ(Describe(sink.Take()), Strings{"0x9024 F1=0x01 F2=0x00 val=2"});
    EXPECT_EQ(Codes(dlg.LowerSelector()).size(), 4u);
    SetIsoGroup(cam, 2, 64, 48);
    EXPECT_TRUE(dlg.HandleMessage(kMsgIsoDataGroup4Changed, 0x01, 0));
    EXPECT_EQ(Codes(dlg.LowerSelector()).size(), 12u) << "one-third steps below ISO 1600";
    EXPECT_EQ(kvx::ui::CDialogLook::SelectedCode(dlg.LowerSelector()), 48);
}

TEST(IsoDialog, OkKeepsTheChoicesAndNeverReadsAMissingRow) {
    VARNO::CCamera cam;
    SetIsoGroup(cam, 1, 56, 40);
    RecordingSink sink;
    CDialogIsoSetting dlg(sink, cam);
    dlg.LowerSelector()->Select(-1);  // nothing selected
    Click(dlg.OkButton());
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.Step(), 1);
    EXPECT_EQ(dlg.Upper(), 56);
    EXPECT_EQ(dlg.Lower(), 40) << "the last value, not a row at index -1";
    EXPECT_TRUE(sink.commands.empty()) << "OK sends nothing";
}

TEST(IsoDialog, EnableAndDisableMessages) {
    VARNO::CCamera cam;
    SetIsoGroup(cam, 1, 56, 40);
    RecordingSink sink;
    CDialogIsoSetting dlg(sink, cam);
    EXPECT_TRUE(dlg.HandleMessage(kMsgIsoDialogDisable, 0, 0));
    EXPECT_FALSE(dlg.LowerSelector()->isEnabled());
    EXPECT_FALSE(dlg.StepSelector()->isEnabled());
    EXPECT_FALSE(dlg.OkButton()->isEnabled());
    EXPECT_TRUE(dlg.HandleMessage(kMsgIsoDialogEnable, 0, 0));
    EXPECT_TRUE(dlg.UpperSelector()->isEnabled());
    EXPECT_TRUE(dlg.OkButton()->isEnabled());
}

// ---- special capture settings -----------------------------------------------

// A user's step and the commands it is to queue, in order.
struct ActionCase {
    const char* action;
    std::function<void()> step;
    Strings queued;
};
template <size_t N>
void RunActions(RecordingSink& sink, const ActionCase (&cases)[N]) {
    for (const ActionCase& c : cases) {
        c.step();
        EXPECT_EQ(Describe(sink.Take()), c.queued) << c.action;
    }
}

// A camera whose records hold the given special bracketing state.
struct SpecialFixture {
    VARNO::CCamera cam;
    RecordingSink sink;
    std::unique_ptr<CDialogSpecialSetting> dlg;

    explicit SpecialFixture(uint8_t kind = 1, bool connected = true, bool qmd = false) {
        const uint8_t g6[4] = {kind, 5, 6, 2};  // kind, 5 shots, step 6, axis M-G
        cam.SetDataGroupBytes(6, VARNO::dg6::kBracketKind, g6, 4);
        const uint8_t bkt[6] = {4, 2, 0, 0, 1, 3};  // BKT1 Vivid, parameters
        cam.SetDataGroupBytes(6, 7, bkt, 6);
        const uint8_t mode = 3;  // Standard
        cam.SetDataGroupBytes(3, VARNO::dg3::kColorMode, &mode, 1);
        const uint8_t wb = 2;
        cam.SetDataGroupBytes(2, VARNO::dg2::kWhiteBalance, &wb, 1);
        CDialogSpecialSetting::Handover h;
        h.amount = 8;
        h.setting = 2;
        h.qmd = qmd;
        h.autoBracketAvailable = true;
        h.wbBracketAvailable = true;
        h.colorBracketAvailable = true;
        h.connected = connected;
        h.protocolMajor = 4;
        dlg = std::make_unique<CDialogSpecialSetting>(sink, cam, h);
        dlg->ShowBracketAmount(8);  // the camera's amount is known
    }
};

TEST(SpecialDialog, AutoBracketPageActionsQueueTheirCommands) {
    SpecialFixture f;
    auto* ab = f.dlg->AbPage();
    const ActionCase cases[] = {
        {"plus: 1.0 -> 1.3 EV",
         [&] { Click(ab->PlusButton()); },
         {"0x9016 F1=0x40 F2=0x00 val=11"}},
        {"camera reports 1.3", [&] { f.dlg->ShowBracketAmount(11); }, {}},
        {"minus twice",
         [&] {
             Click(ab->MinusButton());
             Click(ab->MinusButton());
         },
         {"0x9016 F1=0x40 F2=0x00 val=8", "0x9016 F1=0x40 F2=0x00 val=5"}},
        {"5 Shots with order - 0 +",
         [&] { Pick(ab->NumberSelector(), 2); },
         {"0x9016 F1=0x80 F2=0x00 val=5"}},
        {"then + 0 -", [&] { Pick(ab->OrderSelector(), 3); }, {"0x9016 F1=0x80 F2=0x00 val=6"}},
        {"QMD on", [&] { Click(ab->QmdToggle()); }, {"0x9024 F1=0x08 F2=0x00 val=1"}},
        {"QMD off", [&] { Click(ab->QmdToggle()); }, {"0x9024 F1=0x08 F2=0x00 val=0"}},
    };
    RunActions(f.sink, cases);
}

TEST(SpecialDialog, AutoBracketPageShowsTheCameraAndNeverWalksOffTheList) {
    SpecialFixture f;
    auto* ab = f.dlg->AbPage();
    struct Case {
        int8_t amount;
        int position;
        const char* text;
    };
    const Case cases[] = {{14, 5, "+1.7"},
                          {24, 9, "+3.0"},
                          {0, 0, "0.0"},
                          {12, 9, "+3.0"},  // a half-step code: the list's end
                          {-8, 9, "+3.0"}};
    for (const Case& c : cases) {
        f.dlg->ShowBracketAmount(c.amount);
        EXPECT_EQ(ab->AmountSlider()->value(), c.position) << int(c.amount);
        EXPECT_EQ(ab->AmountText(), c.text) << int(c.amount);
    }
    f.dlg->ShowBracketAmount(24);
    f.sink.Take();
    Click(ab->PlusButton());  // already at the end: stays, sends nothing
    EXPECT_EQ(ab->AmountSlider()->value(), 9);
    EXPECT_TRUE(f.sink.commands.empty());
    EXPECT_EQ(f.dlg->Amount(), 24) << "the camera's later amount is the one to keep";

    // Setting 0 names no series: nothing is selected and nothing is sent.
    f.dlg->ShowBracketSetting(0);
    EXPECT_EQ(ab->NumberSelector()->Selected(), -1);
    EXPECT_EQ(ab->OrderSelector()->Selected(), -1);
    emit ab->OrderSelector()->picked(-1);
    EXPECT_TRUE(f.sink.commands.empty());
    f.dlg->ShowBracketSetting(4);
    EXPECT_EQ(kvx::ui::CDialogLook::SelectedCode(ab->NumberSelector()), 2);
    EXPECT_EQ(kvx::ui::CDialogLook::SelectedCode(ab->OrderSelector()), 1);
    f.dlg->ShowBracketSetting(9);  // out of range: ignored
    EXPECT_EQ(f.dlg->Setting(), 4);
}

TEST(SpecialDialog, BracketMaskFiltersTheLists) {
    SpecialFixture f;
    auto* ab = f.dlg->AbPage();
    f.dlg->FillBracketLists(0x01);
    EXPECT_EQ(Codes(ab->NumberSelector()), (std::vector<int>{1}));
    EXPECT_EQ(Codes(ab->OrderSelector()), (std::vector<int>{1, 2, 3}));
    EXPECT_TRUE(ab->NumberSelector()->isEnabled());
    f.dlg->FillBracketLists(0x00);
    EXPECT_EQ(Codes(ab->NumberSelector()), (std::vector<int>{0}));
    EXPECT_FALSE(ab->NumberSelector()->isEnabled());
    EXPECT_FALSE(ab->OrderSelector()->isEnabled());
}

TEST(SpecialDialog, WhiteBalancePageActionsQueueTheirCommands) {
    SpecialFixture f(1);
    f.dlg->OpenPage(1);
    auto* wb = f.dlg->WbPage();
    ASSERT_TRUE(wb->Active());
    const ActionCase cases[] = {
        {"white balance Shade",
         [&] { Pick(wb->WhiteBalanceSelector(), 3); },
         {"0x9017 F1=0x00 F2=0x20 val=3"}},
        {"axis B-A", [&] { Pick(wb->AxisSelector(), 1); }, {"0x902A F1=0x08 F2=0x00 val=1"}},
        {"3 shots", [&] { Pick(wb->NumberSelector(), 1); }, {"0x902A F1=0x02 F2=0x00 val=3"}},
        {"step plus: 6 -> 8", [&] { Click(wb->PlusButton()); }, {"0x902A F1=0x04 F2=0x00 val=8"}},
        {"camera reports step 6 again", [&] { f.dlg->ShowWbBracketAmount(6); }, {}},
        // The last sent follows the camera: 8 is sent again.
        {"step plus again", [&] { Click(wb->PlusButton()); }, {"0x902A F1=0x04 F2=0x00 val=8"}},
        {"arrow right on the grid",
         [&] {
             QKeyEvent k(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
             QCoreApplication::sendEvent(f.dlg.get(), &k);
         },
         {"0x9028 F1=0x04 F2=0x00 ext=2 2 0"}},
        {"deactivate", [&] { Click(wb->ActivateToggle()); }, {"0x902A F1=0x01 F2=0x00 val=0"}},
        {"controls follow at once: a pick does nothing",
         [&] { EXPECT_FALSE(wb->AxisSelector()->isEnabled()); },
         {}},
    };
    RunActions(f.sink, cases);
}

TEST(SpecialDialog, WhiteBalanceMarksFollowTheCamera) {
    SpecialFixture f(1);
    auto* wb = f.dlg->WbPage();
    using kvx::ui::GridMark;
    EXPECT_EQ(wb->Marks(), (std::vector<GridMark>{{0, -6}, {0, 6}, {0, -12}, {0, 12}}));
    // The page's grid draws them: 5 frames of 6 on the magenta-green line.
    EXPECT_EQ(wb->Grid()->SatelliteOffset(1), QPoint(0, -21));
    EXPECT_EQ(wb->Grid()->SatelliteOffset(4), QPoint(0, 42));
    f.dlg->ShowWbBracketAxis(1);
    f.dlg->ShowWbBracketCount(3);
    EXPECT_EQ(wb->Marks(), (std::vector<GridMark>{{-6, 0}, {6, 0}}));
    f.dlg->ShowWbBracketCount(4);  // ignored
    EXPECT_EQ(wb->Marks().size(), 2u);
}

TEST(SpecialDialog, ColourPageActionsQueueTheirCommands) {
    SpecialFixture f(2);
    f.dlg->OpenPage(2);
    auto* color = f.dlg->ColorPage();
    ASSERT_TRUE(color->Active());
    const ActionCase cases[] = {
        {"base colour mode Vivid",
         [&] { Pick(color->ModeSelector(0), 4); },
         {"0x9018 F1=0x10 F2=0x00 val=4"}},
        {"base contrast +", [&] { Click(color->ParamPlus(0)); }, {"0x9018 F1=0x01 F2=0x00 val=2"}},
        {"BKT3 not used",
         [&] { Pick(color->ModeSelector(3), 0); },
         {"0x902A F1=0x00 F2=0x01 val=0"}},
        {"BKT1 shown, sharpness +",
         [&] {
             Click(color->RowButton(1));
             Click(color->ParamPlus(1));
         },
         {"0x902A F1=0x20 F2=0x00 ext=5 2 2 0 1 3"}},
        {"BKT1 Cinema",
         [&] { Pick(color->ModeSelector(1), 11); },
         {"0x902A F1=0x10 F2=0x00 val=11"}},
        {"deactivate", [&] { Click(color->ActivateToggle()); }, {"0x902A F1=0x01 F2=0x00 val=0"}},
    };
    RunActions(f.sink, cases);
}

TEST(SpecialDialog, ColourPageBlackAndWhiteRule) {
    SpecialFixture f(2);
    auto* color = f.dlg->ColorPage();
    f.dlg->ShowRowColorMode(2, 2);  // BKT2 B&W
    color->SelectRow(2);
    EXPECT_TRUE(color->FilterSelector()->isEnabled());
    EXPECT_FALSE(color->ParamSlider(2)->isEnabled()) << "no saturation in B&W";
    color->SelectRow(1);
    EXPECT_FALSE(color->FilterSelector()->isEnabled());
    EXPECT_TRUE(color->ParamSlider(2)->isEnabled());
    const uint8_t p[5] = {0xF6, 10, 4, 1, 1};
    f.dlg->ShowRowParameters(1, p);
    EXPECT_EQ(color->ParamText(0), "-1.0");
    EXPECT_EQ(color->ParamText(1), "+1.0");
    f.dlg->ShowRowColorMode(1, 13);  // 13 and above: not used
    EXPECT_EQ(kvx::ui::CDialogLook::SelectedCode(color->ModeSelector(1)), 0);
}

TEST(SpecialDialog, AvailabilityMessagesEnableAndDisableThePages) {
    SpecialFixture f(1);
    auto* ab = f.dlg->AbPage();
    auto* wb = f.dlg->WbPage();
    auto* color = f.dlg->ColorPage();
    struct Case {
        int target;
        uint32_t message;
        uintptr_t wParam;
        bool abEnabled, wbToggle, wbActive, colorToggle;
    };
    const Case cases[] = {
        {kTargetSpecialAB, kMsgFunctionUnavailable, 1, false, true, true, true},
        {kTargetSpecialAB, kMsgFunctionAvailable, 1, true, true, true, true},
        {kTargetSpecialWB, kMsgFunctionUnavailable, 0, true, false, false, true},
        {kTargetSpecialWB, kMsgFunctionAvailable, 0, true, true, true, true},
        {kTargetSpecialColor, kMsgFunctionUnavailable, 0, true, true, true, false},
        {kTargetSpecialColor, kMsgFunctionAvailable, 0, true, true, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.target) + " " + std::to_string(c.message));
        EXPECT_TRUE(f.dlg->HandlePageMessage(c.target, c.message, c.wParam));
        EXPECT_EQ(ab->AutoBracketingEnabled(), c.abEnabled);
        EXPECT_EQ(ab->AmountSlider()->isEnabled(), c.abEnabled);
        EXPECT_EQ(wb->ActivateToggle()->isEnabled(), c.wbToggle);
        EXPECT_EQ(wb->Active(), c.wbActive);
        EXPECT_EQ(color->ActivateToggle()->isEnabled(), c.colorToggle);
    }
    // wParam 0: auto bracketing stays available, the QMD section is not usable.
    f.dlg->HandlePageMessage(kTargetSpecialAB, kMsgFunctionAvailable, 0);
    EXPECT_TRUE(ab->AutoBracketingEnabled());
    EXPECT_FALSE(ab->QmdToggle()->isEnabled());
    f.dlg->HandlePageMessage(kTargetSpecialAB, kMsgFunctionAvailable, 1);
    EXPECT_TRUE(ab->QmdToggle()->isEnabled());
    EXPECT_FALSE(f.dlg->HandlePageMessage(kTargetSpecialWB, kMsgIsoDialogEnable, 0));
    // The settable mask stops offering white-balance bracketing: an
    // "available" message alone does not bring the toggle back.
    f.dlg->SetWbBracketAvailable(false);
    f.dlg->HandlePageMessage(kTargetSpecialWB, kMsgFunctionAvailable, 0);
    EXPECT_FALSE(wb->ActivateToggle()->isEnabled());
    EXPECT_FALSE(wb->Active());
    f.dlg->SetWbBracketAvailable(true);
    f.dlg->HandlePageMessage(kTargetSpecialWB, kMsgFunctionAvailable, 0);
    EXPECT_TRUE(wb->Active());
    // QMD on: auto bracketing off, its toggle still usable on protocol 4.
    f.dlg->ShowQmdMode(1);
    EXPECT_FALSE(ab->AutoBracketingEnabled());
    EXPECT_TRUE(ab->QmdToggle()->isEnabled());
    f.dlg->HandlePageMessage(kTargetSpecialWB, kMsgFunctionAvailable, 0);
    EXPECT_FALSE(wb->Active()) << "white-balance bracketing is off while QMD is on";
}

TEST(SpecialDialog, KeysNeverCloseAndOkFollowsTheConnection) {
    SpecialFixture f(1, false);
    EXPECT_FALSE(f.dlg->OkButton()->isEnabled());
    f.dlg->SetConnected(true);
    EXPECT_TRUE(f.dlg->OkButton()->isEnabled());
    f.dlg->show();
    for (int key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
        QKeyEvent k(QEvent::KeyPress, key, Qt::NoModifier);
        QCoreApplication::sendEvent(f.dlg.get(), &k);
        EXPECT_TRUE(f.dlg->isVisible()) << key;
    }
    // Headers open their page and stack the others below it.
    Click(f.dlg->Header(2));
    EXPECT_EQ(f.dlg->OpenPageIndex(), 2);
    EXPECT_EQ(f.dlg->Header(2)->y(), 42);
    EXPECT_TRUE(f.dlg->ColorPage()->isVisible());
    EXPECT_FALSE(f.dlg->AbPage()->isVisible());
    Click(f.dlg->OkButton());
    EXPECT_EQ(f.dlg->result(), QDialog::Accepted);
    EXPECT_EQ(f.dlg->Amount(), 8);
    EXPECT_EQ(f.dlg->Setting(), 2);
    EXPECT_TRUE(f.sink.commands.empty()) << "OK sends nothing";
}

// ---- custom white-balance capture run ------------------------------------

struct CaptureRig {
    RecordingSink sink;
    bool connected = true;
    int state = 3;  // busy until the test says standby
    bool liveView = false;
    std::vector<bool> finished;
    std::unique_ptr<kvx::ui::CCustomWbCapture> run;
    CaptureRig() {
        kvx::ui::CCustomWbCapture::Host host;
        host.connected = [this] { return connected; };
        host.cameraState = [this] { return state; };
        host.setLiveViewCaptureFlag = [this](bool on) { liveView = on; };
        run = std::make_unique<kvx::ui::CCustomWbCapture>(sink, host, nullptr);
        QObject::connect(run.get(), &kvx::ui::CCustomWbCapture::finished,
                         [this](bool restored) { finished.push_back(restored); });
    }
    void Spin(int ms) {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    }
};

TEST(CustomWbCapture, CancelBeforeCapturingLeavesTheCameraOnTheSlot) {
    CaptureRig r;
    ASSERT_TRUE(r.run->Start(13));
    EXPECT_EQ(Describe(r.sink.Take()), Strings{"0x9017 F1=0x00 F2=0x20 val=13"});
    EXPECT_TRUE(r.liveView);
    // Started from inside a caller (a dispatch): the dialog opens only from
    // the event loop.
    EXPECT_FALSE(r.run->Dialog()->isVisible());
    QCoreApplication::processEvents();
    ASSERT_TRUE(r.run->Dialog()->isVisible());
    Click(r.run->Dialog()->CancelButton());
    // Waiting for standby runs on a timer: the window keeps going meanwhile.
    r.Spin(250);
    EXPECT_TRUE(r.finished.empty());
    EXPECT_TRUE(r.sink.commands.empty());
    r.state = 1;
    r.Spin(250);
    EXPECT_EQ(r.finished, std::vector<bool>{true});
    EXPECT_EQ(Describe(r.sink.Take()), Strings{"0x9017 F1=0x00 F2=0x20 val=12"});
    EXPECT_FALSE(r.liveView);
    EXPECT_FALSE(r.run->Running());
}

TEST(CustomWbCapture, DisconnectWhileWaitingRestoresNothingAndClearsLiveView) {
    CaptureRig r;
    ASSERT_TRUE(r.run->Start(9));
    QCoreApplication::processEvents();
    Click(r.run->Dialog()->OkButton());
    EXPECT_EQ(Describe(r.sink.Take()),
              (Strings{"0x9017 F1=0x00 F2=0x20 val=9", "0x9018 F1=0x00 F2=0x80 val=1",
                       "release 2 2 1 0"}));
    EXPECT_FALSE(r.run->Dialog()->CancelButton()->isEnabled());
    // The camera leaves the capture mode while the result is still due: the
    // dialog stays until the result has been shown.
    r.run->OnWhiteBalanceReported(8);
    EXPECT_TRUE(r.run->Dialog()->isVisible());
    r.run->OnCaptureResult(0x6002);
    ASSERT_NE(r.run->Dialog()->ResultBox(), nullptr);
    r.run->Dialog()->ResultBox()->accept();
    r.connected = false;
    r.Spin(250);
    EXPECT_EQ(r.finished, std::vector<bool>{false});
    EXPECT_TRUE(r.sink.commands.empty()) << "nothing restored on a camera that went away";
    EXPECT_FALSE(r.liveView);
}

TEST(CustomWbCapture, ReportedWhiteBalanceStartsARunOrIsTheOneToRestore) {
    CaptureRig r;
    r.run->OnWhiteBalanceReported(5);
    EXPECT_EQ(r.run->RestoreCode(), 5);
    EXPECT_FALSE(r.run->Running());
    r.run->OnWhiteBalanceReported(11);  // chosen on the camera body
    EXPECT_TRUE(r.run->Running());
    EXPECT_EQ(r.run->Dialog()->Mode(), 11);
    EXPECT_EQ(r.run->RestoreCode(), 10);
    EXPECT_FALSE(r.run->Start(9));
}

// ---- rules without a window ------------------------------------------------

TEST(DialogRules, BracketAmountPositionsAndTexts) {
    using kvx::ui::BracketAmountPosition;
    using kvx::ui::BracketAmountText;
    const std::pair<uint8_t, int> positions[] = {{0, 0},  {3, 1},  {14, 5},
                                                 {24, 9}, {4, -1}, {27, -1}};
    for (auto [code, pos] : positions) EXPECT_EQ(BracketAmountPosition(code), pos) << int(code);
    EXPECT_EQ(BracketAmountText(2), "+0.7");
    EXPECT_EQ(BracketAmountText(-3), "0.0");
    EXPECT_EQ(BracketAmountText(12), "+3.0");
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
