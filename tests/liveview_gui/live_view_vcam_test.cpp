// The live view window on real frames: the engine links to the in-process
// virtual camera through the camera link library, the live view step is
// installed, and the window runs offscreen. Frames arrive and the frame rate
// is logged, focus moves reach the camera, closing the window takes the
// camera out of live view, and closing or unplugging in the middle of
// frames neither crashes nor hangs.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <chrono>
#include <filesystem>
#include <memory>

#include "dialog_live_view.h"
#include "engine/main_engine.h"
#include "live_view_rig.h"
#include "live_view_step.h"
#include "model/camera.h"
#include "platform/clock.h"
#include "tests/engine/log_capture.h"

using namespace kvx::engine;
using namespace kvx::liveview;
namespace fs = std::filesystem;

namespace {

// Real time shifted so the 32-bit millisecond counter wraps a little after
// the test starts; the engine's long waits are shortened as ScaledClock does.
class WrappingClock final : public kvx::Clock {
public:
    explicit WrappingClock(uint32_t msBeforeWrap) : offset_(0u - msBeforeWrap - base_.NowMs()) {}
    uint32_t NowMs() override { return base_.NowMs() + offset_; }
    void SleepMs(uint32_t ms) override { base_.SleepMs(ms >= 100 ? ms / 100 : ms); }

private:
    kvx::SystemClock base_;
    uint32_t offset_;
};

class LiveViewVcam : public ::testing::Test, protected kvx::test::LiveViewRig {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/kvx-liveview-vcam-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        root_ = tmpl;
        fs::create_directories(root_ / "devices");
        ::setenv("KVX_DEVICE_DIR", (root_ / "devices").c_str(), 1);
        ::setenv("KVX_DEVICE_USB", "0", 1);
        clock = std::make_shared<WrappingClock>(4000);
        kvx::SetClock(clock);
        CMainEngine::ResetStatusFailureCount();
        ASSERT_TRUE(StartAndLink((root_ / "devices").string()));
    }
    void TearDown() override {
        CloseWindow();
        engine.StopCommThread();
        cam.reset();
        kvx::SetClock(nullptr);
        std::error_code ec;
        fs::remove_all(root_, ec);
    }

    void OpenWindow() {
        LiveViewSettings s;
        s.width = 900;
        s.height = 700;
        LiveViewRig::OpenWindow(s);
    }
    std::vector<uint8_t> Field(int g, uint8_t f1, uint8_t f2) {
        return cam->DataGroupField(g, f1, f2);
    }

    fs::path root_;
    std::shared_ptr<WrappingClock> clock;
    kvx::test::LogCapture log;
};

