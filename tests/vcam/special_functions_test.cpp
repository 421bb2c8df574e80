// The camera's special functions as a host meets them: the values it accepts
// for bracketing, the ISO auto range and special bracketing, an auto
// bracketing series with its offsets, the custom white-balance measurement
// and its failures, and the clock the clock record sets.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "vcam/control_client.h"
#include "vcam/virtual_camera.h"
#include "vcam_fixture.h"
#include "vcam_host.h"

using kvx::vcam::ControlClient;
using kvx::vcam::VirtualCamera;
using kvx::vcam::VirtualCameraOptions;
using vcamtest::Answer;
using vcamtest::Host;
using vcamtest::U16;
using vcamtest::WithChecksum;

namespace {

constexpr uint16_t kOk = 0x2001;
constexpr uint16_t kRefused = 0x201D;
constexpr uint16_t kWriteOps[] = {0x9016, 0x9017, 0x9018, 0x9024, 0x9028, 0x902A};

class SpecialFunctionsTest : public vcamtest::VcamFixture {
protected:
    void SetUp() override {
        VcamFixture::SetUp();
        VirtualCameraOptions o = Options();
        o.controlSocket = true;
        o.destination = 2;
        cam_ = std::make_unique<VirtualCamera>(o);
        Open(*cam_, h_);
    }
    // One set request: count, Field1, Field2, the value bytes, zero-filled.
    uint16_t Set(int group, uint8_t f1, uint8_t f2, std::vector<uint8_t> value) {
        std::vector<uint8_t> r{uint8_t(value.size() + 2), f1, f2};
        r.insert(r.end(), value.begin(), value.end());
        r.resize(22, 0);
        return h_.Write(kWriteOps[group - 1], WithChecksum(r)).code;
    }
    uint16_t Release(uint8_t mode) { return h_.Write(0x901B, WithChecksum({2, mode, 1, 0})).code; }
    // Capture status of a picture id: status word and flags.
    std::pair<uint16_t, uint8_t> Capture(int id) {
        Answer a = h_.Read(0x9015, {uint32_t(id)});
        EXPECT_EQ(a.code, kOk);
        EXPECT_EQ(a.data.size(), 8u);
        return {U16(a.data, 4), a.data.at(6)};
    }
    void Clear(int id) {
        EXPECT_EQ(h_.Write(0x901C, std::vector<uint8_t>(8, 0), {uint32_t(id)}).code, kOk);
    }
    std::string Send(const std::string& command) {
        std::string answer, error;
        EXPECT_TRUE(ControlClient::Send(cam_->ControlSocketPath(), command, answer, error))
            << error;
        return answer;
    }
    uint8_t Field(int group, uint8_t f1, uint8_t f2) {
        auto v = cam_->DataGroupField(group, f1, f2);
        EXPECT_FALSE(v.empty());
        return v.empty() ? 0 : v[0];
    }
    std::unique_ptr<VirtualCamera> cam_;
    Host h_;
};

TEST_F(SpecialFunctionsTest, HostWritesAreCheckedAgainstWhatTheCameraOffers) {
    struct Case {
        const char* what;
        int group;
        uint8_t f1, f2;
        std::vector<uint8_t> value;
        uint16_t expect;
    };
    const Case cases[] = {
        {"bracketing amount 1.0 EV", 1, 0x40, 0, {8}, kOk},
        {"bracketing amount 3.0 EV", 1, 0x40, 0, {24}, kOk},
        {"bracketing amount off the third-stop grid", 1, 0x40, 0, {4}, kRefused},
        {"bracketing amount beyond 3.0 EV", 1, 0x40, 0, {27}, kRefused},
        {"bracketing setting 0 is no series", 1, 0x80, 0, {0}, kRefused},
        {"bracketing setting 6", 1, 0x80, 0, {6}, kOk},
        {"bracketing setting 7", 1, 0x80, 0, {7}, kRefused},
        {"ISO step 3", 4, 0x01, 0, {3}, kRefused},
        {"ISO upper limit 6400", 4, 0x02, 0, {80}, kOk},
        {"ISO upper limit off the grid", 4, 0x02, 0, {36}, kRefused},
        {"ISO upper limit at the lower one", 4, 0x02, 0, {32}, kRefused},
        {"ISO lower limit 400", 4, 0x04, 0, {48}, kOk},
        {"ISO lower limit above the upper one", 4, 0x04, 0, {80}, kRefused},
        {"QMD 2", 4, 0x08, 0, {2}, kRefused},
        {"special bracketing kind 2", 6, 0x01, 0, {2}, kOk},
        {"special bracketing kind 3", 6, 0x01, 0, {3}, kRefused},
        {"WB bracketing 5 shots", 6, 0x02, 0, {5}, kOk},
        {"WB bracketing 4 shots", 6, 0x02, 0, {4}, kRefused},
        {"WB bracketing amount 16", 6, 0x04, 0, {16}, kOk},
        {"WB bracketing amount 3", 6, 0x04, 0, {3}, kRefused},
        {"WB bracketing amount 18", 6, 0x04, 0, {18}, kRefused},
        {"WB bracketing axis M-G", 6, 0x08, 0, {2}, kOk},
        {"WB bracketing axis 3", 6, 0x08, 0, {3}, kRefused},
        {"frame 3 not used", 6, 0, 0x01, {0}, kOk},
        {"frame 3 Cinema", 6, 0, 0x01, {11}, kOk},
        {"frame 3 ZEL Classic Yellow (not offered)", 6, 0, 0x01, {12}, kRefused},
        {"frame 1 parameters", 6, 0x20, 0, {0xF6, 10, 2, 6, 10}, kOk},
        {"frame 1 contrast +12", 6, 0x20, 0, {12, 0, 0, 1, 1}, kRefused},
        {"frame 1 filter 7", 6, 0x20, 0, {0, 0, 0, 7, 1}, kRefused},
        {"frame 1 parameters short", 6, 0x20, 0, {0, 0, 0, 1}, kRefused},
    };
    for (const auto& c : cases) {
        auto before = cam_->DataGroupField(c.group, c.f1, c.f2);
        EXPECT_EQ(Set(c.group, c.f1, c.f2, c.value), c.expect) << c.what;
        auto after = cam_->DataGroupField(c.group, c.f1, c.f2);
        if (c.expect == kOk)
            EXPECT_EQ(after, c.value) << c.what;
        else
            EXPECT_EQ(after, before) << c.what << ": a refused write changed the field";
    }
}

TEST_F(SpecialFunctionsTest, WholeIsoStepsMoveTheAutoLimitsOutToWholeStops) {
    ASSERT_EQ(Set(4, 0x04, 0, {35}), kOk);  // ISO 125
    ASSERT_EQ(Set(4, 0x02, 0, {69}), kOk);  // ISO 2500
    ASSERT_EQ(Set(4, 0x01, 0, {1}), kOk);
    EXPECT_EQ(Field(4, 0x04, 0), 32);
    EXPECT_EQ(Field(4, 0x02, 0), 72);
    EXPECT_EQ(Set(4, 0x04, 0, {37}), kRefused) << "ISO 160 is no whole step";
}

TEST_F(SpecialFunctionsTest, AutoBracketingTakesTheSeriesAtItsOffsets) {
    struct Case {
        uint8_t amount, setting;
        std::vector<int> offsets;
    };
    const Case cases[] = {
        {8, 1, {0, -8, 8}},          {8, 2, {-8, 0, 8}},        {5, 3, {5, 0, -5}},
        {8, 5, {-16, -8, 0, 8, 16}}, {3, 4, {0, -3, 3, -6, 6}}, {24, 6, {48, 24, 0, -24, -48}},
    };
    ASSERT_EQ(Set(2, 0x01, 0, {6}), kOk);
    ASSERT_EQ(Set(1, 0x20, 0, {3}), kOk);  // exposure compensation +0.3
    for (const auto& c : cases) {
        ASSERT_EQ(Set(1, 0x40, 0, {c.amount}), kOk);
        ASSERT_EQ(Set(1, 0x80, 0, {c.setting}), kOk);
        uint32_t before = cam_->PicturesTaken();
        ASSERT_EQ(Release(2), kOk);
        EXPECT_EQ(cam_->PicturesTaken() - before, c.offsets.size()) << int(c.setting);
        EXPECT_EQ(cam_->LastBracketSeries(), c.offsets) << int(c.setting);
        // The series is over: counter back at 0, the level at the compensation.
        EXPECT_EQ(Field(1, 0, 0x20), 0);
        EXPECT_EQ(Field(1, 0, 0x40), 3);
        for (int id : cam_->PictureIds()) Clear(id);
    }
    EXPECT_EQ(Send("series"), "ok series offsets=48,24,0,-24,-48");
}

TEST_F(SpecialFunctionsTest, CustomWhiteBalanceCaptureMeasuresWithoutAFile) {
    EXPECT_EQ(Send("custom-wb"), "ok custom-wb 1=none 2=none 3=none");
    ASSERT_EQ(Set(2, 0, 0x20, {11}), kOk);  // capture mode of Custom 2
    ASSERT_EQ(Set(3, 0, 0x80, {1}), kOk);   // destination: the card
    uint16_t shots = U16(cam_->DataGroupField(1, 0, 0x02), 0);
    ASSERT_EQ(Release(2), kOk);
    auto ids = cam_->PictureIds();
    ASSERT_EQ(ids.size(), 1u);
    EXPECT_EQ(Capture(ids[0]), (std::pair<uint16_t, uint8_t>{0x8002, 0}));
    EXPECT_EQ(Field(2, 0, 0x20), 10) << "the camera shows the slot it measured";
    EXPECT_NE(cam_->CustomWhiteBalance(2), 0);
    EXPECT_EQ(cam_->CustomWhiteBalance(1), 0);
    EXPECT_EQ(cam_->PicturesTaken(), 0u) << "a measurement is no picture";
    EXPECT_EQ(U16(cam_->DataGroupField(1, 0, 0x02), 0), shots);
    EXPECT_EQ(Send("custom-wb").rfind("ok custom-wb 1=none 2=", 0), 0u);

    // With the computer as destination there is still nothing to transfer.
    Clear(ids[0]);
    ASSERT_EQ(Set(2, 0, 0x20, {9}), kOk);
    ASSERT_EQ(Set(3, 0, 0x80, {2}), kOk);
    ASSERT_EQ(Release(2), kOk);
    ids = cam_->PictureIds();
    ASSERT_EQ(ids.size(), 1u);
    EXPECT_EQ(Capture(ids[0]), (std::pair<uint16_t, uint8_t>{0x8002, 0}));
    EXPECT_EQ(Field(2, 0, 0x20), 8);
}

TEST_F(SpecialFunctionsTest, CustomWhiteBalanceFailuresKeepTheCaptureMode) {
    struct Case {
        const char* what;
        const char* command;
        const char* undo;
        uint16_t result;
    };
    const Case cases[] = {
        {"focus fails, even for a release without focusing", "focus fails", "focus ok", 0x6001},
        {"no card", "card absent", "card present", 0x6002},
        {"card full", "card full", "card present", 0x6002},
    };
    ASSERT_EQ(Set(2, 0, 0x20, {13}), kRefused) << "Custom 3 is not offered";
    ASSERT_EQ(Set(2, 0, 0x20, {9}), kOk);
    for (const auto& c : cases) {
        ASSERT_EQ(Send(c.command).rfind("ok", 0), 0u) << c.what;
        ASSERT_EQ(Release(2), kOk) << c.what;
        auto ids = cam_->PictureIds();
        ASSERT_EQ(ids.size(), 1u) << c.what;
        EXPECT_EQ(Capture(ids[0]).first, c.result) << c.what;
        EXPECT_EQ(Field(2, 0, 0x20), 9) << c.what;
        EXPECT_EQ(cam_->CustomWhiteBalance(1), 0) << c.what;
        Clear(ids[0]);
        Send(c.undo);
    }
    // Focus only measures nothing.
    ASSERT_EQ(Release(3), kOk);
    EXPECT_TRUE(cam_->PictureIds().empty());
    EXPECT_EQ(Field(2, 0, 0x20), 9);
}

TEST_F(SpecialFunctionsTest, ClockRecordSetsARunningClock) {
    // 6, seconds, minutes, hours, day, month, year in the century, 0.
    ASSERT_EQ(h_.Write(0x9019, WithChecksum({6, 0, 59, 23, 31, 12, 9, 0})).code, kOk);
    kvx::vcam::CameraClockTime t = cam_->CameraClock();
    EXPECT_EQ(t.year, 2009);
    EXPECT_EQ(t.month, 12);
    EXPECT_EQ(t.day, 31);
    EXPECT_EQ(t.hour, 23);
    EXPECT_EQ(t.minute, 59);
    EXPECT_LT(t.second, 30);
    EXPECT_EQ(Send("clock").rfind("ok clock 2009-12-31 23:59:", 0), 0u);

    const std::vector<uint8_t> refused[] = {
        {6, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0},  // the host could not read its own clock
        {6, 0, 0, 0, 30, 2, 12, 0},         // 30 February
        {6, 0, 0, 0, 29, 2, 11, 0},         // 29 February of a common year
        {6, 60, 0, 0, 1, 1, 10, 0},        {6, 0, 0, 24, 1, 1, 10, 0},
        {6, 0, 0, 0, 1, 13, 10, 0},        {5, 0, 0, 0, 1, 1, 10, 0},
    };
    for (const auto& r : refused) EXPECT_EQ(h_.Write(0x9019, WithChecksum(r)).code, kRefused);
    EXPECT_EQ(cam_->CameraClock().year, 2009);
    ASSERT_EQ(h_.Write(0x9019, WithChecksum({6, 1, 2, 3, 29, 2, 12, 0})).code, kOk);
    EXPECT_EQ(Send("clock").rfind("ok clock 2012-02-29 03:02:0", 0), 0u);
}

}  // namespace
