#include "engine/camera_detector.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "log/write_log.h"
#include "model/display_text.h"
#include "model/string_table.h"
#include "platform/clock.h"

namespace kvx::engine {

namespace {

std::string Upper(std::string s) {
    for (auto& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

bool EqualNoCase(const std::string& a, const std::string& b) {
    return Upper(a) == Upper(b);
}

// The texts live in the program's one string table.
const char* ShellTextOf(int id) {
    return VARNO::StringText(static_cast<uint32_t>(id));
}

}  // namespace

const std::vector<CameraModelRow>& CameraModelTable() {
    static const std::vector<CameraModelRow> rows = {
        {110, "VID_4E7A", "PID_5D10"},
        {110, "VID_4E7A", "PID_5D20"},
        {130, "VID_4E7A", "PID_5E30"},
        {130, "VID_4E7A", "PID_5E40"},
    };
    return rows;
}

std::string ShellString(int id) {
    return ShellTextOf(id);
}

std::optional<CloseNotice> CloseNoticeFor(int reason) {
    switch (reason) {
        case kCloseNotSupported:
            return CloseNotice{10203, ShellTextOf(10203), 5000, true};
        case kCloseBatteryLow:
            return CloseNotice{10202, ShellTextOf(10202), 5000, true};
        case kClosePicturesPending:
            return CloseNotice{10200, ShellTextOf(10200), 3000, true};
        case kCloseNewerProtocol:
            return CloseNotice{10204, ShellTextOf(10204), 5000, false};
        default:
            return std::nullopt;
    }
}

StatusLine StatusLineFor(int cameraState, bool supported, int statusOverride) {
    StatusLine s{0, "", 0};
    switch (cameraState) {
        case 0:
        case 1:
            if (supported) s = {10101, "", 1};
            break;
        case 2:
        case 3:
            s = {10104, "", 0};
            break;
        case 4:
            s = {10101, "", 2};
            break;
        case 5:
            s = {0, "", 2};
            break;
        default:
            break;
    }
    if (statusOverride == kOverrideCardFull)
        s.stringId = 10106;
    else if (statusOverride == kOverrideNoFocus)
        s.stringId = 10107;
    else if (statusOverride == kOverrideAutofocus)
        s.stringId = 10105;
    s.text = s.stringId ? ShellString(s.stringId) : std::string();
    return s;
}

std::string FocalLengthText(uint16_t v) {
    return VARNO::FormatFocalLength(v);
}

std::string CameraLineText(const std::string& name, uint16_t f1, uint16_t f2) {
    return VARNO::FormatCameraLine(name, f1, f2);
}

CCameraDetector::CCameraDetector(IDetectorHost& host, ICameraLink& link, PathSource paths,
                                 DriverLookup drivers)
    : host_(host), link_(link), paths_(std::move(paths)), drivers_(std::move(drivers)) {}

void CCameraDetector::EnumPtpCamera(std::vector<std::string>& pathList, int& count) {
    pathList.clear();
    count = 0;
    std::vector<std::string> raw;
    if (paths_) raw = paths_();
    for (const auto& p : raw) {
        std::string path = Upper(p);
        WriteLog(4, "--- DevPath = %s", path.c_str());
        if (path.find("STORAGE") != std::string::npos) {
            WriteLog(4, "+++ this path include STORAGE, then not camera +++");
            continue;
        }
        WriteLog(4, "--- this path must be Camera");
        if (static_cast<int>(pathList.size()) < kMaxDevicePaths) pathList.push_back(path);
        ++count;
    }
    count = std::min(count, kMaxDevicePaths);
    WriteLog(4, "=== %s Camera count = %d ===", "EnumPtpCamera", count);
}

CCameraDetector::SearchResult CCameraDetector::FindCameraAndKickThread() {
    SearchResult r;
    std::vector<std::string> paths;
    int count = 0;
    EnumPtpCamera(paths, count);
    WriteLog(4, "Camera Drive Count = %d", count);

    std::string linkedId;
    {
        char id[257] = {};
        HResult hr = link_.GetActiveDriverInstance(id, 256);
        if (hr == 0) {
            r.linkActive = true;
            r.linkedGone = true;
            linkedId.assign(id, strnlen(id, 256));
        } else {
            WriteLog(1, "+++ Could not Get ActiveDriverInstance hr=0x%x at %s +++",
                     static_cast<unsigned>(hr), "CMainDlg::FindCameraAndKickThread");
        }
    }

    for (int i = 0; i < count && i < static_cast<int>(paths.size()); ++i) {
        const std::string& path = paths[i];
        for (const auto& row : CameraModelTable()) {
            size_t productAt = path.find(row.product);
            if (path.find(row.vendor) == std::string::npos || productAt == std::string::npos)
                continue;
            if (r.linkActive) {
                size_t first = path.find('#', productAt + std::strlen(row.product));
                size_t second = first == std::string::npos ? first : path.find('#', first + 1);
                if (second == std::string::npos) continue;  // no instance id: try the next row
                std::string instance = path.substr(first + 1, second - first - 1);
                std::optional<std::string> driver;
                if (drivers_) driver = drivers_(row.vendor, row.product, instance);
                if (driver && driver->size() <= 256 && EqualNoCase(*driver, linkedId))
                    r.linkedGone = false;
            }
            if (row.modelCode == 130)
                ++r.count130;
            else
                ++r.countOther;
            break;
        }
    }

    if (r.linkActive && r.linkedGone) {
        host_.DisableControls();
        host_.ClearCaptureStatusTable();
        host_.StopCommThread();
        wasReady_ = false;  // ended here, not lost
    }
    if (r.count130 >= 1) {
        r.started = host_.StartCommThread();
    } else {
        host_.DisableControls();
        host_.ResetDisplay();
        if (r.countOther >= 1) {
            r.quit = true;
            host_.PostQuit(kExitOnlyOtherCameras);
        }
    }
    return r;
}

int CCameraDetector::HandleDeviceChange(uint32_t eventType, const DeviceBroadcast* data) {
    if (eventType != kDbtDeviceArrival && eventType != kDbtDeviceQueryRemoveFailed &&
        eventType != kDbtDeviceRemoveComplete)
        return 0;
    if (!data || data->deviceType != kDbtDevTypDeviceInterface) return 0;
    WriteLog(4,
             eventType == kDbtDeviceArrival ? "enter %s - PTP Device Arrival"
                                            : "enter %s - PTP Device Removal",
             "CMainDlg::HandleDeviceChange");
    if (!host_.LinkReady()) host_.SetDeviceChangeFlag(true);
    FindCameraAndKickThread();
    if (!host_.LinkReady()) host_.SetDeviceChangeFlag(false);
    return 0;
}

bool CCameraDetector::CheckLink() {
    if (closed_) return false;
    if (host_.LinkReady()) {
        wasReady_ = true;
        retryOwed_ = false;
        retryDelay_ = kLinkRetryFirstMs;
        return false;
    }
    const uint32_t now = kvx::NowMs();
    if (wasReady_) {
        wasReady_ = false;
        WriteLog(2, "+++ camera link ended without a removal notice, searching again at %s +++",
                 "CMainDlg::CheckLink");
        retryOwed_ = true;
        retryAt_ = now;
        retryDelay_ = kLinkRetryFirstMs;
    }
    // The clock wraps: compare by difference.
    if (!retryOwed_ || static_cast<int32_t>(now - retryAt_) < 0) return false;

    // As a removal notice would be handled.
    if (!host_.LinkReady()) host_.SetDeviceChangeFlag(true);
    SearchResult r = FindCameraAndKickThread();
    if (!host_.LinkReady()) host_.SetDeviceChangeFlag(false);

    // A thread that started decides on its own; no camera at all waits for
    // an arrival. A camera there while the old thread has not ended yet is
    // tried again later, never at once.
    retryOwed_ = !r.started && r.count130 >= 1 && !r.quit;
    retryAt_ = now + retryDelay_;
    retryDelay_ = std::min(retryDelay_ * 2, kLinkRetryMaxMs);
    return true;
}

StatusLine CCameraDetector::RefreshStatus(int cameraState, bool supported, int statusOverride,
                                          bool* modeChanged) {
    StatusLine s = StatusLineFor(cameraState, supported, statusOverride);
    bool changed = s.mode != lastMode_;
    lastMode_ = s.mode;
    if (modeChanged) *modeChanged = changed;
    return s;
}

CCameraDetector::CloseOutcome CCameraDetector::OnClose() {
    WriteLog(2, "enter %s", "CMainDlg::OnClose");
    int pending = host_.PendingPictureCount();
    int request = host_.CloseRequest();
    int state = host_.CommState();
    if (request >= 0 && request <= 3 && pending > 0 && state != 0) return CloseOutcome::Ignored;
    if (pending > 0 && state != 0) {
        WriteLog(3, "+++ m_CloseRequest = MESSAGE_TRANSFER_PICTURE, db_count=%d +++", pending);
        host_.SetCloseRequest(kClosePicturesPending);
        host_.ShowNotice(*CloseNoticeFor(kClosePicturesPending));
        host_.DisableControls();
        return CloseOutcome::Deferred;
    }
    closed_ = true;  // a link ending now is no loss to search for
    host_.CloseForReal();
    return CloseOutcome::Closed;
}

}  // namespace kvx::engine
