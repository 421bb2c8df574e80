#include "platform/signal_pipe.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>

namespace kvx {

namespace {

std::atomic<int> g_writeFd{-1};

void OnSignal(int signo) {
    int saved = errno;  // the interrupted code may be reading errno
    int fd = g_writeFd.load(std::memory_order_relaxed);
    if (fd >= 0) {
        unsigned char byte = static_cast<unsigned char>(signo);
        // A full pipe already holds unread signals: dropping one more is fine.
        [[maybe_unused]] ssize_t n = ::write(fd, &byte, 1);
    }
    errno = saved;
}

}  // namespace

SignalPipe::SignalPipe(std::initializer_list<int> signalNumbers) {
    if (::pipe2(fds_, O_CLOEXEC | O_NONBLOCK) != 0) {
        fds_[0] = fds_[1] = -1;
        return;
    }
    g_writeFd.store(fds_[1]);
    ok_ = true;
    for (int signo : signalNumbers) {
        struct sigaction sa {};
        sa.sa_handler = OnSignal;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_RESTART;
        struct sigaction old {};
        if (::sigaction(signo, &sa, &old) != 0) {
            ok_ = false;
            continue;
        }
        saved_.emplace_back(signo, old);
    }
}

SignalPipe::~SignalPipe() {
    for (const auto& [signo, action] : saved_) ::sigaction(signo, &action, nullptr);
    g_writeFd.store(-1);
    for (int fd : fds_)
        if (fd >= 0) ::close(fd);
}

std::vector<int> SignalPipe::Drain() {
    std::vector<int> out;
    if (fds_[0] < 0) return out;
    unsigned char buffer[64];
    for (;;) {
        ssize_t n = ::read(fds_[0], buffer, sizeof buffer);
        if (n > 0) {
            out.insert(out.end(), buffer, buffer + n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        break;  // empty (EAGAIN) or closed
    }
    return out;
}

}  // namespace kvx
