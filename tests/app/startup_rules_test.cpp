// The dialog font rule, settings brought into range, and the string table
// text of language files.
#include <gtest/gtest.h>

#include <climits>
#include <functional>

#include "app/dialog_font.h"
#include "app/settings_clamp.h"
#include "app/string_table_text.h"
#include "model/string_table.h"

using kvx::app::DialogFontRule;
using kvx::app::ScreenRect;
using kvx::app::SettingsClamp;
using kvx::app::StringTableText;
using kvx::app::WindowOrigin;
using kvx::engine::DisplaySettings;

namespace {

struct FontCase {
    const char* what;
    int dpi;
    std::function<void(DisplaySettings&)> set;
    int builtInBase;
    int size;
    bool systemFont;
    int statusTenths;
};

TEST(DialogFontTest, SizeFromResolutionAndSettings) {
    auto none = [](DisplaySettings&) {};
    const FontCase cases[] = {
        {"defaults at 96", 96, none, 7, 7, false, 0},
        {"East Asian defaults at 96", 96, [](DisplaySettings& d) { d.baseFontSize = 8; }, 8, 8,
         false, 0},
        {"base 9 at 120", 120, [](DisplaySettings& d) { d.baseFontSize = 9; }, 7, 7, false, 0},
        {"Dpi120 -11: size 11, system face", 120, [](DisplaySettings& d) { d.dpi120 = -11; }, 7, 11,
         true, 0},
        {"Dpi96 10", 96, [](DisplaySettings& d) { d.dpi96 = 10; }, 7, 10, false, 0},
        {"Dpi96 is not used at 120", 120, [](DisplaySettings& d) { d.dpi96 = 12; }, 7, 6, false, 0},
        {"Dpi150 at 150", 150, [](DisplaySettings& d) { d.dpi150 = 9; }, 7, 9, false, 0},
        {"144 dpi scales down", 144, none, 7, 5, false, 0},
        {"192 dpi scales down", 192, none, 7, 3, false, 0},
        {"72 dpi scales up", 72, none, 7, 10, false, 0},
        {"unknown resolution counts as 96", 0, none, 7, 7, false, 0},
        {"UseSystemFont", 96, [](DisplaySettings& d) { d.useSystemFont = 1; }, 7, 7, true, 0},
        {"base 0 gives size 0: built-in", 96, [](DisplaySettings& d) { d.baseFontSize = 0; }, 7, 7,
         false, 0},
        {"Dpi96 500: built-in", 96, [](DisplaySettings& d) { d.dpi96 = 500; }, 7, 7, false, 0},
        {"Dpi96 3 (4 px): built-in", 96, [](DisplaySettings& d) { d.dpi96 = 3; }, 8, 8, false, 0},
        {"Dpi120 most negative", 120, [](DisplaySettings& d) { d.dpi120 = INT_MIN; }, 7, 6, true,
         0},
        {"base largest int", 96, [](DisplaySettings& d) { d.baseFontSize = INT_MAX; }, 7, 7, false,
         0},
        {"status font at 150", 150, [](DisplaySettings& d) { d.statusFont150 = 90; }, 7, 4, false,
         90},
        {"status font at 96", 96, [](DisplaySettings& d) { d.statusFont96 = 75; }, 7, 7, false, 75},
        {"status font 5000: built in", 96, [](DisplaySettings& d) { d.statusFont96 = 5000; }, 7, 7,
         false, 0},
        {"status font of another resolution", 110, [](DisplaySettings& d) { d.statusFont96 = 75; },
         7, 6, false, 0},
    };
    for (const FontCase& c : cases) {
        SCOPED_TRACE(c.what);
        DisplaySettings d;
        c.set(d);
        const auto f = DialogFontRule::Choose(d, c.dpi, c.builtInBase);
        EXPECT_EQ(f.pointSize, c.size);
        EXPECT_EQ(f.useSystemFont, c.systemFont);
        EXPECT_EQ(f.statusFontTenths, c.statusTenths);
    }
}

TEST(SettingsClampTest, WindowOriginOnAScreen) {
    const std::vector<ScreenRect> one = {{0, 0, 1920, 1080}};
    const std::vector<ScreenRect> two = {{0, 0, 1920, 1080}, {1920, 0, 1280, 1024}};
    const std::vector<ScreenRect> small = {{0, 0, 640, 480}};
    const std::vector<ScreenRect> offset = {{-1280, 200, 1280, 1024}, {0, 0, 1920, 1080}};
    struct Case {
        const char* what;
        const std::vector<ScreenRect>* screens;
        WindowOrigin in, out;
    } cases[] = {
        {"on screen", &one, {100, 100}, {100, 100}},
        {"left of every screen", &one, {-5000, 100}, {100, 100}},
        {"on the second screen", &two, {2000, 100}, {2000, 100}},
        {"second screen unplugged", &one, {2000, 100}, {100, 100}},
        {"only 20 pixels on screen", &one, {1900, 100}, {100, 100}},
        {"120 pixels on screen", &one, {1800, 100}, {1800, 100}},
        {"title above the screen", &one, {100, -10}, {100, 100}},
        {"title below the screen", &one, {100, 1070}, {100, 100}},
        {"left screen, above its top", &offset, {-1000, 100}, {-1180, 300}},
        {"extreme values", &one, {INT_MIN, INT_MAX}, {100, 100}},
        {"screen smaller than the window", &small, {5000, 5000}, {100, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(SettingsClamp::Origin(c.in, 528, 548, *c.screens, {100, 100}), c.out);
    }
    EXPECT_EQ(SettingsClamp::Origin({-5000, -5000}, 528, 548, {}, {100, 100}),
              (WindowOrigin{-5000, -5000}));  // no screen known: nothing to judge by
}

TEST(SettingsClampTest, LiveWindowValuesOutsideTheirSetsReturnToDefaults) {
    const std::vector<ScreenRect> screen = {{0, 0, 1920, 1080}};
    kvx::engine::AppSettings s;
    s.windowLeft = 99999;
    s.live = {-4000, 100, 0, 100000, 5, -1, 9, 2, 45};
    SettingsClamp::Apply(s, 528, 548, screen);
    EXPECT_EQ(s.windowLeft, 100);
    const kvx::engine::LiveWindowSettings d;
    EXPECT_EQ(s.live.left, d.left);
    EXPECT_EQ(s.live.top, 100);
    EXPECT_EQ(s.live.width, d.width);
    EXPECT_EQ(s.live.height, d.height);
    EXPECT_EQ(s.live.gridLines, d.gridLines);
    EXPECT_EQ(s.live.gridPattern, d.gridPattern);
    EXPECT_EQ(s.live.focusSelect, d.focusSelect);
    EXPECT_EQ(s.live.useMask, d.useMask);
    EXPECT_EQ(s.live.rotateAngle, d.rotateAngle);

    kvx::engine::AppSettings keep;
    keep.live = {40, 60, 900, 950, 8, 2, 4, 1, 270};
    SettingsClamp::Apply(keep, 528, 548, screen);
    EXPECT_EQ(keep.live.left, 40);
    EXPECT_EQ(keep.live.top, 60);
    EXPECT_EQ(keep.live.width, 900);
    EXPECT_EQ(keep.live.height, 950);
    EXPECT_EQ(keep.live.gridLines, 8);
    EXPECT_EQ(keep.live.gridPattern, 2);
    EXPECT_EQ(keep.live.focusSelect, 4);
    EXPECT_EQ(keep.live.useMask, 1);
    EXPECT_EQ(keep.live.rotateAngle, 270);
}

TEST(StringTableTextTest, ParsesRowsEscapesAndSkipsBadLines) {
    const std::string text =
        "\xEF\xBB\xBF# a comment\r\n"
        "103\tVARNO Kolvex\r\n"
        "\n"
        "10200\tLine one.\\r\\nLine two\\tTab \\\\ back \\q\n"
        "abc\tnot an id\n"
        "65536\ttoo large\n"
        "104 no tab\n"
        "\tno id\n"
        "104\t\xE3\x82\xAB\xE3\x83\xA1\xE3\x83\xA9\n"
        "36004\tlast line without end";
    const auto rows = StringTableText::Parse(text);
    const std::vector<std::pair<uint32_t, std::string>> expected = {
        {103, "VARNO Kolvex"},
        {10200, "Line one.\r\nLine two\tTab \\ back \\q"},
        {104, "\xE3\x82\xAB\xE3\x83\xA1\xE3\x83\xA9"},
        {36004, "last line without end"},
    };
    EXPECT_EQ(rows, expected);
    EXPECT_EQ(StringTableText::Parse(StringTableText::Format(rows)), rows);
}

TEST(StringTableTextTest, ReplacementKeepsEarlierTextsAlive) {
    const char* english = VARNO::StringText(104);
    VARNO::ReplaceStrings({{104, "Kamera"}});
    const char* german = VARNO::StringText(104);
    EXPECT_STREQ(german, "Kamera");
    VARNO::ReplaceStrings({{104, "Appareil"}});
    EXPECT_STREQ(VARNO::StringText(104), "Appareil");
    EXPECT_STREQ(german, "Kamera");  // still readable after the next replacement
    VARNO::RestoreBuiltInStrings();
    EXPECT_STREQ(VARNO::StringText(104), english);
}

}  // namespace
