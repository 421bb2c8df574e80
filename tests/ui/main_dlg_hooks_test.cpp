// The main window with its preferences and live view wired as the program
// wires them, against the in-process virtual camera: the preferences dialog
// confirmed with a new folder and renaming sends the next picture there
// under the new name; the Live View button opens the live view window with
// frames and the camera in live view, and closing it (button, close box or
// the main window) takes the camera out of live view and keeps the window's
// placement; unplugging with the live view open neither crashes nor hangs.
#include "ui/main_dlg_hooks.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QTimer>
#include <QtTest/QTest>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "controls/gdip_button.h"
#include "prefs/dialog_preference.h"
#include "tests/ui/main_dlg_bench.h"
#include "ui/live_view_controller.h"
#include "ui/main_dlg.h"

namespace {

namespace fs = std::filesystem;
using kvx::test::MainDlgBench;
using kvx::ui::CLiveViewController;
using kvx::ui::CMainDlg;

class MainDlgHooks : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bench_.SetUp("kvx-maindlg-hooks"));
        // The settings as start-up read them: pictures to the computer's
        // pictures folder under the camera's names.
        settings_.inCamera = 0;
        settings_.inPC = 1;
        settings_.path = (bench_.root / "pictures").string() + "/";
        settings_.live.left = 40;
        settings_.live.top = 30;
        settings_.live.width = 700;
        settings_.live.height = 560;
    }

    // The camera attached; the window built from the settings, wired, shown
    // and connected.
    CMainDlg& Connect(kvx::vcam::VirtualCameraOptions o = {}) {
        bench_.StartCamera(o);
        CMainDlg::Options wo = bench_.WindowOptions();
        wo.naming = kvx::engine::NamingOptions::FromSettings(settings_, "");
        wo.settings = &settings_;
        wo.readoutTickMs = 3600 * 1000;
        bench_.window = std::make_unique<CMainDlg>(wo);
        kvx::ui::WireMainDlgHooks(*bench_.window, settings_, SettingsFile(), std::nullopt);
        bench_.window->show();
        bench_.window->Start();
        EXPECT_TRUE(bench_.WaitConnected());
        return *bench_.window;
    }

    std::string SettingsFile() const { return (bench_.root / "Varno_Kolvex.ini").string(); }
    CLiveViewController* Controller() { return bench_.window->findChild<CLiveViewController*>(); }
    std::vector<uint8_t> LiveViewField() { return bench_.camera->DataGroupField(2, 0x02, 0x00); }
    bool Framed() {
        auto* c = Controller();
        return c && c->View() && c->View()->Canvas()->HasPicture();
    }
    // Live View button pressed, window open with frames, camera in live view.
    void OpenLiveView(CMainDlg& w) {
        auto* button = w.Button(CMainDlg::kIdLiveView);
        ASSERT_TRUE(MainDlgBench::Pump([&] { return button->isEnabled(); }));
        button->click();
        ASSERT_TRUE(w.LiveViewOpen());
        EXPECT_EQ(button->GetState(), 1);
        ASSERT_NE(Controller()->View(), nullptr);
        EXPECT_TRUE(Controller()->View()->isVisible());
        ASSERT_TRUE(MainDlgBench::Pump([&] { return LiveViewField() == std::vector<uint8_t>{2}; }));
        ASSERT_TRUE(MainDlgBench::Pump([&] { return Framed(); }));
    }

    // Runs Preferences from the menu; `drive` works the modal dialog once it
    // is up and says whether it ended with OK.
    bool RunPreferences(CMainDlg& w, std::function<bool(kvx::prefs::CDialogPreference&)> drive) {
        bool reached = false, ok = false;
        QTimer::singleShot(0, [&] {
            auto* dlg =
                qobject_cast<kvx::prefs::CDialogPreference*>(QApplication::activeModalWidget());
            if (!dlg) return;
            reached = true;
            ok = drive(*dlg);
        });
        w.Action(CMainDlg::kCmdPreferences)->trigger();
        EXPECT_TRUE(reached);
        return ok;
    }
    static void Click(QWidget& dlg, const char* id) {
        QTest::mouseClick(dlg.findChild<CGdipButton*>(id), Qt::LeftButton, {}, QPoint(5, 5));
    }

    MainDlgBench bench_;
    kvx::engine::AppSettings settings_;
};

