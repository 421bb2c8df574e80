#include "model/record_layout.h"

namespace VARNO {

namespace {

// Field tables in bit order: Field1 0x01 .. 0x80, then Field2 0x01 .. 0x80.
constexpr tag_FIELD_LAYOUT kGroup1[16] = {
    {3, 1},  {4, 1},  {5, 1},  {6, 1},  {7, 1},  {8, 1},  {9, 1},  {10, 1},
    {11, 1}, {12, 2}, {14, 1}, {15, 2}, {17, 1}, {18, 1}, {19, 1}, {20, 1},
};
constexpr tag_FIELD_LAYOUT kGroup2[16] = {
    {3, 1},  {4, 1},  {5, 1},  {6, 1},  {7, 1},  {8, 1},  {9, 1},  {10, 1},
    {11, 1}, {12, 1}, {13, 1}, {14, 1}, {15, 1}, {16, 1}, {17, 1}, {18, 1},
};
// Field2 0x80 (capture destination) is write-only: a reply flags it but carries no byte.
constexpr tag_FIELD_LAYOUT kGroup3[16] = {
    {3, 1},  {4, 1},  {5, 1},  {6, 1},  {7, 1},  {8, 1},  {9, 2},  {11, 2},
    {13, 1}, {14, 1}, {15, 1}, {16, 1}, {17, 1}, {18, 1}, {19, 1}, {0, 0},
};
constexpr tag_FIELD_LAYOUT kGroup4[16] = {
    {3, 1}, {4, 1}, {5, 1}, {6, 1}, {7, 1}, {8, 1}, {0, 0}, {0, 0},
    {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0},
};
constexpr tag_FIELD_LAYOUT kGroup5[16] = {
    {3, 6},  {9, 2},  {11, 2}, {13, 1}, {14, 1}, {15, 1}, {16, 1}, {17, 1},
    {18, 1}, {19, 1}, {20, 2}, {22, 4}, {26, 2}, {28, 1}, {29, 3}, {32, 1},
};
constexpr tag_FIELD_LAYOUT kGroup6[16] = {
    {3, 1},  {4, 1},  {5, 1},  {6, 1},  {7, 1},  {8, 5},  {13, 1}, {14, 5},
    {19, 1}, {20, 5}, {25, 1}, {26, 5}, {31, 1}, {32, 5}, {0, 0},  {0, 0},
};
constexpr const tag_FIELD_LAYOUT* kGroups[kDataGroupCount + 1] = {
    nullptr, kGroup1, kGroup2, kGroup3, kGroup4, kGroup5, kGroup6};

constexpr tag_SETTABLE_LAYOUT kNone{0, 0, 0};
constexpr tag_SETTABLE_LAYOUT B(uint8_t offset, uint16_t bits = 0xFFFF) {
    return {offset, 1, bits};
}
constexpr tag_SETTABLE_LAYOUT W(uint8_t offset, uint16_t bits = 0xFFFF) {
    return {offset, 2, bits};
}

// Per field: CanSetInfo, CanSetInfo2, CanSetInfo3, CanSetInfo4.
constexpr tag_SETTABLE_LAYOUT kSettable[kSettableFieldCount][kCanSetInfoVersionCount] = {
    /* DriveModeMask     */ {kNone, kNone, W(2), W(2)},
    /* LiveViewAvailable */ {kNone, kNone, kNone, B(4, 0x02)},
    /* ExposureModeMask  */ {kNone, W(5), W(5), W(5)},
    /* MeteringMask      */ {B(5), W(7), W(7), W(7)},
    /* AfModeMask        */ {B(6), W(9), W(9), W(9)},
    /* ImageSizeMask     */ {B(9), B(23), B(23), B(11)},
    /* ImageQualityMask  */ {B(10), B(24), B(24), B(12)},
    /* ShutterUpper      */ {B(11), B(25), B(25), B(13)},
    /* ShutterLower      */ {B(12), B(26), B(26), B(14)},
    /* ExposureFlags     */ {B(13), B(27), B(27), B(15)},
    /* ApertureLower     */ {B(14), B(28), B(28), B(16)},
    /* ApertureUpper     */ {B(15), B(29), B(29), B(17)},
    /* ProgramShift      */ {B(17), B(31), B(31), B(19)},
    /* IsoUpper          */ {kNone, B(32), B(32), B(20)},
    /* IsoLower          */ {kNone, B(33), B(33), B(21)},
    /* IsoWholeStepMask  */ {W(18), kNone, kNone, kNone},
    /* IsoAutoLimitUpper */ {kNone, B(35), kNone, kNone},
    /* IsoAutoLimitLower */ {kNone, B(36), kNone, kNone},
    /* IsoAutoAvailable  */ {W(18, 0x8000), kNone, B(34, 0x01), B(22, 0x01)},
    /* ExposureCompUpper */ {B(20), B(37), B(37), B(25)},
    /* ExposureCompLower */ {B(21), B(38), B(38), B(26)},
    /* BracketMask       */ {B(23), B(40), B(40), B(28)},
    /* BracketLargest    */ {B(24), B(41), B(41), B(29)},
    /* FlashMask         */ {W(26), W(43), W(43), W(31)},
    /* FlashCompUpper    */ {B(28), B(45), B(45), B(33)},
    /* FlashCompLower    */ {B(29), B(46), B(46), B(34)},
    /* WhiteBalanceMask  */ {W(31), W(48), W(48), W(36)},
    /* ColorModeMask     */ {B(33), W(50), W(50), W(38)},
    /* ColorSpaceMask    */ {B(37), B(55), B(55), B(43)},
    /* ColorTempMax      */ {kNone, kNone, W(63), kNone},
    /* ColorTempMin      */ {kNone, kNone, W(65), kNone},
    /* ColorTempStep     */ {kNone, kNone, W(67), kNone},
    /* AspectRatioMask   */ {kNone, kNone, B(75), B(63)},
    /* FocusRangeWidth   */ {kNone, kNone, W(83), W(71)},
    /* FocusRangeHeight  */ {kNone, kNone, W(85), W(73)},
    /* FreeMoveMinX      */ {kNone, kNone, W(87), W(75)},
    /* FreeMoveMaxX      */ {kNone, kNone, W(89), W(77)},
    /* FreeMoveMinY      */ {kNone, kNone, W(91), W(79)},
    /* FreeMoveMaxY      */ {kNone, kNone, W(93), W(81)},
    /* PeakingMask       */ {kNone, kNone, kNone, B(68)},
    /* WbBracketMask     */ {kNone, kNone, B(104), B(92)},
    /* ColorBracketMask  */ {kNone, kNone, B(107), B(95)},
    /* DcCropMask        */ {kNone, kNone, kNone, B(99)},
    /* MagnificationMask */ {kNone, kNone, kNone, B(100)},
    /* IntervalMax       */ {kNone, kNone, W(56), kNone},
    /* IntervalMin       */ {kNone, kNone, W(58), kNone},
    /* IntervalMaxCount  */ {kNone, kNone, W(61), kNone},
    /* ApertureStep      */ {B(16), kNone, kNone, kNone},
    /* ExposureStep      */ {B(22), kNone, kNone, kNone},
};

}  // namespace

const char* DataGroupName(int group) {
    static const char* const kNames[] = {"",           "DataGroup1", "DataGroup2", "DataGroup3",
                                         "DataGroup4", "DataGroup5", "DataGroup6"};
    return group >= 1 && group <= kDataGroupCount ? kNames[group] : "";
}

const char* CanSetInfoName(int version) {
    static const char* const kNames[] = {"", "CanSetInfo", "CanSetInfo2", "CanSetInfo3",
                                         "CanSetInfo4"};
    return version >= 1 && version <= kCanSetInfoVersionCount ? kNames[version] : "";
}

const tag_FIELD_LAYOUT* DataGroupField(int group, int index) {
    if (group < 1 || group > kDataGroupCount || index < 0 || index > 15) return nullptr;
    return &kGroups[group][index];
}

const tag_SETTABLE_LAYOUT* SettableFieldLayout(int version, SettableField field) {
    const int f = static_cast<int>(field);
    if (version < 1 || version > kCanSetInfoVersionCount || f < 0 || f >= kSettableFieldCount) {
        return nullptr;
    }
    const tag_SETTABLE_LAYOUT& layout = kSettable[f][version - 1];
    return layout.width == 0 ? nullptr : &layout;
}

bool ReadSettableField(int version, SettableField field, const uint8_t* record, size_t size,
                       uint32_t* value) {
    const tag_SETTABLE_LAYOUT* layout = SettableFieldLayout(version, field);
    if (layout == nullptr || record == nullptr || size_t{layout->offset} + layout->width > size) {
        return false;
    }
    uint32_t v = record[layout->offset];
    if (layout->width == 2) v |= uint32_t{record[layout->offset + 1]} << 8;
    *value = v & layout->bits;
    return true;
}

}  // namespace VARNO
