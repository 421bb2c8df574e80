// The installation made by `cmake --install` into a stage (DESTDIR), used
// the way a user uses it: the installed programs with nothing of the build
// tree, and the files a desktop and the system read, checked by their own
// validators.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <optional>
#include <regex>
#include <set>
#include <sstream>

#include "engine/camera_detector.h"
#include "installed_tree.h"

namespace fs = std::filesystem;
using kvx::test::InstalledTree;
using kvx::test::ProgramResult;
using kvx::test::ReadFile;
using kvx::test::RunProgram;

namespace {

// A tool of the system by name, or empty when it is not installed.
std::string SystemTool(const std::string& name) {
    for (const char* dir : {"/usr/bin/", "/bin/", "/usr/sbin/", "/sbin/"}) {
        const std::string path = std::string(dir) + name;
        if (::access(path.c_str(), X_OK) == 0) return path;
    }
    return {};
}

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

class Installed : public ::testing::Test {
protected:
    Installed()
        // Short: the camera's socket path below it must fit a socket address.
        : tree_(KVX_STAGE, fs::temp_directory_path() / ("kvx-inst-" + std::to_string(::getpid()))) {
    }

    // The manual page's source with troff's escaped hyphens as plain ones.
    std::string ManPage(const std::string& page) const {
        const fs::path file =
            tree_.Installed(std::string("usr/") + KVX_MANDIR + "/man1/" + page + KVX_MAN_SUFFIX);
        std::string text;
        if (std::string(KVX_MAN_SUFFIX).empty()) {
            text = ReadFile(file);
        } else {
            const ProgramResult r = RunProgram({"/bin/gzip", "-dc", file.string()},
                                               {"PATH=/usr/bin:/bin"}, tree_.Work());
            EXPECT_EQ(r.status, 0) << file << ": " << r.err;
            text = r.out;
        }
        for (size_t at = text.find("\\-"); at != std::string::npos; at = text.find("\\-", at))
            text.replace(at, 2, "-");
        return text;
    }

    InstalledTree tree_;
};

// Every "--option" a help text names.
std::set<std::string> OptionsIn(const std::string& help) {
    std::set<std::string> options;
    static const std::regex option(R"(--[a-z][a-z0-9-]*)");
    for (auto it = std::sregex_iterator(help.begin(), help.end(), option);
         it != std::sregex_iterator(); ++it)
        options.insert(it->str());
    return options;
}

// The commands of a "Commands:" section: lines indented by two blanks.
std::vector<std::string> CommandsIn(const std::string& help) {
    std::vector<std::string> commands;
    std::istringstream in(help.substr(help.find("Commands:")));
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line) && !line.empty()) {
        if (line.size() > 2 && line.rfind("  ", 0) == 0 && line[2] != ' ')
            commands.push_back(line.substr(2, line.find(' ', 2) - 2));
    }
    return commands;
}

// Puts a folder's permissions back however the test ends.
class ModeGuard {
public:
    explicit ModeGuard(fs::path path)
        : path_(std::move(path)), perms_(fs::status(path_).permissions()) {}
    ~ModeGuard() { fs::permissions(path_, perms_); }
    ModeGuard(const ModeGuard&) = delete;
    ModeGuard& operator=(const ModeGuard&) = delete;

private:
    fs::path path_;
    fs::perms perms_;
};

uint32_t BigEndian32(const std::string& bytes, size_t at) {
    return uint32_t(uint8_t(bytes[at])) << 24 | uint32_t(uint8_t(bytes[at + 1])) << 16 |
           uint32_t(uint8_t(bytes[at + 2])) << 8 | uint32_t(uint8_t(bytes[at + 3]));
}

}  // namespace

