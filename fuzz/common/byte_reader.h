// Takes values off the front of a fuzz input. Past its end every value is 0,
// so a target never needs to check lengths before it decides something.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace kvx::fuzz {

class ByteReader {
public:
    ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    size_t Remaining() const { return size_ - pos_; }
    bool Empty() const { return pos_ >= size_; }

    uint8_t U8() { return pos_ < size_ ? data_[pos_++] : 0; }
    uint16_t U16() {
        uint16_t lo = U8();
        return static_cast<uint16_t>(lo | (U8() << 8));
    }
    uint32_t U32() {
        uint32_t lo = U16();
        return lo | (static_cast<uint32_t>(U16()) << 16);
    }
    bool Bit() { return (U8() & 1) != 0; }

    // Up to n bytes (fewer at the end of the input).
    std::vector<uint8_t> Bytes(size_t n) {
        if (n > Remaining()) n = Remaining();
        std::vector<uint8_t> out(data_ + pos_, data_ + pos_ + n);
        pos_ += n;
        return out;
    }
    // A pointer to up to n bytes of the input, advancing past them.
    const uint8_t* Take(size_t n, size_t* got) {
        if (n > Remaining()) n = Remaining();
        const uint8_t* p = data_ + pos_;
        pos_ += n;
        *got = n;
        return p;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

// A broken expectation: stops the run so both libFuzzer and the replay
// program report it, with the reason on stderr.
[[noreturn]] inline void Fail(const char* what) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    __builtin_trap();
}

}  // namespace kvx::fuzz

#define KVX_FUZZ_CHECK(cond)                                                              \
    do {                                                                                  \
        if (!(cond)) ::kvx::fuzz::Fail(#cond " at " __FILE__ ":" KVX_FUZZ_STR(__LINE__)); \
    } while (0)
#define KVX_FUZZ_STR2(x) #x
#define KVX_FUZZ_STR(x) KVX_FUZZ_STR2(x)
