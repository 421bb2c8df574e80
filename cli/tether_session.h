// One kvx-tether run against the camera: the engine, the picture transfer,
// the settings model and the detection wired together as the main window
// wires them, with this thread playing the window thread. Pump() is the
// message loop: it drains what the engine posted and the device watcher's
// events, merges camera records into the model and keeps the notice box.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "engine/app_settings.h"
#include "engine/camera_detector.h"
#include "engine/library_camera_link.h"
#include "engine/device_watcher.h"
#include "engine/main_engine.h"
#include "engine/picture_namer.h"
#include "engine/picture_transfer.h"
#include "engine/queued_message_port.h"
#include "model/camera.h"

namespace kvx::cli {

// Exit statuses of kvx-tether.
enum ExitStatus : int {
    kExitOk = 0,
    kExitOnlyOtherModel = 1,  // low byte of 0x8001: only model code 110 cameras attached
    kExitUsage = 2,
    kExitNoCamera = 3,
    kExitLinkFailed = 4,
    kExitTransferFailed = 5,
    kExitSettingRefused = 6,
    kExitReleaseFailed = 7,  // the camera reported a failed release
    kExitInterrupted = 8,    // capture: stopped by a signal before every release was made
};

class CTetherSession final : public engine::IMainWindow, public engine::IDetectorHost {
public:
    struct Options {
        engine::NamingOptions naming;
        bool watchDevices = true;
        // Lines the user sees (notices, progress); default: stderr.
        std::function<void(const std::string&)> note;
    };

    explicit CTetherSession(Options options);
    ~CTetherSession() override;

    enum class LinkOutcome { Linked, NoCamera, OnlyOtherModel, LinkFailed };
    // Runs the camera search and waits, pumping, until the link is ready and
    // every setting record has been merged, or the wait ends.
    LinkOutcome Connect(uint32_t timeoutMs);
    // Pumps until every data group and a settable-info record have arrived.
    bool WaitForSettings(uint32_t timeoutMs);

    // One turn of the message loop: waits up to timeoutMs for a message.
    void Pump(uint32_t timeoutMs);
    // Pumps until done() or the time is up; true when done() held.
    bool PumpUntil(const std::function<bool()>& done, uint32_t timeoutMs);

    // Stops the communication thread and the device watcher (idempotent).
    void Shutdown();

    // What happened so far.
    bool Linked() const { return engine_.LinkReady(); }
    bool ThreadRunning() const { return engine_.ThreadRunning(); }
    bool QuitPosted() const { return quitCode_.has_value(); }
    bool GroupSeen(int group) const { return groupSeen_[group].load(); }
    int CameraState() const { return engine_.CameraState(); }
    // Capture results (WM_USER+106 codes) in arrival order, taken out.
    std::vector<uint32_t> TakeCaptureResults();
    // Picture files finished since the last call, each once.
    std::vector<engine::CPictureTransfer::FileResult> TakeFinishedFiles();
    int PendingPictures() { return transfer_.PendingPictureCount(); }
    std::string StatusText() const { return statusText_; }
    std::string CameraLine() const;

    VARNO::CCamera& Camera() { return camera_; }
    engine::CMainEngine& Engine() { return engine_; }
    engine::CCameraDetector& Detector() { return detector_; }

    // ---- IMainWindow (any thread) ----
    bool HasWindowHandle() const override { return !closed_.load(); }
    bool IsMessageBoxOpen() const override { return boxOpen_.load(); }
    uint32_t MessageBoxAutoCloseMs() const override { return boxAutoCloseMs_.load(); }
    void ShowMessageBox(int stringId, uint32_t autoCloseMs) override;
    void EnableControls(bool) override {}
    void ClearStatusLines() override;
    void ShowCameraLine(const std::string& cameraName) override;
    void ResetDisplay() override {}
    void ResetPanelsForNewLink() override;

    // ---- IDetectorHost (this thread) ----
    bool StartCommThread() override { return engine_.StartCommThread(); }
    bool StopCommThread() override { return engine_.StopCommThread(); }
    bool LinkReady() const override { return engine_.LinkReady(); }
    void SetDeviceChangeFlag(bool on) override { engine_.SetDeviceChangeFlag(on); }
    void ClearCaptureStatusTable() override { transfer_.ClearCaptureStatusTable(); }
    void DisableControls() override {}
    void PostQuit(int exitCode) override { quitCode_ = exitCode; }
    int PendingPictureCount() override { return transfer_.PendingPictureCount(); }
    int CommState() const override { return engine_.CommState(); }
    int CloseRequest() const override { return engine_.CloseRequest(); }
    void SetCloseRequest(int reason) override { engine_.SetCloseRequest(reason); }
    void ShowNotice(const engine::CloseNotice& notice) override;
    void CloseForReal() override;
    bool Closed() const { return closed_.load(); }

private:
    void OnMessage(const engine::PostedMessage& m);
    void OnDeviceEvent(const engine::DeviceEvent& e);
    void TickMessageBox();
    void CloseMessageBox();
    void CollectFiles();
    void Note(const std::string& line);

    Options options_;
    engine::LibraryCameraLink link_;
    engine::QueuedMessagePort port_;
    VARNO::CCamera camera_;
    engine::CMainEngine engine_;
    engine::CPictureTransfer transfer_;
    engine::CCameraDetector detector_;
    engine::DeviceWatcher watcher_;

    std::mutex deviceLock_;
    std::deque<engine::DeviceEvent> deviceEvents_;

    std::atomic<bool> groupSeen_[7] = {};
    std::atomic<bool> settableSeen_{false};
    std::optional<int> quitCode_;
    std::atomic<bool> closed_{false};
    bool shutDown_ = false;

    std::atomic<bool> boxOpen_{false};
    std::atomic<uint32_t> boxAutoCloseMs_{0};
    std::atomic<uint32_t> boxOpenedAt_{0};

    mutable std::mutex textLock_;
    std::string cameraName_;
    std::string statusText_;

    std::vector<uint32_t> captureResults_;
    std::set<std::string> filesSeen_;
    std::vector<engine::CPictureTransfer::FileResult> filesNew_;
};

}  // namespace kvx::cli
