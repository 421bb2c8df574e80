// The steered virtual camera through the real camera link library and its
// socket, as the program meets it: a picture taken on the body arrives like
// one the host released, for every capture destination; unplug and plug
// through the control socket; status reads that fail while the camera stays
// listed; the manifest against the bytes the library delivered.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "camlink/device/virtual_registration.h"
#include "camlink/varno_usb.h"
#include "vcam/control_client.h"
#include "vcam/virtual_camera.h"

namespace {

namespace fs = std::filesystem;
using kvx::vcam::VirtualCamera;
using kvx::vcam::VirtualCameraOptions;

uint16_t U16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}
uint32_t U32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

class VcamLibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/vcam-lib-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        root_ = tmpl;
        deviceDir_ = root_ + "/devices";
        fs::create_directories(deviceDir_);
        ::setenv("KVX_DEVICE_DIR", deviceDir_.c_str(), 1);
        ::setenv("KVX_DEVICE_USB", "0", 1);  // the machine's own USB devices stay out
    }
    void TearDown() override {
        ReleaseDevInfo_Parts();
        camera_.reset();
        std::error_code ec;
        fs::remove_all(root_, ec);
    }
    VirtualCamera& Camera(VirtualCameraOptions o) {
        o.model = 130;
        o.deviceDir = deviceDir_;
        o.controlSocket = true;
        camera_ = std::make_unique<VirtualCamera>(o);
        EXPECT_TRUE(camera_->Start());
        return *camera_;
    }
    // One command through the control socket, as a script sends it.
    std::string Send(const std::string& command) {
        std::string answer, error;
        EXPECT_TRUE(
            kvx::vcam::ControlClient::Send(camera_->ControlSocketPath(), command, answer, error))
            << error;
        return answer;
    }

    // The picture ids that status record 2 reports as changed; nullopt when
    // the read failed.
    std::optional<std::vector<int>> ChangedIds() {
        std::vector<uint8_t> r(KVX_CAM_STATUS2_SIZE);
        uint32_t size = 0;
        if (ZR4_GetCamStatus2(r.data(), &size) != 0) return std::nullopt;
        std::vector<int> ids;
        uint32_t n = U32(r.data() + 4);
        for (uint32_t i = 0; i < n && 8 + 12 * size_t(i + 1) <= r.size(); ++i) {
            const uint8_t* item = r.data() + 8 + 12 * i;
            if (U16(item) != 5) continue;
            uint32_t count = U32(item + 4);
            const uint8_t* at = count <= 2 ? item + 8 : r.data() + U32(item + 8);
            for (uint32_t k = 0; k < count && at + 2 * (k + 1) <= r.data() + r.size(); ++k)
                ids.push_back(U16(at + 2 * k));
        }
        return ids;
    }
    std::pair<uint16_t, uint8_t> CaptureStatus(int id) {
        uint8_t cs[KVX_CAPTURE_STATUS_SIZE] = {};
        EXPECT_EQ(ZR4_GetCaptureStatus(id, cs), 0);
        return {U16(cs + 4), cs[6]};
    }
    std::vector<uint8_t> ReadFile(uint32_t objectId, uint32_t size) {
        std::vector<uint8_t> file;
        for (int guard = 0; file.size() < size && guard < 1000; ++guard) {
            uint8_t* data = nullptr;
            uint32_t actual = 0;
            uint32_t want = std::min<uint32_t>(size - uint32_t(file.size()), 0x200000);
            if (ZR4_GetBigPartialPictFile(objectId, uint32_t(file.size()), want, &data, &actual) !=
                    0 ||
                actual < 36)
                break;
            uint32_t len = U32(data);
            if (len == 0 || len > actual - 30 - 6) break;
            file.insert(file.end(), data + 4, data + 4 + len);
        }
        return file;
    }

    // Follows one new picture as the program does: changed id, capture
    // status, list and transfer when it waits for the computer, the result,
    // the database entry cleared. Returns the steps seen.
    std::vector<std::string> Follow(const std::string& savedTo) {
        std::vector<std::string> steps;
        auto ids = ChangedIds();
        if (!ids || ids->size() != 1) return {"no single changed id"};
        int id = (*ids)[0];
        auto [status, flags] = CaptureStatus(id);
        steps.push_back("status " + std::to_string(status) + " flags " + std::to_string(flags));
        KVX_PICT_FILE_ENTRY entries[2] = {};
        uint32_t count = 0, actual = 0;
        uint8_t multi = 0, info[KVX_MULTI_PART_INFO_SIZE] = {};
        uint8_t* raw = nullptr;
        EXPECT_EQ(ZR4_GetPictFileInfo2(entries, 2, &count, &multi, info, &raw, &actual), 0);
        steps.push_back("listed " + std::to_string(count));
        for (uint32_t i = 0; i < count && i < 2; ++i) {
            auto bytes = ReadFile(entries[i].objectId, entries[i].fileSize);
            std::vector<uint8_t> want(entries[i].fileSize);
            VirtualCamera::FillPictureBytes(camera_->Options().seed, entries[i].objectId, 0,
                                            want.data(), want.size());
            steps.push_back(std::string(entries[i].fileName) +
                            (bytes == want ? " whole" : " wrong bytes"));
            std::ofstream(fs::path(savedTo) / entries[i].fileName, std::ios::binary)
                .write(reinterpret_cast<const char*>(bytes.data()), long(bytes.size()));
            ids = ChangedIds();
            if (!ids || *ids != std::vector<int>{id}) steps.push_back("id not announced again");
            auto after = CaptureStatus(id);
            steps.push_back("status " + std::to_string(after.first) + " flags " +
                            std::to_string(after.second));
        }
        EXPECT_EQ(ZR4_ClearImageDBSignle(id), 0);
        EXPECT_EQ(CaptureStatus(id).first, 0);
        return steps;
    }

    std::string root_, deviceDir_;
    std::unique_ptr<VirtualCamera> camera_;
};

