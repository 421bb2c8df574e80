// The main window without a camera: its layout, the accordion on real
// widgets, and what the readouts show for camera values fed through the real
// merge and dispatch (records as the camera packs them).
#include "ui/main_dlg.h"

#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QSignalSpy>
#include <functional>
#include <vector>

#include "model/camera.h"
#include "model/record_layout.h"
#include "model/window_messages.h"
#include "tests/ui/main_dlg_bench.h"
#include "ui/dialog_panel.h"

namespace {

using kvx::ui::CMainDlg;

class MainDlgWindow : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(bench_.SetUp("kvx-maindlg")); }

    // A window that never looks for a camera; the readout timer is left to
    // the test.
    CMainDlg& Window() {
        CMainDlg::Options o = bench_.WindowOptions();
        o.watchDevices = false;
        o.readoutTickMs = 3600 * 1000;
        bench_.window = std::make_unique<CMainDlg>(o);
        return *bench_.window;
    }

    kvx::test::MainDlgBench bench_;
};

// A data group record as the camera sends it: length, Field1, Field2, the
// flagged fields packed in bit order, checksum.
struct Record {
    int group;
    uint8_t field1;
    uint8_t field2;
    std::vector<uint8_t> fields;
};

uint32_t UpdateMessage(int group) {
    using namespace VARNO::window_messages;
    constexpr uint32_t messages[] = {0,
                                     kMsgDataGroup1Updated,
                                     kMsgDataGroup2Updated,
                                     kMsgDataGroup3Updated,
                                     kMsgDataGroup4Updated,
                                     kMsgDataGroup5Updated,
                                     kMsgDataGroup6Updated};
    return messages[group];
}

void Feed(CMainDlg& w, const Record& r) {
    std::vector<uint8_t> bytes{0, r.field1, r.field2};
    bytes.insert(bytes.end(), r.fields.begin(), r.fields.end());
    bytes.push_back(0);
    bytes[0] = static_cast<uint8_t>(bytes.size());
    w.Session().Camera().StoreReceivedDataGroup(r.group, bytes.data(), bytes.size());
    w.Session().HandleMessage({VARNO::kTargetMainWindow, UpdateMessage(r.group), 0, 0});
}

// The glyphs a text gives in a run of cells of a readout.
std::vector<int> TextGlyphs(int readout, int first, int count, const QString& text) {
    CDigitalPanel ref;
    ref.LayOut(readout);
    ref.WriteText(first, count, text);
    std::vector<int> out;
    for (int i = 0; i < count; ++i) out.push_back(ref.Cell(first + i).glyph);
    return out;
}

std::vector<int> CellGlyphs(const CDigitalPanel& p, int first, int count) {
    std::vector<int> out;
    for (int i = 0; i < count; ++i) out.push_back(p.Cell(first + i).glyph);
    return out;
}

// Code of the first list entry with this value.
template <typename List>
uint8_t CodeOf(const List& list, int value) {
    for (const auto& e : list)
        if (e->value == value) return static_cast<uint8_t>(e->code);
    ADD_FAILURE() << "no entry with value " << value;
    return 0;
}

