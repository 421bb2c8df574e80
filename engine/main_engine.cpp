#include "engine/main_engine.h"

#include <chrono>
#include <cstring>

#include "engine/record_checksums.h"
#include "log/write_log.h"
#include "model/camera.h"
#include "model/setting_commands.h"
#include "platform/clock.h"

namespace kvx::engine {

namespace {

// Process-wide, as the status poll counts failures across links.
std::atomic<int> g_statusFailures{0};

constexpr int kInitAttempts = 5;
constexpr uint32_t kInitWaitMs = 1000;
constexpr int kConfigAttempts = 5;
constexpr uint32_t kConfigWaitMs = 300;
constexpr uint32_t kStartWaitMs = 2000;
constexpr uint32_t kStopStepMs = 200;
constexpr uint32_t kEndEventWaitMs = 3000;
constexpr uint32_t kStopSettleMs = 1000;
// Steps of the wait for the thread's end: long enough that the window's
// clock keeps its event loop turning through each.
constexpr uint32_t kEndEventStepMs = 50;
constexpr uint32_t kNoticeAutoCloseMs = 5000;
constexpr uint32_t kTickMs = 30;
constexpr int kMaxStatusFailures = 10;
// A status read that failed is tried again after this wait, not on the next
// 1 ms pass: a camera that died would otherwise be asked (and the failure
// logged) a couple of hundred times a second.
constexpr uint32_t kStatusRetryWaitMs = 300;

using Lock = std::lock_guard<std::recursive_mutex>;

// The settings model numbers groups 1..6 and settable-info versions 1..4.
bool IsDataGroup(RecordId id, int& group) {
    int i = static_cast<int>(id);
    if (i >= static_cast<int>(RecordId::kDataGroup1)) {
        group = i - static_cast<int>(RecordId::kDataGroup1) + 1;
        return true;
    }
    group = i + 1;  // settable-info version
    return false;
}

HResult FetchRecord(ICameraLink& link, RecordId id, uint8_t* out) {
    switch (id) {
        case RecordId::kCanSetInfo:
            return link.GetCanSetInfo(out);
        case RecordId::kCanSetInfo2:
            return link.GetCanSetInfo2(out);
        case RecordId::kCanSetInfo3:
            return link.GetCanSetInfo3(out);
        case RecordId::kCanSetInfo4:
            return link.GetCanSetInfo4(out);
        case RecordId::kDataGroup1:
            return link.GetDataGroup1(out);
        case RecordId::kDataGroup2:
            return link.GetDataGroup2(out);
        case RecordId::kDataGroup3:
            return link.GetDataGroup3(out);
        case RecordId::kDataGroup4:
            return link.GetDataGroup4(out);
        case RecordId::kDataGroup5:
            return link.GetDataGroup5(out);
        case RecordId::kDataGroup6:
            return link.GetDataGroup6(out);
    }
    return static_cast<HResult>(KVX_E_FAIL);
}

}  // namespace

std::recursive_mutex& AppLock() {
    return DeliverableLog().Lock();
}

CMainEngine::CMainEngine(ICameraLink& link, IMessagePort& port, IMainWindow& window,
                         VARNO::CCamera& camera)
    : link_(link), port_(port), window_(window), camera_(camera), sender_(link) {}

CMainEngine::~CMainEngine() {
    // A thread still running would outlive the objects it uses. The windows
    // may already be gone, so stop without touching them.
    stopRequested_.store(true);
    while (commState_.load() == kCommTransfer || commState_.load() == kCommCaptureStatus) {
        kvx::SleepMs(kStopStepMs);
    }
    commState_.store(kCommStopped);
    if (thread_.joinable()) thread_.join();
}

int CMainEngine::StatusFailureCount() {
    return g_statusFailures.load();
}
void CMainEngine::ResetStatusFailureCount() {
    g_statusFailures.store(0);
}

void CMainEngine::SetCaptureDestination(bool inCamera, bool inPC) {
    inCamera_.store(inCamera);
    inPC_.store(inPC);
}

bool CMainEngine::QueueCommand(const tag_CAM_COMMAND& command) {
    Lock lock(AppLock());
    queue_.push_back(command);
    return true;
}

size_t CMainEngine::QueuedCommandCount() const {
    Lock lock(AppLock());
    return queue_.size();
}

void CMainEngine::SetCommStateIfRunning(int state) {
    // The application lock orders this against the stop and the status
    // poll's own move, so a kCommStopped is never overwritten.
    Lock lock(AppLock());
    if (commState_.load() == kCommStopped) return;
    // Once a stop is asked for, no new capture status read or transfer
    // begins: the step under way ends, and the thread stops after it
    // instead of starting on the next picture (or the next part of one).
    if (stopRequested_.load() && (state == kCommTransfer || state == kCommCaptureStatus)) return;
    commState_.store(state);
}

void CMainEngine::PostMessage(int target, uint32_t msg, uintptr_t wParam, intptr_t lParam) {
    port_.Post(target, msg, wParam, lParam);
}

bool CMainEngine::ActivateAutofocusOverride() {
    int expected = kOverrideNone;
    if (!statusOverride_.compare_exchange_strong(expected, kOverrideAutofocus)) return false;
    port_.Post(kTargetMainWindow, kMsgCameraStateChanged, 0, 0);
    return true;
}

std::array<uint8_t, kConfigRecordSize> CMainEngine::ConfigRecord() const {
    std::lock_guard guard(configLock_);
    return config_;
}

std::string CMainEngine::CameraName() const {
    auto config = ConfigRecord();
    return ReadCameraName(config.data());
}

// ---------------------------------------------------------------------------
// Start and stop (window thread)

bool CMainEngine::StartCommThread() {
    WriteLog(4, "enter %s", "CMainDlg::StartCommThread");
    if (threadRunning_.load() || starting_.load()) {
        WriteLog(4, "+++ Already Camera thread kicked at %s +++", "CMainDlg::StartCommThread");
        return false;
    }
    {
        Lock lock(AppLock());
        starting_.store(true);
        camera_.SetDataGroup4Seen(false);
    }
    // A link that ended by itself leaves its finished thread to collect.
    if (thread_.joinable()) thread_.join();
    if (!skipStartWait_.exchange(false)) kvx::SleepMs(kStartWaitMs);

    camera_.Clear();
    window_.ResetPanelsForNewLink();
    window_.EnableControls(true);

    stopRequested_.store(false);
    endEvent_.Reset();
    commState_.store(kCommPolling);
    threadRunning_.store(true);
    thread_ = std::thread(&CMainEngine::TH_StartCameraCommunication, this);

    {
        Lock lock(AppLock());
        starting_.store(false);
    }
    return true;
}

void CMainEngine::SetQuickWaits(const QuickWaits& waits) {
    skipStartWait_.store(waits.skipStartWait);
    skipInitWait_.store(waits.skipInitWaitOnSuccess);
    skipSettle_.store(waits.skipSettleAfterEnd);
}

bool CMainEngine::StopCommThread() {
    WriteLog(4, "enter %s", "CMainDlg::StopCommThread");
    window_.ClearStatusLines();
    window_.EnableControls(false);
    window_.ResetDisplay();

    if (threadRunning_.load()) {
        {
            std::lock_guard guard(noticeLock_);
            stopRequested_.store(true);
        }
        noticeWake_.notify_all();
        // A transfer or capture status read runs to its end first.
        while (commState_.load() == kCommTransfer || commState_.load() == kCommCaptureStatus) {
            kvx::SleepMs(kStopStepMs);
        }
        commState_.store(kCommStopped);
        // The thread may be inside a camera read; on the window thread a
        // plain wait for it would freeze the window until the read ends, so
        // wait in steps of the clock, which keep the window turning.
        const uint32_t endWaitStart = kvx::NowMs();
        bool ended = endEvent_.Wait(0);
        while (!ended && kvx::NowMs() - endWaitStart < kEndEventWaitMs) {
            kvx::SleepMs(kEndEventStepMs);
            ended = endEvent_.Wait(0);
        }
        if (!(ended && skipSettle_.load())) kvx::SleepMs(kStopSettleMs);
    }
    // Collect the thread so that it never outlives the link it used; the
    // thread itself never gets here (it would wait for itself).
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) {
        commState_.store(kCommStopped);
        thread_.join();
    }
    threadRunning_.store(false);
    linkReady_.store(false);
    return true;
}