TEST_F(VcamLibraryTest, BodyPictureArrivesLikeAReleasedOne) {
    struct Case {
        uint8_t destination;
        std::vector<std::string> steps;  // {n} stands for the picture number
    };
    const Case cases[] = {
        {2, {"status 5 flags 2", "listed 1", "VRN_000{n}.JPG whole", "status 32770 flags 0"}},
        {3, {"status 5 flags 2", "listed 1", "VRN_000{n}.JPG whole", "status 32770 flags 0"}},
        {1, {"status 32770 flags 0", "listed 0"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.destination));
        VirtualCameraOptions o;
        o.pictureBytes = 2'500'000;  // two pieces
        o.seed = 0;
        o.remainingShots = 10;
        o.manifestFile = root_ + "/manifest-" + std::to_string(c.destination);
        VirtualCamera& cam = Camera(o);
        ASSERT_EQ(InitPTPMode_Parts(), 0);
        ASSERT_TRUE(ChangedIds().has_value());  // what the link start raised
        // The destination as the program sends it before a release.
        uint8_t dest[KVX_DATA_GROUP3_SIZE] = {3, 0x00, 0x80, c.destination};
        ASSERT_EQ(ZR4_SetDataGroup3(dest), 0);
        const std::string saved = root_ + "/saved-" + std::to_string(c.destination);
        fs::create_directories(saved);

        uint8_t snap[4] = {2, 2, 1, 0};
        ASSERT_EQ(ZR4_Snap(snap), 0);
        auto released = Follow(saved);
        EXPECT_EQ(Send("press release"), "ok press ids=1");
        auto pressed = Follow(saved);
        auto expect = [&](int n) {
            std::vector<std::string> steps;
            for (std::string s : c.steps) {
                auto at = s.find("{n}");
                if (at != std::string::npos) s.replace(at, 3, std::to_string(n));
                steps.push_back(s);
            }
            return steps;
        };
        EXPECT_EQ(released, expect(1));
        EXPECT_EQ(pressed, expect(2));
        // The card counts both pictures when it keeps them.
        std::vector<uint8_t> shots = cam.DataGroupField(1, 0, 0x02);
        EXPECT_EQ(shots.at(0), (c.destination & 1) ? 8 : 10);
        // The files the library delivered pass a check from outside.
        if (c.destination & 2) {
            std::string check = "cd '" + saved + "' && sha256sum --check --quiet '" +
                                o.manifestFile + "' >/dev/null 2>&1";
            EXPECT_EQ(std::system(check.c_str()), 0);
        } else {
            EXPECT_FALSE(fs::exists(o.manifestFile));
        }
        ReleaseDevInfo_Parts();
        camera_.reset();
    }
}