TEST_F(MainDlgWindow, ControlsSitWhereTheLayoutPutsThem) {
    CMainDlg& w = Window();
    EXPECT_EQ(w.centralWidget()->size(), QSize(528, 546));
    EXPECT_EQ(w.Frame()->geometry(), QRect(0, 14, 393, 512));
    const struct {
        int id;
        QRect place;
    } buttons[] = {
        {CMainDlg::kIdAeLock, {436, 331, 17, 17}},    {CMainDlg::kIdAfLock, {474, 331, 17, 17}},
        {CMainDlg::kIdAfCapture, {440, 360, 50, 50}}, {CMainDlg::kIdCapture, {412, 419, 50, 50}},
        {CMainDlg::kIdAfOnly, {468, 419, 50, 50}},    {CMainDlg::kIdAbSetting, {417, 480, 40, 40}},
        {CMainDlg::kIdLiveView, {473, 480, 40, 40}},
    };
    for (const auto& b : buttons) {
        ASSERT_NE(w.Button(b.id), nullptr) << b.id;
        EXPECT_EQ(w.Button(b.id)->geometry(), b.place) << b.id;
    }
    const QRect readouts[] = {{406, 16, 114, 86},  {406, 103, 114, 32}, {406, 136, 114, 36},
                              {406, 173, 114, 28}, {406, 202, 114, 45}, {406, 254, 114, 70}};
    for (int k = 1; k <= 6; ++k) EXPECT_EQ(w.Readout(k)->geometry(), readouts[k - 1]) << k;
    // The two text lines at the bottom: camera line 150 wide until a longer
    // name needs more, the status line 4 pixels after it to 8 before the edge.
    const QRect camera = w.findChild<QLabel*>("cameraLine")->geometry();
    const QRect status = w.StatusLineLabel()->geometry();
    EXPECT_EQ(camera, QRect(4, 546 - 16, 154, 13));
    EXPECT_EQ(status.left(), camera.right() + 1 + 4);
    EXPECT_EQ(status.right(), 528 - 8 - 1);
    EXPECT_EQ(status.top(), camera.top());
    // Every menu command is there with its text.
    for (int id : {40000, 40001, 40002, 40003, 40004, 40005, 40006, 40007, 40009, 40010, 40015,
                   40016, 40020, 40022}) {
        ASSERT_NE(w.Action(id), nullptr) << id;
        EXPECT_FALSE(w.Action(id)->text().isEmpty()) << id;
    }
    EXPECT_EQ(w.Action(40002)->text(), "MF Capture");
    EXPECT_EQ(w.Action(40009)->text(), "Date Setting ");
}

TEST_F(MainDlgWindow, AccordionStacksHeadersAroundTheOpenPanel) {
    CMainDlg& w = Window();
    w.show();
    for (int open = 0; open < 6; ++open) {
        w.OpenPanel(open);
        EXPECT_EQ(w.OpenPanelIndex(), open);
        for (int k = 0; k < 6; ++k) {
            // Headers up to the open one from the top, the rest from the bottom.
            const int y = k <= open ? k * 21 : 512 - (6 - k) * 21;
            EXPECT_EQ(w.Button(CMainDlg::kIdFirstHeader + k)->geometry(), QRect(0, y, 393, 21))
                << "open " << open << " header " << k;
            EXPECT_EQ(w.Button(CMainDlg::kIdFirstHeader + k)->GetState(), k == open ? 1 : 0);
            EXPECT_EQ(w.Panel(k)->isVisible(), k == open) << "open " << open << " panel " << k;
            EXPECT_EQ(w.Action(CMainDlg::kCmdFirstPanel + k)->isChecked(), k == open);
        }
        EXPECT_EQ(w.Panel(open)->geometry(), QRect(0, (open + 1) * 21, 393, 512 - 6 * 21));
    }
    // A header click opens its panel.
    w.Button(CMainDlg::kIdFirstHeader + 3)->click();
    EXPECT_EQ(w.OpenPanelIndex(), 3);
    w.Action(CMainDlg::kCmdFirstPanel + 5)->trigger();
    EXPECT_EQ(w.OpenPanelIndex(), 5);
}

TEST_F(MainDlgWindow, WithoutACameraEverythingThatTalksToItIsOff) {
    CMainDlg& w = Window();
    EXPECT_FALSE(w.Connected());
    for (int id : {200, 201, 202, 203, 204, 205, 206}) {
        EXPECT_FALSE(w.Button(id)->isEnabled()) << id;
        EXPECT_TRUE(w.Button(id)->DisabledLook()) << id;
    }
    for (int id : {40002, 40006, 40007, 40016, 40009, 40020})
        EXPECT_FALSE(w.Action(id)->isEnabled());
    // The window's own commands stay usable.
    for (int id : {40000, 40001, 40003, 40005, 40010}) EXPECT_TRUE(w.Action(id)->isEnabled());
}

struct CellCheck {
    int readout;
    int first;
    // Either a text written through the character map or glyphs.
    QString text;
    std::vector<int> glyphs;
};

struct ReadoutCase {
    const char* name;
    std::vector<Record> records;
    std::vector<CellCheck> checks;
};

