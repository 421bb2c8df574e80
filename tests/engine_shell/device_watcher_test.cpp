#include "engine/device_watcher.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <vector>

#include "../camlink/listening_socket.h"
#include "camlink/device/virtual_registration.h"

namespace fs = std::filesystem;
using namespace kvx::engine;

namespace {

// Collects events from the watcher thread for the test thread.
class EventSink {
public:
    DeviceWatcher::Callback Callback() {
        return [this](const DeviceEvent& e) {
            std::lock_guard g(m_);
            events_.push_back(e);
            cv_.notify_all();
        };
    }
    // The next event whose name is `name` (earlier ones are dropped); waits
    // a bounded time so a missing event fails instead of hanging.
    std::optional<DeviceEvent> Next(const std::string& name, int waitMs = 5000) {
        std::unique_lock lock(m_);
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
        for (;;) {
            while (!events_.empty()) {
                DeviceEvent e = events_.front();
                events_.pop_front();
                if (e.data.name == name) return e;
            }
            if (cv_.wait_until(lock, deadline) == std::cv_status::timeout && events_.empty())
                return std::nullopt;
        }
    }
    size_t Count() {
        std::lock_guard g(m_);
        return events_.size();
    }

private:
    std::mutex m_;
    std::condition_variable cv_;
    std::deque<DeviceEvent> events_;
};

class WatcherTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ =
            (fs::temp_directory_path() / ("kvx-watch-" + std::to_string(::getpid()) + "/devices"))
                .string();
        fs::remove_all(fs::path(dir_).parent_path());
        // Sockets beside the device folder, so that they outlive its removal.
        socketDir_ = fs::path(dir_).parent_path().string() + "/sockets";
        fs::create_directories(socketDir_);
    }
    void TearDown() override {
        sockets_.clear();
        fs::remove_all(fs::path(dir_).parent_path());
    }
    // A registration whose socket listens: the watcher's sweep leaves it alone.
    kvx::device::VirtualRegistration Registration(const std::string& instance) {
        kvx::device::VirtualRegistration r;
        r.instance = instance;
        r.driver = "{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\0001";
        r.deviceId = r.driver;
        r.socket = socketDir_ + "/" + instance + ".sock";
        sockets_.push_back(std::make_unique<kvx::test::ListeningSocket>(r.socket));
        return r;
    }
    std::string dir_, socketDir_;
    std::vector<std::unique_ptr<kvx::test::ListeningSocket>> sockets_;
};

TEST_F(WatcherTest, RegistrationAppearingAndDisappearingIsArrivalThenRemoval) {
    EventSink sink;
    DeviceWatcher w(dir_);
    ASSERT_TRUE(w.Start(sink.Callback()));
    EXPECT_TRUE(fs::is_directory(dir_)) << "the watcher creates the folder it watches";

    ASSERT_TRUE(kvx::device::WriteRegistration(dir_, Registration("KVX00001")));
    auto arrival = sink.Next("KVX00001.device");
    ASSERT_TRUE(arrival);
    EXPECT_EQ(arrival->type, kDbtDeviceArrival);
    EXPECT_EQ(arrival->data.deviceType, kDbtDevTypDeviceInterface);

    ASSERT_TRUE(kvx::device::RemoveRegistration(dir_, "KVX00001"));
    auto removal = sink.Next("KVX00001.device");
    ASSERT_TRUE(removal);
    EXPECT_EQ(removal->type, kDbtDeviceRemoveComplete);
    w.Stop();
}

TEST_F(WatcherTest, OtherFilesAndTemporariesAreNotDevices) {
    EventSink sink;
    DeviceWatcher w(dir_);
    ASSERT_TRUE(w.Start(sink.Callback()));
    std::ofstream(fs::path(dir_) / "notes.txt") << "x";
    std::ofstream(fs::path(dir_) / ".KVX9.device.tmp1") << "x";
    fs::remove(fs::path(dir_) / "notes.txt");
    // A real registration after them is the first thing reported.
    ASSERT_TRUE(kvx::device::WriteRegistration(dir_, Registration("KVX00002")));
    auto e = sink.Next("KVX00002.device");
    ASSERT_TRUE(e);
    EXPECT_EQ(e->type, kDbtDeviceArrival);
    w.Stop();
}

TEST_F(WatcherTest, FolderRemovedAndMadeAgainIsStillWatched) {
    EventSink sink;
    DeviceWatcher w(dir_);
    ASSERT_TRUE(w.Start(sink.Callback()));
    ASSERT_TRUE(kvx::device::WriteRegistration(dir_, Registration("KVX00003")));
    ASSERT_TRUE(sink.Next("KVX00003.device"));
    fs::remove_all(dir_);
    // The loss of the folder is reported as a removal without a name.
    auto gone = sink.Next("");
    ASSERT_TRUE(gone);
    EXPECT_EQ(gone->type, kDbtDeviceRemoveComplete);
    ASSERT_TRUE(kvx::device::WriteRegistration(dir_, Registration("KVX00004")));
    auto back = sink.Next("KVX00004.device");
    ASSERT_TRUE(back);
    EXPECT_EQ(back->type, kDbtDeviceArrival);
    w.Stop();
}

TEST_F(WatcherTest, StopIsCleanAndNothingIsDeliveredAfterIt) {
    EventSink sink;
    {
        DeviceWatcher w(dir_);
        ASSERT_TRUE(w.Start(sink.Callback()));
        EXPECT_TRUE(w.Start(sink.Callback())) << "starting twice keeps the one thread";
        w.Stop();
        EXPECT_FALSE(w.Running());
        w.Stop();  // twice is harmless
        ASSERT_TRUE(w.Start(sink.Callback())) << "a stopped watcher can start again";
    }  // the destructor stops it
    size_t before = sink.Count();
    ASSERT_TRUE(kvx::device::WriteRegistration(dir_, Registration("KVX00005")));
    ::usleep(200 * 1000);
    EXPECT_EQ(sink.Count(), before);
}

TEST_F(WatcherTest, CameraThatDiesWithoutUnregisteringIsReportedRemoved) {
    EventSink sink;
    DeviceWatcher w(dir_);
    ASSERT_TRUE(w.Start(sink.Callback()));
    ASSERT_TRUE(kvx::device::WriteRegistration(dir_, Registration("KVX00006")));
    ASSERT_TRUE(kvx::device::WriteRegistration(dir_, Registration("KVX00007")));
    ASSERT_TRUE(sink.Next("KVX00007.device"));
    // Killed: the socket file stays with nobody listening, the registration
    // stays, and nothing of the camera's own says it went.
    sockets_.front()->Die();
    auto removal = sink.Next("KVX00006.device");
    ASSERT_TRUE(removal);
    EXPECT_EQ(removal->type, kDbtDeviceRemoveComplete);
    EXPECT_FALSE(fs::exists(dir_ + "/KVX00006.device"));
    EXPECT_FALSE(fs::exists(socketDir_ + "/KVX00006.sock"));
    EXPECT_TRUE(fs::exists(dir_ + "/KVX00007.device")) << "the live camera is left alone";
    EXPECT_FALSE(sockets_.back()->Pending()) << "and is not knocked at";
    w.Stop();
}

}  // namespace
