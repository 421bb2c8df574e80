#include "ui/special_dialogs_hookup.h"

#include "model/record_layout.h"
#include "ui/dialog_date_time.h"
#include "ui/dialog_exposure.h"
#include "ui/dialog_iso_setting.h"
#include "ui/main_dlg.h"
#include "ui/qt_message_port.h"
#include "ui/special_dialog_setting.h"

namespace kvx::ui {

using namespace VARNO::window_messages;

CSpecialDialogsHookup* CSpecialDialogsHookup::Install(CMainDlg& window) {
    auto* hookup = new CSpecialDialogsHookup(window);  // owned by the window
    window.specialSettingsDialog = [hookup](QWidget* p) { hookup->RunSpecialSettings(p); };
    window.isoFunctionDialog = [hookup](QWidget* p) { hookup->RunIsoFunction(p); };
    window.dateTimeDialog = [hookup](QWidget* p) { hookup->RunDateTime(p); };
    window.customWbCapture = [hookup](int mode) { hookup->capture_->Start(uint8_t(mode)); };
    window.whiteBalanceReported = [hookup](uint8_t code) {
        hookup->capture_->OnWhiteBalanceReported(code);
    };
    window.captureResult = [hookup](uint32_t status) { hookup->capture_->OnCaptureResult(status); };
    return hookup;
}

CSpecialDialogsHookup::CSpecialDialogsHookup(CMainDlg& window) : QObject(&window), window_(window) {
    CCustomWbCapture::Host host;
    host.connected = [this] { return window_.Session().Linked(); };
    host.cameraState = [this] { return window_.Session().CameraState(); };
    capture_ = std::make_unique<CCustomWbCapture>(window_, host, &window_);
    // The capture run's dialog hears the camera state and availability
    // (the run passes them on only while it is open).
    Register({kTargetWhiteBalance}, true);
}

void CSpecialDialogsHookup::Register(std::initializer_list<int> targets, bool on) {
    for (int t : targets) window_.Port().Register(t, on ? this : nullptr);
}

bool CSpecialDialogsHookup::event(QEvent* e) {
    if (e->type() != CQtMessagePort::Event::TypeId()) return QObject::event(e);
    const auto& m = static_cast<CQtMessagePort::Event*>(e)->Message();
    switch (m.target) {
        case kTargetSpecialAB:
        case kTargetSpecialWB:
        case kTargetSpecialColor:
            if (special_) special_->HandlePageMessage(m.target, m.message, m.wParam);
            break;
        case kTargetIsoSetting:
            if (iso_) iso_->HandleMessage(m.message, m.wParam, m.lParam);
            break;
        case kTargetDateTime:
            if (date_) date_->HandleMessage(m.message, m.wParam, m.lParam);
            break;
        case kTargetWhiteBalance:
            capture_->HandleMessage(m.message, m.wParam, m.lParam);
            break;
        default:
            break;
    }
    return true;
}

void CSpecialDialogsHookup::RunSpecialSettings(QWidget* parent) {
    engine::CCameraSession& s = window_.Session();
    const VARNO::CCamera& cam = s.Camera();
    const auto& state = s.Dispatcher().State();
    CDialogSpecialSetting::Handover h;
    h.amount = state.bracketAmount;
    h.setting = state.bracketSetting;
    h.qmd = state.qmd;
    h.connected = s.Linked();
    h.protocolMajor = s.Engine().ProtocolMajor();
    // The window's availability messages correct these as soon as it
    // evaluates its buttons again.
    auto mask = [&](VARNO::SettableField f) { return cam.Settable(f).value_or(0); };
    const uint8_t drive = cam.DataGroupByte(2, VARNO::dg2::kDriveMode);
    h.autoBracketAvailable =
        h.connected && drive != 0 && drive != 6 && drive != 7 &&
        (cam.VersionInForce() < 3 || (mask(VARNO::SettableField::BracketMask) & 0x03));
    h.wbBracketAvailable = h.connected && (mask(VARNO::SettableField::WbBracketMask) & 0x1F);
    h.colorBracketAvailable = h.connected && (mask(VARNO::SettableField::ColorBracketMask) & 0x1F);
    CDialogSpecialSetting dlg(window_, cam, h, parent);
    special_ = &dlg;
    Register({kTargetSpecialAB, kTargetSpecialWB, kTargetSpecialColor, kTargetSpecialSetting},
             true);
    s.Dispatcher().SetSpecialSettingsDialog(&dlg);
    const int result = dlg.exec();
    s.Dispatcher().SetSpecialSettingsDialog(nullptr);
    Register({kTargetSpecialAB, kTargetSpecialWB, kTargetSpecialColor, kTargetSpecialSetting},
             false);
    special_ = nullptr;
    if (result == QDialog::Accepted) s.Dispatcher().SetBracketValues(dlg.Amount(), dlg.Setting());
    // Whichever way it ended, the compensation the exposure panel shows goes
    // to the camera again.
    if (auto* exposure = qobject_cast<CDialogExposure*>(window_.Panel(0)))
        exposure->SetExposureComp();
}

void CSpecialDialogsHookup::RunIsoFunction(QWidget* parent) {
    CDialogIsoSetting dlg(window_, window_.Session().Camera(), parent);
    iso_ = &dlg;
    Register({kTargetIsoSetting}, true);
    dlg.exec();
    Register({kTargetIsoSetting}, false);
    iso_ = nullptr;
}

void CSpecialDialogsHookup::RunDateTime(QWidget* parent) {
    CDialogDateTime dlg(window_, window_.Session().ThreadRunning(), parent);
    date_ = &dlg;
    Register({kTargetDateTime}, true);
    dlg.exec();
    Register({kTargetDateTime}, false);
    date_ = nullptr;
}

}  // namespace kvx::ui
