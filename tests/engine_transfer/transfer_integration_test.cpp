// Pictures downloaded through the real camera link library and a real socket
// from the in-process virtual camera, by the communication thread with the
// picture transfer wired in as the program wires it.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <thread>

#include "engine/library_camera_link.h"
#include "engine/main_engine.h"
#include "engine/picture_transfer.h"
#include "engine/queued_message_port.h"
#include "engine/message_port.h"
#include "log/write_log.h"
#include "model/camera.h"
#include "platform/clock.h"
#include "vcam/virtual_camera.h"

namespace {

namespace fs = std::filesystem;
using kvx::vcam::PictureFile;
using kvx::vcam::PictureKind;
using kvx::vcam::VirtualCamera;
using kvx::vcam::VirtualCameraOptions;

class QuietWindow final : public kvx::engine::IMainWindow {
public:
    bool HasWindowHandle() const override { return true; }
    bool IsMessageBoxOpen() const override { return false; }
    uint32_t MessageBoxAutoCloseMs() const override { return 0; }
    void ShowMessageBox(int, uint32_t) override {}
    void EnableControls(bool) override {}
    void ClearStatusLines() override {}
    void ShowCameraLine(const std::string&) override {}
    void ResetDisplay() override {}
    void ResetPanelsForNewLink() override {}
};

std::vector<uint8_t> Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

bool WaitFor(const std::function<bool()>& done, int seconds = 60) {
    for (int i = 0; i < seconds * 50; ++i) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return done();
}

std::vector<uint8_t> CameraBytes(const VirtualCamera& cam, const PictureFile& f) {
    std::vector<uint8_t> b(f.size);
    VirtualCamera::FillPictureBytes(cam.Options().seed, f.objectId, 0, b.data(), b.size());
    return b;
}

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

class TransferIntegration : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() /
               ("kvx-transfer-it-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        fs::create_directories(root / "devices");
        fs::create_directories(root / "pictures");
        ::setenv("KVX_DEVICE_DIR", (root / "devices").c_str(), 1);
        ::setenv("KVX_DEVICE_USB", "0", 1);  // real USB devices of the machine stay out
        DeliverableLog().SetFolder((root / "").string());
        DeliverableLog().SetThreshold(5);
        kvx::SetClock(std::make_shared<kvx::ScaledClock>(10));
    }
    void TearDown() override {
        if (engine) engine->StopCommThread();
        stopWindow = true;
        if (windowThread.joinable()) windowThread.join();
        engine.reset();
        transfer.reset();
        camera.reset();
        kvx::SetClock(nullptr);
        DeliverableLog().SetThreshold(0);
        fs::remove_all(root);
    }

    void Connect(VirtualCameraOptions o) {
        o.deviceDir = (root / "devices").string();
        o.destination = 2;  // the computer
        camera = std::make_unique<VirtualCamera>(o);
        ASSERT_TRUE(camera->Start());
        port.Register(kvx::engine::kTargetMainWindow);
        engine = std::make_unique<kvx::engine::CMainEngine>(link, port, window, model);
        transfer = std::make_unique<kvx::engine::CPictureTransfer>(link, *engine);
        kvx::engine::NamingOptions naming;
        naming.destinationFolder = (root / "pictures").string();
        naming.inCamera = false;
        naming.inPC = true;
        transfer->SetNamingOptions(naming);
        engine->SetCaptureSteps(transfer.get());
        engine->SetCaptureDestination(false, true);
        // The main window's part of the round trip that the transfer
        // relies on: a CanSetInfo4 record marks the camera as extended, a
        // capture result has the destination sent again.
        windowThread = std::thread([this] {
            while (!stopWindow) {
                auto m = port.Take(20);
                if (!m) continue;
                if (m->message == kvx::engine::kMsgCanSetInfo4Updated)
                    engine->SetExtendedCamera(true);
                if (m->message == kvx::engine::kMsgCaptureResult) engine->ClearDestinationSent();
            }
        });
        ASSERT_TRUE(engine->StartCommThread());
        ASSERT_TRUE(WaitFor([&] { return engine->LinkReady(); }));
    }

