#include "liveview/yuv_converter.h"

#include <algorithm>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kvx::liveview {
namespace {

// Rows converted at once before a quarter turn writes them as columns: enough
// for whole cache lines in the output, few enough to stay in the cache.
constexpr int kStripRows = 16;
// Offsets are padded to a whole SIMD step past the widest frame.
constexpr int kRowPad = 16;

inline uint8_t Clamp(int v) {
    return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

inline uint32_t Pack(int r, int g, int b) {
    return 0xFF000000u | (static_cast<uint32_t>(Clamp(r)) << 16) |
           (static_cast<uint32_t>(Clamp(g)) << 8) | Clamp(b);
}

}  // namespace

CYuvConverter::CYuvConverter()
    : green_(256 * 256),
      greenException_(256 * 256),
      rowExceptions_(kMaxFrameWidth / 2 + 1),
      rowRed_(kMaxFrameWidth + kRowPad),
      rowGreen_(kMaxFrameWidth + kRowPad),
      rowBlue_(kMaxFrameWidth + kRowPad),
      strip_(static_cast<size_t>(kStripRows) * kMaxFrameWidth) {
    // The same double terms as the formula, each taken to its floor; G keeps
    // the formula's order of additions so its rounding is the formula's too.
    std::array<double, 256> crR{}, cbG{}, crG{}, cbB{};
    for (int i = 0; i < 256; ++i) {
        const int x = i - 128;
        crR[i] = 1.13983 * x;
        cbG[i] = -0.39465 * x;
        crG[i] = -0.5806 * x;
        cbB[i] = 2.03211 * x;
        red_[i] = static_cast<int16_t>(std::floor(crR[i]));
        blue_[i] = static_cast<int16_t>(std::floor(cbB[i]));
    }
    for (int cb = 0; cb < 256; ++cb) {
        for (int cr = 0; cr < 256; ++cr) {
            const double sum = cbG[cb] + crG[cr];
            const double k = std::floor(sum);
            green_[cb * 256 + cr] = static_cast<int16_t>(k);
            if (sum - k > 1e-6 && k + 1 - sum > 1e-6) continue;
            std::array<uint8_t, 256> exact{};
            bool differs = false;
            for (int y = 0; y < 256; ++y) {
                double g = y + cbG[cb] + crG[cr];
                g = g < 0 ? 0 : (g > 255 ? 255 : g);
                exact[y] = static_cast<uint8_t>(g);
                differs |= exact[y] != Clamp(y + static_cast<int>(k));
            }
            if (differs) {
                exactGreen_.push_back(exact);
                greenException_[cb * 256 + cr] = static_cast<uint16_t>(exactGreen_.size());
            }
        }
    }
}

int CYuvConverter::NormalAngle(int angle) {
    return (angle == 90 || angle == 180 || angle == 270) ? angle : 0;
}

int CYuvConverter::OutputWidth(const FrameRecord& frame, int angle) {
    const int a = NormalAngle(angle);
    return (a == 90 || a == 270) ? frame.height : frame.width;
}

int CYuvConverter::OutputHeight(const FrameRecord& frame, int angle) {
    const int a = NormalAngle(angle);
    return (a == 90 || a == 270) ? frame.width : frame.height;
}

uint32_t CYuvConverter::Pixel(uint8_t y, uint8_t cb, uint8_t cr) const {
    uint32_t p = Pack(y + red_[cr], y + green_[cb * 256 + cr], y + blue_[cb]);
    if (const uint16_t e = greenException_[cb * 256 + cr]; e != 0) {
        p = (p & 0xFFFF00FFu) | (static_cast<uint32_t>(exactGreen_[e - 1][y]) << 8);
    }
    return p;
}

void CYuvConverter::PatchGreen(const uint8_t* luma, int width, uint32_t* out, bool reversed) const {
    for (int i = 0; i < rowExceptionCount_; ++i) {
        const int chroma = rowExceptions_[i].chromaColumn;
        const auto& exact = exactGreen_[static_cast<size_t>(rowExceptions_[i].table)];
        // The pair of columns the sample covers, and an odd width's last
        // column, which borrows the last sample.
        const int last = (2 * chroma + 3 == width) ? width : std::min(2 * chroma + 2, width);
        for (int x = 2 * chroma; x < last; ++x) {
            uint32_t& p = out[reversed ? width - 1 - x : x];
            p = (p & 0xFFFF00FFu) | (static_cast<uint32_t>(exact[luma[x]]) << 8);
        }
    }
}

void CYuvConverter::PrepareChromaRow(const FrameRecord& frame, int chromaRow) {
    if (chromaRow == preparedRow_) return;
    preparedRow_ = chromaRow;
    const uint8_t* cb = frame.cb + static_cast<size_t>(chromaRow) * frame.chromaWidth;
    const uint8_t* cr = frame.cr + static_cast<size_t>(chromaRow) * frame.chromaWidth;
    const int cw = frame.chromaWidth;
    rowExceptionCount_ = 0;
    for (int i = 0; i < cw; ++i) {
        if (const uint16_t e = greenException_[cb[i] * 256 + cr[i]]; e != 0) {
            rowExceptions_[rowExceptionCount_++] = RowException{i, e - 1};
        }
        const int16_t r = red_[cr[i]];
        const int16_t g = green_[cb[i] * 256 + cr[i]];
        const int16_t b = blue_[cb[i]];
        rowRed_[2 * i] = rowRed_[2 * i + 1] = r;
        rowGreen_[2 * i] = rowGreen_[2 * i + 1] = g;
        rowBlue_[2 * i] = rowBlue_[2 * i + 1] = b;
    }
    // An odd width leaves the last luma column without a chroma sample of its
    // own: it borrows its left neighbour's instead of reading past the plane.
    if (frame.width > 2 * cw) {
        rowRed_[2 * cw] = rowRed_[2 * cw - 1];
        rowGreen_[2 * cw] = rowGreen_[2 * cw - 1];
        rowBlue_[2 * cw] = rowBlue_[2 * cw - 1];
    }
}

void CYuvConverter::ConvertRow(const uint8_t* luma, int width, uint32_t* out) const {
    int x = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i alpha = _mm_set1_epi8(static_cast<char>(0xFF));
    for (; x + 16 <= width; x += 16) {
        const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(luma + x));
        const __m128i ylo = _mm_unpacklo_epi8(y, zero);
        const __m128i yhi = _mm_unpackhi_epi8(y, zero);
        auto channel = [&](const int16_t* offsets) {
            const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(offsets + x));
            const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(offsets + x + 8));
            // packus saturates to 0..255: exactly the formula's clamp.
            return _mm_packus_epi16(_mm_add_epi16(ylo, lo), _mm_add_epi16(yhi, hi));
        };
        const __m128i r = channel(rowRed_.data());
        const __m128i g = channel(rowGreen_.data());
        const __m128i b = channel(rowBlue_.data());
        const __m128i bgLo = _mm_unpacklo_epi8(b, g), bgHi = _mm_unpackhi_epi8(b, g);
        const __m128i raLo = _mm_unpacklo_epi8(r, alpha), raHi = _mm_unpackhi_epi8(r, alpha);
        __m128i* o = reinterpret_cast<__m128i*>(out + x);
        _mm_storeu_si128(o + 0, _mm_unpacklo_epi16(bgLo, raLo));
        _mm_storeu_si128(o + 1, _mm_unpackhi_epi16(bgLo, raLo));
        _mm_storeu_si128(o + 2, _mm_unpacklo_epi16(bgHi, raHi));
        _mm_storeu_si128(o + 3, _mm_unpackhi_epi16(bgHi, raHi));
    }
