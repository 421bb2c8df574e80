#include "cli/tether_session.h"

#include <cstdio>

#include "engine/camera_detector.h"
#include "platform/clock.h"

namespace kvx::cli {

using namespace kvx::engine;

namespace {
engine::CCameraSession::Options SessionOptions(const CTetherSession::Options& o) {
    engine::CCameraSession::Options s;
    s.naming = o.naming;
    s.watchDevices = o.watchDevices;
    s.quickWaits = o.quickWaits;
    return s;
}
}  // namespace

CTetherSession::CTetherSession(Options options)
    : options_(std::move(options)), session_(*this, SessionOptions(options_)) {}

CTetherSession::~CTetherSession() {
    session_.Stop();
}

void CTetherSession::Note(const std::string& line) {
    if (options_.note)
        options_.note(line);
    else
        std::fprintf(stderr, "%s\n", line.c_str());
}

CTetherSession::LinkOutcome CTetherSession::Connect(uint32_t timeoutMs) {
    auto r = session_.Start();
    if (r.quit) return LinkOutcome::OnlyOtherModel;
    if (r.count130 == 0) return LinkOutcome::NoCamera;
    uint32_t start = kvx::NowMs();
    bool ok = PumpUntil(
        [&] {
            return session_.Linked() || !session_.ThreadRunning() || QuitPosted() || Stopping();
        },
        timeoutMs);
    if (Stopping()) return LinkOutcome::Stopped;
    if (auto code = session_.QuitCode(); code && *code == kExitOnlyOtherCameras)
        return LinkOutcome::OnlyOtherModel;
    if (!ok || !session_.Linked()) return LinkOutcome::LinkFailed;
    uint32_t used = kvx::NowMs() - start;
    bool settled = WaitForSettings(timeoutMs > used ? timeoutMs - used : 1);
    if (Stopping()) return LinkOutcome::Stopped;
    return settled ? LinkOutcome::Linked : LinkOutcome::LinkFailed;
}

bool CTetherSession::WaitForSettings(uint32_t timeoutMs) {
    return PumpUntil(
               [&] {
                   return !session_.ThreadRunning() || session_.SettingsComplete() || Stopping();
               },
               timeoutMs) &&
           session_.ThreadRunning() && session_.SettingsComplete();
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
    QueuedMessagePort& port = *session_.OwnPort();
    if (auto m = port.Take(timeoutMs)) session_.HandleMessage(*m);
    for (const auto& m : port.Drain()) session_.HandleMessage(m);
    session_.Tick();
}

void CTetherSession::OnNotice(int, const std::string& text, uint32_t) {
    std::string line = text;
    for (auto pos = line.find("\r\n"); pos != std::string::npos; pos = line.find("\r\n"))
        line.replace(pos, 2, " ");
    Note(ShellString(103) + ": " + line);
}

std::vector<uint32_t> CTetherSession::TakeCaptureResults() {
    std::vector<uint32_t> out;
    out.swap(captureResults_);
    return out;
}

std::vector<PictureEvent> CTetherSession::TakeFinishedFiles() {
    std::vector<PictureEvent> out;
    out.swap(files_);
    return out;
}

}  // namespace kvx::cli
