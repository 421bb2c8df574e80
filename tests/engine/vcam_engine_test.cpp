// The engine against the virtual camera through the real camera link
// library: the camera is found in a private device folder, the thread links,
// settings go out and come back through the model's merge and dispatch, and
// a capture ends as a picture file on disk.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>

#include "engine/engine_message_glue.h"
#include "engine/library_camera_link.h"
#include "engine/main_engine.h"
#include "engine/message_port.h"
#include "engine/picture_transfer.h"
#include "engine/queued_message_port.h"
#include "model/camera.h"
#include "model/record_layout.h"
#include "model/setting_commands.h"
#include "platform/clock.h"
#include "tests/engine/engine_fakes.h"
#include "tests/engine/log_capture.h"
#include "tests/engine/vcam_folder.h"
#include "tests/model/dispatch_fakes.h"
#include "vcam/virtual_camera.h"

using namespace kvx::engine;
using namespace kvx::test;
namespace fs = std::filesystem;

class VcamEngine : public ::testing::Test {
protected:
    void SetUp() override {
        folder_.SetUp("kvx-engine-vcam");
        root_ = folder_.root;
        port.Register(kTargetMainWindow);
        auto& d = glue.Dispatcher();
        d.SetExposurePanel(&exposure);
        d.SetCameraPanel(&cameraPanel);
        d.SetImagePanel1(&image1);
        d.SetImagePanel2(&image2);
        d.SetWbAdjustGrid(&grid);
        d.SetSetupPanel(&setup);
        d.SetFlashPanel(&flash);
        d.SetMainWindow(&mainView);
        NamingOptions naming;
        naming.destinationFolder = (root_ / "pictures").string() + "/";
        naming.inCamera = false;
        naming.inPC = true;
        transfer.SetNamingOptions(naming);
        engine.SetCaptureDestination(false, true);
        engine.SetCaptureSteps(&transfer);
    }
    void TearDown() override {
        engine.StopCommThread();
        folder_.TearDown();
    }

    kvx::vcam::VirtualCamera& StartCamera(kvx::vcam::VirtualCameraOptions o) {
        return folder_.StartCamera(std::move(o));
    }

    // The window thread's loop.
    bool PumpUntil(const std::function<bool()>& pred, int timeoutMs = 20000) {
        return WaitUntil(
            [&] {
                for (const auto& m : port.Drain()) {
                    handled.push_back(m);
                    glue.Handle(m);
                }
                return pred();
            },
            timeoutMs);
    }
    bool Called(const std::string& call) const {
        return std::find(calls.begin(), calls.end(), call) != calls.end();
    }
    // The vendor operations the camera received (the session's own left out).
    std::vector<kvx::vcam::ReceivedOperation> VendorOps() const {
        std::vector<kvx::vcam::ReceivedOperation> out;
        for (auto& op : folder_.camera->ReceivedOperations()) {
            if (op.code >= 0x9000) out.push_back(op);
        }
        return out;
    }
    int CountOps(uint16_t code) const {
        int n = 0;
        for (auto& op : VendorOps()) n += op.code == code;
        return n;
    }
    std::vector<uint16_t> OpCodes() const {
        std::vector<uint16_t> out;
        for (auto& op : VendorOps()) out.push_back(op.code);
        return out;
    }

    VcamFolder folder_;
    fs::path root_;
    LogCapture log;
    LibraryCameraLink link;
    QueuedMessagePort port;
    FakeMainWindow window;
    VARNO::CCamera camera;
    CMainEngine engine{link, port, window, camera};
    CPictureTransfer transfer{link, engine};
    CEngineMessageGlue glue{engine, port, camera};

    kvx_test::Calls calls;
    kvx_test::FakeExposure exposure{calls};
    kvx_test::FakeCameraPanel cameraPanel{calls};
    kvx_test::FakeImage1 image1{calls};
    kvx_test::FakeImage2 image2{calls};
    kvx_test::FakeGrid grid{calls};
    kvx_test::FakeSetup setup{calls};
    kvx_test::FakeFlash flash{calls};
    kvx_test::FakeMain mainView{calls};
    std::vector<PostedMessage> handled;
};

