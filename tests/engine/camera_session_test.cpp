// The camera session against the in-process virtual camera, as any front end
// sees it: the camera search links, the settings reach the model and the
// registered panels, a release brings its files as typed events, an unplug
// ends the link. The front end here supplies its own message port, as the
// window does, and checks that every call reaches it on its own thread.
#include "engine/camera_session.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "engine/message_port.h"
#include "model/setting_commands.h"
#include "platform/clock.h"
#include "tests/engine/engine_fakes.h"
#include "tests/engine/recording_port.h"
#include "tests/engine/vcam_folder.h"
#include "tests/model/dispatch_fakes.h"
#include "vcam/virtual_camera.h"

using namespace kvx::engine;
namespace fs = std::filesystem;

namespace {

using kvx::test::RecordingPort;

class RecordingFrontEnd final : public ISessionFrontEnd {
public:
    std::thread::id owner = std::this_thread::get_id();
    int foreignCalls = 0;
    std::vector<PictureEvent> pictures;
    std::vector<TransferProgress> progress;
    std::vector<uint32_t> captureResults;
    std::vector<std::pair<int, std::string>> notices;
    std::vector<bool> linkChanges;
    std::vector<std::string> cameraLines;
    int settingsUpdates = 0;

    void OnNotice(int id, const std::string& text, uint32_t) override {
        Here();
        notices.emplace_back(id, text);
    }
    void OnCameraLine(const std::string& text) override {
        Here();
        cameraLines.push_back(text);
    }
    void OnLinkChanged(bool linked) override {
        Here();
        linkChanges.push_back(linked);
    }
    void OnSettingsUpdated(uint32_t) override {
        Here();
        ++settingsUpdates;
    }
    void OnCaptureResult(uint32_t code) override {
        Here();
        captureResults.push_back(code);
    }
    void OnPictureFinished(const PictureEvent& e) override {
        Here();
        pictures.push_back(e);
    }
    void OnTransferProgress(const TransferProgress& p) override {
        Here();
        progress.push_back(p);
    }
    void OnStatusLine(const StatusLine&) override { Here(); }
    void OnControlsEnabled(bool) override { Here(); }
    void OnDisplayReset() override { Here(); }
    void OnPanelsReset() override { Here(); }

private:
    void Here() {
        if (std::this_thread::get_id() != owner) ++foreignCalls;
    }
};

class CameraSession : public ::testing::Test {
protected:
    void SetUp() override {
        folder_.SetUp("kvx-session");
        root_ = folder_.root;
    }
    void TearDown() override {
        session_.reset();
        folder_.TearDown();
    }

    kvx::vcam::VirtualCamera& StartCamera(kvx::vcam::VirtualCameraOptions o) {
        return folder_.StartCamera(std::move(o));
    }

    CCameraSession& Session() {
        CCameraSession::Options o;
        o.naming.destinationFolder = (root_ / "pictures").string() + "/";
        o.naming.inCamera = false;
        o.naming.inPC = true;
        o.watchDevices = true;
        session_ = std::make_unique<CCameraSession>(front_, o, &port_);
        return *session_;
    }

    // The front end's loop: what its port took goes to the session on this
    // thread, then the session's tick.
    bool PumpUntil(const std::function<bool()>& pred, int timeoutMs = 30000) {
        return kvx::test::WaitUntil(
            [&] {
                for (const auto& m : port_.Take()) session_->HandleMessage(m);
                session_->Tick();
                return pred();
            },
            timeoutMs);
    }

