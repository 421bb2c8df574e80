// CCameraSession: one camera session for every front end (the window, the
// command line, tests). It owns the engine, the picture transfer, the
// detector, the settings model and the message glue, and wires them the same
// way for all of them, so that a front end adds only what is its own:
// widgets or argument parsing, output, exit codes.
//
// Thread contract
// ---------------
// The session has one *front-end thread*: the thread that constructs it and
// plays the window thread (the Qt window thread, the command line's main
// loop, a test's body). Everything below is called on that thread unless it
// says "any thread":
//   - construction and destruction, Start, Stop, Close, HandleDeviceEvent,
//     HandleMessage, Tick, DismissNotice, Dispatcher, Camera and CameraLine
//     (the model belongs to this thread);
//   - QueueCommand and the state queries (Linked, ThreadRunning,
//     CameraState, PendingPictures, Closed, QuitCode, NoticeOpen,
//     SettingsComplete, GroupSeen, StatusText) may be called from any
//     thread; each answers at once from an atomic or under a leaf lock.
// Every ISessionFrontEnd callback runs on the front-end thread, from inside
// HandleMessage, Tick, Start, Stop, Close or HandleDeviceEvent, and never
// while the session holds a lock: a callback may call back into the session.
//
// The communication thread and the device watcher never call the front end:
// what they have to say is posted through the message port (a picture
// finished, progress, a notice to show, the camera line, a device change) and
// reaches the front end when the front end hands that message to
// HandleMessage. The front end therefore has to deliver every message its
// port takes for the main window target to HandleMessage, in order; messages
// for other targets may go to their windows directly (HandleMessage hands
// them to OnWindowMessage).
//
// Front ends:
//   - the command line lets the session own a QueuedMessagePort (OwnPort())
//     and drains it on its main loop: Take/Drain, HandleMessage each, Tick;
//   - the window supplies its own IMessagePort, which posts each message as
//     a Qt event to its target and calls HandleMessage on the window thread,
//     and calls Tick from a timer (every 100 ms is plenty).
//
// Blocking: Start and Stop block the front-end thread as the engine's
// StartCommThread (2 s settle time before the thread starts) and
// StopCommThread (until a running transfer or capture status read ends,
// then at most 3 s for the thread plus 1 s settle time) do; nothing else
// blocks for longer than a lock is held.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "engine/camera_detector.h"
#include "engine/camera_link.h"
#include "engine/device_watcher.h"
#include "engine/engine_message_glue.h"
#include "engine/main_engine.h"
#include "engine/main_window_port.h"
#include "engine/message_port.h"
#include "engine/picture_namer.h"
#include "engine/picture_transfer.h"
#include "engine/queued_message_port.h"
#include "engine/transfer_listener.h"
#include "model/cam_command.h"
#include "model/camera.h"
#include "model/setting_dispatcher.h"

namespace kvx::engine {

// How one picture file ended.
enum class PictureKind {
    Complete,    // read whole and written under its final name
    Incomplete,  // what arrived is kept under the final name plus ".incomplete"
    Failed,      // nothing could be kept (no name could be made, no file written)
};

struct PictureEvent {
    PictureKind kind = PictureKind::Failed;
    std::string cameraName;  // the file's name in the camera; empty for joined parts given up
    std::string path;        // where it is on disk; empty for Failed
    uint64_t size = 0;       // bytes on disk
    std::string error;       // why it is not complete; empty for Complete
};

// The picture being read now.
struct TransferProgress {
    std::string cameraName;
    uint64_t bytesDone = 0;
    uint64_t bytesTotal = 0;
    int pendingPictures = 0;  // pictures the camera still holds for this computer
};

// What the session needs its front end to do. Every method has an empty
// default, so a front end overrides only what it shows. All are called on
// the front-end thread (see the thread contract above).
class ISessionFrontEnd {
public:
    virtual ~ISessionFrontEnd() = default;

    // The notice box: show `text` (string `stringId`) with an auto-close
    // time in ms (0 = none). The session closes it on its own when the time
    // runs out and no picture is pending, or when the engine asks; a front
    // end whose user closes it calls CCameraSession::DismissNotice().
    virtual void OnNotice(int /*stringId*/, const std::string& /*text*/, uint32_t /*autoCloseMs*/) {
    }
    virtual void OnNoticeClosed() {}
    // The program has to end with this exit code (only other cameras attached).
    virtual void OnQuit(int /*exitCode*/) {}
    // The session closed for real (a close request was carried out).
    virtual void OnClosed() {}

