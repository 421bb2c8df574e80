// The live view window's focus frame, keys and placement without a camera:
// a recorded command sink, a settings model filled by hand and one frame
// composed straight into the canvas.
#include "dialog_live_view.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <cstring>
#include <vector>

#include "engine/null_camera_link.h"
#include "live_view_step.h"
#include "model/camera.h"
#include "model/record_layout.h"
#include "model/setting_commands.h"
#include "ui/command_sink.h"

using namespace kvx::liveview;

namespace {

class RecordingSink final : public kvx::ui::ICommandSink {
public:
    bool QueueCommand(const tag_CAM_COMMAND& c) override {
        commands.push_back(c);
        return true;
    }
    // The focus frames sent: mode, x, y, size.
    std::vector<std::vector<uint8_t>> Focus() const {
        std::vector<std::vector<uint8_t>> out;
        for (const auto& c : commands) {
            if (c.extended && c.payload.setting.Field2 == 0x08 && c.payload.setting.value == 4)
                out.push_back(
                    std::vector<uint8_t>(c.payload.setting.data, c.payload.setting.data + 4));
        }
        return out;
    }
    std::vector<tag_CAM_COMMAND> commands;
};

class LiveViewWindow : public ::testing::Test {
protected:
    // The camera's focus state: mode, point, size, then the range (0 = not known).
    void SetFocus(uint8_t mode, uint8_t x, uint8_t y, uint8_t size, uint16_t w = 64,
                  uint16_t h = 42) {
        const auto* f = VARNO::DataGroupField(5, VARNO::FieldIndex(true, 0x08));
        const uint8_t frame[4] = {mode, x, y, size};
        camera.SetDataGroupBytes(5, f->offset, frame, 4);
        const uint8_t fit = 1;
        camera.SetDataGroupBytes(
            4, VARNO::DataGroupField(4, VARNO::FieldIndex(false, 0x20))->offset, &fit, 1);
        std::vector<uint8_t> info(VARNO::kCanSetInfoSize[4], 0);
        info[0] = uint8_t(info.size() - 3);
        auto put = [&](size_t at, uint16_t v) {
            info[at] = uint8_t(v);
            info[at + 1] = uint8_t(v >> 8);
        };
        put(71, w);
        put(73, h);
        put(75, 8);
        put(77, 56);
        put(79, 5);
        put(81, 37);
        info[68] = peakingMask;
        camera.StoreReceivedCanSetInfo(4, info.data(), info.size());
        camera.MergeCanSetInfo(4);
    }
    void Open(int focusSelect, int angle = 0) {
        LiveViewSettings s;
        s.width = 914;
        s.height = 665;  // a 900 × 600 screen area
        s.focusSelect = focusSelect;
        s.rotateAngle = angle;
        window = std::make_unique<CDialogLiveView>(sink, step, camera, s);
        window->Open(true);
        // One 3:2 frame in the slot, composed and painted.
        auto canvas = window->Canvas();
        FrameResult r;
        r.check = FrameCheck::Ok;
        r.rotated = angle == 90 || angle == 270;
        r.width = r.rotated ? 600 : 900;
        r.height = r.rotated ? 900 : 600;
        r.large = false;
        canvas->SetFrameResult(r, 3);
        ASSERT_TRUE(canvas->Compose());
        window->Screen()->grab();
        ASSERT_TRUE(window->Screen()->ShownRects().valid);
        sink.commands.clear();
    }
    Rect Full() const { return window->Screen()->ShownRects().full; }
    // Picks item `index` of `combo` through its drop list, as a click would.
    static void Pick(CStaticCombo* combo, int index) {
        combo->OpenList();
        ASSERT_NE(combo->DropList(), nullptr);
        combo->DropList()->Pick(index - combo->FirstOffered());
    }
    static std::vector<int> Codes(const CStaticCombo* combo) {
        std::vector<int> codes;
        for (int i = 0; i < combo->Count(); ++i) codes.push_back(combo->Code(i));
        return codes;
    }

    uint8_t peakingMask = 0x07;

