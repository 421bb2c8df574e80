#include "liveview/yuv_converter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define KVX_X86 1
// Functions built for AVX2 on top of the baseline; they only run after the
// processor said it has it.
#define KVX_AVX2 __attribute__((target("avx2")))
#endif

namespace kvx::liveview {
namespace {

// Offsets are padded past the widest chroma row by one whole SIMD step.
constexpr int kRowPad = 16;
// Source columns turned at once: their transposed planes and the row being
// converted stay in the first-level cache, and each source line read for
// one strip is still in the second-level cache for the next.
constexpr int kStripColumns = 32;
// How far ahead a strip's transpose asks for source rows.
constexpr int kPrefetchRows = 64;

// The chroma terms as exact fractions: 1.13983·x = x + 13983·x / 100000,
// 2.03211·x = 2·x + 3211·x / 100000, and green's
// −0.39465·xb − 0.5806·xr = (−7893·xb − 11612·xr) / 20000. For a whole
// numerator n and divisor d, floor(n / d) = floor((2n + 1) / (2d)), and the
// right-hand quotient lies at least 1 / (2d) away from any whole number;
// one single-precision multiply by 1 / (2d) is off by less than that for
// every numerator here (|quotient| < 126, relative error below 2^-23), so
// its floor is exact. The coefficients below are the doubled numerators.
constexpr int kRedCoef = 2 * 13983, kBlueCoef = 2 * 3211;
constexpr int kGreenCbCoef = -2 * 7893, kGreenCrCoef = -2 * 11612;
constexpr float kRedScale = 1.0f / 200000.0f, kBlueScale = 1.0f / 200000.0f;
constexpr float kGreenScale = 1.0f / 40000.0f;
// 0.13983 and 0.03211 in 16-bit fixed point (× 65536), for the AVX2 path.
constexpr int16_t kRedFixed = 9164, kBlueFixed = 2104;

inline int FloorOf(int numerator, float scale) {
    return static_cast<int>(std::floor(static_cast<float>(numerator) * scale));
}

inline int GreenNumerator(int cb, int cr) {
    return kGreenCbCoef * (cb - 128) + kGreenCrCoef * (cr - 128) + 1;
}

struct Terms {
    int red, green, blue;
    int greenNumerator;
};

// One sample's offsets, as the SIMD code below computes them lane by lane.
inline Terms ChromaTerms(int cb, int cr) {
    const int xb = cb - 128, xr = cr - 128;
    const int gn = GreenNumerator(cb, cr);
    return {xr + FloorOf(kRedCoef * xr + 1, kRedScale), FloorOf(gn, kGreenScale),
            2 * xb + FloorOf(kBlueCoef * xb + 1, kBlueScale), gn};
}

inline uint8_t Clamp(int v) {
    return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

inline uint32_t Pack(int r, int g, int b) {
    return 0xFF000000u | (static_cast<uint32_t>(Clamp(r)) << 16) |
           (static_cast<uint32_t>(Clamp(g)) << 8) | Clamp(b);
}

// Where a chroma row's offsets go, and the exact-green numerators to watch for.
struct ChromaRowOut {
    int16_t* red;
    int16_t* green;
    int16_t* blue;
    // Per luma column (AVX2 only): the offsets' positive and negative parts
    // as bytes of a pixel, see PixelsAvx2.
    uint32_t* positive;
    uint32_t* negative;
    const int* exceptions;
    int exceptionCount;
};

// Samples from `i` on, one at a time. True when one of them is an exception.
bool PrepareScalar(const uint8_t* cb, const uint8_t* cr, int i, int n, const ChromaRowOut& o) {
    bool hit = false;
    for (; i < n; ++i) {
        const Terms t = ChromaTerms(cb[i], cr[i]);
        o.red[i] = static_cast<int16_t>(t.red);
        o.green[i] = static_cast<int16_t>(t.green);
        o.blue[i] = static_cast<int16_t>(t.blue);
        for (int e = 0; e < o.exceptionCount; ++e) hit |= t.greenNumerator == o.exceptions[e];
    }
    return hit;
}

// dst[c * dstStride + r] = src[r * srcStride + c] for rows r0..r1-1.
void TransposeScalar(const uint8_t* src, int srcStride, int cols, int r0, int r1, uint8_t* dst,
                     int dstStride) {
    for (int r = r0; r < r1; ++r)
        for (int c = 0; c < cols; ++c)
            dst[c * dstStride + r] = src[static_cast<size_t>(r) * srcStride + c];
}

inline void PixelsScalar(const uint8_t* luma, int x, int width, const int16_t* red,
                         const int16_t* green, const int16_t* blue, uint32_t* out, bool mirror) {
    for (; x < width; ++x) {
        const int y = luma[x], c = x / 2;
        out[mirror ? width - 1 - x : x] = Pack(y + red[c], y + green[c], y + blue[c]);
    }
}

#if defined(KVX_X86)
// ---- SSE2, which every x86-64 has.

// The two 16-bit coefficients madd pairs with (Cb − 128, Cr − 128).
inline __m128i CoefPair(int cbCoef, int crCoef) {
    return _mm_set1_epi32(
        static_cast<int>(static_cast<uint16_t>(cbCoef) |
                         (static_cast<uint32_t>(static_cast<uint16_t>(crCoef)) << 16)));
}

inline __m128i FloorMul4(__m128i numerator, __m128 scale) {
    const __m128 q = _mm_mul_ps(_mm_cvtepi32_ps(numerator), scale);
    const __m128i t = _mm_cvttps_epi32(q);
    // Truncation rounds negative quotients up: step those down by one.
    return _mm_add_epi32(t, _mm_castps_si128(_mm_cmpgt_ps(_mm_cvtepi32_ps(t), q)));
}

// Four (Cb − 128, Cr − 128) pairs of 16 bits to four offsets per channel.
inline void Terms4(__m128i pairs, __m128i& red, __m128i& green, __m128i& blue, __m128i& gn) {
    const __m128i one = _mm_set1_epi32(1);
    const __m128i xr = _mm_srai_epi32(pairs, 16);
    const __m128i xb2 = _mm_srai_epi32(_mm_slli_epi32(pairs, 16), 15);
    red = _mm_add_epi32(xr,
                        FloorMul4(_mm_add_epi32(_mm_madd_epi16(pairs, CoefPair(0, kRedCoef)), one),
                                  _mm_set1_ps(kRedScale)));
    gn = _mm_add_epi32(_mm_madd_epi16(pairs, CoefPair(kGreenCbCoef, kGreenCrCoef)), one);
    green = FloorMul4(gn, _mm_set1_ps(kGreenScale));
    blue = _mm_add_epi32(
        xb2, FloorMul4(_mm_add_epi32(_mm_madd_epi16(pairs, CoefPair(kBlueCoef, 0)), one),
                       _mm_set1_ps(kBlueScale)));
}

bool PrepareSse2(const uint8_t* cb, const uint8_t* cr, int i, int n, const ChromaRowOut& o) {
    const __m128i zero = _mm_setzero_si128(), bias = _mm_set1_epi16(128);
    __m128i hits = zero;
    for (; i + 8 <= n; i += 8) {
        const __m128i both =
            _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(cb + i)),
                              _mm_loadl_epi64(reinterpret_cast<const __m128i*>(cr + i)));
        const __m128i lo = _mm_sub_epi16(_mm_unpacklo_epi8(both, zero), bias);
        const __m128i hi = _mm_sub_epi16(_mm_unpackhi_epi8(both, zero), bias);
        __m128i rl, gl, bl, nl, rh, gh, bh, nh;
        Terms4(lo, rl, gl, bl, nl);
        Terms4(hi, rh, gh, bh, nh);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o.red + i), _mm_packs_epi32(rl, rh));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o.green + i), _mm_packs_epi32(gl, gh));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o.blue + i), _mm_packs_epi32(bl, bh));
        for (int e = 0; e < o.exceptionCount; ++e) {
            const __m128i v = _mm_set1_epi32(o.exceptions[e]);
            hits = _mm_or_si128(hits, _mm_or_si128(_mm_cmpeq_epi32(nl, v), _mm_cmpeq_epi32(nh, v)));
        }
    }
    const bool hit = _mm_movemask_epi8(hits) != 0;
    return PrepareScalar(cb, cr, i, n, o) || hit;
}

