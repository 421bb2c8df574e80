// The camera link library against the virtual camera (in-process, real socket).
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "camlink/device/ptp_container.h"
#include "link_fixture.h"
#include "listening_socket.h"
#include "vcam/virtual_camera.h"

namespace kvx::test {
namespace {

using kvx::vcam::VirtualCamera;
using kvx::vcam::VirtualCameraOptions;

uint8_t Sum(const uint8_t* p, size_t n) {
    unsigned s = 0;
    for (size_t i = 0; i < n; ++i) s += p[i];
    return static_cast<uint8_t>(s);
}

class VcamLinkTest : public LinkTest {
protected:
    std::unique_ptr<VirtualCamera> Camera(VirtualCameraOptions o = {}) {
        o.model = KVX_TEST_MODEL_CODE;
        o.deviceDir = deviceDir_;
        auto cam = std::make_unique<VirtualCamera>(o);
        EXPECT_TRUE(cam->Start());
        return cam;
    }
    // Reads a whole file in pieces of at most 2 MiB, as the program does.
    std::vector<uint8_t> ReadFile(uint32_t objectId, uint32_t size) {
        std::vector<uint8_t> file;
        uint32_t offset = 0;
        for (int guard = 0; offset < size && guard < 1000; ++guard) {
            uint8_t* data = nullptr;
            uint32_t actual = 0;
            uint32_t want = std::min<uint32_t>(size - offset, 0x200000);
            if (ZR4_GetBigPartialPictFile(objectId, offset, want, &data, &actual) != 0 ||
                actual < 35)
                break;
            uint32_t len = kvx::ptp::ReadU32(data);
            if (len > actual - 30 - 6) break;
            file.insert(file.end(), data + 4, data + 4 + len);
            offset += len;
        }
        return file;
    }
};

TEST_F(VcamLinkTest, RecordsArriveWithTheirChecksums) {
    auto cam = Camera();
    ASSERT_EQ(InitPTPMode_Parts(), 0);
    uint8_t config[KVX_CAM_CONFIG_EX_SIZE] = {};
    ASSERT_EQ(ZR4_GetCamConfigEx(config), 0);
    const int l = static_cast<int8_t>(config[0]);
    ASSERT_GT(l, 2);
    ASSERT_LT(l, 53);
    EXPECT_EQ(Sum(config, static_cast<size_t>(l)), config[l + 1]);
    EXPECT_STREQ(reinterpret_cast<const char*>(config + 2), "VARNO ZX-130");

    uint8_t group[KVX_DATA_GROUP1_SIZE] = {};
    ASSERT_EQ(ZR4_GetDataGroup1(group), 0);
    const int g = group[0];
    if (g > 2 && g < 22) {
        EXPECT_EQ(Sum(group, static_cast<size_t>(g) + 2), group[g + 2]);
    }
    EXPECT_EQ(std::vector<uint8_t>(group, group + 22), cam->DataGroupRecord(1));

    std::vector<uint8_t> status(KVX_CAM_STATUS2_SIZE);
    uint32_t size = 0;
    ASSERT_EQ(ZR4_GetCamStatus2(status.data(), &size), 0);
    EXPECT_GT(size, 30u + 8);
    EXPECT_LE(kvx::ptp::ReadU32(status.data()), size - 30);
}

TEST_F(VcamLinkTest, ShutterRecordReachesTheCameraWithItsChecksum) {
    auto cam = Camera();
    ASSERT_EQ(InitPTPMode_Parts(), 0);
    uint8_t snap[4] = {2, 2, 1, 0};
    EXPECT_EQ(ZR4_Snap(snap), 0);
    bool seen = false;
    for (const auto& op : cam->ReceivedOperations())
        if (op.code == 0x901B) {
            seen = true;
            EXPECT_EQ(op.data, (std::vector<uint8_t>{2, 2, 1, 5}));
        }
    EXPECT_TRUE(seen);
}

TEST_F(VcamLinkTest, PictureIsListedAndReadWhole) {
    VirtualCameraOptions o;
    o.pictureBytes = 2'500'000;  // two pieces
    auto cam = Camera(o);
    ASSERT_EQ(InitPTPMode_Parts(), 0);
    ASSERT_FALSE(cam->TakePictureOnBody(2).empty());
    const auto expected = cam->ExpectedFiles(1);
    ASSERT_FALSE(expected.empty());

    KVX_PICT_FILE_ENTRY entries[2] = {};
    uint32_t count = 0, actual = 0;
    uint8_t multi = 0, info[28] = {};
    uint8_t* raw = nullptr;
    ASSERT_EQ(ZR4_GetPictFileInfo2(entries, 2, &count, &multi, info, &raw, &actual), 0);
    ASSERT_EQ(count, expected.size());
    EXPECT_STREQ(entries[0].fileName, expected[0].name.c_str());
    EXPECT_EQ(+entries[0].formatCode, expected[0].format);
    EXPECT_EQ(+entries[0].objectId, expected[0].objectId);
    EXPECT_EQ(+entries[0].fileSize, expected[0].size);

#if KVX_TEST_MODEL_CODE == 130
    // The first form describes the same file (asked before the file is read:
    // a picture read to its end leaves the list).
    KVX_PICT_FILE_ENTRY first[2] = {};
    uint32_t rawLength = 0;
    ASSERT_EQ(ZR4_GetPictFileInfo(first, 2, &count, &raw, &rawLength), 0);
    EXPECT_STREQ(first[0].fileName, expected[0].name.c_str());
    EXPECT_EQ(+first[0].objectId, expected[0].objectId);
    EXPECT_EQ(+first[0].fileSize, expected[0].size);
    EXPECT_EQ(+first[0].formatCode, expected[0].format);
#endif

    std::vector<uint8_t> file = ReadFile(entries[0].objectId, entries[0].fileSize);
    ASSERT_EQ(file.size(), expected[0].size);
    std::vector<uint8_t> want(file.size());
    VirtualCamera::FillPictureBytes(o.seed, entries[0].objectId, 0, want.data(), want.size());
    EXPECT_TRUE(file == want);
}

TEST_F(VcamLinkTest, CameraUnpluggedDuringATransferGivesAnErrorNotAHang) {
    VirtualCameraOptions o;
    o.pictureBytes = 3'000'000;
    o.vanishAfterBytes = 1'000'000;
    auto cam = Camera(o);
    ASSERT_EQ(InitPTPMode_Parts(), 0);
    ASSERT_FALSE(cam->TakePictureOnBody(2).empty());
    const auto expected = cam->ExpectedFiles(1);
    uint8_t* data = nullptr;
    uint32_t actual = 0;
    KVX_HRESULT hr =
        ZR4_GetBigPartialPictFile(expected.at(0).objectId, 0, 0x200000, &data, &actual);
    EXPECT_NE(hr, 0);
    EXPECT_EQ(data, nullptr);
    uint8_t status[10];
    EXPECT_NE(ZR4_GetCamStatus(status), 0);
}

TEST_F(VcamLinkTest, CameraOfTheOtherGroupIsNotOpened) {
    VirtualCameraOptions o;
    o.model = KVX_TEST_MODEL_CODE == 130 ? 110 : 130;
    o.deviceDir = deviceDir_;
    VirtualCamera cam(o);
    ASSERT_TRUE(cam.Start());
    EXPECT_EQ(InitPTPMode_Parts(), 1);
    EXPECT_EQ(ActiveInstance(), "");
}

// A camera killed without unregistering leaves its registration, and its
// name sorts first: the live camera beside it must be linked every time.
TEST_F(VcamLinkTest, RegistrationsOfDeadCamerasNeverHideALiveOne) {
    namespace fs = std::filesystem;
    for (int round = 0; round < 5; ++round) {
        SCOPED_TRACE(round);
        const std::string n = std::to_string(round);
        VirtualCameraOptions o;
        o.instance = "ZZZLIVE" + n;
        auto cam = Camera(o);
        std::string driver;
        for (const auto& r : kvx::device::ReadRegistrations(deviceDir_))
            if (r.instance == o.instance) driver = r.driver;
        ASSERT_FALSE(driver.empty());
        auto refused = DeadRegistration(deviceDir_, "AAADEAD" + n, kOwnProduct, false);
        auto missing = DeadRegistration(deviceDir_, "AAAGONE" + n, kOwnProduct, true);

        ASSERT_EQ(InitPTPMode_Parts(), 0);
        EXPECT_EQ(ActiveInstance(), driver);
        uint8_t config[KVX_CAM_CONFIG_EX_SIZE] = {};
        EXPECT_EQ(ZR4_GetCamConfigEx(config), 0);
        EXPECT_FALSE(fs::exists(deviceDir_ + "/" + refused.instance + ".device"));
        EXPECT_FALSE(fs::exists(refused.socket));
        EXPECT_FALSE(fs::exists(deviceDir_ + "/" + missing.instance + ".device"));
        EXPECT_TRUE(fs::exists(cam->RegistrationFile()));
        EXPECT_TRUE(fs::exists(cam->SocketPath()));
        ReleaseDevInfo_Parts();
    }
    EXPECT_TRUE(Logged("--- " + deviceDir_ +
                       "/AAADEAD0.device: camera gone without unregistering, registration "
                       "removed ---"));
}

}  // namespace
}  // namespace kvx::test
