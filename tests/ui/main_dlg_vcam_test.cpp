// The main window against the virtual camera through the real camera link
// library and socket: it connects and shows the camera's values, a setting
// turned on the body reaches the readouts, AF Capture brings the pictures
// into the destination folder, unplugging disables the controls and
// plugging in connects again; the status override of a failed focus clears
// itself, a low battery ends the program, and a close while a picture is
// still in the camera waits for it.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTimer>
#include <filesystem>
#include <fstream>

#include "model/record_layout.h"
#include "model/string_table.h"
#include "tests/ui/main_dlg_bench.h"
#include "ui/main_dlg.h"

namespace {

namespace fs = std::filesystem;
using kvx::test::MainDlgBench;
using kvx::ui::CMainDlg;

class MainDlgCamera : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(bench_.SetUp("kvx-maindlg-vcam")); }

    // The camera attached, the window shown and its camera search run.
    CMainDlg& Open(kvx::vcam::VirtualCameraOptions o = {}) {
        bench_.StartCamera(o);
        CMainDlg::Options wo = bench_.WindowOptions();
        // The readout timer is stepped by the tests that need it.
        wo.readoutTickMs = 3600 * 1000;
        bench_.window = std::make_unique<CMainDlg>(wo);
        bench_.window->show();
        bench_.window->Start();
        return *bench_.window;
    }

    CMainDlg& Connect(kvx::vcam::VirtualCameraOptions o = {}) {
        CMainDlg& w = Open(o);
        EXPECT_TRUE(bench_.WaitConnected());
        return w;
    }

    fs::path Pictures() const { return bench_.root / "pictures"; }

    // Every file of picture n is in the folder under its own name, whole.
    bool PictureArrived(uint32_t n) const {
        for (const auto& f : bench_.camera->ExpectedFiles(n)) {
            std::error_code ec;
            if (fs::file_size(Pictures() / f.name, ec) != f.size || ec) return false;
        }
        return true;
    }

    std::vector<int> Glyphs(const CDigitalPanel& p, int first, int count) const {
        std::vector<int> out;
        for (int i = 0; i < count; ++i) out.push_back(p.Cell(first + i).glyph);
        return out;
    }
    std::vector<int> TextGlyphs(int readout, int first, const QString& text) const {
        CDigitalPanel ref;
        ref.LayOut(readout);
        ref.WriteText(first, static_cast<int>(text.size()), text);
        return Glyphs(ref, first, static_cast<int>(text.size()));
    }
    bool Shows(CMainDlg& w, int readout, int first, const QString& text) const {
        return Glyphs(*w.Readout(readout), first, static_cast<int>(text.size())) ==
               TextGlyphs(readout, first, text);
    }

    MainDlgBench bench_;
};

// A notice as the box shows it.
QString NoticeText(uint32_t id) {
    return QString::fromUtf8(VARNO::StringText(id)).replace("\r\n", "\n");
}

QString IsoText(CMainDlg& w, uint8_t code) {
    const auto* e = w.Session().Camera().IsoEntry(code);
    return e ? QStringLiteral("%1").arg(e->value, 5) : QString();
}

