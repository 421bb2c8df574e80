// Capture status: which pictures are read, in which order, what each status
// code makes the program do, the table's bounds and the pending count.
#include <gtest/gtest.h>

#include "engine/message_port.h"
#include "engine/message_port.h"
#include "transfer_fixture.h"

namespace kvx::engine::test {
namespace {

std::vector<uint8_t> Record(int id, uint16_t code, uint8_t flags) {
    std::vector<uint8_t> r = {6,
                              static_cast<uint8_t>(id),
                              0,
                              1,
                              static_cast<uint8_t>(code),
                              static_cast<uint8_t>(code >> 8),
                              flags,
                              0};
    uint8_t sum = 0;
    for (int i = 0; i <= 6; ++i) sum = static_cast<uint8_t>(sum + r[i]);
    r[7] = sum;
    return r;
}

class CaptureStatusTest : public TransferTest {
protected:
    void SetUp() override {
        TransferTest::SetUp();
        host.state = 4;
        host.major = 3;
    }
};

TEST_F(CaptureStatusTest, EachCodeHasItsAction) {
    struct Case {
        uint16_t code;
        bool transfer, result, clear;
    };
    const Case cases[] = {
        {5, true, false, false},       {0x6001, false, true, true},   {0x6002, false, true, true},
        {0x6003, false, true, true},   {0x6004, false, true, true},   {0x6005, false, true, true},
        {0x8002, false, true, true},   {0x8001, false, false, true},  {0x8003, false, false, true},
        {0x8004, false, false, true},  {0x0000, false, false, false}, {0x6006, false, false, false},
        {0x8005, false, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        host = FakeHost{};
        host.state = 4;
        host.major = 3;
        camera.cleared.clear();
        camera.captureStatus[3] = Record(3, c.code, 0x02);
        transfer->SetPictureBits(1u << 3);
        transfer->OnUpdateCaptureStatus();

        EXPECT_EQ(host.state, c.transfer ? 3 : 1);
        if (c.result) {
            ASSERT_EQ(host.posted.size(), 2u);
            EXPECT_EQ(host.posted[0].target, kTargetMainWindow);
            EXPECT_EQ(host.posted[1].target, kTargetWhiteBalance);
            for (auto& p : host.posted) {
                EXPECT_EQ(p.msg, kWmUser + 106);
                EXPECT_EQ(p.wParam, c.code);
            }
        } else {
            EXPECT_TRUE(host.posted.empty());
        }
        EXPECT_EQ(camera.cleared, c.clear ? std::vector<int>{3} : std::vector<int>{});
        EXPECT_EQ(host.overrideCalls, c.code == 0x6001 ? 1 : 0);
        EXPECT_EQ(transfer->Table().Get(3).code, c.code);
    }
    EXPECT_TRUE(Logged("--- ClearImageDBSingle success ID=0x3"));
}

TEST_F(CaptureStatusTest, AutofocusFailureTwiceAsksForTheOverrideEachTime) {
    // The engine turns the override on only while none is active, and posts
    // the state message only then; both results are still reported.
    camera.captureStatus[0] = Record(0, 0x6001, 0);
    transfer->SetPictureBits(1);
    transfer->OnUpdateCaptureStatus();
    transfer->OnUpdateCaptureStatus();
    EXPECT_EQ(host.overrideCalls, 2);
    EXPECT_TRUE(host.overrideActive);
    EXPECT_EQ(host.posted.size(), 4u);
}

TEST_F(CaptureStatusTest, BitsAreReadInAscendingOrderThenActedOn) {
    for (int id : {0, 5, 31}) camera.captureStatus[id] = Record(id, 0x8001, 0);
    transfer->SetPictureBits(0x80000021u);
    transfer->OnUpdateCaptureStatus();
    EXPECT_EQ(camera.captureStatusReads, (std::vector<int>{0, 5, 31}));
    EXPECT_EQ(camera.cleared, (std::vector<int>{0, 5, 31}));
    EXPECT_TRUE(Logged("enter CMainDlg::OnUpdateCaptureStatus, imageBits=0x80000021"));
    EXPECT_TRUE(Logged("--- 5: imageBits=0x80000021, bmask=0x20, CaptStatus=0x8001"));
    EXPECT_TRUE(Logged("--- GetCaptureStatus = 0x8001, Image ID=0x5, DBHead=0x0, DBTail=0x1"));
    EXPECT_TRUE(Logged("exit CMainDlg::OnUpdateCaptureStatus"));
    EXPECT_FALSE(Logged("Check sum error"));
}

TEST_F(CaptureStatusTest, IdListOfProtocolFourWithIdsBeyondTheTable) {
    host.major = 4;
    camera.captureStatus[9] = Record(9, 0x8003, 0x02);
    camera.captureStatus[70] = Record(70, 0x8002, 0x02);
    camera.captureStatus[2] = Record(2, 5, 0x02);
    const uint16_t ids[] = {9, 70, 2};
    transfer->SetPictureIdList(ids, 3);
    transfer->OnUpdateCaptureStatus();
    EXPECT_EQ(camera.captureStatusReads, (std::vector<int>{9, 70, 2}));
    // 70 has no table entry, but its result is still acted on.
    EXPECT_EQ(camera.cleared, (std::vector<int>{9, 70}));
    EXPECT_EQ(host.state, 3);
    EXPECT_EQ(transfer->Table().Get(70).code, 0);
    EXPECT_EQ(transfer->PendingPictureCount(), 2);  // 9 and 2
    EXPECT_TRUE(Logged("--- 1: CaptStatus=0x8002"));
    EXPECT_TRUE(Logged("--- 2: CaptStatus=0x5"));
}

TEST_F(CaptureStatusTest, IdListIsBounded) {
    host.major = 4;
    std::vector<uint16_t> ids(300);
    for (size_t i = 0; i < ids.size(); ++i) ids[i] = static_cast<uint16_t>(i);
    transfer->SetPictureIdList(ids.data(), static_cast<int>(ids.size()));
    transfer->OnUpdateCaptureStatus();
    EXPECT_EQ(camera.captureStatusReads.size(), 127u);
    camera.captureStatusReads.clear();
    transfer->SetPictureIdList(ids.data(), -1);
    transfer->OnUpdateCaptureStatus();
    EXPECT_TRUE(camera.captureStatusReads.empty());
}

TEST_F(CaptureStatusTest, UnreadableStatusKeepsThePreviousCodeAndActsOnItAgain) {
    camera.captureStatus[3] = Record(3, 0x8004, 0x02);
    transfer->SetPictureBits(1u << 3);
    transfer->OnUpdateCaptureStatus();
    camera.captureStatusFails[3] = KVX_E_FAIL;
    transfer->OnUpdateCaptureStatus();
    EXPECT_EQ(transfer->Table().Get(3).code, 0x8004);
    EXPECT_EQ(camera.cleared, (std::vector<int>{3, 3}));
    EXPECT_TRUE(
        Logged("+++ GetCaptureStatus failed ID=0x3 (hr=0x80004005) at "
               "CMainDlg::UpdateCaptureStatusSingle +++"));
}

TEST_F(CaptureStatusTest, WithoutTheChangeFlagTheTableIsActedOnUnread) {
    camera.captureStatus[3] = Record(3, 5, 0x02);
    transfer->SetPictureBits(1u << 3);
    transfer->OnUpdateCaptureStatus();
    host.state = 4;
    host.changeFlags = 0;
    camera.captureStatusReads.clear();
    transfer->OnUpdateCaptureStatus();
    EXPECT_TRUE(camera.captureStatusReads.empty());
    EXPECT_EQ(host.state, 3);
}

TEST_F(CaptureStatusTest, ChecksumMismatchIsOnlyLogged) {
    auto r = Record(3, 5, 0x02);
    EXPECT_EQ(r, (std::vector<uint8_t>{6, 3, 0, 1, 5, 0, 2, 0x11}));
    r[7] = 0x12;
    camera.captureStatus[3] = r;
    EXPECT_TRUE(transfer->UpdateCaptureStatusSingle(3));
    EXPECT_TRUE(Logged("--- GetCaptureStatus: Check sum error Calc-val=0x11, Cam-val=0x12"));
    EXPECT_EQ(transfer->Table().Get(3).code, 5);
    auto last = transfer->LastCaptureStatusRecord();
    EXPECT_EQ(std::vector<uint8_t>(last.begin(), last.end()), r);
}

TEST_F(CaptureStatusTest, NewLinkForgetsTheLastRecordButNotTheTable) {
    camera.captureStatus[3] = Record(3, 5, 0x02);
    ASSERT_TRUE(transfer->UpdateCaptureStatusSingle(3));
    ASSERT_NE(transfer->LastCaptureStatusRecord(), (std::array<uint8_t, 8>{}));
    transfer->ClearLastCaptureStatus();
    EXPECT_EQ(transfer->LastCaptureStatusRecord(), (std::array<uint8_t, 8>{}));
    // The table is cleared only when the camera goes or a transfer gives up.
    EXPECT_EQ(transfer->Table().Get(3).code, 5);
}

TEST(CaptureStatusTableTest, PendingCountAndBounds) {
    CCaptureStatusTable table;
    EXPECT_TRUE(table.Set(0, 5, 0x02));
    EXPECT_TRUE(table.Set(63, 0x8002, 0x03));
    EXPECT_TRUE(table.Set(10, 0x8002, 0x00));  // the camera no longer holds it
    EXPECT_TRUE(table.Set(11, 0, 0x02));       // no status
    EXPECT_FALSE(table.Set(64, 5, 0x02));
    EXPECT_FALSE(table.Set(-1, 5, 0x02));
    EXPECT_EQ(table.Get(64).code, 0);
    EXPECT_EQ(table.PendingCount(), 2);
    table.ClearCodes();
    EXPECT_EQ(table.PendingCount(), 0);
    EXPECT_EQ(table.Get(0).flags, 0x02);
}

}  // namespace
}  // namespace kvx::engine::test
