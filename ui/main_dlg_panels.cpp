#include "ui/main_dlg_panels.h"

#include <type_traits>

#include "ui/placeholder_panel.h"

// The real panels, as each lands in ui/.
#if __has_include("ui/dialog_exposure.h")
#include "ui/dialog_exposure.h"
#define KVX_HAVE_EXPOSURE 1
#endif
#if __has_include("ui/dialog_camera.h")
#include "ui/dialog_camera.h"
#define KVX_HAVE_CAMERA 1
#endif
#if __has_include("ui/dialog_image1.h")
#include "ui/dialog_image1.h"
#define KVX_HAVE_IMAGE1 1
#endif
#if __has_include("ui/dialog_image2.h")
#include "ui/dialog_image2.h"
#define KVX_HAVE_IMAGE2 1
#endif
#if __has_include("ui/dialog_setup.h")
#include "ui/dialog_setup.h"
#define KVX_HAVE_SETUP 1
#endif
#if __has_include("ui/dialog_flash.h")
#include "ui/dialog_flash.h"
#define KVX_HAVE_FLASH 1
#endif

namespace kvx::ui {

namespace {

// Constructs panel class T and, when T is one of the dispatch's panel
// interfaces, registers it with `attach` (and off again with null).
template <typename T, typename Iface>
MainDlgPanel Make(QWidget* parent, VARNO::CCamera& camera, ICommandSink& sink,
                  VARNO::CSettingDispatcher& dispatcher,
                  void (VARNO::CSettingDispatcher::*attach)(Iface*)) {
    auto* panel = new T(parent, camera, sink);  // owned by parent
    MainDlgPanel out;
    out.widget = panel;
    out.enablePanel = [panel](bool on) { panel->EnablePanel(on); };
    if constexpr (std::is_base_of_v<Iface, T>) {
        (dispatcher.*attach)(panel);
        out.detach = [&dispatcher, attach] { (dispatcher.*attach)(nullptr); };
    } else {
        (void)dispatcher;
        (void)attach;
    }
    return out;
}

}  // namespace

std::array<MainDlgPanel, 6> MakeMainDlgPanels(QWidget* parent, VARNO::CCamera& camera,
                                              ICommandSink& sink, VARNO::CSettingDispatcher& d) {
    using D = VARNO::CSettingDispatcher;
    std::array<MainDlgPanel, 6> p;
#ifdef KVX_HAVE_EXPOSURE
    p[0] = Make<CDialogExposure>(parent, camera, sink, d, &D::SetExposurePanel);
#else
    p[0] = Make<CPlaceholderPanel>(parent, camera, sink, d, &D::SetExposurePanel);
#endif
#ifdef KVX_HAVE_CAMERA
    p[1] = Make<CDialogCamera>(parent, camera, sink, d, &D::SetCameraPanel);
#else
    p[1] = Make<CPlaceholderPanel>(parent, camera, sink, d, &D::SetCameraPanel);
#endif
#ifdef KVX_HAVE_IMAGE1
    p[2] = Make<CDialogImage1>(parent, camera, sink, d, &D::SetImagePanel1);
#else
    p[2] = Make<CPlaceholderPanel>(parent, camera, sink, d, &D::SetImagePanel1);
#endif
#ifdef KVX_HAVE_IMAGE2
    p[3] = Make<CDialogImage2>(parent, camera, sink, d, &D::SetImagePanel2);
#else
    p[3] = Make<CPlaceholderPanel>(parent, camera, sink, d, &D::SetImagePanel2);
#endif
#ifdef KVX_HAVE_SETUP
    p[4] = Make<CDialogSetup>(parent, camera, sink, d, &D::SetSetupPanel);
#else
    p[4] = Make<CPlaceholderPanel>(parent, camera, sink, d, &D::SetSetupPanel);
#endif
#ifdef KVX_HAVE_FLASH
    p[5] = Make<CDialogFlash>(parent, camera, sink, d, &D::SetFlashPanel);
#else
    p[5] = Make<CPlaceholderPanel>(parent, camera, sink, d, &D::SetFlashPanel);
#endif
    return p;
}

}  // namespace kvx::ui
