// CLiveViewStep: the communication thread's live view work for the window
// program. The engine paces and calls it on every due tick while the live
// view window is open; it fetches the frame through the camera link,
// checks, converts and scales it into the canvas's frame slot, composes it
// and asks the window to repaint, without ever waiting for the window.
//
// The main window builds one step per camera session, installs it with
// CMainEngine::SetLiveViewStep before StartCommThread and keeps it alive
// until the thread has stopped. The live view window attaches its canvas
// when it opens and detaches it when it closes.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

#include "engine/camera_link.h"
#include "engine/live_view_step.h"
#include "live_view_canvas.h"
#include "liveview/frame_pipeline.h"

namespace kvx::liveview {

class CLiveViewStep final : public kvx::engine::ILiveViewStep {
public:
    // `aspectIndex` is read at every frame (the camera's aspect ratio, 1..6).
    CLiveViewStep(kvx::engine::ICameraLink& link, std::function<int()> aspectIndex);

    // Window thread.
    void Attach(std::shared_ptr<CLiveViewCanvas> canvas);
    void Detach();

    // Frames taken from record to composed picture, and the communication
    // thread's CPU time spent on them (fetching excluded).
    struct Cost {
        uint64_t frames = 0;
        uint64_t cpuNs = 0;
    };
    Cost FrameCost() const { return {frames_.load(), cpuNs_.load()}; }

    // ---- kvx::engine::ILiveViewStep, communication thread ----
    void OnCommunicationStart() override;
    int GetLiveViewFrame() override;
    void RefreshAfterLink() override;

private:
    std::shared_ptr<CLiveViewCanvas> Canvas() const;

    kvx::engine::ICameraLink& link_;
    std::function<int()> aspectIndex_;
    mutable std::mutex lock_;
    std::shared_ptr<CLiveViewCanvas> canvas_;
    CFramePipeline pipeline_;  // communication thread only
    std::atomic<uint64_t> frames_{0};
    std::atomic<uint64_t> cpuNs_{0};
};

}  // namespace kvx::liveview