// ---------------------------------------------------------------------------
// The communication thread

void CMainEngine::TH_StartCameraCommunication(CMainEngine* self) {
    WriteLog(4, "&&& enter %s &&&", "TH_StartCameraCommunication");
    self->StartCameraCommunication();
    WriteLog(4, "&&& exit %s &&&", "TH_StartCameraCommunication");
}

void CMainEngine::StartCameraCommunication() {
    destinationSent_.store(true);
    if (ILiveViewStep* lv = liveView_.load()) lv->OnCommunicationStart();
    pollCounter_ = 0;
    pollResult_ = true;
    statusReadFailures_ = 0;

    HResult hr = -1;
    for (int attempt = 0; attempt < kInitAttempts; ++attempt) {
        hr = link_.InitPTPMode();
        if (!(hr == 0 && skipInitWait_.load())) kvx::SleepMs(kInitWaitMs);
        if (hr == 0) break;
        if (stopRequested_.load()) break;
    }
    if (hr != 0) {
        WriteLog(1, "+++ error code = %d at %s +++", 1, "CMainDlg::StartCameraCommunication");
        window_.EnableControls(false);
        commState_.store(kCommStopped);
        EndSequence(false);
        return;
    }

    if (port_.Exists(kTargetLiveView)) port_.Post(kTargetLiveView, kMsgLiveViewAvailable, 1, 0);

    while (commState_.load() != kCommStopped) {
        switch (commState_.load()) {
            case kCommPolling: {
                bool keepRunning = true;
                bool due = UpdateLiveView(keepRunning);
                if (!keepRunning) pollResult_ = false;
                if (!pollResult_) {
                    // A failed live view fetch ends the link, whatever the poll counter says.
                    commState_.store(kCommStopped);
                } else if (pollCounter_ > 3) {
                    pollResult_ = GetCameraStatus();
                    if (!pollResult_) commState_.store(kCommStopped);
                    if (pollResult_ && commState_.load() == kCommPolling) quietStatusReads_++;
                    pollCounter_ = 0;
                } else if (due) {
                    ++pollCounter_;
                }
                break;
            }
            case kCommFetchRecords:
                if (major_.load() < 4) {
                    OnUpdateDataGroup();
                } else {
                    // Records of a protocol 4 camera come inside its status; never stay here.
                    SetCommStateIfRunning(kCommPolling);
                }
                break;
            case kCommTransfer:
                if (ICaptureSteps* steps = Steps()) {
                    steps->GetPictFileInfo();
                } else {
                    SetCommStateIfRunning(kCommPolling);
                }
                break;
            case kCommCaptureStatus:
                if (ICaptureSteps* steps = Steps()) {
                    steps->OnUpdateCaptureStatus();
                } else {
                    SetCommStateIfRunning(kCommPolling);
                }
                break;
            default:
                SetCommStateIfRunning(kCommPolling);
                break;
        }

        if (cameraState_.load() == 1 && !destinationSent_.load()) SendCaptureDestination();
        CheckCloseRequest();
        ExecCommand();
    }
    if (ICaptureSteps* steps = Steps()) steps->OnLinkEnded();
    EndSequence(extended_.load());
}

