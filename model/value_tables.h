// Fixed value tables of the list settings: (string id, camera code, settable
// bit) rows in display order, most starting with the placeholder "---". A row
// is offered when its settable bit is 0xFFFF or shares a bit with the
// setting's settable mask.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace VARNO {

struct tag_VALUE_ITEM {
    uint32_t stringId;
    uint8_t code;
    uint8_t reserved;
    uint16_t settable;
};

inline constexpr uint16_t kAlwaysSettable = 0xFFFF;
// A selector holds at most this many entries.
inline constexpr size_t kMaxSelectorEntries = 26;

enum class ValueTable : uint8_t {
    ExposureMode,
    Metering,
    AfMode,
    DriveMode,
    FrameSize,
    FlashRedEye,
    FlashSlowSync,
    FlashSyncMode,
    FlashFp,
    AfAssist,
    DcCrop,
    AspectRatio,
    WhiteBalance,
    ImageQuality,
    ImageSize,
    ColorSpace,
    ColorMode,
    ToneControl,
    ToningEffect,
    FilterEffect,
    TimerSound,
    AutoRotate,
    ExtendedMode,
    AfVolume,
    // Placeholder last, and never offered by the filter (settable bit 0): the
    // bracketing page adds it itself when no row is left.
    BracketShots,
    BracketOrder,
    WbBracketAxis,
    // No placeholder.
    LiveViewGrid,
    Count
};

std::span<const tag_VALUE_ITEM> GetValueTable(ValueTable table);
// Code of the table's "---" row (255 for DC crop, else 0); nullopt when it has none.
std::optional<uint8_t> PlaceholderCode(ValueTable table);

// First row with `code`; nullptr when none.
const tag_VALUE_ITEM* FindValueByCode(ValueTable table, uint8_t code);
// Row position of the first row with `code`; -1 when none.
int ValueIndexOfCode(ValueTable table, uint8_t code);
// Text of a row (the string table's English text).
const char* ValueText(const tag_VALUE_ITEM& item);

bool IsOffered(const tag_VALUE_ITEM& item, uint32_t mask);

struct FilteredList {
    std::vector<const tag_VALUE_ITEM*> items;  // at most kMaxSelectorEntries
    int selection = 0;                         // kept entry equal to the current code, else 0
};
// Rows of `table` offered by `mask`, in table order; `currentCode` < 0 = none.
FilteredList FilterValueTable(ValueTable table, uint32_t mask, int currentCode);

// Auto-bracketing setting code 1..6 <-> (shots class 1 = 3 shots / 2 = 5 shots, order 1..3).
struct BracketSetting {
    uint8_t shotsClass;
    uint8_t order;
};
std::optional<BracketSetting> BracketSettingOf(uint8_t code);
uint8_t BracketSettingCode(uint8_t shotsClass, uint8_t order);  // 0 when no row matches

// White-balance bracketing amount, positions 0..7: "±2" = 2 ... "±16" = 16.
struct tag_WB_BRACKET_AMOUNT {
    const char* text;
    uint8_t code;
};
std::span<const tag_WB_BRACKET_AMOUNT> WbBracketAmountTable();

// ISO auto limit lists: whole steps (7 rows) or one-third steps (19 rows), no placeholder.
struct tag_ISO_LIMIT_ITEM {
    const char* text;
    uint8_t code;
};
std::span<const tag_ISO_LIMIT_ITEM> IsoLimitTable(bool wholeSteps);

// Code aliases.
inline constexpr uint8_t ShutterLookupCode(uint8_t code) {
    return code == 9 ? 116 : code;
}
inline constexpr uint8_t CanSetInfoShutterUpperCode(uint8_t code) {
    return code == 115 ? 116 : code;
}
inline constexpr uint8_t WhiteBalanceDisplayCode(uint8_t code) {
    return (code == 9 || code == 11 || code == 13) ? code - 1 : code;
}

}  // namespace VARNO
