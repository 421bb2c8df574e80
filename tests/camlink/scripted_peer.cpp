#include "scripted_peer.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>

#include "camlink/device/ptp_container.h"

namespace kvx::test {

namespace ptp = kvx::ptp;

namespace {

bool WaitReadable(int fd, int wakeFd) {
    pollfd p[2] = {{fd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
    for (;;) {
        int r = ::poll(p, 2, -1);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return false;
        if (p[1].revents) return false;
        return true;
    }
}

bool ReadExact(int fd, int wakeFd, uint8_t* into, size_t n) {
    size_t got = 0;
    while (got < n) {
        if (!WaitReadable(fd, wakeFd)) return false;
        ssize_t r = ::recv(fd, into + got, n - got, 0);
        if (r <= 0) return false;
        got += static_cast<size_t>(r);
    }
    return true;
}

bool WriteAll(int fd, const uint8_t* p, size_t n) {
    while (n > 0) {
        ssize_t w = ::send(fd, p, n, MSG_NOSIGNAL);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        p += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

// Reads one container: header and body.
bool ReadContainer(int fd, int wakeFd, ptp::Header* h, std::vector<uint8_t>* body) {
    uint8_t header[ptp::kHeaderSize];
    if (!ReadExact(fd, wakeFd, header, sizeof header)) return false;
    auto d = ptp::DecodeHeader(header);
    if (!d) return false;
    *h = *d;
    body->resize(d->length - ptp::kHeaderSize);
    return body->empty() || ReadExact(fd, wakeFd, body->data(), body->size());
}

}  // namespace

kvx::device::VirtualRegistration CameraRegistration(const std::string& instance,
                                                    const std::string& product) {
    kvx::device::VirtualRegistration r;
    r.vendor = "VID_4E7A";
    r.product = product;
    r.instance = instance;
    r.driver = "{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\" + instance;
    r.deviceId = r.driver;
    r.name = "Test Camera " + instance;
    r.description = "scripted test camera";
    r.type = 0x00020000;
    r.port = "test";
    r.pnpId = "USB\\VID_4E7A&" + product + "\\" + instance;
    return r;
}

bool ScriptedPeer::HasWritePhase(uint16_t op) {
    switch (op) {
        case 0x9016:
        case 0x9017:
        case 0x9018:
        case 0x9019:
        case 0x901B:
        case 0x9024:
        case 0x9028:
        case 0x902A:
        case 0x901C:
        case 0x901D:
        case 0x902F:
            return true;
        default:
            return false;
    }
}

ScriptedPeer::ScriptedPeer(const std::string& deviceDir, const std::string& socketDir,
                           kvx::device::VirtualRegistration registration)
    : registration_(std::move(registration)), deviceDir_(deviceDir) {
    registration_.socket = socketDir + "/" + registration_.instance + ".sock";
    ::unlink(registration_.socket.c_str());
    listenFd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (registration_.socket.size() >= sizeof addr.sun_path)
        throw std::runtime_error("path too long");
    std::memcpy(addr.sun_path, registration_.socket.c_str(), registration_.socket.size() + 1);
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listenFd_, 4) != 0)
        throw std::runtime_error("cannot listen");
    if (::pipe2(wakeFd_, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    if (!kvx::device::WriteRegistration(deviceDir_, registration_))
        throw std::runtime_error("cannot register");
    On(ptp::kOpOpenSession, PeerReply{});
    On(ptp::kOpCloseSession, PeerReply{});
    thread_ = std::thread([this] { Serve(); });
}

ScriptedPeer::~ScriptedPeer() {
    kvx::device::RemoveRegistration(deviceDir_, registration_.instance);
    stop_ = true;
    char c = 1;
    [[maybe_unused]] ssize_t w = ::write(wakeFd_[1], &c, 1);
    thread_.join();
    ::close(listenFd_);
    ::close(wakeFd_[0]);
    ::close(wakeFd_[1]);
    ::unlink(registration_.socket.c_str());
}

void ScriptedPeer::On(uint16_t op, PeerReply reply) {
    On(op, Handler([reply](const PeerCommand&) { return reply; }));
}

void ScriptedPeer::On(uint16_t op, Handler handler) {
    std::lock_guard guard(lock_);
    handlers_[op] = std::move(handler);
}

std::vector<PeerCommand> ScriptedPeer::Commands() const {
    std::lock_guard guard(lock_);
    return commands_;
}

std::vector<PeerCommand> ScriptedPeer::CommandsFor(uint16_t op) const {
    std::vector<PeerCommand> out;
    for (auto& c : Commands())
        if (c.op == op) out.push_back(c);
    return out;
}

PeerReply ScriptedPeer::ReplyFor(const PeerCommand& c) {
    Handler h;
    {
        std::lock_guard guard(lock_);
        commands_.push_back(c);
        auto it = handlers_.find(c.op);
        if (it != handlers_.end()) h = it->second;
    }
    if (!h) {
        PeerReply r;
        r.code = ptp::kResponseOperationNotSupported;
        return r;
    }
    return h(c);
}

void ScriptedPeer::Serve() {
    while (!stop_) {
        if (!WaitReadable(listenFd_, wakeFd_[0])) continue;
        int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        ++connections_;
        ServeConnection(fd);
        ::close(fd);
    }
}

bool ScriptedPeer::ServeConnection(int fd) {
    for (;;) {
        ptp::Header h;
        std::vector<uint8_t> body;
        if (!ReadContainer(fd, wakeFd_[0], &h, &body)) return false;
        if (h.type != ptp::ContainerType::Command) return false;
        PeerCommand c;
        c.op = h.code;
        c.transactionId = h.transactionId;
        if (auto p = ptp::DecodeParams(body)) c.params = *p;
        if (HasWritePhase(c.op)) {
            ptp::Header dh;
            if (!ReadContainer(fd, wakeFd_[0], &dh, &c.data)) return false;
            if (dh.type != ptp::ContainerType::Data) return false;
            c.hadData = true;
        }
        PeerReply r = ReplyFor(c);
        if (r.action == PeerReply::Action::VanishBeforeReply) return false;
        if (r.action == PeerReply::Action::Silent) {
            // Stay connected and mute until the host gives up or the test ends.
            uint8_t sink[256];
            while (WaitReadable(fd, wakeFd_[0]) && ::recv(fd, sink, sizeof sink, 0) > 0) {
            }
            return false;
        }
        if (r.data) {
            std::vector<uint8_t> out(ptp::kHeaderSize + r.data->size());
            ptp::EncodeHeader(ptp::DataHeader(c.op, c.transactionId, r.data->size()), out.data());
            std::memcpy(out.data() + ptp::kHeaderSize, r.data->data(), r.data->size());
            if (r.action == PeerReply::Action::VanishMidData) {
                WriteAll(fd, out.data(), ptp::kHeaderSize + r.data->size() / 2);
                return false;
            }
            if (!WriteAll(fd, out.data(), out.size())) return false;
        }
        auto resp =
            ptp::EncodeParams(ptp::ContainerType::Response, r.code, c.transactionId, r.params);
        if (!WriteAll(fd, resp.data(), resp.size())) return false;
    }
}

}  // namespace kvx::test
