// A camera at the far end of a real Unix socket that sends a prepared byte
// stream and then ends its side of the stream: the library finds it, opens
// it and runs its transactions through its real device layer. Nothing ever
// waits on it for long: once the stream is out, every further read sees the
// end at once. It keeps what the host sent, so a target can tell whether the
// library knocked at all, and how it left.
#pragma once

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "camlink/device/virtual_registration.h"

namespace kvx::fuzz {

class SocketCamera {
public:
    // Registers a camera of model group 130 in folder (which becomes the
    // process's virtual device folder, with USB left out).
    explicit SocketCamera(const std::string& folder)
        : SocketCamera(folder + "/cam.sock", ListenOnly{}) {
        ::setenv("KVX_DEVICE_DIR", folder.c_str(), 1);
        ::setenv("KVX_DEVICE_USB", "0", 1);
        kvx::device::VirtualRegistration r;
        r.instance = "KVXFUZZ1";
        r.driver = "{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\0042";
        r.deviceId = r.driver;
        r.name = "Varno Camera";
        r.description = "fuzz camera";
        r.port = path_;
        r.pnpId = "USB\\VID_4E7A&PID_5E30\\KVXFUZZ1";
        r.socket = path_;
        if (!kvx::device::WriteRegistration(folder, r)) std::abort();
    }
    // Only listens at socketPath; the caller writes whatever registrations
    // point at it.
    struct ListenOnly {};
    SocketCamera(std::string socketPath, ListenOnly) : path_(std::move(socketPath)) {
        listener_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        stop_ = ::eventfd(0, EFD_CLOEXEC);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        if (listener_ < 0 || stop_ < 0 || path_.size() >= sizeof addr.sun_path) std::abort();
        std::memcpy(addr.sun_path, path_.c_str(), path_.size() + 1);
        ::unlink(path_.c_str());
        if (::bind(listener_, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0 ||
            ::listen(listener_, 4) != 0)
            std::abort();
    }
    ~SocketCamera() {
        Finish();
        ::close(listener_);
        ::close(stop_);
    }
    SocketCamera(const SocketCamera&) = delete;
    SocketCamera& operator=(const SocketCamera&) = delete;

    const std::string& Path() const { return path_; }

    // Answers every connection with stream, then ends that stream; what the
    // host sends is kept until it hangs up. A connection on which the host
    // sends nothing (a probe of whether the camera listens) does not count.
    void Serve(std::vector<uint8_t> stream) {
        Finish();
        received_.clear();
        connections_ = 0;
        thread_ = std::thread([this, s = std::move(stream)] {
            for (;;) {
                pollfd p[2] = {{listener_, POLLIN, 0}, {stop_, POLLIN, 0}};
                if (::poll(p, 2, -1) < 0) {
                    if (errno == EINTR) continue;
                    return;
                }
                // Connections already waiting are answered before a stop.
                if (!(p[0].revents & POLLIN)) return;
                const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
                if (fd < 0 && errno == EINTR) continue;
                if (fd < 0) return;
                if (Answer(fd, s)) ++connections_;
            }
        });
    }
    // Ends the last Serve once every connection made so far is over.
    void Finish() {
        if (!thread_.joinable()) return;
        const uint64_t one = 1;
        if (::write(stop_, &one, sizeof one) != sizeof one) std::abort();
        thread_.join();
        uint64_t drained = 0;
        if (::read(stop_, &drained, sizeof drained) != sizeof drained) std::abort();
    }
    // Valid after Finish: the bytes the host sent, over every connection,
    // and the number of connections that carried any.
    const std::vector<uint8_t>& Received() const { return received_; }
    int Connections() const { return connections_; }

private:
    // True when the host sent anything on fd.
    bool Answer(int fd, const std::vector<uint8_t>& s) {
        size_t sent = 0;
        while (sent < s.size()) {
            const ssize_t n = ::send(fd, s.data() + sent, s.size() - sent, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            sent += static_cast<size_t>(n);
        }
        ::shutdown(fd, SHUT_WR);
        bool any = false;
        uint8_t sink[4096];
        for (;;) {
            const ssize_t n = ::recv(fd, sink, sizeof sink, 0);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            received_.insert(received_.end(), sink, sink + n);
            any = true;
        }
        ::close(fd);
        return any;
    }

    std::string path_;
    int listener_ = -1;
    int stop_ = -1;  // written by Finish
    std::thread thread_;
    std::vector<uint8_t> received_;
    int connections_ = 0;
};

}  // namespace kvx::fuzz
