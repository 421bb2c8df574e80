#include "engine/app_settings.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "log/write_log.h"
#include "platform/ini.h"

namespace fs = std::filesystem;
using kvx::engine::AppSettings;
using kvx::engine::CutSettingText;

namespace {

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("kvx-settings-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        file_ = (dir_ / "Varno_Kolvex.ini").string();
    }
    void TearDown() override { fs::remove_all(dir_); }
    void Write(const std::string& text) {
        std::ofstream(file_, std::ios::binary) << text;
    }
    std::string Read() {
        std::ifstream in(file_, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    fs::path dir_;
    std::string file_;
};

TEST_F(SettingsTest, MissingFileGivesEveryDefault) {
    AppSettings s;
    s.inCamera = 7;  // must be overwritten by the default
    s.Read(file_);
    EXPECT_EQ(s.display.useSystemFont, 0);
    EXPECT_EQ(s.display.dpi96, 0);
    EXPECT_EQ(s.display.dpi120, 0);
    EXPECT_EQ(s.display.dpi150, 0);
    EXPECT_EQ(s.display.baseFontSize, 7);
    EXPECT_EQ(s.display.statusFont96, 0);
    EXPECT_EQ(s.reviewType, 0);
    EXPECT_EQ(s.reviewSoft, "");
    EXPECT_EQ(s.inCamera, 1);
    EXPECT_EQ(s.inPC, 0);
    EXPECT_EQ(s.path, "");
    EXPECT_EQ(s.rename, 0);
    EXPECT_EQ(s.prefix, "IMG");
    EXPECT_EQ(s.startNum, "10001");
    EXPECT_EQ(s.columns, "5");
    EXPECT_EQ(s.logLevel, 0);
    EXPECT_EQ(s.regist, 0);
    EXPECT_EQ(s.windowLeft, 100);
    EXPECT_EQ(s.windowTop, 100);
    EXPECT_EQ(s.live.left, 300);
    EXPECT_EQ(s.live.top, 100);
    EXPECT_EQ(s.live.width, 670);
    EXPECT_EQ(s.live.height, 460);
    EXPECT_EQ(s.live.gridLines, 2);
    EXPECT_EQ(s.live.gridPattern, 0);
    EXPECT_EQ(s.live.focusSelect, 1);
    EXPECT_EQ(s.live.useMask, 0);
    EXPECT_EQ(s.live.rotateAngle, 0);
    EXPECT_EQ(s.StorageDestination(), 1);
    EXPECT_FALSE(fs::exists(file_)) << "reading never creates the file";
}

TEST_F(SettingsTest, DisplaySectionFollowsLanguageAndKeepsBuiltInsForMinusOne) {
    Write("[JPN]\nUseSystemFont=-1\nBaseFontSize=-1\nStatusFont96=-1\nDpi96=-1\nDpi120=12\n"
          "[Default]\nBaseFontSize=11\n");
    struct Case {
        std::string abbrev;
        int baseFont;
        int dpi96;
        int dpi120;
    } cases[] = {
        {"JPN", 8, -1, 12},  // -1 keeps the built-in font size but is a real Dpi value
        {"", 11, 0, 0},      // executable's own resources: section "Default"
        {"DEU", 7, 0, 0},    // no section at all
        {"CHT", 8, 0, 0},
    };
    for (const auto& c : cases) {
        AppSettings s;
        s.Read(file_, c.abbrev);
        EXPECT_EQ(s.display.baseFontSize, c.baseFont) << c.abbrev;
        EXPECT_EQ(s.display.dpi96, c.dpi96) << c.abbrev;
        EXPECT_EQ(s.display.dpi120, c.dpi120) << c.abbrev;
        EXPECT_EQ(s.display.useSystemFont, 0) << c.abbrev;
        EXPECT_EQ(s.display.statusFont96, 0) << c.abbrev;
    }
    EXPECT_EQ(AppSettings::DisplaySectionName(""), "Default");
}

TEST_F(SettingsTest, HostileContentIsReadSafely) {
    std::string longPath(1000, 'p');
    std::string text;
    text += "garbage before any section\n";
    text += "[store_1.2]\n";  // sections and keys ignore case
    text += "PATH=" + longPath + "\n";
    text += "prefix=  \"quoted\"  \n";
    text += "InCamera=0x\n";          // no digits: 0
    text += "InPC=99999999999999\n";  // wraps as 32-bit arithmetic does
    text += "StartNum=" + std::string(300, '9') + "\n";
    text += "Columns=\n";  // present but empty: the empty text, not the default
    text += "[Debug_1.2]\nLogLevel=  3 trailing\n";
    text += "[Window_1.2]\nLeft=-40\nLeft=70\n";  // the first occurrence wins
    text += "[Live_Window_1.2]\nWidth=\x01\x02\xff\n";
    text += "[Review_1.2]\nReviewSoft=";
    // 254 ASCII characters and then a three-byte character that crosses the cap
    text += std::string(254, 'a') + "\xe6\x97\xa5\xe6\x97\xa5" + "\n";
    text += "[Unterminated\nkey=value\n";
    text += std::string(5000, '[') + "\n";
    Write(text);

    AppSettings s;
    s.Read(file_);
    EXPECT_EQ(s.path, std::string(255, 'p'));
    EXPECT_EQ(s.prefix, "quoted");
    EXPECT_EQ(s.inCamera, 0);
    EXPECT_EQ(s.inPC, static_cast<int32_t>(static_cast<uint32_t>(99999999999999ull)));
    EXPECT_EQ(s.startNum, std::string(127, '9'));
    EXPECT_EQ(s.columns, "");
    EXPECT_EQ(s.logLevel, 3);
    EXPECT_EQ(s.windowLeft, -40);
    EXPECT_EQ(s.live.width, 0);
    // 254 + one whole character = 255 characters; the second is cut, and no
    // half of a character is left behind.
    EXPECT_EQ(s.reviewSoft, std::string(254, 'a') + "\xe6\x97\xa5");
}

TEST_F(SettingsTest, RoundTripWritesOnlyAtTheirMomentsAndKeepsOtherKeys) {
    Write("[Debug_1.2]\nLogLevel=4\n[Other]\nKeep=me\n[JPN]\nDpi96=9\n");
    AppSettings s;
    s.Read(file_);
    s.reviewType = 2;
    s.reviewSoft = "/opt/review/bin/rv";
    s.inCamera = 0;
    s.inPC = 1;
    s.path = "/srv/shoot 1";
    s.rename = 1;
    s.prefix = "SHOT";
    s.startNum = "5";
    s.columns = "3";
    s.regist = 42;
    s.windowLeft = -12;
    s.windowTop = 33;
    s.live = {1, 2, 3, 4, 6, 2, 4, 1, 270};

    ASSERT_TRUE(s.WritePreferences(file_));
    AppSettings afterPrefs;
    afterPrefs.Read(file_);
    EXPECT_EQ(afterPrefs.path, "/srv/shoot 1");
    EXPECT_EQ(afterPrefs.StorageDestination(), 2);
    EXPECT_EQ(afterPrefs.windowLeft, 100) << "window keys are written only at exit";
    EXPECT_EQ(afterPrefs.live.rotateAngle, 0);

    ASSERT_TRUE(s.WriteExit(file_));
    AppSettings back;
    back.Read(file_, "JPN");
    EXPECT_EQ(back.reviewType, 2);
    EXPECT_EQ(back.reviewSoft, "/opt/review/bin/rv");
    EXPECT_EQ(back.inCamera, 0);
    EXPECT_EQ(back.inPC, 1);
    EXPECT_EQ(back.rename, 1);
    EXPECT_EQ(back.prefix, "SHOT");
    EXPECT_EQ(back.startNum, "5");
    EXPECT_EQ(back.columns, "3");
    EXPECT_EQ(back.regist, 42);
    EXPECT_EQ(back.windowLeft, -12);
    EXPECT_EQ(back.windowTop, 33);
    EXPECT_EQ(back.live.left, 1);
    EXPECT_EQ(back.live.gridLines, 6);
    EXPECT_EQ(back.live.focusSelect, 4);
    EXPECT_EQ(back.live.rotateAngle, 270);
    EXPECT_EQ(back.logLevel, 4) << "the log level is never written, but survives";
    EXPECT_EQ(back.display.dpi96, 9);
    kvx::IniFile raw(file_);
    EXPECT_EQ(raw.GetString("Other", "Keep", ""), "me");
    // Integers are decimal text.
    EXPECT_EQ(raw.GetString("Window_1.2", "Left", ""), "-12");
}

TEST_F(SettingsTest, ValuesThatWouldBreakTheFileAreCutAtTheLineBreak) {
    AppSettings s;
    s.path = "/tmp/a\n[Debug_1.2]\nLogLevel=6";
    s.prefix = std::string(200, 'x');
    ASSERT_TRUE(s.WritePreferences(file_));
    AppSettings back;
    back.Read(file_);
    EXPECT_EQ(back.path, "/tmp/a");
    EXPECT_EQ(back.logLevel, 0) << "a value must not be able to inject keys";
    EXPECT_EQ(back.prefix, std::string(127, 'x'));
}

TEST(CutSettingText, CountsCharactersNotBytes) {
    EXPECT_EQ(CutSettingText("abc", 2), "ab");
    EXPECT_EQ(CutSettingText("\xc3\xa9\xc3\xa9", 1), "\xc3\xa9");
    EXPECT_EQ(CutSettingText("a\xe6\x97", 5), "a") << "a sequence cut short is dropped";
    EXPECT_EQ(CutSettingText("one\r\ntwo", 100), "one");
    EXPECT_EQ(CutSettingText("", 10), "");
}

TEST_F(SettingsTest, DefaultLocationUnderXdgDataHomeIsCreated) {
    std::string old = std::getenv("XDG_DATA_HOME") ? std::getenv("XDG_DATA_HOME") : "";
    ::setenv("XDG_DATA_HOME", (dir_ / "data").c_str(), 1);
    std::string p = AppSettings::DefaultFilePath();
    if (old.empty())
        ::unsetenv("XDG_DATA_HOME");
    else
        ::setenv("XDG_DATA_HOME", old.c_str(), 1);
    EXPECT_EQ(p, (dir_ / "data" / "VARNO" / "Varno_Kolvex" / "Varno_Kolvex.ini").string());
    EXPECT_TRUE(fs::is_directory(dir_ / "data" / "VARNO" / "Varno_Kolvex"));
}

TEST_F(SettingsTest, LogLevelGoesToTheProgramLog) {
    Write("[Debug_1.2]\nLogLevel=5\n");
    AppSettings s;
    s.Read(file_);
    int before = DeliverableLog().Threshold();
    s.ApplyLogThreshold();
    EXPECT_EQ(DeliverableLog().Threshold(), 5);
    AppSettings none;
    none.Read((dir_ / "missing.ini").string());
    none.ApplyLogThreshold();
    EXPECT_EQ(DeliverableLog().Threshold(), 0) << "absent LogLevel writes no log at all";
    DeliverableLog().SetThreshold(before);
}

}  // namespace
