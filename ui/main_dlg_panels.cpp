#include "ui/main_dlg_panels.h"

#include "ui/dialog_camera.h"
#include "ui/dialog_exposure.h"
#include "ui/dialog_flash.h"
#include "ui/dialog_image1.h"
#include "ui/dialog_image2.h"
#include "ui/dialog_setup.h"

namespace kvx::ui {

namespace {

// Constructs panel class T, registers it with the dispatch, and says how to
// take it off again (before the window that owns it goes).
template <typename T>
MainDlgPanel Make(QWidget* parent, VARNO::CCamera& camera, ICommandSink& sink,
                  VARNO::CSettingDispatcher& dispatcher, std::function<void()> detach) {
    auto* panel = new T(parent, camera, sink);  // owned by parent
    panel->RegisterWith(dispatcher);
    return {panel, [panel](bool on) { panel->EnablePanel(on); }, std::move(detach)};
}

}  // namespace

std::array<MainDlgPanel, 6> MakeMainDlgPanels(QWidget* parent, VARNO::CCamera& camera,
                                              ICommandSink& sink, VARNO::CSettingDispatcher& d) {
    return {
        Make<CDialogExposure>(parent, camera, sink, d, [&d] { d.SetExposurePanel(nullptr); }),
        Make<CDialogCamera>(parent, camera, sink, d, [&d] { d.SetCameraPanel(nullptr); }),
        Make<CDialogImage1>(parent, camera, sink, d,
                            [&d] {
                                d.SetImagePanel1(nullptr);
                                d.SetWbAdjustGrid(nullptr);
                            }),
        Make<CDialogImage2>(parent, camera, sink, d, [&d] { d.SetImagePanel2(nullptr); }),
        Make<CDialogSetup>(parent, camera, sink, d, [&d] { d.SetSetupPanel(nullptr); }),
        Make<CDialogFlash>(parent, camera, sink, d, [&d] { d.SetFlashPanel(nullptr); }),
    };
}

}  // namespace kvx::ui
