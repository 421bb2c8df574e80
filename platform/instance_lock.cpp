#include "platform/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/paths.h"

namespace kvx {

namespace {

constexpr const char* kInstanceName = "KVX2.exe";

std::string ErrnoText(const char* what, const std::string& path) {
    return std::string(what) + " " + path + ": " + std::strerror(errno);
}

std::string FolderOf(const std::string& path) {
    auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

bool InstanceLock::EnsurePrivateFolder(const std::string& folder, std::string* error) {
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        if (error) *error = ErrnoText("cannot create", folder);
        return false;
    }
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0) {
        if (error) *error = ErrnoText("cannot inspect", folder);
        return false;
    }
    if (!S_ISDIR(st.st_mode) || st.st_uid != ::getuid() || (st.st_mode & (S_IWGRP | S_IWOTH))) {
        if (error) *error = folder + " is not a private folder of this user";
        return false;
    }
    return true;
}

std::string InstanceLock::SocketPath() {
    return RuntimeFolder() + "/" + kInstanceName;
}

std::string InstanceLock::LockPath() {
    return SocketPath() + ".lock";
}

InstanceLock::InstanceLock(const std::string& lockPath) {
    if (!EnsurePrivateFolder(FolderOf(lockPath), &error_)) return;
    // Close-on-exec: a review program started later must not inherit the
    // descriptor, or it would hold the lock after this copy has ended.
    fd_ = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd_ < 0) {
        error_ = ErrnoText("cannot open", lockPath);
        return;
    }
    while (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        if (errno == EWOULDBLOCK) {
            state_ = State::HeldByOther;
        } else {
            error_ = ErrnoText("cannot lock", lockPath);
        }
        ::close(fd_);
        fd_ = -1;
        return;
    }
    state_ = State::Acquired;
}

InstanceLock::~InstanceLock() {
    // The file stays: removing it would let a third start lock a fresh file
    // while a second still waits on the old one.
    if (fd_ >= 0) ::close(fd_);
}

}  // namespace kvx
