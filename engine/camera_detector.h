// Camera detection and the connection lifecycle: which still-image devices
// are cameras of ours, whether to start or stop the communication thread,
// when the program has to end, the status line that follows the camera
// state, the end-of-program notices and the close that waits for pictures.
// Runs on the consuming (window or command-line main) thread.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/camera_link.h"
#include "engine/device_watcher.h"
#include "engine/main_engine.h"

namespace kvx::engine {

// The process exit code when only cameras of the other model group are
// attached. A POSIX exit status keeps its low 8 bits: a shell sees 1.
constexpr int kExitOnlyOtherCameras = 0x8001;

constexpr int kMaxDevicePaths = 10;

struct CameraModelRow {
    int modelCode;
    const char* vendor;
    const char* product;
};
// The four rows, in the order the search tries them.
const std::vector<CameraModelRow>& CameraModelTable();

// Close request reasons and status overrides are those of CMainEngine.

struct CloseNotice {
    int stringId;
    const char* text;
    uint32_t autoCloseMs;
    bool endsProgram;
};
// The notice of a close request reason; nullopt for reasons without one.
std::optional<CloseNotice> CloseNoticeFor(int reason);

struct StatusLine {
    int stringId;      // 0: empty text
    std::string text;  // "" when empty
    int mode;          // 0 controls disabled, 1 enabled, 2 enabled without setting panels
};
StatusLine StatusLineFor(int cameraState, bool cameraSupported, int statusOverride);

// The shell's own texts by string id (caption 103, "Camera" 104, the
// status lines and the notices). Empty for an unknown id.
std::string ShellString(int id);

// "Camera: <name>(<focal>)" or "Camera: <name>(<wide>-<tele>)" from the
// focal lengths in sixteenths of a millimetre: the display texts' own
// (VARNO::FormatCameraLine), under the names the shell uses.
std::string CameraLineText(const std::string& cameraName, uint16_t focal1, uint16_t focal2);
std::string FocalLengthText(uint16_t sixteenths);

// What the detection needs from the engine and its windows.
class IDetectorHost {
public:
    virtual ~IDetectorHost() = default;
    virtual bool StartCommThread() = 0;
    virtual bool StopCommThread() = 0;
    virtual bool LinkReady() const = 0;
    virtual void SetDeviceChangeFlag(bool on) = 0;
    // Every capture status code of the table set to 0.
    virtual void ClearCaptureStatusTable() = 0;
    virtual void DisableControls() = 0;
    // Camera line and status line cleared, main display reset.
    virtual void ResetDisplay() = 0;
    // End the program's message loop with this exit code.
    virtual void PostQuit(int exitCode) = 0;

    // Closing.
    virtual int PendingPictureCount() = 0;
    virtual int CommState() const = 0;
    virtual int CloseRequest() const = 0;
    virtual void SetCloseRequest(int reason) = 0;
    // Shows the notice unless one is open.
    virtual void ShowNotice(const CloseNotice& notice) = 0;
    // Stops the thread and ends the program for real.
    virtual void CloseForReal() = 0;
};

class CCameraDetector {
public:
    // The still-image device interface paths the device layer sees.
    using PathSource = std::function<std::vector<std::string>()>;
    // (vendor id text, product id text, instance id) -> the instance's
    // driver id, as the USB enumeration keys of the system hold it.
    using DriverLookup = std::function<std::optional<std::string>(
        const std::string&, const std::string&, const std::string&)>;

    CCameraDetector(IDetectorHost& host, ICameraLink& link, PathSource paths, DriverLookup drivers);

    // Upper-cased paths without "STORAGE", at most 10; count capped at 10.
    void EnumPtpCamera(std::vector<std::string>& pathList, int& count);

    struct SearchResult {
        int count130 = 0;
        int countOther = 0;
        bool linkActive = false;
        bool linkedGone = false;
        bool started = false;
        bool quit = false;
    };
    SearchResult FindCameraAndKickThread();

    // Returns 0, as the window procedure's handler does.
    int HandleDeviceChange(uint32_t eventType, const DeviceBroadcast* data);

    // First wait, and longest wait, between two searches after a lost link.
    static constexpr uint32_t kLinkRetryFirstMs = 1000;
    static constexpr uint32_t kLinkRetryMaxMs = 30000;
    // Run by the consuming thread every now and then (the main window's
    // timer, the command line's loop). A link that ends by itself, without a
    // removal notice and without this detector stopping it, is a camera that
    // died where no notice tells of it: the linked camera is taken as gone
    // and the search runs as for a removal, so that another camera attached
    // meanwhile is linked. While a camera is attached but no thread could be
    // started, the search is tried again after a wait that doubles up to
    // kLinkRetryMaxMs, measured on the engine clock; the loss is logged once.
    // True when it ran a search.
    bool CheckLink();

    // The text and mode the status refresh shows; remembers the mode, and
    // tells through modeChanged when the whole window would repaint.
    StatusLine RefreshStatus(int cameraState, bool cameraSupported, int statusOverride,
                             bool* modeChanged = nullptr);

    enum class CloseOutcome { Ignored, Deferred, Closed };
    CloseOutcome OnClose();

private:
    IDetectorHost& host_;
    ICameraLink& link_;
    PathSource paths_;
    DriverLookup drivers_;
    int lastMode_ = -1;

    // CheckLink: the link was ready when last looked at; a search is owed
    // after a lost link, at retryAt_ (engine clock), then after retryDelay_.
    bool wasReady_ = false;
    bool retryOwed_ = false;
    bool closed_ = false;
    uint32_t retryAt_ = 0;
    uint32_t retryDelay_ = kLinkRetryFirstMs;
};

}  // namespace kvx::engine