    virtual void OnStatusLine(const StatusLine& /*status*/) {}
    virtual void OnCameraLine(const std::string& /*text*/) {}
    virtual void OnStatusLinesCleared() {}
    virtual void OnLinkChanged(bool /*linked*/) {}
    virtual void OnControlsEnabled(bool /*enabled*/) {}
    virtual void OnDisplayReset() {}
    // New link: panels clear and rebuild their lists.
    virtual void OnPanelsReset() {}
    // A record was merged into the model and dispatched (its WM_USER message).
    virtual void OnSettingsUpdated(uint32_t /*message*/) {}

    // A capture ended with this capture status code (0x8002 or 0x6001..0x6005).
    virtual void OnCaptureResult(uint32_t /*code*/) {}
    // Each finished picture file exactly once, in the order they finished.
    virtual void OnPictureFinished(const PictureEvent& /*event*/) {}
    virtual void OnTransferProgress(const TransferProgress& /*progress*/) {}

    // A message for a target other than the main window, or one the session
    // does not handle itself.
    virtual void OnWindowMessage(const PostedMessage& /*message*/) {}
};

class CCameraSession final : private IMainWindow, private IDetectorHost, private ITransferListener {
public:
    struct Options {
        NamingOptions naming;
        // Watch the device folder and USB for cameras coming and going.
        bool watchDevices = true;
        // The camera link; null: the session owns a library-backed one.
        ICameraLink* link = nullptr;
        // The engine's fixed waits this front end leaves out (main_engine.h);
        // skipStartWait applies to the start of Start() only, a camera
        // arriving later gets its 2 s.
        CMainEngine::QuickWaits quickWaits;
    };

    // port: the front end's message port; null: the session owns a
    // QueuedMessagePort with the main window registered (OwnPort()).
    CCameraSession(ISessionFrontEnd& frontEnd, Options options, IMessagePort* port = nullptr);
    ~CCameraSession() override;
    CCameraSession(const CCameraSession&) = delete;
    CCameraSession& operator=(const CCameraSession&) = delete;

    // ---- life (front-end thread) ----
    // The camera search of the program's start: starts the communication
    // thread when a camera of ours is attached.
    CCameraDetector::SearchResult Start();
    // Stops the device watcher and the communication thread (idempotent).
    void Stop();
    // The user closes the front end: closes now, or defers until the
    // pictures still in the camera are downloaded.
    CCameraDetector::CloseOutcome Close();
    // A device arrival or removal, for a front end that watches devices
    // itself (Options::watchDevices false).
    void HandleDeviceEvent(const DeviceEvent& event);

    // ---- the message loop (front-end thread) ----
    // Handles one message the port delivered.
    void HandleMessage(const PostedMessage& message);
    // Delivers what is waiting, closes a notice whose time ran out and tells
    // of a change of the link state.
    void Tick();
    // The user closed the notice box.
    void DismissNotice();
    // The front end's own notice of the close path (the low-battery message):
    // the same box as the engine's notices, so the engine waits for it the
    // same way before it ends the program. Nothing when a box is open.
    void PostNotice(int stringId, uint32_t autoCloseMs) { ShowMessageBox(stringId, autoCloseMs); }

    // New naming and storage choices (the preferences changed, or a command
    // line's next command has its own destination); they apply from the
    // next picture on. Any thread.
    void SetNamingOptions(const NamingOptions& naming);

    // ---- commands (any thread) ----
    bool QueueCommand(const tag_CAM_COMMAND& command) { return engine_.QueueCommand(command); }

    // ---- panels (front-end thread) ----
    // The panels and dialogs register with the dispatcher.
    VARNO::CSettingDispatcher& Dispatcher() { return glue_.Dispatcher(); }
    VARNO::CCamera& Camera() { return camera_; }
    const VARNO::CCamera& Camera() const { return camera_; }
    uint8_t LiveViewAspect() const { return glue_.LiveViewAspect(); }

    // The camera link the session talks through (the live view step fetches
    // its frames on it).
    ICameraLink& Link() { return link_; }

    // The engine, for its own queries (protocol version, queued commands);
    // its thread contract is its own (main_engine.h).
    CMainEngine& Engine() { return engine_; }
    const CMainEngine& Engine() const { return engine_; }

    // ---- state (any thread; values may change right after) ----
    bool Linked() const { return engine_.LinkReady(); }
    bool ThreadRunning() const { return engine_.ThreadRunning(); }
    int CameraState() const { return engine_.CameraState(); }
    int PendingPictures() { return transfer_.PendingPictureCount(); }
    // Pictures delivered whole by the camera but not written whole here,
    // left in the camera instead of cleared from it.
    int PicturesLeftOnCamera() const { return transfer_.PicturesLeftOnCamera(); }
    bool Closed() const { return closed_.load(); }
    std::optional<int> QuitCode() const;
    bool NoticeOpen() const { return boxOpen_.load(); }
    // Every data group and a settable-info record of this link have been
    // merged into the model.
    bool SettingsComplete() const;
    bool GroupSeen(int group) const;
    // Front-end thread: "Camera: <name>(<focal>)" of the link; empty
    // without one.
    std::string CameraLine() const;
    std::string StatusText() const;

