// The communication thread against a scripted camera link: link set-up,
// both protocol paths, unsupported and unreadable cameras, queued commands,
// start and stop, the status failure counter and the close request.
#include "engine/main_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/message_port.h"
#include "engine/queued_message_port.h"
#include "model/camera.h"
#include "platform/clock.h"
#include "tests/engine/engine_fakes.h"
#include "tests/engine/log_capture.h"
#include "tests/engine/status2_builder.h"

using namespace kvx::engine;
using namespace kvx::test;

namespace {

tag_CAM_COMMAND Setting(uint32_t code, uint8_t f1, uint8_t f2, int32_t value) {
    tag_CAM_COMMAND c{};
    c.command = code;
    c.payload.setting.Field1 = f1;
    c.payload.setting.Field2 = f2;
    c.payload.setting.value = value;
    return c;
}

tag_CAM_COMMAND Extended(uint32_t code, uint8_t f1, uint8_t f2, std::vector<uint8_t> data) {
    tag_CAM_COMMAND c = Setting(code, f1, f2, static_cast<int32_t>(data.size()));
    c.extended = 1;
    std::copy(data.begin(), data.end(), c.payload.setting.data);
    return c;
}

tag_CAM_COMMAND Shutter(uint8_t mode) {
    tag_CAM_COMMAND c{};
    c.command = kCmdSnap;
    c.payload.shutter[0] = 2;
    c.payload.shutter[1] = mode;
    c.payload.shutter[2] = 1;
    return c;
}

tag_CAM_COMMAND Clock() {
    tag_CAM_COMMAND c{};
    c.command = kCmdClockAdjust;
    uint8_t rec[8] = {6, 30, 15, 10, 24, 12, 26, 0};
    std::copy(rec, rec + 8, c.payload.clock);
    return c;
}

class FakeLiveView final : public ILiveViewStep {
public:
    void OnCommunicationStart() override { ++starts; }
    int GetLiveViewFrame() override { return ++frames >= failAt ? -1 : 0; }
    void RefreshAfterLink() override { ++refreshes; }
    std::atomic<int> starts{0}, frames{0}, refreshes{0};
    int failAt = 1 << 30;
};

}  // namespace

class EngineThread : public ::testing::Test {
protected:
    void SetUp() override {
        // The fixed waits (2,000, 1,000, 300, 200 ms) shrink a hundredfold;
        // the tick and its 1 ms sleeps stay real.
        kvx::SetClock(std::make_shared<kvx::ScaledClock>(100));
        CMainEngine::ResetStatusFailureCount();
        port.Register(kTargetMainWindow);
        engine.SetCaptureSteps(&steps);
    }
    void TearDown() override {
        engine.StopCommThread();
        kvx::SetClock(nullptr);
    }

    // Every message posted so far, oldest first.
    const std::vector<PostedMessage>& Messages() {
        auto fresh = port.Drain();
        messages_.insert(messages_.end(), fresh.begin(), fresh.end());
        return messages_;
    }
    int CountPosted(int target, uint32_t msg) {
        const auto& m = Messages();
        return static_cast<int>(std::count_if(m.begin(), m.end(), [&](const PostedMessage& p) {
            return p.target == target && p.message == msg;
        }));
    }
    std::vector<uint32_t> RecordMessages() {
        std::vector<uint32_t> out;
        for (const auto& p : Messages()) {
            RecordId id;
            if (p.target == kTargetMainWindow && RecordForMessage(p.message, id))
                out.push_back(p.message);
        }
        return out;
    }
    // The fetch calls among the link calls, in order.
    std::vector<std::string> FetchCalls() {
        std::vector<std::string> out;
        for (const auto& c : link.Calls()) {
            if (c.rfind("GetDataGroup", 0) == 0 || c.rfind("GetCanSetInfo", 0) == 0)
                out.push_back(c);
        }
        return out;
    }
    bool WaitForEnd() {
        return WaitUntil([&] { return !engine.ThreadRunning(); });
    }

    LogCapture log;
    FakeCameraLink link;
    QueuedMessagePort port;
    FakeMainWindow window;
    VARNO::CCamera camera;
    CMainEngine engine{link, port, window, camera};
    FakeCaptureSteps steps{engine};
    std::vector<PostedMessage> messages_;
};

