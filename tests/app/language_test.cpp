// Locale names to language ids and abbreviations, the order in which
// language files are tried, and which file is accepted.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "app/language_chooser.h"
#include "engine/app_settings.h"
#include "model/string_table.h"
#include "platform/locale_info.h"
#include "tests/engine/log_capture.h"

using kvx::LocaleInfo;
using kvx::app::LanguageChooser;
using kvx::app::LanguageFile;

namespace {

const std::string kExe = "/opt/kvx/Varno_Kolvex";

class FakeLanguageFile : public LanguageFile {
public:
    explicit FakeLanguageFile(std::vector<std::pair<uint32_t, std::string>> s) : s_(std::move(s)) {}
    const std::vector<std::pair<uint32_t, std::string>>& Strings() const override { return s_; }

private:
    std::vector<std::pair<uint32_t, std::string>> s_;
};

// Files that exist, by abbreviation; records every path the chooser opens.
struct FakeFolder {
    std::map<std::string, std::vector<std::pair<uint32_t, std::string>>> files;
    std::vector<std::string> opened;  // abbreviations, in order

    kvx::app::LanguageFileOpener Opener() {
        return [this](const std::string& path) -> std::unique_ptr<LanguageFile> {
            const std::string prefix = kExe + "_";
            EXPECT_EQ(path.rfind(prefix, 0), 0u) << path;
            EXPECT_EQ(path.substr(path.size() - 4), ".rcc") << path;
            std::string abbrev = path.substr(prefix.size(), path.size() - prefix.size() - 4);
            opened.push_back(abbrev);
            auto it = files.find(abbrev);
            if (it == files.end()) return nullptr;
            return std::make_unique<FakeLanguageFile>(it->second);
        };
    }
};

class LanguageTest : public ::testing::Test {
protected:
    void TearDown() override { VARNO::RestoreBuiltInStrings(); }
};

struct LocaleCase {
    const char* locale;
    uint16_t langId;
    std::vector<std::string> filesTried;  // with no language file present
};

// One table: the system locale, its Windows id, and the files tried for it
// (the id itself, then its sublanguage cleared, then the default
// sublanguage). Chinese regions fold into CHT and CHS; English (United
// States) is the program's own language and needs no file.
const LocaleCase kLocales[] = {
    {"en_US.UTF-8", 0x0409, {}},
    {"en_GB.UTF-8", 0x0809, {"ENG"}},
    {"ja_JP.UTF-8", 0x0411, {"JPN"}},
    {"de_DE.UTF-8", 0x0407, {"DEU"}},
    {"de_AT.UTF-8@euro", 0x0C07, {"DEA", "DEU"}},
    {"de_LI.UTF-8", 0x0007, {"DEU"}},
    {"de", 0x0007, {"DEU"}},
    {"fr_FR", 0x040C, {"FRA"}},
    {"fr_CA.UTF-8", 0x0C0C, {"FRC", "FRA"}},
    {"it_IT.UTF-8", 0x0410, {"ITA"}},
    {"es_ES.UTF-8", 0x0C0A, {"ESN", "ESP"}},
    {"es_AR.UTF-8", 0x000A, {"ESP"}},
    {"zh_TW.UTF-8", 0x0404, {"CHT"}},
    {"zh_CN.UTF-8", 0x0804, {"CHS", "CHT"}},
    {"zh_HK.UTF-8", 0x0C04, {"CHT", "CHT"}},
    {"zh_MO.UTF-8", 0x1404, {"CHT", "CHT"}},
    {"zh_SG.UTF-8", 0x1004, {"CHS", "CHT"}},
    {"ko_KR.UTF-8", 0x0412, {"KOR"}},
    {"nl_NL.UTF-8", 0x0413, {"NLD"}},
    {"pt_BR.UTF-8", 0x0416, {"PTB"}},
    {"pt_PT.UTF-8", 0x0816, {"PTG", "PTB"}},
    {"ru_RU.UTF-8", 0x0419, {"RUS"}},
    {"C.UTF-8", 0, {}},
    {"POSIX", 0, {}},
    {"", 0, {}},
    {"xx_YY.UTF-8", 0, {}},
};

TEST_F(LanguageTest, LocaleGivesIdAndTheFilesTriedInOrder) {
    for (const LocaleCase& c : kLocales) {
        SCOPED_TRACE(c.locale);
        const uint16_t id = LocaleInfo::LangIdOfLocale(c.locale);
        EXPECT_EQ(id, c.langId);
        FakeFolder folder;
        LanguageChooser chooser(LocaleInfo::kEnglishUs, kExe, folder.Opener());
        chooser.Choose({id, 0, 0, 0});
        EXPECT_EQ(folder.opened, c.filesTried);
        EXPECT_EQ(chooser.Abbrev(), "");
        EXPECT_FALSE(chooser.Rejected());
    }
}

TEST_F(LanguageTest, SourcesAreTriedInOrderAndEachIsLogged) {
    kvx::test::LogCapture log;
    FakeFolder folder;
    LanguageChooser chooser(LocaleInfo::kEnglishUs, kExe, folder.Opener());
    chooser.Choose({0x0407, 0, 0x0411, 0x040C});
    EXPECT_EQ(folder.opened, (std::vector<std::string>{"DEU", "JPN", "FRA"}));
    const std::vector<std::string> expected = {
        "04 | --- m_nCurrentLanguage = 0x407 GetUserUILanguage()",
        "04 | --- m_nCurrentLanguage=0x407, szAbbrevName=DEU",
        "01 | Attempt to load DLL for unsupported language. Language = 7",
        "04 | --- m_nCurrentLanguage = 0x0 GetSystemUILanguage()",
        "04 | --- m_nCurrentLanguage = 0x411 GetUserDefaultLangID()",
        "04 | --- m_nCurrentLanguage=0x411, szAbbrevName=JPN",
        "01 | Attempt to load DLL for unsupported language. Language = 17",
        "04 | --- m_nCurrentLanguage = 0x40c GetSystemDefaultLangID()",
        "04 | --- m_nCurrentLanguage=0x40c, szAbbrevName=FRA",
        "01 | Attempt to load DLL for unsupported language. Language = 12",
        "04 | --- m_nCurrentLanguage = 0x409 Use exe resource",
    };
    EXPECT_EQ(log.Lines(), expected);
    EXPECT_EQ(chooser.CurrentLanguage(), 0x0409);
}

TEST_F(LanguageTest, FileWithString103IsAcceptedAndReplacesTheTexts) {
    FakeFolder folder;
    folder.files["DEU"] = {{103, "VARNO Kolvex DE"}, {104, "Kamera"}, {99999, "unknown id"}};
    LanguageChooser chooser(LocaleInfo::kEnglishUs, kExe, folder.Opener());
    chooser.Choose({0x0C07, 0x0411, 0, 0});  // Austria: DEA missing, then DEU
    EXPECT_EQ(folder.opened, (std::vector<std::string>{"DEA", "DEU"}));
    EXPECT_EQ(chooser.Abbrev(), "DEU");
    ASSERT_NE(chooser.Active(), nullptr);
    EXPECT_STREQ(VARNO::StringText(103), "VARNO Kolvex DE");
    EXPECT_STREQ(VARNO::StringText(104), "Kamera");
    EXPECT_STREQ(VARNO::StringText(33001), "---");  // not in the file: English stays
    EXPECT_FALSE(VARNO::HasString(99999));
    EXPECT_EQ(kvx::engine::AppSettings::DisplaySectionName(chooser.Abbrev()), "DEU");
}

TEST_F(LanguageTest, FileWithoutString103IsRejectedAndNoOtherFileIsOpened) {
    kvx::test::LogCapture log;
    FakeFolder folder;
    folder.files["DEU"] = {{104, "Kamera"}, {103, ""}};
    folder.files["JPN"] = {{103, "VARNO Kolvex JA"}};
    LanguageChooser chooser(LocaleInfo::kEnglishUs, kExe, folder.Opener());
    chooser.Choose({0x0407, 0x0411, 0, 0});
    EXPECT_EQ(folder.opened, (std::vector<std::string>{"DEU"}));
    EXPECT_TRUE(chooser.Rejected());
    EXPECT_EQ(chooser.Abbrev(), "");
    EXPECT_EQ(chooser.Active(), nullptr);
    EXPECT_STREQ(VARNO::StringText(104), "Camera");
    EXPECT_EQ(kvx::engine::AppSettings::DisplaySectionName(chooser.Abbrev()), "Default");
    EXPECT_EQ(kvx::engine::AppSettings::BuiltInBaseFontSize(chooser.Abbrev()), 7);
    EXPECT_TRUE(
        log.Has(3, kExe + "_DEU.rcc is not correct Resource DLL, then use default language"));
    EXPECT_TRUE(log.Has(4, "Resource DLL " + kExe + "_DEU.rcc loaded successfully"));
}

TEST_F(LanguageTest, HongKongUsesTheTraditionalChineseFile) {
    FakeFolder folder;
    folder.files["CHT"] = {{103, "VARNO Kolvex TW"}};
    LanguageChooser chooser(LocaleInfo::kEnglishUs, kExe, folder.Opener());
    chooser.Choose({LocaleInfo::LangIdOfLocale("zh_HK.UTF-8"), 0, 0, 0});
    EXPECT_EQ(folder.opened, (std::vector<std::string>{"CHT"}));
    EXPECT_EQ(chooser.Abbrev(), "CHT");
    EXPECT_EQ(kvx::engine::AppSettings::BuiltInBaseFontSize(chooser.Abbrev()), 8);
}

TEST_F(LanguageTest, EveryAbbreviationOfTheTableFoldsToAFileName) {
    for (const kvx::LocaleRow& row : LocaleInfo::Table()) {
        SCOPED_TRACE(row.abbrev);
        EXPECT_EQ(LocaleInfo::AbbrevOfLangId(row.langId), row.abbrev);
        const std::string folded = LanguageChooser::FoldChineseRegion(row.abbrev);
        EXPECT_TRUE(folded.rfind("ZH", 0) != 0) << folded;
        if (row.territory[0] != '\0') {
            EXPECT_EQ(LocaleInfo::LangIdOfLocale(std::string(row.language) + "_" + row.territory +
                                                 ".UTF-8"),
                      row.langId);
        }
    }
}

TEST(LocaleFileTest, ValuesOfASystemLocaleFile) {
    struct Case {
        const char* text;
        const char* key;
        const char* value;
    } cases[] = {
        {"LANG=de_DE.UTF-8\n", "LANG", "de_DE.UTF-8"},
        {"#  File generated by update-locale\n", "LANG", ""},
        {"LANG=\"ja_JP.UTF-8\"\nLC_TIME='fr_FR.UTF-8'\n", "LC_TIME", "fr_FR.UTF-8"},
        {"LANG=en_US.UTF-8\nLANG=ko_KR.UTF-8\n", "LANG", "ko_KR.UTF-8"},
        {"XLANG=zh_TW\n  LANG=zh_HK.UTF-8  \n", "LANG", "zh_HK.UTF-8"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LocaleInfo::ValueOfLocaleFile(c.text, c.key), c.value) << c.text;
}

}  // namespace
