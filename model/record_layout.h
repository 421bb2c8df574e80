// Wire layout of the camera's setting records: the six data groups (length
// byte, Field1, Field2, packed fields, checksum) and the four settable-info
// versions (16-bit length, fields at fixed offsets per version, checksum).
#pragma once

#include <cstddef>
#include <cstdint>

namespace VARNO {

inline constexpr int kDataGroupCount = 6;
inline constexpr int kCanSetInfoVersionCount = 4;

// Full record sizes, indexed by group 1..6 / version 1..4 (index 0 unused).
inline constexpr size_t kDataGroupSize[kDataGroupCount + 1] = {0, 22, 20, 21, 10, 34, 38};
inline constexpr size_t kCanSetInfoSize[kCanSetInfoVersionCount + 1] = {0, 39, 57, 112, 102};
inline constexpr size_t kMaxDataGroupSize = 38;
inline constexpr size_t kMaxCanSetInfoSize = 112;

// Names used in log lines ("DataGroup1", "CanSetInfo", "CanSetInfo2", ...).
const char* DataGroupName(int group);
const char* CanSetInfoName(int version);

// One field of a data group. Field index 0..7 = Field1 bit 0x01..0x80,
// 8..15 = Field2 bit 0x01..0x80. Width 0: the field carries no bytes.
struct tag_FIELD_LAYOUT {
    uint8_t offset;  // full offset in the full-size record (0 when width is 0)
    uint8_t width;
};

// Layout of field `index` (0..15) of `group` (1..6); nullptr for a bad group or index.
const tag_FIELD_LAYOUT* DataGroupField(int group, int index);

// Field index from a mask bit: FieldIndex(false, 0x04) == 2, FieldIndex(true, 0x04) == 10.
constexpr int FieldIndex(bool inField2, uint8_t bit) {
    int i = 0;
    while (i < 8 && (bit >> i) != 1) ++i;
    return (inField2 ? 8 : 0) + i;
}

// Full offsets of the data group fields the program reads by name.
namespace dg1 {
inline constexpr size_t kShutter = 3, kAperture = 4, kProgramShift = 5, kIsoAuto = 6, kIso = 7,
                        kExposureComp = 8, kBracketAmount = 9, kBracketSetting = 10,
                        kCardReady = 11, kRemainingShots = 12, kCardState = 14, kBattery = 17,
                        kBracketFrameCounter = 18, kExposureLevel = 19, kFocusState = 20;
}
namespace dg2 {
inline constexpr size_t kDriveMode = 3, kLiveView = 4, kExposureMode = 5, kMetering = 6,
                        kAeLock = 7, kAfMode = 8, kAfLock = 10, kFlashState = 11, kSyncMode = 12,
                        kFlashFlags = 13, kFlashStatus = 14, kFlashComp = 15, kWhiteBalance = 16,
                        kImageSize = 17, kImageQuality = 18;
}
namespace dg3 {
inline constexpr size_t kContrast = 3, kSharpness = 4, kSaturation = 5, kColorSpace = 6,
                        kColorMode = 7, kFocalShortest = 9, kFocalLongest = 11, kAfAssist = 13,
                        kAfVolume = 14, kMirrorUpRelease = 15, kExtendedMode = 16, kAutoRotate = 17,
                        kTimerSound = 18;
}
namespace dg4 {
inline constexpr size_t kIsoStep = 3, kIsoAutoUpper = 4, kIsoAutoLower = 5, kQmdMode = 6,
                        kDcCrop = 7, kMagnification = 8;
}
namespace dg5 {
inline constexpr size_t kIntervalTimer = 3, kColorTemperature = 9, kWbAdjust = 11,
                        kAspectRatio = 13, kFilterEffect = 14, kToningEffect = 15,
                        kToneControl = 16, kPeakingLevel = 18, kFaceDetection = 19,
                        kFocusFrame = 22, kExtraBatteries = 26, kFaceState = 28,
                        kStatusIndicator = 29, kFlashAfAssist = 32;
}
namespace dg6 {
inline constexpr size_t kBracketKind = 3, kWbBracketCount = 4, kWbBracketAmount = 5,
                        kWbBracketAxis = 6;
// Colour mode and parameter block of colour bracket frame k (1..5).
inline constexpr size_t kFrameColorMode[6] = {0, 7, 13, 19, 25, 31};
inline constexpr size_t kFrameParams[6] = {0, 8, 14, 20, 26, 32};
inline constexpr size_t kFrameParamCount = 5;
}  // namespace dg6

// Fields of the settable-info records, in the order in which a changed
// record is dispatched. A pair of range codes is two fields.
enum class SettableField : uint8_t {
    DriveModeMask,
    LiveViewAvailable,
    ExposureModeMask,
    MeteringMask,  // bit 0x80: AE lock available
    AfModeMask,    // bit 0x80: AF lock available
    ImageSizeMask,
    ImageQualityMask,
    ShutterUpper,
    ShutterLower,
    ExposureFlags,  // bit 0x01 Bulb offered, 0x02 half-step shutter column, 0x10 Sync offered
    ApertureLower,
    ApertureUpper,
    ProgramShift,  // bit 0x01: program shift available
    IsoUpper,
    IsoLower,
    IsoWholeStepMask,  // CanSetInfo only; bit 0x8000 is the ISO-auto available flag
    IsoAutoLimitUpper,
    IsoAutoLimitLower,
    IsoAutoAvailable,  // already reduced to its bit (CanSetInfo: 0x8000 of the whole-step mask)
    ExposureCompUpper,
    ExposureCompLower,
    BracketMask,
    BracketLargest,
    FlashMask,
    FlashCompUpper,
    FlashCompLower,
    WhiteBalanceMask,
    ColorModeMask,
    ColorSpaceMask,
    ColorTempMax,
    ColorTempMin,
    ColorTempStep,
    AspectRatioMask,
    FocusRangeWidth,
    FocusRangeHeight,
    FreeMoveMinX,
    FreeMoveMaxX,
    FreeMoveMinY,
    FreeMoveMaxY,
    PeakingMask,
    WbBracketMask,
    ColorBracketMask,
    DcCropMask,
    MagnificationMask,
    IntervalMax,       // seconds, CanSetInfo3 only
    IntervalMin,       // seconds, CanSetInfo3 only
    IntervalMaxCount,  // CanSetInfo3 only
    ApertureStep,      // CanSetInfo only; bit 0x01 chooses the half-step aperture column
    ExposureStep,      // CanSetInfo only; bit 0x01 chooses the half-step exposure column
    Count
};
inline constexpr int kSettableFieldCount = static_cast<int>(SettableField::Count);

struct tag_SETTABLE_LAYOUT {
    uint8_t offset;  // 0 = the version has no such field
    uint8_t width;   // 1 or 2 (16-bit little-endian)
    uint16_t bits;   // the bits of the value that count (0xFFFF = all)
};

// Where version (1..4) keeps `field`; nullptr when the version has no such field.
const tag_SETTABLE_LAYOUT* SettableFieldLayout(int version, SettableField field);

// Reads `field` of a version's record of `size` bytes; false when the version has
// no such field or the record is too short to hold it.
bool ReadSettableField(int version, SettableField field, const uint8_t* record, size_t size,
                       uint32_t* value);

}  // namespace VARNO
