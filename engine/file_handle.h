// An open file descriptor that is closed when it goes out of scope, and the
// positioned reads and writes the kept-file checks use: each either moves
// every byte asked for or reports failure.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kvx::engine {

class CFileHandle {
public:
    // Opens path with flags (O_CLOEXEC, O_NOFOLLOW and O_NONBLOCK added:
    // never a link, never a wait on a fifo); Valid() tells whether it did.
    CFileHandle(const std::string& path, int flags);
    ~CFileHandle();
    CFileHandle(const CFileHandle&) = delete;
    CFileHandle& operator=(const CFileHandle&) = delete;

    bool Valid() const { return fd_ >= 0; }
    int Get() const { return fd_; }
    // True for a regular file; size receives its length.
    bool RegularFile(uint64_t& size) const;
    void Close();

    static bool ReadAt(int fd, uint8_t* data, size_t n, uint64_t offset);
    static bool WriteAt(int fd, const uint8_t* data, size_t n, uint64_t offset);

private:
    int fd_ = -1;
};

}  // namespace kvx::engine
