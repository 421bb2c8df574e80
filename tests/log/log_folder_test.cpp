// Where the log and the library's ini file go: beside the executable in a
// build tree, in the user's state folder once installed.
#include "log/log_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "log/log_writer.h"

namespace fs = std::filesystem;
using kvx::log::ChooseLogFolder;
using kvx::log::StateFolder;

namespace {

// Sets (or unsets, with nullopt) an environment variable for one scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, std::optional<std::string> value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value)
            ::setenv(name, value->c_str(), 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv() {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

class LogPlace : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("kvx-logplace-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "bin");
    }
    void TearDown() override {
        fs::permissions(dir_ / "bin", fs::perms::owner_all);
        fs::remove_all(dir_);
    }
    fs::path dir_;
};

}  // namespace

TEST_F(LogPlace, StateFolderFollowsXdgStateHomeElseHome) {
    ScopedEnv home("HOME", "/home/ann");
    struct Case {
        std::optional<std::string> xdg;
        const char* want;
    };
    const Case cases[] = {
        {"/srv/state", "/srv/state/VARNO/Varno_Kolvex/"},
        {"/srv/state/", "/srv/state/VARNO/Varno_Kolvex/"},
        {std::nullopt, "/home/ann/.local/state/VARNO/Varno_Kolvex/"},
        {"", "/home/ann/.local/state/VARNO/Varno_Kolvex/"},
        // A relative value is not a valid base folder: it would follow the
        // current folder around.
        {"relative/state", "/home/ann/.local/state/VARNO/Varno_Kolvex/"},
    };
    for (const auto& c : cases) {
        ScopedEnv xdg("XDG_STATE_HOME", c.xdg);
        EXPECT_EQ(StateFolder(), c.want) << (c.xdg ? *c.xdg : "(unset)");
    }
}

TEST_F(LogPlace, WritableBuildFolderKeepsTheLogBesideTheExecutable) {
    ScopedEnv xdg("XDG_STATE_HOME", (dir_ / "state").string());
    const std::string bin = (dir_ / "bin").string() + "/";
    EXPECT_EQ(ChooseLogFolder(bin), bin);
}

TEST_F(LogPlace, InstalledOrUnwritableFolderSendsTheLogToTheStateFolder) {
    ScopedEnv xdg("XDG_STATE_HOME", (dir_ / "state").string());
    const std::string state = (dir_ / "state").string() + "/VARNO/Varno_Kolvex/";
    // System folders count as installed even for root, who can write there.
    for (const char* folder : {"/usr/bin/", "/usr/local/bin/", "/opt/kolvex/bin/"})
        EXPECT_EQ(ChooseLogFolder(folder), state) << folder;
    const std::string missing = (dir_ / "gone").string() + "/";
    EXPECT_EQ(ChooseLogFolder(missing), state);
    if (::geteuid() != 0) {
        fs::permissions(dir_ / "bin", fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_EQ(ChooseLogFolder((dir_ / "bin").string() + "/"), state);
    }
}

TEST_F(LogPlace, WriterMakesAMissingStateFolderOnlyForALineItWrites) {
    const fs::path folder = dir_ / "state" / "VARNO" / "Varno_Kolvex";
    kvx::log::LogWriter w;
    w.SetFolder(folder.string() + "/", kvx::log::LogWriter::MissingFolder::Make);
    EXPECT_EQ(w.Write(1, "suppressed"), 0);
    EXPECT_FALSE(fs::exists(dir_ / "state")) << "threshold 0 touches nothing";

    w.SetThreshold(1);
    EXPECT_EQ(w.Write(1, "first line %d", 1), 0);
    std::ifstream in(folder / "kvx.log");
    std::string line;
    ASSERT_TRUE(std::getline(in, line));
    EXPECT_NE(line.find("01 | first line 1"), std::string::npos) << line;
    struct stat st {};
    ASSERT_EQ(::stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u) << "a per-user state folder is private";
}

TEST_F(LogPlace, WriterStillReportsAFolderItCannotMake) {
    // A plain file where a folder should be: making the folder fails, the
    // line is dropped and the writer says so.
    std::ofstream(dir_ / "file") << "x";
    kvx::log::LogWriter w;
    w.SetFolder((dir_ / "file" / "sub").string() + "/", kvx::log::LogWriter::MissingFolder::Make);
    w.SetThreshold(1);
    EXPECT_EQ(w.Write(1, "lost"), -1);
}
