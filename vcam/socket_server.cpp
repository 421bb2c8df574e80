#include "vcam/socket_server.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "camlink/device/ptp_container.h"
#include "vcam/operation_codes.h"

namespace kvx::vcam {

struct SocketServer::Container {
    ptp::Header header;
    std::vector<uint8_t> body;
};

SocketServer::SocketServer(Handler& handler) : handler_(handler) {}

SocketServer::~SocketServer() {
    Stop();
}

bool SocketServer::Listen(const std::string& path) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path) return false;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    path_ = path;
    ::unlink(path_.c_str());
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 4) != 0) {
        ::close(fd);
        return false;
    }
    if (!wake_.Open()) {
        ::close(fd);
        ::unlink(path_.c_str());
        return false;
    }
    listenFd_ = fd;
    return true;
}

void SocketServer::Run() {
    stop_ = false;
    thread_ = std::thread([this] { Serve(); });
}

void SocketServer::Stop() {
    stop_ = true;
    wake_.Wake();
    if (thread_.joinable()) thread_.join();
    CloseListening();
}

void SocketServer::CloseListening() {
    if (listenFd_ >= 0) {
        ::close(listenFd_);
        listenFd_ = -1;
        ::unlink(path_.c_str());
    }
    wake_.Close();
}

void SocketServer::Serve() {
    while (!stop_) {
        handler_.OnIdle();
        pollfd p[2] = {{listenFd_, POLLIN, 0}, {wake_.ReadFd(), POLLIN, 0}};
        int r = ::poll(p, 2, 50);
        if (r < 0 && errno != EINTR) break;
        if (stop_ || (p[1].revents & POLLIN)) break;
        if (r <= 0 || !(p[0].revents & POLLIN)) continue;
        int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        handler_.OnHostChange();
        bool vanish = ServeConnection(fd);
        ::close(fd);
        CloseBusy();
        handler_.OnHostChange();
        if (vanish) {
            // Pulled out mid-transfer: no new connection is accepted until
            // plugged in again.
            ::close(listenFd_);
            listenFd_ = -1;
            ::unlink(path_.c_str());
            handler_.OnVanished();
            return;
        }
    }
}

// Waits until fd is ready (or the camera stops). False on stop or error.
// Meanwhile a second host that connects is told the camera is busy.
bool SocketServer::WaitFd(int fd, short events) {
    while (!stop_) {
        std::vector<pollfd> p{{fd, events, 0}, {wake_.ReadFd(), POLLIN, 0}, {listenFd_, POLLIN, 0}};
        for (const auto& b : busy_) p.push_back({b.fd, POLLIN, 0});
        int r = ::poll(p.data(), nfds_t(p.size()), 50);
        if (r < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (p[1].revents & POLLIN) return false;
        if (r == 0) {
            handler_.OnIdle();
            continue;
        }
        // A host that hangs up as the next one connects: the next one is
        // served once this connection ends, not told the camera is busy.
        if (p[0].revents & (POLLHUP | POLLERR)) return true;
        if (p[2].revents & POLLIN) AcceptBusy();
        for (size_t i = 3; i < p.size(); ++i)
            if (p[i].revents) ServeBusy(p[i].fd);
        std::erase_if(busy_, [](const Busy& b) { return b.fd < 0; });
        if (p[0].revents & (events | POLLHUP | POLLERR)) return true;
    }
    return false;
}

void SocketServer::AcceptBusy() {
    int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) return;
    if (busy_.size() >= 8) {
        ::close(fd);
        return;
    }
    busy_.push_back({fd, {}});
}

