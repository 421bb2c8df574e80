// CLiveViewCanvas: the pictures live view shares between the communication
// thread and the window thread. The thread converts each frame into the
// frame slot, composes it with the overlays into one of four composition
// slots and asks the window to repaint; the window paints the newest
// composed slot and only reads it. The slot the window is reading and the
// one on display are never composed into, so painting needs no copy.
//
// Shared by ownership: the live view step keeps the canvas alive for the
// whole of a compose, and the window detaches itself (under the canvas lock)
// before it goes, so a repaint request never reaches a destroyed window.
#pragma once

#include <QImage>
#include <QObject>
#include <QSize>
#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>

#include "liveview/mask_rects.h"
#include "liveview/focus_geometry.h"
#include "liveview/frame_pipeline.h"

namespace kvx::liveview {

// The window's overlay choices, as the thread composes with them.
struct Overlay {
    int zoom = 1;         // 1 Fit, 2 ×4, 3 ×8
    int gridPattern = 0;  // 0 none, 1 white, 2 black
    int gridDivisions = 2;
    bool useMask = false;
    int focusMode = 1;      // 0..4
    bool tracking = false;  // the pointer is over the picture (modes 1 and 3 draw then)
    bool dragging = false;
    bool whiteBalanceArea = false;
    CameraFocus focus;
    QSize screen;  // the screen area's size
};

// What was composed into a slot, in screen-area coordinates.
struct SlotRects {
    Rect picture;
    Rect full;  // where the whole camera frame would lie
    Rect mask;
    Rect aspect;  // the aspect rectangle within the scaled frame
    bool masked = false;
    bool rotated = false;
    int angle = 0;
    bool valid = false;
};

class CLiveViewCanvas {
public:
    static constexpr int kSlots = 4;
    CLiveViewCanvas();

    // ---- window thread ----
    void SetOverlay(const Overlay& overlay);
    Overlay CurrentOverlay() const;
    void SetAngle(int angle) { angle_.store(angle); }
    int Angle() const { return angle_.load(); }
    // The object that receives the queued "OnFrameComposed()" call.
    void AttachWindow(QObject* window);
    void DetachWindow();
    // Forget every composed picture (a new link, or the window reopened).
    void Reset();
    // The slot on display, held against composing until EndPaint.
    const QImage* BeginPaint(SlotRects& rects, int& slot);
    void EndPaint(int slot);
    // True once a frame has been composed since the last Reset.
    bool HasPicture() const;

    // ---- communication thread ----
    uint32_t* FramePixels() { return reinterpret_cast<uint32_t*>(frame_.bits()); }
    int FrameStride() const { return static_cast<int>(frame_.bytesPerLine() / 4); }
    void SetFrameResult(const FrameResult& result, int aspectIndex);
    // Composes the newest frame; false when there is none yet.
    bool Compose();
    // Queues a repaint of the window; false when no window is attached.
    bool RequestRepaint();

private:
    void ComposeInto(QImage& target, SlotRects& rects, const Overlay& o);

    mutable std::mutex lock_;
    QImage frame_;  // written and read by the communication thread only
    FrameResult frameResult_;
    int aspectIndex_ = 2;
    bool haveFrame_ = false;
    std::array<QImage, kSlots> composed_;
    std::array<SlotRects, kSlots> rects_;
    int display_ = -1;
    int compose_ = 0;
    int reading_ = -1;
    Overlay overlay_;
    std::atomic<int> angle_{0};
    QObject* window_ = nullptr;
    std::array<QImage, 2> navigator_;
};

}  // namespace kvx::liveview