TEST_F(MainDlgCamera, ConnectsShowsValuesCapturesAndFollowsThePlug) {
    kvx::vcam::VirtualCameraOptions o;
    o.pictureBytes = 300'000;
    CMainDlg& w = Connect(o);
    auto& cam = *bench_.camera;

    // The camera's own values in the readouts and the camera line.
    const uint8_t iso = cam.DataGroupField(1, 0x10, 0).at(0);
    EXPECT_TRUE(Shows(w, 3, 1, IsoText(w, iso)));
    const auto shots = cam.DataGroupField(1, 0, 0x02);
    ASSERT_EQ(shots.size(), 2u);
    EXPECT_TRUE(Shows(w, 1, 1, QStringLiteral("%1").arg(shots[0] | shots[1] << 8, 4)));
    EXPECT_TRUE(w.CameraLineText().contains("VARNO ZX-130")) << w.CameraLineText().toStdString();
    EXPECT_EQ(w.StatusLineText(), "Status: Standby");

    // A setting turned on the body shows without anything done here.
    const auto& list = w.Session().Camera().IsoList();
    uint8_t other = 0;
    for (const auto& e : list)
        if (e->code != iso && e->value >= 100 && e->value <= 6400) other = e->code;
    ASSERT_NE(other, 0);
    ASSERT_TRUE(cam.SetDataGroupFieldOnBody(1, 0x10, 0, {other}));
    EXPECT_TRUE(MainDlgBench::Pump([&] { return Shows(w, 3, 1, IsoText(w, other)); }));

    // AF Capture: the picture comes to the destination folder.
    auto* afCapture = w.Button(CMainDlg::kIdAfCapture);
    ASSERT_TRUE(afCapture->isEnabled());
    afCapture->click();
    EXPECT_TRUE(MainDlgBench::Pump([&] {
        return cam.PicturesTaken() == 1 && PictureArrived(1) && w.Session().PendingPictures() == 0;
    }));
    EXPECT_FALSE(w.TransferBar()->isVisible());

    // Unplugged: the link ends and everything that talks to the camera is off.
    cam.Unplug();
    EXPECT_TRUE(MainDlgBench::Pump([&] {
        return !w.ControlsEnabled() && !w.Session().ThreadRunning() && !afCapture->isEnabled();
    }));
    EXPECT_TRUE(afCapture->DisabledLook());
    EXPECT_TRUE(w.CameraLineText().isEmpty());

    // Plugged in again: connected again, and capturing again.
    ASSERT_TRUE(cam.Plug());
    EXPECT_TRUE(bench_.WaitConnected());
    EXPECT_TRUE(MainDlgBench::Pump([&] { return afCapture->isEnabled(); }));
    afCapture->click();
    EXPECT_TRUE(MainDlgBench::Pump([&] { return cam.PicturesTaken() == 2 && PictureArrived(2); }));
}

TEST_F(MainDlgCamera, FailedFocusShowsUntilTheSeventeenthTick) {
    kvx::vcam::VirtualCameraOptions o;
    o.afFails = true;
    CMainDlg& w = Connect(o);
    w.Button(CMainDlg::kIdAfCapture)->click();
    ASSERT_TRUE(MainDlgBench::Pump([&] {
        return w.StatusOverride() == 12 && w.StatusLineText() == "Status: Autofocus cannot set";
    }));
    for (int tick = 1; tick <= 16; ++tick) {
        w.ReadoutTick();
        ASSERT_EQ(w.StatusOverride(), 12) << "tick " << tick;
    }
    w.ReadoutTick();
    EXPECT_EQ(w.StatusOverride(), 0);
    EXPECT_TRUE(MainDlgBench::Pump([&] { return w.StatusLineText() == "Status: Standby"; }));
}

TEST_F(MainDlgCamera, LowBatteryTellsTheUserAndEndsTheProgram) {
    CMainDlg& w = Connect();
    QSignalSpy ends(&w, &CMainDlg::programEnds);
    auto& cam = *bench_.camera;
    // Additional batteries low (4) and without power (7), then the main
    // battery low (5).
    ASSERT_TRUE(cam.SetDataGroupFieldOnBody(5, 0, 0x10, {4, 7}));
    ASSERT_TRUE(cam.SetDataGroupFieldOnBody(1, 0, 0x10, {5}));
    const QString text = NoticeText(10202);
    ASSERT_TRUE(
        MainDlgBench::Pump([&] { return w.NoticeBox() && w.NoticeBox()->Message() == text; }));
    EXPECT_FALSE(w.ControlsEnabled());
    // The notice has its five seconds, then the program ends.
    EXPECT_TRUE(MainDlgBench::Pump([&] { return ends.count() == 1; }));
    EXPECT_EQ(ends.count() ? ends.at(0).at(0).toInt() : -1, 0);
    EXPECT_FALSE(w.Session().ThreadRunning());
}

