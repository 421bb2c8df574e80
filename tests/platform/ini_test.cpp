#include "platform/ini.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;
using kvx::IniFile;

namespace {

class IniTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("kvx-ini-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        file_ = (dir_ / "Varno_Kolvex.ini").string();
    }
    void TearDown() override {
        fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(dir_);
    }
    void Put(const std::string& bytes) { std::ofstream(file_, std::ios::binary) << bytes; }
    std::string Bytes() {
        std::ifstream in(file_, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    ino_t Inode() {
        struct stat st {};
        return ::stat(file_.c_str(), &st) == 0 ? st.st_ino : 0;
    }
    fs::path dir_;
    std::string file_;
};

// Every operation works on section "General", key "A". `read` is what reading
// it gives ("-" when missing); `written` the whole file after writing A=5.
TEST_F(IniTest, ReadWriteAndRewriteKeepEveryOtherByte) {
    struct Case {
        const char* what;
        std::string before;
        std::string read;
        std::string written;
    } cases[] = {
        {"byte-order mark", "\xEF\xBB\xBF[General]\r\nA=1\r\n[Other]\r\nB=2\r\n", "1",
         "\xEF\xBB\xBF[General]\r\nA=5\r\n[Other]\r\nB=2\r\n"},
        {"CRLF, comments, a key before any section, duplicate keys",
         "; top\r\nA=0\r\n[general]\r\n# note\r\n  a = 1 \r\nno "
         "equals\r\nA=2\r\n\r\n[Other]\r\nB=2\r\n",
         "1",
         "; top\r\nA=0\r\n[general]\r\n# note\r\n  a = 5\r\nno "
         "equals\r\nA=2\r\n\r\n[Other]\r\nB=2\r\n"},
        {"lone CR, no final line end", "[General]\rA=1\r[Other]\rB=2", "1",
         "[General]\rA=5\r[Other]\rB=2"},
        {"# is part of a key name", "[General]\n#A=9\nA=1\n", "1", "[General]\n#A=9\nA=5\n"},
        {"only the first of two same-named sections",
         "[General]\nX=0\n\n[Other]\nB=2\n[GENERAL]\nA=7\n", "-",
         "[General]\nX=0\nA=5\n\n[Other]\nB=2\n[GENERAL]\nA=7\n"},
        {"a key before any section is in none", "A=3\n[General]\nB=1", "-",
         "A=3\n[General]\nB=1\nA=5\n"},
        {"unterminated header", "[Other]\nA=3\n[General\nA=1\n", "-",
         "[Other]\nA=3\n[General\nA=1\n[General]\nA=5\n"},
        {"new section after a last line without line end", "[Other]\r\nB=2", "-",
         "[Other]\r\nB=2\r\n[General]\r\nA=5\r\n"},
        {"empty file", "", "-", "[General]\nA=5\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Put(c.before);
        const ino_t inode = Inode();
        {
            IniFile ini(file_);
            EXPECT_EQ(ini.GetString("General", "A", "-"), c.read);
            EXPECT_TRUE(ini.Save());
        }
        if (c.read != "-") {
            IniFile ini(file_);
            ini.SetString("General", "A", c.read);
            EXPECT_TRUE(ini.Save());
        }
        EXPECT_EQ(Bytes(), c.before) << "reading or writing the same value changes nothing";
        EXPECT_EQ(Inode(), inode) << "and leaves the file itself alone";

        IniFile ini(file_);
        ini.SetString("General", "A", "5");
        EXPECT_TRUE(ini.Save());
        EXPECT_EQ(Bytes(), c.written);
        EXPECT_EQ(IniFile(file_).GetString("General", "A", "-"), "5");
    }
}

TEST(IniRead, IntegersAsTheClassicCallParsesThem) {
    struct Case {
        const char* text;
        int32_t value;
    } cases[] = {
        {"12", 12},
        {"-7 px", -7},
        {"+3", 3},
        {"0x1f", 31},
        {"0X1f", 0},
        {"-0x10", -16},
        {"0x", 0},
        {"abc", 0},
        {"0xFFFFFFFF", -1},
        {"4294967297", 1},
        {"2147483648", INT32_MIN},
    };
    for (const auto& c : cases) {
        IniFile ini;
        ini.LoadFromText(std::string("[S]\nk=") + c.text + "\n");
        EXPECT_EQ(ini.GetInt("S", "k", 99), c.value) << c.text;
    }
    IniFile ini;
    ini.LoadFromText("[S]\nempty=\n");
    EXPECT_EQ(ini.GetInt("S", "empty", 99), 99);
    EXPECT_EQ(ini.GetInt("S", "missing", 99), 99);
}

TEST(IniRead, TextThatIsNotUtf8IsWindows1252) {
    IniFile ini;
    ini.LoadFromText("[S]\nansi=/home/Caf\xe9/\x80\x81\xff\nutf8=/home/Caf\xc3\xa9\n#k=v\n");
    EXPECT_EQ(ini.GetString("S", "ansi", ""), "/home/Caf\xc3\xa9/\xe2\x82\xac\xc2\x81\xc3\xbf");
    EXPECT_EQ(ini.GetString("S", "utf8", ""), "/home/Caf\xc3\xa9");
    EXPECT_EQ(ini.GetString("S", "utf8", "", 11), "/home/Caf") << "a character is never cut";
    EXPECT_EQ(ini.GetString("S", "#k", ""), "v");
}

TEST_F(IniTest, WritesThatCannotBeStoredReportFailure) {
    const std::string old = "[General]\nA=1\n";
    Put(old);
    IniFile ini(file_);
    ini.SetString("General", "A", "2\n[Debug]\nLogLevel=5");
    EXPECT_EQ(ini.ToText(), "[General]\nA=2\n") << "a value never spans lines";

    fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_read |
                              fs::perms::others_exec);
    // Folder permissions do not bind root, so the write runs as nobody.
    EXPECT_EXIT(
        {
            if (::geteuid() == 0 && ::seteuid(65534) != 0) std::_Exit(2);
            std::_Exit(ini.Save() ? 0 : 1);
        },
        ::testing::ExitedWithCode(1), "");
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add);
    EXPECT_EQ(Bytes(), old);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1)
        << "no temporary file is left behind";

    IniFile lost((dir_ / "missing" / "x.ini").string());
    lost.SetString("General", "A", "1");
    EXPECT_FALSE(lost.Save());

    IniFile named(file_);
    named.SetString("General", "A=B", "1");
    EXPECT_FALSE(named.Save()) << "a key with '=' would read back as another key";
    EXPECT_EQ(Bytes(), old);
}

}  // namespace