TEST_F(Installed, EveryFileIsInItsPlace) {
    for (const auto& file : InstalledTree::InstalledFiles())
        EXPECT_TRUE(fs::exists(fs::symlink_status(tree_.Installed(file)))) << file;
    // The versioned names of the libraries: name -> name.SOVERSION -> file.
    for (const char* name : {"libVARNO_USB2.so", "libVARNO_VUR1.so"}) {
        const fs::path lib = tree_.Usr() / KVX_LIBDIR;
        const std::string soname = std::string(name) + "." + KVX_SOVERSION;
        EXPECT_EQ(fs::read_symlink(lib / name), soname);
        EXPECT_EQ(fs::read_symlink(lib / soname), std::string(name) + "." + KVX_VERSION);
    }
    for (const char* program : {"kvx-tether", "kvx-vcam"})
        EXPECT_EQ(::access(tree_.Bin(program).c_str(), X_OK), 0) << program;
}

TEST_F(Installed, LibrariesCarryTheirSoname) {
    const std::string readelf = SystemTool("readelf");
    if (readelf.empty()) GTEST_SKIP() << "readelf (binutils) is not installed";
    for (const char* name : {"libVARNO_USB2.so", "libVARNO_VUR1.so"}) {
        const fs::path file = tree_.Usr() / KVX_LIBDIR / (std::string(name) + "." + KVX_VERSION);
        const ProgramResult r = RunProgram({readelf, "-d", file.string()},
                                           {"PATH=/usr/bin:/bin", "LANG=C"}, tree_.Work());
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find("Library soname: [" + std::string(name) + "." + KVX_SOVERSION + "]"),
                  std::string::npos)
            << r.out;
    }
}

TEST_F(Installed, TetherLoadsTheLibraryOfTheInstallation) {
    tree_.ExpectLibraryFromThisTree("kvx-tether");
    if (KVX_HAVE_GUI) tree_.ExpectLibraryFromThisTree("Varno_Kolvex");
}

TEST_F(Installed, TetherCapturesAPictureFromTheInstalledVirtualCamera) {
    tree_.ExpectCaptureOfOnePicture();
    // The installed folder is writable here (a stage, or root): the log
    // threshold is 0, so no log is made anywhere.
    EXPECT_FALSE(fs::exists(tree_.Bin("kvx.log")));
    EXPECT_FALSE(fs::exists(tree_.StateFolder()));
}

TEST_F(Installed, UnwritableProgramFolderSendsLogAndLibraryLevelToTheStateFolder) {
    const fs::path bin = tree_.Usr() / "bin";
    std::optional<ModeGuard> binMode;
    if (::geteuid() == 0) {
        // Root writes anywhere: run the programs as an ordinary user, as a
        // desktop session would.
        const std::string setpriv = SystemTool("setpriv");
        if (setpriv.empty()) GTEST_SKIP() << "setpriv (util-linux) is not installed";
        tree_.RunAs({setpriv, "--reuid=65534", "--regid=65534", "--clear-groups", "--"}, 65534,
                    65534);
    } else {
        binMode.emplace(bin);
        fs::permissions(bin,
                        fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                        fs::perm_options::remove);
    }
    // The library's level comes from its file in the state folder: without
    // it, the library would write no line at all.
    fs::create_directories(tree_.StateFolder());
    std::ofstream(tree_.StateFolder() / "Varno_Kolvex.ini") << "[Debug]\nLogLevel=4\n";
    if (::geteuid() == 0) {
        for (const auto& p : {tree_.Work() / "state", tree_.Work() / "state" / "VARNO",
                              tree_.StateFolder(), tree_.StateFolder() / "Varno_Kolvex.ini"})
            ASSERT_EQ(::chown(p.c_str(), 65534, 65534), 0) << p;
    }

    tree_.ExpectCaptureOfOnePicture(4);

    const std::string log = ReadFile(tree_.StateFolder() / "kvx.log");
    EXPECT_NE(log.find("04 | ---> InitPTPMode"), std::string::npos)
        << "the library's lines, at the level of its file in the state folder:\n"
        << log;
    EXPECT_NE(log.find("EnumPtpCamera"), std::string::npos)
        << "the program's lines, at the level of its settings:\n"
        << log;
    EXPECT_FALSE(fs::exists(bin / "kvx.log"));
}