// `stream`: `at` is aligned to 16 and only whole vectors go to its line.
inline void Store4(uint32_t* at, __m128i v, bool stream) {
    if (stream) {
        _mm_stream_si128(reinterpret_cast<__m128i*>(at), v);
    } else {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(at), v);
    }
}

// The output is far larger than the cache and only read again by the next
// stage much later: the cache lines a row covers whole are streamed past the
// cache, which spares reading each line before it is overwritten. The lines
// it shares with its neighbours are stored normally.
void StreamRow(const uint32_t* src, uint32_t* dst, int n) {
    const uintptr_t at = reinterpret_cast<uintptr_t>(dst);
    const int head = std::min(n, static_cast<int>(((64 - (at & 63)) & 63) / 4));
    std::copy(src, src + head, dst);
    int i = head;
    for (; i + 16 <= n; i += 16) {
        for (int k = 0; k < 4; ++k) {
            _mm_stream_si128(reinterpret_cast<__m128i*>(dst + i + 4 * k),
                             _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i + 4 * k)));
        }
    }
    std::copy(src + i, src + n, dst + i);
}

// Sixteen pixels from sixteen luma bytes and eight chroma samples' offsets
// (each covering two luma columns), as four vectors of four 0xFFRRGGBB.
// `half`: only eight luma bytes and four samples are read, and only the
// first two vectors hold pixels (a row's last eight columns).
struct Sixteen {
    __m128i p[4];
};

