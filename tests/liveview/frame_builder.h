// Frame records for the live view tests: a header and three planes with
// contents that differ at every position, so a wrong index shows.
#pragma once

#include <cstdint>
#include <vector>

namespace kvx::liveview::test {

inline void Put16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    b[at] = uint8_t(v);
    b[at + 1] = uint8_t(v >> 8);
}
inline void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}

inline std::vector<uint8_t> BuildFrame(int w, int h, int dw, int dh, uint32_t seed = 1) {
    const int cw = w / 2, ch = h / 2;
    std::vector<uint8_t> b(0x24 + size_t(w) * h + 2 * size_t(cw) * ch);
    Put16(b, 0x08, 1);
    Put16(b, 0x0E, w);
    Put16(b, 0x10, h);
    Put16(b, 0x12, dw);
    Put16(b, 0x14, dh);
    const uint32_t y = 0x24, cb = y + w * h, cr = cb + cw * ch;
    Put32(b, 0x18, y);
    Put32(b, 0x1C, cb);
    Put32(b, 0x20, cr);
    uint32_t s = seed;
    for (size_t i = 0x24; i < b.size(); ++i) {
        s = s * 1103515245u + 12345u;
        b[i] = uint8_t(s >> 16);
    }
    return b;
}

}  // namespace kvx::liveview::test
