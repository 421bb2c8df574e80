#include "liveview/yuv_converter.h"

#include <algorithm>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kvx::liveview {
namespace {

// Rows converted at once before a quarter turn writes them as columns: 32
// rows of 4 bytes cover at least one whole output cache line per column,
// whatever the output rows' alignment.
constexpr int kStripRows = 32;
// Offsets are padded past the widest frame by one whole SIMD step.
constexpr int kRowPad = 16;

inline uint8_t Clamp(int v) {
    return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

inline uint32_t Pack(int r, int g, int b) {
    return 0xFF000000u | (static_cast<uint32_t>(Clamp(r)) << 16) |
           (static_cast<uint32_t>(Clamp(g)) << 8) | Clamp(b);
}

#if defined(__SSE2__)
// The output is far larger than the cache and only read again by the next
// stage much later: aligned stores bypass the cache, which spares reading
// each line before it is overwritten.
inline void Store(uint32_t* at, __m128i v, bool stream) {
    if (stream && (reinterpret_cast<uintptr_t>(at) & 15) == 0) {
        _mm_stream_si128(reinterpret_cast<__m128i*>(at), v);
    } else {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(at), v);
    }
}

// Sixteen pixels from sixteen luma bytes and eight chroma samples' offsets
// (each covering two luma columns), as four vectors of four 0xFFRRGGBB.
struct Sixteen {
    __m128i p[4];
};

inline Sixteen Convert16(const uint8_t* luma, const int16_t* red, const int16_t* green,
                         const int16_t* blue) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i alpha = _mm_set1_epi8(static_cast<char>(0xFF));
    const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(luma));
    const __m128i ylo = _mm_unpacklo_epi8(y, zero);
    const __m128i yhi = _mm_unpackhi_epi8(y, zero);
    auto channel = [&](const int16_t* offsets) {
        const __m128i o = _mm_loadu_si128(reinterpret_cast<const __m128i*>(offsets));
        // Each chroma offset serves two neighbouring luma columns; packus
        // saturates to 0..255, which is exactly the formula's clamp.
        return _mm_packus_epi16(_mm_add_epi16(ylo, _mm_unpacklo_epi16(o, o)),
                                _mm_add_epi16(yhi, _mm_unpackhi_epi16(o, o)));
    };
    const __m128i r = channel(red), g = channel(green), b = channel(blue);
    const __m128i bgLo = _mm_unpacklo_epi8(b, g), bgHi = _mm_unpackhi_epi8(b, g);
    const __m128i raLo = _mm_unpacklo_epi8(r, alpha), raHi = _mm_unpackhi_epi8(r, alpha);
    return {{_mm_unpacklo_epi16(bgLo, raLo), _mm_unpackhi_epi16(bgLo, raLo),
             _mm_unpacklo_epi16(bgHi, raHi), _mm_unpackhi_epi16(bgHi, raHi)}};
}
#endif

}  // namespace

