// The settings round trip without a window: a queued change reaches the
// camera, comes back through the change flag (or inside status record 2),
// is fetched, merged into the settings model and dispatched to the panels.
// The test thread plays the window thread: it drains the message port.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "engine/engine_message_glue.h"
#include "engine/main_engine.h"
#include "engine/queued_message_port.h"
#include "engine/message_port.h"
#include "model/camera.h"
#include "model/record_layout.h"
#include "model/setting_commands.h"
#include "platform/clock.h"
#include "tests/engine/engine_fakes.h"
#include "tests/engine/log_capture.h"
#include "tests/engine/status2_builder.h"
#include "tests/model/dispatch_fakes.h"

using namespace kvx::engine;
using namespace kvx::test;

class RoundTrip : public ::testing::Test {
protected:
    void SetUp() override {
        kvx::SetClock(std::make_shared<kvx::ScaledClock>(100));
        CMainEngine::ResetStatusFailureCount();
        port.Register(kTargetMainWindow);
        engine.SetCaptureSteps(&steps);
        auto& d = glue.Dispatcher();
        d.SetExposurePanel(&exposure);
        d.SetCameraPanel(&cameraPanel);
        d.SetImagePanel1(&image1);
        d.SetImagePanel2(&image2);
        d.SetWbAdjustGrid(&grid);
        d.SetSetupPanel(&setup);
        d.SetFlashPanel(&flash);
        d.SetMainWindow(&mainView);
    }
    void TearDown() override {
        engine.StopCommThread();
        kvx::SetClock(nullptr);
    }

    // The window thread's loop: handle what arrived until pred holds.
    bool PumpUntil(const std::function<bool()>& pred) {
        return WaitUntil([&] {
            for (const auto& m : port.Drain()) {
                handled.push_back(m);
                glue.Handle(m);
            }
            return pred();
        });
    }
    bool Called(const std::string& call) const {
        return std::find(calls.begin(), calls.end(), call) != calls.end();
    }

    LogCapture log;
    FakeCameraLink link;
    QueuedMessagePort port;
    FakeMainWindow window;
    VARNO::CCamera camera;
    CMainEngine engine{link, port, window, camera};
    FakeCaptureSteps steps{engine};
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

TEST_F(RoundTrip, Protocol3ChangeGoesOutAndComesBackThroughTheChangeFlag) {
    // The camera takes a DataGroup2 write and reports the group as changed.
    link.OnWrite([&](const FakeCameraLink::SetCall& call) {
        if (call.what != "SetDataGroup2") return;
        link.SetRecord(RecordId::kDataGroup2,
                       DataGroupRecord(20, call.record[1], call.record[2], {call.record[3]}));
        link.QueueStatus(StatusRecord(1, 0x0002, 0));
    });
    ASSERT_TRUE(engine.StartCommThread());
    ASSERT_TRUE(PumpUntil([&] { return engine.LinkReady(); }));
    calls.clear();

    ASSERT_TRUE(engine.QueueCommand(VARNO::MakeSettingCommand(VARNO::Setting::DriveMode, 2)));
    ASSERT_TRUE(PumpUntil([&] { return Called("camera.ShowDriveMode(2)"); }));

    auto sets = link.Sets();
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_EQ(sets[0].what, "SetDataGroup2");
    EXPECT_EQ(std::vector<uint8_t>(sets[0].record.begin(), sets[0].record.begin() + 4),
              (std::vector<uint8_t>{3, 0x01, 0x00, 2}));
    EXPECT_EQ(camera.DataGroupByte(2, VARNO::dg2::kDriveMode), 2);
    // Only the drive mode was reported: the other DataGroup2 panels stay as they were.
    EXPECT_FALSE(Called("camera.ShowMeteringMode(0)"));
    EXPECT_TRUE(Called("main.SetDriveModeState(2)"));
    EXPECT_TRUE(log.Has(5, "--- SetDataGroup2 Field1=0x1, Field2=0x0, val=0x2"));
    EXPECT_TRUE(log.Has(5, "--- OnUpdateDataGroup2 Field1=0x1, Field2=0x0"));
}

TEST_F(RoundTrip, Protocol4ChangesArriveInsideTheStatusAndMarkTheCameraExtended) {
    link.SetConfig(ConfigRecord(4, 0, "KV-4"));
    ASSERT_TRUE(engine.StartCommThread());
    ASSERT_TRUE(PumpUntil([&] { return engine.LinkReady(); }));
    calls.clear();

    // The photographer turns the shutter dial; the camera also sends its
    // settable info (a CanSetInfo4 marks an extended camera).
    Status2Builder b;
    b.Item(2, 2, 1);
    b.DataItem(0x9012, {0x01, 0x00, 0x48});
    std::vector<uint8_t> info4(100, 0);
    info4[0] = 0x7F;  // drive mode mask at record offset 2
    b.DataItem(0x902E, info4);
    link.QueueStatus2(b.Build(), b.ReplySize());

    ASSERT_TRUE(PumpUntil(
        [&] { return Called("exposure.ShowShutterSpeed(72)") && engine.IsExtendedCamera(); }));
    EXPECT_EQ(camera.DataGroupByte(1, VARNO::dg1::kShutter), 0x48);
    EXPECT_TRUE(camera.CanSetInfoReceived(4));
    EXPECT_TRUE(Called("camera.FillDriveModeList(127)"));
    EXPECT_EQ(link.CountCalls("GetDataGroup1"), 1);  // only at link time

    engine.StopCommThread();
    auto c = link.Calls();
    ASSERT_NE(std::find(c.begin(), c.end(), "CloseApplication"), c.end());
}

TEST_F(RoundTrip, CaptureResultAndDestinationFlagClearing) {
    engine.SetCaptureDestination(true, false);
    ASSERT_TRUE(engine.StartCommThread());
    ASSERT_TRUE(PumpUntil([&] { return engine.LinkReady(); }));
    EXPECT_TRUE(engine.DestinationSent());
    // A capture result arrives at the main window: the destination goes out
    // again with the camera's next idle state.
    port.Post(kTargetMainWindow, kMsgCaptureResult, 0x8002, 0);
    ASSERT_TRUE(PumpUntil([&] { return !link.Sets().empty(); }));
    EXPECT_EQ(link.Sets()[0].what, "SetDataGroup3");
    EXPECT_EQ(link.Sets()[0].record[2], 0x80);
    EXPECT_EQ(link.Sets()[0].record[3], 1);

    // A DataGroup3 reply flagging the destination does the same.
    link.SetRecord(RecordId::kDataGroup3, DataGroupRecord(21, 0x00, 0x80, {}));
    link.QueueStatus(StatusRecord(1, 0x0004, 0));
    ASSERT_TRUE(PumpUntil([&] { return link.Sets().size() >= 2; }));
    EXPECT_EQ(link.Sets()[1].record[2], 0x80);
}