TEST_F(MainDlgWindow, ReadoutsShowTheCameraValuesByTheirRules) {
    // Drive mode single: the camera is connected and settings may change.
    const Record single{2, 0x01, 0x00, {1}};
    VARNO::CCamera lists;
    const uint8_t iso400 = CodeOf(lists.IsoList(), 400);
    const uint8_t plus13 = CodeOf(lists.ExpList(), 13);
    const uint8_t minus7 = CodeOf(lists.ExpList(), -7);
    const auto& shutterEntry = *lists.ShutterList().at(20);
    const QString shutterText = QString::fromLatin1(shutterEntry.readout, 4);
    const uint8_t shutter = static_cast<uint8_t>(shutterEntry.code);

    const ReadoutCase cases[] = {
        {"remaining shots capped at 9999",
         {single, {1, 0x00, 0x06, {0x39, 0x30, 1}}},
         {{1, 1, "9999", {}}, {1, 0, {}, {1}}, {1, 5, {}, {2}}}},
        {"card full", {single, {1, 0x00, 0x06, {0, 0, 1}}}, {{1, 1, {}, {16, 31, 22, 22}}}},
        {"no card", {single, {1, 0x00, 0x06, {7, 0, 4}}}, {{1, 1, "----", {}}}},
        {"card error", {single, {1, 0x00, 0x06, {7, 0, 8}}}, {{1, 1, " Err", {}}}},
        {"count right-aligned", {single, {1, 0x00, 0x06, {42, 0, 1}}}, {{1, 1, "  42", {}}}},
        {"battery full", {single, {1, 0x00, 0x10, {1}}}, {{1, 13, {}, {1}}}},
        {"battery code 10", {single, {1, 0x00, 0x10, {10}}}, {{1, 13, {}, {2}}}},
        {"battery code outside the table", {single, {1, 0x00, 0x10, {40}}}, {{1, 13, {}, {0}}}},
        {"additional batteries", {single, {5, 0x00, 0x10, {3, 11}}}, {{1, 14, {}, {1, 5, 3}}}},
        {"additional battery missing", {single, {5, 0x00, 0x10, {8, 1}}}, {{1, 14, {}, {0, 0, 0}}}},
        {"ISO", {single, {1, 0x10, 0x00, {iso400}}}, {{3, 1, "  400", {}}}},
        {"ISO auto on", {single, {1, 0x08, 0x00, {1}}}, {{3, 0, {}, {1}}}},
        {"shutter", {single, {1, 0x01, 0x00, {shutter}}}, {{1, 6, shutterText, {}}}},
        {"exposure level plus, program mode",
         {{2, 0x05, 0x00, {1, 1}}, {1, 0x00, 0x40, {plus13}}},
         {{2, 1, {}, {2}}, {2, 2, "1", {}}, {2, 3, {}, {0}}, {2, 4, "3", {}}, {2, 0, {}, {6}}}},
        {"exposure level minus",
         {{2, 0x05, 0x00, {1, 1}}, {1, 0x00, 0x40, {minus7}}},
         {{2, 1, {}, {1}}, {2, 2, "0", {}}, {2, 4, "7", {}}}},
        {"interval timer running with a count",
         {{5, 0x01, 0x00, {10, 0, 5, 125, 0, 2}}, {2, 0x01, 0x00, {7}}},
         {{6, 9, "0205", {}}, {6, 13, {}, {1, 1}}, {6, 15, "0205", {}}, {6, 19, {}, {1}}}},
        {"interval timer without a count",
         {{5, 0x01, 0x00, {10, 0, 0, 61, 0, 0}}, {2, 0x01, 0x00, {7}}},
         {{6, 9, "0101", {}}, {6, 15, "    ", {}}, {6, 19, {}, {0, 1}}}},
        {"metering spot", {single, {2, 0x08, 0x00, {4}}}, {{4, 0, {}, {4, 4, 3}}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CMainDlg& w = Window();
        for (const auto& r : c.records) Feed(w, r);
        for (const auto& check : c.checks) {
            const CDigitalPanel& p = *w.Readout(check.readout);
            if (!check.text.isNull()) {
                EXPECT_EQ(CellGlyphs(p, check.first, static_cast<int>(check.text.size())),
                          TextGlyphs(check.readout, check.first,
                                     static_cast<int>(check.text.size()), check.text))
                    << "readout " << check.readout << " cell " << check.first << " \""
                    << check.text.toStdString() << "\"";
            } else {
                EXPECT_EQ(CellGlyphs(p, check.first, static_cast<int>(check.glyphs.size())),
                          check.glyphs)
                    << "readout " << check.readout << " cell " << check.first;
            }
        }
    }
}

TEST_F(MainDlgWindow, CardFullShowsInTheStatusLineAndLeavesWithRoom) {
    CMainDlg& w = Window();
    Feed(w, {2, 0x01, 0x00, {1}});
    Feed(w, {1, 0x00, 0x06, {0, 0, 1}});
    EXPECT_EQ(w.StatusOverride(), 10);
    ASSERT_TRUE(
        kvx::test::MainDlgBench::Pump([&] { return w.StatusLineText() == "Status: Card Full"; }));
    Feed(w, {1, 0x00, 0x02, {3, 0}});
    EXPECT_EQ(w.StatusOverride(), 0);
}

TEST_F(MainDlgWindow, DriveModeDecidesTheControlsAndTopBars) {
    CMainDlg& w = Window();
    const struct {
        uint8_t drive;
        bool on;
    } cases[] = {{1, true}, {6, false}, {2, true}, {0, false}, {7, true}};
    for (const auto& c : cases) {
        Feed(w, {2, 0x01, 0x00, {c.drive}});
        EXPECT_EQ(w.ControlsEnabled(), c.on) << int(c.drive);
        EXPECT_EQ(w.Button(CMainDlg::kIdAeLock)->isEnabled(), c.on) << int(c.drive);
        for (int k = 0; k < 6; ++k)
            EXPECT_EQ(static_cast<CDialogPanel*>(w.Panel(k))->PanelEnabled(), c.on) << int(c.drive);
        if (c.drive != 0) {
            // Connected: the top bars of readouts 2..5 lit with the controls.
            EXPECT_EQ(w.Readout(2)->Cell(5).glyph, c.on ? 0 : 1) << int(c.drive);
            EXPECT_EQ(w.Readout(5)->Cell(10).glyph, c.on ? 0 : 1) << int(c.drive);
        }
    }
}

TEST_F(MainDlgWindow, ButtonsQueueTheirCommandsAndTheLocksFollowTheirRules) {
    CMainDlg& w = Window();
    // Single drive, AF-S, a 50 mm lens: every capture button may be on.
    Feed(w, {2, 0x21, 0x00, {1, 1}});
    Feed(w, {3, 0xC0, 0x00, {0x20, 0x03, 0x20, 0x03}});
    Feed(w, {1, 0x00, 0x80, {3}});  // focus state 3: not found
    auto queued = [&] { return w.Session().Engine().QueuedCommandCount(); };
    auto* afCapture = w.Button(CMainDlg::kIdAfCapture);
    auto* afOnly = w.Button(CMainDlg::kIdAfOnly);
    auto* afLock = w.Button(CMainDlg::kIdAfLock);
    auto* aeLock = w.Button(CMainDlg::kIdAeLock);
    ASSERT_TRUE(afCapture->isEnabled());
    ASSERT_TRUE(afOnly->isEnabled());

    const struct {
        const char* what;
        std::function<void()> act;
        size_t added;
    } steps[] = {
        // Destination, then release.
        {"AF Capture", [&] { afCapture->click(); }, 2},
        {"MF Capture menu", [&] { w.Action(CMainDlg::kCmdMfCapture)->trigger(); }, 2},
        // Focus only: no destination.
        {"AF", [&] { afOnly->click(); }, 1},
        // AF lock without a focus found does nothing.
        {"AF lock refused", [&] { afLock->click(); }, 0},
        {"AE lock", [&] { aeLock->click(); }, 1},
    };
    for (const auto& step : steps) {
        const size_t before = queued();
        step.act();
        EXPECT_EQ(queued() - before, step.added) << step.what;
    }
    EXPECT_EQ(afLock->GetState(), CGdipButton::kStateNormal);
    EXPECT_EQ(aeLock->GetState(), CGdipButton::kStateAlternate);

    // Focus found: AF lock locks, and focusing alone is no longer offered.
    Feed(w, {1, 0x00, 0x80, {0}});
    size_t before = queued();
    afLock->click();
    EXPECT_EQ(queued() - before, 1u);
    EXPECT_EQ(afLock->GetState(), CGdipButton::kStateAlternate);
    EXPECT_FALSE(afOnly->isEnabled());
    EXPECT_TRUE(afCapture->isEnabled());
    // Unlocking needs no focus.
    Feed(w, {1, 0x00, 0x80, {3}});
    before = queued();
    afLock->click();
    EXPECT_EQ(queued() - before, 1u);
    EXPECT_EQ(afLock->GetState(), CGdipButton::kStateNormal);
    EXPECT_TRUE(afOnly->isEnabled());
}

TEST_F(MainDlgWindow, ADestinationWhoseSpaceCannotBeReadStopsCapturesToTheComputer) {
    for (const bool readable : {true, false}) {
        CMainDlg::Options o = bench_.WindowOptions();
        o.watchDevices = false;
        if (!readable) o.naming.destinationFolder = (bench_.root / "gone" / "away").string() + "/";
        bench_.window = std::make_unique<CMainDlg>(o);
        CMainDlg& w = *bench_.window;
        Feed(w, {2, 0x21, 0x00, {1, 1}});
        Feed(w, {3, 0xC0, 0x00, {0x20, 0x03, 0x20, 0x03}});
        for (int id : {CMainDlg::kIdAfCapture, CMainDlg::kIdCapture, CMainDlg::kIdAfOnly})
            EXPECT_EQ(w.Button(id)->isEnabled(), readable) << id << " readable " << readable;
        EXPECT_EQ(w.Action(CMainDlg::kCmdAfCapture)->isEnabled(), readable);
    }
}

TEST_F(MainDlgWindow, ExitWithoutACameraEndsAtOnce) {
    CMainDlg& w = Window();
    w.show();
    QSignalSpy ends(&w, &CMainDlg::programEnds);
    w.Action(CMainDlg::kCmdExit)->trigger();
    ASSERT_EQ(ends.count(), 1);
    EXPECT_EQ(ends.at(0).at(0).toInt(), 0);
    EXPECT_TRUE(kvx::test::MainDlgBench::Pump([&] { return !w.isVisible(); }));
}

TEST_F(MainDlgWindow, EnterAndEscapeNeverCloseTheWindow) {
    CMainDlg& w = Window();
    w.show();
    QSignalSpy ends(&w, &CMainDlg::programEnds);
    for (int key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QCoreApplication::sendEvent(&w, &press);
    }
    kvx::test::MainDlgBench::Pump([] { return false; }, 50);
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(ends.count(), 0);
}

TEST(DialogMessageBox, TimeRunsOutClosesUnlessPicturesAreStillComing) {
    for (int pending : {0, 2}) {
        kvx::ui::CDialogMessageBox box;
        box.SetCaption("VARNO Kolvex");
        box.SetMessage("first line\r\nsecond line");
        box.SetAutoCloseMs(30);
        box.SetPendingPictures([pending] { return pending; });
        QSignalSpy finished(&box, &QDialog::finished);
        box.Open();
        EXPECT_EQ(box.Message(), "first line\nsecond line");
        ASSERT_TRUE(kvx::test::MainDlgBench::Pump([&] { return !box.TimerRunning(); }));
        kvx::test::MainDlgBench::Pump([] { return false; }, 50);
        if (pending == 0) {
            EXPECT_EQ(finished.count(), 1);
            EXPECT_FALSE(box.isVisible());
        } else {
            // Stays, without its timer, until its user or the transfers close it.
            EXPECT_EQ(finished.count(), 0);
            EXPECT_TRUE(box.isVisible());
            EXPECT_EQ(box.AutoCloseMs(), 0u);
        }
    }
}

TEST(DialogMessageBox, ALongMessageGrowsTheBoxInsteadOfBeingCut) {
    kvx::ui::CDialogMessageBox shortBox, longBox;
    shortBox.SetMessage("one line");
    longBox.SetMessage(QString(200, QChar('w')).replace(20, 1, " ").replace(90, 1, " "));
    EXPECT_GT(longBox.height(), shortBox.height());
    EXPECT_EQ(longBox.width(), shortBox.width());
    // Only the first 256 characters are kept.
    longBox.SetMessage(QString(400, QChar('a')));
    EXPECT_EQ(longBox.Message().size(), 256);
}

}  // namespace
