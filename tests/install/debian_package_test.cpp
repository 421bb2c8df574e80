// The Debian package made by cpack: its files, its control data and
// dependencies, and its programs run from the unpacked package. It is
// unpacked with dpkg-deb -x into a temporary folder, never installed into
// the system that runs the tests.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <set>
#include <sstream>

#include "installed_tree.h"

namespace fs = std::filesystem;
using kvx::test::InstalledTree;
using kvx::test::ProgramResult;
using kvx::test::ReadFile;
using kvx::test::RunProgram;

namespace {

const std::vector<std::string> kToolEnvironment = {"PATH=/usr/bin:/bin:/usr/sbin:/sbin", "LANG=C"};

class DebianPackage : public ::testing::Test {
protected:
    void SetUp() override {
        // Short: the camera's socket path below it must fit a socket address.
        work_ = fs::temp_directory_path() / ("kvx-deb-" + std::to_string(::getpid()));
        fs::remove_all(work_);
        fs::create_directories(work_);
        if (::access("/usr/bin/dpkg-deb", X_OK) != 0)
            GTEST_SKIP() << "dpkg-deb is not installed: no Debian package here";
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(KVX_DEB_DIR, ec))
            if (e.path().extension() == ".deb") debs_.push_back(e.path());
        ASSERT_EQ(debs_.size(), 1u) << "one package in " << KVX_DEB_DIR;
        deb_ = debs_.front();
    }
    void TearDown() override { fs::remove_all(work_); }

    ProgramResult Tool(const std::vector<std::string>& argv) const {
        return RunProgram(argv, kToolEnvironment, work_);
    }
    std::string Field(const std::string& name) const {
        ProgramResult r = Tool({"/usr/bin/dpkg-deb", "--field", deb_.string(), name});
        EXPECT_EQ(r.status, 0) << r.err;
        while (!r.out.empty() && r.out.back() == '\n') r.out.pop_back();
        return r.out;
    }

    fs::path work_;
    std::vector<fs::path> debs_;
    fs::path deb_;
};

}  // namespace

TEST_F(DebianPackage, HoldsEveryFileUnderUsrAndNothingElse) {
    const ProgramResult r = Tool({"/usr/bin/dpkg-deb", "--contents", deb_.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    std::set<std::string> paths;
    std::istringstream in(r.out);
    for (std::string line; std::getline(in, line);) {
        // "mode owner size date time ./path" or "... ./link -> target"
        auto at = line.find(" ./");
        ASSERT_NE(at, std::string::npos) << line;
        std::string path = line.substr(at + 3);
        if (auto arrow = path.find(" -> "); arrow != std::string::npos) path.resize(arrow);
        if (!path.empty() && path.back() == '/') path.pop_back();
        if (path.empty()) continue;
        EXPECT_TRUE(path == "usr" || path.rfind("usr/", 0) == 0) << "outside /usr: " << path;
        EXPECT_EQ(path.rfind("usr/local", 0), std::string::npos) << path;
        paths.insert(path);
    }
    for (const auto& file : InstalledTree::InstalledFiles())
        EXPECT_TRUE(paths.count(file)) << file << " is not in the package";
}

TEST_F(DebianPackage, ControlNamesPackageArchitectureAndDependencies) {
    EXPECT_EQ(Field("Package"), KVX_PACKAGE_NAME);
    EXPECT_EQ(Field("Version"), KVX_VERSION);
    ProgramResult arch = Tool({"/usr/bin/dpkg", "--print-architecture"});
    ASSERT_EQ(arch.status, 0);
    arch.out.pop_back();
    EXPECT_EQ(Field("Architecture"), arch.out);

    // dpkg-shlibdeps found a package for every library the programs load.
    const std::string depends = Field("Depends");
    std::vector<std::string> needed = {"libc6 (", "libstdc++6 (", "libusb-1.0-0 ("};
    if (KVX_HAVE_GUI) needed.push_back("libqt6widgets6");
    for (const auto& package : needed)
        EXPECT_NE(depends.find(package), std::string::npos) << package << " in: " << depends;
    EXPECT_EQ(depends.find("VARNO"), std::string::npos) << "its own libraries are inside";

    const fs::path control = work_ / "control";
    ASSERT_EQ(Tool({"/usr/bin/dpkg-deb", "--control", deb_.string(), control.string()}).status, 0);
    EXPECT_NE(ReadFile(control / "shlibs")
                  .find(std::string("libVARNO_USB2 ") + KVX_SOVERSION + " " + KVX_PACKAGE_NAME),
              std::string::npos);
    EXPECT_NE(ReadFile(control / "triggers").find("activate-noawait ldconfig"), std::string::npos);
    // A camera already plugged in gets its access rights at installation.
    const std::string postinst = ReadFile(control / "postinst");
    EXPECT_NE(postinst.find("udevadm trigger"), std::string::npos);
    EXPECT_EQ(::access((control / "postinst").c_str(), X_OK), 0);
    const ProgramResult syntax = Tool({"/bin/sh", "-n", (control / "postinst").string()});
    EXPECT_EQ(syntax.status, 0) << syntax.err;
}

TEST_F(DebianPackage, UnpackedProgramsCaptureWithTheirOwnLibrary) {
    const fs::path root = work_ / "root";
    const ProgramResult x = Tool({"/usr/bin/dpkg-deb", "-x", deb_.string(), root.string()});
    ASSERT_EQ(x.status, 0) << x.err;
    InstalledTree tree(root, work_ / "run");
    tree.ExpectLibraryFromThisTree("kvx-tether");
    tree.ExpectCaptureOfOnePicture();
    if (KVX_HAVE_GUI) {
        const ProgramResult help = tree.Run("Varno_Kolvex", {"--help"});
        EXPECT_EQ(help.status, 0) << help.err;
    }
}

TEST_F(DebianPackage, AptFindsEverythingItDependsOn) {
    if (::access("/usr/bin/apt-get", X_OK) != 0) GTEST_SKIP() << "apt-get is not installed";
    // A simulation: it resolves the dependencies against this system's
    // package lists and changes nothing (no lock taken either).
    const ProgramResult r =
        Tool({"/usr/bin/apt-get", "install", "--simulate", "--no-install-recommends", "-o",
              "Debug::NoLocking=1", fs::absolute(deb_).string()});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    const bool resolved =
        r.out.find(std::string("Inst ") + KVX_PACKAGE_NAME + " ") != std::string::npos ||
        r.out.find(std::string(KVX_PACKAGE_NAME) + " is already the newest") != std::string::npos;
    EXPECT_TRUE(resolved) << r.out << r.err;
}
