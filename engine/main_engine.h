// CMainEngine: the non-window half of the main window. It owns the command
// queue, the communication thread and its state, the protocol version and
// the link flags, fetches the camera's records into the settings model and
// tells the windows through the message port. Log lines carry the main
// window's method names, as the rest of the program's log does.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "engine/camera_link.h"
#include "engine/capture_steps.h"
#include "engine/live_view_step.h"
#include "engine/main_window_port.h"
#include "engine/message_port.h"
#include "engine/setting_sender.h"
#include "engine/status_records.h"
#include "engine/transfer_host.h"
#include "model/cam_command.h"
#include "platform/event.h"

namespace VARNO {
class CCamera;
}

namespace kvx::engine {

// Close request reasons (-1 none).
enum CloseReason : int {
    kCloseNone = -1,
    kCloseNotSupported = 0,
    kCloseBatteryLow = 1,
    kClosePicturesPending = 2,
    kCloseNewerProtocol = 4,
};

// Status overrides of the status line (0 none).
enum StatusOverride : int {
    kOverrideNone = 0,
    kOverrideCardFull = 10,
    kOverrideNoFocus = 11,
    kOverrideAutofocus = 12,
};

// The notice texts the engine shows.
constexpr int kStringNotSupported = 10203;
constexpr int kStringNeedsNewerProgram = 10204;

// Locks of the program, and the one order they are taken in:
//
//   1. AppLock(): the application lock. It is the log's re-entrant lock
//      (every WriteLog takes it), so it is the outermost lock of all: code
//      may log while holding it, and nothing that holds another lock may
//      take it, which also means nothing logs while holding a lower lock.
//   2. DeviceWatcher's deliverMutex_: held while its callback runs; the
//      callback takes only leaf locks.
//   3. Leaf locks: nothing else is taken while one is held (no call out, no
//      log line). CMainEngine's configLock_ and noticeLock_, the session's
//      mailLock_, QueuedMessagePort's lock, CPictureTransfer's optionsLock_
//      and resultsLock_, CCaptureStatusTable's lock, VARNO::CCamera's
//      m_receivedLock, kvx::Event's lock and the clock's.
//
// The communication thread never waits on the window thread while it holds
// the application lock, and never calls into a window at all: it posts.
std::recursive_mutex& AppLock();

class CMainEngine : public ITransferHost {
public:
    CMainEngine(ICameraLink& link, IMessagePort& port, IMainWindow& window, VARNO::CCamera& camera);
    ~CMainEngine() override;
    CMainEngine(const CMainEngine&) = delete;
    CMainEngine& operator=(const CMainEngine&) = delete;

    // Wiring, before StartCommThread.
    void SetCaptureSteps(ICaptureSteps* steps) { captureSteps_.store(steps); }
    void SetLiveViewStep(ILiveViewStep* step) { liveView_.store(step); }
    // "InCamera" and "InPC" of the preferences: the capture destination the
    // thread sends whenever its destination-sent flag is clear.
    void SetCaptureDestination(bool inCamera, bool inPC);
    // Fixed waits a front end may leave out. The window keeps them all. A
    // command line that links to a camera attached before it started, and
    // ends the process after the stop, needs none of these three:
    //  - skipStartWait: the 2 s after an arrival, for the next start only
    //    (the camera has long finished arriving);
    //  - skipInitWaitOnSuccess: the 1 s after a link that opened at the
    //    first attempt (the camera has answered the session already; the
    //    1 s between failed attempts stays, a camera still waking needs it);
    //  - skipSettleAfterEnd: the 1 s settle at stop once the thread has
    //    ended its sequence and released the device.
    struct QuickWaits {
        bool skipStartWait = false;
        bool skipInitWaitOnSuccess = false;
        bool skipSettleAfterEnd = false;
    };
    void SetQuickWaits(const QuickWaits& waits);

    // ---- any thread ----
    bool QueueCommand(const tag_CAM_COMMAND& command);
    size_t QueuedCommandCount() const;

    // ---- window thread ----
    // Both are called only from the window thread (the thread that plays it:
    // the Qt window thread, the command line's loop), never from the
    // communication thread, and never while the caller holds AppLock().
    //
    // StartCommThread: false at once when a thread runs or is starting.
    // Otherwise it collects a thread that ended by itself (already done, so
    // no wait), sleeps the 2 s settle time the camera needs after an
    // arrival, resets the model and the panels and starts the thread: it
    // blocks for about 2 s, never longer.
    bool StartCommThread();
    // StopCommThread: clears the window's lines and controls (posted), asks
    // the thread to stop and releases a wait for the notice box at once.
    // A picture being transferred or a capture status being read runs to
    // its end first (bounded by the transfer's own retry and piece budget),
    // then it waits at most 3 s for the thread to end its sequence, 1 s of
    // settle time, and joins it. It never waits for the window thread, so
    // it cannot deadlock on a notice box. Idempotent.
    bool StopCommThread();
    // The notice box closed: a thread waiting for it goes on at once.
    void MessageBoxClosed();

    // ---- communication thread ----
    bool ExecCommand() override;
    bool GetCameraStatus();
    void OnUpdateDataGroup();
    // The 30 ms tick; returns whether the step was due.
    bool UpdateLiveView(bool& keepRunning);

