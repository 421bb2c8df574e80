#include "installed_tree.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "vcam/virtual_camera.h"

namespace fs = std::filesystem;

namespace kvx::test {

InstalledTree::InstalledTree(fs::path root, fs::path work)
    : root_(std::move(root)), work_(std::move(work)) {
    fs::remove_all(work_);
    for (const char* sub : {"devices", "data", "state", "run", "home", "pictures"})
        fs::create_directories(work_ / sub);
    fs::permissions(work_ / "run", fs::perms::owner_all);
}

InstalledTree::~InstalledTree() {
    std::error_code ec;
    fs::remove_all(work_, ec);
}

fs::path InstalledTree::Bin(const std::string& program) const {
    return Usr() / "bin" / program;
}

fs::path InstalledTree::StateFolder() const {
    return work_ / "state" / "VARNO" / "Varno_Kolvex";
}

void InstalledTree::RunAs(std::vector<std::string> command, uid_t uid, gid_t gid) {
    runAs_ = std::move(command);
    ASSERT_EQ(::chown(work_.c_str(), uid, gid), 0);
    for (const auto& entry : fs::recursive_directory_iterator(work_))
        ASSERT_EQ(::chown(entry.path().c_str(), uid, gid), 0) << entry.path();
}

std::vector<std::string> InstalledTree::Environment() const {
    // Only the installation's own folder and the system's: a program that
    // still reached into the build tree would fail here.
    return {"PATH=" + (Usr() / "bin").string() + ":/usr/bin:/bin",
            "HOME=" + (work_ / "home").string(),
            "XDG_DATA_HOME=" + (work_ / "data").string(),
            "XDG_STATE_HOME=" + (work_ / "state").string(),
            "XDG_RUNTIME_DIR=" + (work_ / "run").string(),
            "KVX_DEVICE_DIR=" + (work_ / "devices").string(),
            "KVX_DEVICE_USB=0",
            "KVX_TETHER_TIME_DIVISOR=10",
            "LANG=C.UTF-8",
            "QT_QPA_PLATFORM=offscreen"};
}

std::vector<std::string> InstalledTree::Command(const std::string& program,
                                                const std::vector<std::string>& args) const {
    std::vector<std::string> argv = runAs_;
    argv.push_back(Bin(program).string());
    argv.insert(argv.end(), args.begin(), args.end());
    return argv;
}

ProgramResult InstalledTree::Run(const std::string& program,
                                 const std::vector<std::string>& args) const {
    return RunProgram(Command(program, args), Environment(), work_);
}

std::vector<std::string> InstalledTree::InstalledFiles() {
    const std::string usr = "usr/";
    const std::string lib = usr + KVX_LIBDIR + "/";
    const std::string share = usr + KVX_DATADIR + "/";
    const std::string udev = std::string(KVX_UDEV_RULES_DIR).rfind('/', 0) == 0
                                 ? std::string(KVX_UDEV_RULES_DIR).substr(1)
                                 : usr + KVX_UDEV_RULES_DIR;
    std::vector<std::string> files = {
        usr + "bin/kvx-tether",
        usr + "bin/kvx-vcam",
        udev + "/70-kolvex-camera.rules",
        share + "applications/" + KVX_APP_ID + ".desktop",
        share + "metainfo/" + KVX_APP_ID + ".metainfo.xml",
        share + "icons/hicolor/scalable/apps/" + KVX_APP_ID + ".svg",
        usr + KVX_MANDIR + "/man1/kvx-tether.1" + KVX_MAN_SUFFIX,
        usr + KVX_MANDIR + "/man1/kvx-vcam.1" + KVX_MAN_SUFFIX,
        usr + KVX_DOCDIR + "/user-guide.md",
    };
    for (const char* name : {"libVARNO_USB2.so", "libVARNO_VUR1.so"}) {
        files.push_back(lib + name);
        files.push_back(lib + name + "." + KVX_SOVERSION);
        files.push_back(lib + name + "." + KVX_VERSION);
    }
    if (KVX_HAVE_GUI) files.push_back(usr + "bin/Varno_Kolvex");
    if (KVX_HAVE_HTML_GUIDE) files.push_back(usr + KVX_DOCDIR + "/user-guide.html");
    if (KVX_HAVE_PNG_ICONS) {
        for (int size : {KVX_ICON_SIZES}) {
            const std::string px = std::to_string(size);
            files.push_back(share + "icons/hicolor/" + px + "x" + px + "/apps/" + KVX_APP_ID +
                            ".png");
        }
    }
    return files;
}

void InstalledTree::ExpectLibraryFromThisTree(const std::string& program) const {
    const ProgramResult r = RunProgram({"/usr/bin/ldd", Bin(program).string()},
                                       {"PATH=/usr/bin:/bin", "LANG=C"}, work_);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.find("not found"), std::string::npos) << r.out;
    const std::string name = std::string("libVARNO_USB2.so.") + KVX_SOVERSION;
    const auto at = r.out.find(name + " => ");
    ASSERT_NE(at, std::string::npos) << program << " does not load " << name << ":\n" << r.out;
    const auto start = at + name.size() + 4;
    const std::string loaded = r.out.substr(start, r.out.find(' ', start) - start);
    EXPECT_EQ(fs::canonical(loaded), fs::canonical(Usr() / KVX_LIBDIR / name))
        << program << " loads " << loaded;
}

