#include "model/value_tables.h"

#include <iterator>

#include "model/string_table.h"

namespace VARNO {

namespace {

constexpr uint32_t kPh = kStrPlaceholder;
constexpr uint16_t kAll = kAlwaysSettable;

constexpr tag_VALUE_ITEM kExposureMode[] = {
    {kPh, 0, 0, kAll},   {20100, 1, 0, 0x01},  {20101, 2, 0, 0x02},  {20102, 3, 0, 0x04},
    {20103, 4, 0, 0x08}, {20104, 16, 0, 0x10}, {20105, 32, 0, 0x20}, {20106, 64, 0, 0x40},
};
constexpr tag_VALUE_ITEM kMetering[] = {
    {kPh, 0, 0, kAll},   {21100, 1, 0, 0x01}, {21101, 2, 0, 0x02},
    {21102, 3, 0, 0x04}, {21103, 4, 0, 0x08},
};
constexpr tag_VALUE_ITEM kAfMode[] = {
    {kPh, 0, 0, kAll},
    {21200, 1, 0, 0x01},
    {21201, 2, 0, 0x02},
    {21202, 3, 0, 0x04},
};
constexpr tag_VALUE_ITEM kDriveMode[] = {
    {kPh, 0, 0, kAll},   {21300, 1, 0, 0x01}, {21301, 2, 0, 0x02}, {21303, 3, 0, 0x08},
    {21302, 4, 0, 0x04}, {21304, 5, 0, 0x10}, {21309, 7, 0, 0x40}, {21305, 6, 0, 0x20},
};
constexpr tag_VALUE_ITEM kFrameSize[] = {
    {kPh, 0, 0, kAll},
    {21306, 1, 0, 0x01},
    {21307, 2, 0, 0x02},
    {21308, 3, 0, 0x03},
};
constexpr tag_VALUE_ITEM kFlashRedEye[] = {
    {kPh, 0, 0, kAll},
    {23601, 0, 0, 0x0009},
    {23600, 1, 0, 0x0008},
};
constexpr tag_VALUE_ITEM kFlashSlowSync[] = {
    {kPh, 0, 0, kAll},
    {23601, 0, 0, 0x0201},
    {23600, 64, 0, 0x0200},
};
constexpr tag_VALUE_ITEM kFlashSyncMode[] = {
    {kPh, 0, 0, kAll},
    {23601, 2, 0, 0x0005},
    {23600, 3, 0, 0x0004},
};
constexpr tag_VALUE_ITEM kFlashFp[] = {
    {kPh, 0, 0, kAll},
    {23601, 0, 0, 0x0011},
    {23600, 2, 0, 0x0010},
};
constexpr tag_VALUE_ITEM kAfAssist[] = {
    {kPh, 0, 0, kAll},
    {23100, 1, 0, 0x1000},
    {23101, 2, 0, 0x1001},
};
constexpr tag_VALUE_ITEM kDcCrop[] = {
    {kPh, 255, 0, kAll},
    {23601, 1, 0, 0x01},
    {23600, 2, 0, 0x02},
    {22650, 0, 0, 0x01},
};
constexpr tag_VALUE_ITEM kAspectRatio[] = {
    {kPh, 0, 0, kAll},   {22600, 1, 0, 0x01}, {22601, 2, 0, 0x02}, {22602, 3, 0, 0x04},
    {22603, 4, 0, 0x08}, {22604, 5, 0, 0x10}, {22605, 6, 0, 0x20},
};
constexpr tag_VALUE_ITEM kWhiteBalance[] = {
    {kPh, 0, 0, kAll},     {22300, 1, 0, 0x001},  {22313, 15, 0, 0x800}, {22301, 2, 0, 0x002},
    {22302, 3, 0, 0x004},  {22303, 4, 0, 0x008},  {22304, 5, 0, 0x010},  {22305, 6, 0, 0x020},
    {22306, 7, 0, 0x040},  {22312, 14, 0, 0x400}, {22309, 8, 0, 0x080},  {22310, 10, 0, 0x100},
    {22311, 12, 0, 0x200},
};
constexpr tag_VALUE_ITEM kImageQuality[] = {
    {kPh, 0, 0, kAll},   {22200, 1, 0, 0x01}, {22202, 3, 0, 0x04},
    {22201, 2, 0, 0x02}, {22203, 4, 0, 0x08}, {22204, 8, 0, 0x10},
};
constexpr tag_VALUE_ITEM kImageSize[] = {
    {kPh, 0, 0, kAll},   {22104, 5, 0, 0x08}, {22102, 1, 0, 0x04},
    {22101, 3, 0, 0x02}, {22100, 4, 0, 0x01}, {22105, 6, 0, 0x10},
};
constexpr tag_VALUE_ITEM kColorSpace[] = {
    {kPh, 0, 0, kAll},
    {22500, 1, 0, 0x01},
    {22501, 2, 0, 0x02},
};
constexpr tag_VALUE_ITEM kColorMode[] = {
    {kPh, 0, 0, kAll},     {22402, 3, 0, 0x004}, {22403, 4, 0, 0x008},  {22404, 5, 0, 0x010},
    {22405, 6, 0, 0x020},  {22406, 7, 0, 0x040}, {22409, 11, 0, 0x200}, {22410, 9, 0, 0x400},
    {22411, 10, 0, 0x800}, {22407, 8, 0, 0x080}, {22408, 12, 0, 0x100}, {22401, 2, 0, 0x002},
};
constexpr tag_VALUE_ITEM kToneControl[] = {
    {kPh, 0, 0, kAll},
    {22730, 1, 0, 0x01},
    {22731, 2, 0, 0x02},
    {22732, 3, 0, 0x04},
};
constexpr tag_VALUE_ITEM kToningEffect[] = {
    {kPh, 0, 0, kAll},    {22700, 1, 0, 0x001}, {22701, 2, 0, 0x002},  {22702, 3, 0, 0x004},
    {22703, 4, 0, 0x008}, {22704, 5, 0, 0x010}, {22705, 6, 0, 0x020},  {22706, 7, 0, 0x040},
    {22707, 8, 0, 0x080}, {22708, 9, 0, 0x100}, {22709, 10, 0, 0x200},
};
constexpr tag_VALUE_ITEM kFilterEffect[] = {
    {kPh, 0, 0, kAll},   {22750, 1, 0, 0x01}, {22751, 2, 0, 0x02}, {22752, 3, 0, 0x04},
    {22753, 4, 0, 0x08}, {22754, 5, 0, 0x10}, {22755, 6, 0, 0x20},
};
constexpr tag_VALUE_ITEM kVolume[] = {
    {kPh, 0, 0, kAll},   {23202, 2, 0, kAll}, {23203, 3, 0, kAll}, {23204, 4, 0, kAll},
    {23205, 5, 0, kAll}, {23206, 6, 0, kAll}, {23207, 7, 0, kAll},
};
constexpr tag_VALUE_ITEM kAutoRotate[] = {
    {kPh, 0, 0, kAll},
    {23500, 1, 0, kAll},
    {23501, 2, 0, kAll},
};
constexpr tag_VALUE_ITEM kExtendedMode[] = {
    {kPh, 0, 0, kAll},
    {23400, 1, 0, kAll},
    {23401, 2, 0, kAll},
};
constexpr tag_VALUE_ITEM kBracketShots[] = {
    {31110, 1, 0, 0x01},
    {31111, 2, 0, 0x02},
    {kPh, 0, 0, 0},
};
constexpr tag_VALUE_ITEM kBracketOrder[] = {
    {31120, 1, 0, 0x03},
    {31121, 2, 0, 0x03},
    {31122, 3, 0, 0x03},
    {kPh, 0, 0, 0},
};
constexpr tag_VALUE_ITEM kWbBracketAxis[] = {
    {31202, 1, 0, 0x01},
    {31201, 2, 0, 0x02},
    {kPh, 0, 0, 0},
};
constexpr tag_VALUE_ITEM kLiveViewGrid[] = {
    {36000, 2, 0, kAll}, {36001, 3, 0, kAll}, {36002, 4, 0, kAll},
    {36003, 6, 0, kAll}, {36004, 8, 0, kAll},
};

constexpr std::span<const tag_VALUE_ITEM> kTables[] = {
    kExposureMode,  kMetering,      kAfMode,        kDriveMode,    kFrameSize,    kFlashRedEye,
    kFlashSlowSync, kFlashSyncMode, kFlashFp,       kAfAssist,     kDcCrop,       kAspectRatio,
    kWhiteBalance,  kImageQuality,  kImageSize,     kColorSpace,   kColorMode,    kToneControl,
    kToningEffect,  kFilterEffect,  kVolume,        kAutoRotate,   kExtendedMode, kVolume,
    kBracketShots,  kBracketOrder,  kWbBracketAxis, kLiveViewGrid,
};
static_assert(std::size(kTables) == static_cast<size_t>(ValueTable::Count));

constexpr BracketSetting kBracketRows[] = {{1, 1}, {1, 2}, {1, 3}, {2, 1}, {2, 2}, {2, 3}};

constexpr tag_WB_BRACKET_AMOUNT kWbAmounts[] = {
    {"\u00B12", 2},   {"\u00B14", 4},   {"\u00B16", 6},   {"\u00B18", 8},
    {"\u00B110", 10}, {"\u00B112", 12}, {"\u00B114", 14}, {"\u00B116", 16},
};

constexpr tag_ISO_LIMIT_ITEM kIsoWhole[] = {
    {"ISO 100", 32},  {"ISO 200", 40},  {"ISO 400", 48},  {"ISO 800", 56},
    {"ISO 1600", 64}, {"ISO 3200", 72}, {"ISO 6400", 80},
};
constexpr tag_ISO_LIMIT_ITEM kIsoThird[] = {
    {"ISO 100", 32},  {"ISO 125", 35},  {"ISO 160", 37},  {"ISO 200", 40},  {"ISO 250", 43},
    {"ISO 320", 45},  {"ISO 400", 48},  {"ISO 500", 51},  {"ISO 640", 53},  {"ISO 800", 56},
    {"ISO 1000", 59}, {"ISO 1250", 61}, {"ISO 1600", 64}, {"ISO 2000", 67}, {"ISO 2500", 69},
    {"ISO 3200", 72}, {"ISO 4000", 75}, {"ISO 5000", 77}, {"ISO 6400", 80},
};

}  // namespace

std::span<const tag_VALUE_ITEM> GetValueTable(ValueTable table) {
    const auto i = static_cast<size_t>(table);
    return i < std::size(kTables) ? kTables[i] : std::span<const tag_VALUE_ITEM>();
}

std::optional<uint8_t> PlaceholderCode(ValueTable table) {
    for (const tag_VALUE_ITEM& item : GetValueTable(table)) {
        if (item.stringId == kStrPlaceholder) return item.code;
    }
    return std::nullopt;
}

const tag_VALUE_ITEM* FindValueByCode(ValueTable table, uint8_t code) {
    const int i = ValueIndexOfCode(table, code);
    return i < 0 ? nullptr : &GetValueTable(table)[i];
}

int ValueIndexOfCode(ValueTable table, uint8_t code) {
    const auto rows = GetValueTable(table);
    for (size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].code == code) return static_cast<int>(i);
    }
    return -1;
}