void CMainEngine::SendCaptureDestination() {
    SendCommand(VARNO::MakeCaptureDestinationCommand(inCamera_.load(), inPC_.load()));
    destinationSent_.store(true);
}

void CMainEngine::CheckCloseRequest() {
    int reason = closeRequest_.load();
    if (reason != kCloseNotSupported && reason != kCloseBatteryLow &&
        reason != kClosePicturesPending)
        return;
    ICaptureSteps* steps = Steps();
    int pending = steps ? steps->PendingPictureCount() : 0;
    int state = commState_.load();
    if (pending > 0 && state != kCommStopped) return;
    bool boxOpen = window_.IsMessageBoxOpen();
    if (boxOpen && window_.MessageBoxAutoCloseMs() > 0 && state != kCommStopped) return;
    if (boxOpen) port_.Post(kTargetMessageBox, kWmClose, 0, 0);
    closeRequest_.store(kCloseNone);
    port_.Post(kTargetMainWindow, kWmClose, 0, 0);
}

void CMainEngine::EndSequence(bool closeApplication) {
    if (port_.Exists(kTargetLiveView)) port_.Post(kTargetLiveView, kMsgLiveViewAvailable, 0, 0);
    if (closeApplication) link_.CloseApplication();
    {
        Lock lock(AppLock());
        link_.ReleaseDevInfo();
    }
    linkReady_.store(false);
    threadRunning_.store(false);
    endEvent_.Set();
}