void InstalledTree::ExpectCaptureOfOnePicture(int programLogLevel) const {
    const std::vector<std::string> cameraArgs = {"--device-dir",    (work_ / "devices").string(),
                                                 "--seed",          "4242",
                                                 "--picture-bytes", "300001",
                                                 "--file-base",     "KVX_"};
    // The camera's own reading of the same options says which file it will
    // hand out and with which bytes.
    std::vector<std::string> parseArgs = {"kvx-vcam"};
    parseArgs.insert(parseArgs.end(), cameraArgs.begin(), cameraArgs.end());
    std::vector<char*> parsePointers;
    for (auto& a : parseArgs) parsePointers.push_back(a.data());
    vcam::VirtualCameraOptions options;
    std::string message;
    ASSERT_TRUE(vcam::ParseCommandLine(static_cast<int>(parsePointers.size()), parsePointers.data(),
                                       options, message))
        << message;
    const auto files = vcam::VirtualCamera::ExpectedFiles(options, 1);
    ASSERT_EQ(files.size(), 1u);

    const fs::path cameraOut = work_ / "vcam-out.txt";
    ChildProcess camera(Command("kvx-vcam", cameraArgs), Environment(), cameraOut,
                        work_ / "vcam-err.txt");
    // Plugged in once it says so; a camera that ends instead has failed.
    while (ReadFile(cameraOut).find("plugged in") == std::string::npos && camera.Running())
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_NE(ReadFile(cameraOut).find("plugged in"), std::string::npos)
        << "kvx-vcam did not plug in: " << ReadFile(work_ / "vcam-err.txt");

    const fs::path pictures = work_ / "pictures";
    const fs::path settings = work_ / "settings.ini";
    std::ofstream(settings) << "[Debug_1.2]\nLogLevel=" << programLogLevel
                            << "\n[Store_1.2]\nInCamera=0\nInPC=1\nPath=" << pictures.string()
                            << "\n";
    if (!runAs_.empty()) {
        struct stat st {};
        ASSERT_EQ(::stat(work_.c_str(), &st), 0);
        ASSERT_EQ(::chown(settings.c_str(), st.st_uid, st.st_gid), 0);
    }
    const ProgramResult r = Run(
        "kvx-tether", {"--settings", settings.string(), "capture", "--dest", pictures.string()});
    EXPECT_EQ(r.status, 0) << r.err;
    const fs::path picture = pictures / files[0].name;
    EXPECT_NE(r.out.find(picture.string()), std::string::npos)
        << "kvx-tether names the file it wrote; it printed: " << r.out;

    const std::string got = ReadFile(picture);
    std::string want(files[0].size, '\0');
    vcam::VirtualCamera::FillPictureBytes(options.seed, files[0].objectId, 0,
                                          reinterpret_cast<uint8_t*>(want.data()), want.size());
    EXPECT_EQ(got.size(), want.size()) << picture;
    EXPECT_TRUE(got == want) << picture << " differs from the picture the camera made";

    camera.Signal(SIGTERM);
    EXPECT_EQ(camera.Wait(), 0) << ReadFile(work_ / "vcam-err.txt");
    EXPECT_NE(ReadFile(cameraOut).find("unplugged"), std::string::npos);
}

}  // namespace kvx::test