    RecordingSink sink;
    kvx::engine::NullCameraLink link;
    CLiveViewStep step{link, [] { return 3; }};
    VARNO::CCamera camera;
    std::unique_ptr<CDialogLiveView> window;
};

TEST_F(LiveViewWindow, NinePointClickSendsTheNearestPoint) {
    SetFocus(1, 32, 21, 2);
    Open(2);
    ASSERT_EQ(window->FocusDisplayMode(), 2);
    const Rect b = Full();
    // Nearest column 1 and row 2: x 32, y 30.
    window->ApplyFocusPoint(b.x + b.w / 2, b.y + b.h * 30 / 42);
    ASSERT_EQ(sink.Focus().size(), 1u);
    EXPECT_EQ(sink.Focus()[0], (std::vector<uint8_t>{1, 32, 30, 2}));
}

TEST_F(LiveViewWindow, NinePointClickTurnedAQuarterIsSentInCameraOrientation) {
    SetFocus(1, 32, 21, 2);
    Open(2, 90);
    const Rect b = Full();
    // Turned counter-clockwise, the camera's bottom row lies at the right.
    window->ApplyFocusPoint(b.x + b.w * 30 / 42, b.y + b.h / 2);
    ASSERT_EQ(sink.Focus().size(), 1u);
    EXPECT_EQ(sink.Focus()[0], (std::vector<uint8_t>{1, 32, 30, 2}));
}

TEST_F(LiveViewWindow, FreeClicksAndKeysStayInTheRange) {
    SetFocus(2, 56, 37, 3);
    Open(4);
    ASSERT_TRUE(window->FocusInteractive());
    const Rect b = Full();
    window->ApplyFocusPoint(b.x + b.w + 300, b.y + b.h + 300);  // far outside the picture
    window->MoveFocusByKey(ArrowKey::Right);                    // already at the right edge
    window->MoveFocusByKey(ArrowKey::Down);
    window->MoveFocusByKey(ArrowKey::Left);
    ASSERT_EQ(sink.Focus().size(), 4u);
    EXPECT_EQ(sink.Focus()[0], (std::vector<uint8_t>{2, 56, 37, 3}));
    EXPECT_EQ(sink.Focus()[1], (std::vector<uint8_t>{2, 56, 37, 3}));
    EXPECT_EQ(sink.Focus()[2], (std::vector<uint8_t>{2, 56, 37, 3}));
    EXPECT_EQ(sink.Focus()[3], (std::vector<uint8_t>{2, 55, 37, 3}));
}

TEST_F(LiveViewWindow, NothingIsSentWithoutAFrameModeOrRange) {
    SetFocus(2, 30, 20, 2, 0, 0);  // range not reported yet
    Open(4);
    window->ApplyFocusPoint(100, 100);
    window->MoveFocusByKey(ArrowKey::Left);
    EXPECT_TRUE(sink.Focus().empty());
    SetFocus(1, 32, 21, 2);
    Open(0);  // focus display off
    window->MoveFocusByKey(ArrowKey::Left);
    EXPECT_TRUE(sink.Focus().empty());
}

TEST_F(LiveViewWindow, NineKeysFollowTheTurnedPicture) {
    SetFocus(1, 32, 21, 2);
    Open(2, 180);
    window->MoveFocusByKey(ArrowKey::Left);  // turned half way: the camera's right
    ASSERT_EQ(sink.Focus().size(), 1u);
    EXPECT_EQ(sink.Focus()[0], (std::vector<uint8_t>{1, 46, 21, 2}));
}

TEST_F(LiveViewWindow, ClosingSendsLiveViewOffAndKeepsTheChoices) {
    SetFocus(2, 30, 20, 2);
    Open(9);  // a hand-edited value above 4 reads as 4
    EXPECT_EQ(window->FocusDisplayMode(), 4);
    window->SetGridPattern(2);
    window->SetGridDivisions(6);
    window->Rotate(true);
    bool closed = false;
    QObject::connect(window.get(), &CDialogLiveView::closed, [&] { closed = true; });
    window->close();
    EXPECT_TRUE(closed);
    ASSERT_FALSE(sink.commands.empty());
    EXPECT_EQ(sink.commands.back().payload.setting.value, 0);  // live view off
    const LiveViewSettings s = window->CurrentSettings();
    EXPECT_EQ(s.gridPattern, 2);
    EXPECT_EQ(s.gridLines, 6);
    EXPECT_EQ(s.rotateAngle, 90);
    EXPECT_EQ(s.focusSelect, 4);
}

TEST_F(LiveViewWindow, PeakingAndGridSelectorsOfferTheCamerasChoicesAndSendPicks) {
    peakingMask = 0x08;  // red, and yellow with it
    SetFocus(1, 32, 21, 2);
    Open(2);
    CStaticCombo* peak = window->PeakingSelector();
    EXPECT_EQ(Codes(peak), (std::vector<int>{4, 5}));
    EXPECT_TRUE(peak->ImageMode());
    EXPECT_FALSE(peak->ItemImage(1, false).isNull());
    EXPECT_FALSE(peak->isEnabled());  // peaking off
    window->ShowPeakingLevel(4);
    ASSERT_TRUE(peak->isEnabled());
    EXPECT_EQ(peak->SelectedCode(), 4);
    Pick(peak, 1);
    const tag_CAM_COMMAND yellow = VARNO::MakeSettingCommand(VARNO::Setting::PeakingLevel, 5);
    ASSERT_FALSE(sink.commands.empty());
    const tag_CAM_COMMAND& sent = sink.commands.back();
    EXPECT_EQ(sent.command, yellow.command);
    EXPECT_EQ(sent.payload.setting.Field1, yellow.payload.setting.Field1);
    EXPECT_EQ(sent.payload.setting.Field2, yellow.payload.setting.Field2);
    EXPECT_EQ(sent.payload.setting.value, 5);

    CStaticCombo* grid = window->GridSelector();
    EXPECT_EQ(Codes(grid), (std::vector<int>{2, 3, 4, 6, 8}));
    EXPECT_FALSE(grid->isEnabled());  // no grid shown
    window->SetGridPattern(1);
    ASSERT_TRUE(grid->isEnabled());
    Pick(grid, 3);
    EXPECT_EQ(window->CurrentSettings().gridLines, 6);
    window->SetGridDivisions(5);  // not offered: the first choice
    EXPECT_EQ(grid->SelectedCode(), 2);
    EXPECT_EQ(window->CurrentSettings().gridLines, 2);
}

TEST(LiveViewPlacement, SavedSizesAreHeldToTheSlotsAndTheScreen) {
    const QRect screen(0, 0, 1280, 800);
    LiveViewSettings s;
    s.left = 5000;
    s.top = -300;
    s.width = 4000;
    s.height = 3000;
    QRect r = CDialogLiveView::PlacementFor(s, screen);
    EXPECT_EQ(r.width(), CDialogLiveView::kMaxWidth);
    EXPECT_EQ(r.height(), 800);  // the screen is lower than the largest window
    EXPECT_TRUE(screen.contains(r));
    s.width = 10;
    s.height = 10;
    s.left = 100;
    s.top = 50;
    r = CDialogLiveView::PlacementFor(s, screen);
    EXPECT_EQ(r, QRect(100, 50, CDialogLiveView::kMinWidth, CDialogLiveView::kMinHeight));
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