// ---------------------------------------------------------------------------
// Tick

bool CMainEngine::UpdateLiveView(bool& keepRunning) {
    keepRunning = true;
    uint32_t now = kvx::NowMs();
    if (!paceStarted_) {
        nextDue_ = now + kTickMs;
        lastFrame_ = now;
        nextRateReport_ = now + 1000;
        paceStarted_ = true;
    }
    bool due = false;
    // Compared as a signed distance, so a due time just past the counter's
    // wrap still reads as "later" rather than as long overdue.
    if (static_cast<int32_t>(nextDue_ - now) > 0) {
        kvx::SleepMs(1);
        wrapWait_ = false;
    } else if (!wrapWait_) {
        due = true;
        nextDue_ = now + kTickMs;
        if (nextDue_ < now) wrapWait_ = true;
    } else {
        // Waiting for the counter to wrap past the next step: still yield.
        kvx::SleepMs(1);
    }

    ILiveViewStep* lv = liveView_.load();
    if (lv == nullptr || !port_.Exists(kTargetLiveView) || major_.load() < 4) return true;
    if (due) {
        ++framesThisSecond_;
        lastFrame_ = now;
        if (lv->GetLiveViewFrame() == -1) keepRunning = false;
    }
    if (static_cast<int32_t>(now - nextRateReport_) > 0) {
        WriteLog(4, "--- fps=%d", static_cast<int>(framesThisSecond_));
        framesThisSecond_ = 0;
        nextRateReport_ = now + 1000;
    }
    return due;
}

// ---------------------------------------------------------------------------
// Status poll

void CMainEngine::StoreReceived(RecordId id, const uint8_t* bytes, size_t size) {
    int number = 0;
    if (IsDataGroup(id, number)) {
        camera_.StoreReceivedDataGroup(number, bytes, size);
    } else {
        camera_.StoreReceivedCanSetInfo(number, bytes, size);
    }
}

void CMainEngine::ClearReceived() {
    uint8_t zeros[kLargestRecord] = {};
    for (const auto& r : kRecordFetchOrder) StoreReceived(r.id, zeros, 0);
    {
        std::lock_guard guard(configLock_);
        config_.fill(0);
    }
    cameraState_.store(0);
    previousState_.store(-1);
    changeFlags_.store(0);
    pictureBits_.store(0);
    extended_.store(false);
    camera_.SetDataGroup4Seen(false);
}

