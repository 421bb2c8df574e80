// CYuvConverter: planar YCbCr 4:2:0 to 32-bit pixels (0xFFRRGGBB, the layout
// of QImage::Format_RGB32), turned by 0, 90, 180 or 270 degrees on the way.
//
// The result is bit-exact with the double-precision formula
//   R = Y + 1.13983·(Cr−128), G = Y − 0.39465·(Cb−128) − 0.5806·(Cr−128),
//   B = Y + 2.03211·(Cb−128), clamped to 0..255 and truncated toward zero.
// Because Y is a whole number, truncating Y + t equals Y + floor(t) once both
// are clamped, so the chroma terms can be kept as whole-number offsets and
// every pixel is one saturating add per channel. The exhaustive test over all
// 2^24 (Y, Cb, Cr) triples is what proves that equivalence.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "liveview/frame_record.h"

namespace kvx::liveview {

class CYuvConverter {
public:
    CYuvConverter();

    // Output size of `frame` at `angle` (any angle but 90, 180, 270 is 0).
    static int OutputWidth(const FrameRecord& frame, int angle);
    static int OutputHeight(const FrameRecord& frame, int angle);
    static int NormalAngle(int angle);

    // Writes OutputWidth × OutputHeight pixels, top row first, `stride`
    // pixels apart. Allocates nothing: every buffer is sized for the largest
    // frame at construction. False (nothing written) for a frame narrower or
    // lower than 2 or larger than the largest accepted frame.
    bool Convert(const FrameRecord& frame, int angle, uint32_t* out, int stride);

    // One pixel, as the fast path computes it (for tests).
    uint32_t Pixel(uint8_t y, uint8_t cb, uint8_t cr) const;

private:
    // One chroma row's offsets, each repeated for the two luma columns it covers.
    void PrepareChromaRow(const FrameRecord& frame, int chromaRow);
    // `stream`: write past the cache (the picture, not the strip read back at once).
    void ConvertRow(const uint8_t* luma, int width, uint32_t* out, bool stream) const;
    void ConvertRowReversed(const uint8_t* luma, int width, uint32_t* out) const;
    // Puts the exact green into the pixels of the current row's exceptions.
    void PatchGreen(const uint8_t* luma, int width, uint32_t* out, bool reversed) const;
    void ConvertTurned(const FrameRecord& frame, int angle, uint32_t* out, int stride);

    std::array<int16_t, 256> red_{};
    std::array<int16_t, 256> blue_{};
    // [cb * 256 + cr]. Where Cb's and Cr's green terms add up to within
    // rounding of a whole number, the formula's (Y + a) + b falls on either
    // side of it depending on Y; those few pairs are marked by kExceptionFlag
    // added to their offset and keep their exact green for every Y.
    static constexpr int16_t kExceptionFlag = 1024;
    std::vector<int16_t> green_;
    struct GreenException {
        int pair;  // cb * 256 + cr
        std::array<uint8_t, 256> exact;
    };
    std::vector<GreenException> exceptions_;
    // Offsets of the current chroma row, one per chroma sample, plus a copy
    // of the last one for an odd width's last column and padding.
    std::vector<int16_t> rowRed_, rowGreen_, rowBlue_;
    int preparedRow_ = -1;
    struct RowException {
        int chromaColumn;
        int table;  // index into exceptions_
    };
    std::vector<RowException> rowExceptions_;
    int rowExceptionCount_ = 0;
    // Rows converted upright before they are turned into columns.
    std::vector<uint32_t> strip_;
};

}  // namespace kvx::liveview
