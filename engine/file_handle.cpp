#include "engine/file_handle.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "engine/write_all.h"

namespace kvx::engine {

CFileHandle::CFileHandle(const std::string& path, int flags)
    : fd_(::open(path.c_str(), flags | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK)) {}

CFileHandle::~CFileHandle() {
    Close();
}

void CFileHandle::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool CFileHandle::RegularFile(uint64_t& size) const {
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) return false;
    size = static_cast<uint64_t>(st.st_size);
    return true;
}

bool CFileHandle::ReadAt(int fd, uint8_t* data, size_t n, uint64_t offset) {
    while (n > 0) {
        ssize_t r = ::pread(fd, data, n, static_cast<off_t>(offset));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return false;
        data += r;
        n -= static_cast<size_t>(r);
        offset += static_cast<uint64_t>(r);
    }
    return true;
}

bool CFileHandle::WriteAt(int fd, const uint8_t* data, size_t n, uint64_t offset) {
    return PWriteAll(fd, data, n, static_cast<off_t>(offset));
}

}  // namespace kvx::engine
