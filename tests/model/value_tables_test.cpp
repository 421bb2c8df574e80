// Value tables, the settable filter, the bracketing setting table, code
// aliases and the string table.
#include "model/value_tables.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "model/string_table.h"

namespace {

using namespace VARNO;

std::vector<std::string> Texts(const FilteredList& list) {
    std::vector<std::string> out;
    for (const auto* item : list.items) out.push_back(ValueText(*item));
    return out;
}

struct FilterCase {
    const char* name;
    ValueTable table;
    uint32_t mask;
    int current;
    std::vector<std::string> texts;
    int selection;
};
// Test names and failure messages show the case, not its bytes.
void PrintTo(const FilterCase& c, std::ostream* os) { *os << c.name; }


class Filter : public ::testing::TestWithParam<FilterCase> {};

TEST_P(Filter, KeepsOfferedRowsInTableOrder) {
    const FilterCase& c = GetParam();
    const FilteredList list = FilterValueTable(c.table, c.mask, c.current);
    EXPECT_EQ(Texts(list), c.texts);
    EXPECT_EQ(list.selection, c.selection);
}

INSTANTIATE_TEST_SUITE_P(
    Tables, Filter,
    ::testing::Values(
        FilterCase{"MeteringMask05",
                   ValueTable::Metering,
                   0x05,
                   3,
                   {"---", "Evaluative Metering", "Center Area Metering"},
                   2},
        FilterCase{"MaskZeroLeavesPlaceholder", ValueTable::WhiteBalance, 0, 1, {"---"}, 0},
        FilterCase{"CurrentNotOfferedSelectsPlaceholder",
                   ValueTable::ImageSize,
                   0x06,
                   5,
                   {"---", "HI", "MED"},
                   0},
        FilterCase{"DriveModeOrderAndQmdMask",
                   ValueTable::DriveMode,
                   0x0D,
                   4,
                   {"---", "Single Frame Shooting", "Self-Timer 2s", "Self-Timer 10s"},
                   3},
        FilterCase{"FlashMask0001KeepsOff", ValueTable::FlashRedEye, 0x0001, 0, {"---", "Off"}, 0},
        FilterCase{
            "FlashSlowSyncOn", ValueTable::FlashSlowSync, 0x0200, 64, {"---", "Off", "On"}, 2},
        FilterCase{"AfAssistNeedsItsBits", ValueTable::AfAssist, 0x0001, 2, {"---", "Off"}, 1},
        FilterCase{
            "DcCropAutoSharesOffBit", ValueTable::DcCrop, 0x01, 0, {"---", "Off", "Auto"}, 2},
        FilterCase{"AlwaysSettableRows",
                   ValueTable::AfVolume,
                   0,
                   7,
                   {"---", "0", "1", "2", "3", "4", "5"},
                   6},
        FilterCase{
            "ColorModeDoubledAmpersand", ValueTable::ColorMode, 0x002, 2, {"---", "B&&W"}, 1},
        FilterCase{"BracketShotsPlaceholderNotOffered",
                   ValueTable::BracketShots,
                   0x01,
                   -1,
                   {"3 Shots"},
                   0},
        FilterCase{"BracketOrdersAllOnMask01",
                   ValueTable::BracketOrder,
                   0x01,
                   2,
                   {"0 -> - -> +", "- -> 0 -> +", "+ -> 0 -> -"},
                   1},
        FilterCase{"GridHasNoPlaceholder",
                   ValueTable::LiveViewGrid,
                   0,
                   3,
                   {"4", "9", "16", "36", "64"},
                   1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ValueTables, EveryRowHasTextAndListSettingsStartWithThePlaceholder) {
    for (int t = 0; t < static_cast<int>(ValueTable::Count); ++t) {
        const auto table = static_cast<ValueTable>(t);
        const auto rows = GetValueTable(table);
        ASSERT_FALSE(rows.empty()) << t;
        EXPECT_LE(rows.size(), kMaxSelectorEntries) << t;
        for (const auto& row : rows) EXPECT_TRUE(HasString(row.stringId)) << row.stringId;
        const bool placeholderLast = table == ValueTable::BracketShots ||
                                     table == ValueTable::BracketOrder ||
                                     table == ValueTable::WbBracketAxis;
        if (table == ValueTable::LiveViewGrid) {
            EXPECT_FALSE(PlaceholderCode(table).has_value());
        } else if (placeholderLast) {
            EXPECT_EQ(rows.back().stringId, kStrPlaceholder) << t;
        } else {
            EXPECT_EQ(rows.front().stringId, kStrPlaceholder) << t;
            EXPECT_EQ(rows.front().settable, kAlwaysSettable) << t;
        }
    }
    EXPECT_EQ(PlaceholderCode(ValueTable::DcCrop), 255);
    EXPECT_EQ(PlaceholderCode(ValueTable::WhiteBalance), 0);
}

TEST(ValueTables, LookupsByCode) {
    EXPECT_STREQ(ValueText(*FindValueByCode(ValueTable::ExposureMode, 16)), "C1 - Custom Mode 1");
    EXPECT_STREQ(ValueText(*FindValueByCode(ValueTable::WhiteBalance, 15)),
                 "Auto(Lighting Source Priority)");
    EXPECT_STREQ(ValueText(*FindValueByCode(ValueTable::DriveMode, 3)), "Self-Timer 2s");
    EXPECT_EQ(ValueIndexOfCode(ValueTable::DriveMode, 6), 7);
    EXPECT_EQ(FindValueByCode(ValueTable::AspectRatio, 9), nullptr);
    EXPECT_EQ(ValueIndexOfCode(ValueTable::Metering, 200), -1);
}

TEST(ValueTables, BracketSettingTableBothWays) {
    for (uint8_t code = 1; code <= 6; ++code) {
        const auto s = BracketSettingOf(code);
        ASSERT_TRUE(s.has_value());
        EXPECT_EQ(s->shotsClass, code <= 3 ? 1 : 2);
        EXPECT_EQ(s->order, (code - 1) % 3 + 1);
        EXPECT_EQ(BracketSettingCode(s->shotsClass, s->order), code);
    }
    EXPECT_FALSE(BracketSettingOf(0).has_value());
    EXPECT_FALSE(BracketSettingOf(7).has_value());
    EXPECT_EQ(BracketSettingCode(2, 2), 5);
    EXPECT_EQ(BracketSettingCode(0, 1), 0);  // a placeholder picked: nothing to send
}

TEST(ValueTables, CodeAliases) {
    EXPECT_EQ(ShutterLookupCode(9), 116);
    EXPECT_EQ(ShutterLookupCode(115), 115);
    EXPECT_EQ(CanSetInfoShutterUpperCode(115), 116);
    EXPECT_EQ(CanSetInfoShutterUpperCode(160), 160);
    const std::pair<uint8_t, uint8_t> wb[] = {{9, 8}, {11, 10}, {13, 12}, {8, 8}, {14, 14}, {1, 1}};
    for (auto [code, shown] : wb) EXPECT_EQ(WhiteBalanceDisplayCode(code), shown);
}

TEST(ValueTables, IsoLimitTables) {
    const auto whole = IsoLimitTable(true);
    const auto third = IsoLimitTable(false);
    ASSERT_EQ(whole.size(), 7u);
    ASSERT_EQ(third.size(), 19u);
    EXPECT_STREQ(whole[3].text, "ISO 800");
    EXPECT_EQ(whole[3].code, 56);
    EXPECT_EQ(third.back().code, 80);
}

TEST(StringTable, IdsAreUniqueAndLookedUp) {
    std::set<uint32_t> ids;
    for (const auto& e : StringTable()) EXPECT_TRUE(ids.insert(e.id).second) << e.id;
    EXPECT_STREQ(StringText(kStrPlaceholder), "---");
    EXPECT_STREQ(StringText(kStrCamera), "Camera");
    EXPECT_STREQ(StringText(21202), "MANUAL");
    EXPECT_STREQ(StringText(1), "");
    EXPECT_FALSE(HasString(1));
}

}  // namespace