CYuvConverter::CYuvConverter()
    : green_(256 * 256),
      rowRed_(kMaxFrameWidth / 2 + kRowPad),
      rowGreen_(kMaxFrameWidth / 2 + kRowPad),
      rowBlue_(kMaxFrameWidth / 2 + kRowPad),
      rowExceptions_(kMaxFrameWidth / 2 + 1),
      strip_(static_cast<size_t>(kStripRows) * kMaxFrameWidth) {
    // The same double terms as the formula, each taken to its floor; green
    // keeps the formula's order of additions so its rounding is the formula's.
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
            GreenException e{cb * 256 + cr, {}};
            bool differs = false;
            for (int y = 0; y < 256; ++y) {
                double g = y + cbG[cb] + crG[cr];
                g = g < 0 ? 0 : (g > 255 ? 255 : g);
                e.exact[y] = static_cast<uint8_t>(g);
                differs |= e.exact[y] != Clamp(y + static_cast<int>(k));
            }
            if (differs) {
                exceptions_.push_back(e);
                green_[cb * 256 + cr] = static_cast<int16_t>(k + kExceptionFlag);
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
    const int pair = cb * 256 + cr;
    const int g = green_[pair];
    if (g >= kExceptionFlag / 2) {
        for (const auto& e : exceptions_) {
            if (e.pair == pair) {
                return Pack(y + red_[cr], 0, y + blue_[cb]) | (uint32_t{e.exact[y]} << 8);
            }
        }
    }
    return Pack(y + red_[cr], y + g, y + blue_[cb]);
}

void CYuvConverter::PrepareChromaRow(const FrameRecord& frame, int chromaRow) {
    if (chromaRow == preparedRow_) return;
    preparedRow_ = chromaRow;
    const uint8_t* cb = frame.cb + static_cast<size_t>(chromaRow) * frame.chromaWidth;
    const uint8_t* cr = frame.cr + static_cast<size_t>(chromaRow) * frame.chromaWidth;
    const int cw = frame.chromaWidth;
    rowExceptionCount_ = 0;
    for (int i = 0; i < cw; ++i) {
        int16_t g = green_[cb[i] * 256 + cr[i]];
        if (g >= kExceptionFlag / 2) {
            g = static_cast<int16_t>(g - kExceptionFlag);
            const int pair = cb[i] * 256 + cr[i];
            for (size_t t = 0; t < exceptions_.size(); ++t) {
                if (exceptions_[t].pair == pair) {
                    rowExceptions_[rowExceptionCount_++] = RowException{i, static_cast<int>(t)};
                }
            }
        }
        rowRed_[i] = red_[cr[i]];
        rowGreen_[i] = g;
        rowBlue_[i] = blue_[cb[i]];
    }
    // An odd width leaves the last luma column without a chroma sample of its
    // own: it borrows its left neighbour's instead of reading past the plane.
    rowRed_[cw] = rowRed_[cw - 1];
    rowGreen_[cw] = rowGreen_[cw - 1];
    rowBlue_[cw] = rowBlue_[cw - 1];
}

void CYuvConverter::PatchGreen(const uint8_t* luma, int width, uint32_t* out, bool reversed) const {
    for (int i = 0; i < rowExceptionCount_; ++i) {
        const int chroma = rowExceptions_[i].chromaColumn;
        const auto& exact = exceptions_[static_cast<size_t>(rowExceptions_[i].table)].exact;
        // The two columns the sample covers, and an odd width's last column,
        // which borrows the last sample.
        const int last = (2 * chroma + 3 == width) ? width : std::min(2 * chroma + 2, width);
        for (int x = 2 * chroma; x < last; ++x) {
            uint32_t& p = out[reversed ? width - 1 - x : x];
            p = (p & 0xFFFF00FFu) | (static_cast<uint32_t>(exact[luma[x]]) << 8);
        }
    }
}

void CYuvConverter::ConvertRow(const uint8_t* luma, int width, uint32_t* out, bool stream) const {
    int x = 0;
#if defined(__SSE2__)
    for (; x + 16 <= width; x += 16) {
        const int c = x / 2;
        const Sixteen s =
            Convert16(luma + x, rowRed_.data() + c, rowGreen_.data() + c, rowBlue_.data() + c);
        for (int i = 0; i < 4; ++i) Store(out + x + 4 * i, s.p[i], stream);
    }
#endif
    for (; x < width; ++x) {
        const int y = luma[x], c = x / 2;
        out[x] = Pack(y + rowRed_[c], y + rowGreen_[c], y + rowBlue_[c]);
    }
}

void CYuvConverter::ConvertRowReversed(const uint8_t* luma, int width, uint32_t* out) const {
    int x = 0;
#if defined(__SSE2__)
    for (; x + 16 <= width; x += 16) {
        const int c = x / 2;
        const Sixteen s =
            Convert16(luma + x, rowRed_.data() + c, rowGreen_.data() + c, rowBlue_.data() + c);
        // Source columns x..x+15 land at width-1-x down to width-16-x.
        uint32_t* o = out + width - x - 16;
        for (int i = 0; i < 4; ++i) Store(o + 12 - 4 * i, _mm_shuffle_epi32(s.p[i], 0x1B), true);
    }
#endif
    for (; x < width; ++x) {
        const int y = luma[x], c = x / 2;
        out[width - 1 - x] = Pack(y + rowRed_[c], y + rowGreen_[c], y + rowBlue_[c]);
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
    } else {
        const int w = frame.width, h = frame.height;
        for (int r = 0; r < h; ++r) {
            PrepareChromaRow(frame, std::min(r / 2, frame.chromaHeight - 1));
            const uint8_t* luma = frame.y + static_cast<size_t>(r) * w;
            uint32_t* row = out + static_cast<size_t>(a == 0 ? r : h - 1 - r) * stride;
            if (a == 0) {
                ConvertRow(luma, w, row, true);
            } else {
                ConvertRowReversed(luma, w, row);
            }
            PatchGreen(luma, w, row, a != 0);
        }
    }
#if defined(__SSE2__)
    _mm_sfence();  // the streamed stores are seen by whoever reads the picture next
#endif
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
            ConvertRow(luma, w, strip_.data() + k * w, false);
            PatchGreen(luma, w, strip_.data() + k * w, false);
        }
        int c = 0;
#if defined(__SSE2__)
        // 4 × 4 blocks: four source rows of four columns become four output
        // rows of four pixels each.
        const int n4 = n & ~3;
        for (; c + 4 <= w; c += 4) {
            // Each output row takes the strip's n4 pixels of one column as
            // one run; the cache lines it fills whole are streamed past the cache.
            __m128i runs[4][kStripRows / 4];
            for (int k = 0; k < n4; k += 4) {
                const uint32_t* s = strip_.data() + k * w + c;
                auto load = [&](int row) {
                    return _mm_castsi128_ps(
                        _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + row * w)));
                };
                __m128 v0 = load(0), v1 = load(1), v2 = load(2), v3 = load(3);
                _MM_TRANSPOSE4_PS(v0, v1, v2, v3);
                runs[0][k / 4] = _mm_castps_si128(v0);
                runs[1][k / 4] = _mm_castps_si128(v1);
                runs[2][k / 4] = _mm_castps_si128(v2);
                runs[3][k / 4] = _mm_castps_si128(v3);
            }
            for (int j = 0; j < 4; ++j) {
                uint32_t* run = angle == 90
                                    ? out + static_cast<size_t>(w - 1 - (c + j)) * stride + r0
                                    : out + static_cast<size_t>(c + j) * stride + h - r0 - n4;
                const uintptr_t runStart = reinterpret_cast<uintptr_t>(run);
                const uintptr_t runEnd = runStart + static_cast<uintptr_t>(n4) * 4;
                for (int b = 0; b < n4 / 4; ++b) {
                    // 270 reverses the run: block b lands at the far end, turned.
                    __m128i v = runs[j][b];
                    uint32_t* at = run + 4 * b;
                    if (angle != 90) {
                        v = _mm_shuffle_epi32(v, 0x1B);
                        at = run + n4 - 4 - 4 * b;
                    }
                    // Only cache lines the run fills completely are streamed.
                    const uintptr_t line = reinterpret_cast<uintptr_t>(at) & ~uintptr_t{63};
                    if ((reinterpret_cast<uintptr_t>(at) & 15) == 0 && line >= runStart &&
                        line + 64 <= runEnd) {
                        _mm_stream_si128(reinterpret_cast<__m128i*>(at), v);
                    } else {
                        _mm_storeu_si128(reinterpret_cast<__m128i*>(at), v);
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