void SocketServer::ServeBusy(int fd) {
    auto it = std::find_if(busy_.begin(), busy_.end(), [&](const Busy& b) { return b.fd == fd; });
    if (it == busy_.end()) return;
    uint8_t buf[4096];
    ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n <= 0) {
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
        ::close(fd);
        it->fd = -1;
        return;
    }
    it->pending.insert(it->pending.end(), buf, buf + n);
    while (it->pending.size() >= ptp::kHeaderSize) {
        auto h = ptp::DecodeHeader(it->pending);
        if (!h || h->length > ptp::kHeaderSize + kMaxWriteData) {
            ::close(fd);
            it->fd = -1;
            return;
        }
        if (it->pending.size() < h->length) return;
        if (h->type == ptp::ContainerType::Command) {
            auto resp =
                ptp::EncodeParams(ptp::ContainerType::Response, kDeviceBusy, h->transactionId, {});
            if (::send(fd, resp.data(), resp.size(), MSG_NOSIGNAL | MSG_DONTWAIT) !=
                ssize_t(resp.size())) {
                ::close(fd);
                it->fd = -1;
                return;
            }
        }
        it->pending.erase(it->pending.begin(), it->pending.begin() + h->length);
    }
}

void SocketServer::CloseBusy() {
    for (auto& b : busy_)
        if (b.fd >= 0) ::close(b.fd);
    busy_.clear();
}

bool SocketServer::ReadExact(int fd, uint8_t* out, size_t n) {
    size_t got = 0;
    while (got < n) {
        if (!WaitFd(fd, POLLIN)) return false;
        ssize_t r = ::recv(fd, out + got, n - got, 0);
        if (r == 0) return false;
        if (r < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            return false;
        }
        got += size_t(r);
    }
    return true;
}

bool SocketServer::WriteAll(int fd, const uint8_t* p, size_t n) {
    size_t sent = 0;
    while (sent < n) {
        if (!WaitFd(fd, POLLOUT)) return false;
        ssize_t r = ::send(fd, p + sent, n - sent, MSG_NOSIGNAL);
        if (r < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            return false;
        }
        sent += size_t(r);
    }
    return true;
}

bool SocketServer::ReadContainer(int fd, Container& c) {
    uint8_t head[ptp::kHeaderSize];
    if (!ReadExact(fd, head, sizeof head)) return false;
    auto h = ptp::DecodeHeader(head);
    if (!h || h->length - ptp::kHeaderSize > kMaxWriteData) return false;
    c.header = *h;
    c.body.resize(h->length - ptp::kHeaderSize);
    return c.body.empty() || ReadExact(fd, c.body.data(), c.body.size());
}

// Serves one host until it goes away or the camera stops. True when the
// camera vanished in the middle of a reply.
bool SocketServer::ServeConnection(int fd) {
    Container c;
    while (!stop_) {
        if (!ReadContainer(fd, c)) return false;
        // A data container where a command belongs is the write phase of an
        // operation this camera did not know: already answered.
        if (c.header.type != ptp::ContainerType::Command) continue;
        uint16_t code = c.header.code;
        uint32_t tid = c.header.transactionId;
        auto params = ptp::DecodeParams(c.body);
        std::vector<uint8_t> data;
        if (HasWritePhase(code)) {
            Container d;
            if (!ReadContainer(fd, d)) return false;
            if (d.header.type != ptp::ContainerType::Data) return false;
            data = std::move(d.body);
        }
        OperationReply reply = handler_.OnOperation(code, params, data);
        if (reply.silent) continue;
        bool dataPhase = IsReadOp(code) && !HasWritePhase(code);
        if (dataPhase) {
            size_t limit = IsLargeRead(code) ? kLargeReplyMax : kNormalReplyMax;
            if (reply.payload.size() > limit) {
                reply.payload.clear();
                reply.code = kGeneralError;
            }
            uint8_t head[ptp::kHeaderSize];
            ptp::EncodeHeader(ptp::DataHeader(code, tid, reply.payload.size()), head);
            if (!WriteAll(fd, head, sizeof head)) return false;
            if (reply.vanishAfterPayload) {
                size_t n = std::min(*reply.vanishAfterPayload, reply.payload.size());
                WriteAll(fd, reply.payload.data(), n);
                return true;
            }
            if (!reply.payload.empty() && !WriteAll(fd, reply.payload.data(), reply.payload.size()))
                return false;
        }
        auto resp = ptp::EncodeParams(ptp::ContainerType::Response, reply.code, tid, reply.params);
        if (!WriteAll(fd, resp.data(), resp.size())) return false;
        if (reply.vanishAfterReply) return true;
    }
    return false;
}

}  // namespace kvx::vcam
