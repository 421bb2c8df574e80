#include "engine/review_app_lookup.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <cstdlib>
#include <fstream>

namespace fs = std::filesystem;
using kvx::engine::ReviewAppLookup;

namespace {

class ReviewLookupTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() / ("kvx-review-" + std::to_string(::getpid()));
        fs::remove_all(root_);
        fs::create_directories(root_ / "user");
        fs::create_directories(root_ / "system");
        fs::create_directories(root_ / "bin");
    }
    void TearDown() override { fs::remove_all(root_); }
    std::string Program(const std::string& name) {
        fs::path p = root_ / "bin" / name;
        std::ofstream(p) << "#!/bin/sh\n";
        fs::permissions(p, fs::perms::owner_all);
        return p.string();
    }
    void Entry(const std::string& folder, const std::string& file, const std::string& body) {
        std::ofstream(root_ / folder / file) << body;
    }
    std::vector<std::string> Folders() {
        return {(root_ / "user").string(), (root_ / "system").string()};
    }
    fs::path root_;
};

TEST_F(ReviewLookupTest, GreatestVarnoDravelNameWinsAndOthersAreIgnored) {
    std::string v5 = Program("dravel5"), v6 = Program("dravel 6"), other = Program("other");
    Entry("system", "a.desktop", "[Desktop Entry]\nName=Varno Dravel 5\nExec=" + v5 + " %f\n");
    Entry("user", "b.desktop",
          "[Desktop Entry]\nName=varno dravel 6\nExec=\"" + v6 + "\" %F\n");
    Entry("user", "c.desktop", "[Desktop Entry]\nName=Other\nExec=" + other + "\n");
    // "Zzz" sorts after every Varno name, but does not begin with the prefix.
    Entry("system", "d.desktop", "[Desktop Entry]\nName=Zzz Varno Dravel 9\nExec=" + other + "\n");
    // The Name of another group does not count.
    Entry("system", "e.desktop",
          "[Desktop Action x]\nName=Varno Dravel 99\n[Desktop Entry]\nName=Viewer\nExec=" + other +
              "\n");
    auto found = ReviewAppLookup::Find(Folders());
    ASSERT_TRUE(found);
    EXPECT_EQ(*found, v6);
}

TEST_F(ReviewLookupTest, ChosenEntryWithoutExistingProgramFindsNothing) {
    std::string v5 = Program("dravel5");
    Entry("system", "a.desktop", "[Desktop Entry]\nName=Varno Dravel 5\nExec=" + v5 + "\n");
    Entry("system", "b.desktop",
          "[Desktop Entry]\nName=Varno Dravel 7\nExec=" + (root_ / "bin/gone").string() + "\n");
    // The greatest name is taken first; its missing file means no review
    // application, not a fall-back to an older one.
    EXPECT_FALSE(ReviewAppLookup::Find(Folders()));
}

TEST_F(ReviewLookupTest, NoFoldersOrEntriesFindNothing) {
    EXPECT_FALSE(ReviewAppLookup::Find({}));
    EXPECT_FALSE(ReviewAppLookup::Find({(root_ / "missing").string()}));
    Entry("user", "x.desktop", "not a desktop file at all\n\x01\x02");
    Entry("user", "y.txt", "[Desktop Entry]\nName=Varno Dravel 1\nExec=/bin/sh\n");
    EXPECT_FALSE(ReviewAppLookup::Find(Folders()));
}

TEST(ReviewLookupExec, FirstWordOfExec) {
    EXPECT_EQ(ReviewAppLookup::ExecutableOfExec("/usr/bin/rv %f"), "/usr/bin/rv");
    EXPECT_EQ(ReviewAppLookup::ExecutableOfExec("\"/opt/My App/rv\" --x %F"), "/opt/My App/rv");
    EXPECT_EQ(ReviewAppLookup::ExecutableOfExec("\"/opt/unterminated"), "");
    EXPECT_EQ(ReviewAppLookup::ExecutableOfExec("%f"), "");
    EXPECT_EQ(ReviewAppLookup::ExecutableOfExec(""), "");
}

TEST_F(ReviewLookupTest, BareNameIsLookedUpInPath) {
    std::string rv = Program("rv");
    std::string old = std::getenv("PATH") ? std::getenv("PATH") : "";
    ::setenv("PATH", ("/nonexistent:" + (root_ / "bin").string()).c_str(), 1);
    std::string found = ReviewAppLookup::ExecutableOfExec("rv %f");
    std::string missing = ReviewAppLookup::ExecutableOfExec("not-there %f");
    ::setenv("PATH", old.c_str(), 1);
    EXPECT_EQ(found, rv);
    EXPECT_EQ(missing, "");
}

TEST(ReviewLookupCompare, OrdinalIgnoringCase) {
    EXPECT_EQ(ReviewAppLookup::CompareNoCase("Varno Dravel 6", "VARNO DRAVEL 6"), 0);
    EXPECT_GT(ReviewAppLookup::CompareNoCase("Varno Dravel 6", "Varno Dravel 5"), 0);
    EXPECT_GT(ReviewAppLookup::CompareNoCase("Varno Dravel 10", "Varno Dravel 1"), 0);
    EXPECT_LT(ReviewAppLookup::CompareNoCase("Varno Dravel 10", "Varno Dravel 9"), 0);
}

}  // namespace