TEST_F(MainDlgCamera, ClosingWhileAPictureIsInTheCameraWaitsForIt) {
    kvx::vcam::VirtualCameraOptions o;
    o.pictureBytes = 96ull << 20;  // long enough to be closed in the middle of it
    CMainDlg& w = Connect(o);
    QSignalSpy ends(&w, &CMainDlg::programEnds);
    auto& cam = *bench_.camera;
    ASSERT_EQ(cam.TakePictureOnBody(2).size(), 1u);
    const QString text = NoticeText(10200);
    const QString name = QString::fromStdString(cam.ExpectedFiles(1).at(0).name);
    bool told = false, barShown = false, named = false;
    auto watch = [&] {
        told = told || (w.NoticeBox() && w.NoticeBox()->Message() == text);
        // While it comes in: the bar along the bottom and the file named in
        // the status line's tooltip.
        barShown = barShown || (w.TransferBar()->isVisible() && w.TransferBar()->value() > 0);
        named = named || w.StatusLineLabel()->toolTip().contains(name);
    };
    ASSERT_TRUE(MainDlgBench::Pump([&] {
        watch();
        return w.Session().PendingPictures() > 0;
    }));
    w.close();
    // Deferred: the window stays, tells the user, and ends only when the
    // picture is in.
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(ends.count(), 0);
    // Status refreshes while it waits do not hand the controls back, and a
    // second close while the picture still comes changes nothing (once it is
    // in, a second close ends the program at once, which is fine too).
    MainDlgBench::Pump(
        [&] {
            watch();
            return false;
        },
        300);
    if (ends.count() == 0) {
        w.close();
        EXPECT_TRUE(w.isVisible());
        EXPECT_FALSE(w.ControlsEnabled());
        EXPECT_FALSE(w.Button(CMainDlg::kIdAfCapture)->isEnabled());
    }
    EXPECT_TRUE(MainDlgBench::Pump([&] {
        watch();
        return ends.count() == 1;
    }));
    EXPECT_TRUE(told);
    EXPECT_TRUE(barShown);
    EXPECT_TRUE(named);
    EXPECT_TRUE(PictureArrived(1));
    EXPECT_FALSE(w.ControlsEnabled());
    // A second close of the window after the end changes nothing.
    EXPECT_EQ(ends.count(), 1);
}

TEST_F(MainDlgCamera, APictureCutOffIsToldOnce) {
    kvx::vcam::VirtualCameraOptions o;
    o.pictureBytes = 6ull << 20;
    o.vanishAfterBytes = 3ull << 20;
    CMainDlg& w = Connect(o);
    ASSERT_EQ(bench_.camera->TakePictureOnBody(2).size(), 1u);
    ASSERT_TRUE(MainDlgBench::Pump([&] { return w.PictureFailureNotices() == 1; }));
    ASSERT_NE(w.NoticeBox(), nullptr);
    EXPECT_TRUE(w.NoticeBox()->Message().contains("not downloaded whole"))
        << w.NoticeBox()->Message().toStdString();
    // What arrived is on disk under the kept name.
    bool kept = false;
    for (const auto& e : fs::directory_iterator(Pictures()))
        kept = kept || e.path().filename().string().find(".incomplete") != std::string::npos;
    EXPECT_TRUE(kept);
    // Plugged in again, nothing more is told about the same picture.
    ASSERT_TRUE(bench_.camera->Plug());
    MainDlgBench::Pump([&] { return false; }, 1500);
    EXPECT_EQ(w.PictureFailureNotices(), 1);
}

TEST_F(MainDlgCamera, TheWindowKeepsItsEventLoopWhileALinkStarts) {
    bench_.StartCamera();
    CMainDlg::Options wo = bench_.WindowOptions();
    bench_.window = std::make_unique<CMainDlg>(wo);
    CMainDlg& w = *bench_.window;
    w.show();
    // The link waits before it starts; a timer due meanwhile still runs, and
    // what the engine posts meanwhile waits for the session to be free.
    bool starting = false;
    bool firedWhileStarting = false;
    QTimer::singleShot(0, &w, [&] { firedWhileStarting = starting; });
    starting = true;
    w.Start();
    starting = false;
    EXPECT_TRUE(firedWhileStarting);
    EXPECT_TRUE(w.Session().ThreadRunning());
    EXPECT_TRUE(bench_.WaitConnected());
}

