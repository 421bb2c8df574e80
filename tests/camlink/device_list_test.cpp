// Device list, interface paths and driver-id lookup over a private virtual
// device folder (USB left out, so no machine's cameras take part).
#include "camlink/device/device_list.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

#include "camlink/device/ptp_device.h"
#include "camlink/device/registration_liveness.h"
#include "camlink/device/socket_pipe.h"
#include "camlink/device/virtual_registration.h"
#include "listening_socket.h"

namespace kvx::device {
namespace {

class DeviceListTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/kvxdl-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        ::setenv("KVX_DEVICE_DIR", dir_.c_str(), 1);
        ::setenv("KVX_DEVICE_USB", "0", 1);
    }
    void TearDown() override {
        sockets_.clear();
        std::filesystem::remove_all(dir_);
    }
    // A registration with a socket that listens: a camera that is there.
    VirtualRegistration Reg(const std::string& instance, const std::string& product) {
        VirtualRegistration r = kvx::test::RegistrationIn(dir_, instance, product, "Cam");
        sockets_.push_back(std::make_unique<kvx::test::ListeningSocket>(r.socket));
        return r;
    }
    std::string dir_;
    std::vector<std::unique_ptr<kvx::test::ListeningSocket>> sockets_;
};

TEST_F(DeviceListTest, ListsRegistrationsWithTheirProperties) {
    auto a = Reg("KVX00002", "PID_5E30");
    a.name.reset();
    a.type = 0x00020001;
    ASSERT_TRUE(WriteRegistration(dir_, a));
    ASSERT_TRUE(WriteRegistration(dir_, Reg("KVX00001", "PID_5D10")));
    auto list = ListStillImageDevices();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].instance, "KVX00001");  // file name order
    EXPECT_EQ(list[1].kind, DeviceKind::Virtual);
    EXPECT_FALSE(list[1].properties.name.has_value());
    EXPECT_EQ(list[1].properties.type, 0x00020001u);
    EXPECT_EQ(list[1].properties.deviceId, a.driver);
    EXPECT_EQ(list[1].socketPath, a.socket);
}

TEST_F(DeviceListTest, InterfacePathsHaveTheWindowsForm) {
    ASSERT_TRUE(WriteRegistration(dir_, Reg("KVX00001", "PID_5E30")));
    auto storage = Reg("Disk7", "PID_5E40");
    storage.pnpId = "USBSTORAGE\\Disk&Ven_X\\Disk7";
    ASSERT_TRUE(WriteRegistration(dir_, storage));
    auto bare = Reg("ZZ9", "PID_5D20");
    bare.pnpId.reset();
    ASSERT_TRUE(WriteRegistration(dir_, bare));
    auto paths = StillImageInterfacePaths();
    ASSERT_EQ(paths.size(), 3u);
    EXPECT_EQ(paths[0],
              "\\\\?\\usbstorage#disk&ven_x#Disk7#{6bdd1fc6-810f-11d0-bec7-08002be2092f}");
    EXPECT_EQ(paths[1],
              "\\\\?\\usb#vid_4e7a&pid_5e30#KVX00001#{6bdd1fc6-810f-11d0-bec7-08002be2092f}");
    EXPECT_EQ(paths[2], "\\\\?\\usb#vid_4e7a&pid_5d20#ZZ9#{6bdd1fc6-810f-11d0-bec7-08002be2092f}");
}

TEST_F(DeviceListTest, DriverLookupIgnoresCase) {
    ASSERT_TRUE(WriteRegistration(dir_, Reg("KvX00001", "PID_5E30")));
    ASSERT_TRUE(WriteRegistration(dir_, Reg("KVX00002", "PID_5E40")));
    EXPECT_EQ(LookupDriver("VID_4E7A", "PID_5E30", "KVX00001"),
              std::optional<std::string>("{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\KvX00001"));
    EXPECT_EQ(LookupDriver("vid_4e7a", "pid_5e40", "kvx00002").value_or(""),
              "{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\KVX00002");
    EXPECT_FALSE(LookupDriver("VID_4E7A", "PID_5E40", "KVX00001"));
    EXPECT_EQ(DeviceInstances("VID_4E7A", "PID_5E30"), std::vector<std::string>{"KvX00001"});
    EXPECT_TRUE(DeviceInstances("VID_4E7A", "PID_5D10").empty());
}

TEST_F(DeviceListTest, SocketLivenessByState) {
    kvx::test::ListeningSocket live(dir_ + "/live.sock");
    kvx::test::ListeningSocket::LeaveDead(dir_ + "/dead.sock");
    std::ofstream(dir_ + "/plain.sock") << "not a socket";
    struct Case {
        std::string path;
        SocketLiveness expected;
    } cases[] = {
        {live.Path(), SocketLiveness::Listening},
        {dir_ + "/dead.sock", SocketLiveness::Refused},
        {dir_ + "/none.sock", SocketLiveness::Missing},
        {dir_ + "/plain.sock", SocketLiveness::Unknown},
        {dir_ + "/" + std::string(200, 'x') + ".sock", SocketLiveness::Missing},
    };
    for (const auto& c : cases) EXPECT_EQ(ProbeSocket(c.path), c.expected) << c.path;
    EXPECT_FALSE(live.Pending()) << "a listening socket is known without connecting to it";
}