void CMainEngine::WaitForNoticeBox(uint32_t autoCloseMs) {
    // The box tells the user why the program is about to close; give it its
    // time before the close request is acted on, unless a stop comes first.
    // The box lives on the window thread: this thread never calls into it,
    // it waits on a condition that the box closing and StopCommThread both
    // release, so a close can never wait for a box that waits for the close.
    uint32_t start = kvx::NowMs();
    std::unique_lock lock(noticeLock_);
    while (window_.IsMessageBoxOpen() && !stopRequested_.load() &&
           kvx::NowMs() - start < autoCloseMs) {
        // The time limit runs on the program's clock, so wake now and then
        // to look at it.
        noticeWake_.wait_for(lock, std::chrono::milliseconds(20));
    }
}

void CMainEngine::MessageBoxClosed() {
    { std::lock_guard guard(noticeLock_); }
    noticeWake_.notify_all();
}

bool CMainEngine::ResetCommStatus(int& errorCode, bool& pollResult) {
    uint8_t config[kConfigRecordSize] = {};
    bool read = false;
    for (int attempt = 0; attempt < kConfigAttempts; ++attempt) {
        WriteLog(2, "enter %s", "CMainDlg::ResetCommStatus");
        major_.store(3);
        minor_.store(0);
        ClearReceived();
        if (ICaptureSteps* steps = Steps()) steps->ClearLastCaptureStatus();
        std::memset(config, 0, sizeof config);
        HResult hr = link_.GetCamConfigEx(config);
        if (hr != 0) {
            WriteLog(1, "+++ Could not Get CamConfig hr=0x%x at %s +++", static_cast<unsigned>(hr),
                     "CMainDlg::GetCameraStatus");
            kvx::SleepMs(kConfigWaitMs);
            continue;
        }
        CheckConfigRecord(config, kConfigRecordSize);
        ProtocolVersion v = ReadProtocolVersion(config);
        major_.store(v.major);
        minor_.store(v.minor);
        read = true;
        break;
    }
    if (!read) {
        ++g_statusFailures;
        pollResult = false;
        closeRequest_.store(kCloseNotSupported);
        if (!window_.IsMessageBoxOpen()) {
            window_.ShowMessageBox(kStringNotSupported, kNoticeAutoCloseMs);
            WaitForNoticeBox(kNoticeAutoCloseMs);
        }
        window_.EnableControls(false);
        errorCode = 4;
        return false;
    }

    {
        std::lock_guard guard(configLock_);
        std::memcpy(config_.data(), config, kConfigRecordSize);
    }
    ProtocolVersion v{static_cast<uint16_t>(major_.load()), static_cast<uint16_t>(minor_.load())};
    supported_.store(IsProtocolSupported(v));
    if (!supported_.load()) {
        pollResult = false;
        closeRequest_.store(kCloseNewerProtocol);
        if (!window_.IsMessageBoxOpen())
            window_.ShowMessageBox(kStringNeedsNewerProgram, kNoticeAutoCloseMs);
        window_.EnableControls(false);
        errorCode = 5;
        return false;
    }

    window_.ShowCameraLine(ReadCameraName(config));
    changeFlags_.store(kChangeFlagsAtLink);
    OnUpdateDataGroup();
    if (ILiveViewStep* lv = liveView_.load(); lv != nullptr && port_.Exists(kTargetLiveView)) {
        lv->RefreshAfterLink();
    }
    linkReady_.store(true);
    return true;
}

void CMainEngine::ProcessStatus2(const uint8_t* record, uint32_t size, uint8_t* status) {
    UnpackedStatus2 u = UnpackStatusRecord2(record, size);
    for (const auto& r : u.records) {
        StoreReceived(r.id, r.bytes.data(), Info(r.id).size);
        port_.Post(kTargetMainWindow, Info(r.id).message, 0, 0);
    }
    if (u.picturesChanged) {
        if (ICaptureSteps* steps = Steps()) {
            steps->SetPictureIdList(u.pictureIds.data(), static_cast<int>(u.pictureIds.size()));
        }
    }
    std::memcpy(status, u.status, kStatusRecordSize);
}

