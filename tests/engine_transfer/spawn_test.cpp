// Starting the review application: an argument vector, never a shell, so a
// picture name full of shell syntax reaches the program unchanged and runs
// nothing.
#include "platform/spawn.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "engine/review_launcher.h"

namespace {

class SpawnTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/kvx-spawn-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;
        script = root + "/review";
        std::ofstream(script)
            << "#!/bin/sh\n"
               "for a in \"$0\" \"$@\"; do printf '%s\\n' \"$a\"; done > \"$KVX_SPAWN_OUT.part\"\n"
               "mv \"$KVX_SPAWN_OUT.part\" \"$KVX_SPAWN_OUT\"\n";
        ::chmod(script.c_str(), 0755);
        out = root + "/args";
        ::setenv("KVX_SPAWN_OUT", out.c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv("KVX_SPAWN_OUT");
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }
    // The started program ends on its own; wait for what it wrote.
    std::string WaitForOutput() {
        for (int i = 0; i < 1000 && !std::filesystem::exists(out); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        std::ifstream in(out);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    std::string root, script, out;
};

TEST_F(SpawnTest, ArgumentsArriveUnchangedAndNoShellRunsThem) {
    const std::string picture = root + "/$(touch pwned); `touch pwned2` 'q\" *.JPG";
    std::ofstream(picture) << "x";
    ASSERT_TRUE(kvx::SpawnDetached({script, picture}));
    EXPECT_EQ(WaitForOutput(), script + "\n" + picture + "\n");
    EXPECT_FALSE(std::filesystem::exists("pwned"));
    EXPECT_FALSE(std::filesystem::exists(root + "/pwned"));
    EXPECT_FALSE(std::filesystem::exists("pwned2"));
}

TEST_F(SpawnTest, ProgramsThatCannotStartAreReported) {
    EXPECT_FALSE(kvx::SpawnDetached({}));
    EXPECT_FALSE(kvx::SpawnDetached({root + "/missing", "x"}));
    std::ofstream(root + "/plain") << "not a program";
    EXPECT_FALSE(kvx::SpawnDetached({root + "/plain"}));
    EXPECT_FALSE(kvx::SpawnDetached({script, std::string("a\0b", 3)}));
}

TEST_F(SpawnTest, LauncherStartsTheChosenApplicationWithThePicture) {
    const std::string picture = root + "/IMG10001.JPG";
    std::ofstream(picture) << "x";
    std::vector<std::vector<std::string>> calls;
    kvx::engine::CReviewLauncher launcher([&](const std::vector<std::string>& argv) {
        calls.push_back(argv);
        return true;
    });
    kvx::engine::NamingOptions o;
    o.rawDeveloperPath = script;
    o.reviewSoft = root + "/other";
    std::ofstream(o.reviewSoft) << "x";

    o.reviewType = 0;
    EXPECT_FALSE(launcher.Launch(o, picture));
    o.reviewType = 3;
    EXPECT_FALSE(launcher.Launch(o, picture));
    o.reviewType = 1;
    EXPECT_TRUE(launcher.Launch(o, picture));
    o.reviewType = 2;
    EXPECT_TRUE(launcher.Launch(o, picture));
    EXPECT_FALSE(launcher.Launch(o, root + "/absent.JPG"));
    o.reviewSoft = root + "/absent-app";
    EXPECT_FALSE(launcher.Launch(o, picture));
    EXPECT_EQ(calls, (std::vector<std::vector<std::string>>{{script, picture},
                                                            {root + "/other", picture}}));
}

TEST_F(SpawnTest, LauncherReallyStartsTheProgram) {
    const std::string picture = root + "/IMG 10001.JPG";
    std::ofstream(picture) << "x";
    kvx::engine::NamingOptions o;
    o.reviewType = 2;
    o.reviewSoft = script;
    EXPECT_TRUE(kvx::engine::CReviewLauncher().Launch(o, picture));
    EXPECT_EQ(WaitForOutput(), script + "\n" + picture + "\n");
}

}  // namespace
