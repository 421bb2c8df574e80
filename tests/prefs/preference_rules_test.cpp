// The rules of the preferences fields without a window: what the prefix and a
// new folder's name may hold, the two number fields, and the checks made at
// OK before anything is written.
#include "prefs/preference_rules.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "tests/prefs/hostile_names.h"

namespace {

namespace fs = std::filesystem;
using kvx::prefs::CPreferenceRules;
using kvx::prefs::PreferenceValues;

TEST(PrefixAndFolderName, HostileTextNeverLeavesTheFolder) {
    for (const auto& h : kvx::test::HostileNames()) {
        SCOPED_TRACE(::testing::PrintToString(h.input));
        const std::string kept = CPreferenceRules::FilterPrefix(h.input);
        EXPECT_EQ(kept, h.prefix);
        EXPECT_EQ(CPreferenceRules::FilterPrefix(kept), kept) << "filtering is stable";
        for (char c : std::string("/\\:*?\"<>|.")) EXPECT_EQ(kept.find(c), std::string::npos);
        for (unsigned char c : kept) EXPECT_GE(c, 0x20);
        EXPECT_EQ(!CPreferenceRules::FolderNameProblem(h.input).has_value(), h.folderOk);
    }
}

TEST(PrefixAndFolderName, LengthLimits) {
    // Characters, not bytes: 30 two-byte letters keep 25 whole letters.
    std::string umlauts;
    for (int i = 0; i < 30; ++i) umlauts += "\xC3\xBC";
    EXPECT_EQ(CPreferenceRules::FilterPrefix(umlauts).size(), 50u);
    EXPECT_FALSE(CPreferenceRules::FolderNameProblem(std::string(127, 'a')));
    EXPECT_TRUE(CPreferenceRules::FolderNameProblem(std::string(128, 'a')));
    // 100 three-byte characters fit the character limit but not 255 bytes.
    std::string wide;
    for (int i = 0; i < 100; ++i) wide += "\xE6\x97\xA5";
    EXPECT_TRUE(CPreferenceRules::FolderNameProblem(wide));
}

TEST(NumberFields, StartNumberAndDigits) {
    struct Case {
        const char* text;
        const char* start;
        const char* digits;
    };
    const Case cases[] = {
        {"", "0", "0"},
        {"0", "0", "0"},
        {"05", "5", "5"},
        {"0005", "5", "5"},
        {"10001", "10001", "7"},
        {"8", "8", "7"},
        {"7", "7", "7"},
        {"12345678", "9999999", "7"},
        {"9999999", "9999999", "7"},
        {"1a2b3", "123", "7"},
        {"-5", "5", "5"},
        {"abc", "0", "0"},
        {"\xEF\xBC\x95", "0", "0"},  // a full-width digit is not a digit here
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(CPreferenceRules::NormalizeStartNumber(c.text), c.start);
        EXPECT_EQ(CPreferenceRules::NormalizeDigits(c.text), c.digits);
    }
    EXPECT_EQ(CPreferenceRules::StartNumberOnFullDigit("1234567", '3'), "9999999");
    EXPECT_FALSE(CPreferenceRules::StartNumberOnFullDigit("123456", '3'));
    EXPECT_FALSE(CPreferenceRules::StartNumberOnFullDigit("1234567", 'x'));
}

class DestinationCheck : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/kvx-prefs-rules-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        root_ = tmpl;
        // Reachable for the unprivileged user of the rights checks.
        fs::permissions(root_,
                        fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
        fs::create_directories(root_ / "pictures");
        std::ofstream(root_ / "file.txt") << "x";
        std::ofstream(root_ / "viewer") << "#!/bin/sh\n";
        fs::permissions(root_ / "viewer", fs::perms::owner_all);
    }
    void TearDown() override {
        fs::permissions(root_ / "pictures", fs::perms::owner_all, fs::perm_options::add);
        std::error_code ec;
        fs::remove_all(root_, ec);
    }
    PreferenceValues Good() const {
        PreferenceValues v;
        v.reviewType = 2;
        v.reviewSoft = (root_ / "viewer").string();
        v.inCamera = true;
        v.inPC = true;
        v.path = (root_ / "pictures").string();
        v.rename = true;
        v.prefix = "IMG";
        v.startNum = "10001";
        v.columns = "5";
        return v;
    }
    fs::path root_;
};

TEST_F(DestinationCheck, MissingFileFullAndUnwritableFoldersAreNamed) {
    EXPECT_FALSE(CPreferenceRules::DestinationProblem((root_ / "pictures").string()));
    auto missing = CPreferenceRules::DestinationProblem((root_ / "gone").string());
    ASSERT_TRUE(missing);
    EXPECT_NE(missing->find("does not exist"), std::string::npos);
    auto file = CPreferenceRules::DestinationProblem((root_ / "file.txt").string());
    ASSERT_TRUE(file);
    EXPECT_NE(file->find("not a folder"), std::string::npos);
    EXPECT_TRUE(CPreferenceRules::DestinationProblem(""));
    // No volume here has this much room: the free-space rule itself.
    auto full = CPreferenceRules::DestinationProblem((root_ / "pictures").string(), ~0ull / 2);
    ASSERT_TRUE(full);
    EXPECT_NE(full->find("is full"), std::string::npos);

    fs::permissions(root_ / "pictures", fs::perms::owner_read | fs::perms::owner_exec |
                                            fs::perms::others_read | fs::perms::others_exec);
    // Folder rights do not bind root, so the check runs as nobody.
    EXPECT_EXIT(
        {
            if (::geteuid() == 0 && ::seteuid(65534) != 0) std::_Exit(2);
            auto p = CPreferenceRules::DestinationProblem((root_ / "pictures").string());
            std::_Exit(p && p->find("no right") != std::string::npos ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(DestinationCheck, EveryFieldIsCheckedAndNamed) {
    EXPECT_FALSE(CPreferenceRules::Check(Good()));
    struct Case {
        const char* what;
        void (*spoil)(PreferenceValues&);
        const char* field;
    };
    const Case cases[] = {
        {"review program missing", [](PreferenceValues& v) { v.reviewSoft += "-gone"; },
         "How to display after transferring the images"},
        {"RAW developer not found", [](PreferenceValues& v) { v.reviewType = 1; },
         "How to display after transferring the images"},
        {"folder missing", [](PreferenceValues& v) { v.path += "/gone"; }, "Destination"},
        {"neither place", [](PreferenceValues& v) { v.inCamera = v.inPC = false; }, "Destination"},
        {"prefix with a separator", [](PreferenceValues& v) { v.prefix = "../x"; },
         "Character string"},
        {"empty prefix", [](PreferenceValues& v) { v.prefix.clear(); }, "Character string"},
        {"start number too long", [](PreferenceValues& v) { v.startNum = "12345678"; },
         "Start Number"},
        {"start number with letters", [](PreferenceValues& v) { v.startNum = "12a"; },
         "Start Number"},
        {"eight digits", [](PreferenceValues& v) { v.columns = "8"; }, "Number of digit"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        PreferenceValues v = Good();
        c.spoil(v);
        auto problem = CPreferenceRules::Check(v);
        ASSERT_TRUE(problem);
        EXPECT_EQ(problem->field, c.field);
        EXPECT_FALSE(problem->message.empty());
    }
    // Without the PC the folder and the review program are not used.
    PreferenceValues cardOnly = Good();
    cardOnly.inPC = false;
    cardOnly.path = "/nowhere";
    cardOnly.reviewSoft.clear();
    EXPECT_FALSE(CPreferenceRules::Check(cardOnly));
}

}  // namespace
