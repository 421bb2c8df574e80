#include "engine/camera_detector.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>

#include "../camlink/listening_socket.h"
#include "../engine/log_capture.h"
#include "camlink/device/device_list.h"
#include "engine/null_camera_link.h"
#include "platform/clock.h"
#include "vcam/virtual_camera.h"

using namespace kvx::engine;

namespace {

// Only the link query the detection uses answers; every camera command fails.
class FakeLink final : public kvx::engine::NullCameraLink {
public:
    std::optional<std::string> activeId;  // nullopt: no enumeration has run

    HResult GetActiveDriverInstance(char* out, int32_t size) override {
        if (!activeId) return 1;
        std::memset(out, 0, static_cast<size_t>(size));
        std::memcpy(out, activeId->data(), std::min<size_t>(activeId->size(), 255));
        return 0;
    }
    HResult ReleaseDevInfo() override { return 0; }
};

// Records what the detection asks of the engine, in order.
class FakeHost final : public IDetectorHost {
public:
    std::vector<std::string> calls;
    bool threadRunning = false;
    bool linkReady = false;
    bool deviceChangeFlag = false;
    bool flagSeenDuringSearch = false;
    int quitCode = -1;
    int pending = 0;
    int commState = 0;
    int closeRequest = -1;
    std::vector<int> notices;