    // Status reads after which the camera had nothing to fetch (no capture
    // status, no picture): once one more has happened, every picture the
    // camera held before has been seen and dealt with. Any thread.
    uint32_t QuietStatusReads() const { return quietStatusReads_.load(); }

    // ---- state ----
    int CommState() const override { return commState_.load(); }
    void SetCommStateIfRunning(int state) override;
    bool IsExtendedCamera() const override { return extended_.load(); }
    void SetExtendedCamera(bool extended) { extended_.store(extended); }
    int ProtocolMajor() const override { return major_.load(); }
    int ProtocolMinor() const { return minor_.load(); }
    uint16_t LastChangeFlags() const override { return changeFlags_.load(); }
    void PostMessage(int target, uint32_t msg, uintptr_t wParam, intptr_t lParam) override;
    bool ActivateAutofocusOverride() override;

    bool ThreadRunning() const { return threadRunning_.load(); }
    bool LinkReady() const { return linkReady_.load(); }
    bool CameraSupported() const { return supported_.load(); }
    int CameraState() const { return cameraState_.load(); }
    // Set while the window thread handles a device change and no link is ready.
    void SetDeviceChangeFlag(bool set) { deviceChange_.store(set); }
    bool DeviceChangeFlag() const { return deviceChange_.load(); }
    int CloseRequest() const { return closeRequest_.load(); }
    void SetCloseRequest(int reason) { closeRequest_.store(reason); }
    int GetStatusOverride() const { return statusOverride_.load(); }
    void SetStatusOverride(int value) { statusOverride_.store(value); }
    bool DestinationSent() const { return destinationSent_.load(); }
    // A capture result arrived (WM_USER+106) or the camera dropped the
    // destination: send it again when the camera is next in state 1.
    void ClearDestinationSent() { destinationSent_.store(false); }
    // The configuration record of the link (53 bytes) and its camera name.
    std::array<uint8_t, kConfigRecordSize> ConfigRecord() const;
    std::string CameraName() const;

    // The process-wide status failure counter.
    static int StatusFailureCount();
    static void ResetStatusFailureCount();

    CSettingSender& Sender() { return sender_; }

private:
    static void TH_StartCameraCommunication(CMainEngine* self);
    void StartCameraCommunication();
    void EndSequence(bool closeApplication);
    // True when the link is ready; on failure code and result are set.
    bool ResetCommStatus(int& errorCode, bool& pollResult);
    void WaitForNoticeBox(uint32_t autoCloseMs);
    void ProcessStatus2(const uint8_t* record, uint32_t size, uint8_t* status);
    void StoreReceived(RecordId id, const uint8_t* bytes, size_t size);
    void ClearReceived();
    void SendCaptureDestination();
    // Sends one command record to the camera (communication thread).
    void SendCommand(const tag_CAM_COMMAND& command);
    void CheckCloseRequest();
    ICaptureSteps* Steps() const { return captureSteps_.load(); }

    ICameraLink& link_;
    IMessagePort& port_;
    IMainWindow& window_;
    VARNO::CCamera& camera_;
    CSettingSender sender_;

    std::atomic<ICaptureSteps*> captureSteps_{nullptr};
    std::atomic<ILiveViewStep*> liveView_{nullptr};

    std::deque<tag_CAM_COMMAND> queue_;  // guarded by AppLock()

    std::thread thread_;
    std::atomic<bool> threadRunning_{false};  // "the thread handle exists"
    std::atomic<bool> starting_{false};
    std::atomic<bool> skipStartWait_{false};
    std::atomic<uint32_t> quietStatusReads_{0};
    std::atomic<bool> skipInitWait_{false};
    std::atomic<bool> skipSettle_{false};
    std::atomic<bool> stopRequested_{false};
    kvx::Event endEvent_{true, false};
    // Leaf lock; guards no field: it orders the wake-up of WaitForNoticeBox
    // (box closed, stopRequested_ set) against its check.
    std::mutex noticeLock_;
    std::condition_variable noticeWake_;

    std::atomic<int> commState_{kCommStopped};
    std::atomic<bool> linkReady_{false};
    std::atomic<bool> deviceChange_{false};
    std::atomic<int> major_{3};
    std::atomic<int> minor_{0};
    std::atomic<bool> supported_{false};
    std::atomic<int> closeRequest_{kCloseNone};
    std::atomic<bool> extended_{false};
    std::atomic<bool> destinationSent_{false};
    std::atomic<int> statusOverride_{kOverrideNone};
    std::atomic<bool> inCamera_{true};
    std::atomic<bool> inPC_{false};

    // The last status record as the thread read it.
    std::atomic<int> cameraState_{0};
    std::atomic<int> previousState_{-1};
    std::atomic<uint16_t> changeFlags_{0};
    std::atomic<uint32_t> pictureBits_{0};

    mutable std::mutex configLock_;                     // leaf lock
    std::array<uint8_t, kConfigRecordSize> config_{};  // guarded by configLock_

    // Tick state; touched by the communication thread only, kept for the
    // whole life of the object.
    bool paceStarted_ = false;
    bool wrapWait_ = false;
    uint32_t nextDue_ = 0;
    uint32_t lastFrame_ = 0;
    uint32_t nextRateReport_ = 0;
    uint32_t framesThisSecond_ = 0;

    // Loop state of the running link (communication thread only).
    bool pollResult_ = true;
    int pollCounter_ = 0;
    int statusReadFailures_ = 0;  // status reads failed in a row
};

}  // namespace kvx::engine