#endif
    for (; x < width; ++x) {
        const int y = luma[x];
        out[x] = Pack(y + rowRed_[x], y + rowGreen_[x], y + rowBlue_[x]);
    }
}

void CYuvConverter::ConvertRowReversed(const uint8_t* luma, int width, uint32_t* out) const {
    int x = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i alpha = _mm_set1_epi8(static_cast<char>(0xFF));
    for (; x + 16 <= width; x += 16) {
        const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(luma + x));
        const __m128i ylo = _mm_unpacklo_epi8(y, zero);
        const __m128i yhi = _mm_unpackhi_epi8(y, zero);
        auto channel = [&](const int16_t* offsets) {
            const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(offsets + x));
            const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(offsets + x + 8));
            return _mm_packus_epi16(_mm_add_epi16(ylo, lo), _mm_add_epi16(yhi, hi));
        };
        const __m128i r = channel(rowRed_.data());
        const __m128i g = channel(rowGreen_.data());
        const __m128i b = channel(rowBlue_.data());
        const __m128i bgLo = _mm_unpacklo_epi8(b, g), bgHi = _mm_unpackhi_epi8(b, g);
        const __m128i raLo = _mm_unpacklo_epi8(r, alpha), raHi = _mm_unpackhi_epi8(r, alpha);
        // Source columns x..x+15 land at width-1-x down to width-16-x.
        __m128i* o = reinterpret_cast<__m128i*>(out + width - x - 16);
        _mm_storeu_si128(o + 3, _mm_shuffle_epi32(_mm_unpacklo_epi16(bgLo, raLo), 0x1B));
        _mm_storeu_si128(o + 2, _mm_shuffle_epi32(_mm_unpackhi_epi16(bgLo, raLo), 0x1B));
        _mm_storeu_si128(o + 1, _mm_shuffle_epi32(_mm_unpacklo_epi16(bgHi, raHi), 0x1B));
        _mm_storeu_si128(o + 0, _mm_shuffle_epi32(_mm_unpackhi_epi16(bgHi, raHi), 0x1B));
    }
