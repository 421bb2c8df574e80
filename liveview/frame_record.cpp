#include "liveview/frame_record.h"

#include <algorithm>

namespace kvx::liveview {
namespace {

uint16_t U16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t U32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// True when [offset, offset + length) lies inside the received bytes; 64-bit
// sums, so an offset near 4 GiB cannot wrap round to a small number.
bool Inside(uint32_t offset, uint64_t length, size_t size) {
    return static_cast<uint64_t>(offset) + length <= static_cast<uint64_t>(size);
}

}  // namespace

FrameCheck ParseFrameRecord(const uint8_t* data, size_t size, FrameRecord& out) {
    out = FrameRecord{};
    if (data == nullptr || size < kFrameHeaderSize) return FrameCheck::BadSize;
    if (U16(data + 0x08) != 1) return FrameCheck::BadFormat;
    const int w = U16(data + 0x0E);
    const int h = U16(data + 0x10);
    if (w < kMinFrameWidth || w > kMaxFrameWidth || h < kMinFrameHeight || h > kMaxFrameHeight)
        return FrameCheck::BadSize;
    // A display size of 0 has nothing to show; one beyond the slot is held to
    // the slot rather than drawn past its end.
    int dw = U16(data + 0x12);
    int dh = U16(data + 0x14);
    if (dw == 0 || dh == 0) return FrameCheck::BadSize;
    dw = std::min(dw, kSlotSide);
    dh = std::min(dh, kSlotSide);

    const uint32_t yAt = U32(data + 0x18), cbAt = U32(data + 0x1C), crAt = U32(data + 0x20);
    const int cw = w / 2, ch = h / 2;
    const uint64_t lumaBytes = static_cast<uint64_t>(w) * h;
    const uint64_t chromaBytes = static_cast<uint64_t>(cw) * ch;
    if (!Inside(yAt, lumaBytes, size) || !Inside(cbAt, chromaBytes, size) ||
        !Inside(crAt, chromaBytes, size))
        return FrameCheck::BadSize;

    out.width = w;
    out.height = h;
    out.chromaWidth = cw;
    out.chromaHeight = ch;
    out.displayWidth = dw;
    out.displayHeight = dh;
    out.y = data + yAt;
    out.cb = data + cbAt;
    out.cr = data + crAt;
    return FrameCheck::Ok;
}

}  // namespace kvx::liveview
