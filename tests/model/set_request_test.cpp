// Set request records and the commands that user picks turn into.
#include "model/set_request.h"

#include <gtest/gtest.h>

#include <vector>

#include "model/setting_commands.h"

namespace {

using namespace VARNO;

std::vector<uint8_t> Bytes(const uint8_t (&r)[kSetRequestSize]) {
    return std::vector<uint8_t>(r, r + kSetRequestSize);
}

std::vector<uint8_t> Expected(std::vector<uint8_t> head) {
    head.resize(kSetRequestSize, 0);
    return head;
}

TEST(SetRequest, PlainFormCarriesTheLowByte) {
    struct Case {
        uint8_t f1, f2;
        int32_t value;
        std::vector<uint8_t> head;
    } cases[] = {
        {0x01, 0x00, 0x1FF, {3, 0x01, 0x00, 0xFF}},
        {0x00, 0x80, 3, {3, 0x00, 0x80, 0x03}},
        {0x04, 0x00, -1, {3, 0x04, 0x00, 0xFF}},
        {0x20, 0x00, 0, {3, 0x20, 0x00, 0x00}},
    };
    for (const auto& c : cases) {
        uint8_t r[kSetRequestSize];
        std::fill(std::begin(r), std::end(r), 0xAA);
        EXPECT_EQ(BuildSetRequest(r, c.f1, c.f2, c.value), 4u);
        EXPECT_EQ(Bytes(r), Expected(c.head));
    }
}

TEST(SetRequest, ExtendedFormCountsDataPlusTwo) {
    const uint8_t data[40] = {0x10, 0x20, 0x30, 0x40, 0x50};
    std::vector<uint8_t> full(3 + 32, 0);
    full[0] = 34;
    full[1] = 0x02;
    std::copy(data, data + 32, full.begin() + 3);
    struct Case {
        int32_t length;
        const uint8_t* data;
        std::vector<uint8_t> head;
    } cases[] = {
        {2, data, {4, 0x02, 0x00, 0x10, 0x20}},
        {5, data, {7, 0x02, 0x00, 0x10, 0x20, 0x30, 0x40, 0x50}},
        {0, data, {2, 0x02, 0x00}},
        {-4, data, {2, 0x02, 0x00}},
        {3, nullptr, {2, 0x02, 0x00}},
        {40, data, full},  // held to the 32 bytes a command carries
    };
    for (const auto& c : cases) {
        uint8_t r[kSetRequestSize];
        std::fill(std::begin(r), std::end(r), 0xAA);
        BuildSetRequestEx(r, 0x02, 0x00, c.data, c.length);
        EXPECT_EQ(Bytes(r), Expected(c.head)) << c.length;
    }
}

struct Cmd {
    uint32_t command;
    uint8_t extended;
    uint8_t f1, f2;
    int32_t value;
    std::vector<uint8_t> data;
};

Cmd Read(const tag_CAM_COMMAND& c) {
    const auto& s = c.payload.setting;
    Cmd out{c.command, c.extended, s.Field1, s.Field2, s.value, {}};
    if (c.extended) out.data.assign(s.data, s.data + std::clamp(s.value, 0, 32));
    return out;
}

void ExpectCommand(const tag_CAM_COMMAND& got, const Cmd& want) {
    const Cmd g = Read(got);
    EXPECT_EQ(g.command, want.command);
    EXPECT_EQ(g.extended, want.extended);
    EXPECT_EQ(g.f1, want.f1);
    EXPECT_EQ(g.f2, want.f2);
    EXPECT_EQ(g.value, want.value);
    EXPECT_EQ(g.data, want.data);
}

TEST(SettingCommands, PicksBecomeOneCommandForTheirField) {
    const std::pair<tag_CAM_COMMAND, Cmd> cases[] = {
        {MakeSettingCommand(Setting::DriveMode, 2), {0x9017, 0, 0x01, 0x00, 2, {}}},
        {MakeSettingCommand(Setting::ShutterSpeed, 116), {0x9016, 0, 0x01, 0x00, 116, {}}},
        {MakeSettingCommand(Setting::ProgramShift, -1), {0x9016, 0, 0x04, 0x00, -1, {}}},
        {MakeSettingCommand(Setting::ExposureComp, 0xF8), {0x9016, 0, 0x20, 0x00, 0xF8, {}}},
        {MakeSettingCommand(Setting::WhiteBalance, 11), {0x9017, 0, 0x00, 0x20, 11, {}}},
        {MakeSettingCommand(Setting::FlashFlags, 0x43), {0x9017, 0, 0x00, 0x04, 0x43, {}}},
        {MakeSettingCommand(Setting::LiveView, 2), {0x9017, 0, 0x02, 0x00, 2, {}}},
        {MakeSettingCommand(Setting::AfLock, 1), {0x9017, 0, 0x80, 0x00, 1, {}}},
        {MakeSettingCommand(Setting::Contrast, -4), {0x9018, 0, 0x01, 0x00, -4, {}}},
        {MakeSettingCommand(Setting::TimerSound, 7), {0x9018, 0, 0x00, 0x20, 7, {}}},
        {MakeSettingCommand(Setting::IsoAutoLower, 48), {0x9024, 0, 0x04, 0x00, 48, {}}},
        {MakeSettingCommand(Setting::DcCrop, 255), {0x9024, 0, 0x10, 0x00, 255, {}}},
        {MakeSettingCommand(Setting::Magnification, 3), {0x9024, 0, 0x20, 0x00, 3, {}}},
        {MakeSettingCommand(Setting::AspectRatio, 3), {0x9028, 0, 0x08, 0x00, 3, {}}},
        {MakeSettingCommand(Setting::FaceDetection, 2), {0x9028, 0, 0x00, 0x02, 2, {}}},
        {MakeSettingCommand(Setting::FlashAfAssist, 1), {0x9028, 0, 0x00, 0x80, 1, {}}},
        {MakeSettingCommand(Setting::PeakingLevel, 1), {0x9028, 0, 0x00, 0x01, 1, {}}},
        {MakeSettingCommand(Setting::BracketKind, 1), {0x902A, 0, 0x01, 0x00, 1, {}}},
        {MakeSettingCommand(Setting::WbBracketAxis, 2), {0x902A, 0, 0x08, 0x00, 2, {}}},
        {MakeCaptureDestinationCommand(true, true), {0x9018, 0, 0x00, 0x80, 3, {}}},
        {MakeCaptureDestinationCommand(true, false), {0x9018, 0, 0x00, 0x80, 1, {}}},
        {MakeIntervalTimerCommand(3000, 10), {0x9028, 1, 0x01, 0x00, 3, {0xB8, 0x0B, 10}}},
        {MakeColorTemperatureCommand(5600), {0x9028, 1, 0x02, 0x00, 2, {0xE0, 0x15}}},
        {MakeWbAdjustCommand(-3, 5), {0x9028, 1, 0x04, 0x00, 2, {0xFD, 0x05}}},
        {MakeFocusFrameCommand(1, 32, 21, 2), {0x9028, 1, 0x00, 0x08, 4, {1, 32, 21, 2}}},
        {*MakeColorBracketModeCommand(3, 0), {0x902A, 0, 0x00, 0x01, 0, {}}},
        {*MakeColorBracketModeCommand(2, 7), {0x902A, 0, 0x40, 0x00, 7, {}}},
    };
    for (const auto& [got, want] : cases) ExpectCommand(got, want);
}

TEST(SettingCommands, ColorBracketParametersByRow) {
    const uint8_t params[5] = {2, 0xFE, 4, 1, 3};
    const std::pair<int, std::pair<uint8_t, uint8_t>> rows[] = {
        {1, {0x20, 0}}, {2, {0x80, 0}}, {3, {0, 0x02}}, {4, {0, 0x08}}, {5, {0, 0x20}}};
    for (auto [row, bits] : rows) {
        auto c = MakeColorBracketParamsCommand(row, params);
        ASSERT_TRUE(c.has_value());
        ExpectCommand(*c, {0x902A, 1, bits.first, bits.second, 5, {2, 0xFE, 4, 1, 3}});
    }
    EXPECT_FALSE(MakeColorBracketParamsCommand(0, params).has_value());
    EXPECT_FALSE(MakeColorBracketParamsCommand(6, params).has_value());
    EXPECT_FALSE(MakeColorBracketModeCommand(6, 1).has_value());
}

TEST(SettingCommands, ExtendedDataIsHeldToTheCommandBlock) {
    uint8_t data[64] = {};
    const auto c = MakeExtendedCommand(6, 0x20, 0, data, 64);
    EXPECT_EQ(c.payload.setting.value, 32);
    EXPECT_EQ(MakeExtendedCommand(5, 0x02, 0, data, -2).payload.setting.value, 0);
    EXPECT_EQ(MakeSettingCommand(7, 1, 0, 0).command, 0u);  // no such group
}

TEST(SettingCommands, FlashFlagsKeepTheOtherSelectorsBits) {
    EXPECT_EQ(ReplaceFlashFlag(0x41, 0xFD, 2), 0x43);  // FP on
    EXPECT_EQ(ReplaceFlashFlag(0x43, 0xFE, 0), 0x42);  // red-eye off
    EXPECT_EQ(ReplaceFlashFlag(0x43, 0xBF, 0), 0x03);  // slow sync off
}

TEST(SettingCommands, ReleaseAndClockRecords) {
    const auto release = MakeReleaseCommand(2);
    EXPECT_EQ(release.command, 0x901Bu);
    EXPECT_EQ(std::vector<uint8_t>(release.payload.shutter, release.payload.shutter + 4),
              (std::vector<uint8_t>{2, 2, 1, 0}));

    std::tm t{};
    t.tm_year = 109;
    t.tm_mon = 11;
    t.tm_mday = 31;
    t.tm_hour = 23;
    t.tm_min = 59;
    t.tm_sec = 58;
    const auto clock = MakeClockCommand(&t);
    EXPECT_EQ(clock.command, 0x9019u);
    EXPECT_EQ(std::vector<uint8_t>(clock.payload.clock, clock.payload.clock + 8),
              (std::vector<uint8_t>{6, 58, 59, 23, 31, 12, 9, 0}));
    const auto failed = MakeClockCommand(nullptr);
    EXPECT_EQ(std::vector<uint8_t>(failed.payload.clock, failed.payload.clock + 8),
              (std::vector<uint8_t>{6, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0}));
}

TEST(SettingCommands, EveryAddressNamesOneBitOfItsGroup) {
    for (int s = 0; s < static_cast<int>(Setting::Count); ++s) {
        const auto a = AddressOf(static_cast<Setting>(s));
        EXPECT_GE(a.group, 1);
        EXPECT_LE(a.group, 6);
        const unsigned bits = a.field1 | (a.field2 << 8);
        EXPECT_EQ(__builtin_popcount(bits), 1) << s;
    }
}

}  // namespace
