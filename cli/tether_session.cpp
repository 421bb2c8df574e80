#include "cli/tether_session.h"

#include <cstdio>

#include "engine/window_messages.h"
#include "log/write_log.h"
#include "model/display_text.h"
#include "model/record_layout.h"
#include "platform/clock.h"
#include "platform/paths.h"

#if __has_include("camlink/device/device_list.h")
#include "camlink/device/device_list.h"
#endif

namespace kvx::cli {

using namespace kvx::engine;

namespace {

// Where the watcher's events wake the loop: the window message a device
// notice arrives as.
constexpr uint32_t kMsgDeviceChange = 0x0219;

int GroupOfMessage(uint32_t m) {
    switch (m) {
        case kMsgDataGroup1Updated: return 1;
        case kMsgDataGroup2Updated: return 2;
        case kMsgDataGroup3Updated: return 3;
        case kMsgDataGroup4Updated: return 4;
        case kMsgDataGroup5Updated: return 5;
        case kMsgDataGroup6Updated: return 6;
        default: return 0;
    }
}

int VersionOfMessage(uint32_t m) {
    switch (m) {
        case kMsgCanSetInfoUpdated: return 1;
        case kMsgCanSetInfo2Updated: return 2;
        case kMsgCanSetInfo3Updated: return 3;
        case kMsgCanSetInfo4Updated: return 4;
        default: return 0;
    }
}

std::vector<std::string> InterfacePaths() { return kvx::device::StillImageInterfacePaths(); }

std::optional<std::string> Driver(const std::string& v, const std::string& p, const std::string& i) {
    return kvx::device::LookupDriver(v, p, i);
}

}  // namespace

CTetherSession::CTetherSession(Options options)
    : options_(std::move(options)),
      engine_(link_, port_, *this, camera_),
      transfer_(link_, engine_, engine::CReviewLauncher()),
      detector_(*this, link_, InterfacePaths, Driver),
      watcher_(kvx::VirtualDeviceFolder()) {
    port_.Register(kTargetMainWindow);
    transfer_.SetNamingOptions(options_.naming);
    engine_.SetCaptureSteps(&transfer_);
    engine_.SetCaptureDestination(options_.naming.inCamera, options_.naming.inPC);
    if (options_.watchDevices) {
        watcher_.Start([this](const DeviceEvent& e) {
            {
                std::lock_guard g(deviceLock_);
                deviceEvents_.push_back(e);
            }
            port_.Post(kTargetMainWindow, kMsgDeviceChange, e.type, 0);
        });
    }
}

CTetherSession::~CTetherSession() { Shutdown(); }

void CTetherSession::Shutdown() {
    if (shutDown_) return;
    shutDown_ = true;
    watcher_.Stop();
    engine_.StopCommThread();
    closed_ = true;
}

void CTetherSession::Note(const std::string& line) {
    if (options_.note)
        options_.note(line);
    else
        std::fprintf(stderr, "%s\n", line.c_str());
}

CTetherSession::LinkOutcome CTetherSession::Connect(uint32_t timeoutMs) {
    auto r = detector_.FindCameraAndKickThread();
    if (r.quit) return LinkOutcome::OnlyOtherModel;
    if (r.count130 == 0) return LinkOutcome::NoCamera;
    uint32_t start = kvx::NowMs();
    bool ok = PumpUntil([&] { return engine_.LinkReady() || !engine_.ThreadRunning() || quitCode_; },
                        timeoutMs);
    if (quitCode_ && *quitCode_ == kExitOnlyOtherCameras) return LinkOutcome::OnlyOtherModel;
    if (!ok || !engine_.LinkReady()) return LinkOutcome::LinkFailed;
    uint32_t used = kvx::NowMs() - start;
    if (!WaitForSettings(timeoutMs > used ? timeoutMs - used : 1)) return LinkOutcome::LinkFailed;
    return LinkOutcome::Linked;
}

bool CTetherSession::WaitForSettings(uint32_t timeoutMs) {
    return PumpUntil(
        [&] {
            if (!engine_.ThreadRunning()) return true;
            for (int g = 1; g <= 6; ++g)
                if (!groupSeen_[g].load()) return false;
            return settableSeen_.load();
        },
        timeoutMs) &&
           engine_.ThreadRunning();
}

bool CTetherSession::PumpUntil(const std::function<bool()>& done, uint32_t timeoutMs) {
    uint32_t start = kvx::NowMs();
    for (;;) {
        if (done()) return true;
        if (kvx::NowMs() - start >= timeoutMs) return false;
        Pump(20);
    }
}

void CTetherSession::Pump(uint32_t timeoutMs) {
    if (auto m = port_.Take(timeoutMs)) OnMessage(*m);
    for (const auto& m : port_.Drain()) OnMessage(m);
    TickMessageBox();
    CollectFiles();
}

void CTetherSession::OnMessage(const PostedMessage& m) {
    if (m.target == kTargetMessageBox) {
        if (m.message == kWmClose) CloseMessageBox();
        return;
    }
    if (m.target != kTargetMainWindow) return;
    if (int g = GroupOfMessage(m.message)) {
        camera_.MergeDataGroup(g, nullptr);
        if (g == 4) camera_.RebuildIsoList(camera_.DataGroupByte(4, VARNO::dg4::kIsoStep));
        groupSeen_[g] = true;
        return;
    }
    if (int v = VersionOfMessage(m.message)) {
        camera_.MergeCanSetInfo(v);
        if (v == 4) engine_.SetExtendedCamera(true);
        camera_.BuildLists();
        if (groupSeen_[4].load())
            camera_.RebuildIsoList(camera_.DataGroupByte(4, VARNO::dg4::kIsoStep));
        settableSeen_ = true;
        return;
    }
    switch (m.message) {
        case kMsgCameraStateChanged: {
            StatusLine s = detector_.RefreshStatus(engine_.CameraState(), engine_.CameraSupported(),
                                                   engine_.GetStatusOverride());
            std::lock_guard g(textLock_);
            statusText_ = s.text;
            break;
        }
        case kMsgCaptureResult:
            engine_.ClearDestinationSent();
            captureResults_.push_back(static_cast<uint32_t>(m.wParam));
            break;
        case kWmClose:
            detector_.OnClose();
            break;
        case kMsgDeviceChange: {
            std::deque<DeviceEvent> events;
            {
                std::lock_guard g(deviceLock_);
                events.swap(deviceEvents_);
            }
            for (const auto& e : events) OnDeviceEvent(e);
            break;
        }
        default:
            break;
    }
}

void CTetherSession::OnDeviceEvent(const DeviceEvent& e) {
    if (closed_.load()) return;
    detector_.HandleDeviceChange(e.type, &e.data);
}

void CTetherSession::ShowMessageBox(int stringId, uint32_t autoCloseMs) {
    if (boxOpen_.exchange(true)) return;
    boxAutoCloseMs_ = autoCloseMs;
    boxOpenedAt_ = kvx::NowMs();
    port_.Register(kTargetMessageBox);
    std::string text = ShellString(stringId);
    for (auto pos = text.find("\r\n"); pos != std::string::npos; pos = text.find("\r\n"))
        text.replace(pos, 2, " ");
    Note(ShellString(103) + ": " + text);
}

void CTetherSession::ShowNotice(const CloseNotice& notice) {
    if (!boxOpen_.load()) ShowMessageBox(notice.stringId, notice.autoCloseMs);
}

void CTetherSession::TickMessageBox() {
    if (!boxOpen_.load()) return;
    uint32_t ms = boxAutoCloseMs_.load();
    if (ms == 0 || kvx::NowMs() - boxOpenedAt_.load() < ms) return;
    // The auto-close time ran out: the box closes unless pictures still come,
    // in which case it stays until the thread closes it.
    if (transfer_.PendingPictureCount() == 0)
        CloseMessageBox();
    else
        boxAutoCloseMs_ = 0;
}

void CTetherSession::CloseMessageBox() {
    boxAutoCloseMs_ = 0;
    port_.Unregister(kTargetMessageBox);
    boxOpen_ = false;
}

void CTetherSession::CloseForReal() {
    if (closed_.exchange(true)) return;
    watcher_.Stop();
    engine_.StopCommThread();
}

void CTetherSession::ClearStatusLines() {
    std::lock_guard g(textLock_);
    cameraName_.clear();
    statusText_.clear();
}

void CTetherSession::ShowCameraLine(const std::string& cameraName) {
    std::lock_guard g(textLock_);
    cameraName_ = cameraName;
}

void CTetherSession::ResetPanelsForNewLink() {
    for (auto& g : groupSeen_) g = false;
    settableSeen_ = false;
}

std::string CTetherSession::CameraLine() const {
    std::string name;
    {
        std::lock_guard g(textLock_);
        name = cameraName_;
    }
    return VARNO::FormatCameraLine(name, camera_.DataGroupU16(3, VARNO::dg3::kFocalShortest),
                                   camera_.DataGroupU16(3, VARNO::dg3::kFocalLongest));
}

std::vector<uint32_t> CTetherSession::TakeCaptureResults() {
    std::vector<uint32_t> out;
    out.swap(captureResults_);
    return out;
}

void CTetherSession::CollectFiles() {
    for (auto& f : transfer_.TakeFinishedFiles()) {
        if (f.path.empty()) continue;
        if (!filesSeen_.insert(f.path).second) continue;
        filesNew_.push_back(std::move(f));
    }
}

std::vector<CPictureTransfer::FileResult> CTetherSession::TakeFinishedFiles() {
    CollectFiles();
    std::vector<CPictureTransfer::FileResult> out;
    out.swap(filesNew_);
    return out;
}

}  // namespace kvx::cli