TEST_F(Installed, WindowProgramAnswersHelp) {
    if (!KVX_HAVE_GUI) GTEST_SKIP() << "Varno_Kolvex is not part of this build";
    const ProgramResult r = tree_.Run("Varno_Kolvex", {"--help"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(r.out.empty() && r.err.empty()) << "--help printed nothing";
}

TEST_F(Installed, DesktopEntryPassesDesktopFileValidate) {
    const std::string tool = SystemTool("desktop-file-validate");
    if (tool.empty()) GTEST_SKIP() << "desktop-file-validate (desktop-file-utils) is not installed";
    const fs::path entry = tree_.Installed(std::string("usr/") + KVX_DATADIR + "/applications/" +
                                           KVX_APP_ID + ".desktop");
    const ProgramResult r =
        RunProgram({tool, entry.string()}, {"PATH=/usr/bin:/bin"}, tree_.Work());
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out.find("error"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("warning"), std::string::npos) << r.out;
    const std::string text = ReadFile(entry);
    EXPECT_NE(text.find("Categories=Graphics;Photography;"), std::string::npos);
    EXPECT_NE(text.find(std::string("Icon=") + KVX_APP_ID), std::string::npos);
}

TEST_F(Installed, MetainfoPassesAppstreamValidate) {
    const std::string tool = SystemTool("appstreamcli");
    if (tool.empty()) GTEST_SKIP() << "appstreamcli (appstream) is not installed";
    const fs::path file = tree_.Installed(std::string("usr/") + KVX_DATADIR + "/metainfo/" +
                                          KVX_APP_ID + ".metainfo.xml");
    const ProgramResult r =
        RunProgram({tool, "validate", "--no-net", "--strict", file.string()},
                   {"PATH=/usr/bin:/bin", "HOME=" + tree_.Work().string()}, tree_.Work());
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(ReadFile(file).find(std::string("<release version=\"") + KVX_VERSION + "\""),
              std::string::npos)
        << "the metainfo names this version";
}

TEST_F(Installed, IconsHaveTheSizeOfTheirFolder) {
    if (!KVX_HAVE_PNG_ICONS)
        GTEST_SKIP() << "rsvg-convert (librsvg2-bin) was missing at build time";
    for (int size : {KVX_ICON_SIZES}) {
        const std::string px = std::to_string(size);
        const fs::path png = tree_.Installed(std::string("usr/") + KVX_DATADIR + "/icons/hicolor/" +
                                             px + "x" + px + "/apps/" + KVX_APP_ID + ".png");
        const std::string bytes = ReadFile(png);
        ASSERT_GE(bytes.size(), 24u) << png;
        EXPECT_EQ(bytes.substr(1, 3), "PNG") << png;
        EXPECT_EQ(bytes.substr(12, 4), "IHDR") << png;
        EXPECT_EQ(BigEndian32(bytes, 16), uint32_t(size)) << png << " width";
        EXPECT_EQ(BigEndian32(bytes, 20), uint32_t(size)) << png << " height";
    }
}

TEST_F(Installed, UdevRuleGivesTheSeatUserEveryCameraOfTheModelTable) {
    const fs::path rule = [&] {
        for (const auto& f : InstalledTree::InstalledFiles())
            if (f.find("udev/rules.d/") != std::string::npos) return tree_.Installed(f);
        return fs::path();
    }();
    // uaccess is turned into an access list by 73-seat-late.rules: a rule
    // read after it would tag the device too late.
    EXPECT_LT(rule.filename().string(), "73-seat-late.rules");
    std::vector<std::string> lines;
    std::istringstream in(ReadFile(rule));
    for (std::string line; std::getline(in, line);)
        if (!line.empty() && line[0] != '#') lines.push_back(line);
    ASSERT_FALSE(lines.empty()) << rule;
    for (const auto& row : kvx::engine::CameraModelTable()) {
        // "VID_4E7A" -> "4e7a": sysfs writes the ids in lower case.
        const std::string vendor = Lower(std::string(row.vendor).substr(4));
        const std::string product = Lower(std::string(row.product).substr(4));
        const bool granted = std::any_of(lines.begin(), lines.end(), [&](const std::string& l) {
            return l.find("ATTR{idVendor}==\"" + vendor + "\"") != std::string::npos &&
                   l.find("ATTR{idProduct}==\"" + product + "\"") != std::string::npos &&
                   l.find("TAG+=\"uaccess\"") != std::string::npos;
        });
        EXPECT_TRUE(granted) << row.vendor << " " << row.product << " has no uaccess line";
    }
}

TEST_F(Installed, ManPagesDescribeEveryCommandAndOptionOfTheHelp) {
    // kvx-tether: its commands, and the options of its own help and of each
    // command's help.
    const ProgramResult help = tree_.Run("kvx-tether", {"--help"});
    ASSERT_EQ(help.status, 0) << help.err;
    const std::string tether = ManPage("kvx-tether.1");
    std::set<std::string> options = OptionsIn(help.out);
    const auto commands = CommandsIn(help.out);
    ASSERT_FALSE(commands.empty()) << help.out;
    for (const auto& command : commands) {
        EXPECT_NE(tether.find(".SS " + command), std::string::npos)
            << "kvx-tether.1 has no section for the command " << command;
        const ProgramResult one = tree_.Run("kvx-tether", {command, "--help"});
        EXPECT_EQ(one.status, 0) << command;
        for (const auto& o : OptionsIn(one.out)) options.insert(o);
    }
    for (const auto& o : options)
        EXPECT_NE(tether.find(o), std::string::npos) << "kvx-tether.1 does not describe " << o;

    const ProgramResult vcamHelp = tree_.Run("kvx-vcam", {"--help"});
    ASSERT_EQ(vcamHelp.status, 0) << vcamHelp.err;
    const std::string vcam = ManPage("kvx-vcam.1");
    const auto vcamOptions = OptionsIn(vcamHelp.out);
    ASSERT_GT(vcamOptions.size(), 5u) << vcamHelp.out;
    for (const auto& o : vcamOptions)
        EXPECT_NE(vcam.find(o), std::string::npos) << "kvx-vcam.1 does not describe " << o;
}

TEST_F(Installed, ManPagesRenderWithoutWarnings) {
    const std::string man = SystemTool("man");
    if (man.empty()) GTEST_SKIP() << "man (man-db) is not installed";
    for (const char* page : {"kvx-tether.1", "kvx-vcam.1"}) {
        const fs::path file =
            tree_.Installed(std::string("usr/") + KVX_MANDIR + "/man1/" + page + KVX_MAN_SUFFIX);
        const ProgramResult r = RunProgram(
            {man, "--warnings", "-l", file.string()},
            {"PATH=/usr/bin:/bin", "LANG=C.UTF-8", "MANWIDTH=80", "MANPAGER=cat", "PAGER=cat"},
            tree_.Work());
        EXPECT_EQ(r.status, 0) << page << ": " << r.err;
        EXPECT_EQ(r.err, "") << page;
        EXPECT_NE(r.out.find("NAME"), std::string::npos) << page;
    }
}

TEST_F(Installed, UserGuideIsInTheDocumentationFolder) {
    const fs::path doc = tree_.Usr() / KVX_DOCDIR;
    const std::string md = ReadFile(doc / "user-guide.md");
    for (const char* topic : {"Connecting a camera", "The main window", "Capturing",
                              "Where pictures go", "kvx-tether", "udevadm control --reload"})
        EXPECT_NE(md.find(topic), std::string::npos) << topic;
    if (!KVX_HAVE_HTML_GUIDE) GTEST_SKIP() << "cmark-gfm was missing at build time: no HTML guide";
    const std::string html = ReadFile(doc / "user-guide.html");
    EXPECT_NE(html.find("<h1>Kolvex user guide</h1>"), std::string::npos);
    EXPECT_NE(html.find("<table>"), std::string::npos) << "tables are rendered, not left as text";
    EXPECT_EQ(html.find("|---|"), std::string::npos) << "no table is left as text";
}
