// The custom white-balance capture and the date dialog against the
// in-process virtual camera, through the real camera link library and the
// camera session, with the window's event loop running: the camera switches
// to the capture mode, measures (or fails to), the result box says so, no
// file comes to the computer, and the camera ends on the slot; the date
// dialog sets the camera's clock to the computer's local time.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <chrono>
#include <ctime>
#include <deque>
#include <filesystem>
#include <mutex>
#include <thread>

#include "engine/camera_session.h"
#include "engine/message_port.h"
#include "gdip_button.h"
#include "gdip_hold_button.h"
#include "model/record_layout.h"
#include "model/window_messages.h"
#include "tests/engine/engine_fakes.h"
#include "tests/engine/recording_port.h"
#include "tests/engine/vcam_folder.h"
#include "tests/ui/dialog_test_support.h"
#include "ui/custom_wb_capture.h"
#include "ui/dialog_date_time.h"
#include "ui/dialog_iso_setting.h"
#include "ui/dialog_look.h"
#include "ui/special_dialog_ab.h"
#include "ui/special_dialog_setting.h"
#include "ui/special_dialog_wb.h"
#include "vcam/virtual_camera.h"

using namespace kvx::engine;
namespace fs = std::filesystem;

namespace {

// Stands in for the main window: capture results and reported white
// balances go to the capture run, as the main window's handlers pass them.
class FrontEnd final : public ISessionFrontEnd {
public:
    std::function<void(uint32_t)> onResult;
    std::function<void()> onUpdate;
    std::vector<uint32_t> results;
    std::vector<PictureEvent> pictures;
    void OnCaptureResult(uint32_t code) override {
        results.push_back(code);
        if (onResult) onResult(code);
    }
    void OnSettingsUpdated(uint32_t) override {
        if (onUpdate) onUpdate();
    }
    void OnPictureFinished(const PictureEvent& e) override { pictures.push_back(e); }
};

class SessionSink final : public kvx::ui::ICommandSink {
public:
    explicit SessionSink(CCameraSession*& s) : session_(s) {}
    bool QueueCommand(const tag_CAM_COMMAND& c) override { return session_->QueueCommand(c); }

private:
    CCameraSession*& session_;
};

class DialogsAgainstCamera : public ::testing::Test {
protected:
    void SetUp() override { folder_.SetUp("kvx-dialogs"); }
    void TearDown() override {
        capture_.reset();
        session_.reset();
        folder_.TearDown();
    }

    void Link(kvx::vcam::VirtualCameraOptions o = {}) {
        cam_ = &folder_.StartCamera(o);
        CCameraSession::Options so;
        so.naming.destinationFolder = (folder_.root / "pictures").string() + "/";
        so.naming.inCamera = false;
        so.naming.inPC = true;
        so.watchDevices = true;
        session_ = std::make_unique<CCameraSession>(front_, so, &port_);
        raw_ = session_.get();
        ASSERT_TRUE(session_->Start().started);
        ASSERT_TRUE(Pump([&] { return session_->Linked() && session_->SettingsComplete(); }));
    }

    // The window thread's loop: Qt events, the posted messages, the tick.
    bool Pump(const std::function<bool()>& pred) {
        return kvx::test::WaitUntil(
            [&] {
                QCoreApplication::processEvents();
                for (const auto& m : port_.Take()) session_->HandleMessage(m);
                session_->Tick();
                return pred();
            },
            60000);
    }

    uint8_t CameraWb() const { return cam_->FieldBytes(2, 13).at(0); }

    void StartCaptureRun() {
        kvx::ui::CCustomWbCapture::Host host;
        host.connected = [this] { return session_->Linked(); };
        host.cameraState = [this] { return session_->CameraState(); };
        host.setLiveViewCaptureFlag = [this](bool on) { liveViewFlag_ = on; };
        capture_ = std::make_unique<kvx::ui::CCustomWbCapture>(sink_, host, nullptr);
        QObject::connect(capture_.get(), &kvx::ui::CCustomWbCapture::finished,
                         [this](bool restored) { finished_.push_back(restored); });
        front_.onResult = [this](uint32_t code) { capture_->OnCaptureResult(code); };
        // The main window hears each white balance the camera reports.
        front_.onUpdate = [this] {
            const uint8_t wb = session_->Camera().DataGroupByte(2, VARNO::dg2::kWhiteBalance);
            if (wb != lastWb_) capture_->OnWhiteBalanceReported(wb);
            lastWb_ = wb;
        };
        lastWb_ = session_->Camera().DataGroupByte(2, VARNO::dg2::kWhiteBalance);
    }

    // Once the camera waits in the capture mode and the dialog shows: OK.
    // The result box's status and message land in shown_ and message_.
    kvx::ui::CDialogWhiteBalance* OpenAndCapture() {
        if (!Pump([&] { return CameraWb() == 9 && capture_->Dialog()->isVisible(); }))
            return nullptr;
        auto* dlg = capture_->Dialog();
        QObject::connect(dlg, &kvx::ui::CDialogWhiteBalance::resultShown, [this, dlg](uint32_t s) {
            shown_ = s;
            message_ = dlg->ResultBox()->Message();
        });
        dialogtest::Click(dlg->OkButton());
        return dlg;
    }

