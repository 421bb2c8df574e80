#include "vcam/control_client.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <vector>

namespace kvx::vcam {

namespace {

// Closes the socket on every path out.
struct Fd {
    int fd = -1;
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
};

}  // namespace

bool ControlClient::Send(const std::string& path, const std::string& line, std::string& answer,
                         std::string& error, int timeoutMs) {
    answer.clear();
    if (line.find('\n') != std::string::npos) {
        error = "a command is one line";
        return false;
    }
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path) {
        error = "socket path too long: " + path;
        return false;
    }
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    Fd s{::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)};
    if (s.fd < 0 || ::connect(s.fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        error = "cannot connect to " + path + ": " + std::strerror(errno);
        return false;
    }
    std::string out = line + "\n";
    for (size_t sent = 0; sent < out.size();) {
        ssize_t n = ::send(s.fd, out.data() + sent, out.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = std::string("cannot send: ") + std::strerror(errno);
            return false;
        }
        sent += size_t(n);
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string in;
    while (in.find('\n') == std::string::npos) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now())
                        .count();
        pollfd p{s.fd, POLLIN, 0};
        int r = left > 0 ? ::poll(&p, 1, int(left)) : 0;
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) {
            error = "no answer from " + path;
            return false;
        }
        char buf[4096];
        ssize_t n = ::recv(s.fd, buf, sizeof buf, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = "the camera closed the control connection without an answer";
            return false;
        }
        in.append(buf, size_t(n));
        if (in.size() > 1 << 20) {
            error = "answer too long";
            return false;
        }
    }
    answer = in.substr(0, in.find('\n'));
    return true;
}

std::string ControlClient::Find(const std::string& dir, const std::string& instance,
                                std::string& error) {
    namespace fs = std::filesystem;
    if (!instance.empty()) {
        if (instance.find('/') != std::string::npos) {
            error = "bad instance id: " + instance;
            return {};
        }
        return dir + "/" + instance + ".control";
    }
    std::vector<std::string> found;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->path().extension() == ".control") found.push_back(it->path().string());
        if (found.size() > 1) break;
    }
    if (found.size() == 1) return found[0];
    error = found.empty() ? "no camera with a control socket in " + dir
                          : "several cameras in " + dir + ": name one with --instance";
    return {};
}

}  // namespace kvx::vcam
