#include "engine/camera_session.h"

#include <filesystem>

#include "engine/library_camera_link.h"
#include "engine/message_port.h"
#include "log/write_log.h"
#include "model/display_text.h"
#include "model/record_layout.h"
#include "platform/clock.h"
#include "platform/paths.h"

#if __has_include("camlink/device/device_list.h")
#include "camlink/device/device_list.h"
#endif

namespace kvx::engine {

namespace {

// Bound of what waits for a front end that does not handle its messages.
constexpr size_t kMaxWaitingPictures = 4096;

int GroupOfMessage(uint32_t m) {
    switch (m) {
        case kMsgDataGroup1Updated:
            return 1;
        case kMsgDataGroup2Updated:
            return 2;
        case kMsgDataGroup3Updated:
            return 3;
        case kMsgDataGroup4Updated:
            return 4;
        case kMsgDataGroup5Updated:
            return 5;
        case kMsgDataGroup6Updated:
            return 6;
        default:
            return 0;
    }
}

bool IsSettableMessage(uint32_t m) {
    return m == kMsgCanSetInfoUpdated || m == kMsgCanSetInfo2Updated ||
           m == kMsgCanSetInfo3Updated || m == kMsgCanSetInfo4Updated;
}

std::vector<std::string> InterfacePaths() {
    return kvx::device::StillImageInterfacePaths();
}

std::optional<std::string> Driver(const std::string& v, const std::string& p,
                                  const std::string& i) {
    return kvx::device::LookupDriver(v, p, i);
}

std::unique_ptr<ICameraLink> OwnLinkUnless(ICameraLink* given) {
    if (given) return nullptr;
    return std::make_unique<LibraryCameraLink>();
}

std::unique_ptr<QueuedMessagePort> OwnPortUnless(IMessagePort* given) {
    if (given) return nullptr;
    auto port = std::make_unique<QueuedMessagePort>();
    port->Register(kTargetMainWindow);
    return port;
}

}  // namespace

// ---------------------------------------------------------------------------
// The engine's port

bool CCameraSession::NoticeRoutingPort::Post(int target, uint32_t message, uintptr_t wParam,
                                             intptr_t lParam) {
    if (target == kTargetMessageBox) {
        // The box is the front end's: the engine's close of it reaches the
        // front end as a message of the main window.
        if (!session_.boxOpen_.load() || message != kWmClose) return false;
        return session_.frontPort_.Post(kTargetMainWindow, kMsgSessionNoticeClose, 0, 0);
    }
    return session_.frontPort_.Post(target, message, wParam, lParam);
}

bool CCameraSession::NoticeRoutingPort::Exists(int target) const {
    if (target == kTargetMessageBox) return session_.boxOpen_.load();
    return session_.frontPort_.Exists(target);
}

// ---------------------------------------------------------------------------
// Life

CCameraSession::CCameraSession(ISessionFrontEnd& frontEnd, Options options, IMessagePort* port)
    : frontEnd_(frontEnd),
      options_(std::move(options)),
      ownLink_(OwnLinkUnless(options_.link)),
      link_(options_.link ? *options_.link : *ownLink_),
      ownPort_(OwnPortUnless(port)),
      frontPort_(port ? *port : *ownPort_),
      enginePort_(*this),
      engine_(link_, enginePort_, *this, camera_),
      transfer_(link_, engine_, CReviewLauncher()),
      glue_(engine_, enginePort_, camera_),
      detector_(*this, link_, InterfacePaths, Driver),
      watcher_(kvx::VirtualDeviceFolder()) {
    transfer_.SetNamingOptions(options_.naming);
    transfer_.SetListener(this);
    engine_.SetCaptureSteps(&transfer_);
    engine_.SetCaptureDestination(options_.naming.inCamera, options_.naming.inPC);
    if (options_.watchDevices) {
        watcher_.Start([this](const DeviceEvent& e) {
            {
                std::lock_guard g(mailLock_);
                deviceEvents_.push_back(e);
            }
            Wake(kWmDeviceChange, e.type);
        });
    }
}

CCameraSession::~CCameraSession() {
    Stop();
    transfer_.SetListener(nullptr);
}

void CCameraSession::SetNamingOptions(const NamingOptions& naming) {
    transfer_.SetNamingOptions(naming);
    engine_.SetCaptureDestination(naming.inCamera, naming.inPC);
}

CCameraDetector::SearchResult CCameraSession::Start() {
    engine_.SetQuickWaits(options_.quickWaits);
    auto result = detector_.FindCameraAndKickThread();
    // Later starts follow arrivals, which get their settle time.
    CMainEngine::QuickWaits later = options_.quickWaits;
    later.skipStartWait = false;
    engine_.SetQuickWaits(later);
    return result;
}

void CCameraSession::Stop() {
    if (stopped_) return;
    stopped_ = true;
    watcher_.Stop();
    engine_.StopCommThread();
    closed_ = true;
}

CCameraDetector::CloseOutcome CCameraSession::Close() {
    return detector_.OnClose();
}

void CCameraSession::HandleDeviceEvent(const DeviceEvent& event) {
    if (closed_.load()) return;
    detector_.HandleDeviceChange(event.type, &event.data);
    CheckLink();
}

std::optional<int> CCameraSession::QuitCode() const {
    std::lock_guard g(mailLock_);
    return quitCode_;
}

bool CCameraSession::GroupSeen(int group) const {
    return group >= 1 && group <= 6 && groupSeen_[static_cast<size_t>(group)].load();
}

bool CCameraSession::SettingsComplete() const {
    for (int g = 1; g <= 6; ++g)
        if (!GroupSeen(g)) return false;
    return settableSeen_.load();
}

std::string CCameraSession::StatusText() const {
    std::lock_guard g(mailLock_);
    return statusText_;
}

std::string CCameraSession::CameraLine() const {
    std::string name;
    {
        std::lock_guard g(mailLock_);
        name = cameraName_;
    }
    if (name.empty()) return {};
    return VARNO::FormatCameraLine(name, camera_.DataGroupU16(3, VARNO::dg3::kFocalShortest),
                                   camera_.DataGroupU16(3, VARNO::dg3::kFocalLongest));
}

// ---------------------------------------------------------------------------
// The message loop

void CCameraSession::Wake(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    // Nothing is lost when the front end's window is not there to take the
    // message: Tick delivers what waits.
    frontPort_.Post(kTargetMainWindow, message, wParam, lParam);
}

void CCameraSession::HandleMessage(const PostedMessage& m) {
    if (m.target != kTargetMainWindow) {
        frontEnd_.OnWindowMessage(m);
        return;
    }
    if (glue_.Handle(m)) {
        // Merged into the model and dispatched to the registered panels.
        if (int g = GroupOfMessage(m.message)) {
            groupSeen_[static_cast<size_t>(g)] = true;
            if (g == 3) ShowCameraLineNow();  // the lens' focal lengths are in DataGroup3
        } else if (IsSettableMessage(m.message)) {
            settableSeen_ = true;
        }
        frontEnd_.OnSettingsUpdated(m.message);
        return;
    }
    switch (m.message) {
        case kMsgCameraStateChanged:
            OnStateChanged();
            break;
        case kMsgCaptureResult:
            // The glue has already cleared the destination-sent flag.
            frontEnd_.OnCaptureResult(static_cast<uint32_t>(m.wParam));
            break;
        case kWmClose:
            detector_.OnClose();
            break;
        case kWmDeviceChange: {
            std::deque<DeviceEvent> events;
            {
                std::lock_guard g(mailLock_);
                events.swap(deviceEvents_);
            }
            for (const auto& e : events) HandleDeviceEvent(e);
            break;
        }
        case kMsgSessionMail:
            DeliverMail();
            break;
        case kMsgSessionNotice:
            if (boxOpen_.load())
                frontEnd_.OnNotice(static_cast<int>(m.wParam),
                                   ShellString(static_cast<int>(m.wParam)),
                                   static_cast<uint32_t>(m.lParam));
            break;
        case kMsgSessionNoticeClose:
            CloseNoticeBox(true);
            break;
        case kMsgSessionCameraLine:
            ShowCameraLineNow();
            break;
        case kMsgSessionControls:
            frontEnd_.OnControlsEnabled(m.wParam != 0);
            break;
        case kMsgSessionStatusCleared:
            frontEnd_.OnStatusLinesCleared();
            break;
        case kMsgSessionDisplayReset:
            frontEnd_.OnDisplayReset();
            break;
        case kMsgSessionPanelsReset:
            frontEnd_.OnPanelsReset();
            break;
        default:
            frontEnd_.OnWindowMessage(m);
            break;
    }
    CheckLink();
}

void CCameraSession::Tick() {
    DeliverMail();
    if (boxOpen_.load()) {
        uint32_t ms = boxAutoCloseMs_.load();
        if (ms != 0 && kvx::NowMs() - boxOpenedAt_.load() >= ms) {
            // The auto-close time ran out: the box closes unless pictures
            // still come, in which case it stays until the thread closes it.
            if (transfer_.PendingPictureCount() == 0)
                CloseNoticeBox(true);
            else
                boxAutoCloseMs_ = 0;
        }
    }
    CheckLink();
}

void CCameraSession::DismissNotice() {
    CloseNoticeBox(true);
}

void CCameraSession::CloseNoticeBox(bool tellEngine) {
    if (!boxOpen_.load()) return;
    boxAutoCloseMs_ = 0;
    boxOpen_ = false;
    if (tellEngine) engine_.MessageBoxClosed();
    frontEnd_.OnNoticeClosed();
}

void CCameraSession::DeliverMail() {
    std::deque<PictureEvent> pictures;
    std::optional<TransferProgress> progress;
    {
        std::lock_guard g(mailLock_);
        pictures.swap(pictures_);
        progress.swap(progress_);
    }
    if (progress) {
        progress->pendingPictures = transfer_.PendingPictureCount();
        frontEnd_.OnTransferProgress(*progress);
    }
    for (const auto& p : pictures) frontEnd_.OnPictureFinished(p);
}

void CCameraSession::CheckLink() {
    // A session that was stopped or closed links nothing again; what its
    // last link left is still delivered.
    if (stopped_ || closed_.load()) return;
    // A camera whose link died without a removal notice is taken as gone, so
    // another camera attached meanwhile is linked (throttles itself).
    detector_.CheckLink();
    bool linked = engine_.LinkReady();
    if (linked == wasLinked_) return;
    wasLinked_ = linked;
    frontEnd_.OnLinkChanged(linked);
}

void CCameraSession::OnStateChanged() {
    StatusLine s = detector_.RefreshStatus(engine_.CameraState(), engine_.CameraSupported(),
                                           engine_.GetStatusOverride());
    {
        std::lock_guard g(mailLock_);
        statusText_ = s.text;
    }
    frontEnd_.OnStatusLine(s);
}

void CCameraSession::ShowCameraLineNow() {
    std::string line = CameraLine();
    if (!line.empty()) frontEnd_.OnCameraLine(line);
}

// ---------------------------------------------------------------------------
// IMainWindow: called by the engine, from the communication thread or from
// StartCommThread / StopCommThread on the front-end thread. Each answers from
// an atomic or posts, and never calls the front end.

void CCameraSession::ShowMessageBox(int stringId, uint32_t autoCloseMs) {
    if (boxOpen_.exchange(true)) return;
    boxAutoCloseMs_ = autoCloseMs;
    boxOpenedAt_ = kvx::NowMs();
    Wake(kMsgSessionNotice, static_cast<uintptr_t>(stringId), static_cast<intptr_t>(autoCloseMs));
}

void CCameraSession::EnableControls(bool enabled) {
    Wake(kMsgSessionControls, enabled ? 1 : 0);
}

void CCameraSession::ClearStatusLines() {
    {
        std::lock_guard g(mailLock_);
        cameraName_.clear();
        statusText_.clear();
    }
    Wake(kMsgSessionStatusCleared);
}

void CCameraSession::ShowCameraLine(const std::string& cameraName) {
    {
        std::lock_guard g(mailLock_);
        cameraName_ = cameraName;
    }
    Wake(kMsgSessionCameraLine);
}

void CCameraSession::ResetDisplay() {
    Wake(kMsgSessionDisplayReset);
}

void CCameraSession::ResetPanelsForNewLink() {
    // StartCommThread runs on the front-end thread: the dispatcher and the
    // flags belong to it.
    for (auto& g : groupSeen_) g = false;
    settableSeen_ = false;
    glue_.Dispatcher().ResetForNewLink();
    Wake(kMsgSessionPanelsReset);
}

// ---------------------------------------------------------------------------
// IDetectorHost: the detector runs on the front-end thread.

void CCameraSession::PostQuit(int exitCode) {
    {
        std::lock_guard g(mailLock_);
        quitCode_ = exitCode;
    }
    frontEnd_.OnQuit(exitCode);
}

void CCameraSession::ShowNotice(const CloseNotice& notice) {
    if (!boxOpen_.load()) ShowMessageBox(notice.stringId, notice.autoCloseMs);
}

void CCameraSession::CloseForReal() {
    if (closed_.exchange(true)) return;
    watcher_.Stop();
    engine_.StopCommThread();
    frontEnd_.OnClosed();
}

// ---------------------------------------------------------------------------
// ITransferListener: the communication thread.

void CCameraSession::OnFileFinished(const std::string& cameraName, const std::string& path,
                                    bool complete) {
    PictureEvent e;
    e.cameraName = cameraName;
    e.path = path;
    if (!path.empty()) {
        std::error_code ec;
        auto n = std::filesystem::file_size(path, ec);
        e.size = ec ? 0 : static_cast<uint64_t>(n);
    }
    if (complete) {
        e.kind = PictureKind::Complete;
    } else if (!path.empty()) {
        e.kind = PictureKind::Incomplete;
        e.error = "not downloaded whole; what arrived is kept";
    } else {
        e.kind = PictureKind::Failed;
        e.error = "no file could be written";
    }
    {
        std::lock_guard g(mailLock_);
        if (pictures_.size() >= kMaxWaitingPictures) pictures_.pop_front();
        pictures_.push_back(std::move(e));
    }
    Wake(kMsgSessionMail);
}

void CCameraSession::OnPictureProgress(const std::string& cameraName, uint64_t bytesDone,
                                       uint64_t bytesTotal) {
    bool wasWaiting = false;
    {
        std::lock_guard g(mailLock_);
        wasWaiting = progress_.has_value();
        // Only the newest counts: a front end that lags behind sees the
        // latest figures, not a backlog.
        progress_ = TransferProgress{cameraName, bytesDone, bytesTotal, 0};
    }
    if (!wasWaiting) Wake(kMsgSessionMail);
}

}  // namespace kvx::engine
