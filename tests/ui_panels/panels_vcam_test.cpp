// The six panels on the real dispatcher, driving the in-process virtual
// camera through the real camera link library and the engine's thread: a
// user's pick in each panel changes the camera, and the camera's answer
// comes back to the panel without being sent again.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QCoreApplication>
#include <filesystem>
#include <memory>

#include "engine/engine_message_glue.h"
#include "engine/library_camera_link.h"
#include "engine/main_engine.h"
#include "engine/queued_message_port.h"
#include "gdip_hold_button.h"
#include "gdip_slider.h"
#include "model/camera.h"
#include "model/record_layout.h"
#include "model/window_messages.h"
#include "pick.h"
#include "platform/clock.h"
#include "tests/engine/engine_fakes.h"
#include "tests/ui_panels/panel_rig.h"
#include "vcam/virtual_camera.h"

namespace fs = std::filesystem;
using namespace kvx::engine;

namespace {

class EngineSink : public kvx::ui::ICommandSink {
public:
    explicit EngineSink(CMainEngine& engine) : engine_(engine) {}
    bool QueueCommand(const tag_CAM_COMMAND& command) override {
        ++queued;
        return engine_.QueueCommand(command);
    }
    int queued = 0;

private:
    CMainEngine& engine_;
};

class PanelsOnVirtualCamera : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/kvx-panels-vcam-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        root_ = tmpl;
        fs::create_directories(root_ / "devices");
        ::setenv("KVX_DEVICE_DIR", (root_ / "devices").c_str(), 1);
        ::setenv("KVX_DEVICE_USB", "0", 1);
        kvx::SetClock(std::make_shared<kvx::ScaledClock>(100));
        CMainEngine::ResetStatusFailureCount();
        port.Register(kTargetMainWindow);
        engine.SetCaptureDestination(false, true);
        panels = std::make_unique<kvx::test::PanelSet>(camera, sink);
        panels->RegisterWith(glue.Dispatcher());
    }
    void TearDown() override {
        engine.StopCommThread();
        vcam_.reset();
        kvx::SetClock(nullptr);
        std::error_code ec;
        fs::remove_all(root_, ec);
    }
    // The window thread's loop: posted messages, then Qt's own events.
    bool PumpUntil(const std::function<bool()>& pred, int timeoutMs = 20000) {
        return kvx::test::WaitUntil(
            [&] {
                for (const auto& m : port.Drain()) glue.Handle(m);
                QCoreApplication::processEvents();
                return pred();
            },
            timeoutMs);
    }
    // A virtual camera linked, every record of the link dispatched to the
    // enabled panels, and nothing sent back.
    void Link() {
        kvx::vcam::VirtualCameraOptions o;
        o.deviceDir = (root_ / "devices").string();
        vcam_ = std::make_unique<kvx::vcam::VirtualCamera>(o);
        ASSERT_TRUE(vcam_->Start());
        ASSERT_TRUE(engine.StartCommThread());
        ASSERT_TRUE(PumpUntil([&] { return engine.LinkReady(); }));
        ASSERT_TRUE(PumpUntil([&] { return camera.CanSetInfoReceived(4); }));
        panels->EnableAll(true);
    }
    // The model's copy of one field's first byte, as the dispatch stored it.
    uint8_t ModelByte(int group, uint8_t field1, uint8_t field2) const {
        const int index = VARNO::FieldIndex(field2 != 0, field2 != 0 ? field2 : field1);
        return camera.DataGroupByte(group, VARNO::DataGroupField(group, index)->offset);
    }

    fs::path root_;
    std::unique_ptr<kvx::vcam::VirtualCamera> vcam_;
    LibraryCameraLink link;
    QueuedMessagePort port;
    kvx::test::FakeMainWindow window;
    VARNO::CCamera camera;
    CMainEngine engine{link, port, window, camera};
    CEngineMessageGlue glue{engine, port, camera};
    EngineSink sink{engine};
    std::unique_ptr<kvx::test::PanelSet> panels;
};

