#include "live_view_step.h"

#include <time.h>

namespace {

uint64_t ThreadCpuNs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<uint64_t>(t.tv_sec) * 1000000000u + static_cast<uint64_t>(t.tv_nsec);
}

}  // namespace

namespace kvx::liveview {

CLiveViewStep::CLiveViewStep(kvx::engine::ICameraLink& link, std::function<int()> aspectIndex)
    : link_(link), aspectIndex_(std::move(aspectIndex)) {}

void CLiveViewStep::Attach(std::shared_ptr<CLiveViewCanvas> canvas) {
    std::lock_guard g(lock_);
    canvas_ = std::move(canvas);
}

void CLiveViewStep::Detach() {
    std::lock_guard g(lock_);
    canvas_.reset();
}

std::shared_ptr<CLiveViewCanvas> CLiveViewStep::Canvas() const {
    std::lock_guard g(lock_);
    return canvas_;
}

void CLiveViewStep::OnCommunicationStart() {
    if (auto canvas = Canvas()) canvas->Reset();
}

void CLiveViewStep::RefreshAfterLink() {
    if (auto canvas = Canvas()) canvas->RequestRepaint();
}

int CLiveViewStep::GetLiveViewFrame() {
    // Held for the whole frame: the canvas outlives this call whatever the
    // window does meanwhile.
    std::shared_ptr<CLiveViewCanvas> canvas = Canvas();
    if (!canvas) return 1;
    uint8_t* data = nullptr;
    uint32_t size = 0;
    if (link_.GetCamViewFrame(&data, &size) != 0) return -1;
    const uint64_t start = ThreadCpuNs();
    const FrameResult r = pipeline_.Process(data, data ? size : 0, canvas->Angle(),
                                            canvas->FramePixels(), canvas->FrameStride());
    if (r.check == FrameCheck::BadFormat) return 2;
    if (r.check == FrameCheck::Ok) canvas->SetFrameResult(r, aspectIndex_ ? aspectIndex_() : 2);
    // A dropped frame still composes the previous one, so overlay changes show.
    const bool composed = canvas->Compose();
    frames_.fetch_add(1);
    cpuNs_.fetch_add(ThreadCpuNs() - start);
    if (composed && !canvas->RequestRepaint()) return 1;
    return 0;
}

}  // namespace kvx::liveview
