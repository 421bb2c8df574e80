// A live view frame as the camera sends it: a small header, then planar
// YCbCr 4:2:0. Every plane is checked against the bytes actually received,
// so nothing after this point can read outside the reply buffer.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kvx::liveview {

// The slots the frames are scaled into are this many pixels on each side.
inline constexpr int kSlotSide = 1024;
// Widest and tallest frames the converter accepts, and the narrowest.
inline constexpr int kMinFrameWidth = 400, kMaxFrameWidth = 1200;
inline constexpr int kMinFrameHeight = 300, kMaxFrameHeight = 800;
// The header runs up to the end of the Cr offset.
inline constexpr size_t kFrameHeaderSize = 0x24;

enum class FrameCheck {
    Ok,
    BadFormat,  // format field not 1: the caller reports it, live view continues
    BadSize,    // dropped like a frame of an unacceptable size
};

struct FrameRecord {
    int width = 0;  // luma columns
    int height = 0;
    int chromaWidth = 0;  // width / 2, also the chroma row stride
    int chromaHeight = 0;
    int displayWidth = 0;  // held to 1..kSlotSide
    int displayHeight = 0;
    const uint8_t* y = nullptr;
    const uint8_t* cb = nullptr;
    const uint8_t* cr = nullptr;
};

// Reads and checks the header of `size` received bytes. On Ok, `out` points
// into `data`, which must outlive it.
FrameCheck ParseFrameRecord(const uint8_t* data, size_t size, FrameRecord& out);

}  // namespace kvx::liveview
