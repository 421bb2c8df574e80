// Runs kvx-tether as a separate process against virtual cameras of this
// process, the way a script on a machine without a screen would.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "model/record_layout.h"
#include "model/value_tables.h"
#include "vcam/virtual_camera.h"

extern char** environ;

namespace fs = std::filesystem;
using kvx::vcam::PictureKind;
using kvx::vcam::VirtualCamera;
using kvx::vcam::VirtualCameraOptions;

namespace {

// No run of the program may take longer than this; past it the run is
// killed and counts as a hang.
constexpr int kHangLimitSeconds = 240;

struct RunResult {
    int status = -1;  // exit status, or -1 when it did not exit by itself
    std::string out;
    std::string err;
    std::vector<std::string> Lines() const {
        std::vector<std::string> v;
        std::istringstream in(out);
        for (std::string l; std::getline(in, l);)
            if (!l.empty()) v.push_back(l);
        return v;
    }
};

// The Field1/Field2 bits of the data group field at a full offset.
std::pair<uint8_t, uint8_t> FieldBitsOf(int group, size_t offset) {
    for (int i = 0; i < 16; ++i) {
        const auto* f = VARNO::DataGroupField(group, i);
        if (f && f->width && f->offset == offset)
            return i < 8 ? std::pair<uint8_t, uint8_t>(uint8_t(1u << i), 0)
                         : std::pair<uint8_t, uint8_t>(0, uint8_t(1u << (i - 8)));
    }
    ADD_FAILURE() << "no field at " << offset;
    return {0, 0};
}

std::vector<uint8_t> QualityOf(const VirtualCamera& cam) {
    auto [f1, f2] = FieldBitsOf(2, VARNO::dg2::kImageQuality);
    return cam.DataGroupField(2, f1, f2);
}

std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

class Child {
public:
    // stdinFile: what the program reads (default nothing); asUser: a user id
    // the program runs as (root passes every permission check).
    Child(const std::vector<std::string>& args, const fs::path& dir,
          const std::string& stdinFile = "/dev/null", uid_t asUser = 0)
        : dir_(dir) {
        std::vector<char*> argv;
        std::string exe = KVX_TETHER_PATH;
        argv.push_back(exe.data());
        std::vector<std::string> copy = args;
        for (auto& a : copy) argv.push_back(a.data());
        argv.push_back(nullptr);
        if (asUser != 0) {
            std::string out = (dir / "out.txt").string(), err = (dir / "err.txt").string();
            pid_ = ::fork();
            if (pid_ == 0) {
                int in = ::open(stdinFile.c_str(), O_RDONLY);
                int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
                int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
                if (in < 0 || o < 0 || e < 0 || ::dup2(in, 0) < 0 || ::dup2(o, 1) < 0 ||
                    ::dup2(e, 2) < 0 || ::setgroups(0, nullptr) != 0 || ::setgid(asUser) != 0 ||
                    ::setuid(asUser) != 0)
                    ::_exit(127);
                ::execve(exe.c_str(), argv.data(), environ);
                ::_exit(127);
            }
            return;
        }
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_addopen(&fa, 0, stdinFile.c_str(), O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&fa, 1, (dir / "out.txt").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&fa, 2, (dir / "err.txt").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int rc = posix_spawn(&pid_, exe.c_str(), &fa, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&fa);
        if (rc != 0) pid_ = -1;
    }
    ~Child() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    std::string OutSoFar() const { return Slurp(dir_ / "out.txt"); }
    void Signal(int sig) {
        if (pid_ > 0) ::kill(pid_, sig);
    }
    RunResult Wait(int limitSeconds = kHangLimitSeconds) {
        RunResult r;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(limitSeconds);
        int st = 0;
        while (pid_ > 0) {
            pid_t w = ::waitpid(pid_, &st, WNOHANG);
            if (w == pid_) {
                pid_ = -1;
                r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
                break;
            }
            if (std::chrono::steady_clock::now() > deadline) {
                ::kill(pid_, SIGKILL);
                ::waitpid(pid_, nullptr, 0);
                pid_ = -1;
                ADD_FAILURE() << "kvx-tether hung and was killed";
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        r.out = Slurp(dir_ / "out.txt");
        r.err = Slurp(dir_ / "err.txt");
        return r;
    }

private:
    fs::path dir_;
    pid_t pid_ = -1;
};

class TetherCli : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() /
                ("kvx-cli-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        fs::create_directories(root_ / "devices");
        fs::create_directories(root_ / "pictures");
        fs::create_directories(root_ / "data");
        ::setenv("KVX_DEVICE_DIR", (root_ / "devices").c_str(), 1);
        ::setenv("KVX_DEVICE_USB", "0", 1);  // real USB devices of the machine stay out
        ::setenv("XDG_DATA_HOME", (root_ / "data").c_str(), 1);
        ::setenv("KVX_TETHER_TIME_DIVISOR", "10", 1);
        settings_ = (root_ / "settings.ini").string();
        WriteSettings("");
    }
    void TearDown() override {
        cameras_.clear();
        fs::remove_all(root_);
    }

    void WriteSettings(const std::string& extra) {
        std::ofstream(settings_) << "[Debug_1.2]\nLogLevel="
                                 << (std::getenv("KVX_TEST_LOG") ? std::getenv("KVX_TEST_LOG")
                                                                 : "0")
                                 << "\n[Store_1.2]\nInCamera=0\nInPC=1\nPath="
                                 << (root_ / "pictures").string() << "\n"
                                 << extra;
    }

    VirtualCamera& Camera(VirtualCameraOptions o = {}) {
        o.deviceDir = (root_ / "devices").string();
        cameras_.push_back(std::make_unique<VirtualCamera>(o));
        EXPECT_TRUE(cameras_.back()->Start());
        return *cameras_.back();
    }

    RunResult Tether(std::vector<std::string> args) {
        args.insert(args.begin(), {"--settings", settings_});
        Child c(args, root_);
        return c.Wait();
    }

    // Every byte of every file of picture n as the camera made it.
    static void ExpectPictureFile(const VirtualCamera& cam, const std::string& path,
                                  const kvx::vcam::PictureFile& f) {
        std::string got = Slurp(path);
        ASSERT_EQ(got.size(), f.size) << path;
        std::string want(f.size, '\0');
        VirtualCamera::FillPictureBytes(cam.Options().seed, f.objectId, 0,
                                        reinterpret_cast<uint8_t*>(want.data()), want.size());
        EXPECT_TRUE(got == want) << path << " differs from the camera's bytes";
    }

    // Files in a folder: whole pictures and kept ".incomplete" ones.
    struct Kept {
        int whole = 0;
        int incomplete = 0;
        std::vector<std::string> other;
    };
    static Kept FilesIn(const fs::path& dir) {
        Kept k;
        if (!fs::is_directory(dir)) return k;
        for (const auto& e : fs::directory_iterator(dir)) {
            std::string name = e.path().filename().string();
            if (name.size() > 11 && name.compare(name.size() - 11, 11, ".incomplete") == 0)
                ++k.incomplete;
            else if (name[0] == '.')
                k.other.push_back(name);
            else
                ++k.whole;
        }
        return k;
    }
    // Waits (bounded) until the program's output file holds text.
    bool WaitForText(const std::string& file, const std::string& text) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (std::chrono::steady_clock::now() < deadline) {
            if (Slurp(root_ / file).find(text) != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    // Waits (bounded) until the link is up: the camera has been asked for
    // its settings.
    static void WaitForLink(const VirtualCamera& cam) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (cam.ReceivedOperations().size() < 10 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }

    // Waits (bounded) until the camera has received an operation like this.
    static void WaitForOperation(
        const VirtualCamera& cam,
        const std::function<bool(const kvx::vcam::ReceivedOperation&)>& is) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (std::chrono::steady_clock::now() < deadline) {
            for (const auto& op : cam.ReceivedOperations())
                if (is(op)) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ADD_FAILURE() << "the operation never came";
    }

    fs::path root_;
    std::string settings_;
    std::vector<std::unique_ptr<VirtualCamera>> cameras_;
};

// A read-only bind mount of a folder, undone however the test ends.
class ReadOnlyBind {
public:
    ReadOnlyBind(const fs::path& source, const fs::path& target) : target_(target) {
        fs::create_directories(target);
        ok_ = ::mount(source.c_str(), target.c_str(), nullptr, MS_BIND, nullptr) == 0;
        if (ok_ && ::mount(nullptr, target.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY,
                           nullptr) != 0) {
            ::umount(target.c_str());
            ok_ = false;
        }
    }
    ~ReadOnlyBind() {
        if (ok_) ::umount2(target_.c_str(), MNT_DETACH);
    }
    bool Ok() const { return ok_; }

private:
    fs::path target_;
    bool ok_ = false;
};

TEST_F(TetherCli, HelpDocumentsCommandsAndExitStatuses) {
    RunResult r = Tether({"--help"});
    EXPECT_EQ(r.status, 0);
    for (const char* cmd :
         {"list", "info", "set NAME VALUE", "capture", "watch", "0x8001", "sees 1", "no camera",
          "link failure", "transfer failure", "--camera N|PATH", "--log-file PATH", "in use by"})
        EXPECT_NE(r.out.find(cmd), std::string::npos) << cmd;
    for (const char* cmd : {"list", "info", "set", "capture", "watch"}) {
        RunResult h = Tether({cmd, "--help"});
        EXPECT_EQ(h.status, 0) << cmd;
        EXPECT_NE(h.out.find(std::string("Usage: kvx-tether ") + cmd), std::string::npos) << cmd;
        EXPECT_NE(h.out.find("Exit status"), std::string::npos) << cmd;
    }
    EXPECT_EQ(Tether({"frobnicate"}).status, 2);
    EXPECT_EQ(Tether({"capture", "--count", "0"}).status, 2);
    EXPECT_EQ(Tether({"set", "shutter"}).status, 2);
}

TEST_F(TetherCli, WithoutCamerasEachCommandSaysSo) {
    EXPECT_EQ(Tether({"list"}).status, 3);
    RunResult r = Tether({"info"});
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.err.find("no camera"), std::string::npos);
}

TEST_F(TetherCli, OnlyModel110CamerasEndWithTheLowByteOf0x8001) {
    VirtualCameraOptions o;
    o.model = 110;
    VirtualCamera& old = Camera(o);
    RunResult list = Tether({"list"});
    EXPECT_EQ(list.status, 0);
    EXPECT_NE(list.out.find("110\t\\\\?\\usb#vid_4e7a&pid_5d10#" + old.Instance() + "#"),
              std::string::npos)
        << list.out;
    RunResult r = Tether({"info"});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_TRUE(old.ReceivedOperations().empty()) << "a 110 camera is never opened";
}

TEST_F(TetherCli, ListShowsModelCodeAndDevicePath) {
    VirtualCamera& cam = Camera();
    RunResult r = Tether({"list"});
    EXPECT_EQ(r.status, 0);
    std::string want = "130\t\\\\?\\usb#vid_4e7a&pid_5e30#" + cam.Instance() +
                       "#{6bdd1fc6-810f-11d0-bec7-08002be2092f}\tVarno Camera";
    EXPECT_NE(r.out.find(want), std::string::npos) << r.out;
}

TEST_F(TetherCli, InfoShowsCameraProtocolStateAndSettings) {
    VirtualCamera& cam = Camera();
    RunResult r = Tether({"info"});
    ASSERT_EQ(r.status, 0) << r.err;
    auto lines = r.Lines();
    ASSERT_GE(lines.size(), 4u) << r.out;
    EXPECT_EQ(lines[0].rfind("Camera: VARNO ZX-130(", 0), 0u) << lines[0];
    EXPECT_EQ(lines[1], "Protocol: 4.0");
    EXPECT_EQ(lines[2].rfind("State: ", 0), 0u);
    // The quality line shows the text of the code the camera holds.
    auto q = QualityOf(cam);
    ASSERT_EQ(q.size(), 1u);
    const auto* item = VARNO::FindValueByCode(VARNO::ValueTable::ImageQuality, q[0]);
    ASSERT_NE(item, nullptr);
    bool found = false;
    for (const auto& l : lines)
        if (l.rfind("quality", 0) == 0) {
            found = true;
            EXPECT_NE(l.find(VARNO::ValueText(*item)), std::string::npos) << l;
        }
    EXPECT_TRUE(found) << r.out;
    EXPECT_NE(r.out.find("shutter"), std::string::npos);
}

TEST_F(TetherCli, SetChangesTheCameraAndWaitsForIt) {
    VirtualCamera& cam = Camera();
    struct Case {
        const char* name;
        const char* value;
        const char* shown;
    } cases[] = {{"quality", "raw+jpeg", "quality: RAW+JPEG"},
                 {"shutter", "1/125", "shutter: 1/125"}};
    for (const auto& c : cases) {
        RunResult r = Tether({"set", c.name, c.value});
        EXPECT_EQ(r.status, 0) << c.name << ": " << r.err;
        EXPECT_NE(r.out.find(c.shown), std::string::npos) << r.out;
    }
    auto q = QualityOf(cam);
    ASSERT_EQ(q.size(), 1u);
    EXPECT_EQ(q[0], 3) << "RAW+JPEG is code 3 of the quality table";

    RunResult bad = Tether({"set", "quality", "POSTCARD"});
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.err.find("RAW+JPEG"), std::string::npos) << "the offered values are listed";
    EXPECT_EQ(Tether({"set", "no-such-setting", "1"}).status, 2);
}

TEST_F(TetherCli, CaptureRawPlusJpegWithRenamingGivesTheCamerasBytes) {
    WriteSettings("Prefix=IMG\nStartNum=10001\nColumns=5\n[Rename_1.2]\nRename=1\n");
    VirtualCameraOptions o;
    o.picture = PictureKind::RawJpeg;
    o.pictureBytes = 3'000'000;  // two pieces and a half for the RAW
    VirtualCamera& cam = Camera(o);
    ASSERT_EQ(Tether({"set", "quality", "RAW+JPEG"}).status, 0);
    RunResult r = Tether({"capture", "--af"});
    ASSERT_EQ(r.status, 0) << r.err;
    auto lines = r.Lines();
    std::string dir = (root_ / "pictures").string();
    ASSERT_EQ(lines, (std::vector<std::string>{dir + "/IMG10001.Q7F", dir + "/IMG10001.JPG"}));
    auto files = cam.ExpectedFiles(1);
    ASSERT_EQ(files.size(), 2u);
    ExpectPictureFile(cam, lines[0], files[0]);
    ExpectPictureFile(cam, lines[1], files[1]);
    // Nothing half-written is left behind.
    for (const auto& e : fs::directory_iterator(root_ / "pictures"))
        EXPECT_EQ(e.path().filename().string().rfind("IMG10001.", 0), 0u) << e.path();
}

TEST_F(TetherCli, FocusOnlyTakesNoPictureAndFailedFocusIsReported) {
    VirtualCameraOptions o;
    o.pictureBytes = 10'000;
    o.afFails = true;
    VirtualCamera& cam = Camera(o);
    // Focusing alone that fails is a failed focus, status 7, said in words
    // (this run used to end 0 and silent, which hid the failure).
    RunResult focus = Tether({"capture", "--af-only"});
    EXPECT_EQ(focus.status, 7) << focus.err;
    EXPECT_NE(focus.err.find("focusing failed"), std::string::npos) << focus.err;
    EXPECT_TRUE(focus.out.empty());
    RunResult af = Tether({"capture", "--af"});
    EXPECT_EQ(af.status, 7) << af.err;
    EXPECT_NE(af.err.find("0x6001"), std::string::npos) << af.err;
    EXPECT_EQ(cam.PicturesTaken(), 0u);
    // Releasing without focusing still works on the same camera.
    RunResult mf = Tether({"capture", "--mf"});
    EXPECT_EQ(mf.status, 0) << mf.err;
    EXPECT_EQ(mf.Lines().size(), 1u);
}

TEST_F(TetherCli, TwoHundredCapturesInARowAreAllWhole) {
    VirtualCameraOptions o;
    o.picture = PictureKind::Jpeg;
    o.pictureBytes = 20'000;
    VirtualCamera& cam = Camera(o);
    RunResult r = Tether({"capture", "--mf", "--count", "200"});
    ASSERT_EQ(r.status, 0) << r.err;
    auto lines = r.Lines();
    ASSERT_EQ(lines.size(), 200u);
    for (uint32_t n = 1; n <= 200; ++n) {
        auto files = cam.ExpectedFiles(n);
        ASSERT_EQ(files.size(), 1u);
        EXPECT_EQ(fs::path(lines[n - 1]).filename().string(), files[0].name);
        ExpectPictureFile(cam, lines[n - 1], files[0]);
    }
    EXPECT_EQ(cam.PicturesTaken(), 200u);
}

// The burst ends on the camera's word that its frames are done, however
// long a frame takes to come: small frames, and frames of several segments.
TEST_F(TetherCli, ContinuousDriveDownloadsEveryFrameOfTheBurst) {
    for (uint64_t bytes : {uint64_t{50'000}, uint64_t{24'000'000}}) {
        SCOPED_TRACE(bytes);
        cameras_.clear();
        for (const auto& e : fs::directory_iterator(root_ / "pictures")) fs::remove_all(e.path());
        VirtualCameraOptions o;
        o.picture = PictureKind::Jpeg;
        o.pictureBytes = bytes;
        VirtualCamera& cam = Camera(o);
        ASSERT_EQ(Tether({"set", "drive", "Continuous Shooting"}).status, 0);
        RunResult r = Tether({"capture", "--mf"});
        ASSERT_EQ(r.status, 0) << r.err;
        auto lines = r.Lines();
        ASSERT_EQ(cam.PicturesTaken(), 3u);
        ASSERT_EQ(lines.size(), 3u) << r.out << "\n---\n" << r.err;
        for (uint32_t n = 1; n <= 3; ++n) {
            auto files = cam.ExpectedFiles(n);
            ASSERT_EQ(files.size(), 1u);
            ExpectPictureFile(cam, lines[n - 1], files[0]);
        }
        // Every frame's result came before the end: none is left behind.
        EXPECT_NE(cam.Command("info").find(" ids=none "), std::string::npos) << cam.Command("info");
    }
}

TEST_F(TetherCli, CameraUnpluggedDuringTransferStopsWithoutHanging) {
    VirtualCameraOptions o;
    o.picture = PictureKind::Jpeg;
    o.pictureBytes = 8'000'000;
    o.vanishAfterBytes = 3'000'000;
    Camera(o);
    RunResult r = Tether({"capture"});
    // The first piece arrived before the camera went: a transfer failure,
    // with that data kept visibly incomplete.
    EXPECT_EQ(r.status, 5) << r.err;
    EXPECT_TRUE(r.out.empty()) << "no partial file is reported as a picture: " << r.out;
    int kept = 0;
    for (const auto& e : fs::directory_iterator(root_ / "pictures")) {
        std::string name = e.path().filename().string();
        if (name.size() > 11 && name.compare(name.size() - 11, 11, ".incomplete") == 0) {
            ++kept;
            continue;
        }
        // No file carries a final picture name while holding only part of it.
        ADD_FAILURE() << "unexpected file " << name << " (" << fs::file_size(e.path()) << " bytes)";
    }
    EXPECT_EQ(kept, 1);
}

TEST_F(TetherCli, WatchDownloadsPicturesTakenOnTheBodyUntilStopped) {
    VirtualCameraOptions o;
    o.pictureBytes = 50'000;
    VirtualCamera& cam = Camera(o);
    Child c({"--settings", settings_, "watch"}, root_);
    auto waitLines = [&](size_t n) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (std::chrono::steady_clock::now() < deadline) {
            std::string out = c.OutSoFar();
            if (static_cast<size_t>(std::count(out.begin(), out.end(), '\n')) >= n) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    };
    // The link is up once the camera has been asked for its settings.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (cam.ReceivedOperations().size() < 10 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    cam.TakePictureOnBody(2);
    ASSERT_TRUE(waitLines(1));
    cam.TakePictureOnBody(2);
    ASSERT_TRUE(waitLines(2));
    c.Signal(SIGTERM);
    RunResult r = c.Wait();
    EXPECT_EQ(r.status, 0) << r.err;
    auto lines = r.Lines();
    ASSERT_EQ(lines.size(), 2u);
    for (uint32_t n = 1; n <= 2; ++n) ExpectPictureFile(cam, lines[n - 1], cam.ExpectedFiles(n)[0]);
}

TEST_F(TetherCli, StopWhilePicturesAreStillInTheCameraWaitsForThem) {
    VirtualCameraOptions o;
    o.pictureBytes = 6'000'000;
    VirtualCamera& cam = Camera(o);
    Child c({"--settings", settings_, "watch"}, root_);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (cam.ReceivedOperations().size() < 10 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    cam.TakePictureOnBody(2);
    // The first download has begun: a second picture is taken, then the stop
    // arrives while both are still owed.
    deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (fs::is_empty(root_ / "pictures") && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    cam.TakePictureOnBody(2);
    c.Signal(SIGTERM);
    RunResult r = c.Wait();
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("still coming from the camera"), std::string::npos) << r.err;
    auto paths = r.Lines();
    ASSERT_EQ(paths.size(), 2u) << r.err;
    for (uint32_t n = 1; n <= 2; ++n) ExpectPictureFile(cam, paths[n - 1], cam.ExpectedFiles(n)[0]);
}

TEST_F(TetherCli, InterruptedCaptureFinishesThePictureUnderWayAndSaysSo) {
    VirtualCameraOptions o;
    o.pictureBytes = 300'000;
    VirtualCamera& cam = Camera(o);
    Child c({"--settings", settings_, "capture", "--mf", "--count", "100"}, root_);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline) {
        std::string out = c.OutSoFar();
        if (std::count(out.begin(), out.end(), '\n') >= 3) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    c.Signal(SIGINT);
    RunResult r = c.Wait();
    EXPECT_EQ(r.status, 8) << r.err;
    auto paths = r.Lines();
    ASSERT_GE(paths.size(), 3u);
    ASSERT_LT(paths.size(), 100u);
    for (uint32_t n = 1; n <= paths.size(); ++n)
        ExpectPictureFile(cam, paths[n - 1], cam.ExpectedFiles(n)[0]);
    // Every picture the camera took was downloaded, and nothing half-written
    // is left in the folder.
    EXPECT_EQ(cam.PicturesTaken(), paths.size());
    size_t files = 0;
    for (const auto& e : fs::directory_iterator(root_ / "pictures")) {
        ++files;
        EXPECT_NE(e.path().filename().string()[0], '.') << e.path();
    }
    EXPECT_EQ(files, paths.size());
}

// Polls done until it holds; false after a minute (a hung program, not a
// slow one).
bool WaitUntil(const std::function<bool()>& done) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

TEST_F(TetherCli, WatchWaitLinksOnPlugInAndUnlinksOnUnplug) {
    VirtualCameraOptions o;
    o.pictureBytes = 40'000;
    o.deviceDir = (root_ / "devices").string();
    VirtualCamera cam(o);  // made, but not plugged in yet
    Child c({"--settings", settings_, "watch", "--wait"}, root_);
    auto lines = [&] {
        std::string out = c.OutSoFar();
        return static_cast<size_t>(std::count(out.begin(), out.end(), '\n'));
    };
    auto errHas = [&](const std::string& text, size_t times) {
        std::string err = Slurp(root_ / "err.txt");
        size_t n = 0;
        for (size_t at = err.find(text); at != std::string::npos; at = err.find(text, at + 1)) ++n;
        return n >= times;
    };
    ASSERT_TRUE(WaitUntil([&] { return errHas("waiting for one to be plugged in", 1); }));
    ASSERT_TRUE(cam.Start());  // plugged in: the watcher's arrival starts the link
    ASSERT_TRUE(WaitUntil([&] { return errHas("camera linked", 1); }));
    cam.TakePictureOnBody(2);
    ASSERT_TRUE(WaitUntil([&] { return lines() >= 1; }));

    cam.Unplug();  // the removal stops the link
    ASSERT_TRUE(WaitUntil([&] { return errHas("camera link ended", 1); }));
    ASSERT_TRUE(cam.Plug());
    ASSERT_TRUE(WaitUntil([&] { return errHas("camera linked", 2); }));
    cam.TakePictureOnBody(2);
    ASSERT_TRUE(WaitUntil([&] { return lines() >= 2; }));

    c.Signal(SIGINT);
    RunResult r = c.Wait();
    EXPECT_EQ(r.status, 0) << r.err;
    auto paths = r.Lines();
    ASSERT_EQ(paths.size(), 2u);
    for (uint32_t n = 1; n <= 2; ++n) ExpectPictureFile(cam, paths[n - 1], cam.ExpectedFiles(n)[0]);
}

// watch --wait with --camera: a path not attached yet is waited for, and
// only that camera is linked when it comes; an index names only what is
// attached, so it cannot be waited for and is refused (it used to crash).
TEST_F(TetherCli, WatchWaitsForTheCameraItNames) {
    VirtualCamera& other = Camera();
    VirtualCameraOptions o;
    o.pictureBytes = 40'000;
    o.deviceDir = (root_ / "devices").string();
    VirtualCamera awaited(o);
    ASSERT_TRUE(awaited.Start());
    std::string path;
    for (const auto& line : Tether({"list"}).Lines())
        if (line.find(awaited.Instance()) != std::string::npos)
            path = line.substr(4, line.rfind('\t') - 4);
    ASSERT_FALSE(path.empty());
    awaited.Unplug();

    RunResult byIndex = Tether({"--camera", "2", "watch", "--wait"});
    EXPECT_EQ(byIndex.status, 3) << byIndex.err;
    EXPECT_NE(byIndex.err.find("name its device path"), std::string::npos) << byIndex.err;

    other.ClearReceivedOperations();
    Child c({"--settings", settings_, "--camera", path, "watch", "--wait", "--count", "1"}, root_);
    auto errHas = [&](const std::string& text) {
        return Slurp(root_ / "err.txt").find(text) != std::string::npos;
    };
    ASSERT_TRUE(WaitUntil([&] { return errHas("waiting for one to be plugged in"); }));
    ASSERT_TRUE(awaited.Plug());
    ASSERT_TRUE(WaitUntil([&] { return errHas("camera linked"); }));
    awaited.TakePictureOnBody(2);
    RunResult r = c.Wait();
    EXPECT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(r.Lines().size(), 1u) << r.out;
    ExpectPictureFile(awaited, r.Lines()[0], awaited.ExpectedFiles(1)[0]);
    EXPECT_TRUE(other.ReceivedOperations().empty()) << "the other camera was linked";
}

// Every way a picture could be lost ends with its own status, says so in
// words, and leaves what it says on disk: a destination that cannot take a
// picture is refused before the camera releases; a failed part or an unplug
// keeps what arrived as ".incomplete"; a camera's refusal is a failed release.
TEST_F(TetherCli, EachFaultEndsWithItsStatusAndLeavesWhatItSays) {
    fs::create_directories(root_ / "locked");
    fs::permissions(root_ / "locked", fs::perms(0755));
    fs::permissions(root_, fs::perms(0755));
    std::ofstream(root_ / "a-file") << "not a folder";
    ReadOnlyBind readOnly(root_ / "pictures", root_ / "read-only");
    struct Row {
        const char* what;
        std::function<void(VirtualCameraOptions&)> camera;
        std::vector<std::string> control;  // commands to the camera before the run
        std::vector<std::string> args;
        uid_t asUser;
        int status;
        const char* says;
        const char* folder;  // where the files are looked for
        int whole, incomplete;
        int taken;  // pictures the camera took; -1: any
        // What happens to the run while it goes on (signals, faults).
        std::function<void(VirtualCamera&, Child&)> during = nullptr;
    };
    auto small = [](VirtualCameraOptions& o) { o.pictureBytes = 200'000; };
    auto q7i = [](VirtualCameraOptions& o) {
        o.picture = PictureKind::Q7i;
        o.pictureBytes = 2'000'000;  // each of the three parts
    };
    // Two signals once the second part of the first picture is being read
    // (the second once the first was taken in): the part under way ends,
    // the third never comes.
    auto stopInPart2 = [this](VirtualCamera& cam, Child& child) {
        const uint32_t part2 = cam.ExpectedFiles(1).at(1).objectId;
        WaitForOperation(cam, [&](const kvx::vcam::ReceivedOperation& op) {
            return op.code == 0x9022 && !op.params.empty() && op.params[0] == part2;
        });
        child.Signal(SIGINT);
        ASSERT_TRUE(WaitForText("err.txt", "a second signal stops at once"));
        child.Signal(SIGINT);
    };
    std::vector<Row> rows = {
        {"destination is a file",
         small,
         {},
         {"capture", "--dest", (root_ / "a-file").string()},
         0,
         2,
         "destination is a file",
         "pictures",
         0,
         0,
         0},
        {"destination missing",
         small,
         {},
         {"capture", "--dest", (root_ / "gone").string()},
         0,
         2,
         "does not exist",
         "pictures",
         0,
         0,
         0},
        {"no permission",
         small,
         {},
         {"capture", "--dest", (root_ / "locked").string()},
         65534,
         2,
         "not writable",
         "locked",
         0,
         0,
         0},
        {"read-only mount",
         small,
         {},
         {"capture", "--dest", (root_ / "read-only").string()},
         0,
         2,
         "read-only file system",
         "pictures",
         0,
         0,
         0},
        {"Q7I part fails",
         [](VirtualCameraOptions& o) {
             o.picture = PictureKind::Q7i;
             o.pictureBytes = 1'500'000;
             o.failPieces.push_back({3, 50});
         },
         {},
         {"capture"},
         0,
         5,
         "incomplete, data kept as",
         "pictures",
         0,
         1,
         -1},
        {"unplugged mid-transfer",
         [](VirtualCameraOptions& o) {
             o.pictureBytes = 8'000'000;
             o.vanishAfterBytes = 3'000'000;
         },
         {},
         {"capture"},
         0,
         5,
         "incomplete, data kept as",
         "pictures",
         0,
         1,
         -1},
        {"focus fails, focusing only",
         [](VirtualCameraOptions& o) { o.afFails = true; },
         {},
         {"capture", "--af-only"},
         0,
         7,
         "focusing failed",
         "pictures",
         0,
         0,
         0},
        {"card full",
         small,
         {"card full"},
         {"capture", "--keep"},
         0,
         7,
         "card full",
         "pictures",
         0,
         0,
         0},
        // Still listed, but no longer answering: the watch ends by itself.
        {"camera stops answering",
         small,
         {"after-link: fail-status 100000 silent"},
         {"watch"},
         0,
         4,
         "stopped answering",
         "pictures",
         0,
         0,
         0},
    };
    rows.push_back({"Q7I unplugged between parts",
                    [&](VirtualCameraOptions& o) {
                        q7i(o);
                        o.vanishAfterBytes = 2'000'000;
                    },
                    {},
                    {"--json", "capture"},
                    0,
                    5,
                    "incomplete, data kept as",
                    "pictures",
                    0,
                    1,
                    1});
    rows.push_back({"Q7I unplugged inside a part",
                    [&](VirtualCameraOptions& o) {
                        q7i(o);
                        o.vanishAfterBytes = 3'000'000;
                    },
                    {},
                    {"capture"},
                    0,
                    5,
                    "incomplete, data kept as",
                    "pictures",
                    0,
                    1,
                    1});
    rows.push_back({"Q7I cut off by signals",
                    [&](VirtualCameraOptions& o) {
                        q7i(o);
                        o.pictureBytes = 16'000'000;  // the stop comes well inside part 2
                    },
                    {},
                    {"--json", "capture"},
                    0,
                    5,
                    "incomplete, data kept as",
                    "pictures",
                    0,
                    1,
                    1,
                    stopInPart2});
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        if (std::string(row.what) == "read-only mount" && !readOnly.Ok()) {
            std::cerr << "read-only bind mount not possible here; row skipped\n";
            continue;
        }
        for (const auto& e : fs::directory_iterator(root_ / "pictures")) fs::remove_all(e.path());
        cameras_.clear();
        VirtualCameraOptions o;
        row.camera(o);
        VirtualCamera& cam = Camera(o);
        const std::string later = "after-link: ";
        std::vector<std::string> afterLink;
        for (const auto& line : row.control) {
            if (line.rfind(later, 0) == 0) {
                afterLink.push_back(line.substr(later.size()));
                continue;
            }
            ASSERT_EQ(cam.Command(line).rfind("ok", 0), 0u) << line;
        }
        std::vector<std::string> args = {"--settings", settings_};
        args.insert(args.end(), row.args.begin(), row.args.end());
        Child child(args, root_, "/dev/null", row.asUser);
        if (!afterLink.empty()) {
            WaitForLink(cam);
            for (const auto& line : afterLink)
                ASSERT_EQ(cam.Command(line).rfind("ok", 0), 0u) << line;
        }
        if (row.during) row.during(cam, child);
        RunResult r = child.Wait();
        EXPECT_EQ(r.status, row.status) << r.err;
        EXPECT_NE(r.err.find(row.says), std::string::npos) << r.err;
        Kept kept = FilesIn(root_ / row.folder);
        EXPECT_EQ(kept.whole, row.whole);
        EXPECT_EQ(kept.incomplete, row.incomplete);
        EXPECT_TRUE(kept.other.empty()) << kept.other.front();
        if (row.taken >= 0) {
            EXPECT_EQ(cam.PicturesTaken(), uint32_t(row.taken));
        }
        const bool json = std::find(row.args.begin(), row.args.end(), "--json") != row.args.end();
        if (!json) {
            EXPECT_TRUE(r.out.empty()) << "no partial file is reported as a picture: " << r.out;
        }
        // Every kept ".incomplete" is named, with its path, on standard error
        // and in the machine-readable output, never as complete.
        if (row.incomplete > 0) {
            for (const auto& e : fs::directory_iterator(root_ / row.folder)) {
                EXPECT_NE(r.err.find(e.path().string()), std::string::npos) << r.err;
                if (json) {
                    EXPECT_NE(r.out.find("\"status\":\"incomplete\",\"path\":\"" +
                                         e.path().string() + "\""),
                              std::string::npos)
                        << r.out;
                }
            }
        }
        if (json) {
            EXPECT_EQ(r.out.find("\"status\":\"complete\""), std::string::npos) << r.out;
        }
    }
}

// A failed part while watching is reported at once, not when the watch ends.
TEST_F(TetherCli, WatchReportsAKeptIncompletePictureAtOnce) {
    VirtualCameraOptions o;
    o.picture = PictureKind::Q7i;
    o.pictureBytes = 1'500'000;
    o.failPieces.push_back({3, 50});
    VirtualCamera& cam = Camera(o);
    Child c({"--settings", settings_, "watch"}, root_);
    WaitForLink(cam);
    ASSERT_EQ(cam.Command("press release").rfind("ok", 0), 0u);
    ASSERT_TRUE(WaitForText("err.txt", ".incomplete"));
    c.Signal(SIGTERM);
    RunResult r = c.Wait();
    EXPECT_EQ(r.status, 5) << r.err;
    EXPECT_EQ(FilesIn(root_ / "pictures").incomplete, 1);
}

// Signals end with 8 at every phase, and a picture that arrived whole stays
// a success of its own.
TEST_F(TetherCli, SignalsEndWithStatus8AtEveryPhase) {
    VirtualCameraOptions o;
    o.pictureBytes = 100'000;
    VirtualCamera& cam = Camera(o);
    {
        // While the link is being made (the camera does not answer).
        ASSERT_EQ(cam.Command("fail-status 100000 silent").rfind("ok", 0), 0u);
        cam.ClearReceivedOperations();
        Child c({"--settings", settings_, "capture"}, root_);
        // The link is being made: the session is open, the status unanswered.
        WaitForOperation(cam,
                         [](const kvx::vcam::ReceivedOperation& op) { return op.code == 0x1002; });
        c.Signal(SIGINT);
        RunResult r = c.Wait();
        EXPECT_EQ(r.status, 8) << r.err;
        ASSERT_EQ(cam.Command("fail-status 0").rfind("ok", 0), 0u);
    }
    {
        // During a self-timer.
        ASSERT_EQ(Tether({"set", "drive", "self-timer 10s"}).status, 0);
        cam.ClearReceivedOperations();
        Child c({"--settings", settings_, "capture"}, root_);
        // The release record has reached the camera: its timer runs.
        WaitForOperation(cam, [](const kvx::vcam::ReceivedOperation& op) {
            return op.code == 0x901B && op.data.size() >= 4 && op.data[0] == 2;
        });
        c.Signal(SIGINT);
        RunResult r = c.Wait();
        EXPECT_EQ(r.status, 8) << r.err;
        EXPECT_EQ(r.err.find("no capture result"), std::string::npos) << r.err;
        ASSERT_EQ(Tether({"set", "drive", "Single Frame Shooting"}).status, 0);
    }
    {
        // Two signals after a whole picture: 8, and the picture stands.
        Child c({"--settings", settings_, "capture", "--mf", "--count", "50"}, root_);
        ASSERT_TRUE(WaitForText("out.txt", "\n"));
        c.Signal(SIGINT);
        c.Signal(SIGINT);
        RunResult r = c.Wait();
        EXPECT_EQ(r.status, 8) << r.err;
        for (const auto& path : r.Lines()) EXPECT_TRUE(fs::exists(path)) << path;
        EXPECT_EQ(FilesIn(root_ / "pictures").incomplete, 0);
    }
}

// A reader that goes away (output into `head`) does not stop the download.
TEST_F(TetherCli, AClosedOutputPipeDoesNotKillTheDownload) {
    VirtualCameraOptions o;
    o.pictureBytes = 100'000;
    VirtualCamera& cam = Camera(o);
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ::close(fds[0]);  // nobody reads
    pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(fds[1], 1);
        std::string exe = KVX_TETHER_PATH;
        std::vector<std::string> args = {exe,    "--settings", settings_, "capture",
                                         "--mf", "--count",    "3"};
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execve(exe.c_str(), argv.data(), environ);
        ::_exit(127);
    }
    ::close(fds[1]);
    int st = 0;
    ASSERT_EQ(::waitpid(pid, &st, 0), pid);
    ASSERT_TRUE(WIFEXITED(st)) << "killed by signal " << WTERMSIG(st);
    EXPECT_EQ(WEXITSTATUS(st), 0);
    EXPECT_EQ(cam.PicturesTaken(), 3u);
    Kept kept = FilesIn(root_ / "pictures");
    EXPECT_EQ(kept.whole, 3);
    EXPECT_EQ(kept.incomplete, 0);
}

// A picture the camera still held from an earlier run is not this release's.
TEST_F(TetherCli, APictureLeftFromAnEarlierRunIsLabelledAsSuch) {
    VirtualCameraOptions o;
    o.pictureBytes = 100'000;
    VirtualCamera& cam = Camera(o);
    cam.TakePictureOnBody(2);  // taken while no program was linked
    RunResult r = Tether({"capture", "--mf"});
    ASSERT_EQ(r.status, 0) << r.err;
    auto lines = r.Lines();
    ASSERT_EQ(lines.size(), 1u) << r.out;
    EXPECT_EQ(fs::path(lines[0]).filename().string(), cam.ExpectedFiles(2)[0].name);
    EXPECT_NE(r.err.find("earlier run"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(cam.ExpectedFiles(1)[0].name), std::string::npos) << r.err;
}

// --json: every line is one JSON object a strict parser accepts, with what a
// script needs.
TEST_F(TetherCli, JsonOutputIsOneParsableObjectPerLine) {
    if (std::system("python3 -c 'import json' >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "python3 is not installed";
    VirtualCameraOptions o;
    o.picture = PictureKind::RawJpeg;
    o.pictureBytes = 100'000;
    VirtualCamera& cam = Camera(o);
    ASSERT_EQ(Tether({"set", "quality", "RAW+JPEG"}).status, 0);
    const fs::path script = root_ / "check.py";
    std::ofstream(script) << R"(import json, sys
for line in open(sys.argv[1], encoding='utf-8'):
    o = json.loads(line, parse_constant=lambda c: sys.exit('bad constant ' + c))
    assert isinstance(o, dict), line
    if o.get('event') == 'file':
        print(o['status'], o['path'], o['size'], o['kind'], o['earlier'])
    else:
        print(o['event'])
)";
    auto check = [&](const std::vector<std::string>& args) {
        RunResult r = Tether(args);
        EXPECT_EQ(r.status, 0) << r.err;
        std::string cmd = "python3 " + script.string() + " " + (root_ / "out.txt").string() +
                          " > " + (root_ / "parsed.txt").string();
        EXPECT_EQ(std::system(cmd.c_str()), 0) << r.out;
        return Slurp(root_ / "parsed.txt");
    };
    EXPECT_EQ(check({"--json", "list"}), "device\n");
    EXPECT_EQ(check({"--json", "info"}), "info\n");
    std::string dir = (root_ / "pictures").string();
    std::string want;
    for (const auto& f : cam.ExpectedFiles(1))
        want += "complete " + dir + "/" + f.name + " " + std::to_string(f.size) + " " +
                fs::path(f.name).extension().string() + " False\n";
    EXPECT_EQ(check({"--json", "capture", "--mf"}), want);
}

// Several commands share one link, and a shell answers each line on one line.
TEST_F(TetherCli, ChainedCommandsAndTheShellShareOneLink) {
    VirtualCameraOptions o;
    o.pictureBytes = 100'000;
    VirtualCamera& cam = Camera(o);
    auto opens = [&] {
        int n = 0;
        for (const auto& op : cam.ReceivedOperations()) n += op.code == 0x1002;  // OpenSession
        return n;
    };
    int before = opens();
    RunResult r = Tether({"set", "shutter", "1/125", "iso", "400", "capture", "--mf", "--count",
                          "2", "get", "shutter"});
    ASSERT_EQ(r.status, 0) << r.err;
    auto lines = r.Lines();
    ASSERT_EQ(lines.size(), 5u) << r.out;
    EXPECT_EQ(lines[0], "shutter: 1/125");
    EXPECT_EQ(lines[1], "iso: 400");
    EXPECT_TRUE(fs::exists(lines[2]) && fs::exists(lines[3])) << r.out;
    EXPECT_EQ(lines[4], "1/125");
    EXPECT_EQ(opens() - before, 1) << "one link for the whole line";

    std::ofstream(root_ / "script.txt") << "get iso\n"
                                           "set aperture 8\n"
                                           "set exposure +1\n"
                                           "choices drive\n"
                                           "capture --mf\n"
                                           "set no-such-setting 1\n";
    before = opens();
    Child c({"--settings", settings_, "shell"}, root_, (root_ / "script.txt").string());
    RunResult sh = c.Wait();
    EXPECT_EQ(sh.status, 2) << sh.err;  // the last line failed
    EXPECT_EQ(opens() - before, 1);
    auto out = sh.Lines();
    auto has = [&](const std::string& l) {
        return std::find(out.begin(), out.end(), l) != out.end();
    };
    EXPECT_TRUE(has("400")) << sh.out;
    EXPECT_TRUE(has("aperture: F8.0")) << sh.out;
    EXPECT_TRUE(has("exposure: +1.0")) << sh.out;
    EXPECT_TRUE(has("Continuous Shooting")) << sh.out;
    for (const char* l : {"ok get iso", "ok set aperture 8", "ok set exposure +1",
                          "ok choices drive", "ok capture --mf", "error 2 set no-such-setting 1"})
        EXPECT_TRUE(has(l)) << l << "\n" << sh.out;
}

// --hook starts a program with each downloaded file's path, without a
// shell, and the store options override the settings file for the run.
TEST_F(TetherCli, HookGetsEachFileAndStoreOptionsOverrideTheSettings) {
    VirtualCameraOptions o;
    o.pictureBytes = 50'000;
    Camera(o);
    const fs::path hook = root_ / "hook.sh";
    const fs::path seen = root_ / "hooked.txt";
    std::ofstream(hook) << "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" << seen.string() << "'\n";
    fs::permissions(hook, fs::perms(0755));
    RunResult r = Tether({"capture", "--mf", "--count", "2", "--prefix", "TL", "--start", "7",
                          "--digits", "3", "--hook", hook.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    std::string dir = (root_ / "pictures").string();
    ASSERT_EQ(r.Lines(), (std::vector<std::string>{dir + "/TL007.JPG", dir + "/TL008.JPG"}));
    // The hook runs detached: wait (bounded) for both lines.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    std::string got = Slurp(seen);
    while (std::count(got.begin(), got.end(), '\n') < 2 &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        got = Slurp(seen);
    }
    EXPECT_NE(got.find(dir + "/TL007.JPG\n"), std::string::npos) << got;
    EXPECT_NE(got.find(dir + "/TL008.JPG\n"), std::string::npos) << got;
    EXPECT_EQ(Tether({"capture", "--hook", "relative/path"}).status, 2);
}

// A destination that goes away while watching: the next picture is kept in
// the rescue folder, named at once on standard error, and the run fails.
TEST_F(TetherCli, APictureWhoseDestinationVanishedIsRescued) {
    ::setenv("XDG_STATE_HOME", (root_ / "state").c_str(), 1);
    VirtualCameraOptions o;
    o.pictureBytes = 200'000;
    VirtualCamera& cam = Camera(o);
    Child c({"--settings", settings_, "watch"}, root_);
    WaitForLink(cam);
    cam.TakePictureOnBody(2);
    ASSERT_TRUE(WaitForText("out.txt", "\n"));
    fs::remove_all(root_ / "pictures");  // unmounted, or removed by hand
    cam.TakePictureOnBody(2);
    ASSERT_TRUE(WaitForText("err.txt", "rescued"));
    c.Signal(SIGTERM);
    RunResult r = c.Wait();
    ::unsetenv("XDG_STATE_HOME");
    EXPECT_EQ(r.status, 5) << r.err;
    const fs::path rescued = root_ / "state" / "VARNO" / "Varno_Kolvex" / "rescued" /
                             (cam.ExpectedFiles(2)[0].name + ".incomplete");
    EXPECT_NE(r.err.find(rescued.string()), std::string::npos) << r.err;
    ExpectPictureFile(cam, rescued.string(), cam.ExpectedFiles(2)[0]);
}

// A picture the camera delivered whole whose file could not be written
// stays in the camera: its entry is not cleared at its result, the run
// names what it kept and ends with 5. The picture before the fault, written
// whole, is cleared as always.
TEST_F(TetherCli, APictureNotWrittenWholeStaysOnTheCamera) {
    ::setenv("XDG_STATE_HOME", (root_ / "state").c_str(), 1);
    const fs::path small = root_ / "small";
    fs::create_directories(small);
    const bool tmpfs = ::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=12m") == 0;
    std::shared_ptr<void> unmount(nullptr, [&](void*) {
        if (tmpfs) ::umount2(small.c_str(), MNT_DETACH);
    });
    struct Row {
        const char* what;
        fs::path dest;
        std::function<void()> fault;  // after the first picture, before the second
        const char* says;
    };
    std::unique_ptr<ReadOnlyBind> readOnly;
    std::vector<Row> rows = {
        {"destination removed", root_ / "pictures", [&] { fs::remove_all(root_ / "pictures"); },
         "rescued"},
        {"destination turns read-only", root_ / "pictures",
         [&] { readOnly = std::make_unique<ReadOnlyBind>(root_ / "pictures", root_ / "pictures"); },
         "rescued"},
        // Room for less than half of the next picture: the write fails
        // in the middle of the file.
        {"disk full", small,
         [&] {
             struct statvfs v {};
             ASSERT_EQ(::statvfs(small.c_str(), &v), 0);
             std::string filler(v.f_bavail * v.f_frsize - 400'000, 'x');
             std::ofstream(small / "filler", std::ios::binary) << filler;
         },
         "incomplete, data kept as"},
    };
    for (auto& row : rows) {
        SCOPED_TRACE(row.what);
        if (row.dest == small && !tmpfs) {
            std::cerr << "a small file system cannot be mounted here; row skipped\n";
            continue;
        }
        fs::create_directories(root_ / "pictures");
        cameras_.clear();
        VirtualCameraOptions o;
        o.pictureBytes = 1'000'000;
        VirtualCamera& cam = Camera(o);
        Child c({"--settings", settings_, "watch", "--dest", row.dest.string()}, root_);
        WaitForLink(cam);
        const std::vector<int> first = cam.TakePictureOnBody(2);
        ASSERT_TRUE(WaitForText("out.txt", "\n"));
        row.fault();
        const std::vector<int> second = cam.TakePictureOnBody(2);
        ASSERT_EQ(first.size(), 1u);
        ASSERT_EQ(second.size(), 1u);
        ASSERT_TRUE(WaitForText("err.txt", row.says));
        // The program has read the second picture's result: the camera
        // reported it delivered (0x8002) and was asked for it afterwards.
        const int id = second[0];
        auto resultRead = [&] {
            int reads = 0;
            for (const auto& op : cam.ReceivedOperations())
                reads += op.code == 0x9015 && !op.params.empty() && op.params[0] == uint32_t(id);
            auto status = cam.CaptureStatus(id);  // none once cleared
            return reads >= 2 && (!status || status->first == 0x8002);
        };
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!resultRead() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_TRUE(resultRead());
        c.Signal(SIGTERM);
        RunResult r = c.Wait();
        readOnly.reset();
        EXPECT_EQ(r.status, 5) << r.err;
        EXPECT_NE(r.err.find("1 picture(s) not written whole were left on the camera"),
                  std::string::npos)
            << r.err;
        EXPECT_EQ(r.Lines().size(), 1u) << r.out;
        // The camera, asked through its control channel, still holds the
        // second picture and no longer the first.
        const std::string info = cam.Command("info");
        EXPECT_NE(info.find(" ids=" + std::to_string(id) + " "), std::string::npos) << info;
        for (const auto& op : cam.ReceivedOperations()) {
            EXPECT_FALSE(op.code == 0x901C && !op.params.empty() && op.params[0] == uint32_t(id))
                << "the picture was cleared from the camera";
        }
        if (std::string(row.says) == "rescued") {
            // Its bytes are kept whole outside the destination as well.
            std::vector<fs::path> kept;
            for (const auto& e : fs::recursive_directory_iterator(root_ / "state"))
                if (e.path().extension() == ".incomplete") kept.push_back(e.path());
            ASSERT_EQ(kept.size(), 1u);
            EXPECT_EQ(fs::file_size(kept[0]), 1'000'000u);
            fs::remove_all(root_ / "state");
        }
        fs::remove(small / "filler");
    }
    ::unsetenv("XDG_STATE_HOME");
}

// With several cameras attached, --camera picks one by its place in list's
// output or by its device path; without it the first is taken and the user
// is told which, and that others exist.
TEST_F(TetherCli, CameraOptionPicksOneOfSeveral) {
    VirtualCamera& a = Camera();
    VirtualCamera& b = Camera();
    RunResult list = Tether({"list"});
    ASSERT_EQ(list.status, 0);
    auto lines = list.Lines();
    ASSERT_EQ(lines.size(), 2u) << list.out;
    auto pathOf = [&](size_t n) { return lines[n].substr(4, lines[n].rfind('\t') - 4); };
    VirtualCamera& first = lines[0].find(a.Instance()) != std::string::npos ? a : b;
    VirtualCamera& second = &first == &a ? b : a;
    auto linked = [](const VirtualCamera& cam) { return !cam.ReceivedOperations().empty(); };
    struct Case {
        std::vector<std::string> args;
        VirtualCamera* linked;  // null: none
        int status;
        std::string says;  // on standard error
    } cases[] = {
        {{"--camera", "2", "info"}, &second, 0, ""},
        {{"--camera", pathOf(0), "info"}, &first, 0, ""},
        {{"info"},
         &first,
         0,
         "2 cameras of model code 130 are attached; taking the first, " + pathOf(0)},
        {{"--camera", "3", "info"}, nullptr, 3, "there is no camera 3"},
        {{"--camera", "\\\\?\\usb#vid_4e7a&pid_5e30#nothing", "info"},
         nullptr,
         3,
         "no device is attached at"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.front() + " " + c.args.back());
        a.ClearReceivedOperations();
        b.ClearReceivedOperations();
        RunResult r = Tether(c.args);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_EQ(linked(a), c.linked == &a);
        EXPECT_EQ(linked(b), c.linked == &b);
        if (c.linked) {
            EXPECT_NE(r.out.find("Camera: VARNO ZX-130("), std::string::npos) << r.out;
        }
    }
    // One camera: nothing to say.
    cameras_.pop_back();
    RunResult one = Tether({"info"});
    EXPECT_EQ(one.status, 0) << one.err;
    EXPECT_EQ(one.err.find("taking the first"), std::string::npos) << one.err;
}

// A camera another kvx-tether holds: the second says exactly that.
TEST_F(TetherCli, ACameraHeldByAnotherProgramIsSaidToBeInUse) {
    VirtualCamera& cam = Camera();
    Child holder({"--settings", settings_, "watch"}, root_);
    WaitForLink(cam);
    const fs::path second = root_ / "second";
    fs::create_directories(second);
    Child c({"--settings", settings_, "info"}, second);
    RunResult r = c.Wait();
    EXPECT_EQ(r.status, 4) << r.err;
    EXPECT_NE(r.err.find("the camera is in use by another program"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("could not be made"), std::string::npos) << "not the general message";
    holder.Signal(SIGTERM);
    EXPECT_EQ(holder.Wait().status, 0);
    // Free again: the same command links.
    EXPECT_EQ(Tether({"info"}).status, 0);
}

// --log-file names the log of the run; a file that cannot be opened is said
// on standard error and the run goes on.
TEST_F(TetherCli, LogFileNamesTheLogOfTheRun) {
    Camera();
    const fs::path log = root_ / "run.log";
    RunResult r = Tether({"--log-level", "4", "--log-file", log.string(), "info"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.err.empty()) << r.err;
    const std::string text = Slurp(log);
    EXPECT_NE(text.find("enter kvx-tether"), std::string::npos) << text;
    EXPECT_NE(text.find("CMainDlg::StartCommThread"), std::string::npos) << text;

    for (const fs::path& bad : {root_ / "no-such-folder" / "run.log", root_ / "pictures"}) {
        RunResult b = Tether({"--log-level", "4", "--log-file", bad.string(), "info"});
        EXPECT_EQ(b.status, 0) << b.err;
        EXPECT_NE(b.err.find("the log file " + bad.string() + " cannot be opened"),
                  std::string::npos)
            << b.err;
        EXPECT_FALSE(b.out.empty());
    }
    RunResult quiet = Tether({"--log-file", log.string(), "info"});
    EXPECT_EQ(quiet.status, 0);
    EXPECT_NE(quiet.err.find("the log level is 0"), std::string::npos) << quiet.err;
}

}  // namespace
