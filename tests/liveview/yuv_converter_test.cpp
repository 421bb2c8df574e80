// The converter against the formula written out plainly: every (Y, Cb, Cr)
// triple, and every pixel position at each angle, bottom-up BGR as the
// formula's own output is laid out.
#include "liveview/yuv_converter.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "bench/liveview/plain_converter.h"
#include "frame_builder.h"
#include "liveview/frame_record.h"

namespace kvx::liveview {
namespace {

uint8_t Channel(double v) {
    if (v < 0) v = 0;
    if (v > 255) v = 255;
    return static_cast<uint8_t>(v);
}

// The formula, in double precision, as a 0xFFRRGGBB pixel.
uint32_t Reference(int y, int cb, int cr) {
    const double r = y + 1.13983 * (cr - 128);
    const double g = y + -0.39465 * (cb - 128) + -0.5806 * (cr - 128);
    const double b = y + 2.03211 * (cb - 128);
    return 0xFF000000u | (uint32_t(Channel(r)) << 16) | (uint32_t(Channel(g)) << 8) | Channel(b);
}

TEST(YuvConverter, EveryTripleMatchesTheFormula) {
    CYuvConverter conv;
    for (int cb = 0; cb < 256; ++cb) {
        for (int cr = 0; cr < 256; ++cr) {
            for (int y = 0; y < 256; ++y) {
                const uint32_t want = Reference(y, cb, cr);
                const uint32_t got = conv.Pixel(uint8_t(y), uint8_t(cb), uint8_t(cr));
                if (got != want) {
                    FAIL() << "Y=" << y << " Cb=" << cb << " Cr=" << cr << " got " << std::hex
                           << got << " want " << want;
                }
            }
        }
    }
}

// Every instruction set this processor runs: each has its own code path.
std::vector<CYuvConverter::Simd> Paths() {
    std::vector<CYuvConverter::Simd> paths;
    for (auto simd : {CYuvConverter::Simd::Sse2, CYuvConverter::Simd::Avx2})
        if (CYuvConverter::Supports(simd)) paths.push_back(simd);
    return paths;
}

const char* Name(CYuvConverter::Simd simd) {
    return simd == CYuvConverter::Simd::Avx2 ? "AVX2" : "SSE2";
}

// The same proof through the whole conversion path (SIMD rows, rotation,
// the few exact-green pairs) on every instruction set: a 512 × 512 frame
// holds every (Cb, Cr) pair once, and 64 luma patterns give each pair all
// 256 Y values, at every angle. Rows are written once straight to an
// aligned picture and once through the row buffer that a picture whose rows
// are not aligned takes.
TEST(YuvConverter, EveryTripleMatchesTheFormulaThroughConvert) {
    const int w = 512, h = 512, cw = 256;
    std::vector<uint8_t> luma(size_t(w) * h), cb(size_t(cw) * cw), cr(cb.size());
    for (int j = 0; j < cw; ++j)
        for (int i = 0; i < cw; ++i) {
            cb[j * cw + i] = uint8_t(i);
            cr[j * cw + i] = uint8_t(j);
        }
    FrameRecord f;
    f.width = w;
    f.height = h;
    f.chromaWidth = f.chromaHeight = cw;
    f.displayWidth = w;
    f.displayHeight = h;
    f.y = luma.data();
    f.cb = cb.data();
    f.cr = cr.data();
    // 16 extra pixels so that the picture can start 1 pixel into the buffer.
    std::vector<uint32_t> buffer(size_t(w) * h + 16);
    for (auto simd : Paths()) {
        CYuvConverter conv(simd);
        ASSERT_EQ(conv.simd(), simd);
        for (int pattern = 0; pattern < 64; ++pattern) {
            for (int r = 0; r < h; ++r)
                for (int c = 0; c < w; ++c)
                    luma[size_t(r) * w + c] = uint8_t(4 * pattern + (r % 2) * 2 + c % 2);
            for (int angle : {0, 90, 180, 270}) {
                for (int shift : {0, 1}) {
                    uint32_t* out =
                        buffer.data() +
                        (16 - reinterpret_cast<uintptr_t>(buffer.data()) % 64 / 4) % 16 + shift;
                    ASSERT_TRUE(conv.Convert(f, angle, out, w));
                    for (int r = 0; r < h; ++r) {
                        for (int c = 0; c < w; ++c) {
                            int orow = r, ocol = c;
                            if (angle == 90) orow = w - 1 - c, ocol = r;
                            if (angle == 180) orow = h - 1 - r, ocol = w - 1 - c;
                            if (angle == 270) orow = c, ocol = h - 1 - r;
                            const uint32_t want = Reference(luma[size_t(r) * w + c], c / 2, r / 2);
                            const uint32_t got = out[size_t(orow) * w + ocol];
                            if (got != want) {
                                FAIL() << Name(simd) << " angle " << angle << " shift " << shift
                                       << " Y=" << int(luma[size_t(r) * w + c]) << " Cb=" << c / 2
                                       << " Cr=" << r / 2 << std::hex << " got " << got << " want "
                                       << want;
                            }
                        }
                    }
                }
            }
        }
    }
}

FrameRecord RecordOf(const std::vector<uint8_t>& bytes, int w, int h) {
    FrameRecord f;
    f.width = w;
    f.height = h;
    f.chromaWidth = w / 2;
    f.chromaHeight = h / 2;
    f.displayWidth = w;
    f.displayHeight = h;
    f.y = bytes.data() + 0x24;
    f.cb = f.y + w * h;
    f.cr = f.cb + f.chromaWidth * f.chromaHeight;
    return f;
}

std::vector<std::pair<CYuvConverter::Simd, int>> PathsAndAngles() {
    std::vector<std::pair<CYuvConverter::Simd, int>> all;
    for (auto simd : Paths())
        for (int angle : {0, 90, 180, 270, 45}) all.emplace_back(simd, angle);
    return all;
}

// Small asymmetric frames, odd and even, narrower and wider than one SIMD
// step and than one 4 × 4 block, at every angle, top-down RGB32 against the
// bottom-up BGR reference.
TEST(YuvConverter, RotationsMatchTheBottomUpLayoutPixelForPixel) {
    const struct {
        int w, h;
    } sizes[] = {{2, 2}, {7, 5}, {6, 3}, {19, 11}, {36, 21}, {33, 40}, {400, 300}};
    for (auto s : sizes) {
        const auto bytes = test::BuildFrame(s.w, s.h, s.w, s.h, uint32_t(s.w * 31 + s.h));
        const FrameRecord f = RecordOf(bytes, s.w, s.h);
        bench::CPlainConverter plain;
        for (auto [simd, angle] : PathsAndAngles()) {
            SCOPED_TRACE(testing::Message()
                         << Name(simd) << " " << s.w << "x" << s.h << " angle " << angle);
            CYuvConverter conv(simd);
            const int ow = CYuvConverter::OutputWidth(f, angle);
            const int oh = CYuvConverter::OutputHeight(f, angle);
            const int stride = ow + 3;  // a stride wider than the picture is honoured
            std::vector<uint32_t> out(size_t(stride) * oh, 0xDEADBEEF);
            ASSERT_TRUE(conv.Convert(f, angle, out.data(), stride));
            // The straightforward converter's layout: a bottom-up buffer of
            // 3-byte B, G, R pixels.
            const auto ref = plain.Convert(f, angle == 45 ? 0 : angle);
            for (int row = 0; row < oh; ++row) {
                const uint8_t* refRow = ref.data() + size_t(oh - 1 - row) * ow * 3;
                for (int col = 0; col < ow; ++col) {
                    const uint32_t want = 0xFF000000u | (uint32_t(refRow[col * 3 + 2]) << 16) |
                                          (uint32_t(refRow[col * 3 + 1]) << 8) | refRow[col * 3];
                    ASSERT_EQ(out[size_t(row) * stride + col], want) << "at " << col << "," << row;
                }
                for (int pad = ow; pad < stride; ++pad)
                    ASSERT_EQ(out[size_t(row) * stride + pad], 0xDEADBEEF) << "wrote past the row";
            }
        }
    }
}

TEST(YuvConverter, QuarterTurnsPlaceTheCornersAsTheyLook) {
    // A 4 × 2 frame whose top-left luma is bright: counter-clockwise (90)
    // carries it to the bottom-left, clockwise (270) to the top-right.
    std::vector<uint8_t> bytes(0x24 + 8 + 2 + 2, 128);
    for (int i = 0; i < 8; ++i) bytes[0x24 + i] = 0;
    bytes[0x24] = 255;
    const FrameRecord f = RecordOf(bytes, 4, 2);
    CYuvConverter conv;
    std::vector<uint32_t> out(8);
    ASSERT_TRUE(conv.Convert(f, 90, out.data(), 2));
    EXPECT_EQ(out[3 * 2 + 0], 0xFFFFFFFFu);
    ASSERT_TRUE(conv.Convert(f, 270, out.data(), 2));
    EXPECT_EQ(out[0 * 2 + 1], 0xFFFFFFFFu);
    ASSERT_TRUE(conv.Convert(f, 180, out.data(), 4));
    EXPECT_EQ(out[1 * 4 + 3], 0xFFFFFFFFu);
}

TEST(YuvConverter, RefusesFramesItHasNoRoomFor) {
    const auto bytes = test::BuildFrame(4, 4, 4, 4);
    CYuvConverter conv;
    std::vector<uint32_t> out(16);
    FrameRecord f = RecordOf(bytes, 4, 4);
    f.width = kMaxFrameWidth + 2;
    f.chromaWidth = f.width / 2;
    EXPECT_FALSE(conv.Convert(f, 0, out.data(), 4));
    f = RecordOf(bytes, 4, 4);
    f.height = 1;
    f.chromaHeight = 0;
    EXPECT_FALSE(conv.Convert(f, 0, out.data(), 4));
}

}  // namespace
}  // namespace kvx::liveview