TEST_F(EngineThread, Protocol3LinkFetchesEveryRecordOnceThenTheFlaggedOnes) {
    link.SetConfig(ConfigRecord(3, 2, "KV-3 Body"));
    link.SetRecord(RecordId::kDataGroup1, DataGroupRecord(22, 0x03, 0x00, {0x50, 0x30}));
    link.QueueStatus(StatusRecord(1, 0, 0));
    link.QueueStatus(StatusRecord(1, 0x0011, 0));  // DataGroup1 and CanSetInfo changed

    ASSERT_TRUE(engine.StartCommThread());
    ASSERT_TRUE(WaitUntil([&] { return link.CountCalls("GetDataGroup1") >= 2; }));
    ASSERT_TRUE(WaitUntil([&] { return link.CountCalls("GetCamStatus") >= 4; }));

    const std::vector<std::string> want = {
        "GetCanSetInfo", "GetCanSetInfo2", "GetCanSetInfo3", "GetDataGroup1",
        "GetDataGroup2", "GetDataGroup3",  "GetDataGroup4",  "GetDataGroup5",
        "GetDataGroup6", "GetCanSetInfo",  "GetDataGroup1",
    };
    EXPECT_EQ(FetchCalls(), want);
    EXPECT_EQ(link.CountCalls("GetCamStatus2"), 0);
    const std::vector<uint32_t> wantMessages = {
        kMsgCanSetInfoUpdated, kMsgCanSetInfo2Updated, kMsgCanSetInfo3Updated,
        kMsgDataGroup1Updated, kMsgDataGroup2Updated,  kMsgDataGroup3Updated,
        kMsgDataGroup4Updated, kMsgDataGroup5Updated,  kMsgDataGroup6Updated,
        kMsgCanSetInfoUpdated, kMsgDataGroup1Updated,
    };
    EXPECT_EQ(RecordMessages(), wantMessages);
    EXPECT_EQ(CountPosted(kTargetMainWindow, kMsgCameraStateChanged), 1);

    EXPECT_TRUE(engine.LinkReady());
    EXPECT_TRUE(engine.CameraSupported());
    EXPECT_EQ(engine.ProtocolMajor(), 3);
    EXPECT_EQ(engine.ProtocolMinor(), 2);
    EXPECT_EQ(window.CameraLine(), "KV-3 Body");
    EXPECT_EQ(window.panelResets.load(), 1);
    ASSERT_FALSE(window.Enables().empty());
    EXPECT_TRUE(window.Enables().front());

    // The fetched record is what the window side will merge.
    uint8_t rx[38] = {};
    EXPECT_EQ(camera.ReceivedDataGroup(1, rx, sizeof rx), 22u);
    EXPECT_EQ(rx[1], 0x03);
    EXPECT_EQ(rx[3], 0x50);
    EXPECT_EQ(rx[4], 0x30);

    EXPECT_TRUE(log.Has(4, "enter CMainDlg::StartCommThread"));
    EXPECT_TRUE(log.Has(4, "&&& enter TH_StartCameraCommunication &&&"));
    EXPECT_TRUE(log.Has(2, "enter CMainDlg::ResetCommStatus"));
    EXPECT_TRUE(log.Has(5, "-- GetCamConfig: Checksum OK"));
    EXPECT_TRUE(log.Has(6, "-- GetCamStatus: Checksum OK"));
    EXPECT_TRUE(log.Has(5, "-- CalcDataCheckSum: DataGroup1 Checksum OK"));

    engine.StopCommThread();
    EXPECT_TRUE(log.Has(4, "&&& exit TH_StartCameraCommunication &&&"));
    EXPECT_EQ(link.CountCalls("ReleaseDevInfo"), 1);
    EXPECT_EQ(link.CountCalls("CloseApplication"), 0);
    EXPECT_FALSE(engine.LinkReady());
}

TEST_F(EngineThread, FailedRecordFetchIsLoggedAndTheOthersStillCome) {
    link.FailRecord(RecordId::kDataGroup2, kFail);
    ASSERT_TRUE(engine.StartCommThread());
    ASSERT_TRUE(WaitUntil([&] { return engine.LinkReady(); }));
    EXPECT_TRUE(log.Has(
        3, "+++ Could not Get DataGroup2 hr=0x80004005 at CMainDlg::OnUpdateDataGroup +++ "));
    std::vector<uint32_t> got = RecordMessages();
    EXPECT_EQ(std::count(got.begin(), got.end(), kMsgDataGroup2Updated), 0);
    EXPECT_EQ(std::count(got.begin(), got.end(), kMsgDataGroup3Updated), 1);
    EXPECT_EQ(got.size(), 8u);
}

TEST_F(EngineThread, Protocol40PollsStatusRecord2AndHandsOverThePictureIds) {
    link.SetConfig(ConfigRecord(4, 0, "KV-4"));
    Status2Builder b;
    b.Item(2, 2, 1);
    b.DataItem(0x9012, {0x00, 0x02, 0x10, 0x00, 0x00});  // remaining shots 16
    b.Item(5, 1, 3);                                     // picture id 3 in the value field
    link.SetStatus2(b.Build(), b.ReplySize());

    ASSERT_TRUE(engine.StartCommThread());
    ASSERT_TRUE(WaitUntil([&] { return steps.captureStatusRuns.load() >= 2; }));
    EXPECT_EQ(link.CountCalls("GetCamStatus"), 0);
    EXPECT_GE(link.CountCalls("GetCamStatus2"), 2);
    // Records arrive inside the status; only the link-time fetch asks for them.
    EXPECT_EQ(link.CountCalls("GetDataGroup1"), 1);
    EXPECT_EQ(link.CountCalls("GetCanSetInfo4"), 0);
    ASSERT_FALSE(steps.IdLists().empty());
    EXPECT_EQ(steps.IdLists().front(), std::vector<uint16_t>{3});
    EXPECT_EQ(steps.lastBits.load(), 1u);
    EXPECT_GE(CountPosted(kTargetMainWindow, kMsgDataGroup1Updated), 2);

    uint8_t rx[38] = {};
    ASSERT_EQ(camera.ReceivedDataGroup(1, rx, sizeof rx), 22u);
    EXPECT_EQ(rx[0], 5);
    EXPECT_EQ(rx[2], 0x02);
    EXPECT_EQ(rx[3], 0x10);
}

TEST_F(EngineThread, Protocol41IsRefusedAndNeverFetchesOrTransfers) {
    link.SetConfig(ConfigRecord(4, 1, "KV-5"));
    link.SetStatus(StatusRecord(1, 0x0009, 1));
    ASSERT_TRUE(engine.StartCommThread());
    ASSERT_TRUE(WaitForEnd());

    EXPECT_FALSE(engine.CameraSupported());
    EXPECT_EQ(engine.CloseRequest(), kCloseNewerProtocol);
    ASSERT_EQ(window.Notices().size(), 1u);
    EXPECT_EQ(window.Notices()[0].stringId, 10204);
    EXPECT_EQ(window.Notices()[0].autoCloseMs, 5000u);
    EXPECT_FALSE(window.Enables().back());
    EXPECT_TRUE(log.Has(1, "+++ error code = 5 at CMainDlg::GetCameraStatus +++"));
    EXPECT_EQ(CountPosted(kTargetMainWindow, kMsgCameraStateChanged), 1);
    EXPECT_EQ(Messages().back().wParam, 0u);
    // The program stays open.
    EXPECT_EQ(CountPosted(kTargetMainWindow, kWmClose), 0);
    // Never state 2, 3 or 4: no record, no status, no capture step.
    EXPECT_TRUE(FetchCalls().empty());
    EXPECT_EQ(link.CountCalls("GetCamStatus") + link.CountCalls("GetCamStatus2"), 0);
    EXPECT_EQ(steps.captureStatusRuns.load() + steps.transferRuns.load(), 0);
    EXPECT_EQ(link.CountCalls("ReleaseDevInfo"), 1);
    EXPECT_EQ(engine.CommState(), kCommStopped);
}

