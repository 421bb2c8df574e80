// The special function dialogs in the program's main window, against the
// virtual camera: the date menu item sets the camera's clock, the AB Setting
// button's dialog changes the camera's bracketing and hands it back on OK,
// and a capture mode chosen on the camera body opens the custom white
// balance capture, which measures and leaves the camera on the slot.
#include "ui/special_dialogs_hookup.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>
#include <ctime>

#include "gdip_button.h"
#include "gdip_hold_button.h"
#include "tests/ui/dialog_test_support.h"
#include "tests/ui/main_dlg_bench.h"
#include "ui/dialog_date_time.h"
#include "ui/main_dlg.h"
#include "ui/special_dialog_ab.h"
#include "ui/special_dialog_setting.h"

namespace {

using kvx::test::MainDlgBench;
using kvx::ui::CMainDlg;

class HookupTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bench_.SetUp("kvx-hookup"));
        kvx::vcam::VirtualCameraOptions o;
        o.pictureBytes = 100'000;
        bench_.StartCamera(o);
        bench_.window = std::make_unique<CMainDlg>(bench_.WindowOptions());
        kvx::ui::CSpecialDialogsHookup::Install(*bench_.window);
        bench_.window->show();
        bench_.window->Start();
        ASSERT_TRUE(bench_.WaitConnected());
    }
    // Runs `inside` once the modal dialog of type T is up.
    template <typename T>
    void WhenModal(std::function<void(T*)> inside) {
        QTimer::singleShot(0, [inside] {
            ASSERT_TRUE(MainDlgBench::Pump(
                [] { return qobject_cast<T*>(QApplication::activeModalWidget()) != nullptr; }));
            inside(qobject_cast<T*>(QApplication::activeModalWidget()));
        });
    }
    MainDlgBench bench_;
};

TEST_F(HookupTest, DateMenuSetsTheCameraClock) {
    bool ran = false;
    WhenModal<kvx::ui::CDialogDateTime>([&](kvx::ui::CDialogDateTime* d) {
        EXPECT_TRUE(d->OkButton()->isEnabled());
        dialogtest::Click(d->OkButton());
        ran = true;
    });
    bench_.window->Action(40009)->trigger();
    ASSERT_TRUE(ran);
    ASSERT_TRUE(MainDlgBench::Pump([&] {
        return std::llabs(dialogtest::LocalTimeOf(bench_.camera->CameraClock()) -
                          std::time(nullptr)) <= 2;
    })) << bench_.camera->Command("clock");
}

TEST_F(HookupTest, AbSettingDialogChangesTheCameraAndHandsBackOnOk) {
    bool ran = false;
    WhenModal<kvx::ui::CDialogSpecialSetting>([&](kvx::ui::CDialogSpecialSetting* d) {
        dialogtest::Click(d->AbPage()->PlusButton());
        EXPECT_TRUE(MainDlgBench::Pump(
            [&] { return bench_.camera->FieldBytes(1, 6).at(0) == 11 && d->Amount() == 11; }));
        bench_.camera->ClearReceivedOperations();
        dialogtest::Click(d->OkButton());
        ran = true;
    });
    auto* ab = bench_.window->Button(CMainDlg::kIdAbSetting);
    ASSERT_TRUE(ab->isEnabled());
    ab->click();
    ASSERT_TRUE(ran);
    EXPECT_EQ(bench_.window->Session().Dispatcher().State().bracketAmount, 11);
    // The exposure panel's compensation goes to the camera again afterwards.
    EXPECT_TRUE(MainDlgBench::Pump([&] {
        for (const auto& op : bench_.camera->ReceivedOperations())
            if (op.code == 0x9016) return true;
        return false;
    }));
}

TEST_F(HookupTest, CaptureModeChosenOnTheBodyRunsTheCustomWhiteBalanceCapture) {
    ASSERT_EQ(bench_.camera->Command("set white-balance 9").rfind("ok", 0), 0u);
    kvx::ui::CDialogWhiteBalance* dlg = nullptr;
    ASSERT_TRUE(MainDlgBench::Pump([&] {
        dlg = bench_.window->findChild<kvx::ui::CDialogWhiteBalance*>();
        return dlg && dlg->isVisible();
    }));
    EXPECT_EQ(dlg->Mode(), 9);
    uint32_t shown = 0;
    QObject::connect(dlg, &kvx::ui::CDialogWhiteBalance::resultShown,
                     [&](uint32_t s) { shown = s; });
    dialogtest::Click(dlg->OkButton());
    ASSERT_TRUE(MainDlgBench::Pump([&] { return shown != 0; }));
    EXPECT_EQ(shown, 0x8002u);
    // The dialog goes once the box has shown; the camera is left on Custom 1.
    ASSERT_TRUE(MainDlgBench::Pump(
        [&] { return bench_.window->findChild<kvx::ui::CDialogWhiteBalance*>() == nullptr; }));
    EXPECT_EQ(bench_.camera->FieldBytes(2, 13).at(0), 8);
    EXPECT_NE(bench_.camera->CustomWhiteBalance(1), 0);
}

}  // namespace