TEST_F(VcamLibraryTest, UnplugAndPlugThroughTheControlSocket) {
    VirtualCameraOptions o;
    o.pictureBytes = 300'000;
    o.instance = "KVXLIB01";
    Camera(o);
    ASSERT_EQ(InitPTPMode_Parts(), 0);
    ASSERT_TRUE(ChangedIds().has_value());
    EXPECT_EQ(Send("press release"), "ok press ids=0");
    EXPECT_EQ(Send("unplug"), "ok unplug");
    // The link is gone with the camera, and no camera is found.
    EXPECT_FALSE(ChangedIds().has_value());
    ReleaseDevInfo_Parts();
    EXPECT_NE(InitPTPMode_Parts(), 0);
    ReleaseDevInfo_Parts();

    EXPECT_EQ(Send("plug"), "ok plug");
    ASSERT_EQ(InitPTPMode_Parts(), 0);
    char active[KVX_ACTIVE_INSTANCE_SIZE] = {};
    ASSERT_EQ(ZR4_GetActiveDriverInstance(active, sizeof active), 0);
    auto regs = kvx::device::ReadRegistrations(deviceDir_);
    ASSERT_EQ(regs.size(), 1u);
    EXPECT_EQ(std::string(active), regs[0].driver);
    // The picture taken before it was unplugged is announced and read.
    auto steps = Follow(root_);
    EXPECT_EQ(steps, (std::vector<std::string>{"status 5 flags 2", "listed 1", "VRN_0001.JPG whole",
                                               "status 32770 flags 0"}));
}

TEST_F(VcamLibraryTest, FailingStatusReadsFailTheLibraryCall) {
    VirtualCameraOptions o;
    o.instance = "KVXLIB02";
    Camera(o);
    ASSERT_EQ(InitPTPMode_Parts(), 0);
    ASSERT_TRUE(ChangedIds().has_value());
    // A camera that stops answering: the library's read fails after its wait.
    EXPECT_EQ(Send("fail-status 1"), "ok fail-status 1 silent");
    EXPECT_EQ(Send("press release"), "ok press ids=0");
    EXPECT_FALSE(ChangedIds().has_value());
    EXPECT_EQ(camera_->FailingStatusReads(), 0u);
    // Still listed: a new link finds it, and it reports what happened meanwhile.
    auto regs = kvx::device::ReadRegistrations(deviceDir_);
    ASSERT_EQ(regs.size(), 1u);
    ReleaseDevInfo_Parts();
    ASSERT_EQ(InitPTPMode_Parts(), 0);
    char active[KVX_ACTIVE_INSTANCE_SIZE] = {};
    ASSERT_EQ(ZR4_GetActiveDriverInstance(active, sizeof active), 0);
    EXPECT_EQ(std::string(active), regs[0].driver);
    auto ids = ChangedIds();
    ASSERT_TRUE(ids.has_value());
    EXPECT_EQ(*ids, std::vector<int>{0});
}

}  // namespace