TEST_F(MainDlgHooks, PreferencesOkSendsTheNextPictureToTheNewFolderUnderTheNewName) {
    kvx::vcam::VirtualCameraOptions o;
    o.pictureBytes = 200'000;
    CMainDlg& w = Connect(o);
    const fs::path other = bench_.root / "second shoot";
    fs::create_directories(other);

    // The dialog runs modally: it is driven once it is up.
    ASSERT_TRUE(RunPreferences(w, [&](kvx::prefs::CDialogPreference& dlg) {
        dlg.SetFolderChooser([&](const std::string&) { return other.string(); });
        Click(dlg, "812");
        Click(dlg, "814");
        dlg.findChild<QLineEdit*>("815")->setText("STUDIO_");
        dlg.findChild<QLineEdit*>("818")->setText("41");
        dlg.findChild<QLineEdit*>("820")->setText("4");
        return dlg.TryAccept();
    }));
    // The settings in memory and the file have the new choices.
    EXPECT_EQ(fs::path(settings_.path), other);
    EXPECT_EQ(settings_.rename, 1);
    std::ifstream ini(SettingsFile());
    std::stringstream text;
    text << ini.rdbuf();
    EXPECT_NE(text.str().find("STUDIO_"), std::string::npos);

    ASSERT_TRUE(MainDlgBench::Pump([&] { return w.Button(CMainDlg::kIdAfCapture)->isEnabled(); }));
    w.Button(CMainDlg::kIdAfCapture)->click();
    const auto files = bench_.camera->ExpectedFiles(1);
    ASSERT_EQ(files.size(), 1u);
    const fs::path want = other / ("STUDIO_0041" + fs::path(files[0].name).extension().string());
    EXPECT_TRUE(MainDlgBench::Pump([&] {
        std::error_code ec;
        return fs::file_size(want, ec) == files[0].size && !ec;
    })) << want;
    EXPECT_TRUE(fs::is_empty(bench_.root / "pictures"));
}

TEST_F(MainDlgHooks, CancelledPreferencesChangeNothing) {
    kvx::vcam::VirtualCameraOptions o;
    o.pictureBytes = 100'000;
    CMainDlg& w = Connect(o);
    const std::string before = settings_.path;
    EXPECT_FALSE(RunPreferences(w, [](kvx::prefs::CDialogPreference& dlg) {
        dlg.findChild<QLineEdit*>("813")->setText("/nowhere");
        dlg.reject();
        return false;
    }));
    EXPECT_EQ(settings_.path, before);
    EXPECT_FALSE(fs::exists(SettingsFile()));
    ASSERT_TRUE(MainDlgBench::Pump([&] { return w.Button(CMainDlg::kIdAfCapture)->isEnabled(); }));
    w.Button(CMainDlg::kIdAfCapture)->click();
    const auto files = bench_.camera->ExpectedFiles(1);
    ASSERT_FALSE(files.empty());
    EXPECT_TRUE(
        MainDlgBench::Pump([&] { return fs::exists(bench_.root / "pictures" / files[0].name); }));
}

TEST_F(MainDlgHooks, LiveViewButtonShowsFramesAndClosingLeavesLiveViewAndKeepsPlacement) {
    CMainDlg& w = Connect();
    auto* button = w.Button(CMainDlg::kIdLiveView);
    OpenLiveView(w);
    auto* view = Controller()->View();
    // The stored placement was used.
    EXPECT_EQ(view->geometry().topLeft(), QPoint(40, 30));
    // The user moves it, resizes it and turns the grid on.
    view->setGeometry(30, 20, 640, 540);
    view->SetGridPattern(1);

    // Off by the button: the camera leaves live view, the window is gone and
    // its placement and overlays are kept.
    button->click();
    EXPECT_FALSE(w.LiveViewOpen());
    EXPECT_EQ(button->GetState(), 0);
    EXPECT_EQ(Controller()->View(), nullptr);
    EXPECT_TRUE(MainDlgBench::Pump([&] { return LiveViewField() == std::vector<uint8_t>{0}; }));
    EXPECT_EQ(settings_.live.left, 30);
    EXPECT_EQ(settings_.live.top, 20);
    EXPECT_EQ(settings_.live.width, 640);
    EXPECT_EQ(settings_.live.height, 540);
    EXPECT_EQ(settings_.live.gridPattern, 1);

    // Opened again where it was; closed by its own close box this time.
    OpenLiveView(w);
    EXPECT_EQ(Controller()->View()->geometry(), QRect(30, 20, 640, 540));
    // Moved by its frame: the client rectangle is what is kept.
    Controller()->View()->move(60, 25);
    const QRect moved = Controller()->View()->geometry();
    Controller()->View()->close();
    EXPECT_TRUE(MainDlgBench::Pump([&] { return !w.LiveViewOpen() && !Controller()->View(); }));
    EXPECT_EQ(button->GetState(), 0);
    EXPECT_TRUE(MainDlgBench::Pump([&] { return LiveViewField() == std::vector<uint8_t>{0}; }));
    EXPECT_EQ(settings_.live.left, moved.left());
    EXPECT_EQ(settings_.live.top, moved.top());
    EXPECT_NE(settings_.live.left, 30);
    // And the button opens it once more.
    OpenLiveView(w);
}

