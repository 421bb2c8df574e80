// What a user's pick turns into: the queued tag_CAM_COMMAND for each setting
// the program changes. Panels, dialogs and the engine build commands only here.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>

#include "model/cam_command.h"

namespace VARNO {

// Every single-value setting the program sends.
enum class Setting : uint8_t {
    // DataGroup1
    ShutterSpeed,
    Aperture,
    ProgramShift,
    IsoAuto,
    Iso,
    ExposureComp,
    BracketAmount,
    BracketSetting,
    // DataGroup2
    DriveMode,
    LiveView,
    ExposureMode,
    Metering,
    AeLock,
    AfMode,
    AfLock,
    FlashSyncMode,
    FlashFlags,
    FlashComp,
    WhiteBalance,
    ImageSize,
    ImageQuality,
    // DataGroup3
    Contrast,
    Sharpness,
    Saturation,
    ColorSpace,
    ColorMode,
    AfAssist,
    AfVolume,
    ExtendedMode,
    AutoRotate,
    TimerSound,
    CaptureDestination,
    // DataGroup4
    IsoStep,
    IsoAutoUpper,
    IsoAutoLower,
    QmdMode,
    DcCrop,
    Magnification,
    // DataGroup5
    AspectRatio,
    FilterEffect,
    ToningEffect,
    ToneControl,
    PeakingLevel,
    FaceDetection,
    FlashAfAssist,
    // DataGroup6
    BracketKind,
    WbBracketCount,
    WbBracketAmount,
    WbBracketAxis,
    Count
};

struct SettingAddress {
    uint8_t group;   // 1..6
    uint8_t field1;  // the field's bit, or 0
    uint8_t field2;  // the field's bit, or 0
};
SettingAddress AddressOf(Setting setting);

// Plain form: the command code of the group, Field1, Field2, value.
tag_CAM_COMMAND MakeSettingCommand(int group, uint8_t field1, uint8_t field2, int32_t value);
tag_CAM_COMMAND MakeSettingCommand(Setting setting, int32_t value);
// Extended form (groups 5 and 6): `length` data bytes, held to 0..32.
tag_CAM_COMMAND MakeExtendedCommand(int group, uint8_t field1, uint8_t field2, const uint8_t* data,
                                    int length);

// Multi-byte fields.
tag_CAM_COMMAND MakeIntervalTimerCommand(uint16_t intervalSeconds, uint8_t count);
tag_CAM_COMMAND MakeColorTemperatureCommand(uint16_t kelvin);
tag_CAM_COMMAND MakeWbAdjustCommand(int8_t blueAmber, int8_t greenMagenta);
// Focus frame: mode 1 fixed point / 2 free move, position, size 1 Large / 2 Regular / 3 Spot.
tag_CAM_COMMAND MakeFocusFrameCommand(uint8_t mode, uint8_t x, uint8_t y, uint8_t size);
// Colour-mode bracketing frame `row` (1..5): its colour mode (plain), or its
// five parameters (extended). nullopt for a row outside 1..5.
std::optional<tag_CAM_COMMAND> MakeColorBracketModeCommand(int row, uint8_t colorMode);
std::optional<tag_CAM_COMMAND> MakeColorBracketParamsCommand(int row, const uint8_t params[5]);

// Where pictures go (DataGroup3 Field2 0x80): 0x01 keep on the card, 0x02 to the computer.
tag_CAM_COMMAND MakeCaptureDestinationCommand(bool inCamera, bool inComputer);
// The flash flags byte with one selector's bit replaced by the picked code
// (red-eye: keep 0xFE, slow sync: 0xBF, FP: 0xFD).
uint8_t ReplaceFlashFlag(uint8_t flags, uint8_t keepMask, uint8_t code);

// Release: mode 1 autofocus and capture, 2 capture only, 3 autofocus only.
tag_CAM_COMMAND MakeReleaseCommand(uint8_t mode);
// Clock record from a local time; nullptr (conversion failed) gives the marker values.
tag_CAM_COMMAND MakeClockCommand(const std::tm* local);

}  // namespace VARNO
