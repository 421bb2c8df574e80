// The conversion table, the four value lists built from it, and the display
// text formatters.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "model/camera.h"
#include "model/display_text.h"
#include "model/exposure_table.h"

namespace {

using namespace VARNO;

TEST(ExposureLists, OneThirdStepListsAtConstruction) {
    CCamera camera;
    ASSERT_TRUE(camera.IsValid());

    const auto& shutter = camera.ShutterList();
    ASSERT_EQ(shutter.size(), 58u);
    EXPECT_EQ(shutter.front()->text, "Bulb");
    EXPECT_EQ(shutter.front()->code, 8u);
    EXPECT_EQ(shutter.back()->text, "Sync");
    EXPECT_EQ(shutter.back()->code, 162u);
    EXPECT_EQ(camera.ShutterSyncIndex(), 57);
    ASSERT_NE(camera.ShutterEntry(116), nullptr);
    EXPECT_EQ(camera.ShutterEntry(116)->text, "1/180");
    // Code 9 is the camera's other name for 1/180.
    EXPECT_EQ(camera.ShutterIndex(9), camera.ShutterIndex(116));

    const auto& exp = camera.ExpList();
    ASSERT_EQ(exp.size(), 39u);
    EXPECT_EQ(exp.front()->text, "-6.3");
    EXPECT_EQ(exp.back()->text, "+6.3");
    EXPECT_EQ(camera.ExpIndexZero(), 19);
    EXPECT_EQ(exp[19]->text, "0.0");
    EXPECT_EQ(camera.ExpIndexMinus5(), 4);
    EXPECT_EQ(camera.ExpIndexPlus5(), 34);
    EXPECT_EQ(camera.ExpIndexMinus3(), 10);
    EXPECT_EQ(camera.ExpIndexPlus3(), 28);
    // +1.7 is code 14, not 13; -0.3 is the signed code 253.
    EXPECT_EQ(camera.ExpEntry(14)->text, "+1.7");
    EXPECT_EQ(camera.ExpEntry(13), nullptr);
    EXPECT_EQ(camera.ExpEntry(253)->text, "-0.3");

    const auto& aperture = camera.ApertureList();
    ASSERT_EQ(aperture.size(), 40u);
    EXPECT_EQ(aperture.front()->text, "F1.0");
    EXPECT_EQ(aperture.back()->text, "F91");

    // Whole steps with the default mask: the seven whole ISO values.
    ASSERT_EQ(camera.IsoList().size(), 7u);
    EXPECT_EQ(camera.IsoList().front()->text, "100");
    EXPECT_EQ(camera.IsoList().back()->text, "6400");
}

TEST(ExposureLists, ListsAreInCodeOrderAndSkipEmptyRows) {
    CCamera camera;
    for (size_t i = 1; i < camera.ShutterList().size(); ++i) {
        EXPECT_LT(camera.ShutterList()[i - 1]->code, camera.ShutterList()[i]->code);
    }
    for (size_t i = 1; i < camera.ExpList().size(); ++i) {
        EXPECT_LT(camera.ExpList()[i - 1]->value, camera.ExpList()[i]->value);
    }
    EXPECT_EQ(camera.ShutterCodeAt(-1), -1);
    EXPECT_EQ(camera.ShutterCodeAt(58), -1);
    EXPECT_EQ(camera.ExpCodeAt(19), 0);
}

// A CanSetInfo record of the old generation with the given bytes set.
void ReceiveCanSetInfo(CCamera& camera, std::vector<std::pair<size_t, uint8_t>> bytes) {
    uint8_t record[39] = {};
    std::memcpy(record, camera.CanSetInfo(1), sizeof record);
    for (auto [offset, value] : bytes) record[offset] = value;
    camera.StoreReceivedCanSetInfo(1, record, sizeof record);
    camera.MergeCanSetInfo(1);
}

TEST(ExposureLists, HalfStepColumnsFollowTheStepBits) {
    CCamera camera;
    ReceiveCanSetInfo(camera, {{13, 0x07}, {16, 0x03}, {22, 0x03}});
    ASSERT_TRUE(camera.BuildLists());
    EXPECT_EQ(camera.ShutterList().size(), 39u);
    EXPECT_EQ(camera.ShutterEntry(100)->text, "1/45");
    EXPECT_EQ(camera.ApertureList().size(), 27u);
    EXPECT_EQ(camera.ApertureEntry(60)->text, "F9.5");
    ASSERT_EQ(camera.ExpList().size(), 13u);
    EXPECT_EQ(camera.ExpList().front()->text, "-3.0");
    // No +/-5.0 in half steps: the compensation slider spans the whole list.
    EXPECT_EQ(camera.ExpIndexMinus5(), -1);
    EXPECT_EQ(camera.ExpCompBase(), 0);
    EXPECT_EQ(camera.ExpCompTop(), 12);
    EXPECT_EQ(camera.FlashCompTop() - camera.FlashCompBase(), 12);
}

struct IsoCase {
    const char* name;
    uint8_t step;
    uint16_t mask;  // CanSetInfo whole-step mask
    std::vector<int> values;
};
// Test names and failure messages show the case, not its bytes.
void PrintTo(const IsoCase& c, std::ostream* os) { *os << c.name; }


class IsoRebuild : public ::testing::TestWithParam<IsoCase> {};

TEST_P(IsoRebuild, KeepsTheValuesOfTheStepMode) {
    const IsoCase& c = GetParam();
    CCamera camera;
    ReceiveCanSetInfo(
        camera, {{18, static_cast<uint8_t>(c.mask)}, {19, static_cast<uint8_t>(c.mask >> 8)}});
    ASSERT_TRUE(camera.RebuildIsoList(c.step));
    std::vector<int> values;
    for (const auto& e : camera.IsoList()) {
        values.push_back(e->value);
        EXPECT_EQ(e->text, std::to_string(e->value));
    }
    EXPECT_EQ(values, c.values);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, IsoRebuild,
    ::testing::Values(
        IsoCase{"WholeDefaultMask", 1, 0x80FE, {100, 200, 400, 800, 1600, 3200, 6400}},
        IsoCase{"WholeMask0006", 1, 0x0006, {100, 200}},
        IsoCase{"WholeMaskWithoutLowBits", 1, 0x00C0, {3200, 6400}},
        IsoCase{"ThirdIgnoresMask",
                2,
                0x0006,
                {100, 125, 160, 200, 250, 320, 400, 500, 640, 800, 1000, 1250, 1600, 2000, 2500,
                 3200, 4000, 5000, 6400}},
        IsoCase{"AnyOtherStepIsThirds",
                0,
                0x80FE,
                {100, 125, 160, 200, 250, 320, 400, 500, 640, 800, 1000, 1250, 1600, 2000, 2500,
                 3200, 4000, 5000, 6400}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ConversionTable, ColumnsHoldTheirRowsAndNothingElse) {
    struct Column {
        ExposureColumn column;
        int rows;
    } columns[] = {{ExposureColumn::Iso, 25},      {ExposureColumn::ExpA, 39},
                   {ExposureColumn::ExpB, 13},     {ExposureColumn::ShutterA, 58},
                   {ExposureColumn::ShutterB, 39}, {ExposureColumn::ApertureA, 40},
                   {ExposureColumn::ApertureB, 27}};
    for (const auto& c : columns) {
        int rows = 0;
        for (int code = 0; code < 256; ++code) {
            if (ConversionValue(c.column, static_cast<uint8_t>(code)) != kNoValue) ++rows;
        }
        EXPECT_EQ(rows, c.rows) << static_cast<int>(c.column);
    }
    EXPECT_EQ(ConversionValue(ExposureColumn::Iso, 16), 25);
    EXPECT_EQ(ConversionValue(ExposureColumn::ShutterB, 64), -2);
    EXPECT_EQ(ShutterReadoutText(ExposureColumn::ShutterA, 9), nullptr);
    EXPECT_EQ(ShutterReadoutText(ExposureColumn::Iso, 32), nullptr);
}

struct TextCase {
    std::string got;
    std::string want;
};

TEST(DisplayText, Formatters) {
    const TextCase cases[] = {
        {FormatShutter(0), "Bulb"},
        {FormatShutter(162), "Sync"},
        {FormatShutter(25), "2.5"},
        {FormatShutter(30), "3"},
        {FormatShutter(300), "30"},
        {FormatShutter(5), "0.5"},
        {FormatShutter(-125), "1/125"},
        {FormatAperture(100), "F10"},
        {FormatAperture(95), "F9.5"},
        {FormatAperture(10), "F1.0"},
        {FormatIso(6400), "6400"},
        {FormatExposureValue(0), "0.0"},
        {FormatExposureValue(-3), "-0.3"},
        {FormatExposureValue(13), "+1.3"},
        {FormatExposureValue(-63), "-6.3"},
        {FormatProgramShift(-3), "-3"},
        {FormatProgramShift(2), "2"},
        {FormatPictureParameter(-3), "-0.3"},
        {FormatPictureParameter(0), "+0.0"},
        {FormatPictureParameter(10), "+1.0"},
        {FormatColorTemperature(5550, 100), "5500K"},
        {FormatColorTemperature(5550, 0), "5500K"},
        {FormatColorTemperature(5550, 50), "5550K"},
        {FormatWbBracketAmount(2), "\u00B12"},
        {FormatWbBracketAmount(16), "\u00B116"},
        {FormatWbBracketAmount(3), ""},
        {FormatFocalLength(0x0230), "35"},
        {FormatFocalLength(0x0118), "17.5"},
        {FormatFocalLength(0x0374), "55.2"},
        {FormatCameraLine("K-1", 0x0230, 0x0230), "Camera: K-1(35)"},
        {FormatCameraLine("K-1", 0x0118, 0x0370), "Camera: K-1(17.5-55)"},
        {AnsiToUtf8("Caf\xE9 \x80", 16), "Caf\u00E9 \u20AC"},
        {AnsiToUtf8("ABCDEF", 3), "ABC"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.got, c.want);
}

TEST(DisplayText, ShutterReadouts) {
    const std::pair<int16_t, const char*> cases[] = {
        {0, "buLb"},   {162, "5ync"}, {300, " 30\""}, {10, "  1\""},
        {25, " 2\"5"}, {5, " 0\"5"},  {-4, "   4"},   {-8000, "8000"},
    };
    for (auto [value, want] : cases) {
        char out[5];
        FormatShutterReadout(value, out);
        EXPECT_STREQ(out, want) << value;
    }
    CCamera camera;
    EXPECT_STREQ(camera.ShutterEntry(160)->readout, "8000");
    EXPECT_STREQ(camera.ShutterEntry(8)->readout, "buLb");
}

}  // namespace