    // The session's own queued port; null when the front end supplied one.
    QueuedMessagePort* OwnPort() { return ownPort_.get(); }

private:
    // The engine's port: answers for the notice box itself and forwards the
    // rest to the front end's port.
    class NoticeRoutingPort final : public IMessagePort {
    public:
        NoticeRoutingPort(CCameraSession& session) : session_(session) {}
        bool Post(int target, uint32_t message, uintptr_t wParam, intptr_t lParam) override;
        bool Exists(int target) const override;

    private:
        CCameraSession& session_;
    };

    // ---- IMainWindow (any thread: answers at once or only posts) ----
    bool HasWindowHandle() const override { return !closed_.load(); }
    bool IsMessageBoxOpen() const override { return boxOpen_.load(); }
    uint32_t MessageBoxAutoCloseMs() const override { return boxAutoCloseMs_.load(); }
    void ShowMessageBox(int stringId, uint32_t autoCloseMs) override;
    void EnableControls(bool enabled) override;
    void ClearStatusLines() override;
    void ShowCameraLine(const std::string& cameraName) override;
    void ResetDisplay() override;
    void ResetPanelsForNewLink() override;

    // ---- IDetectorHost (front-end thread) ----
    bool StartCommThread() override { return engine_.StartCommThread(); }
    bool StopCommThread() override { return engine_.StopCommThread(); }
    bool LinkReady() const override { return engine_.LinkReady(); }
    void SetDeviceChangeFlag(bool on) override { engine_.SetDeviceChangeFlag(on); }
    void ClearCaptureStatusTable() override { transfer_.ClearCaptureStatusTable(); }
    void DisableControls() override { frontEnd_.OnControlsEnabled(false); }
    void PostQuit(int exitCode) override;
    int PendingPictureCount() override { return transfer_.PendingPictureCount(); }
    int CommState() const override { return engine_.CommState(); }
    int CloseRequest() const override { return engine_.CloseRequest(); }
    void SetCloseRequest(int reason) override { engine_.SetCloseRequest(reason); }
    void ShowNotice(const CloseNotice& notice) override;
    void CloseForReal() override;

    // ---- ITransferListener (communication thread) ----
    void OnFileFinished(const std::string& cameraName, const std::string& path,
                        bool complete) override;
    void OnPictureProgress(const std::string& cameraName, uint64_t bytesDone,
                           uint64_t bytesTotal) override;

    void Wake(uint32_t message, uintptr_t wParam = 0, intptr_t lParam = 0);
    void DeliverMail();
    void CloseNoticeBox(bool tellEngine);
    void CheckLink();
    void OnStateChanged();
    void ShowCameraLineNow();

    ISessionFrontEnd& frontEnd_;
    Options options_;
    std::unique_ptr<ICameraLink> ownLink_;
    ICameraLink& link_;
    std::unique_ptr<QueuedMessagePort> ownPort_;
    IMessagePort& frontPort_;
    NoticeRoutingPort enginePort_;
    VARNO::CCamera camera_;
    CMainEngine engine_;
    CPictureTransfer transfer_;
    CEngineMessageGlue glue_;
    CCameraDetector detector_;
    DeviceWatcher watcher_;

    // Leaf lock: taken by the watcher, the communication thread and the
    // front-end thread; nothing is called while it is held.
    mutable std::mutex mailLock_;
    std::deque<PictureEvent> pictures_;         // guarded by mailLock_
    std::optional<TransferProgress> progress_;  // guarded by mailLock_
    std::deque<DeviceEvent> deviceEvents_;      // guarded by mailLock_
    std::string cameraName_;                    // guarded by mailLock_
    std::string statusText_;                    // guarded by mailLock_
    std::optional<int> quitCode_;               // guarded by mailLock_

    // Set on the front-end thread, read anywhere.
    std::array<std::atomic<bool>, 7> groupSeen_{};
    std::atomic<bool> settableSeen_{false};
    // Front-end thread only.
    bool wasLinked_ = false;
    bool stopped_ = false;

    std::atomic<bool> closed_{false};
    std::atomic<bool> boxOpen_{false};
    std::atomic<uint32_t> boxAutoCloseMs_{0};
    std::atomic<uint32_t> boxOpenedAt_{0};
};

}  // namespace kvx::engine
