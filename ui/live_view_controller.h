// CLiveViewController: the main window's side of the live view window. It
// owns the live view step of the window's camera session (installed in the
// engine before the communication thread starts, alive until the window is
// gone) and, while it is open, the CDialogLiveView beside the main window.
//
// The main window reaches it only through its liveViewToggle hook; the
// controller answers the messages the engine posts for the live view window
// and, when the user closes that window by its close box, tells the main
// window with the live-view-closed message, as the engine would.
//
// The live view window itself queues the camera's live view on when it opens
// and off when it closes, so neither the main window nor this class sends
// them again.
#pragma once

#include <QObject>
#include <memory>

#include "engine/app_settings.h"
#include "liveview/qt/dialog_live_view.h"
#include "liveview/qt/live_view_step.h"

namespace kvx::ui {

class CMainDlg;

class CLiveViewController final : public QObject {
    Q_OBJECT
public:
    // Built before the main window's camera search starts; a child of the
    // window. settings: where the placement and overlays are kept (may be null).
    CLiveViewController(CMainDlg& window, engine::AppSettings* settings);
    ~CLiveViewController() override;

    // Builds a controller for the window and sets its liveViewToggle hook.
    static CLiveViewController* Install(CMainDlg& window, engine::AppSettings* settings);

    // Opens (true) or closes (false) the live view window; whether it is
    // open afterwards.
    bool Toggle(bool open);
    bool IsOpen() const { return static_cast<bool>(view_); }
    liveview::CDialogLiveView* View() const { return view_.get(); }
    liveview::CLiveViewStep& Step() { return step_; }
    // The placement and overlays the next opening uses.
    liveview::LiveViewSettings Stored() const;

protected:
    bool event(QEvent* event) override;

private:
    void Open();
    void Close();
    void OnViewClosed();
    void Keep(const liveview::LiveViewSettings& s);

    CMainDlg& window_;
    engine::AppSettings* settings_;
    engine::LiveWindowSettings fallback_;  // when there is no settings object
    liveview::CLiveViewStep step_;
    std::unique_ptr<liveview::CDialogLiveView> view_;
    bool viewClosed_ = false;  // its close event has run
    bool closing_ = false;     // Close() runs: the close box path is not taken
};

}  // namespace kvx::ui
