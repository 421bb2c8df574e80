// IBytePipe over a Unix stream socket: the pipe to a virtual camera. Every
// wait is bounded by the timeout; end of stream is reported as Closed.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "camlink/device/byte_pipe.h"

namespace kvx::device {

class SocketPipe final : public IBytePipe {
public:
    static constexpr int kDefaultTimeoutMs = 5000;

    // Connects to the socket at path; null when it cannot be reached (no
    // listener, or one whose backlog is full because it stopped accepting).
    static std::unique_ptr<SocketPipe> Connect(const std::string& path,
                                               int timeoutMs = kDefaultTimeoutMs);
    // Takes ownership of a connected descriptor.
    explicit SocketPipe(int fd, int timeoutMs = kDefaultTimeoutMs);
    ~SocketPipe() override;
    SocketPipe(const SocketPipe&) = delete;
    SocketPipe& operator=(const SocketPipe&) = delete;

    PipeStatus SendContainer(std::span<const uint8_t> bytes) override;
    PipeStatus Receive(std::span<uint8_t> into, size_t* received) override;

private:
    bool SetKernelTimeout(int ms);
    bool Restart(std::chrono::steady_clock::time_point start);
    PipeStatus EndCall(PipeStatus status);

    int fd_;
    int timeoutMs_;
    bool restarted_ = false;
};

}  // namespace kvx::device
