// After OK in the preferences, the next capture lands in the new folder under
// the new names, without a restart: the dialog, the settings held in memory
// and the picture transfer as the main window wires them, against the
// in-process virtual camera through the real camera link library.
#include <stdlib.h>
#include <unistd.h>

#include <QApplication>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "engine/library_camera_link.h"
#include "engine/main_engine.h"
#include "engine/picture_transfer.h"
#include "engine/queued_message_port.h"
#include "gdip_button.h"
#include "model/camera.h"
#include "platform/clock.h"
#include "prefs/dialog_preference.h"
#include "tests/engine/engine_fakes.h"
#include "vcam/virtual_camera.h"

namespace {

namespace fs = std::filesystem;
using kvx::vcam::PictureKind;
using kvx::vcam::VirtualCamera;
using kvx::vcam::VirtualCameraOptions;

std::vector<std::string> Files(const std::string& folder) {
    std::vector<std::string> names;
    for (auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<uint8_t> Slurp(const std::string& p) {
    std::ifstream in(p, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// Waits on the event loop; the bound only keeps a broken build from hanging.
constexpr int kWaitMs = 60000;

}  // namespace

class PrefsCaptureTest : public QObject {
    Q_OBJECT

private slots:
    void nextCaptureUsesTheNewFolderAndNames() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const std::string root = dir.path().toStdString();
        const std::string first = root + "/first", second = root + "/second shoot";
        fs::create_directories(root + "/devices");
        fs::create_directories(first);
        fs::create_directories(second);
        ::setenv("KVX_DEVICE_DIR", (root + "/devices").c_str(), 1);
        ::setenv("KVX_DEVICE_USB", "0", 1);
        kvx::SetClock(std::make_shared<kvx::ScaledClock>(10));

        // The settings as start-up read them: pictures to the first folder
        // under the camera's names.
        kvx::engine::AppSettings settings;
        settings.inCamera = 0;
        settings.inPC = 1;
        settings.path = first;

        VirtualCameraOptions o;
        o.deviceDir = root + "/devices";
        o.destination = 2;
        o.picture = PictureKind::Jpeg;
        o.pictureBytes = 400'000;
        VirtualCamera camera(o);
        QVERIFY(camera.Start());
        kvx::test::FakeMainWindow window;
        kvx::engine::QueuedMessagePort port;
        port.Register(kvx::engine::kTargetMainWindow);
        VARNO::CCamera model;
        kvx::engine::LibraryCameraLink link;
        kvx::engine::CMainEngine engine(link, port, window, model);
        kvx::engine::CPictureTransfer transfer(link, engine);
        transfer.SetNamingOptions(kvx::engine::NamingOptions::FromSettings(settings, ""));
        engine.SetCaptureSteps(&transfer);
        engine.SetCaptureDestination(false, true);
        std::atomic<bool> stop{false};
        // The main window's part of the round trip the transfer relies on.
        std::thread windowThread([&] {
            while (!stop) {
                auto m = port.Take(20);
                if (!m) continue;
                if (m->message == kvx::engine::kMsgCanSetInfo4Updated)
                    engine.SetExtendedCamera(true);
                if (m->message == kvx::engine::kMsgCaptureResult) engine.ClearDestinationSent();
            }
        });
        QVERIFY(engine.StartCommThread());
        QTRY_VERIFY_WITH_TIMEOUT(engine.LinkReady(), kWaitMs);

        const auto one = camera.ExpectedFiles(1);
        camera.TakePictureOnBody(2);
        QTRY_VERIFY_WITH_TIMEOUT(Files(first) == std::vector<std::string>{one[0].name}, kWaitMs);

        // The user picks the second folder and renaming in the preferences.
        const std::string file = root + "/Varno_Kolvex.ini";
        kvx::prefs::CDialogPreference dlg(nullptr, settings, file, std::nullopt);
        dlg.SetFolderChooser([&](const std::string&) { return second; });
        QTest::mouseClick(dlg.findChild<CGdipButton*>("812"), Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseClick(dlg.findChild<CGdipButton*>("814"), Qt::LeftButton, {}, QPoint(5, 5));
        dlg.findChild<QLineEdit*>("815")->setText("STUDIO_");
        dlg.findChild<QLineEdit*>("818")->setText("41");
        dlg.findChild<QLineEdit*>("820")->setText("4");
        QVERIFY(dlg.TryAccept());
        QVERIFY(dlg.DestinationChanged());
        // What the main window does after OK (see dialog_preference.h).
        transfer.SetNamingOptions(dlg.Naming());
        engine.SetCaptureDestination(settings.inCamera != 0, settings.inPC != 0);

        const auto two = camera.ExpectedFiles(2);
        camera.TakePictureOnBody(2);
        QTRY_VERIFY_WITH_TIMEOUT(Files(second) == std::vector<std::string>{"STUDIO_0041.JPG"},
                                 kWaitMs);
        std::vector<uint8_t> want(two[0].size);
        VirtualCamera::FillPictureBytes(o.seed, two[0].objectId, 0, want.data(), want.size());
        QVERIFY(Slurp(second + "/STUDIO_0041.JPG") == want);
        QCOMPARE(Files(first), std::vector<std::string>{one[0].name});

        engine.StopCommThread();
        stop = true;
        windowThread.join();
        kvx::SetClock(nullptr);
    }
};

QTEST_MAIN(PrefsCaptureTest)
#include "prefs_capture_test.moc"
