// CDialogLiveView: the "Live View screen" window. It shows the frames the
// communication thread composes (see CLiveViewStep and CLiveViewCanvas),
// and offers zoom (Fit, ×4, ×8), a grid in white or black of 2 to 8 cells a
// side, the aspect mask or crop, rotation, focus peaking with its colour,
// and the focus frame in nine-point or free mode (click, drag, arrow keys).
//
// How the main window uses it:
//   - once per camera session: build a CLiveViewStep on the session's camera
//     link and install it with CMainEngine::SetLiveViewStep before the thread
//     starts; keep it until the thread has stopped;
//   - Live View button on: construct the window with the session's command
//     sink, the step, the camera model and the saved LiveViewSettings,
//     register it as the engine's kTargetLiveView (the port's Exists() must
//     say true from then on) and with the setting dispatch
//     (SetLiveViewWindow), then call Open();
//   - messages for kTargetLiveView go to HandleMessage() on the window thread;
//   - Live View button off, or the closed() signal (its close box): take
//     CurrentSettings() to keep, unregister it from the port and the
//     dispatch, then delete it. Both ways of closing queue the live view
//     off setting, so the camera leaves live view when its window goes.
#pragma once

#include <QWidget>
#include <array>
#include <memory>

#include "gdip_button.h"
#include "gdip_toggle_button_ex.h"
#include "live_view_canvas.h"
#include "live_view_screen.h"
#include "live_view_step.h"
#include "liveview/focus_geometry.h"
#include "model/dispatch_interfaces.h"
#include "static_combo.h"
#include "ui/command_sink.h"

namespace VARNO {
class CCamera;
}

namespace kvx::liveview {

// Placement and overlay choices kept in the settings ("Live_Window_1.2").
struct LiveViewSettings {
    int left = -1, top = -1, width = 0, height = 0;  // 0: the default size
    int gridLines = 2;                               // "GridLines"
    int gridPattern = 0;                             // "GridPattern"
    int focusSelect = 1;                             // "FocusSelect"
    bool useMask = false;                            // "UseMask"
    int rotateAngle = 0;                             // "RotateAngle"
};

class CDialogLiveView : public QWidget, public VARNO::ILiveViewWindow {
    Q_OBJECT
public:
    static constexpr int kMinWidth = 464, kMinHeight = 515, kMaxWidth = 914, kMaxHeight = 965;

    CDialogLiveView(kvx::ui::ICommandSink& sink, CLiveViewStep& step, const VARNO::CCamera& camera,
                    const LiveViewSettings& settings, QWidget* parent = nullptr);
    ~CDialogLiveView() override;

    // Queues live view on, attaches to the step, places the focus frame and
    // shows the window. `running`: a protocol 4 camera is linked.
    void Open(bool running);
    // Placement and overlays as they stand, for the settings file.
    LiveViewSettings CurrentSettings() const;
    // Saved sizes held to what the slots can show; the position kept on a screen.
    static QRect PlacementFor(const LiveViewSettings& s, const QRect& available);

    // kMsgLiveViewAvailable (wParam: running) and kMsgLiveViewMask.
    void HandleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam);
    void SetRunning(bool running);

    // The camera's focus state from the model: point, size, range.
    static CameraFocus FocusFromCamera(const VARNO::CCamera& camera);
    void InitFocusFrame(uint8_t mode, uint8_t x, uint8_t y, uint8_t size);

    // ---- VARNO::ILiveViewWindow (the setting dispatch) ----
    void ShowMagnification(uint8_t code) override;
    void ShowPeakingLevel(uint8_t value) override;
    void ShowFocusFrame(const uint8_t frame[4]) override;

    // Pointer and keys, in screen-area coordinates (public for tests).
    void ApplyFocusPoint(int sx, int sy);
    void MoveFocusByKey(ArrowKey key);
    void PressFocusFrameButton();
    void SetZoom(int mode, bool send);
    void SetGridPattern(int pattern);
    void SetGridDivisions(int divisions);
    void SetUseMask(bool on);
    void Rotate(bool left);

    int FocusDisplayMode() const { return overlay_.focusMode; }
    bool FocusInteractive() const { return interactive_; }
    Point MarkerPoint() const { return marker_; }
    int Angle() const { return canvas_->Angle(); }
    CLiveViewScreen* Screen() const { return screen_; }
    CStaticCombo* GridSelector() const { return gridList_; }
    CStaticCombo* PeakingSelector() const { return peakList_; }
    std::shared_ptr<CLiveViewCanvas> Canvas() const { return canvas_; }

    // Called on the window thread, queued by the communication thread.
    Q_INVOKABLE void OnFrameComposed();

signals:
    // The close box was used (the main window's live-view-closed message).
    void closed();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildControls();
    void LayOut();
    void SyncOverlay();
    void RefreshFocus();  // from the camera model
    void RebuildPeakingList();
    void SelectPeaking(uint8_t value);
    void EnableControls();
    void SendFocus(uint8_t mode, int x, int y);
    void Queue(const tag_CAM_COMMAND& command);
    Rect MarkerBounds(const SlotRects& r) const;
    void DrawMarker(QPainter& p, const SlotRects& r);
    void OnPress(QMouseEvent* e);
    void OnMove(QMouseEvent* e);
    void OnRelease(QMouseEvent* e);
    void OnLeave();

    kvx::ui::ICommandSink& sink_;
    CLiveViewStep& step_;
    const VARNO::CCamera& camera_;
    std::shared_ptr<CLiveViewCanvas> canvas_;
    LiveViewSettings settings_;
    Overlay overlay_;

    CLiveViewScreen* screen_ = nullptr;
    CGdipToggleButtonEx* zoom8_ = nullptr;
    CGdipToggleButtonEx* zoom4_ = nullptr;
    CGdipToggleButtonEx* fit_ = nullptr;
    CGdipButton* focusButton_ = nullptr;
    CGdipButton* maskButton_ = nullptr;
    CGdipButton* peakButton_ = nullptr;
    CGdipButton* gridButton_ = nullptr;
    CGdipButton* rightButton_ = nullptr;
    CGdipButton* leftButton_ = nullptr;
    CStaticCombo* gridList_ = nullptr;
    CStaticCombo* peakList_ = nullptr;

    bool running_ = true;
    bool peaking_ = false;
    bool liveOffSent_ = false;
    bool interactive_ = true;
    int keyColumn_ = 1, keyRow_ = 1;
    Point selected_{1, 1};
    Point marker_{-1, -1};
    int holdCount_ = 5;
    bool dragging_ = false;
    QRect hit_;
    bool firstFrameShown_ = false;
};

}  // namespace kvx::liveview