#endif
    for (; x < width; ++x) {
        const int y = luma[x];
        out[width - 1 - x] = Pack(y + rowRed_[x], y + rowGreen_[x], y + rowBlue_[x]);
    }
}

bool CYuvConverter::Convert(const FrameRecord& frame, int angle, uint32_t* out, int stride) {
    if (frame.width < 2 || frame.height < 2 || frame.width > kMaxFrameWidth ||
        frame.height > kMaxFrameHeight || frame.chromaWidth != frame.width / 2 ||
        frame.chromaHeight != frame.height / 2)
        return false;
    const int a = NormalAngle(angle);
    preparedRow_ = -1;
    if (a == 90 || a == 270) {
        ConvertTurned(frame, a, out, stride);
        return true;
    }
    const int w = frame.width, h = frame.height;
    for (int r = 0; r < h; ++r) {
        PrepareChromaRow(frame, std::min(r / 2, frame.chromaHeight - 1));
        const uint8_t* luma = frame.y + static_cast<size_t>(r) * w;
        if (a == 0) {
            uint32_t* row = out + static_cast<size_t>(r) * stride;
            ConvertRow(luma, w, row);
            PatchGreen(luma, w, row, false);
        } else {
            uint32_t* row = out + static_cast<size_t>(h - 1 - r) * stride;
            ConvertRowReversed(luma, w, row);
            PatchGreen(luma, w, row, true);
        }
    }
    return true;
}

void CYuvConverter::ConvertTurned(const FrameRecord& frame, int angle, uint32_t* out, int stride) {
    // 90: source (r, c) goes to output row w-1-c, column r (a quarter turn
    // counter-clockwise); 270: to output row c, column h-1-r (clockwise).
    const int w = frame.width, h = frame.height;
    for (int r0 = 0; r0 < h; r0 += kStripRows) {
        const int n = std::min(kStripRows, h - r0);
        for (int k = 0; k < n; ++k) {
            const int r = r0 + k;
            PrepareChromaRow(frame, std::min(r / 2, frame.chromaHeight - 1));
            const uint8_t* luma = frame.y + static_cast<size_t>(r) * w;
            ConvertRow(luma, w, strip_.data() + k * w);
            PatchGreen(luma, w, strip_.data() + k * w, false);
        }
        int c = 0;
#if defined(__SSE2__)
        // 4 × 4 blocks: four source rows of four columns become four output
        // rows of four pixels each.
        const int n4 = n & ~3;
        for (; c + 4 <= w; c += 4) {
            for (int k = 0; k < n4; k += 4) {
                const uint32_t* s = strip_.data() + k * w + c;
                __m128 r0v = _mm_castsi128_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s)));
                __m128 r1v =
                    _mm_castsi128_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s + w)));
                __m128 r2v =
                    _mm_castsi128_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 2 * w)));
                __m128 r3v =
                    _mm_castsi128_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 3 * w)));
                _MM_TRANSPOSE4_PS(r0v, r1v, r2v, r3v);
                const __m128i cols[4] = {_mm_castps_si128(r0v), _mm_castps_si128(r1v),
                                         _mm_castps_si128(r2v), _mm_castps_si128(r3v)};
                const int r = r0 + k;
                for (int j = 0; j < 4; ++j) {
                    if (angle == 90) {
                        _mm_storeu_si128(
                            reinterpret_cast<__m128i*>(
                                out + static_cast<size_t>(w - 1 - (c + j)) * stride + r),
                            cols[j]);
                    } else {
                        _mm_storeu_si128(reinterpret_cast<__m128i*>(
                                             out + static_cast<size_t>(c + j) * stride + h - 4 - r),
                                         _mm_shuffle_epi32(cols[j], 0x1B));
                    }
                }
            }
            for (int k = n4; k < n; ++k) {
                for (int j = 0; j < 4; ++j) {
                    const uint32_t p = strip_[k * w + c + j];
                    if (angle == 90) {
                        out[static_cast<size_t>(w - 1 - (c + j)) * stride + r0 + k] = p;
                    } else {
                        out[static_cast<size_t>(c + j) * stride + h - 1 - (r0 + k)] = p;
                    }
                }
            }
        }
#endif
        for (; c < w; ++c) {
            for (int k = 0; k < n; ++k) {
                const uint32_t p = strip_[k * w + c];
                if (angle == 90) {
                    out[static_cast<size_t>(w - 1 - c) * stride + r0 + k] = p;
                } else {
                    out[static_cast<size_t>(c) * stride + h - 1 - (r0 + k)] = p;
                }
            }
        }
    }
}

}  // namespace kvx::liveview