inline Sixteen Convert16(const uint8_t* luma, const int16_t* red, const int16_t* green,
                         const int16_t* blue, bool half) {
    auto load = [half](const void* at) {
        return half ? _mm_loadl_epi64(static_cast<const __m128i*>(at))
                    : _mm_loadu_si128(static_cast<const __m128i*>(at));
    };
    const __m128i zero = _mm_setzero_si128();
    const __m128i alpha = _mm_set1_epi8(static_cast<char>(0xFF));
    const __m128i y = load(luma);
    const __m128i ylo = _mm_unpacklo_epi8(y, zero);
    const __m128i yhi = _mm_unpackhi_epi8(y, zero);
    auto channel = [&](const int16_t* offsets) {
        const __m128i o = load(offsets);
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

void PixelsSse2(const uint8_t* luma, int x, int width, const int16_t* red, const int16_t* green,
                const int16_t* blue, uint32_t* out, bool mirror, bool stream) {
    for (int step = 16; step >= 8; step -= 8) {
        const int vectors = step / 4;
        for (; x + step <= width; x += step) {
            const int c = x / 2;
            const Sixteen s = Convert16(luma + x, red + c, green + c, blue + c, step == 8);
            if (!mirror) {
                for (int i = 0; i < vectors; ++i) Store4(out + x + 4 * i, s.p[i], stream);
            } else {
                // Source columns x..x+step-1 land at width-1-x down to width-step-x.
                uint32_t* o = out + width - x - step;
                for (int i = 0; i < vectors; ++i)
                    Store4(o + step - 4 - 4 * i, _mm_shuffle_epi32(s.p[i], 0x1B), stream);
            }
        }
    }
    PixelsScalar(luma, x, width, red, green, blue, out, mirror);
}

// 16 × 16 bytes transposed in registers: four rounds of interleaving
// neighbouring registers, at 8, 16, 32 and 64 bits, leave column j in
// register kBitReversed[j], top row first.
constexpr int kBitReversed[16] = {0, 8, 4, 12, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7, 15};

template <class Lo, class Hi>
inline void Interleave(const __m128i (&v)[16], __m128i (&t)[16], Lo lo, Hi hi) {
    for (int k = 0; k < 8; ++k) {
        t[k] = lo(v[2 * k], v[2 * k + 1]);
        t[k + 8] = hi(v[2 * k], v[2 * k + 1]);
    }
}

// Where row `row` of a block starting at column `c0` lies. Column strips
// step from line to line too far apart for the hardware to see a stream, so
// the same row a few blocks further down is asked for at once (past the end
// of a plane that is harmless: a prefetch never faults).
inline const uint8_t* RowAhead(const uint8_t* src, int stride, int row, int c0) {
    const uint8_t* at = src + static_cast<size_t>(row) * stride + c0;
    const uintptr_t ahead = reinterpret_cast<uintptr_t>(at) + uintptr_t(kPrefetchRows) * stride;
    _mm_prefetch(reinterpret_cast<const char*>(ahead), _MM_HINT_T0);
    return at;
}

// dst[c * dstStride + r] = src[r * stride + c] for `cols` columns and `rows` rows.
void TransposeBlock(const uint8_t* src, int stride, int cols, int rows, uint8_t* dst,
                    int dstStride) {
    int r0 = 0;
    for (; r0 + 16 <= rows; r0 += 16) {
        int c0 = 0;
        for (; c0 + 16 <= cols; c0 += 16) {
            __m128i v[16];
            for (int k = 0; k < 16; ++k)
                v[k] = _mm_loadu_si128(
                    reinterpret_cast<const __m128i*>(RowAhead(src, stride, r0 + k, c0)));
            // Back and forth between two sets of registers, never copied.
            __m128i t[16];
            Interleave(
                v, t, [](__m128i a, __m128i b) { return _mm_unpacklo_epi8(a, b); },
                [](__m128i a, __m128i b) { return _mm_unpackhi_epi8(a, b); });
            Interleave(
                t, v, [](__m128i a, __m128i b) { return _mm_unpacklo_epi16(a, b); },
                [](__m128i a, __m128i b) { return _mm_unpackhi_epi16(a, b); });
            Interleave(
                v, t, [](__m128i a, __m128i b) { return _mm_unpacklo_epi32(a, b); },
                [](__m128i a, __m128i b) { return _mm_unpackhi_epi32(a, b); });
            Interleave(
                t, v, [](__m128i a, __m128i b) { return _mm_unpacklo_epi64(a, b); },
                [](__m128i a, __m128i b) { return _mm_unpackhi_epi64(a, b); });
            for (int j = 0; j < 16; ++j)
                _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + (c0 + j) * dstStride + r0),
                                 v[kBitReversed[j]]);
        }
        TransposeScalar(src + c0, stride, cols - c0, r0, r0 + 16, dst + c0 * dstStride, dstStride);
    }
    TransposeScalar(src, stride, cols, r0, rows, dst, dstStride);
}

