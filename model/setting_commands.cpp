#include "model/setting_commands.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace VARNO {

namespace {

constexpr SettingAddress kAddresses[] = {
    {1, 0x01, 0}, {1, 0x02, 0}, {1, 0x04, 0}, {1, 0x08, 0}, {1, 0x10, 0}, {1, 0x20, 0},
    {1, 0x40, 0}, {1, 0x80, 0}, {2, 0x01, 0}, {2, 0x02, 0}, {2, 0x04, 0}, {2, 0x08, 0},
    {2, 0x10, 0}, {2, 0x20, 0}, {2, 0x80, 0}, {2, 0, 0x02}, {2, 0, 0x04}, {2, 0, 0x10},
    {2, 0, 0x20}, {2, 0, 0x40}, {2, 0, 0x80}, {3, 0x01, 0}, {3, 0x02, 0}, {3, 0x04, 0},
    {3, 0x08, 0}, {3, 0x10, 0}, {3, 0, 0x01}, {3, 0, 0x02}, {3, 0, 0x08}, {3, 0, 0x10},
    {3, 0, 0x20}, {3, 0, 0x80}, {4, 0x01, 0}, {4, 0x02, 0}, {4, 0x04, 0}, {4, 0x08, 0},
    {4, 0x10, 0}, {4, 0x20, 0}, {5, 0x08, 0}, {5, 0x10, 0}, {5, 0x20, 0}, {5, 0x40, 0},
    {5, 0, 0x01}, {5, 0, 0x02}, {5, 0, 0x80}, {6, 0x01, 0}, {6, 0x02, 0}, {6, 0x04, 0},
    {6, 0x08, 0},
};
static_assert(std::size(kAddresses) == static_cast<size_t>(Setting::Count));

// Colour bracketing frames 1..5: the bits of their colour mode and parameter fields.
struct RowBits {
    uint8_t field1;
    uint8_t field2;
};
constexpr RowBits kRowMode[6] = {{0, 0}, {0x10, 0}, {0x40, 0}, {0, 0x01}, {0, 0x04}, {0, 0x10}};
constexpr RowBits kRowParams[6] = {{0, 0}, {0x20, 0}, {0x80, 0}, {0, 0x02}, {0, 0x08}, {0, 0x20}};

}  // namespace

SettingAddress AddressOf(Setting setting) {
    const auto i = static_cast<size_t>(setting);
    return i < std::size(kAddresses) ? kAddresses[i] : SettingAddress{0, 0, 0};
}

tag_CAM_COMMAND MakeSettingCommand(int group, uint8_t field1, uint8_t field2, int32_t value) {
    tag_CAM_COMMAND c{};
    c.command = SetCommandOfGroup(group);
    c.extended = 0;
    c.payload.setting.Field1 = field1;
    c.payload.setting.Field2 = field2;
    c.payload.setting.value = value;
    return c;
}

tag_CAM_COMMAND MakeSettingCommand(Setting setting, int32_t value) {
    const SettingAddress a = AddressOf(setting);
    return MakeSettingCommand(a.group, a.field1, a.field2, value);
}

tag_CAM_COMMAND MakeExtendedCommand(int group, uint8_t field1, uint8_t field2, const uint8_t* data,
                                    int length) {
    tag_CAM_COMMAND c = MakeSettingCommand(group, field1, field2, 0);
    const int n = data == nullptr ? 0 : std::clamp(length, 0, kCamCommandDataMax);
    c.extended = 1;
    c.payload.setting.value = n;
    if (n > 0) std::memcpy(c.payload.setting.data, data, static_cast<size_t>(n));
    return c;
}

tag_CAM_COMMAND MakeIntervalTimerCommand(uint16_t intervalSeconds, uint8_t count) {
    const uint8_t data[3] = {static_cast<uint8_t>(intervalSeconds & 0xFF),
                             static_cast<uint8_t>(intervalSeconds >> 8), count};
    return MakeExtendedCommand(5, 0x01, 0, data, 3);
}

tag_CAM_COMMAND MakeColorTemperatureCommand(uint16_t kelvin) {
    const uint8_t data[2] = {static_cast<uint8_t>(kelvin & 0xFF),
                             static_cast<uint8_t>(kelvin >> 8)};
    return MakeExtendedCommand(5, 0x02, 0, data, 2);
}

tag_CAM_COMMAND MakeWbAdjustCommand(int8_t blueAmber, int8_t greenMagenta) {
    const uint8_t data[2] = {static_cast<uint8_t>(blueAmber), static_cast<uint8_t>(greenMagenta)};
    return MakeExtendedCommand(5, 0x04, 0, data, 2);
}

tag_CAM_COMMAND MakeFocusFrameCommand(uint8_t mode, uint8_t x, uint8_t y, uint8_t size) {
    const uint8_t data[4] = {mode, x, y, size};
    return MakeExtendedCommand(5, 0, 0x08, data, 4);
}

std::optional<tag_CAM_COMMAND> MakeColorBracketModeCommand(int row, uint8_t colorMode) {
    if (row < 1 || row > 5) return std::nullopt;
    return MakeSettingCommand(6, kRowMode[row].field1, kRowMode[row].field2, colorMode);
}

std::optional<tag_CAM_COMMAND> MakeColorBracketParamsCommand(int row, const uint8_t params[5]) {
    if (row < 1 || row > 5 || params == nullptr) return std::nullopt;
    return MakeExtendedCommand(6, kRowParams[row].field1, kRowParams[row].field2, params, 5);
}

tag_CAM_COMMAND MakeCaptureDestinationCommand(bool inCamera, bool inComputer) {
    return MakeSettingCommand(Setting::CaptureDestination,
                              (inCamera ? 1 : 0) | (inComputer ? 2 : 0));
}

uint8_t ReplaceFlashFlag(uint8_t flags, uint8_t keepMask, uint8_t code) {
    return static_cast<uint8_t>((flags & keepMask) | code);
}

tag_CAM_COMMAND MakeReleaseCommand(uint8_t mode) {
    tag_CAM_COMMAND c{};
    c.command = kCmdSnap;
    c.payload.shutter[0] = 0x02;
    c.payload.shutter[1] = mode;
    c.payload.shutter[2] = 0x01;
    c.payload.shutter[3] = 0x00;
    return c;
}

tag_CAM_COMMAND MakeClockCommand(const std::tm* local) {
    tag_CAM_COMMAND c{};
    c.command = kCmdClockAdjust;
    uint8_t* r = c.payload.clock;
    r[0] = 6;
    if (local == nullptr) {
        r[1] = r[2] = r[3] = 0xFF;
        r[4] = r[5] = r[6] = 0;
    } else {
        r[1] = static_cast<uint8_t>(std::clamp(local->tm_sec, 0, 59));
        r[2] = static_cast<uint8_t>(local->tm_min);
        r[3] = static_cast<uint8_t>(local->tm_hour);
        r[4] = static_cast<uint8_t>(local->tm_mday);
        r[5] = static_cast<uint8_t>(local->tm_mon + 1);
        r[6] = static_cast<uint8_t>((local->tm_year + 1900) % 100);
    }
    r[7] = 0;
    return c;
}

}  // namespace VARNO