TEST_F(EngineThread, UnreadableConfigurationEndsTheLinkAndClosesTheProgram) {
    link.FailConfig(true);
    ASSERT_TRUE(engine.StartCommThread());
    ASSERT_TRUE(WaitForEnd());

    EXPECT_EQ(link.CountCalls("GetCamConfigEx"), 5);
    EXPECT_EQ(log.Count(2, "enter CMainDlg::ResetCommStatus"), 5);
    EXPECT_EQ(
        log.Count(1, "+++ Could not Get CamConfig hr=0x80004005 at CMainDlg::GetCameraStatus +++"),
        5);
    EXPECT_TRUE(log.Has(1, "+++ error code = 4 at CMainDlg::GetCameraStatus +++"));
    ASSERT_EQ(window.Notices().size(), 1u);
    EXPECT_EQ(window.Notices()[0].stringId, 10203);
    EXPECT_EQ(window.Notices()[0].autoCloseMs, 5000u);
    EXPECT_EQ(CMainEngine::StatusFailureCount(), 1);
    // Close request 0 with nothing pending: WM_CLOSE to the main window, request done.
    EXPECT_EQ(CountPosted(kTargetMainWindow, kWmClose), 1);
    EXPECT_EQ(engine.CloseRequest(), kCloseNone);
    EXPECT_TRUE(FetchCalls().empty());
}

TEST_F(EngineThread, EveryResetAttemptForgetsTheLastCaptureStatus) {
    // Each attempt starts from nothing of the previous link, the capture
    // status record included: once for a link that opens, five times for
    // one whose configuration never comes.
    for (bool fails : {false, true}) {
        SCOPED_TRACE(fails);
        steps.lastStatusClears = 0;
        link.FailConfig(fails);
        ASSERT_TRUE(engine.StartCommThread());
        if (fails) {
            ASSERT_TRUE(WaitForEnd());
            EXPECT_EQ(steps.lastStatusClears.load(), 5);
        } else {
            ASSERT_TRUE(WaitUntil([&] { return engine.LinkReady(); }));
            EXPECT_EQ(steps.lastStatusClears.load(), 1);
            engine.StopCommThread();
        }
    }
}