// ---- AVX2: twice the lanes for the same work.

KVX_AVX2 inline __m256i CoefPair8(int cbCoef, int crCoef) {
    return _mm256_set1_epi32(
        static_cast<int>(static_cast<uint16_t>(cbCoef) |
                         (static_cast<uint32_t>(static_cast<uint16_t>(crCoef)) << 16)));
}

KVX_AVX2 inline __m256i FloorMul8(__m256i numerator, float scale) {
    return _mm256_cvtps_epi32(
        _mm256_floor_ps(_mm256_mul_ps(_mm256_cvtepi32_ps(numerator), _mm256_set1_ps(scale))));
}

// An offset beyond ±255 clamps every luma value the same way as ±255 does,
// so each fits a byte as its positive part (added with saturation) and its
// negative part (subtracted with saturation).
inline void SplitOffsets(int r, int g, int b, uint32_t& positive, uint32_t& negative) {
    auto limit = [](int v) { return v < -255 ? -255 : (v > 255 ? 255 : v); };
    r = limit(r);
    g = limit(g);
    b = limit(b);
    auto pos = [](int v) { return static_cast<uint32_t>(std::max(v, 0)); };
    positive = 0xFF000000u | pos(r) << 16 | pos(g) << 8 | pos(b);
    negative = pos(-r) << 16 | pos(-g) << 8 | pos(-b);
}

// Sixteen samples' pixels of (blue, green) and (red, alpha) 16-bit pairs to
// 32 pixels, each sample written for the two columns it covers.
KVX_AVX2 inline void StorePixelPairs(uint32_t* at, __m256i bg, __m256i ra) {
    const __m256i u0 = _mm256_unpacklo_epi16(bg, ra), u1 = _mm256_unpackhi_epi16(bg, ra);
    const __m256i d0 = _mm256_unpacklo_epi32(u0, u0), d1 = _mm256_unpackhi_epi32(u0, u0);
    const __m256i d2 = _mm256_unpacklo_epi32(u1, u1), d3 = _mm256_unpackhi_epi32(u1, u1);
    auto* v = reinterpret_cast<__m256i*>(at);
    _mm256_storeu_si256(v, _mm256_permute2x128_si256(d0, d1, 0x20));
    _mm256_storeu_si256(v + 1, _mm256_permute2x128_si256(d2, d3, 0x20));
    _mm256_storeu_si256(v + 2, _mm256_permute2x128_si256(d0, d1, 0x31));
    _mm256_storeu_si256(v + 3, _mm256_permute2x128_si256(d2, d3, 0x31));
}

// Sixteen samples' 16-bit offsets, split as SplitOffsets does.
KVX_AVX2 inline void SplitOffsets16(__m256i r, __m256i g, __m256i b, uint32_t* positive,
                                    uint32_t* negative) {
    const __m256i hi = _mm256_set1_epi16(255), lo = _mm256_set1_epi16(-255);
    const __m256i zero = _mm256_setzero_si256();
    r = _mm256_min_epi16(_mm256_max_epi16(r, lo), hi);
    g = _mm256_min_epi16(_mm256_max_epi16(g, lo), hi);
    b = _mm256_min_epi16(_mm256_max_epi16(b, lo), hi);
    const __m256i pr = _mm256_max_epi16(r, zero), pg = _mm256_max_epi16(g, zero),
                  pb = _mm256_max_epi16(b, zero);
    const __m256i nr = _mm256_sub_epi16(pr, r), ng = _mm256_sub_epi16(pg, g),
                  nb = _mm256_sub_epi16(pb, b);
    StorePixelPairs(positive, _mm256_or_si256(pb, _mm256_slli_epi16(pg, 8)),
                    _mm256_or_si256(pr, _mm256_set1_epi16(static_cast<short>(0xFF00))));
    StorePixelPairs(negative, _mm256_or_si256(nb, _mm256_slli_epi16(ng, 8)), nr);
}

