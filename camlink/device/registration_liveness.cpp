#include "camlink/device/registration_liveness.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>

namespace kvx::device {

namespace {

namespace fs = std::filesystem;

// Socket flag of a listening socket in the kernel's table (__SO_ACCEPTCON).
constexpr unsigned kAcceptConnections = 0x10000;

// Paths of the Unix sockets that listen right now, as the kernel lists them.
// Empty when the table cannot be read; then every probe falls back to a
// connect.
std::set<std::string> ListeningSocketPaths() {
    std::set<std::string> out;
    std::ifstream in("/proc/net/unix");
    std::string line;
    if (!std::getline(in, line)) return out;  // the header
    while (std::getline(in, line)) {
        // "Num: RefCount Protocol Flags Type St Inode Path"
        unsigned flags = 0, type = 0, state = 0;
        unsigned long inode = 0;
        int consumed = 0;
        if (std::sscanf(line.c_str(), "%*s %*x %*x %x %x %x %lu%n", &flags, &type, &state, &inode,
                        &consumed) != 4)
            continue;
        if (!(flags & kAcceptConnections)) continue;
        size_t at = static_cast<size_t>(consumed);
        if (at >= line.size() || line[at] != ' ') continue;  // unnamed socket
        out.insert(line.substr(at + 1));
    }
    return out;
}

std::optional<ino_t> SocketInode(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISSOCK(st.st_mode)) return std::nullopt;
    return st.st_ino;
}

SocketLiveness Probe(const std::string& path, const std::set<std::string>& listening) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return errno == ENOENT || errno == ENOTDIR ? SocketLiveness::Missing
                                                   : SocketLiveness::Unknown;
    if (!S_ISSOCK(st.st_mode)) return SocketLiveness::Unknown;
    if (listening.count(path)) return SocketLiveness::Listening;
    // The kernel's table is read in pages while other sockets come and go, so
    // one reading can miss a listening socket: look again before knocking at
    // what may be a live camera.
    for (int again = 0; again < 2; ++again)
        if (ListeningSocketPaths().count(path)) return SocketLiveness::Listening;

    sockaddr_un addr{};
    if (path.size() >= sizeof addr.sun_path) return SocketLiveness::Unknown;
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    // Non-blocking, so a camera whose backlog is full cannot hold the list up.
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return SocketLiveness::Unknown;
    int rc = ::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
    int err = rc == 0 ? 0 : errno;
    // Closed before a single byte: a camera takes this for a host that left.
    ::close(fd);
    if (rc == 0 || err == EAGAIN || err == EINPROGRESS) return SocketLiveness::Listening;
    if (err == ECONNREFUSED) return SocketLiveness::Refused;
    if (err == ENOENT) return SocketLiveness::Missing;
    return SocketLiveness::Unknown;
}

bool IsStale(SocketLiveness s) {
    return s == SocketLiveness::Refused || s == SocketLiveness::Missing;
}

std::optional<VirtualRegistration> ReadRegistrationFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    if (!in) return std::nullopt;
    std::stringstream ss;
    ss << in.rdbuf();
    return ParseRegistration(ss.str());
}

bool RemoveIfStale(const VirtualRegistration& r, const std::set<std::string>& listening) {
    if (r.file.empty()) return false;
    const fs::path file(r.file);
    // The socket as it was judged: only this very socket file is removed later.
    std::optional<ino_t> socketBefore = SocketInode(r.socket);
    if (!IsStale(Probe(r.socket, listening))) return false;

    // Take the file out of everybody's sight first (readers skip dot names);
    // a camera that registers again in the meantime writes a new file, which
    // the check below recognises and puts back.
    // Unique per call: the watcher, a search and the library may sweep at once.
    static std::atomic<unsigned> serial{0};
    fs::path claimed = file.parent_path() /
                       ("." + file.filename().string() + ".stale" + std::to_string(::getpid()) +
                        "-" + std::to_string(serial.fetch_add(1)));
    if (::rename(file.c_str(), claimed.c_str()) != 0) return false;
    auto now = ReadRegistrationFile(claimed);
    SocketLiveness again =
        now ? Probe(now->socket, ListeningSocketPaths()) : SocketLiveness::Missing;
    if (now && (now->socket != r.socket || !IsStale(again))) {
        // A live camera wrote it: back under its name, unless it wrote yet another one.
        if (::link(claimed.c_str(), file.c_str()) != 0 && errno != EEXIST) {
            ::rename(claimed.c_str(), file.c_str());
            return false;
        }
        ::unlink(claimed.c_str());
        return false;
    }
    ::unlink(claimed.c_str());
    if (again == SocketLiveness::Refused && socketBefore && SocketInode(r.socket) == socketBefore)
        ::unlink(r.socket.c_str());
    return true;
}

}  // namespace

SocketLiveness ProbeSocket(const std::string& path) {
    return Probe(path, ListeningSocketPaths());
}

bool RemoveStaleRegistration(const VirtualRegistration& r) {
    return RemoveIfStale(r, ListeningSocketPaths());
}

std::vector<VirtualRegistration> ReadLiveRegistrations(const std::string& dir,
                                                       std::vector<std::string>* removed) {
    std::vector<VirtualRegistration> out;
    const std::set<std::string> listening = ListeningSocketPaths();
    for (auto& r : ReadRegistrations(dir)) {
        SocketLiveness s = Probe(r.socket, listening);
        if (s == SocketLiveness::Listening)
            out.push_back(std::move(r));
        else if (IsStale(s) && RemoveIfStale(r, listening) && removed)
            removed->push_back(r.file);
    }
    return out;
}

}  // namespace kvx::device