    bool StartCommThread() override {
        flagSeenDuringSearch = flagSeenDuringSearch || deviceChangeFlag;
        calls.push_back("start");
        if (threadRunning) return false;
        threadRunning = true;
        return true;
    }
    bool StopCommThread() override {
        calls.push_back("stop");
        threadRunning = false;
        linkReady = false;
        return true;
    }
    bool LinkReady() const override { return linkReady; }
    void SetDeviceChangeFlag(bool on) override { deviceChangeFlag = on; }
    void ClearCaptureStatusTable() override { calls.push_back("clear-status"); }
    void DisableControls() override { calls.push_back("disable"); }
    void ResetDisplay() override { calls.push_back("reset-display"); }
    void PostQuit(int code) override {
        calls.push_back("quit");
        quitCode = code;
    }
    int PendingPictureCount() override { return pending; }
    int CommState() const override { return commState; }
    int CloseRequest() const override { return closeRequest; }
    void SetCloseRequest(int r) override { closeRequest = r; }
    void ShowNotice(const CloseNotice& n) override { notices.push_back(n.stringId); }
    void CloseForReal() override { calls.push_back("close"); }
};

std::string Path(const std::string& pid, const std::string& instance) {
    return "\\\\?\\usb#vid_4e7a&" + pid + "#" + instance +
           "#{6bdd1fc6-810f-11d0-bec7-08002be2092f}";
}

struct Fixture {
    FakeHost host;
    FakeLink link;
    std::vector<std::string> paths;
    std::map<std::string, std::string> drivers;  // "VID&PID\INSTANCE" -> driver
    std::vector<std::string> lookups;
    CCameraDetector detector{host, link, [this] { return paths; },
                             [this](const std::string& v, const std::string& p,
                                    const std::string& i) -> std::optional<std::string> {
                                 std::string key = v + "&" + p + "\\" + i;
                                 lookups.push_back(key);
                                 auto it = drivers.find(key);
                                 if (it == drivers.end()) return std::nullopt;
                                 return it->second;
                             }};
};

TEST(CameraDetector, SearchOutcomeByAttachedCameras) {
    struct Case {
        const char* what;
        std::vector<std::string> paths;
        int count130, countOther;
        std::vector<std::string> calls;
        int quit;
    } cases[] = {
        {"model 130 present", {Path("pid_5e30", "k1")}, 1, 0, {"start"}, -1},
        {"the other 130 product", {Path("pid_5e40", "k1")}, 1, 0, {"start"}, -1},
        {"130 wins over 110", {Path("pid_5d10", "a"), Path("pid_5e30", "b")}, 1, 1, {"start"}, -1},
        {"only 110",
         {Path("pid_5d10", "a"), Path("pid_5d20", "b")},
         0,
         2,
         {"disable", "reset-display", "quit"},
         kExitOnlyOtherCameras},
        {"none", {}, 0, 0, {"disable", "reset-display"}, -1},
        {"storage is never a camera",
         {"\\\\?\\storage#volume#vid_4e7a&pid_5e30#x#{53f56307-b6bf-11d0-94f2-00a0c91efb8b}",
          Path("pid_5e30", "storage")},
         0,
         0,
         {"disable", "reset-display"},
         -1},
        {"other vendor",
         {"\\\\?\\usb#vid_1234&pid_5e30#x#{6bdd1fc6-810f-11d0-bec7-08002be2092f}"},
         0,
         0,
         {"disable", "reset-display"},
         -1},
    };
    for (const auto& c : cases) {
        Fixture f;
        f.paths = c.paths;
        auto r = f.detector.FindCameraAndKickThread();
        EXPECT_EQ(r.count130, c.count130) << c.what;
        EXPECT_EQ(r.countOther, c.countOther) << c.what;
        EXPECT_EQ(f.host.calls, c.calls) << c.what;
        EXPECT_EQ(f.host.quitCode, c.quit) << c.what;
        EXPECT_FALSE(r.linkActive) << c.what;
    }
    EXPECT_EQ(kExitOnlyOtherCameras & 0xFF, 1) << "what a shell sees of 0x8001";
}

TEST(CameraDetector, EnumPtpCameraUpperCasesAndKeepsAtMostTen) {
    Fixture f;
    for (int i = 0; i < 14; ++i) f.paths.push_back(Path("pid_5e30", "i" + std::to_string(i)));
    f.paths.insert(f.paths.begin() + 3, "\\\\?\\usb#vid_4e7a&pid_5e30#storage#x");
    std::vector<std::string> list;
    int count = -1;
    f.detector.EnumPtpCamera(list, count);
    EXPECT_EQ(count, 10);
    ASSERT_EQ(list.size(), 10u);
    EXPECT_EQ(list[0], "\\\\?\\USB#VID_4E7A&PID_5E30#I0#{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}");
    EXPECT_EQ(list[3].find("STORAGE"), std::string::npos);
    EXPECT_NE(list[3].find("#I3#"), std::string::npos);
}

TEST(CameraDetector, LinkedCameraPresentKeepsTheLink) {
    Fixture f;
    f.host.threadRunning = true;
    f.host.linkReady = true;
    f.link.activeId = "{6bdd1fc6-810f-11d0-bec7-08002be2092f}\\0007";
    f.paths = {Path("pid_5e30", "kvx00001")};
    f.drivers["VID_4E7A&PID_5E30\\KVX00001"] = "{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\0007";
    auto r = f.detector.FindCameraAndKickThread();
    EXPECT_TRUE(r.linkActive);
    EXPECT_FALSE(r.linkedGone) << "the driver id matches ignoring case";
    EXPECT_FALSE(r.started) << "the thread already runs";
    EXPECT_EQ(f.host.calls, (std::vector<std::string>{"start"}));
    EXPECT_EQ(f.lookups, (std::vector<std::string>{"VID_4E7A&PID_5E30\\KVX00001"}));
}

TEST(CameraDetector, LinkedCameraGoneStopsThenStartsAnotherOne) {
    Fixture f;
    f.host.threadRunning = true;
    f.host.linkReady = true;
    f.link.activeId = "{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\0007";
    f.paths = {Path("pid_5e30", "kvx00002")};
    f.drivers["VID_4E7A&PID_5E30\\KVX00002"] = "{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\0008";
    auto r = f.detector.FindCameraAndKickThread();
    EXPECT_TRUE(r.linkedGone);
    EXPECT_EQ(f.host.calls, (std::vector<std::string>{"disable", "clear-status", "stop", "start"}));
    EXPECT_TRUE(r.started);
}

TEST(CameraDetector, UnpluggedLinkedCameraStopsAndLeavesNoCamera) {
    Fixture f;
    f.host.threadRunning = true;
    f.link.activeId = "{X}\\0001";
    auto r = f.detector.FindCameraAndKickThread();
    EXPECT_TRUE(r.linkedGone);
    EXPECT_EQ(f.host.calls, (std::vector<std::string>{"disable", "clear-status", "stop", "disable",
                                                      "reset-display"}));
    EXPECT_FALSE(f.host.threadRunning);
}

TEST(CameraDetector, PathWithoutInstanceIsNotCountedWhileLinked) {
    Fixture f;
    f.link.activeId = "{X}\\0001";
    f.paths = {"\\\\?\\usb#vid_4e7a&pid_5e30"};  // no "#...#" after the product id
    auto r = f.detector.FindCameraAndKickThread();
    EXPECT_EQ(r.count130, 0);
    EXPECT_TRUE(f.lookups.empty());
    // Without a link the same path counts.
    Fixture g;
    g.paths = f.paths;
    EXPECT_EQ(g.detector.FindCameraAndKickThread().count130, 1);
}

TEST(CameraDetector, DeviceChangeFiltersEventsAndGuardsHalfStartedLink) {
    Fixture f;
    f.paths = {Path("pid_5e30", "k")};
    DeviceBroadcast iface;
    DeviceBroadcast volume{2, "v"};
    EXPECT_EQ(f.detector.HandleDeviceChange(0x0007, &iface), 0);
    EXPECT_EQ(f.detector.HandleDeviceChange(kDbtDeviceArrival, nullptr), 0);
    EXPECT_EQ(f.detector.HandleDeviceChange(kDbtDeviceArrival, &volume), 0);
    EXPECT_TRUE(f.host.calls.empty()) << "only interface arrivals and removals search";

    EXPECT_EQ(f.detector.HandleDeviceChange(kDbtDeviceArrival, &iface), 0);
    EXPECT_TRUE(f.host.flagSeenDuringSearch) << "device change flag set while no link is ready";
    EXPECT_FALSE(f.host.deviceChangeFlag) << "and cleared after the search";
    EXPECT_EQ(f.host.calls, (std::vector<std::string>{"start"}));

    f.host.calls.clear();
    f.host.flagSeenDuringSearch = false;
    f.host.linkReady = true;
    f.detector.HandleDeviceChange(kDbtDeviceQueryRemoveFailed, &iface);
    EXPECT_FALSE(f.host.flagSeenDuringSearch) << "a ready link is not disturbed";
    EXPECT_EQ(f.host.calls, (std::vector<std::string>{"start"}));
}

TEST(CameraDetector, StatusLineByStateAndOverride) {
    struct Case {
        int state;
        bool supported;
        int override;
        int id;
        const char* text;
        int mode;
    } cases[] = {
        {0, true, 0, 10101, "Status: Standby", 1},
        {1, true, 0, 10101, "Status: Standby", 1},
        {1, false, 0, 0, "", 0},
        {2, true, 0, 10104, "Status: Processing...", 0},
        {3, true, 0, 10104, "Status: Processing...", 0},
        {4, true, 0, 10101, "Status: Standby", 2},
        {5, true, 0, 0, "", 2},
        {9, true, 0, 0, "", 0},
        {-1, true, 0, 0, "", 0},
        {1, true, 10, 10106, "Status: Card Full", 1},
        {1, true, 11, 10107, "Status: Take a picture without focusing", 1},
        {2, true, 12, 10105, "Status: Autofocus cannot set", 0},
        {9, true, 10, 10106, "Status: Card Full", 0},
    };
    for (const auto& c : cases) {
        StatusLine s = StatusLineFor(c.state, c.supported, c.override);
        EXPECT_EQ(s.stringId, c.id) << c.state << "/" << c.override;
        EXPECT_EQ(s.text, c.text) << c.state << "/" << c.override;
        EXPECT_EQ(s.mode, c.mode) << c.state << "/" << c.override;
    }
    Fixture f;
    bool changed = false;
    f.detector.RefreshStatus(1, true, 0, &changed);
    EXPECT_TRUE(changed);
    f.detector.RefreshStatus(0, true, 11, &changed);
    EXPECT_FALSE(changed) << "same mode: no full repaint";
    f.detector.RefreshStatus(2, true, 0, &changed);
    EXPECT_TRUE(changed);
}

TEST(CameraDetector, NoticesOfTheCloseRequests) {
    struct Case {
        int reason;
        int id;
        uint32_t ms;
        bool ends;
    } cases[] = {{0, 10203, 5000, true},
                 {1, 10202, 5000, true},
                 {2, 10200, 3000, true},
                 {4, 10204, 5000, false}};
    for (const auto& c : cases) {
        auto n = CloseNoticeFor(c.reason);
        ASSERT_TRUE(n) << c.reason;
        EXPECT_EQ(n->stringId, c.id);
        EXPECT_EQ(n->autoCloseMs, c.ms);
        EXPECT_EQ(n->endsProgram, c.ends);
        EXPECT_EQ(std::string(n->text), ShellString(c.id));
    }
    EXPECT_FALSE(CloseNoticeFor(3));
    EXPECT_FALSE(CloseNoticeFor(-1));
    EXPECT_EQ(ShellString(10203), "This camera is not supported. KVX has termined.");
    EXPECT_EQ(ShellString(10200),
              "Transferring the images to the computer.\r\nPlease do not turn off the camera until "
              "the process is complete.");
    EXPECT_EQ(ShellString(10204),
              "This camera cannot be connected. \r\nPlease update to the latest version of KVX.");
    EXPECT_EQ(ShellString(103), "VARNO Kolvex");
}

TEST(CameraDetector, CloseWaitsForPendingPictures) {
    Fixture f;
    f.host.pending = 3;
    f.host.commState = 3;
    EXPECT_EQ(f.detector.OnClose(), CCameraDetector::CloseOutcome::Deferred);
    EXPECT_EQ(f.host.closeRequest, kClosePicturesPending);
    EXPECT_EQ(f.host.notices, (std::vector<int>{10200}));
    EXPECT_EQ(f.host.calls, (std::vector<std::string>{"disable"}));
    // A second close while the pictures are still coming is ignored.
    EXPECT_EQ(f.detector.OnClose(), CCameraDetector::CloseOutcome::Ignored);
    EXPECT_EQ(f.host.notices.size(), 1u);
    // Once the last picture is done the close goes through.
    f.host.pending = 0;
    EXPECT_EQ(f.detector.OnClose(), CCameraDetector::CloseOutcome::Closed);
    // With the thread stopped pending pictures cannot come any more.
    Fixture g;
    g.host.pending = 2;
    g.host.commState = 0;
    EXPECT_EQ(g.detector.OnClose(), CCameraDetector::CloseOutcome::Closed);
}

TEST(CameraDetector, CameraLineTexts) {
    EXPECT_EQ(CameraLineText("VARNO ZX-130", 50 * 16, 50 * 16), "Camera: VARNO ZX-130(50)");
    EXPECT_EQ(CameraLineText("ZX", 18 * 16 + 8, 55 * 16), "Camera: ZX(18.5-55)");
    EXPECT_EQ(FocalLengthText(16 * 24 + 1), "24.0") << "one sixteenth truncates to .0";
    EXPECT_EQ(FocalLengthText(16 * 24 + 15), "24.9");
    EXPECT_EQ(FocalLengthText(0), "0");
}

// The engine clock under the test's hand: time moves only when told, and a
// sleep moves it.
class ManualClock final : public kvx::Clock {
public:
    uint32_t NowMs() override { return now; }
    void SleepMs(uint32_t ms) override { now += ms; }
    uint32_t now = 0xFFFFF000u;  // close to the wrap, which the waits must survive
};

class ClockedDetector : public ::testing::Test {
protected:
    void SetUp() override { kvx::SetClock(clock); }
    void TearDown() override { kvx::SetClock(nullptr); }
    int Starts() const {
        return static_cast<int>(std::count(f.host.calls.begin(), f.host.calls.end(), "start"));
    }
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    Fixture f;
};

TEST_F(ClockedDetector, LinkThatDiesWithoutRemovalNoticeIsTakenAsGone) {
    // The linked camera died; no removal notice came. Another camera was
    // attached meanwhile. Either the thread already ended (link released),
    // or it still holds the dead link.
    struct Case {
        const char* what;
        bool threadStillHoldsLink;
        std::vector<std::string> calls;
    } cases[] = {
        {"thread ended", false, {"start"}},
        {"thread holds the dead link", true, {"disable", "clear-status", "stop", "start"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Fixture g;
        g.host.threadRunning = true;
        g.host.linkReady = true;
        g.link.activeId = "{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\0001";
        g.paths = {Path("pid_5e30", "kvxdead")};
        g.drivers["VID_4E7A&PID_5E30\\KVXDEAD"] = *g.link.activeId;
        EXPECT_FALSE(g.detector.CheckLink()) << "a ready link needs nothing";

        g.host.linkReady = false;
        g.host.threadRunning = c.threadStillHoldsLink;
        if (!c.threadStillHoldsLink) g.link.activeId.reset();
        g.paths = {Path("pid_5e30", "kvxlater")};  // the dead one is no longer listed
        g.drivers["VID_4E7A&PID_5E30\\KVXLATER"] = "{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\0002";
        EXPECT_TRUE(g.detector.CheckLink());
        EXPECT_EQ(g.host.calls, c.calls);
        EXPECT_TRUE(g.host.threadRunning) << "the later camera is linked";
        EXPECT_TRUE(g.host.flagSeenDuringSearch) << "searched as for a device change";
        EXPECT_FALSE(g.host.deviceChangeFlag);

        // The new thread decides on its own: no more searches while it links.
        for (int i = 0; i < 100; ++i) {
            clock->now += 1000;
            EXPECT_FALSE(g.detector.CheckLink());
        }
        EXPECT_EQ(g.host.calls, c.calls);
    }
}

TEST_F(ClockedDetector, RetryAfterLostLinkWaitsAndLogsOnce) {
    kvx::test::LogCapture log;
    f.host.linkReady = true;
    f.host.threadRunning = true;
    f.paths = {Path("pid_5e30", "k1")};
    f.detector.CheckLink();
    // The link is lost, but the old thread has not ended yet: every search
    // meets it running, and the next one has to wait.
    f.host.linkReady = false;
    for (int ms = 0; ms < 20000; ++ms) {
        f.detector.CheckLink();
        clock->now += 1;
    }
    // Searches at 0, 1, 3, 7 and 15 s: the wait doubles.
    EXPECT_EQ(Starts(), 5);
    EXPECT_EQ(log.Count(2,
                        "+++ camera link ended without a removal notice, searching again at "
                        "CMainDlg::CheckLink +++"),
              1);
    // Far past the longest wait the searches come at most every 30 s.
    f.host.calls.clear();
    for (int s = 0; s < 600; ++s) {
        f.detector.CheckLink();
        clock->now += 1000;
    }
    EXPECT_GE(Starts(), 600 / 30 - 1);
    EXPECT_LE(Starts(), 600 / 30 + 1);

    // Once the old thread has ended, the next search links and the retries stop.
    f.host.threadRunning = false;
    f.host.calls.clear();
    for (int s = 0; s < 120; ++s) {
        f.detector.CheckLink();
        clock->now += 1000;
    }
    EXPECT_EQ(Starts(), 1);
}

TEST_F(ClockedDetector, NoSearchOfItsOwnWithoutALostLink) {
    f.paths = {Path("pid_5e30", "k1")};
    // A link that never became ready (it failed while opening) waits for a
    // device change, and so does a link stopped by the close.
    for (int s = 0; s < 100; ++s) {
        EXPECT_FALSE(f.detector.CheckLink());
        clock->now += 1000;
    }
    f.host.linkReady = true;
    f.detector.CheckLink();
    EXPECT_EQ(f.detector.OnClose(), CCameraDetector::CloseOutcome::Closed);
    f.host.linkReady = false;
    for (int s = 0; s < 100; ++s) {
        EXPECT_FALSE(f.detector.CheckLink());
        clock->now += 1000;
    }
    EXPECT_EQ(f.host.calls, (std::vector<std::string>{"close"}));
}

// Over the real device list: the linked camera was killed (its registration
// left behind, sorting first); a virtual camera plugged in later is linked.
TEST(CameraDetectorDevices, ArrivalAfterACameraDiedLinksTheNewOne) {
    char tmpl[] = "/tmp/kvxdet-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    const std::string dir = tmpl;
    ::setenv("KVX_DEVICE_DIR", dir.c_str(), 1);
    ::setenv("KVX_DEVICE_USB", "0", 1);
    {
        auto dead = kvx::test::DeadRegistration(dir, "AAAKILLED", "PID_5E30", false);
        FakeHost host;
        FakeLink link;
        host.threadRunning = true;  // still bound to the dead camera
        host.linkReady = true;
        link.activeId = dead.driver;
        CCameraDetector detector(host, link, kvx::device::StillImageInterfacePaths,
                                 kvx::device::LookupDriver);

        kvx::vcam::VirtualCameraOptions o;
        o.deviceDir = dir;
        o.instance = "ZZZLATER";
        kvx::vcam::VirtualCamera later(o);
        ASSERT_TRUE(later.Start());
        DeviceBroadcast arrival{kDbtDevTypDeviceInterface, "ZZZLATER.device"};
        detector.HandleDeviceChange(kDbtDeviceArrival, &arrival);
        EXPECT_EQ(host.calls,
                  (std::vector<std::string>{"disable", "clear-status", "stop", "start"}));
        EXPECT_FALSE(std::filesystem::exists(dir + "/AAAKILLED.device"));
        EXPECT_TRUE(std::filesystem::exists(later.RegistrationFile()));
        EXPECT_TRUE(later.ReceivedOperations().empty()) << "the search does not talk to cameras";
    }
    ::unsetenv("KVX_DEVICE_DIR");
    std::filesystem::remove_all(dir);
}

}  // namespace
