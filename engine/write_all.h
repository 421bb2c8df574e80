// Whole writes to a file descriptor: a short write or an interrupted one is
// continued, never taken for the end. False when the file took no more.
#pragma once

#include <sys/types.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
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

// Two runs of bytes, one after the other, in one write call where the file
// takes them all; continued like the one above where it takes fewer.
inline bool WriteAll(int fd, const uint8_t* first, size_t n1, const uint8_t* second, size_t n2) {
    while (n1 + n2 > 0) {
        iovec parts[2] = {{const_cast<uint8_t*>(first), n1}, {const_cast<uint8_t*>(second), n2}};
        ssize_t w = n1 > 0 ? ::writev(fd, parts, 2) : ::write(fd, second, n2);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        size_t done = static_cast<size_t>(w);
        const size_t fromFirst = std::min(done, n1);
        first += fromFirst;
        n1 -= fromFirst;
        done -= fromFirst;
        second += done;
        n2 -= done;
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