bool CMainEngine::GetCameraStatus() {
    bool pollResult = true;
    int errorCode = 0;
    do {
        if (deviceChange_.load()) {
            ++g_statusFailures;
            errorCode = 1;
            break;
        }
        if (g_statusFailures.load() > kMaxStatusFailures) {
            commState_.store(kCommStopped);
            g_statusFailures.store(0);
            errorCode = 2;
            break;
        }
        if (!linkReady_.load() && commState_.load() != kCommStopped) {
            if (!ResetCommStatus(errorCode, pollResult)) break;
        }

        uint8_t status[kStatusRecordSize] = {};
        if (major_.load() >= 4) {
            std::vector<uint8_t> record(kStatusRecord2Size, 0);
            uint32_t size = 0;
            HResult hr = link_.GetCamStatus2(record.data(), &size);
            if (hr != 0) {
                WriteLog(1, "+++ Could not Get GetCamStatus2 hr=0x%x at %s +++",
                         static_cast<unsigned>(hr), "CMainDlg::GetCameraStatus");
                errorCode = 51;
                break;
            }
            ProcessStatus2(record.data(), size, status);
        } else {
            HResult hr = link_.GetCamStatus(status);
            if (hr != 0) {
                WriteLog(1, "+++ Could not Get GetCamStatus hr=0x%x at %s +++",
                         static_cast<unsigned>(hr), "CMainDlg::GetCameraStatus");
                errorCode = 50;
                break;
            }
        }
        CheckStatusRecord(status, kStatusRecordSize);

        CameraStatus s = ParseCameraStatus(status);
        cameraState_.store(s.state);
        changeFlags_.store(s.changeFlags);
        if (s.state != previousState_.load()) {
            previousState_.store(s.state);
            uintptr_t standby = (s.state == 0 || s.state == 1) ? 1 : 0;
            port_.Post(kTargetMainWindow, kMsgCameraStateChanged, standby, 0);
            if (port_.Exists(kTargetWhiteBalance)) {
                port_.Post(kTargetWhiteBalance, kMsgCameraStateChanged, standby, 0);
            }
        }

        // The state moves only while nobody asked the thread to stop: a 0
        // set by StopCommThread is never overwritten. No call into another
        // part runs under the lock.
        bool toCapture = false;
        bool toFetch = false;
        {
            Lock lock(AppLock());
            if (commState_.load() == kCommStopped) break;
            commState_.store(kCommPolling);
            bool processed = s.state == 0 || s.state == 1 || s.state == 3 || s.state == 5;
            if (!processed) break;
            toCapture = (s.changeFlags & kChangeFlagCaptureStatus) && s.pictureBits != 0;
            toFetch = !toCapture && major_.load() < 4 && s.changeFlags != 0;
        }
        if (toCapture) {
            pictureBits_.store(s.pictureBits);
            if (ICaptureSteps* steps = Steps()) steps->SetPictureBits(s.pictureBits);
            SetCommStateIfRunning(kCommCaptureStatus);
        } else if (toFetch) {
            SetCommStateIfRunning(kCommFetchRecords);
        }
    } while (false);

    if (errorCode == 50 || errorCode == 51) {
        // An unreadable status is tried again, but a camera that stopped
        // answering altogether must not hold the link (and every later
        // camera) for ever: after as many failures in a row as the status
        // failure counter allows, the link ends.
        if (++statusReadFailures_ > kMaxStatusFailures) {
            WriteLog(1, "+++ status unreadable %d times in a row, link ends at %s +++",
                     statusReadFailures_, "CMainDlg::GetCameraStatus");
            pollResult = false;
        } else {
            kvx::SleepMs(kStatusRetryWaitMs);
        }
    } else if (errorCode == 0) {
        statusReadFailures_ = 0;
    }
    if (errorCode != 0) {
        WriteLog(1, "+++ error code = %d at %s +++", errorCode, "CMainDlg::GetCameraStatus");
        if (!pollResult) port_.Post(kTargetMainWindow, kMsgCameraStateChanged, 0, 0);
    }
    return pollResult;
}

