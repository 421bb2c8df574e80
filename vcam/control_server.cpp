#include "vcam/control_server.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace kvx::vcam {

namespace {

// Writes a whole answer, waiting at most two seconds for room each time: a
// peer that never reads its answers must not hold the thread (and its stop) up.
bool WriteAll(int fd, const std::string& s, bool socket) {
    size_t sent = 0;
    while (sent < s.size()) {
        pollfd p{fd, POLLOUT, 0};
        int ready = ::poll(&p, 1, 2000);
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0 || !(p.revents & POLLOUT)) return false;
        ssize_t r = socket ? ::send(fd, s.data() + sent, s.size() - sent, MSG_NOSIGNAL)
                           : ::write(fd, s.data() + sent, s.size() - sent);
        if (r < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            return false;
        }
        sent += size_t(r);
    }
    return true;
}

bool Skipped(const std::string& line) {
    auto first = line.find_first_not_of(" \t\r");
    return first == std::string::npos || line[first] == '#';
}

}  // namespace

ControlServer::ControlServer(Executor executor) : executor_(std::move(executor)) {}

ControlServer::~ControlServer() {
    Stop();
}

bool ControlServer::Listen(const std::string& path) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof addr.sun_path || listenFd_ >= 0) return false;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    // A socket someone still answers on belongs to a camera that runs: it
    // is not taken over. Anything else at the path is left over and goes.
    int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (probe < 0) return false;
    bool live = ::connect(probe, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    ::close(probe);
    if (live) return false;
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    ::unlink(path.c_str());
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 8) != 0) {
        ::close(fd);
        return false;
    }
    listenFd_ = fd;
    path_ = path;
    return true;
}

void ControlServer::ServeStream(int inFd, int outFd) {
    inFd_ = inFd;
    outFd_ = outFd;
}

bool ControlServer::Run() {
    if (thread_.joinable()) return true;
    if (!wake_.Open()) return false;
    stop_ = false;
    thread_ = std::thread([this] { Serve(); });
    return true;
}

void ControlServer::Stop() {
    stop_ = true;
    wake_.Wake();
    if (thread_.joinable()) thread_.join();
    Close();
}

void ControlServer::Close() {
    for (auto& c : clients_)
        if (c.fd >= 0) ::close(c.fd);
    clients_.clear();
    if (listenFd_ >= 0) {
        ::close(listenFd_);
        listenFd_ = -1;
        ::unlink(path_.c_str());
    }
    wake_.Close();
}

bool ControlServer::Answer(std::string& pending, int outFd, bool socket) {
    for (auto nl = pending.find('\n'); nl != std::string::npos; nl = pending.find('\n')) {
        std::string line = pending.substr(0, nl);
        pending.erase(0, nl + 1);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (Skipped(line)) continue;
        if (!WriteAll(outFd, executor_(line) + "\n", socket)) return false;
        if (stop_) return true;
    }
    if (pending.size() > kMaxLine) {
        // No command is that long: refuse it rather than let it grow.
        pending.clear();
        WriteAll(outFd, "error: line longer than 4096 bytes\n", socket);
        return false;
    }
    return true;
}

void ControlServer::Serve() {
    while (!stop_) {
        std::vector<pollfd> p{
            {wake_.ReadFd(), POLLIN, 0}, {listenFd_, POLLIN, 0}, {inFd_, POLLIN, 0}};
        for (const auto& c : clients_) p.push_back({c.fd, POLLIN, 0});
        int r = ::poll(p.data(), nfds_t(p.size()), -1);
        if (r < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (stop_ || (p[0].revents & POLLIN)) break;
        if (p[1].revents & POLLIN) {
            int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
            if (fd >= 0 && clients_.size() >= kMaxClients) {
                WriteAll(fd, "error: too many control connections\n", true);
                ::close(fd);
            } else if (fd >= 0) {
                clients_.push_back({fd, {}});
            }
        }
        if (p[2].revents) {
            char buf[1024];
            ssize_t n = ::read(inFd_, buf, sizeof buf);
            if (n > 0) {
                streamPending_.append(buf, size_t(n));
                if (!Answer(streamPending_, outFd_, false)) inFd_ = -1;
            } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
                // End of input (or a terminal we may not read): the camera
                // keeps running, steered through its control socket.
                inFd_ = -1;
            }
        }
        for (size_t i = 3; i < p.size(); ++i) {
            if (!p[i].revents) continue;
            Client& c = clients_[i - 3];
            char buf[1024];
            ssize_t n = ::recv(c.fd, buf, sizeof buf, 0);
            bool keep = n > 0 || (n < 0 && (errno == EINTR || errno == EAGAIN));
            if (n > 0) {
                c.pending.append(buf, size_t(n));
                keep = Answer(c.pending, c.fd, true);
            }
            if (!keep) {
                ::close(c.fd);
                c.fd = -1;
            }
        }
        std::erase_if(clients_, [](const Client& c) { return c.fd < 0; });
    }
}

}  // namespace kvx::vcam