TEST_F(VcamEngine, Protocol3SettingsRoundTrip) {
    kvx::vcam::VirtualCameraOptions o;
    o.protocolMajor = 3;
    o.protocolMinor = 2;
    o.name = "VARNO ZX-3";
    auto& cam = StartCamera(o);

    ASSERT_TRUE(engine.StartCommThread());
    ASSERT_TRUE(PumpUntil([&] { return engine.LinkReady(); }));
    EXPECT_EQ(window.CameraLine(), "VARNO ZX-3");
    EXPECT_EQ(engine.ProtocolMajor(), 3);
    // Link time: configuration, then every data group and CanSetInfo 1 to 3.
    auto codes = OpCodes();
    std::vector<uint16_t> linkOps(codes.begin(),
                                  codes.begin() + std::min<size_t>(codes.size(), 10));
    EXPECT_EQ(linkOps, (std::vector<uint16_t>{0x9010, 0x901A, 0x9025, 0x9026, 0x9012, 0x9013,
                                              0x9014, 0x9023, 0x9027, 0x9029}));
    ASSERT_TRUE(PumpUntil([&] { return CountOps(0x9011) >= 2; }));
    EXPECT_EQ(CountOps(0x902C), 0);
    EXPECT_EQ(log.CountContaining("Checksum error"), 0);

    // A drive mode pick: the camera gets the write, reports the change, the
    // thread fetches DataGroup2 and the panel shows the camera's value.
    calls.clear();
    cam.ClearReceivedOperations();
    ASSERT_TRUE(engine.QueueCommand(VARNO::MakeSettingCommand(VARNO::Setting::DriveMode, 2)));
    ASSERT_TRUE(PumpUntil([&] { return Called("camera.ShowDriveMode(2)"); }));
    EXPECT_EQ(cam.DataGroupField(2, 0x01, 0x00), std::vector<uint8_t>{2});
    auto ops = VendorOps();
    auto write = std::find_if(ops.begin(), ops.end(), [](auto& op) { return op.code == 0x9017; });
    ASSERT_NE(write, ops.end());
    ASSERT_GE(write->data.size(), 4u);
    EXPECT_EQ(std::vector<uint8_t>(write->data.begin(), write->data.begin() + 4),
              (std::vector<uint8_t>{3, 0x01, 0x00, 2}));
    EXPECT_NE(std::find_if(write, ops.end(), [](auto& op) { return op.code == 0x9013; }),
              ops.end());
    EXPECT_EQ(camera.DataGroupByte(2, VARNO::dg2::kDriveMode), 2);

    // A dial turned on the body comes back the same way.
    ASSERT_TRUE(cam.SetDataGroupFieldOnBody(1, 0x01, 0x00, {0x50}));
    ASSERT_TRUE(PumpUntil([&] { return Called("exposure.ShowShutterSpeed(80)"); }));
    EXPECT_EQ(camera.DataGroupByte(1, VARNO::dg1::kShutter), 0x50);
}

TEST_F(VcamEngine, CommandsReachTheCameraInQueueOrder) {
    kvx::vcam::VirtualCameraOptions o;
    o.protocolMajor = 3;
    auto& cam = StartCamera(o);
    ASSERT_TRUE(engine.StartCommThread());
    ASSERT_TRUE(PumpUntil([&] { return engine.LinkReady(); }));
    cam.ClearReceivedOperations();
    using VARNO::Setting;
    engine.QueueCommand(VARNO::MakeSettingCommand(Setting::Metering, 2));
    engine.QueueCommand(VARNO::MakeSettingCommand(Setting::Contrast, 4));
    engine.QueueCommand(VARNO::MakeColorTemperatureCommand(5600));
    engine.QueueCommand(VARNO::MakeSettingCommand(Setting::AfMode, 2));
    ASSERT_TRUE(
        PumpUntil([&] { return engine.QueuedCommandCount() == 0 && CountOps(0x9017) >= 2; }));
    std::vector<uint16_t> writes;
    for (auto c : OpCodes()) {
        if (c == 0x9016 || c == 0x9017 || c == 0x9018 || c == 0x9024 || c == 0x9028 || c == 0x902A)
            writes.push_back(c);
    }
    EXPECT_EQ(writes, (std::vector<uint16_t>{0x9017, 0x9018, 0x9028, 0x9017}));
    ASSERT_TRUE(PumpUntil([&] {
        return cam.DataGroupField(5, 0x02, 0x00) == std::vector<uint8_t>{0xE0, 0x15};
    }));
    ASSERT_TRUE(PumpUntil([&] { return Called("image1.ShowColorTemperature(5600)"); }));
}