void CMainEngine::OnUpdateDataGroup() {
    uint16_t flags = changeFlags_.load();
    for (const auto& r : kRecordFetchOrder) {
        if (!(flags & r.changeFlag)) continue;
        uint8_t buffer[kLargestRecord] = {};
        HResult hr = FetchRecord(link_, r.id, buffer);
        if (hr != 0) {
            WriteLog(3, "+++ Could not Get %s hr=0x%x at %s +++ ", r.name,
                     static_cast<unsigned>(hr), "CMainDlg::OnUpdateDataGroup");
            continue;
        }
        int length = r.settableInfo ? (buffer[0] | (buffer[1] << 8)) : buffer[0];
        CalcDataCheckSum(length, r.size, buffer, r.name);
        StoreReceived(r.id, buffer, r.size);
        port_.Post(kTargetMainWindow, r.message, 0, 0);
    }
    SetCommStateIfRunning(kCommPolling);
}

// ---------------------------------------------------------------------------
// Queued commands

bool CMainEngine::ExecCommand() {
    if (!window_.HasWindowHandle()) return false;
    {
        Lock lock(AppLock());
        if (queue_.empty()) return false;
    }
    bool have = false;
    tag_CAM_COMMAND command{};
    {
        Lock lock(AppLock());
        if (!queue_.empty()) {
            command = queue_.front();
            queue_.pop_front();
            have = true;
        }
    }
    if (commState_.load() == kCommStopped) return false;
    if (!have) return true;
    SendCommand(command);
    return true;
}

void CMainEngine::SendCommand(const tag_CAM_COMMAND& command) {
    const auto& s = command.payload.setting;
    switch (command.command) {
        case kCmdSetDataGroup1:
            sender_.SetDataGroup1(s.Field1, s.Field2, s.value);
            break;
        case kCmdSetDataGroup2:
            sender_.SetDataGroup2(s.Field1, s.Field2, s.value);
            break;
        case kCmdSetDataGroup3:
            sender_.SetDataGroup3(s.Field1, s.Field2, s.value);
            break;
        case kCmdSetDataGroup4:
            sender_.SetDataGroup4(s.Field1, s.Field2, s.value);
            break;
        case kCmdSetDataGroup5:
            if (command.extended) {
                sender_.SetDataGroup5ex(s.Field1, s.Field2, s.value, s.data);
            } else {
                sender_.SetDataGroup5(s.Field1, s.Field2, s.value);
            }
            break;
        case kCmdSetDataGroup6:
            if (command.extended) {
                sender_.SetDataGroup6ex(s.Field1, s.Field2, s.value, s.data);
            } else {
                sender_.SetDataGroup6(s.Field1, s.Field2, s.value);
            }
            break;
        case kCmdSnap: {
            uint8_t record[4];
            std::memcpy(record, command.payload.shutter, sizeof record);
            HResult hr = link_.Snap(record);
            if (hr == 0) {
                WriteLog(5, "--- ZR4_Snap OK count=%d", record[2]);
            } else {
                WriteLog(1, "--- ZR4_Snap failed hr=0x%x", static_cast<unsigned>(hr));
                WriteLog(1, "+++ Could not Snap hr=0x%x at %s +++", static_cast<unsigned>(hr),
                         "CMainDlg::ExecCommand");
            }
            break;
        }
        case kCmdClockAdjust: {
            uint8_t record[8];
            std::memcpy(record, command.payload.clock, sizeof record);
            HResult hr = link_.ClockAdjust(record);
            if (hr == 0) {
                WriteLog(5, "--- ZR4_ClockAdjust OK");
            } else {
                WriteLog(1, "--- ZR4_ClockAdjust failed hr=0x%x", static_cast<unsigned>(hr));
                WriteLog(1, "+++ Could not Set ClockAdjust hr=0x%x at %s +++",
                         static_cast<unsigned>(hr), "CMainDlg::ExecCommand");
            }
            break;
        }
        default:
            break;
    }
}

}  // namespace kvx::engine
