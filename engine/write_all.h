// Whole writes to a file descriptor: a short write or an interrupted one is
// continued, never taken for the end. False when the file took no more.
#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>

namespace kvx::engine {

inline bool WriteAll(int fd, const uint8_t* data, size_t n) {
    while (n > 0) {
        ssize_t w = ::write(fd, data, n);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        data += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

// The same at a file offset, leaving the file position alone.
inline bool PWriteAll(int fd, const uint8_t* data, size_t n, off_t offset) {
    while (n > 0) {
        ssize_t w = ::pwrite(fd, data, n, offset);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        data += w;
        n -= static_cast<size_t>(w);
        offset += w;
    }
    return true;
}

}  // namespace kvx::engine
