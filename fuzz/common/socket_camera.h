// A camera at the far end of a real Unix socket, registered in a private
// virtual device folder, that sends a prepared byte stream and then ends its
// side of the stream: the library finds it, opens it and runs its
// transactions through its real device layer. Nothing ever waits on it for
// long: once the stream is out, every further read sees the end at once.
#pragma once

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

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
    explicit SocketCamera(const std::string& folder) {
        ::setenv("KVX_DEVICE_DIR", folder.c_str(), 1);
        ::setenv("KVX_DEVICE_USB", "0", 1);
        const std::string path = folder + "/cam.sock";
        listener_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        if (listener_ < 0 || path.size() >= sizeof addr.sun_path) std::abort();
        std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
        ::unlink(path.c_str());
        if (::bind(listener_, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0 ||
            ::listen(listener_, 4) != 0)
            std::abort();
        kvx::device::VirtualRegistration r;
        r.instance = "KVXFUZZ1";
        r.driver = "{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\0042";
        r.deviceId = r.driver;
        r.name = "Varno Camera";
        r.description = "fuzz camera";
        r.port = path;
        r.pnpId = "USB\\VID_4E7A&PID_5E30\\KVXFUZZ1";
        r.socket = path;
        if (!kvx::device::WriteRegistration(folder, r)) std::abort();
    }
    ~SocketCamera() {
        Finish();
        ::close(listener_);
    }
    SocketCamera(const SocketCamera&) = delete;
    SocketCamera& operator=(const SocketCamera&) = delete;

    // Answers the next connection with stream, then ends the stream; what
    // the host sends is read and dropped until it hangs up.
    void Serve(std::vector<uint8_t> stream) {
        Finish();
        thread_ = std::thread([this, s = std::move(stream)] {
            pollfd p{listener_, POLLIN, 0};
            if (::poll(&p, 1, 2000) <= 0) return;
            const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) return;
            size_t sent = 0;
            while (sent < s.size()) {
                const ssize_t n = ::send(fd, s.data() + sent, s.size() - sent, MSG_NOSIGNAL);
                if (n <= 0) break;
                sent += static_cast<size_t>(n);
            }
            ::shutdown(fd, SHUT_WR);
            uint8_t sink[4096];
            while (::recv(fd, sink, sizeof sink, 0) > 0) {
            }
            ::close(fd);
        });
    }
    // Waits until the connection of the last Serve is over.
    void Finish() {
        if (thread_.joinable()) thread_.join();
    }

private:
    int listener_ = -1;
    std::thread thread_;
};

}  // namespace kvx::fuzz
