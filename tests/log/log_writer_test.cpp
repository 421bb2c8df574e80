#include "log/log_writer.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using kvx::log::LogWriter;

namespace {

class LogFolder : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("kvx-log-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string Folder() const { return dir_.string() + "/"; }
    std::vector<std::string> Lines() const {
        std::ifstream in(dir_ / "kvx.log", std::ios::binary);
        std::vector<std::string> out;
        std::string line;
        while (std::getline(in, line)) out.push_back(line);
        return out;
    }
    fs::path dir_;
};

}  // namespace

TEST(LogLine, TimestampAndLevelFieldLayout) {
    std::tm t{};
    t.tm_mon = 2;  // March
    t.tm_mday = 14;
    t.tm_hour = 9;
    t.tm_min = 5;
    t.tm_sec = 7;
    EXPECT_EQ(LogWriter::FormatLine(t, 42, 1, "hello"), "03/14 09:05:07.042 01 | hello");
    EXPECT_EQ(LogWriter::FormatLine(t, 999, 6, ""), "03/14 09:05:07.999 06 | ");
}

TEST_F(LogFolder, ThresholdZeroNeverCreatesTheFile) {
    LogWriter w;
    w.SetFolder(Folder());
    for (int level = 1; level <= 6; ++level) EXPECT_EQ(w.Write(level, "x %d", level), 0);
    EXPECT_FALSE(fs::exists(dir_ / "kvx.log"));
}

TEST_F(LogFolder, ThresholdFiveKeepsLevelsOneToFive) {
    LogWriter w;
    w.SetFolder(Folder());
    w.SetThreshold(5);
    for (int level = 1; level <= 6; ++level) w.Write(level, "level %d", level);
    auto lines = Lines();
    ASSERT_EQ(lines.size(), 5u);
    for (int level = 1; level <= 5; ++level) {
        const std::string& l = lines[static_cast<size_t>(level - 1)];
        char field[16];
        std::snprintf(field, sizeof field, " %02d | ", level);
        EXPECT_NE(l.find(field), std::string::npos) << l;
        EXPECT_EQ(l.back(), '\r') << "lines end in CR LF";
        EXPECT_NE(l.find("level " + std::to_string(level)), std::string::npos);
    }
}

TEST_F(LogFolder, OverlongMessageIsCutToOneLineOf255) {
    LogWriter w;
    w.SetFolder(Folder());
    w.SetThreshold(1);
    std::string big(5000, 'a');
    EXPECT_EQ(w.Write(1, "%s%s", big.c_str(), "%n%n"), 0);  // a "%n" in an argument is data, not a format
    auto lines = Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].size(), 255u + 1u);  // 255 characters plus the CR
}

TEST_F(LogFolder, UnwritableFolderReturnsMinusOne) {
    LogWriter w;
    w.SetFolder(Folder() + "missing/");
    w.SetThreshold(6);
    EXPECT_EQ(w.Write(1, "dropped"), -1);
    EXPECT_EQ(w.Write(6, "dropped"), -1);
    EXPECT_EQ(w.Write(7, "suppressed"), 0);
}

TEST_F(LogFolder, FolderWithNonAsciiCharacters) {
    fs::path sub = dir_ / "Bilder Übersicht 写真";
    fs::create_directories(sub);
    LogWriter w;
    w.SetFolder(sub.string() + "/");
    w.SetThreshold(1);
    EXPECT_EQ(w.Write(1, "ok"), 0);
    EXPECT_TRUE(fs::exists(sub / "kvx.log"));
}

TEST_F(LogFolder, ThreadsAndProcessesNeverMixInsideALine) {
    // A second process stands in for the other deliverable: its own writer and lock.
    constexpr int kLines = 400;
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        LogWriter other;
        other.SetFolder(Folder());
        other.SetThreshold(4);
        for (int i = 0; i < kLines; ++i) other.Write(4, "library line %04d %s", i, std::string(150, 'L').c_str());
        ::_exit(0);
    }
    LogWriter w;
    w.SetFolder(Folder());
    w.SetThreshold(1);
    std::vector<std::thread> threads;
    for (int t = 0; t < 2; ++t) {
        threads.emplace_back([&w, t] {
            for (int i = 0; i < kLines; ++i)
                w.Write(1, "program %d line %04d %s", t, i, std::string(150, 'P').c_str());
        });
    }
    for (auto& th : threads) th.join();
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));

    auto lines = Lines();
    ASSERT_EQ(lines.size(), 3u * kLines);
    int library = 0, program = 0;
    for (const auto& l : lines) {
        ASSERT_EQ(l.back(), '\r');
        bool isLib = l.find(" 04 | library line ") != std::string::npos &&
                     l.find(std::string(150, 'L') + "\r") != std::string::npos;
        bool isProg = l.find(" 01 | program ") != std::string::npos &&
                      l.find(std::string(150, 'P') + "\r") != std::string::npos;
        ASSERT_TRUE(isLib != isProg) << "mixed line: " << l;
        library += isLib;
        program += isProg;
    }
    EXPECT_EQ(library, kLines);
    EXPECT_EQ(program, 2 * kLines);
}

// A named file takes the lines instead of kvx.log in the folder; its missing
// folder is not made (a typo must not grow folders), and the writer can say
// beforehand that the file will not open. Naming none goes back to kvx.log.
TEST_F(LogFolder, NamedFileTakesTheLinesAndItsFolderIsNeverMade) {
    LogWriter w;
    w.SetFolder(Folder(), LogWriter::MissingFolder::Make);
    w.SetThreshold(5);
    const std::string named = (dir_ / "run.log").string();
    w.SetFilePath(named);
    EXPECT_EQ(w.FilePath(), named);
    EXPECT_EQ(w.CheckOpen(), 0);
    EXPECT_EQ(w.Write(1, "to the named file"), 0);
    std::ifstream in(named, std::ios::binary);
    std::string line;
    ASSERT_TRUE(std::getline(in, line));
    EXPECT_NE(line.find("to the named file"), std::string::npos) << line;
    EXPECT_FALSE(fs::exists(dir_ / "kvx.log"));

    const std::string missing = (dir_ / "no-such" / "run.log").string();
    w.SetFilePath(missing);
    EXPECT_EQ(w.CheckOpen(), ENOENT);
    EXPECT_EQ(w.Write(1, "lost"), -1);
    EXPECT_FALSE(fs::exists(dir_ / "no-such"));

    w.SetFilePath("");
    EXPECT_EQ(w.FilePath(), Folder() + "kvx.log");
    EXPECT_EQ(w.Write(1, "back in the folder"), 0);
    EXPECT_EQ(Lines().size(), 1u);
}