template <int Bits>
KVX_AVX2 inline void Interleave256(const __m256i (&v)[16], __m256i (&t)[16]) {
    for (int k = 0; k < 8; ++k) {
        const __m256i a = v[2 * k], b = v[2 * k + 1];
        if constexpr (Bits == 8) {
            t[k] = _mm256_unpacklo_epi8(a, b);
            t[k + 8] = _mm256_unpackhi_epi8(a, b);
        } else if constexpr (Bits == 16) {
            t[k] = _mm256_unpacklo_epi16(a, b);
            t[k + 8] = _mm256_unpackhi_epi16(a, b);
        } else if constexpr (Bits == 32) {
            t[k] = _mm256_unpacklo_epi32(a, b);
            t[k + 8] = _mm256_unpackhi_epi32(a, b);
        } else {
            t[k] = _mm256_unpacklo_epi64(a, b);
            t[k + 8] = _mm256_unpackhi_epi64(a, b);
        }
    }
}

// The four rounds, back and forth between two sets of registers.
KVX_AVX2 inline void Transpose256(__m256i (&v)[16]) {
    __m256i t[16];
    Interleave256<8>(v, t);
    Interleave256<16>(t, v);
    Interleave256<32>(v, t);
    Interleave256<64>(t, v);
}

// TransposeBlock for two 16 × 16 blocks side by side at once, one per lane.
KVX_AVX2 void TransposeBlockAvx2(const uint8_t* src, int stride, int cols, int rows, uint8_t* dst,
                                 int dstStride) {
    int c0 = 0;
    for (; c0 + 32 <= cols; c0 += 32) {
        int r0 = 0;
        for (; r0 + 16 <= rows; r0 += 16) {
            __m256i v[16];
            for (int k = 0; k < 16; ++k)
                v[k] = _mm256_loadu_si256(
                    reinterpret_cast<const __m256i*>(RowAhead(src, stride, r0 + k, c0)));
            Transpose256(v);
            for (int j = 0; j < 16; ++j) {
                const __m256i col = v[kBitReversed[j]];
                _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + (c0 + j) * dstStride + r0),
                                 _mm256_castsi256_si128(col));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + (c0 + 16 + j) * dstStride + r0),
                                 _mm256_extracti128_si256(col, 1));
            }
        }
        TransposeScalar(src + c0, stride, 32, r0, rows, dst + c0 * dstStride, dstStride);
    }
    // 16 columns at a time: the lanes take two row blocks instead, so each
    // column comes out as one 32-byte run.
    for (; c0 + 16 <= cols; c0 += 16) {
        int r0 = 0;
        for (; r0 + 32 <= rows; r0 += 32) {
            __m256i v[16];
            for (int k = 0; k < 16; ++k) {
                const uint8_t* at = RowAhead(src, stride, r0 + k, c0);
                v[k] = _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(at + 16 * stride),
                                           reinterpret_cast<const __m128i*>(at));
            }
            Transpose256(v);
            for (int j = 0; j < 16; ++j)
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + (c0 + j) * dstStride + r0),
                                    v[kBitReversed[j]]);
        }
        TransposeBlock(src + static_cast<size_t>(r0) * stride + c0, stride, 16, rows - r0,
                       dst + c0 * dstStride + r0, dstStride);
    }
    TransposeBlock(src + c0, stride, cols - c0, rows, dst + c0 * dstStride, dstStride);
}

// Green's numerator and quotient for eight (Cb − 128, Cr − 128) pairs.
KVX_AVX2 inline __m256i Green8(__m256i pairs, __m256i& gn) {
    gn = _mm256_add_epi32(_mm256_madd_epi16(pairs, CoefPair8(kGreenCbCoef, kGreenCrCoef)),
                          _mm256_set1_epi32(1));
    return FloorMul8(gn, kGreenScale);
}

KVX_AVX2 bool PrepareAvx2(const uint8_t* cb, const uint8_t* cr, int n, const ChromaRowOut& o) {
    const __m256i bias = _mm256_set1_epi16(128);
    __m256i hits = _mm256_setzero_si256();
    int i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cb + i));
        const __m128i r = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cr + i));
        // Red and blue depend on one sample each: xr + floor(0.13983·xr) and
        // 2·xb + floor(0.03211·xb) come out exact from a 16-bit fixed-point
        // multiply for every one of the 256 values.
        const __m256i xb = _mm256_sub_epi16(_mm256_cvtepu8_epi16(b), bias);
        const __m256i xr = _mm256_sub_epi16(_mm256_cvtepu8_epi16(r), bias);
        const __m256i red =
            _mm256_add_epi16(xr, _mm256_mulhi_epi16(xr, _mm256_set1_epi16(kRedFixed)));
        const __m256i blue = _mm256_add_epi16(
            _mm256_add_epi16(xb, xb), _mm256_mulhi_epi16(xb, _mm256_set1_epi16(kBlueFixed)));
        __m256i nl, nh;
        const __m256i gl =
            Green8(_mm256_sub_epi16(_mm256_cvtepu8_epi16(_mm_unpacklo_epi8(b, r)), bias), nl);
        const __m256i gh =
            Green8(_mm256_sub_epi16(_mm256_cvtepu8_epi16(_mm_unpackhi_epi8(b, r)), bias), nh);
        const __m256i green = _mm256_permute4x64_epi64(_mm256_packs_epi32(gl, gh), 0xD8);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(o.red + i), red);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(o.green + i), green);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(o.blue + i), blue);
        SplitOffsets16(red, green, blue, o.positive + 2 * i, o.negative + 2 * i);
        for (int e = 0; e < o.exceptionCount; ++e) {
            const __m256i v = _mm256_set1_epi32(o.exceptions[e]);
            hits = _mm256_or_si256(
                hits, _mm256_or_si256(_mm256_cmpeq_epi32(nl, v), _mm256_cmpeq_epi32(nh, v)));
        }
    }
    const bool hit = !_mm256_testz_si256(hits, hits);
    const bool tailHit = PrepareSse2(cb, cr, i, n, o);
    for (; i < n; ++i) {
        SplitOffsets(o.red[i], o.green[i], o.blue[i], o.positive[2 * i], o.negative[2 * i]);
        o.positive[2 * i + 1] = o.positive[2 * i];
        o.negative[2 * i + 1] = o.negative[2 * i];
    }
    return hit || tailHit;
}