    // The value of the last white-balance write the camera received.
    int LastWbWrite() const {
        int v = -1;
        for (const auto& op : cam_->ReceivedOperations())
            if (op.code == 0x9017 && op.data.size() > 3 && op.data[2] == 0x20) v = op.data[3];
        return v;
    }

    kvx::test::VcamFolder folder_;
    kvx::test::RecordingPort port_;
    FrontEnd front_;
    kvx::vcam::VirtualCamera* cam_ = nullptr;
    std::unique_ptr<CCameraSession> session_;
    CCameraSession* raw_ = nullptr;
    SessionSink sink_{raw_};
    std::unique_ptr<kvx::ui::CCustomWbCapture> capture_;
    std::vector<bool> finished_;
    bool liveViewFlag_ = false;
    uint32_t shown_ = 0;
    QString message_;
    uint8_t lastWb_ = 0;
};

TEST_F(DialogsAgainstCamera, CustomWhiteBalanceCaptureSucceeds) {
    Link();
    StartCaptureRun();
    ASSERT_TRUE(capture_->Start(9));
    EXPECT_TRUE(capture_->Running());
    EXPECT_TRUE(liveViewFlag_);
    EXPECT_FALSE(capture_->Start(11)) << "one run at a time";
    auto* dlg = OpenAndCapture();
    ASSERT_NE(dlg, nullptr);
    EXPECT_FALSE(dlg->OkButton()->isEnabled());
    EXPECT_FALSE(dlg->CancelButton()->isEnabled());
    ASSERT_TRUE(Pump([&] { return shown_ != 0; }));
    EXPECT_EQ(shown_, 0x8002u);
    EXPECT_EQ(message_, kvx::ui::CDialogLook::Text(34001));
    // The camera left the capture mode for the slot: the dialog closes once
    // the box has shown its 2 s, the run waits for standby and restores.
    ASSERT_TRUE(Pump([&] { return !finished_.empty(); }));
    EXPECT_EQ(finished_, std::vector<bool>{true});
    EXPECT_FALSE(capture_->Running());
    EXPECT_FALSE(liveViewFlag_);
    ASSERT_TRUE(Pump([&] { return LastWbWrite() == 8; }));
    EXPECT_EQ(CameraWb(), 8);
    EXPECT_NE(cam_->CustomWhiteBalance(1), 0);
    EXPECT_EQ(front_.results, std::vector<uint32_t>{0x8002});
    EXPECT_TRUE(front_.pictures.empty()) << "a measurement brings no file";
    EXPECT_TRUE(fs::is_empty(folder_.root / "pictures"));
    EXPECT_TRUE(Pump([&] { return cam_->PictureIds().empty(); })) << "the result was cleared";
}

TEST_F(DialogsAgainstCamera, CustomWhiteBalanceCaptureFailsWhenFocusFails) {
    Link();
    cam_->SetFocusFails(true);
    StartCaptureRun();
    ASSERT_TRUE(capture_->Start(9));
    auto* dlg = OpenAndCapture();
    ASSERT_NE(dlg, nullptr);
    ASSERT_TRUE(Pump([&] { return shown_ != 0; }));
    EXPECT_EQ(shown_, 0x6001u);
    EXPECT_EQ(message_, kvx::ui::CDialogLook::Text(34002));
    // After the box: the dialog is back with OK and Cancel, so the user may
    // try again or give up; the camera still waits in the capture mode.
    ASSERT_TRUE(Pump([&] { return dlg->isVisible() && dlg->ResultBox() == nullptr; }));
    EXPECT_TRUE(dlg->OkButton()->isEnabled());
    EXPECT_TRUE(dlg->CancelButton()->isEnabled());
    EXPECT_TRUE(finished_.empty());
    EXPECT_EQ(CameraWb(), 9);
    dialogtest::Click(dlg->CancelButton());
    ASSERT_TRUE(Pump([&] { return !finished_.empty(); }));
    EXPECT_EQ(finished_, std::vector<bool>{true});
    // Given up: the camera is left on the slot, nothing measured.
    ASSERT_TRUE(Pump([&] { return CameraWb() == 8; }));
    EXPECT_EQ(cam_->CustomWhiteBalance(1), 0);
    EXPECT_TRUE(front_.pictures.empty());
}

TEST_F(DialogsAgainstCamera, DateDialogSetsTheCameraClockToLocalTime) {
    Link();
    kvx::ui::CDialogDateTime dlg(sink_, session_->ThreadRunning());
    ASSERT_TRUE(dlg.OkButton()->isEnabled());
    dialogtest::Click(dlg.OkButton());
    const std::time_t sent = std::time(nullptr);
    std::tm local{};
    localtime_r(&sent, &local);
    // Read back: the camera's clock shows the computer's local time.
    auto cameraTime = [&] { return dialogtest::LocalTimeOf(cam_->CameraClock()); };
    ASSERT_TRUE(Pump([&] { return std::llabs(cameraTime() - std::time(nullptr)) <= 2; }))
        << cam_->Command("clock");
    EXPECT_EQ(cam_->CameraClock().year, local.tm_year + 1900);
}

TEST_F(DialogsAgainstCamera, BracketingSetInTheDialogShapesTheSeries) {
    kvx::vcam::VirtualCameraOptions o;
    o.pictureBytes = 100'000;
    Link(o);
    kvx::ui::CDialogSpecialSetting::Handover h;
    h.amount = int8_t(session_->Camera().DataGroupByte(1, VARNO::dg1::kBracketAmount));
    h.setting = session_->Camera().DataGroupByte(1, VARNO::dg1::kBracketSetting);
    h.autoBracketAvailable = true;
    h.wbBracketAvailable = true;
    h.colorBracketAvailable = true;
    h.connected = true;
    h.protocolMajor = 4;
    kvx::ui::CDialogSpecialSetting dlg(sink_, session_->Camera(), h);
    session_->Dispatcher().SetSpecialSettingsDialog(&dlg);
    auto* ab = dlg.AbPage();
    ASSERT_EQ(ab->AmountText(), "+1.0");

    // Each step goes to the camera at once; the page shows what comes back.
    dialogtest::Click(ab->PlusButton());
    dialogtest::Pick(ab->NumberSelector(), 2);  // 5 shots, order "0 -> - -> +"
    ASSERT_TRUE(Pump(
        [&] { return cam_->FieldBytes(1, 6).at(0) == 11 && cam_->FieldBytes(1, 7).at(0) == 4; }));
    dlg.OpenPage(1);
    dialogtest::Pick(dlg.WbPage()->AxisSelector(), 2);
    ASSERT_TRUE(Pump([&] {
        return cam_->FieldBytes(6, 3).at(0) == 2 && !dlg.WbPage()->Marks().empty() &&
               dlg.WbPage()->Marks()[0].blueAmber == 0;
    })) << "the marks turn to the magenta-green line when the camera reports the axis";
    EXPECT_EQ(ab->AmountText(), "+1.3");
    session_->Dispatcher().SetSpecialSettingsDialog(nullptr);

    // The camera takes the series the dialog set up.
    session_->QueueCommand(VARNO::MakeSettingCommand(VARNO::Setting::DriveMode, 6));
    session_->QueueCommand(VARNO::MakeCaptureDestinationCommand(false, true));
    session_->QueueCommand(VARNO::MakeReleaseCommand(2));
    ASSERT_TRUE(Pump([&] { return front_.pictures.size() >= 5; }));
    EXPECT_EQ(cam_->LastBracketSeries(), (std::vector<int>{0, -11, 11, -22, 22}));
}

TEST_F(DialogsAgainstCamera, IsoFunctionLimitsReachTheCameraAndComeBack) {
    Link();  // one-third steps, auto range ISO 100..3200, CanSetInfo4 (no auto range)
    kvx::ui::CDialogIsoSetting dlg(sink_, session_->Camera());
    // The lists come from the camera's ISO range, not empty for want of an auto range.
    ASSERT_FALSE(dialogtest::Codes(dlg.UpperSelector()).empty());
    EXPECT_EQ(dialogtest::Codes(dlg.UpperSelector()).back(), 80);
    EXPECT_EQ(kvx::ui::CDialogLook::SelectedCode(dlg.UpperSelector()), 72);
    // DataGroup4 reports reach the open dialog as its rebuild message.
    front_.onUpdate = [&] { dlg.HandleMessage(VARNO::kMsgIsoDataGroup4Changed, 0, 0); };
    dialogtest::Pick(dlg.LowerSelector(), 48);
    dialogtest::Pick(dlg.UpperSelector(), 64);
    ASSERT_TRUE(Pump([&] {
        return cam_->FieldBytes(4, 2).at(0) == 48 && cam_->FieldBytes(4, 1).at(0) == 64 &&
               session_->Camera().DataGroupByte(4, VARNO::dg4::kIsoAutoUpper) == 64;
    }));
    dlg.StepSelector()->Select(0);
    emit dlg.StepSelector()->picked(0);
    // Whole steps: the camera keeps 400..1600, and the lists follow its report.
    ASSERT_TRUE(Pump([&] {
        return session_->Camera().DataGroupByte(4, VARNO::dg4::kIsoStep) == 1 &&
               dialogtest::Codes(dlg.LowerSelector()) == std::vector<int>{32, 40, 48, 56};
    }));
    EXPECT_EQ(kvx::ui::CDialogLook::SelectedCode(dlg.LowerSelector()), 48);
    EXPECT_EQ(dialogtest::Codes(dlg.UpperSelector()), (std::vector<int>{56, 64, 72, 80}));
    EXPECT_EQ(kvx::ui::CDialogLook::SelectedCode(dlg.UpperSelector()), 64);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