// A camera killed without unregistering leaves its registration; its name
// sorts before the live camera's, so a list that offers it hides the live one.
TEST_F(DeviceListTest, DeadRegistrationsAreNotListedAndAreRemoved) {
    auto refused = kvx::test::DeadRegistration(dir_, "AAA00001", "PID_5E30", false);
    auto missing = kvx::test::DeadRegistration(dir_, "AAA00002", "PID_5E30", true);
    auto live = Reg("ZZZ00001", "PID_5E30");
    ASSERT_TRUE(WriteRegistration(dir_, live));
    // Not a socket: its state cannot be told, so it is neither offered nor removed.
    auto odd = Reg("MMM00001", "PID_5E30");
    odd.socket = dir_ + "/odd.sock";
    std::ofstream(odd.socket) << "x";
    ASSERT_TRUE(WriteRegistration(dir_, odd));

    auto list = ListStillImageDevices();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].instance, "ZZZ00001");
    EXPECT_EQ(StillImageInterfacePaths(),
              std::vector<std::string>{
                  "\\\\?\\usb#vid_4e7a&pid_5e30#ZZZ00001#{6bdd1fc6-810f-11d0-bec7-08002be2092f}"});

    namespace fs = std::filesystem;
    EXPECT_FALSE(fs::exists(dir_ + "/AAA00001.device"));
    EXPECT_FALSE(fs::exists(refused.socket)) << "the socket nobody listened on goes too";
    EXPECT_FALSE(fs::exists(dir_ + "/AAA00002.device"));
    EXPECT_TRUE(fs::exists(dir_ + "/MMM00001.device"));
    EXPECT_TRUE(fs::exists(odd.socket));
    EXPECT_TRUE(fs::exists(dir_ + "/ZZZ00001.device"));
    EXPECT_TRUE(fs::exists(live.socket));
    EXPECT_FALSE(sockets_.back()->Pending() || sockets_.front()->Pending())
        << "listing does not knock at a live camera";
    EXPECT_EQ(ReadRegistrations(dir_).size(), 2u) << "nothing else was written or left behind";

    // The registry of instances still knows unplugged devices, as a machine does.
    EXPECT_EQ(DeviceInstances("VID_4E7A", "PID_5E30"),
              (std::vector<std::string>{"MMM00001", "ZZZ00001"}));
}

TEST_F(DeviceListTest, RegistrationWrittenAgainByALiveCameraIsKept) {
    // Judged dead, but the camera comes back under the same instance before
    // the removal: its new files must survive.
    auto dead = kvx::test::DeadRegistration(dir_, "KVX00009", "PID_5E30", false);
    auto regs = ReadRegistrations(dir_);
    ASSERT_EQ(regs.size(), 1u);
    kvx::test::ListeningSocket back(dead.socket);
    ASSERT_TRUE(WriteRegistration(dir_, dead));
    EXPECT_FALSE(RemoveStaleRegistration(regs[0]));
    EXPECT_TRUE(std::filesystem::exists(dir_ + "/KVX00009.device"));
    EXPECT_EQ(ProbeSocket(dead.socket), SocketLiveness::Listening);
    ASSERT_EQ(ListStillImageDevices().size(), 1u);
    EXPECT_EQ(ReadRegistrations(dir_).size(), 1u) << "no claimed copy is left behind";
    EXPECT_FALSE(back.Pending());
}

// A camera that hangs stops accepting; once its backlog is full a blocking
// connect would wait for ever and hold up whoever opens it.
TEST_F(DeviceListTest, CameraThatStoppedAcceptingIsUnreachableNotAHang) {
    auto hung = Reg("KVX00005", "PID_5E30");
    ASSERT_TRUE(WriteRegistration(dir_, hung));
    std::vector<int> queued;
    for (int i = 0; i < 64; ++i) {
        int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::memcpy(addr.sun_path, hung.socket.c_str(), hung.socket.size() + 1);
        int rc = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        queued.push_back(fd);
        if (rc != 0) break;  // the backlog is full
    }
    EXPECT_EQ(SocketPipe::Connect(hung.socket), nullptr);
    // Still somebody's socket: listed, not removed; opening it fails at once.
    auto list = ListStillImageDevices();
    ASSERT_EQ(list.size(), 1u);
    std::unique_ptr<PtpDevice> device;
    EXPECT_EQ(PtpDevice::Open(list[0], &device), kHrDeviceNotConnected);
    EXPECT_TRUE(std::filesystem::exists(dir_ + "/KVX00005.device"));
    for (int fd : queued) ::close(fd);
}

// Any process of the user can write the folder: what sits under a
// registration name without being a small regular file is passed over, and
// reading the folder never waits on it.
TEST_F(DeviceListTest, OnlySmallRegularFilesAreRead) {
    ASSERT_TRUE(WriteRegistration(dir_, Reg("KVX00001", "PID_5E30")));
    ASSERT_EQ(::mkfifo((dir_ + "/pipe.device").c_str(), 0644), 0);
    std::filesystem::create_directory(dir_ + "/folder.device");
    std::filesystem::create_symlink("/dev/zero", dir_ + "/zero.device");
    {
        std::ofstream big(dir_ + "/big.device", std::ios::binary);
        big << std::string(70000, 'x') << "\ninstance=BIG\nsocket=" << dir_ << "/big.sock\n";
    }
    std::filesystem::create_symlink(dir_ + "/KVX00001.device", dir_ + "/linked.device");

    const auto regs = ReadRegistrations(dir_);
    ASSERT_EQ(regs.size(), 2u);
    EXPECT_EQ(regs[0].instance, "KVX00001");
    EXPECT_EQ(regs[1].instance, "KVX00001");  // through the link to a real registration
    EXPECT_EQ(regs[1].file, dir_ + "/linked.device");
}

}  // namespace
}  // namespace kvx::device
