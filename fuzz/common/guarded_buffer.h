// Memory for camera bytes whose last byte sits right before an inaccessible
// page, so a parser that reads or writes even one byte past what it was given
// faults at once -- in the plain replay build as well, where no sanitizer
// would notice an over-read into neighbouring heap memory.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace kvx::fuzz {

class GuardedBuffer {
public:
    // Room for up to capacity bytes; Place() puts a record of any size up to
    // that against the guard page.
    explicit GuardedBuffer(size_t capacity) {
        const size_t page = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
        dataPages_ = (capacity + page - 1) / page * page;
        if (dataPages_ == 0) dataPages_ = page;
        mapped_ = dataPages_ + page;
        void* p =
            ::mmap(nullptr, mapped_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED) std::abort();
        base_ = static_cast<uint8_t*>(p);
        if (::mprotect(base_ + dataPages_, page, PROT_NONE) != 0) std::abort();
        capacity_ = capacity;
    }
    ~GuardedBuffer() { ::munmap(base_, mapped_); }
    GuardedBuffer(const GuardedBuffer&) = delete;
    GuardedBuffer& operator=(const GuardedBuffer&) = delete;

    size_t Capacity() const { return capacity_; }

    // size bytes ending at the guard page: a copy of src (zero-filled past
    // srcSize). Returns the start of the record.
    uint8_t* Place(size_t size, const uint8_t* src = nullptr, size_t srcSize = 0) {
        if (size > capacity_) std::abort();
        uint8_t* start = base_ + dataPages_ - size;
        const size_t n = srcSize < size ? srcSize : size;
        if (n > 0) std::memcpy(start, src, n);
        if (size > n) std::memset(start + n, 0, size - n);
        size_ = size;
        start_ = start;
        return start;
    }
    uint8_t* Data() const { return start_; }
    size_t Size() const { return size_; }

private:
    uint8_t* base_ = nullptr;
    size_t mapped_ = 0;
    size_t dataPages_ = 0;
    size_t capacity_ = 0;
    uint8_t* start_ = nullptr;
    size_t size_ = 0;
};

}  // namespace kvx::fuzz
