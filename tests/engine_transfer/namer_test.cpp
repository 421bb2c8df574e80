// Picture names: renaming by prefix and number, keeping the camera's names,
// the collision rules against the destination folder, and names from the
// camera that try to leave it.
#include <gtest/gtest.h>

#include "engine/picture_namer.h"
#include "transfer_fixture.h"

namespace kvx::engine::test {
namespace {

class NamerTest : public TransferTest {
protected:
    // The final name RenamePictureFile chooses, relative to the folder, or
    // "(none)".
    std::string Name(bool first, uint16_t format, const std::string& camera, int& number) {
        auto path = CPictureNamer::RenamePictureFile(options, first, format, camera, number);
        if (!path) return "(none)";
        EXPECT_EQ(path->substr(path->size() - 5), "_temp");
        EXPECT_EQ(path->substr(0, folder.size()), folder);
        return path->substr(folder.size(), path->size() - folder.size() - 5);
    }
    std::string First(uint16_t format, const std::string& camera = "VRN_0001.JPG") {
        int number = 0;
        return Name(true, format, camera, number);
    }
};

TEST_F(NamerTest, ExtensionsByFormatCode) {
    EXPECT_EQ(CPictureNamer::ExtensionFor(0x3801), ".JPG");
    EXPECT_EQ(CPictureNamer::ExtensionFor(0xB801), ".Q7F");
    EXPECT_EQ(CPictureNamer::ExtensionFor(0x300A), ".Q7F");
    EXPECT_EQ(CPictureNamer::ExtensionFor(0x380A), ".Q7I");
    EXPECT_EQ(CPictureNamer::ExtensionFor(0xB0FF), ".XCRAW");
    EXPECT_FALSE(CPictureNamer::ExtensionFor(0x3802));
}

TEST_F(NamerTest, RenamingTakesTheFirstFreeNumber) {
    options.rename = true;
    struct Case {
        std::vector<std::string> present;
        std::string startNum, columns;
        uint16_t format;
        std::string expected;
    };
    const Case cases[] = {
        {{}, "10001", "5", 0x3801, "IMG10001.JPG"},
        {{"IMG10001.Q7F", "IMG10002.JPG"}, "10001", "5", 0x3801, "IMG10003.JPG"},
        {{}, "5", "3", 0x3801, "IMG005.JPG"},
        {{}, "123456", "3", 0xB0FF, "IMG123456.XCRAW"},
        // Names in every form a picture passes through count.
        {{".IMG10001.JPG_temp", "IMG10002.JPG.incomplete", "IMG10003"},
         "10001",
         "5",
         0x3801,
         "IMG10004.JPG"},
        // Case is ignored, other numbers and near misses are not collisions.
        {{"img10001.jpg", "IMG010002.JPG", "IMG10002X.JPG"}, "10001", "5", 0x3801, "IMG10002.JPG"},
        {{}, "9999999", "5", 0x3801, "IMG9999999.JPG"},
        {{"IMG9999999.JPG"}, "9999999", "5", 0x3801, "(none)"},
        {{}, "12abc", "-4", 0x3801, "IMG12.JPG"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        for (auto& f : Files()) std::filesystem::remove(folder + f);
        for (auto& f : c.present) WriteFile(folder + f);
        options.startNum = c.startNum;
        options.columns = c.columns;
        EXPECT_EQ(First(c.format), c.expected);
    }
}

TEST_F(NamerTest, UnlistedFormatFailsWhenRenaming) {
    options.rename = true;
    EXPECT_EQ(First(0x3802), "(none)");
    EXPECT_TRUE(Logged("+++ Invalid file format=0x3802 at CMainDlg::RenamePictureFile +++"));
    options.rename = false;  // the camera's name needs no extension table
    EXPECT_EQ(First(0x3802, "VRN_0001.XYZ"), "VRN_0001.XYZ");
}

TEST_F(NamerTest, LaterFilesOfAListReuseTheNumber) {
    options.rename = true;
    WriteFile(folder + "IMG10001.JPG");
    int number = 0;
    EXPECT_EQ(Name(true, 0xB801, "A.Q7F", number), "IMG10002.Q7F");
    EXPECT_EQ(number, 10002);
    WriteFile(folder + "IMG10002.Q7F");  // the RAW file has been written
    EXPECT_EQ(Name(false, 0x3801, "A.JPG", number), "IMG10002.JPG");
}

TEST_F(NamerTest, KeepingCameraNamesAddsASuffixOnCollision) {
    struct Case {
        std::vector<std::string> present;
        std::string camera, expected;
        int number;
    };
    const Case cases[] = {
        {{}, "ABCD0001.JPG", "ABCD0001.JPG", 0},
        {{"ABCD0001.JPG"}, "ABCD0001.JPG", "ABCD0001_1.JPG", 1},
        {{"ABCD0001.JPG", "ABCD0001_1.JPG"}, "ABCD0001.JPG", "ABCD0001_2.JPG", 2},
        {{"ABCD0001.TXT"}, "ABCD0001.JPG", "ABCD0001_1.JPG", 1},
        {{"ABCD0001.JPG.incomplete"}, "ABCD0001.JPG", "ABCD0001_1.JPG", 1},
        {{"ABCD0001"}, "ABCD0001", "ABCD0001_1", 1},  // no extension, no trailing dot
        {{"A.B.JPG"}, "A.B.JPG", "A.B_1.JPG", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        for (auto& f : Files()) std::filesystem::remove(folder + f);
        for (auto& f : c.present) WriteFile(folder + f);
        int number = 0;
        EXPECT_EQ(Name(true, 0x3801, c.camera, number), c.expected);
        EXPECT_EQ(number, c.number);
    }
}

TEST_F(NamerTest, LaterFileKeepsTheSuffixOrItsOwnName) {
    WriteFile(folder + "ABCD0001.Q7F");
    int number = 0;
    EXPECT_EQ(Name(true, 0xB801, "ABCD0001.Q7F", number), "ABCD0001_1.Q7F");
    EXPECT_EQ(Name(false, 0x3801, "ABCD0001.JPG", number), "ABCD0001_1.JPG");
    // Without a suffix from the first file the later one keeps its name,
    // unless that exact name is taken: nothing is ever written over.
    number = 0;
    EXPECT_EQ(Name(false, 0x3801, "EFGH0001.JPG", number), "EFGH0001.JPG");
    WriteFile(folder + "EFGH0001.JPG");
    EXPECT_EQ(Name(false, 0x3801, "EFGH0001.JPG", number), "EFGH0001_1.JPG");
}

TEST_F(NamerTest, FilesOfAPictureAreNamedTogether) {
    struct Case {
        const char* what;
        bool rename;
        std::vector<std::string> present;
        std::vector<CPictureNamer::PictureFile> files;
        int number;  // in
        bool moveOn;
        std::vector<std::string> expected;  // "(none)" where a file gets no name
        int numberAfter;
    };
    const CPictureNamer::PictureFile raw{0xB801, "ABCD0001.Q7F"}, jpg{0x3801, "ABCD0001.JPG"};
    const Case cases[] = {
        {"renamed", true, {}, {raw, jpg}, 0, false, {"IMG10001.Q7F", "IMG10001.JPG"}, 10001},
        {"renamed, any extension takes the number",
         true,
         {"IMG10001.TXT"},
         {raw, jpg},
         0,
         false,
         {"IMG10002.Q7F", "IMG10002.JPG"},
         10002},
        {"renamed, moving on",
         true,
         {},
         {raw, jpg},
         10001,
         true,
         {"IMG10002.Q7F", "IMG10002.JPG"},
         10002},
        {"renamed, unlisted format",
         true,
         {},
         {{0x3802, "X.BIN"}, jpg},
         0,
         false,
         {"(none)", "IMG10001.JPG"},
         10001},
        {"camera names", false, {}, {raw, jpg}, 0, false, {"ABCD0001.Q7F", "ABCD0001.JPG"}, 0},
        {"camera names, the JPEG's name taken",
         false,
         {"ABCD0001.JPG"},
         {raw, jpg},
         0,
         false,
         {"ABCD0001_1.Q7F", "ABCD0001_1.JPG"},
         1},
        {"camera names, two stems",
         false,
         {"B.JPG", "B_1.TXT"},
         {{0xB801, "A.Q7F"}, {0x3801, "B.JPG"}},
         0,
         false,
         {"A_2.Q7F", "B_2.JPG"},
         2},
        {"camera names, moving on",
         false,
         {},
         {raw, jpg},
         1,
         true,
         {"ABCD0001_2.Q7F", "ABCD0001_2.JPG"},
         2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (auto& f : Files()) std::filesystem::remove(folder + f);
        for (auto& f : c.present) WriteFile(folder + f);
        options.rename = c.rename;
        int number = c.number;
        const auto names = CPictureNamer::NamePicture(options, c.files, number, c.moveOn);
        std::vector<std::string> got;
        for (const auto& n : names) got.push_back(n ? n->substr(folder.size()) : "(none)");
        EXPECT_EQ(got, c.expected);
        EXPECT_EQ(number, c.numberAfter);
    }
    // No number left: no file of the picture gets a name.
    options.rename = true;
    options.startNum = "9999999";
    WriteFile(folder + "IMG9999999.Q7F");
    int number = 0;
    for (const auto& n : CPictureNamer::NamePicture(options, {raw, jpg}, number)) EXPECT_FALSE(n);
}

TEST_F(NamerTest, HostileCameraNamesStayOneFileInTheFolder) {
    const std::pair<std::string, std::string> cases[] = {
        {"../../etc/x", "______etc_x"},
        {"a/b", "a_b"},
        {"a\\b.JPG", "a_b.JPG"},
        {"\x01x", "_x"},
        {"x\x7f\ny", "x__y"},
        {".hidden", "_hidden"},
        {"..", "__"},
        {".", "_"},
        {"", "unnamed"},
        {"ok\xE9.JPG", "ok\xC3\xA9.JPG"},  // an 8-bit code page name becomes UTF-8
        {"caf\xC3\xA9.JPG", "caf\xC3\xA9.JPG"},
    };
    for (const auto& [camera, expected] : cases) {
        SCOPED_TRACE(expected);
        EXPECT_EQ(CPictureNamer::SafeFileName(camera), expected);
        int number = 0;
        auto path = CPictureNamer::RenamePictureFile(options, true, 0x3801, camera, number);
        ASSERT_TRUE(path);
        const std::filesystem::path p(CPictureNamer::FinalPathOf(*path));
        EXPECT_EQ(p.parent_path(), std::filesystem::path(folder).parent_path());
        EXPECT_NE(p.filename().string()[0], '.');
    }
}

TEST_F(NamerTest, LongCameraNamesLeaveRoomForEveryFormOfTheFile) {
    // 128 bytes of an 8-bit code page double in UTF-8: the name must still fit
    // as the hidden "_temp" file, with a collision suffix and as ".incomplete".
    const std::string cases[] = {std::string(127, '\xFF'), std::string(123, '\xE9') + ".JPG",
                                 std::string(127, 'a'), std::string(120, '\xC3') + ".JPG"};
    for (const auto& camera : cases) {
        const std::string safe = CPictureNamer::SafeFileName(camera);
        SCOPED_TRACE(safe);
        EXPECT_LE(safe.size() + 24, 255u);
        if (camera.size() > 4 && camera.compare(camera.size() - 4, 4, ".JPG") == 0) {
            EXPECT_EQ(safe.substr(safe.size() - 4), ".JPG");
        }
        EXPECT_TRUE(std::string_view(safe).find("\xC3.") == std::string_view::npos ||
                    safe.size() < 4)
            << "cut inside a character";
        for (int round = 0; round < 2; ++round) {
            int number = 0;
            auto path = CPictureNamer::RenamePictureFile(options, true, 0x3801, camera, number);
            ASSERT_TRUE(path);
            const std::string final = CPictureNamer::FinalPathOf(*path);
            WriteFile(CPictureNamer::HiddenPathOf(*path));
            EXPECT_TRUE(std::filesystem::exists(CPictureNamer::HiddenPathOf(*path)));
            WriteFile(final + ".incomplete");
            EXPECT_TRUE(std::filesystem::exists(final + ".incomplete"));
        }
    }
}

TEST_F(NamerTest, HostilePrefixStaysInTheFolder) {
    options.rename = true;
    options.prefix = "../up/";
    EXPECT_EQ(First(0x3801), "___up_10001.JPG");
}

TEST_F(NamerTest, DestinationFolderGetsATrailingSeparator) {
    options.destinationFolder = "/data/Pictures";
    EXPECT_EQ(CPictureNamer::DestinationFolder(options), "/data/Pictures/");
    options.destinationFolder = "/data/Pictures/";
    EXPECT_EQ(CPictureNamer::DestinationFolder(options), "/data/Pictures/");
    options.destinationFolder.clear();
    options.programFolder = "/opt/kolvex";
    EXPECT_EQ(CPictureNamer::DestinationFolder(options), "/opt/kolvex/");
}

TEST_F(NamerTest, RenameNeverReplacesAFile) {
    WriteFile(folder + "a", "new");
    WriteFile(folder + "b", "old");
    EXPECT_FALSE(CPictureNamer::RenameNoReplace(folder + "a", folder + "b"));
    EXPECT_EQ(ReadFile(folder + "b"), std::vector<uint8_t>({'o', 'l', 'd'}));
    EXPECT_TRUE(CPictureNamer::RenameNoReplace(folder + "a", folder + "c"));
    EXPECT_EQ(ReadFile(folder + "c"), std::vector<uint8_t>({'n', 'e', 'w'}));
}

TEST(NamingOptionsTest, StorageDestination) {
    NamingOptions o;
    o.inCamera = true;
    o.inPC = false;
    EXPECT_EQ(o.StorageDestination(), 1);
    o.inPC = true;
    EXPECT_EQ(o.StorageDestination(), 3);
    o.inCamera = false;
    EXPECT_EQ(o.StorageDestination(), 2);
    o.inPC = false;
    EXPECT_EQ(o.StorageDestination(), 0);
}

}  // namespace
}  // namespace kvx::engine::test

#include "engine/app_settings.h"

namespace kvx::engine::test {
namespace {

TEST(NamingOptionsTest, FilledFromTheSettingsKeys) {
    AppSettings s;
    s.path = "/photos";
    s.rename = 1;
    s.prefix = "SHOOT";
    s.startNum = "7";
    s.columns = "4";
    s.inCamera = 0;
    s.inPC = 1;
    s.reviewType = 1;
    s.reviewSoft = "/usr/bin/viewer";
    const NamingOptions o = NamingOptions::FromSettings(s, "/opt/dravel/dravel");
    EXPECT_EQ(o.destinationFolder, "/photos");
    EXPECT_TRUE(o.rename);
    EXPECT_EQ(o.prefix, "SHOOT");
    EXPECT_EQ(o.startNum, "7");
    EXPECT_EQ(o.columns, "4");
    EXPECT_EQ(o.StorageDestination(), 2);
    EXPECT_EQ(o.reviewType, 1);
    EXPECT_EQ(o.reviewSoft, "/usr/bin/viewer");
    EXPECT_EQ(o.rawDeveloperPath, "/opt/dravel/dravel");
    EXPECT_FALSE(o.programFolder.empty());
}

}  // namespace
}  // namespace kvx::engine::test
