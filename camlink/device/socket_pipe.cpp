#include "camlink/device/socket_pipe.h"

#include <fcntl.h>
#include <poll.h>
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
    int flags = ::fcntl(fd_, F_GETFL);
    if (flags >= 0) ::fcntl(fd_, F_SETFL, flags | O_NONBLOCK);
}

SocketPipe::~SocketPipe() {
    if (fd_ >= 0) ::close(fd_);
}

PipeStatus SocketPipe::Wait(short events) {
    // One deadline for the whole wait, so that interrupted polls cannot stretch it.
    // Device I/O keeps real time even when a test installs another clock.
    auto start = std::chrono::steady_clock::now();
    for (;;) {
        auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(
                         std::chrono::steady_clock::now() - start)
                         .count();
        if (spent >= timeoutMs_) return PipeStatus::Timeout;
        pollfd p{fd_, events, 0};
        int r = ::poll(&p, 1, timeoutMs_ - static_cast<int>(spent));
        if (r < 0) {
            if (errno == EINTR) continue;
            return PipeStatus::Error;
        }
        if (r == 0) return PipeStatus::Timeout;
        if (p.revents & (events | POLLHUP | POLLERR)) return PipeStatus::Ok;
    }
}

PipeStatus SocketPipe::SendContainer(std::span<const uint8_t> bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            PipeStatus w = Wait(POLLOUT);
            if (w != PipeStatus::Ok) return w;
            continue;
        }
        if (n < 0 && (errno == EPIPE || errno == ECONNRESET || errno == ENOTCONN))
            return PipeStatus::Closed;
        return PipeStatus::Error;
    }
    return PipeStatus::Ok;
}

PipeStatus SocketPipe::Receive(std::span<uint8_t> into, size_t* received) {
    *received = 0;
    if (into.empty()) return PipeStatus::Error;
    for (;;) {
        ssize_t n = ::recv(fd_, into.data(), into.size(), 0);
        if (n > 0) {
            *received = static_cast<size_t>(n);
            return PipeStatus::Ok;
        }
        if (n == 0) return PipeStatus::Closed;
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            PipeStatus w = Wait(POLLIN);
            if (w != PipeStatus::Ok) return w;
            continue;
        }
        if (errno == ECONNRESET || errno == ENOTCONN) return PipeStatus::Closed;
        return PipeStatus::Error;
    }
}

}  // namespace kvx::device