TEST_F(MainDlgHooks, ClosingTheMainWindowClosesTheLiveViewFirstAndKeepsItsPlacement) {
    CMainDlg& w = Connect();
    OpenLiveView(w);
    Controller()->View()->setGeometry(50, 40, 620, 530);
    QPointer<QWidget> view = Controller()->View();
    w.close();
    ASSERT_TRUE(MainDlgBench::Pump([&] { return w.ExitCode().has_value(); }));
    EXPECT_TRUE(view.isNull());
    EXPECT_FALSE(w.LiveViewOpen());
    EXPECT_EQ(settings_.live.left, 50);
    EXPECT_EQ(settings_.live.top, 40);
    EXPECT_EQ(settings_.live.width, 620);
    EXPECT_EQ(settings_.live.height, 530);
}

TEST_F(MainDlgHooks, UnpluggingWithTheLiveViewOpenStopsItCleanlyAndItRunsAgainAfterPlugging) {
    CMainDlg& w = Connect();
    OpenLiveView(w);
    auto* view = Controller()->View();

    bench_.camera->Unplug();
    ASSERT_TRUE(MainDlgBench::Pump([&] { return !w.Session().ThreadRunning(); }));
    // The window stays, stopped: not resizable while nothing feeds it.
    ASSERT_EQ(Controller()->View(), view);
    EXPECT_TRUE(MainDlgBench::Pump([&] { return view->minimumSize() == view->maximumSize(); }));
    EXPECT_TRUE(w.LiveViewOpen());

    // Plugged in again: the link comes back and frames with it (the new link
    // starts the window's picture afresh, so these are new frames).
    ASSERT_TRUE(bench_.camera->Plug());
    ASSERT_TRUE(MainDlgBench::Pump([&] { return w.Session().Linked(); }));
    EXPECT_TRUE(MainDlgBench::Pump([&] { return view->minimumSize() != view->maximumSize(); }));
    EXPECT_TRUE(MainDlgBench::Pump([&] { return Framed(); }));
    // The camera's settings came back whole: the controls are on again.
    EXPECT_TRUE(MainDlgBench::Pump([&] { return w.Button(CMainDlg::kIdCapture)->isEnabled(); }));

    // Unplugged once more and the window closed meanwhile: no crash, no hang.
    bench_.camera->Unplug();
    w.Button(CMainDlg::kIdLiveView)->click();
    EXPECT_FALSE(w.LiveViewOpen());
    EXPECT_TRUE(MainDlgBench::Pump([&] { return !w.Session().ThreadRunning(); }));
}

TEST_F(MainDlgHooks, ReviewProgramChosenInThePreferencesOpensTheNextPicture) {
    kvx::vcam::VirtualCameraOptions o;
    o.pictureBytes = 100'000;
    CMainDlg& w = Connect(o);
    // A review program that notes which picture it was given.
    const fs::path marker = bench_.root / "reviewed.txt";
    const fs::path script = bench_.root / "review.sh";
    {
        std::ofstream f(script);
        f << "#!/bin/sh\nprintf '%s' \"$1\" > '" << marker.string() << "'\n";
    }
    fs::permissions(script, fs::perms::owner_all);
    ASSERT_TRUE(RunPreferences(w, [&](kvx::prefs::CDialogPreference& dlg) {
        dlg.SetApplicationChooser([&](const std::string&) { return script.string(); });
        Click(dlg, "806");
        Click(dlg, "807");
        return dlg.TryAccept();
    }));
    EXPECT_EQ(settings_.reviewType, 2);

    ASSERT_TRUE(MainDlgBench::Pump([&] { return w.Button(CMainDlg::kIdAfCapture)->isEnabled(); }));
    w.Button(CMainDlg::kIdAfCapture)->click();
    const auto files = bench_.camera->ExpectedFiles(1);
    ASSERT_EQ(files.size(), 1u);
    const fs::path picture = bench_.root / "pictures" / files[0].name;
    EXPECT_TRUE(MainDlgBench::Pump([&] {
        std::ifstream f(marker);
        std::string got;
        std::getline(f, got);
        return fs::path(got) == picture;
    })) << marker;
}

}  // namespace
