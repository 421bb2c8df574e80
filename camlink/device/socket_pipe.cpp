#include "camlink/device/socket_pipe.h"

#include <fcntl.h>
#include <sys/time.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace kvx::device {

std::unique_ptr<SocketPipe> SocketPipe::Connect(const std::string& path, int timeoutMs) {
    sockaddr_un addr{};
    if (path.empty() || path.size() >= sizeof addr.sun_path) return nullptr;
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    // Non-blocking: a camera that hangs without accepting fills its backlog,
    // and a blocking connect would then wait for ever (Unix sockets have no
    // connect timeout). Such a camera is reported unreachable at once.
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return nullptr;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<SocketPipe>(fd, timeoutMs);
}

SocketPipe::SocketPipe(int fd, int timeoutMs) : fd_(fd), timeoutMs_(timeoutMs) {
    // Blocking from here on, with the wait bounded by the kernel: a receive
    // then sleeps until the bytes it asked for are in (one call per reply
    // piece instead of a try, a poll and a retry per wake-up), and a camera
    // that stops answering still ends the wait after the timeout. Without
    // the timeouts the descriptor stays non-blocking: a call then ends at
    // once as a timeout, but never waits for ever.
    if (!SetKernelTimeout(timeoutMs_)) return;
    int flags = ::fcntl(fd_, F_GETFL);
    if (flags >= 0) ::fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK);
}

bool SocketPipe::SetKernelTimeout(int ms) {
    if (ms < 1) ms = 1;  // zero would mean "never"
    timeval tv{};
    tv.tv_sec = ms / 1000;
    tv.tv_usec = (ms % 1000) * 1000;
    return ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv) == 0 &&
           ::setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv) == 0;
}

SocketPipe::~SocketPipe() {
    if (fd_ >= 0) ::close(fd_);
}

// An interrupted call restarts with what is left of one deadline, so that
// signals cannot stretch the wait; false once the deadline has passed.
bool SocketPipe::Restart(std::chrono::steady_clock::time_point start) {
    const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now() - start)
                           .count();
    if (spent >= timeoutMs_) return false;
    SetKernelTimeout(timeoutMs_ - static_cast<int>(spent));
    restarted_ = true;
    return true;
}

// A call that was restarted leaves the socket with a shortened timeout; the
// next call starts from the whole one again.
PipeStatus SocketPipe::EndCall(PipeStatus status) {
    if (restarted_) {
        SetKernelTimeout(timeoutMs_);
        restarted_ = false;
    }
    return status;
}

PipeStatus SocketPipe::SendContainer(std::span<const uint8_t> bytes) {
    const auto start = std::chrono::steady_clock::now();
    PipeStatus status = PipeStatus::Ok;
    size_t sent = 0;
    while (sent < bytes.size()) {
        ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR && Restart(start)) continue;
        if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) {
            status = PipeStatus::Timeout;
        } else if (n < 0 && (errno == EPIPE || errno == ECONNRESET || errno == ENOTCONN)) {
            status = PipeStatus::Closed;
        } else {
            status = PipeStatus::Error;
        }
        break;
    }
    return EndCall(status);
}

PipeStatus SocketPipe::Receive(std::span<uint8_t> into, size_t* received) {
    *received = 0;
    if (into.empty()) return PipeStatus::Error;
    const auto start = std::chrono::steady_clock::now();
    PipeStatus status = PipeStatus::Error;
    for (;;) {
        // The whole span in one call: the kernel gathers the bytes as they
        // come. A timeout or a signal after some bytes returns those.
        ssize_t n = ::recv(fd_, into.data(), into.size(), MSG_WAITALL);
        if (n > 0) {
            *received = static_cast<size_t>(n);
            status = PipeStatus::Ok;
        } else if (n == 0) {
            status = PipeStatus::Closed;
        } else if (errno == EINTR && Restart(start)) {
            continue;
        } else if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) {
            status = PipeStatus::Timeout;
        } else if (errno == ECONNRESET || errno == ENOTCONN) {
            status = PipeStatus::Closed;
        }
        break;
    }
    return EndCall(status);
}

}  // namespace kvx::device