TEST_F(LiveViewVcam, FramesArriveFocusMovesAndClosingLeavesLiveView) {
    EXPECT_EQ(log.CountContaining("--- fps="), 0);  // no window, no frames
    OpenWindow();
    ASSERT_TRUE(Pump([&] { return Field(2, 0x02, 0x00) == std::vector<uint8_t>{2}; }));
    ASSERT_TRUE(Pump([&] { return window->Canvas()->HasPicture(); }));
    ASSERT_TRUE(Pump([&] { return log.CountContaining("--- fps=") >= 2; }));
    ASSERT_TRUE(Pump([&] { return window->Screen()->ShownRects().valid; }));
    // Frames really differ from one another: the picture on screen moves.
    SlotRects rects;
    int slot = -1;
    const QImage* first = window->Canvas()->BeginPaint(rects, slot);
    ASSERT_NE(first, nullptr);
    const QImage a = first->copy(0, 0, rects.picture.w, rects.picture.h);
    window->Canvas()->EndPaint(slot);
    ASSERT_TRUE(Pump([&] {
        SlotRects r;
        int s = -1;
        const QImage* now = window->Canvas()->BeginPaint(r, s);
        const bool moved = now && now->copy(0, 0, r.picture.w, r.picture.h) != a;
        window->Canvas()->EndPaint(s);
        return moved;
    }));

    // The camera's focus point is free and in the middle: one step right.
    const CameraFocus f = CDialogLiveView::FocusFromCamera(camera);
    ASSERT_EQ(f.mode, 2);
    ASSERT_GT(f.rangeWidth, 0);
    window->MoveFocusByKey(ArrowKey::Right);
    ASSERT_TRUE(Pump([&] {
        auto v = Field(5, 0x00, 0x08);
        return v.size() >= 3 && v[1] == f.x + 1 && v[2] == f.y;
    }));
    // A click at the top-left corner of the picture names the free range's corner.
    ASSERT_TRUE(Pump([&] { return CDialogLiveView::FocusFromCamera(camera).x == f.x + 1; }));
    const SlotRects& shown = window->Screen()->ShownRects();
    window->ApplyFocusPoint(shown.picture.x, shown.picture.y);
    ASSERT_TRUE(Pump([&] {
        auto v = Field(5, 0x00, 0x08);
        return v.size() >= 3 && v[0] == 2 && v[1] == f.minX && v[2] == f.minY;
    }));

    CloseWindow();
    ASSERT_TRUE(Pump([&] { return Field(2, 0x02, 0x00) == std::vector<uint8_t>{0}; }));
    // Without the window the tick fetches nothing and writes no rate line.
    const int lines = log.CountContaining("--- fps=");
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
    Pump([&] { return std::chrono::steady_clock::now() > until; });
    EXPECT_EQ(log.CountContaining("--- fps="), lines);
}

TEST_F(LiveViewVcam, ClosingAndUnpluggingMidFrameNeverCrashesOrHangs) {
    for (int round = 0; round < 12; ++round) {
        OpenWindow();
        // Close at varying points: before the first frame, while frames flow.
        const int frames = round % 3;
        int seen = 0;
        Pump([&] { return window->Canvas()->HasPicture() && ++seen > frames * 3; }, 2000);
        CloseWindow();
        Pump([] { return true; });
    }
    // Unplug the camera while the window shows frames: the link ends, the
    // window stays usable and closes cleanly.
    OpenWindow();
    ASSERT_TRUE(Pump([&] { return window->Canvas()->HasPicture(); }));
    cam->Unplug();
    ASSERT_TRUE(Pump([&] { return !engine.ThreadRunning(); }));
    window->SetRunning(false);
    CloseWindow();
    // And stopping the thread in the middle of frames.
    cam->Plug();
    ASSERT_TRUE(engine.StartCommThread());
    ASSERT_TRUE(Pump([&] { return engine.LinkReady(); }));
    OpenWindow();
    ASSERT_TRUE(Pump([&] { return window->Canvas()->HasPicture(); }));
    EXPECT_TRUE(engine.StopCommThread());
    CloseWindow();
}

// The counter wraps while frames flow: the tick neither stops fetching nor
// races through frames, and keeps its 30 ms pace on both sides of the wrap.
TEST_F(LiveViewVcam, PacingCarriesOnAcrossTheCounterWrap) {
    OpenWindow();
    ASSERT_TRUE(Pump([&] { return window->Canvas()->HasPicture(); }));
    // Up to just before the wrap, then across it.
    ASSERT_TRUE(Pump([&] { return clock->NowMs() > 0xFFFFFFFFu - 1200; }));
    const uint64_t before = step.FrameCost().frames;
    const auto t0 = std::chrono::steady_clock::now();
    ASSERT_TRUE(Pump([&] { return clock->NowMs() < 0x80000000u && clock->NowMs() > 1200; }));
    const double secs =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    const double frames = double(step.FrameCost().frames - before);
    // About 33 a second; at most one is lost at the wrap, and none come faster
    // than the 30 ms tick allows.
    EXPECT_GT(frames, secs * 1000 / 30 * 0.5) << frames << " frames in " << secs << " s";
    EXPECT_LE(frames, secs * 1000 / 30 + 2) << frames << " frames in " << secs << " s";
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
