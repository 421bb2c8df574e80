#include "ui/live_view_controller.h"

#include <QEvent>

#include "model/window_messages.h"
#include "ui/main_dlg.h"
#include "ui/qt_message_port.h"

namespace kvx::ui {

using kvx::liveview::CDialogLiveView;
using kvx::liveview::LiveViewSettings;

CLiveViewController::CLiveViewController(CMainDlg& window, engine::AppSettings* settings)
    : QObject(&window),
      window_(window),
      settings_(settings),
      step_(window.Session().Link(),
            [&session = window.Session()] { return int(session.LiveViewAspect()); }) {
    // The engine calls the step from the communication thread; the window
    // builds this before its camera search starts, and the window's session
    // (with its thread) is gone before this child of the window is.
    window.Session().Engine().SetLiveViewStep(&step_);
}

CLiveViewController::~CLiveViewController() {
    // The main window closes its live view window before its session goes;
    // whatever is left here only lets go of the step.
    view_.reset();
}

CLiveViewController* CLiveViewController::Install(CMainDlg& window, engine::AppSettings* settings) {
    auto* controller = new CLiveViewController(window, settings);  // owned by the window
    window.liveViewToggle = [controller](bool open) { return controller->Toggle(open); };
    return controller;
}

bool CLiveViewController::Toggle(bool open) {
    if (open && !view_) Open();
    if (!open && view_) Close();
    return IsOpen();
}

LiveViewSettings CLiveViewController::Stored() const {
    const engine::LiveWindowSettings& l = settings_ ? settings_->live : fallback_;
    LiveViewSettings s;
    s.left = l.left;
    s.top = l.top;
    s.width = l.width;
    s.height = l.height;
    s.gridLines = l.gridLines;
    s.gridPattern = l.gridPattern;
    s.focusSelect = l.focusSelect;
    s.useMask = l.useMask != 0;
    s.rotateAngle = l.rotateAngle;
    return s;
}

void CLiveViewController::Keep(const LiveViewSettings& s) {
    engine::LiveWindowSettings& l = settings_ ? settings_->live : fallback_;
    l.left = s.left;
    l.top = s.top;
    l.width = s.width;
    l.height = s.height;
    l.gridLines = s.gridLines;
    l.gridPattern = s.gridPattern;
    l.focusSelect = s.focusSelect;
    l.useMask = s.useMask ? 1 : 0;
    l.rotateAngle = s.rotateAngle;
}

void CLiveViewController::Open() {
    engine::CCameraSession& session = window_.Session();
    view_ = std::make_unique<CDialogLiveView>(window_, step_, session.Camera(), Stored());
    viewClosed_ = false;
    connect(view_.get(), &CDialogLiveView::closed, this, &CLiveViewController::OnViewClosed);
    // From here the engine fetches frames for it and its messages come here.
    window_.Port().Register(VARNO::kTargetLiveView, this);
    session.Dispatcher().SetLiveViewWindow(view_.get());
    view_->Open(session.Linked() && session.Engine().ProtocolMajor() >= 4);
}

void CLiveViewController::Close() {
    // The window's own close queues live view off once and keeps its
    // settings; it has already run when the close box closed it.
    if (!viewClosed_) {
        closing_ = true;
        view_->close();
        closing_ = false;
    }
    OnViewClosed();
    // Not inside the window's close event any more: it can go now. The step
    // let go of its canvas when the window closed, and the canvas outlives
    // any frame the communication thread is still composing.
    view_.reset();
}

void CLiveViewController::OnViewClosed() {
    const bool first = !viewClosed_;
    viewClosed_ = true;
    Keep(view_->CurrentSettings());
    window_.Port().Unregister(VARNO::kTargetLiveView);
    window_.Session().Dispatcher().SetLiveViewWindow(nullptr);
    // The close box: the main window hears of it as of the engine's messages
    // and lets go of the window from its own handler, outside this close.
    if (first && !closing_)
        window_.Port().Post(VARNO::kTargetMainWindow, VARNO::kMsgLiveViewClosed, 0, 0);
}

bool CLiveViewController::event(QEvent* e) {
    if (e->type() == CQtMessagePort::Event::TypeId()) {
        const engine::PostedMessage& m = static_cast<CQtMessagePort::Event*>(e)->Message();
        if (view_ && !viewClosed_) view_->HandleMessage(m.message, m.wParam, m.lParam);
        return true;
    }
    return QObject::event(e);
}

}  // namespace kvx::ui