    // Files of the picture folder, hidden ones included.
    std::vector<std::string> Files() const {
        std::vector<std::string> names;
        for (auto& e : fs::directory_iterator(root / "pictures"))
            names.push_back(e.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }
    bool HasFiles(const std::vector<std::string>& expected) const { return Files() == expected; }
    bool Done(int id) const {
        auto status = camera->CaptureStatus(id);
        return !status || (status->second & 0x02) == 0;
    }

    fs::path root;
    QuietWindow window;
    kvx::engine::QueuedMessagePort port;
    VARNO::CCamera model;
    kvx::engine::LibraryCameraLink link;
    std::unique_ptr<VirtualCamera> camera;
    std::unique_ptr<kvx::engine::CMainEngine> engine;
    std::unique_ptr<kvx::engine::CPictureTransfer> transfer;
    std::atomic<bool> stopWindow{false};
    std::thread windowThread;
};

TEST_F(TransferIntegration, LargeJpegArrivesWholeDespiteABusyCamera) {
    VirtualCameraOptions o;
    o.picture = PictureKind::Jpeg;
    o.pictureBytes = 12'000'000;  // two segments
    o.failPieces = {{2, 2}};      // the second piece is refused twice
    Connect(o);
    auto ids = camera->TakePictureOnBody(2);
    ASSERT_EQ(ids.size(), 1u);
    auto expected = camera->ExpectedFiles(1);
    ASSERT_EQ(expected.size(), 1u);
    ASSERT_TRUE(WaitFor([&] { return HasFiles({expected[0].name}); }))
        << ::testing::PrintToString(Files());
    EXPECT_TRUE(Slurp(root / "pictures" / expected[0].name) == CameraBytes(*camera, expected[0]));
    EXPECT_TRUE(WaitFor([&] { return Done(ids[0]); }));
    EXPECT_EQ(transfer->PendingPictureCount(), 0);
    // Six pieces of at most 2 MiB, the refused one asked for three times.
    std::vector<uint32_t> offsets;
    for (const auto& op : camera->ReceivedOperations()) {
        if (op.code == 0x9022 && op.params.size() == 3) offsets.push_back(op.params[1]);
    }
    ASSERT_EQ(offsets.size(), 8u);
    EXPECT_EQ(offsets[1], 0x200000u);
    EXPECT_EQ(offsets[2], 0x200000u);
    EXPECT_EQ(offsets[3], 0x200000u);
}

TEST_F(TransferIntegration, RawPlusJpegTwiceGetsSuffixedNames) {
    VirtualCameraOptions o;
    o.picture = PictureKind::RawJpeg;
    o.pictureBytes = 3'000'000;
    Connect(o);
    auto first = camera->ExpectedFiles(1);
    ASSERT_EQ(first.size(), 2u);
    // A file of the camera's name is already in the folder.
    std::ofstream(root / "pictures" / first[0].name) << "older";
    camera->TakePictureOnBody(2);
    auto base = [](const std::string& n) { return n.substr(0, n.rfind('.')); };
    auto ext = [](const std::string& n) { return n.substr(n.rfind('.')); };
    const std::string raw1 = base(first[0].name) + "_1" + ext(first[0].name);
    const std::string jpg1 = base(first[1].name) + "_1" + ext(first[1].name);
    std::vector<std::string> want = {first[0].name, raw1, jpg1};
    std::sort(want.begin(), want.end());
    ASSERT_TRUE(WaitFor([&] { return HasFiles(want); })) << ::testing::PrintToString(Files());
    EXPECT_TRUE(Slurp(root / "pictures" / raw1) == CameraBytes(*camera, first[0]));
    EXPECT_TRUE(Slurp(root / "pictures" / jpg1) == CameraBytes(*camera, first[1]));
}

TEST_F(TransferIntegration, Q7iPartsAreJoinedIntoOneFile) {
    VirtualCameraOptions o;
    o.picture = PictureKind::Q7i;
    o.pictureBytes = 100'000;
    o.q7iParts = 3;
    Connect(o);
    auto parts = camera->ExpectedFiles(1);
    ASSERT_EQ(parts.size(), 3u);
    camera->TakePictureOnBody(2);
    ASSERT_TRUE(WaitFor([&] { return HasFiles({parts[0].name}); }))
        << ::testing::PrintToString(Files());

    // The layout built here from the camera's own parts and blocks.
    const PictureFile& last = parts.back();
    std::vector<uint8_t> want(last.headerA);
    want.insert(want.end(), last.headerB.begin(), last.headerB.end());
    const size_t placeholder = (want.size() & ~size_t{31}) + 32;
    want.resize(placeholder, 0);
    std::vector<std::pair<uint32_t, uint32_t>> entries;
    for (size_t p = 0; p < parts.size(); ++p) {
        auto bytes = CameraBytes(*camera, parts[p]);
        entries.push_back(
            {static_cast<uint32_t>(want.size()), static_cast<uint32_t>(bytes.size())});
        want.insert(want.end(), bytes.begin(), bytes.end());
        if (p + 1 < parts.size()) want.resize((want.size() + 31) / 32 * 32, 0);
    }
    entries.push_back(
        {static_cast<uint32_t>(want.size()), static_cast<uint32_t>(last.trailer.size())});
    want.insert(want.end(), last.trailer.begin(), last.trailer.end());
    const uint32_t directory = static_cast<uint32_t>(want.size());
    want.insert(want.end(), {'S', 'E', 'C', 'f'});
    PutU32(want, 0x100);
    PutU32(want, static_cast<uint32_t>(entries.size()));
    for (size_t i = 0; i < entries.size(); ++i) {
        PutU32(want, entries[i].first);
        PutU32(want, entries[i].second);
        const char* tag = i + 1 < entries.size() ? "FRAM" : "QDLA";
        want.insert(want.end(), tag, tag + 4);
    }
    PutU32(want, directory);

    auto got = Slurp(root / "pictures" / parts[0].name);
    ASSERT_EQ(got.size(), want.size());
    EXPECT_TRUE(got == want);
}

TEST_F(TransferIntegration, CameraUnpluggedMidTransferLeavesAnIncompleteFile) {
    VirtualCameraOptions o;
    o.picture = PictureKind::Jpeg;
    o.pictureBytes = 6'000'000;
    o.vanishAfterBytes = 3'000'000;
    Connect(o);
    camera->TakePictureOnBody(2);
    auto expected = camera->ExpectedFiles(1);
    const std::string kept = expected[0].name + ".incomplete";
    ASSERT_TRUE(WaitFor([&] { return HasFiles({kept}); })) << ::testing::PrintToString(Files());
    auto got = Slurp(root / "pictures" / kept);
    auto all = CameraBytes(*camera, expected[0]);
    ASSERT_LE(got.size(), all.size());
    EXPECT_TRUE(std::equal(got.begin(), got.end(), all.begin()));
}

}  // namespace
