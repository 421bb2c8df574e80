// SHA-256 (FIPS 180-4), so that the camera can state the digest of every
// file it hands out and a download can be checked from outside.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace kvx::vcam {

class Sha256 {
public:
    Sha256();
    void Update(const uint8_t* data, size_t n);
    // The digest of everything given so far; the object is spent afterwards.
    std::array<uint8_t, 32> Final();
    // Lower-case hex, as sha256sum prints it.
    static std::string Hex(const std::array<uint8_t, 32>& digest);

private:
    void Block(const uint8_t* p);

    std::array<uint32_t, 8> h_;
    std::array<uint8_t, 64> buffer_{};
    size_t buffered_ = 0;
    uint64_t length_ = 0;  // bytes
};

}  // namespace kvx::vcam
