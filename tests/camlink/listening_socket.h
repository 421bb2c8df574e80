// Unix sockets for device folder fixtures: a registration needs a socket that
// listens to count as a camera, and a camera that was killed leaves a socket
// file with nobody listening.
#pragma once

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>
#include <string>

#include "camlink/device/virtual_registration.h"

namespace kvx::test {

// Binds and listens at path for its lifetime (the file is removed with it).
// Nobody accepts: Pending() tells whether anyone connected.
class ListeningSocket {
public:
    explicit ListeningSocket(std::string path) : path_(std::move(path)) {
        fd_ = Bind(path_);
        if (::listen(fd_, 4) != 0) throw std::runtime_error("listen " + path_);
    }
    ~ListeningSocket() {
        if (fd_ >= 0) ::close(fd_);
        if (!path_.empty()) ::unlink(path_.c_str());
    }
    ListeningSocket(const ListeningSocket&) = delete;
    ListeningSocket& operator=(const ListeningSocket&) = delete;

    // True when a connection waits to be accepted (somebody knocked).
    bool Pending() {
        int flags = ::fcntl(fd_, F_GETFL);
        ::fcntl(fd_, F_SETFL, flags | O_NONBLOCK);
        int c = ::accept(fd_, nullptr, nullptr);
        ::fcntl(fd_, F_SETFL, flags);
        if (c < 0) return false;
        ::close(c);
        return true;
    }
    const std::string& Path() const { return path_; }
    // Stops listening but leaves the file, as a killed process does.
    void Die() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
        path_.clear();
    }

    // A socket file as a killed process leaves it: bound once, nobody listening.
    static void LeaveDead(const std::string& path) { ::close(Bind(path)); }

private:
    static int Bind(const std::string& path) {
        sockaddr_un addr{};
        if (path.size() >= sizeof addr.sun_path) throw std::runtime_error("path too long");
        addr.sun_family = AF_UNIX;
        std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
        ::unlink(path.c_str());
        int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
            if (fd >= 0) ::close(fd);
            throw std::runtime_error("bind " + path);
        }
        return fd;
    }

    std::string path_;
    int fd_ = -1;
};

// A virtual camera's registration with its socket at "<dir>/<instance>.sock"
// (not written, and no socket made).
inline kvx::device::VirtualRegistration RegistrationIn(const std::string& dir,
                                                       const std::string& instance,
                                                       const std::string& product,
                                                       const std::string& name) {
    kvx::device::VirtualRegistration r;
    r.product = product;
    r.instance = instance;
    r.driver = "{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\" + instance;
    r.deviceId = r.driver;
    r.name = name;
    r.pnpId = "USB\\VID_4E7A&" + product + "\\" + instance;
    r.socket = dir + "/" + instance + ".sock";
    return r;
}

// A registration of a camera that died without unregistering: its socket
// file is left with nobody listening, or (socketMissing) is gone as well.
inline kvx::device::VirtualRegistration DeadRegistration(const std::string& dir,
                                                         const std::string& instance,
                                                         const std::string& product,
                                                         bool socketMissing) {
    auto r = RegistrationIn(dir, instance, product, "Dead");
    if (!socketMissing) ListeningSocket::LeaveDead(r.socket);
    if (!kvx::device::WriteRegistration(dir, r)) throw std::runtime_error("register " + instance);
    return r;
}

}  // namespace kvx::test