    kvx::test::VcamFolder folder_;
    fs::path root_;
    RecordingPort port_;
    RecordingFrontEnd front_;
    std::unique_ptr<CCameraSession> session_;
};

TEST_F(CameraSession, LinksSettlesSettingsBringsPicturesAndEndsOnUnplug) {
    kvx::vcam::VirtualCameraOptions o;
    o.name = "VARNO ZX-7";
    o.picture = kvx::vcam::PictureKind::RawJpeg;
    o.pictureBytes = 2'500'000;  // more than one piece per file
    auto& cam = StartCamera(o);
    auto& s = Session();
    kvx_test::Calls calls;
    kvx_test::FakeExposure exposure{calls};
    s.Dispatcher().SetExposurePanel(&exposure);

    auto found = s.Start();
    EXPECT_EQ(found.count130, 1);
    EXPECT_TRUE(found.started);
    ASSERT_TRUE(PumpUntil([&] { return s.Linked() && s.SettingsComplete(); }));
    EXPECT_EQ(front_.linkChanges, std::vector<bool>{true});
    ASSERT_FALSE(front_.cameraLines.empty());
    EXPECT_EQ(front_.cameraLines.back().rfind("Camera: VARNO ZX-7(", 0), 0u)
        << front_.cameraLines.back();
    EXPECT_EQ(s.CameraLine(), front_.cameraLines.back());
    EXPECT_GE(front_.settingsUpdates, 7);
    // The registered panel heard of the camera's shutter speed.
    EXPECT_TRUE(std::any_of(calls.begin(), calls.end(), [](const std::string& c) {
        return c.rfind("exposure.ShowShutterSpeed(", 0) == 0;
    }));

    // A release: both files of the picture arrive as events, whole, with
    // their size, and the camera's bytes.
    s.QueueCommand(VARNO::MakeCaptureDestinationCommand(false, true));
    s.QueueCommand(VARNO::MakeReleaseCommand(1));
    ASSERT_TRUE(PumpUntil([&] {
        return front_.pictures.size() >= 2 && !front_.captureResults.empty() &&
               s.PendingPictures() == 0;
    }));
    EXPECT_EQ(front_.captureResults, std::vector<uint32_t>{0x8002});
    auto expected = cam.ExpectedFiles(1);
    ASSERT_EQ(front_.pictures.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const PictureEvent& e = front_.pictures[i];
        SCOPED_TRACE(e.path);
        EXPECT_EQ(e.kind, PictureKind::Complete);
        EXPECT_TRUE(e.error.empty());
        EXPECT_EQ(e.cameraName, expected[i].name);
        EXPECT_EQ(e.size, expected[i].size);
        ASSERT_TRUE(fs::exists(e.path));
        EXPECT_EQ(fs::file_size(e.path), expected[i].size);
        std::vector<uint8_t> want(expected[i].size);
        kvx::vcam::VirtualCamera::FillPictureBytes(o.seed, expected[i].objectId, 0, want.data(),
                                                   want.size());
        std::ifstream in(e.path, std::ios::binary);
        std::vector<uint8_t> got((std::istreambuf_iterator<char>(in)),
                                 std::istreambuf_iterator<char>());
        EXPECT_TRUE(got == want);
    }
    // Progress came, never beyond the file's size, and no file twice.
    ASSERT_FALSE(front_.progress.empty());
    for (const auto& p : front_.progress) EXPECT_LE(p.bytesDone, p.bytesTotal);
    EXPECT_NE(front_.pictures[0].path, front_.pictures[1].path);

    // Unplugged: the watcher's removal ends the link.
    cam.Unplug();
    ASSERT_TRUE(PumpUntil([&] { return !s.ThreadRunning(); }));
    ASSERT_TRUE(PumpUntil([&] { return front_.linkChanges.size() == 2; }));
    EXPECT_EQ(front_.linkChanges, (std::vector<bool>{true, false}));
    EXPECT_EQ(front_.foreignCalls, 0) << "a front-end call ran on another thread";
}

TEST_F(CameraSession, APictureThatCannotBeWrittenIsAFailedEventNotSilence) {
    kvx::vcam::VirtualCameraOptions o;
    o.picture = kvx::vcam::PictureKind::Jpeg;
    o.pictureBytes = 400'000;
    StartCamera(o);
    auto& s = Session();
    s.Start();
    ASSERT_TRUE(PumpUntil([&] { return s.Linked() && s.SettingsComplete(); }));
    fs::remove_all(root_ / "pictures");  // the destination went away
    s.QueueCommand(VARNO::MakeCaptureDestinationCommand(false, true));
    s.QueueCommand(VARNO::MakeReleaseCommand(2));
    ASSERT_TRUE(PumpUntil([&] { return !front_.pictures.empty(); }));
    const PictureEvent& e = front_.pictures[0];
    EXPECT_EQ(e.kind, PictureKind::Failed);
    EXPECT_TRUE(e.path.empty());
    EXPECT_FALSE(e.error.empty());
    EXPECT_EQ(front_.foreignCalls, 0);
}

TEST_F(CameraSession, AFileCutShortArrivesAsIncompleteWithWhatWasKept) {
    kvx::vcam::VirtualCameraOptions o;
    o.picture = kvx::vcam::PictureKind::Jpeg;
    o.pictureBytes = 8'000'000;
    o.vanishAfterBytes = 3'000'000;
    StartCamera(o);
    auto& s = Session();
    s.Start();
    ASSERT_TRUE(PumpUntil([&] { return s.Linked() && s.SettingsComplete(); }));
    s.QueueCommand(VARNO::MakeCaptureDestinationCommand(false, true));
    s.QueueCommand(VARNO::MakeReleaseCommand(2));
    ASSERT_TRUE(PumpUntil([&] { return !front_.pictures.empty(); }));
    const PictureEvent& e = front_.pictures[0];
    EXPECT_EQ(e.kind, PictureKind::Incomplete);
    ASSERT_TRUE(fs::exists(e.path));
    EXPECT_TRUE(e.path.ends_with(".incomplete")) << e.path;
    EXPECT_EQ(e.size, fs::file_size(e.path));
    EXPECT_GT(e.size, 0u);
    EXPECT_LT(e.size, 8'000'000u);
}

TEST_F(CameraSession, NoticeOfANewerCameraIsPostedAndStopNeverWaitsForIt) {
    kvx::vcam::VirtualCameraOptions o;
    o.protocolMajor = 4;
    o.protocolMinor = 1;
    StartCamera(o);
    auto& s = Session();
    s.Start();
    ASSERT_TRUE(PumpUntil([&] { return !front_.notices.empty(); }));
    EXPECT_EQ(front_.notices[0].first, 10204);
    EXPECT_EQ(front_.notices[0].second, ShellString(10204));
    EXPECT_TRUE(s.NoticeOpen());
    // Nobody closes the box: stopping still returns, and the box stays the
    // front end's to close.
    s.Stop();
    EXPECT_FALSE(s.ThreadRunning());
    s.DismissNotice();
    EXPECT_FALSE(s.NoticeOpen());
    EXPECT_EQ(front_.foreignCalls, 0);
}

}  // namespace