TEST_F(EngineThread, TheNoticeIsShownForItsTimeBeforeTheProgramCloses) {
    link.FailConfig(true);
    window.openBoxOnShow = true;
    window.boxAutoClose = 5000;
    ASSERT_TRUE(engine.StartCommThread());
    ASSERT_TRUE(WaitUntil([&] { return !window.Notices().empty(); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    // The box is up: the thread waits with the close.
    EXPECT_TRUE(engine.ThreadRunning());
    EXPECT_EQ(CountPosted(kTargetMainWindow, kWmClose), 0);
    window.boxOpen = false;  // its time ran out
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(CountPosted(kTargetMainWindow, kWmClose), 1);
}

TEST_F(EngineThread, StopIsNotHeldUpByAnOpenNotice) {
    link.FailConfig(true);
    window.openBoxOnShow = true;
    window.boxAutoClose = 5000;
    ASSERT_TRUE(engine.StartCommThread());
    ASSERT_TRUE(WaitUntil([&] { return !window.Notices().empty(); }));
    EXPECT_TRUE(engine.StopCommThread());
    EXPECT_FALSE(engine.ThreadRunning());
}

TEST_F(EngineThread, QueuedCommandsReachTheCameraInOrder) {
    engine.QueueCommand(Setting(kCmdSetDataGroup2, 0x01, 0x00, 2));      // drive mode
    engine.QueueCommand(Setting(kCmdSetDataGroup1, 0x01, 0x00, 0x1FF));  // low byte only
    engine.QueueCommand(Extended(kCmdSetDataGroup5, 0x02, 0x00, {0x10, 0x27}));
    engine.QueueCommand(Setting(kCmdSetDataGroup6, 0x01, 0x00, 1));
    engine.QueueCommand(Setting(kCmdSetDataGroup4, 0x00, 0x00, 0));
    engine.QueueCommand(Shutter(1));
    engine.QueueCommand(Clock());
    engine.QueueCommand(Setting(0x9999, 0, 0, 0));  // unknown: taken, nothing sent
    engine.QueueCommand(Setting(kCmdSetDataGroup3, 0x10, 0x00, 4));
    ASSERT_TRUE(engine.StartCommThread());
    ASSERT_TRUE(
        WaitUntil([&] { return engine.QueuedCommandCount() == 0 && link.Sets().size() >= 8; }));

    auto sets = link.Sets();
    ASSERT_EQ(sets.size(), 8u);
    std::vector<std::string> order;
    for (const auto& s : sets) order.push_back(s.what);
    EXPECT_EQ(order, (std::vector<std::string>{"SetDataGroup2", "SetDataGroup1", "SetDataGroup5",
                                               "SetDataGroup6", "SetDataGroup4", "Snap",
                                               "ClockAdjust", "SetDataGroup3"}));
    auto prefix = [](const std::vector<uint8_t>& r, size_t n) {
        return std::vector<uint8_t>(r.begin(), r.begin() + n);
    };
    EXPECT_EQ(prefix(sets[0].record, 5), (std::vector<uint8_t>{3, 0x01, 0x00, 2, 0}));
    EXPECT_EQ(prefix(sets[1].record, 5), (std::vector<uint8_t>{3, 0x01, 0x00, 0xFF, 0}));
    EXPECT_EQ(prefix(sets[2].record, 6), (std::vector<uint8_t>{4, 0x02, 0x00, 0x10, 0x27, 0}));
    EXPECT_EQ(prefix(sets[3].record, 4), (std::vector<uint8_t>{3, 0x01, 0x00, 1}));
    EXPECT_EQ(sets[5].record, (std::vector<uint8_t>{2, 1, 1, 0}));
    EXPECT_EQ(sets[6].record, (std::vector<uint8_t>{6, 30, 15, 10, 24, 12, 26, 0}));
    // Every byte after the request is 0, up to the end of what the export sends.
    for (const auto& s : sets) {
        if (s.what.rfind("SetDataGroup", 0) != 0) continue;
        size_t used = 1 + s.record[0];
        for (size_t i = used; i < s.record.size(); ++i)
            EXPECT_EQ(s.record[i], 0) << s.what << " byte " << i;
    }

    EXPECT_TRUE(log.Has(5, "--- SetDataGroup2 Field1=0x1, Field2=0x0, val=0x2"));
    EXPECT_TRUE(log.Has(5, "--- SetDataGroup1 Field1=0x1, Field2=0x0, val=0x1ff"));
    EXPECT_TRUE(log.Has(5, "--- SetDataGroup5ex Field1=0x2, Field2=0x0"));
    EXPECT_TRUE(log.Has(5, "--- ZR4_Snap OK count=1"));
    EXPECT_TRUE(log.Has(5, "--- ZR4_ClockAdjust OK"));
}

TEST_F(EngineThread, FailedCommandsAreLoggedAndDropped) {
    link.SetWriteResult(kFail);
    engine.QueueCommand(Setting(kCmdSetDataGroup2, 0x01, 0x00, 2));
    engine.QueueCommand(Extended(kCmdSetDataGroup6, 0x20, 0x00, {1, 2, 3, 4, 5}));
    engine.QueueCommand(Shutter(2));
    engine.QueueCommand(Clock());
    ASSERT_TRUE(engine.StartCommThread());
    ASSERT_TRUE(WaitUntil([&] { return link.Sets().size() >= 4; }));
    ASSERT_TRUE(WaitUntil([&] { return link.CountCalls("GetCamStatus") >= 3; }));
    EXPECT_EQ(link.Sets().size(), 4u);  // nothing retried
    EXPECT_TRUE(
        log.Has(1, "*** SetDataGroup2 failed hr=0x80004005 Field1=0x1, Field2=0x0, val=0x2 ***"));
    EXPECT_TRUE(log.Has(1, "*** SetDataGroup6ex failed hr=0x80004005 Field1=0x20, Field2=0x0 ***"));
    EXPECT_TRUE(log.Has(1, "--- ZR4_Snap failed hr=0x80004005"));
    EXPECT_TRUE(log.Has(1, "+++ Could not Snap hr=0x80004005 at CMainDlg::ExecCommand +++"));
    EXPECT_TRUE(log.Has(1, "--- ZR4_ClockAdjust failed hr=0x80004005"));
    EXPECT_TRUE(
        log.Has(1, "+++ Could not Set ClockAdjust hr=0x80004005 at CMainDlg::ExecCommand +++"));
}

TEST_F(EngineThread, ExtendedDataLengthIsHeldToTheDataBlock) {
    // A length above 32 would read past the command's data and write past
    // the request: it is held to 32 bytes.
    tag_CAM_COMMAND c = Extended(kCmdSetDataGroup6, 0x20, 0x00, std::vector<uint8_t>(32, 0xAB));
    c.payload.setting.value = 200;
    engine.QueueCommand(c);
    tag_CAM_COMMAND negative = Extended(kCmdSetDataGroup5, 0x04, 0x00, {9, 9});
    negative.payload.setting.value = -5;
    engine.QueueCommand(negative);
    ASSERT_TRUE(engine.StartCommThread());
    ASSERT_TRUE(WaitUntil([&] { return link.Sets().size() >= 2; }));
    auto sets = link.Sets();
    EXPECT_EQ(sets[0].record[0], 34);
    EXPECT_EQ(sets[0].record[3 + 31], 0xAB);
    EXPECT_EQ(sets[0].record[3 + 32], 0);
    EXPECT_EQ(sets[1].record[0], 2);  // no data bytes
    EXPECT_EQ(sets[1].record[3], 0);
}

TEST_F(EngineThread, ExecCommandWithoutALinkOrWindow) {
    // Queued while no thread runs: the command waits in the queue.
    engine.QueueCommand(Setting(kCmdSetDataGroup2, 0x01, 0x00, 2));
    EXPECT_EQ(engine.QueuedCommandCount(), 1u);
    // No window handle: nothing is taken.
    window.hasWindow = false;
    EXPECT_FALSE(engine.ExecCommand());
    EXPECT_EQ(engine.QueuedCommandCount(), 1u);
    // State 0: the head command is taken out and dropped.
    window.hasWindow = true;
    EXPECT_FALSE(engine.ExecCommand());
    EXPECT_EQ(engine.QueuedCommandCount(), 0u);
    EXPECT_TRUE(link.Sets().empty());
    // Empty queue.
    EXPECT_FALSE(engine.ExecCommand());
}

TEST_F(EngineThread, StartingTwiceIsRefused) {
    ASSERT_TRUE(engine.StartCommThread());
    EXPECT_FALSE(engine.StartCommThread());
    EXPECT_TRUE(log.Has(4, "+++ Already Camera thread kicked at CMainDlg::StartCommThread +++"));
    EXPECT_EQ(window.panelResets.load(), 1);
    ASSERT_TRUE(WaitUntil([&] { return engine.LinkReady(); }));
    EXPECT_EQ(log.Count(4, "&&& enter TH_StartCameraCommunication &&&"), 1);
    EXPECT_EQ(link.CountCalls("InitPTPMode"), 1);
}

TEST_F(EngineThread, StopWaitsForARunningTransferStep) {
    link.SetStatus(StatusRecord(1, 0x0008, 0x1));
    std::atomic<bool> inTransfer{false};
    std::atomic<int> stateAtEndOfStep{-1};
    steps.SetCaptureBody([&] { engine.SetCommStateIfRunning(kCommTransfer); });
    steps.SetTransferBody([&] {
        inTransfer = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        stateAtEndOfStep = engine.CommState();
    });
    ASSERT_TRUE(engine.StartCommThread());
    ASSERT_TRUE(WaitUntil([&] { return inTransfer.load(); }));
    EXPECT_TRUE(engine.StopCommThread());
    // The stop let the step finish before it set the state to 0.
    EXPECT_EQ(stateAtEndOfStep.load(), kCommTransfer);
    EXPECT_FALSE(engine.ThreadRunning());
    EXPECT_EQ(engine.CommState(), kCommStopped);
    EXPECT_TRUE(log.Has(4, "enter CMainDlg::StopCommThread"));
    EXPECT_TRUE(log.Has(4, "&&& exit TH_StartCameraCommunication &&&"));
    EXPECT_GE(window.clears.load(), 1);
    EXPECT_GE(window.resets.load(), 1);
}

TEST_F(EngineThread, StopDuringAStatusPollThatBlocks) {
    // A status read that takes its time (a slow camera): the stop still ends
    // the thread, and a 0 it set is not overwritten by the poll.
    std::atomic<bool> slow{false};
    link.OnCall([&](const std::string& name) {
        if (name == "GetCamStatus" && slow.load())
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
    });
    link.SetStatus(StatusRecord(1, 0x0001, 0));
    ASSERT_TRUE(engine.StartCommThread());
    ASSERT_TRUE(WaitUntil([&] { return engine.LinkReady(); }));
    slow = true;
    ASSERT_TRUE(WaitUntil([&] { return link.CountCalls("GetCamStatus") >= 2; }));
    EXPECT_TRUE(engine.StopCommThread());
    EXPECT_FALSE(engine.ThreadRunning());
    EXPECT_EQ(engine.CommState(), kCommStopped);
}

TEST_F(EngineThread, LinkThatCannotOpen) {
    struct Case {
        int failures;
        bool opens;
    } cases[] = {{5, false}, {4, true}};
    for (const auto& c : cases) {
        LogCapture caseLog;
        FakeCameraLink caseLink;
        QueuedMessagePort casePort;
        FakeMainWindow caseWindow;
        CMainEngine e(caseLink, casePort, caseWindow, camera);
        caseLink.FailInit(c.failures);
        ASSERT_TRUE(e.StartCommThread());
        if (c.opens) {
            ASSERT_TRUE(WaitUntil([&] { return e.LinkReady(); })) << c.failures;
            e.StopCommThread();
        } else {
            ASSERT_TRUE(WaitUntil([&] { return !e.ThreadRunning(); })) << c.failures;
            EXPECT_TRUE(
                caseLog.Has(1, "+++ error code = 1 at CMainDlg::StartCameraCommunication +++"));
            EXPECT_EQ(caseLink.CountCalls("GetCamConfigEx"), 0);
            EXPECT_EQ(caseLink.CountCalls("CloseApplication"), 0);
            EXPECT_FALSE(caseWindow.Enables().back());
            EXPECT_EQ(e.CommState(), kCommStopped);
        }
        EXPECT_EQ(caseLink.CountCalls("InitPTPMode"), 5 - (c.opens ? 0 : 0)) << c.failures;
        EXPECT_EQ(caseLink.CountCalls("ReleaseDevInfo"), 1) << c.failures;
        EXPECT_FALSE(e.LinkReady());
    }
}

TEST_F(EngineThread, PollsDuringADeviceChangeCountUntilTheLinkEnds) {
    engine.SetDeviceChangeFlag(true);
    ASSERT_TRUE(engine.StartCommThread());
    // Every poll gives up while the device change is handled; the counter grows.
    ASSERT_TRUE(WaitUntil([&] { return CMainEngine::StatusFailureCount() >= 12; }));
    EXPECT_TRUE(engine.ThreadRunning());
    EXPECT_EQ(link.CountCalls("GetCamConfigEx"), 0);
    EXPECT_EQ(link.CountCalls("GetCamStatus"), 0);
    EXPECT_GE(log.Count(1, "+++ error code = 1 at CMainDlg::GetCameraStatus +++"), 12);
    // The handling ends; the next poll finds the counter above 10 and ends the link.
    engine.SetDeviceChangeFlag(false);
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(log.Count(1, "+++ error code = 2 at CMainDlg::GetCameraStatus +++"), 1);
    EXPECT_EQ(CMainEngine::StatusFailureCount(), 0);
    EXPECT_EQ(link.CountCalls("GetCamConfigEx"), 0);
    EXPECT_EQ(engine.CommState(), kCommStopped);
    // The poll result stayed true: the link ended through the state alone.
    EXPECT_EQ(CountPosted(kTargetMainWindow, kMsgCameraStateChanged), 0);
}

TEST_F(EngineThread, StatusReadFailuresKeepTheLink) {
    for (int major : {3, 4}) {
        LogCapture caseLog;
        FakeCameraLink caseLink;
        QueuedMessagePort casePort;
        FakeMainWindow caseWindow;
        CMainEngine e(caseLink, casePort, caseWindow, camera);
        caseLink.SetConfig(ConfigRecord(static_cast<uint16_t>(major), 0, "KV"));
        caseLink.FailStatus(3);
        const char* call = major == 4 ? "GetCamStatus2" : "GetCamStatus";
        ASSERT_TRUE(e.StartCommThread());
        ASSERT_TRUE(WaitUntil([&] { return caseLink.CountCalls(call) >= 6; })) << major;
        EXPECT_TRUE(e.ThreadRunning());
        std::string line = std::string("+++ Could not Get ") +
                           (major == 4 ? "GetCamStatus2" : "GetCamStatus") +
                           " hr=0x80004005 at CMainDlg::GetCameraStatus +++";
        EXPECT_EQ(caseLog.Count(1, line), 3) << major;
        EXPECT_EQ(caseLog.Count(1, std::string("+++ error code = ") + (major == 4 ? "51" : "50") +
                                       " at CMainDlg::GetCameraStatus +++"),
                  3)
            << major;
        e.StopCommThread();
    }
}

// Counts the retry waits the thread asks of the engine clock.
class CountingClock final : public kvx::Clock {
public:
    uint32_t NowMs() override { return inner.NowMs(); }
    void SleepMs(uint32_t ms) override {
        if (ms == 300) ++retryWaits;
        inner.SleepMs(ms);
    }
    kvx::ScaledClock inner{100};
    std::atomic<int> retryWaits{0};
};

TEST_F(EngineThread, CameraThatStopsAnsweringEndsTheLinkWithoutSpinning) {
    for (int major : {3, 4}) {
        auto clock = std::make_shared<CountingClock>();
        kvx::SetClock(clock);
        LogCapture caseLog;
        FakeCameraLink caseLink;
        QueuedMessagePort casePort;
        casePort.Register(kTargetMainWindow);
        FakeMainWindow caseWindow;
        CMainEngine e(caseLink, casePort, caseWindow, camera);
        caseLink.SetConfig(ConfigRecord(static_cast<uint16_t>(major), 0, "KV"));
        caseLink.FailStatus(1 << 30);  // dead for good
        const char* call = major == 4 ? "GetCamStatus2" : "GetCamStatus";
        ASSERT_TRUE(e.StartCommThread());
        ASSERT_TRUE(WaitUntil([&] { return !e.ThreadRunning(); })) << major;
        // Ten retries after the first failure, each after a wait on the clock.
        EXPECT_EQ(caseLink.CountCalls(call), 11) << major;
        EXPECT_EQ(clock->retryWaits.load(), 10) << major;
        EXPECT_EQ(caseLog.Count(1, std::string("+++ status unreadable 11 times in a row, link ends "
                                               "at CMainDlg::GetCameraStatus +++")),
                  1)
            << major;
        EXPECT_EQ(caseLink.CountCalls("ReleaseDevInfo"), 1) << major;
        EXPECT_FALSE(e.LinkReady());
        bool toldDisabled = false;
        for (const auto& m : casePort.Drain())
            if (m.message == kMsgCameraStateChanged && m.wParam == 0) toldDisabled = true;
        EXPECT_TRUE(toldDisabled) << "the status line learns the camera is gone";
        e.StopCommThread();
    }
    kvx::SetClock(std::make_shared<kvx::ScaledClock>(100));
}

// The clock of a thread that stops a link: it notes each wait asked of it
// and whether the link had already ended then, and the first wait lets a
// camera read that holds the communication thread go. On the window thread
// only such waits keep the window turning, so the stop must wait for the
// thread's end through them, not past them.
class StopperClock final : public kvx::Clock {
public:
    uint32_t NowMs() override { return inner.NowMs(); }
    void SleepMs(uint32_t ms) override {
        if (std::this_thread::get_id() == stopper.load()) {
            std::lock_guard guard(m);
            waits.push_back({ms, link->CountCalls("ReleaseDevInfo") > 0});
            readMayEnd = true;
            cv.notify_all();
        }
        inner.SleepMs(ms);
    }
    struct Wait {
        uint32_t ms;
        bool linkEnded;
    };
    kvx::ScaledClock inner{100};
    std::atomic<std::thread::id> stopper{};
    FakeCameraLink* link = nullptr;
    std::mutex m;
    std::condition_variable cv;
    bool readMayEnd = false;
    std::vector<Wait> waits;
};

TEST_F(EngineThread, StopWaitsForAThreadInACameraReadThroughTheClock) {
    auto clock = std::make_shared<StopperClock>();
    clock->link = &link;
    kvx::SetClock(clock);
    link.SetConfig(ConfigRecord(3, 2, "KV-3 Body"));
    ASSERT_TRUE(engine.StartCommThread());
    ASSERT_TRUE(WaitUntil([&] { return link.CountCalls("GetCamStatus") >= 2; }));
    std::atomic<bool> held{false};
    link.OnCall([&](const std::string& name) {
        if (name != "GetCamStatus" || held.exchange(true)) return;
        std::unique_lock lock(clock->m);
        clock->cv.wait(lock, [&] { return clock->readMayEnd; });
    });
    ASSERT_TRUE(WaitUntil([&] { return held.load(); }));
    clock->stopper = std::this_thread::get_id();
    engine.StopCommThread();
    clock->stopper = std::thread::id{};
    EXPECT_FALSE(engine.ThreadRunning());
    std::lock_guard guard(clock->m);
    ASSERT_FALSE(clock->waits.empty());
    // The read ended in the stop's first wait; by its longest wait (the
    // settling after the end) the link had ended.
    const auto longest = std::max_element(
        clock->waits.begin(), clock->waits.end(),
        [](const StopperClock::Wait& a, const StopperClock::Wait& b) { return a.ms < b.ms; });
    EXPECT_TRUE(longest->linkEnded) << "the stop waited for the thread outside the clock";
    kvx::SetClock(std::make_shared<kvx::ScaledClock>(100));
}

TEST_F(EngineThread, ChangeFlagsCountOnlyInStates0135) {
    struct Case {
        int16_t state;
        bool processed;
    } cases[] = {{0, true}, {1, true}, {2, false}, {3, true}, {4, false}, {5, true}, {7, false}};
    for (const auto& c : cases) {
        FakeCameraLink caseLink;
        QueuedMessagePort casePort;
        FakeMainWindow caseWindow;
        CMainEngine e(caseLink, casePort, caseWindow, camera);
        FakeCaptureSteps caseSteps(e);
        e.SetCaptureSteps(&caseSteps);
        caseLink.SetStatus(StatusRecord(c.state, 0x0002, 0));
        ASSERT_TRUE(e.StartCommThread());
        ASSERT_TRUE(WaitUntil([&] { return caseLink.CountCalls("GetCamStatus") >= 5; }));
        // DataGroup2 once at link time, then once per poll when processed.
        if (c.processed) {
            EXPECT_GE(caseLink.CountCalls("GetDataGroup2"), 3) << c.state;
        } else {
            EXPECT_EQ(caseLink.CountCalls("GetDataGroup2"), 1) << c.state;
        }
        e.StopCommThread();

        // Capture status changes follow the same rule.
        FakeCameraLink link2;
        CMainEngine e2(link2, casePort, caseWindow, camera);
        FakeCaptureSteps steps2(e2);
        e2.SetCaptureSteps(&steps2);
        link2.SetStatus(StatusRecord(c.state, 0x0008, 0x4));
        ASSERT_TRUE(e2.StartCommThread());
        ASSERT_TRUE(WaitUntil([&] { return link2.CountCalls("GetCamStatus") >= 5; }));
        EXPECT_EQ(steps2.captureStatusRuns.load() > 0, c.processed) << c.state;
        if (c.processed) {
            EXPECT_EQ(steps2.lastBits.load(), 0x4u);
        }
        e2.StopCommThread();
    }
}

TEST_F(EngineThread, CameraStateChangesArePostedToTheOpenWindows) {
    port.Register(kTargetWhiteBalance);
    link.QueueStatus(StatusRecord(1, 0, 0));
    link.QueueStatus(StatusRecord(1, 0, 0));
    link.QueueStatus(StatusRecord(2, 0, 0));
    link.SetStatus(StatusRecord(0, 0, 0));
    ASSERT_TRUE(engine.StartCommThread());
    ASSERT_TRUE(WaitUntil([&] { return link.CountCalls("GetCamStatus") >= 5; }));
    std::vector<uintptr_t> main, wb;
    for (const auto& m : Messages()) {
        if (m.message != kMsgCameraStateChanged) continue;
        (m.target == kTargetMainWindow ? main : wb).push_back(m.wParam);
    }
    EXPECT_EQ(main, (std::vector<uintptr_t>{1, 0, 1}));
    EXPECT_EQ(wb, main);
    EXPECT_EQ(engine.CameraState(), 0);
}

TEST_F(EngineThread, DestinationIsSentWhenTheCameraIsNextIdle) {
    engine.SetCaptureDestination(true, true);
    link.SetStatus(StatusRecord(4, 0, 0));
    ASSERT_TRUE(engine.StartCommThread());
    ASSERT_TRUE(WaitUntil([&] { return engine.LinkReady(); }));
    ASSERT_TRUE(WaitUntil([&] { return link.CountCalls("GetCamStatus") >= 3; }));
    EXPECT_TRUE(link.Sets().empty());  // not at link start
    engine.ClearDestinationSent();     // a capture result arrived
    ASSERT_TRUE(WaitUntil([&] { return link.CountCalls("GetCamStatus") >= 6; }));
    EXPECT_TRUE(link.Sets().empty());  // camera busy (state 4)
    link.SetStatus(StatusRecord(1, 0, 0));
    ASSERT_TRUE(WaitUntil([&] { return !link.Sets().empty(); }));
    ASSERT_TRUE(WaitUntil([&] { return link.CountCalls("GetCamStatus") >= 12; }));
    auto sets = link.Sets();
    ASSERT_EQ(sets.size(), 1u);  // once per cleared flag
    EXPECT_EQ(sets[0].what, "SetDataGroup3");
    EXPECT_EQ(std::vector<uint8_t>(sets[0].record.begin(), sets[0].record.begin() + 4),
              (std::vector<uint8_t>{3, 0x00, 0x80, 3}));
    EXPECT_TRUE(engine.DestinationSent());
}

TEST_F(EngineThread, ExtendedCameraIsToldTheProgramCloses) {
    ASSERT_TRUE(engine.StartCommThread());
    ASSERT_TRUE(WaitUntil([&] { return engine.LinkReady(); }));
    engine.SetExtendedCamera(true);
    engine.StopCommThread();
    auto calls = link.Calls();
    auto close = std::find(calls.begin(), calls.end(), "CloseApplication");
    auto release = std::find(calls.begin(), calls.end(), "ReleaseDevInfo");
    ASSERT_NE(close, calls.end());
    ASSERT_NE(release, calls.end());
    EXPECT_LT(close, release);
}

TEST_F(EngineThread, CloseRequestWaitsForPendingPicturesAndTheNoticeBox) {
    port.Register(kTargetMessageBox);
    ASSERT_TRUE(engine.StartCommThread());
    ASSERT_TRUE(WaitUntil([&] { return engine.LinkReady(); }));

    steps.pending = 3;
    engine.SetCloseRequest(kClosePicturesPending);
    ASSERT_TRUE(WaitUntil([&] { return link.CountCalls("GetCamStatus") >= 5; }));
    EXPECT_EQ(CountPosted(kTargetMainWindow, kWmClose), 0);

    // Last picture done, but the notice box still runs its timer.
    window.boxOpen = true;
    window.boxAutoClose = 3000;
    steps.pending = 0;
    ASSERT_TRUE(WaitUntil([&] { return link.CountCalls("GetCamStatus") >= 10; }));
    EXPECT_EQ(CountPosted(kTargetMainWindow, kWmClose), 0);

    // The box's timer ran out while pictures were pending: it stays open
    // without a timer and the thread closes it with the program.
    window.boxAutoClose = 0;
    ASSERT_TRUE(WaitUntil([&] { return CountPosted(kTargetMainWindow, kWmClose) == 1; }));
    EXPECT_EQ(CountPosted(kTargetMessageBox, kWmClose), 1);
    EXPECT_EQ(engine.CloseRequest(), kCloseNone);
    ASSERT_TRUE(WaitUntil([&] { return link.CountCalls("GetCamStatus") >= 15; }));
    EXPECT_EQ(CountPosted(kTargetMainWindow, kWmClose), 1);  // once
}

TEST_F(EngineThread, LiveViewFramesPaceTheLoopAndAFailedFetchEndsTheLink) {
    FakeLiveView lv;
    lv.failAt = 40;
    engine.SetLiveViewStep(&lv);
    port.Register(kTargetLiveView);
    link.SetConfig(ConfigRecord(4, 0, "KV-4"));
    ASSERT_TRUE(engine.StartCommThread());
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(lv.starts.load(), 1);
    EXPECT_EQ(lv.refreshes.load(), 1);
    EXPECT_EQ(lv.frames.load(), 40);
    // With live view the status is polled after every fourth due tick.
    int polls = link.CountCalls("GetCamStatus2");
    EXPECT_GE(polls, 5);
    EXPECT_LE(polls, 11);
    std::vector<uintptr_t> available;
    for (const auto& m : Messages()) {
        if (m.target == kTargetLiveView && m.message == kMsgLiveViewAvailable)
            available.push_back(m.wParam);
    }
    EXPECT_EQ(available, (std::vector<uintptr_t>{1, 0}));
    EXPECT_EQ(link.CountCalls("ReleaseDevInfo"), 1);
}

TEST_F(EngineThread, AutofocusOverrideActivatesOnce) {
    EXPECT_TRUE(engine.ActivateAutofocusOverride());
    EXPECT_EQ(engine.GetStatusOverride(), kOverrideAutofocus);
    EXPECT_FALSE(engine.ActivateAutofocusOverride());
    engine.SetStatusOverride(kOverrideCardFull);
    EXPECT_FALSE(engine.ActivateAutofocusOverride());
    EXPECT_EQ(engine.GetStatusOverride(), kOverrideCardFull);
    int posts = 0;
    for (const auto& m : Messages()) posts += m.message == kMsgCameraStateChanged && m.wParam == 0;
    EXPECT_EQ(posts, 1);
}

// Records the fixed waits (1,000 ms and more) the engine asks of its clock.
class WaitRecordingClock final : public kvx::Clock {
public:
    uint32_t NowMs() override { return inner.NowMs(); }
    void SleepMs(uint32_t ms) override {
        if (ms >= 1000) {
            std::lock_guard g(lock);
            waits.push_back(ms);
        }
        inner.SleepMs(ms);
    }
    std::vector<uint32_t> Waits() {
        std::lock_guard g(lock);
        return waits;
    }
    kvx::ScaledClock inner{100};
    std::mutex lock;
    std::vector<uint32_t> waits;
};

TEST_F(EngineThread, QuickWaitsLeaveOutOnlyTheWaitsACameraAlreadyAttachedDoesNotNeed) {
    struct Case {
        const char* what;
        CMainEngine::QuickWaits quick;
        int initFailures;
        std::vector<uint32_t> waits;  // in the order the engine asks for them
    } cases[] = {
        {"the window keeps them all", {}, 0, {2000, 1000, 1000}},
        {"attached before the start, opened at once", {true, true, true}, 0, {}},
        // A camera that does not open at once still gets its 1 s between
        // attempts, and none after the attempt that worked.
        {"opened at the second attempt", {true, true, true}, 1, {1000}},
    };
    for (const auto& c : cases) {
        auto clock = std::make_shared<WaitRecordingClock>();
        kvx::SetClock(clock);
        FakeCameraLink caseLink;
        QueuedMessagePort casePort;
        casePort.Register(kTargetMainWindow);
        FakeMainWindow caseWindow;
        CMainEngine e(caseLink, casePort, caseWindow, camera);
        caseLink.SetConfig(ConfigRecord(4, 0, "KV"));
        caseLink.FailInit(c.initFailures);
        e.SetQuickWaits(c.quick);
        ASSERT_TRUE(e.StartCommThread()) << c.what;
        ASSERT_TRUE(WaitUntil([&] { return e.LinkReady(); })) << c.what;
        // The stop's settle follows the end of the thread's sequence.
        e.StopCommThread();
        EXPECT_EQ(caseLink.CountCalls("ReleaseDevInfo"), 1) << c.what;
        std::vector<uint32_t> fixed;
        for (uint32_t w : clock->Waits())
            if (w == 2000 || w == 1000) fixed.push_back(w);
        EXPECT_EQ(fixed, c.waits) << c.what;
        // The next start follows an arrival: its 2 s are back.
        auto later = std::make_shared<WaitRecordingClock>();
        kvx::SetClock(later);
        ASSERT_TRUE(e.StartCommThread()) << c.what;
        EXPECT_FALSE(later->Waits().empty()) << c.what;
        EXPECT_EQ(later->Waits().front(), 2000u) << c.what;
        e.StopCommThread();
    }
    kvx::SetClock(std::make_shared<kvx::ScaledClock>(100));
}