TEST_F(VcamEngine, Protocol40StatusRecord2CarriesTheChanges) {
    auto& cam = StartCamera({});  // protocol 4.0, CanSetInfo4
    ASSERT_TRUE(engine.StartCommThread());
    ASSERT_TRUE(PumpUntil([&] { return engine.LinkReady(); }));
    EXPECT_EQ(engine.ProtocolMajor(), 4);
    ASSERT_TRUE(PumpUntil([&] { return engine.IsExtendedCamera(); }));
    EXPECT_TRUE(camera.CanSetInfoReceived(4));
    ASSERT_TRUE(PumpUntil([&] { return CountOps(0x902C) >= 2; }));
    EXPECT_EQ(CountOps(0x9011), 0);
    int groupReads = CountOps(0x9012);

    calls.clear();
    ASSERT_TRUE(cam.SetDataGroupFieldOnBody(1, 0x10, 0x00, {0x40}));  // ISO on the body
    ASSERT_TRUE(PumpUntil([&] { return camera.DataGroupByte(1, VARNO::dg1::kIso) == 0x40; }));
    ASSERT_TRUE(engine.QueueCommand(VARNO::MakeSettingCommand(VARNO::Setting::ImageQuality, 3)));
    ASSERT_TRUE(PumpUntil([&] { return Called("image1.ShowImageQuality(3)"); }));
    // Nothing was fetched one by one: it all came inside the status.
    EXPECT_EQ(CountOps(0x9012), groupReads);
    EXPECT_EQ(CountOps(0x9013), 1);
    EXPECT_EQ(log.CountContaining("Checksum error"), 0);

    engine.StopCommThread();
    EXPECT_EQ(CountOps(0x902F), 1);  // the extended camera hears that the program leaves
}

TEST_F(VcamEngine, Protocol41CameraIsNotDriven) {
    kvx::vcam::VirtualCameraOptions o;
    o.protocolMajor = 4;
    o.protocolMinor = 1;
    StartCamera(o);
    ASSERT_TRUE(engine.StartCommThread());
    ASSERT_TRUE(PumpUntil([&] { return !engine.ThreadRunning(); }));
    EXPECT_EQ(engine.CloseRequest(), kCloseNewerProtocol);
    ASSERT_EQ(window.Notices().size(), 1u);
    EXPECT_EQ(window.Notices()[0].stringId, 10204);
    EXPECT_EQ(OpCodes(), std::vector<uint16_t>{0x9010});
    EXPECT_FALSE(engine.LinkReady());
}

TEST_F(VcamEngine, ReleaseEndsAsAPictureFile) {
    kvx::vcam::VirtualCameraOptions o;
    o.pictureBytes = 300'000;
    auto& cam = StartCamera(o);
    ASSERT_TRUE(engine.StartCommThread());
    ASSERT_TRUE(PumpUntil([&] { return engine.LinkReady(); }));
    engine.QueueCommand(VARNO::MakeCaptureDestinationCommand(false, true));
    engine.QueueCommand(VARNO::MakeReleaseCommand(1));
    ASSERT_TRUE(PumpUntil([&] {
        auto r = transfer.LastFileResults();
        return !r.empty() && r[0].complete && transfer.PendingPictureCount() == 0;
    }));
    auto expected = cam.ExpectedFiles(1);
    ASSERT_EQ(expected.size(), 1u);
    auto results = transfer.LastFileResults();
    ASSERT_EQ(results.size(), 1u);
    ASSERT_TRUE(fs::exists(results[0].path));
    EXPECT_EQ(fs::file_size(results[0].path), expected[0].size);
    std::vector<uint8_t> want(expected[0].size);
    kvx::vcam::VirtualCamera::FillPictureBytes(o.seed, expected[0].objectId, 0, want.data(),
                                               want.size());
    std::ifstream in(results[0].path, std::ios::binary);
    std::vector<uint8_t> got((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
    EXPECT_TRUE(got == want);
    EXPECT_TRUE(log.Has(5, "--- ZR4_Snap OK count=1"));
}

TEST_F(VcamEngine, StopWaitsForTheTransferAndLeavesAWholePicture) {
    kvx::vcam::VirtualCameraOptions o;
    o.pictureBytes = 24'000'000;  // several segments
    StartCamera(o);
    ASSERT_TRUE(engine.StartCommThread());
    ASSERT_TRUE(PumpUntil([&] { return engine.LinkReady(); }));
    engine.QueueCommand(VARNO::MakeReleaseCommand(2));
    ASSERT_TRUE(PumpUntil([&] { return engine.CommState() == kCommTransfer; }, 30000));
    EXPECT_TRUE(engine.StopCommThread());
    EXPECT_FALSE(engine.ThreadRunning());
    auto results = transfer.LastFileResults();
    ASSERT_EQ(results.size(), 1u);
    EXPECT_TRUE(results[0].complete);
    EXPECT_EQ(fs::file_size(results[0].path), 24'000'000u);
}
