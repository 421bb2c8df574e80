// Device list, interface paths and driver-id lookup over a private virtual
// device folder (USB left out, so no machine's cameras take part).
#include "camlink/device/device_list.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "camlink/device/virtual_registration.h"

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
    void TearDown() override { std::filesystem::remove_all(dir_); }
    VirtualRegistration Reg(const std::string& instance, const std::string& product) {
        VirtualRegistration r;
        r.product = product;
        r.instance = instance;
        r.driver = "{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\" + instance;
        r.deviceId = r.driver;
        r.name = "Cam";
        r.pnpId = "USB\\VID_4E7A&" + product + "\\" + instance;
        r.socket = dir_ + "/" + instance + ".sock";
        return r;
    }
    std::string dir_;
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