TEST_F(MainDlgCamera, TimerBlinksTheBatteryAndAlternatesTheBracketingText) {
    CMainDlg& w = Connect();
    auto& cam = *bench_.camera;
    ASSERT_TRUE(cam.SetDataGroupFieldOnBody(1, 0, 0x10, {7}));
    ASSERT_TRUE(MainDlgBench::Pump(
        [&] { return w.Session().Camera().DataGroupByte(1, VARNO::dg1::kBattery) == 7; }));
    // Battery code 7 blinks between its icon and nothing, tick by tick.
    std::vector<int> battery;
    for (int i = 0; i < 4; ++i) {
        w.ReadoutTick();
        battery.push_back(w.Readout(1)->Cell(13).glyph);
    }
    EXPECT_TRUE(battery == std::vector<int>({7, 0, 7, 0}) ||
                battery == std::vector<int>({0, 7, 0, 7}))
        << battery[0] << battery[1] << battery[2] << battery[3];

    // With a bracketing amount set, every second tick swaps the remaining
    // shots for "Ab-n".
    const uint8_t amount = cam.DataGroupField(1, 0x40, 0).at(0);
    if (amount == 0) {
        ASSERT_TRUE(cam.SetDataGroupFieldOnBody(1, 0x40, 0, {8}));
    }
    ASSERT_TRUE(MainDlgBench::Pump([&] { return w.Readout(6)->Cell(6).glyph == 5; }));
    const auto shots = cam.DataGroupField(1, 0, 0x02);
    const QString count = QStringLiteral("%1").arg(shots[0] | shots[1] << 8, 4);
    int bracketing = 0, remaining = 0;
    for (int i = 0; i < 8; ++i) {
        w.ReadoutTick();
        if (Shows(w, 1, 1, "Ab-3") || Shows(w, 1, 1, "Ab-5")) ++bracketing;
        if (Shows(w, 1, 1, count)) ++remaining;
    }
    EXPECT_EQ(bracketing, 4);
    EXPECT_EQ(remaining, 4);
}

TEST_F(MainDlgCamera, PreferencesConfirmedSendPicturesWhereTheySay) {
    kvx::vcam::VirtualCameraOptions o;
    o.pictureBytes = 200'000;
    CMainDlg& w = Connect(o);
    const fs::path other = bench_.root / "other";
    fs::create_directories(other);
    int runs = 0;
    w.preferencesDialog = [&](QWidget*) {
        ++runs;
        return true;
    };
    w.namingOptionsSource = [&] {
        kvx::engine::NamingOptions n = bench_.WindowOptions().naming;
        n.destinationFolder = other.string() + "/";
        return n;
    };
    w.Action(CMainDlg::kCmdPreferences)->trigger();
    EXPECT_EQ(runs, 1);
    ASSERT_TRUE(MainDlgBench::Pump([&] { return w.Button(CMainDlg::kIdAfCapture)->isEnabled(); }));
    w.Button(CMainDlg::kIdAfCapture)->click();
    const auto files = bench_.camera->ExpectedFiles(1);
    ASSERT_FALSE(files.empty());
    EXPECT_TRUE(MainDlgBench::Pump([&] { return fs::exists(other / files[0].name); }));
    EXPECT_FALSE(fs::exists(Pictures() / files[0].name));
}

TEST_F(MainDlgCamera, OnlyACameraOfTheOtherGroupEndsTheProgramWithItsCode) {
    kvx::vcam::VirtualCameraOptions o;
    o.model = 110;
    // The program ends during the camera search itself: listen before it.
    bench_.StartCamera(o);
    bench_.window = std::make_unique<CMainDlg>(bench_.WindowOptions());
    CMainDlg& w = *bench_.window;
    QSignalSpy ends(&w, &CMainDlg::programEnds);
    w.show();
    w.Start();
    ASSERT_TRUE(MainDlgBench::Pump([&] { return ends.count() == 1; }));
    EXPECT_EQ(ends.at(0).at(0).toInt(), 0x8001);
    EXPECT_EQ(w.ExitCode(), 0x8001);
    EXPECT_FALSE(w.Session().ThreadRunning());
}

TEST_F(MainDlgCamera, ACameraThatNeedsANewerProgramIsToldAndTheProgramStays) {
    kvx::vcam::VirtualCameraOptions o;
    o.protocolMinor = 1;  // 4.1
    CMainDlg& w = Open(o);
    QSignalSpy ends(&w, &CMainDlg::programEnds);
    const QString text = NoticeText(10204);
    ASSERT_TRUE(
        MainDlgBench::Pump([&] { return w.NoticeBox() && w.NoticeBox()->Message() == text; }));
    // The link ends; the window stays with its controls off, and the notice
    // closes by itself after its five seconds.
    EXPECT_TRUE(MainDlgBench::Pump([&] { return !w.Session().ThreadRunning(); }));
    EXPECT_TRUE(MainDlgBench::Pump([&] { return w.NoticeBox() == nullptr; }));
    EXPECT_FALSE(w.ControlsEnabled());
    EXPECT_FALSE(w.Button(CMainDlg::kIdAfCapture)->isEnabled());
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(ends.count(), 0);
}

}  // namespace