const char* ValueText(const tag_VALUE_ITEM& item) {
    return StringText(item.stringId);
}

bool IsOffered(const tag_VALUE_ITEM& item, uint32_t mask) {
    return item.settable == kAlwaysSettable || (item.settable & mask) != 0;
}

FilteredList FilterValueTable(ValueTable table, uint32_t mask, int currentCode) {
    FilteredList out;
    for (const tag_VALUE_ITEM& item : GetValueTable(table)) {
        if (!IsOffered(item, mask)) continue;
        if (out.items.size() >= kMaxSelectorEntries) break;
        out.items.push_back(&item);
    }
    for (size_t i = 0; i < out.items.size(); ++i) {
        if (currentCode >= 0 && out.items[i]->code == currentCode) {
            out.selection = static_cast<int>(i);
            break;
        }
    }
    return out;
}

std::optional<BracketSetting> BracketSettingOf(uint8_t code) {
    if (code < 1 || code > std::size(kBracketRows)) return std::nullopt;
    return kBracketRows[code - 1];
}

uint8_t BracketSettingCode(uint8_t shotsClass, uint8_t order) {
    for (size_t i = 0; i < std::size(kBracketRows); ++i) {
        if (kBracketRows[i].shotsClass == shotsClass && kBracketRows[i].order == order) {
            return static_cast<uint8_t>(i + 1);
        }
    }
    return 0;
}

std::span<const tag_WB_BRACKET_AMOUNT> WbBracketAmountTable() {
    return kWbAmounts;
}

std::span<const tag_ISO_LIMIT_ITEM> IsoLimitTable(bool wholeSteps) {
    if (wholeSteps) return kIsoWhole;
    return kIsoThird;
}

}  // namespace VARNO
