// kvx-tether's front end of the camera session: this thread plays the window
// thread. Pump() is its message loop: it drains the session's own queued
// port and hands every message to the session; what the session tells the
// front end (notices, capture results, finished pictures) is kept here until
// the command's loop takes it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/camera_session.h"

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

class CTetherSession final : private engine::ISessionFrontEnd {
public:
    struct Options {
        engine::NamingOptions naming;
        bool watchDevices = true;
        // Lines the user sees (notices, progress); default: stderr.
        std::function<void(const std::string&)> note;
        // Asked while waiting for the link: true ends the wait (a signal).
        std::function<bool()> stop;
        // The engine's fixed waits left out (kvx-tether leaves out all three;
        // see CMainEngine::QuickWaits).
        engine::CMainEngine::QuickWaits quickWaits;
    };

    explicit CTetherSession(Options options);
    ~CTetherSession() override;

    enum class LinkOutcome { Linked, NoCamera, OnlyOtherModel, LinkFailed, Stopped };
    // Runs the camera search and waits, pumping, until the link is ready and
    // every setting record has been merged, or the wait ends.
    LinkOutcome Connect(uint32_t timeoutMs);
    // Pumps until every data group and a settable-info record have arrived.
    bool WaitForSettings(uint32_t timeoutMs);

    // One turn of the message loop: waits up to timeoutMs for a message.
    void Pump(uint32_t timeoutMs);
    // Pumps until done() or the time is up; true when done() held.
    bool PumpUntil(const std::function<bool()>& done, uint32_t timeoutMs);

    // Stops the communication thread and the device watcher (idempotent),
    // then takes in what the last link left (a picture kept incomplete).
    void Shutdown() {
        session_.Stop();
        Pump(0);
    }

    bool ThreadRunning() const { return session_.ThreadRunning(); }
    bool QuitPosted() const { return session_.QuitCode().has_value(); }
    bool Closed() const { return session_.Closed(); }
    int CameraState() const { return session_.CameraState(); }
    int PendingPictures() { return session_.PendingPictures(); }
    std::string CameraLine() const { return session_.CameraLine(); }
    // Times a link ended since this session began. The detector starts a
    // new link to a camera that is still listed, so a link that died is not
    // always seen as a stopped thread.
    int LinkDrops() const { return linkDrops_; }
    // Capture results (WM_USER+106 codes) in arrival order, taken out.
    std::vector<uint32_t> TakeCaptureResults();
    // Picture files finished since the last call, each once.
    std::vector<engine::PictureEvent> TakeFinishedFiles();

    engine::CCameraSession& Session() { return session_; }
    VARNO::CCamera& Camera() { return session_.Camera(); }
    engine::CMainEngine& Engine() { return session_.Engine(); }

private:
    void OnNotice(int stringId, const std::string& text, uint32_t autoCloseMs) override;
    void OnCaptureResult(uint32_t code) override { captureResults_.push_back(code); }
    void OnLinkChanged(bool linked) override {
        if (!linked) ++linkDrops_;
    }
    void OnPictureFinished(const engine::PictureEvent& event) override { files_.push_back(event); }
    void Note(const std::string& line);
    bool Stopping() const { return options_.stop && options_.stop(); }

    Options options_;
    std::vector<uint32_t> captureResults_;
    int linkDrops_ = 0;
    std::vector<engine::PictureEvent> files_;
    // Last: it calls back into the members above until it is destroyed.
    engine::CCameraSession session_;
};

}  // namespace kvx::cli