TEST_F(PanelsOnVirtualCamera, APickInEveryPanelReachesTheCameraAndIsNotEchoed) {
    ASSERT_NO_FATAL_FAILURE(Link());
    // Every record of the link has been dispatched; nothing went back.
    PumpUntil([] { return false; }, 300);
    ASSERT_EQ(sink.queued, 0);

    // In each panel, the last offered entry other than the one shown: what the
    // camera does not offer is not in the list, so this is always a real change.
    struct Step {
        const char* what;
        CStaticCombo* combo;
        int group;
        uint8_t field1, field2;
    };
    const Step steps[] = {
        {"exposure mode", panels->exposure->ModeSelector(), 2, 0x04, 0},
        {"metering", panels->cameraPanel->SelectorAt(CDialogCamera::kMetering), 2, 0x08, 0},
        {"white balance", panels->image1->SelectorAt(CDialogImage1::kWhiteBalance), 2, 0, 0x20},
        {"colour mode", panels->image2->SelectorAt(CDialogImage2::kColorMode), 3, 0x10, 0},
        {"AF volume", panels->setup->SelectorAt(CDialogSetup::kAfVolume), 3, 0, 0x02},
        {"rear curtain sync", panels->flash->SelectorAt(CDialogFlash::kRearCurtain), 2, 0, 0x02},
    };
    for (const Step& s : steps) {
        int target = -1;
        for (int i = s.combo->FirstOffered(); i < s.combo->Count(); ++i)
            if (i != s.combo->Selected()) target = i;
        ASSERT_GE(target, 0) << s.what << ": nothing else offered";
        const uint8_t code = s.combo->Code(target);
        const int before = sink.queued;
        ASSERT_TRUE(PickText(s.combo, s.combo->Text(target))) << s.what;
        EXPECT_EQ(sink.queued, before + 1) << s.what;
        EXPECT_TRUE(PumpUntil([&] {
            return vcam_->DataGroupField(s.group, s.field1, s.field2) == std::vector<uint8_t>{code};
        })) << s.what
            << " did not reach the camera";
        // The camera's report of the new value is merged and shown, not sent again.
        EXPECT_TRUE(PumpUntil([&] { return ModelByte(s.group, s.field1, s.field2) == code; }))
            << s.what << " did not come back";
        EXPECT_EQ(s.combo->SelectedCode(), code) << s.what;
        EXPECT_EQ(sink.queued, before + 1) << s.what << " echoed";
    }
    // A step of the manual shutter goes out and comes back.
    if (panels->exposure->ModeSelector()->SelectedCode() != 4) {
        ASSERT_TRUE(PickText(panels->exposure->ModeSelector(), "M - Manual Exposure"));
    }
    ASSERT_TRUE(PumpUntil([&] { return ModelByte(2, 0x04, 0) == 4; }));
    const int before = sink.queued;
    panels->exposure->PlusButton(CDialogExposure::kShutter)->click();
    EXPECT_EQ(sink.queued, before + 1);
    const int sent =
        camera.ShutterCodeAt(panels->exposure->Slider(CDialogExposure::kShutter)->value());
    EXPECT_TRUE(PumpUntil(
        [&] { return vcam_->DataGroupField(1, 0x01, 0) == std::vector<uint8_t>{uint8_t(sent)}; }));
}

// Dials turned on the camera body: each panel follows what the camera
// reports, and nothing goes back to the camera.
TEST_F(PanelsOnVirtualCamera, ADialTurnedOnTheBodyShowsInItsPanelWithoutAnEcho) {
    ASSERT_NO_FATAL_FAILURE(Link());
    PumpUntil([] { return false; }, 300);
    ASSERT_EQ(sink.queued, 0);

    // In each panel a value the camera offers other than the one shown.
    struct Dial {
        const char* field;
        CStaticCombo* combo;
    };
    const Dial dials[] = {
        {"exposure-mode", panels->exposure->ModeSelector()},
        {"metering-mode", panels->cameraPanel->SelectorAt(CDialogCamera::kMetering)},
        {"colour-mode", panels->image2->SelectorAt(CDialogImage2::kColorMode)},
        {"white-balance", panels->image1->SelectorAt(CDialogImage1::kWhiteBalance)},
    };
    for (const Dial& d : dials) {
        int target = -1;
        for (int i = d.combo->FirstOffered(); i < d.combo->Count() && target < 0; ++i)
            if (i != d.combo->Selected()) target = i;
        ASSERT_GE(target, 0) << d.field << ": nothing else offered";
        const uint8_t code = d.combo->Code(target);
        const std::string command = std::string("set ") + d.field + " " + std::to_string(code);
        ASSERT_EQ(vcam_->Command(command).rfind("ok", 0), 0u) << command;
        EXPECT_TRUE(PumpUntil([&] { return d.combo->SelectedCode() == code; }))
            << command << ": the panel shows " << int(d.combo->SelectedCode());
    }
    PumpUntil([] { return false; }, 300);
    EXPECT_EQ(sink.queued, 0) << "a value the camera reported went back to it";
}

}  // namespace
