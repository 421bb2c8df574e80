// CYuvConverter: planar YCbCr 4:2:0 to 32-bit pixels (0xFFRRGGBB, the layout
// of QImage::Format_RGB32), turned by 0, 90, 180 or 270 degrees on the way.
//
// The result is bit-exact with the double-precision formula
//   R = Y + 1.13983·(Cr−128), G = Y − 0.39465·(Cb−128) − 0.5806·(Cr−128),
//   B = Y + 2.03211·(Cb−128), clamped to 0..255 and truncated toward zero.
// Because Y is a whole number, truncating Y + t equals Y + floor(t) once both
// are clamped, so the chroma terms can be kept as whole-number offsets and
// every pixel is one saturating add per channel. The offsets themselves are
// whole-number quotients (the coefficients are exact decimals), which single
// precision gets right with room to spare; the exhaustive test over all 2^24
// (Y, Cb, Cr) triples is what proves that equivalence on every code path.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "liveview/frame_record.h"

namespace kvx::liveview {

class CYuvConverter {
public:
    // Instruction sets the conversion runs on; every one gives the same pixels.
    enum class Simd { Sse2, Avx2 };
    static bool Supports(Simd simd);
    // The fastest one this processor runs.
    static Simd Best();

    explicit CYuvConverter(Simd simd = Best());

    Simd simd() const { return simd_; }

    // Output size of `frame` at `angle` (any angle but 90, 180, 270 is 0).
    static int OutputWidth(const FrameRecord& frame, int angle);
    static int OutputHeight(const FrameRecord& frame, int angle);
    static int NormalAngle(int angle);

    // Writes OutputWidth × OutputHeight pixels, top row first, `stride`
    // pixels apart. Allocates nothing: every buffer is sized for the largest
    // frame at construction. False (nothing written) for a frame narrower or
    // lower than 2 or larger than the largest accepted frame.
    bool Convert(const FrameRecord& frame, int angle, uint32_t* out, int stride);

    // One pixel, as the conversion computes it (for tests).
    uint32_t Pixel(uint8_t y, uint8_t cb, uint8_t cr) const;

private:
    // One chroma row's offsets, each repeated for the two luma columns it covers.
    void PrepareChromaRow(const FrameRecord& frame, int chromaRow);
    // Row r of `frame` to `first` + r × `step`, right to left when `mirror`.
    void ConvertRows(const FrameRecord& frame, uint32_t* first, ptrdiff_t step, bool mirror);
    // `stream`: `out` is aligned to 16 and written past the cache.
    void ConvertRow(const uint8_t* luma, int width, uint32_t* out, bool mirror, bool stream) const;
    // Puts the exact green into the pixels of the current row's exceptions.
    void PatchGreen(const uint8_t* luma, int width, uint32_t* out, bool mirror) const;
    // 90 or 270.
    void ConvertTurned(const FrameRecord& frame, int angle, uint32_t* out, int stride);

    Simd simd_;
    // Where Cb's and Cr's green terms add up to exactly a whole number, the
    // formula's (Y + a) + b falls on either side of it depending on Y; those
    // few pairs keep their exact green for every Y.
    struct GreenException {
        int numerator;  // of the green quotient, which names the pair
        std::array<uint8_t, 256> exact;
    };
    std::vector<GreenException> exceptions_;
    // Offsets of the current chroma row, one per chroma sample, plus a copy
    // of the last one for an odd width's last column and padding.
    std::vector<int16_t> rowRed_, rowGreen_, rowBlue_;
    // The same per luma column, split into positive and negative bytes.
    std::vector<uint32_t> rowPositive_, rowNegative_;
    int preparedRow_ = -1;
    struct RowException {
        int chromaColumn;
        int table;  // index into exceptions_
    };
    std::vector<RowException> rowExceptions_;
    int rowExceptionCount_ = 0;
    // One converted row before it goes out.
    std::vector<uint32_t> rowPixels_;
    // A strip of source columns with rows and columns swapped: a quarter
    // turn is then a conversion of whole rows, written as whole output rows.
    std::vector<uint8_t> stripY_, stripCb_, stripCr_;
};

}  // namespace kvx::liveview
