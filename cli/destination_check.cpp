#include "cli/destination_check.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

namespace kvx::cli {

std::string CDestinationCheck::PicturesFolder() {
    if (const char* p = std::getenv("XDG_PICTURES_DIR"); p && *p == '/') return p;
    const char* home = std::getenv("HOME");
    std::string base = home && *home ? home : "";
    return base + "/Pictures";
}

std::string CDestinationCheck::RescueFolder() {
    const char* state = std::getenv("XDG_STATE_HOME");
    const char* home = std::getenv("HOME");
    std::string base = state && state[0] == '/' ? std::string(state)
                       : home && *home          ? std::string(home) + "/.local/state"
                                                : std::string("/tmp");
    return base + "/VARNO/Varno_Kolvex/rescued";
}

std::string CDestinationCheck::Problem(const std::string& folder) {
    const std::string where = "destination " + folder;
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0) {
        if (errno == ENOENT) return where + " does not exist";
        return where + " cannot be reached: " + std::strerror(errno);
    }
    if (!S_ISDIR(st.st_mode)) return "destination is a file: " + folder;
    // access() answers for the real user; the writes are made as the
    // effective one, and a read-only mount answers EROFS here.
    if (::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0) {
        if (errno == EROFS) return where + " is on a read-only file system";
        return where + " is not writable (no permission)";
    }
    struct statvfs vfs {};
    if (::statvfs(folder.c_str(), &vfs) == 0) {
        if (vfs.f_flag & ST_RDONLY) return where + " is on a read-only file system";
        const uint64_t room = static_cast<uint64_t>(vfs.f_bavail) * vfs.f_frsize;
        if (room < kMinFreeBytes)
            return "disk full: " + where + " has " + std::to_string(room / 1024) +
                   " KiB free, at least " + std::to_string(kMinFreeBytes / 1024 / 1024) +
                   " MiB are needed";
    }
    // Root passes every permission check; a probe file tells the truth for
    // the cases the bits above cannot (ACLs, a mount that lies).
    std::string probe = folder + (folder.back() == '/' ? "" : "/") + ".kvx-tether-probe-" +
                        std::to_string(::getpid());
    int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        if (errno == ENOSPC) return "disk full: " + where;
        if (errno == EROFS) return where + " is on a read-only file system";
        return where + " is not writable: " + std::strerror(errno);
    }
    ::close(fd);
    ::unlink(probe.c_str());
    return {};
}

}  // namespace kvx::cli