KVX_AVX2 inline void Store8(uint32_t* at, __m256i v, bool stream) {
    if (stream && (reinterpret_cast<uintptr_t>(at) & 31) == 0) {
        _mm256_stream_si256(reinterpret_cast<__m256i*>(at), v);
    } else if (stream) {
        _mm_stream_si128(reinterpret_cast<__m128i*>(at), _mm256_castsi256_si128(v));
        _mm_stream_si128(reinterpret_cast<__m128i*>(at) + 1, _mm256_extracti128_si256(v, 1));
    } else {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(at), v);
    }
}

// Eight pixels per step, all in 32-bit lanes: each luma byte is spread over
// the pixel's blue, green and red bytes, the positive parts of the offsets
// added and the negative parts subtracted, both with byte saturation, which
// is exactly the formula's clamp (alpha saturates to 0xFF on the way).
KVX_AVX2 void PixelsAvx2(const uint8_t* luma, int width, const int16_t* red, const int16_t* green,
                         const int16_t* blue, const uint32_t* positive, const uint32_t* negative,
                         uint32_t* out, bool mirror, bool stream) {
    const __m256i spread = _mm256_setr_epi8(0, 0, 0, -1, 1, 1, 1, -1, 2, 2, 2, -1, 3, 3, 3, -1,  //
                                            4, 4, 4, -1, 5, 5, 5, -1, 6, 6, 6, -1, 7, 7, 7, -1);
    const __m256i reverse = _mm256_setr_epi32(7, 6, 5, 4, 3, 2, 1, 0);
    int x = 0;
    for (; x + 8 <= width; x += 8) {
        long long eight = 0;
        std::memcpy(&eight, luma + x, 8);
        const __m256i y = _mm256_shuffle_epi8(_mm256_set1_epi64x(eight), spread);
        const __m256i pos = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(positive + x));
        const __m256i neg = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(negative + x));
        const __m256i p = _mm256_subs_epu8(_mm256_adds_epu8(y, pos), neg);
        if (!mirror) {
            Store8(out + x, p, stream);
        } else {
            Store8(out + width - x - 8, _mm256_permutevar8x32_epi32(p, reverse), stream);
        }
    }
    PixelsScalar(luma, x, width, red, green, blue, out, mirror);
}
#endif

}  // namespace

bool CYuvConverter::Supports(Simd simd) {
#if defined(KVX_X86)
    if (simd == Simd::Avx2) return __builtin_cpu_supports("avx2");
    return true;
#else
    (void)simd;
    return false;
#endif
}

CYuvConverter::Simd CYuvConverter::Best() {
    return Supports(Simd::Avx2) ? Simd::Avx2 : Simd::Sse2;
}

CYuvConverter::CYuvConverter(Simd simd)
    : simd_(Supports(simd) ? simd : Simd::Sse2),
      rowRed_(kMaxFrameWidth / 2 + kRowPad),
      rowGreen_(kMaxFrameWidth / 2 + kRowPad),
      rowBlue_(kMaxFrameWidth / 2 + kRowPad),
      rowPositive_(kMaxFrameWidth + 2 * kRowPad),
      rowNegative_(kMaxFrameWidth + 2 * kRowPad),
      rowExceptions_(kMaxFrameWidth / 2 + 1),
      rowPixels_(kMaxFrameWidth),
      stripY_(static_cast<size_t>(kStripColumns) * kMaxFrameHeight),
      stripCb_(static_cast<size_t>(kStripColumns / 2 + 1) * (kMaxFrameHeight / 2)),
      stripCr_(stripCb_.size()) {
    // Only a green sum that is exactly whole can come out on either side of
    // it in the formula's double rounding; all others lie at least 1/20000
    // away from a whole number. Those pairs are checked against the formula
    // itself, with its terms added in its own order.
    for (int cb = 0; cb < 256; ++cb) {
        for (int cr = 0; cr < 256; ++cr) {
            const Terms t = ChromaTerms(cb, cr);
            if ((t.greenNumerator - 1) % 40000 != 0) continue;
            const double cbG = -0.39465 * (cb - 128), crG = -0.5806 * (cr - 128);
            GreenException e{t.greenNumerator, {}};
            bool differs = false;
            for (int y = 0; y < 256; ++y) {
                double g = y + cbG + crG;
                g = g < 0 ? 0 : (g > 255 ? 255 : g);
                e.exact[y] = static_cast<uint8_t>(g);
                differs |= e.exact[y] != Clamp(y + t.green);
            }
            if (differs) exceptions_.push_back(e);
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
    const Terms t = ChromaTerms(cb, cr);
    for (const auto& e : exceptions_) {
        if (e.numerator == t.greenNumerator) {
            return Pack(y + t.red, 0, y + t.blue) | (uint32_t{e.exact[y]} << 8);
        }
    }
    return Pack(y + t.red, y + t.green, y + t.blue);
}

void CYuvConverter::PrepareChromaRow(const FrameRecord& frame, int chromaRow) {
    if (chromaRow == preparedRow_) return;
    preparedRow_ = chromaRow;
    const uint8_t* cb = frame.cb + static_cast<size_t>(chromaRow) * frame.chromaWidth;
    const uint8_t* cr = frame.cr + static_cast<size_t>(chromaRow) * frame.chromaWidth;
    const int cw = frame.chromaWidth;
    int numerators[8];
    const int count = static_cast<int>(std::min<size_t>(exceptions_.size(), 8));
    for (int e = 0; e < count; ++e) numerators[e] = exceptions_[static_cast<size_t>(e)].numerator;
    const ChromaRowOut o{rowRed_.data(),
                         rowGreen_.data(),
                         rowBlue_.data(),
                         rowPositive_.data(),
                         rowNegative_.data(),
                         numerators,
                         count};
    bool hit = false;
#if defined(KVX_X86)
    hit = simd_ == Simd::Avx2 ? PrepareAvx2(cb, cr, cw, o) : PrepareSse2(cb, cr, 0, cw, o);
#else
    hit = PrepareScalar(cb, cr, 0, cw, o);
#endif
    // An odd width leaves the last luma column without a chroma sample of its
    // own: it borrows its left neighbour's instead of reading past the plane.
    rowRed_[cw] = rowRed_[cw - 1];
    rowGreen_[cw] = rowGreen_[cw - 1];
    rowBlue_[cw] = rowBlue_[cw - 1];
    // The exact-green pairs are rare: the row is searched for them only when
    // the fast pass saw one.
    rowExceptionCount_ = 0;
    if (!hit && exceptions_.size() <= 8) return;
    for (int i = 0; i < cw; ++i) {
        const int gn = GreenNumerator(cb[i], cr[i]);
        for (size_t t = 0; t < exceptions_.size(); ++t) {
            if (exceptions_[t].numerator == gn) {
                rowExceptions_[rowExceptionCount_++] = RowException{i, static_cast<int>(t)};
            }
        }
    }
}

void CYuvConverter::PatchGreen(const uint8_t* luma, int width, uint32_t* out, bool mirror) const {
    for (int i = 0; i < rowExceptionCount_; ++i) {
        const int chroma = rowExceptions_[i].chromaColumn;
        const auto& exact = exceptions_[static_cast<size_t>(rowExceptions_[i].table)].exact;
        // The two columns the sample covers, and an odd width's last column,
        // which borrows the last sample.
        const int last = (2 * chroma + 3 == width) ? width : std::min(2 * chroma + 2, width);
        for (int x = 2 * chroma; x < last; ++x) {
            uint32_t& p = out[mirror ? width - 1 - x : x];
            p = (p & 0xFFFF00FFu) | (static_cast<uint32_t>(exact[luma[x]]) << 8);
        }
    }
}

void CYuvConverter::ConvertRow(const uint8_t* luma, int width, uint32_t* out, bool mirror,
                               bool stream) const {
#if defined(KVX_X86)
    if (simd_ == Simd::Avx2) {
        PixelsAvx2(luma, width, rowRed_.data(), rowGreen_.data(), rowBlue_.data(),
                   rowPositive_.data(), rowNegative_.data(), out, mirror, stream);
    } else {
        PixelsSse2(luma, 0, width, rowRed_.data(), rowGreen_.data(), rowBlue_.data(), out, mirror,
                   stream);
    }
#else
    (void)stream;
    PixelsScalar(luma, 0, width, rowRed_.data(), rowGreen_.data(), rowBlue_.data(), out, mirror);
#endif
}

void CYuvConverter::ConvertRows(const FrameRecord& frame, uint32_t* first, ptrdiff_t step,
                                bool mirror) {
    const int w = frame.width, h = frame.height;
    preparedRow_ = -1;
    for (int r = 0; r < h; ++r) {
        PrepareChromaRow(frame, std::min(r / 2, frame.chromaHeight - 1));
        const uint8_t* luma = frame.y + static_cast<size_t>(r) * w;
        uint32_t* row = first + r * step;
#if defined(KVX_X86)
        // A row whose every store is an aligned whole vector, with no exact
        // greens to put in afterwards, streams straight out. Any other row is
        // converted in the cache first and then streamed, so that no line is
        // written partly by streaming and partly by ordinary stores (which
        // costs a round trip to memory for each such line).
        if ((reinterpret_cast<uintptr_t>(row) & 15) == 0 && w % 8 == 0 && rowExceptionCount_ == 0) {
            ConvertRow(luma, w, row, mirror, true);
            continue;
        }
        ConvertRow(luma, w, rowPixels_.data(), mirror, false);
        PatchGreen(luma, w, rowPixels_.data(), mirror);
        StreamRow(rowPixels_.data(), row, w);
#else
        ConvertRow(luma, w, row, mirror, false);
        PatchGreen(luma, w, row, mirror);
#endif
    }
}

void CYuvConverter::ConvertTurned(const FrameRecord& frame, int angle, uint32_t* out, int stride) {
    // Source column c is output row w-1-c read forward at 90 (a quarter turn
    // counter-clockwise) and output row c read backward at 270. The columns
    // go in strips: each strip is transposed into buffers that stay in the
    // first-level cache, and its rows converted as output rows.
    const int w = frame.width, h = frame.height, cw = frame.chromaWidth;
    for (int c0 = 0; c0 < w; c0 += kStripColumns) {
        const int c1 = std::min(w, c0 + kStripColumns);
        // The strip's chroma columns; an odd width's last column borrows the
        // last one, which may lie in the strip before.
        const int k0 = std::min(c0 / 2, cw - 1), k1 = std::min((c1 - 1) / 2, cw - 1) + 1;
        FrameRecord t = frame;
        t.width = h;
        t.height = c1 - c0;
        t.chromaWidth = frame.chromaHeight;
        t.chromaHeight = k1 - k0;
#if defined(KVX_X86)
        auto transpose = simd_ == Simd::Avx2 ? TransposeBlockAvx2 : TransposeBlock;
        transpose(frame.y + c0, w, c1 - c0, h, stripY_.data(), h);
        const int ch = frame.chromaHeight;
        transpose(frame.cb + k0, cw, k1 - k0, ch, stripCb_.data(), ch);
        transpose(frame.cr + k0, cw, k1 - k0, ch, stripCr_.data(), ch);
#else
        TransposeScalar(frame.y + c0, w, c1 - c0, 0, h, stripY_.data(), h);
        TransposeScalar(frame.cb + k0, cw, k1 - k0, 0, frame.chromaHeight, stripCb_.data(),
                        frame.chromaHeight);
        TransposeScalar(frame.cr + k0, cw, k1 - k0, 0, frame.chromaHeight, stripCr_.data(),
                        frame.chromaHeight);
#endif
        t.y = stripY_.data();
        t.cb = stripCb_.data();
        t.cr = stripCr_.data();
        if (angle == 90) {
            ConvertRows(t, out + static_cast<ptrdiff_t>(w - 1 - c0) * stride, -stride, false);
        } else {
            ConvertRows(t, out + static_cast<ptrdiff_t>(c0) * stride, stride, true);
        }
    }
}

bool CYuvConverter::Convert(const FrameRecord& frame, int angle, uint32_t* out, int stride) {
    if (frame.width < 2 || frame.height < 2 || frame.width > kMaxFrameWidth ||
        frame.height > kMaxFrameHeight || frame.chromaWidth != frame.width / 2 ||
        frame.chromaHeight != frame.height / 2)
        return false;
    switch (NormalAngle(angle)) {
        case 90:
        case 270:
            ConvertTurned(frame, NormalAngle(angle), out, stride);
            break;
        case 180:
            ConvertRows(frame, out + static_cast<ptrdiff_t>(frame.height - 1) * stride, -stride,
                        true);
            break;
        default:
            ConvertRows(frame, out, stride, false);
            break;
    }
#if defined(KVX_X86)
    _mm_sfence();  // the streamed stores are seen by whoever reads the picture next
#endif
    return true;
}

}  // namespace kvx::liveview
