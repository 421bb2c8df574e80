// Header checks: sizes, format and plane offsets against the bytes received.
#include "liveview/frame_record.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "frame_builder.h"
#include "liveview/frame_pipeline.h"

namespace kvx::liveview {
namespace {

using test::BuildFrame;
using test::Put16;
using test::Put32;

TEST(FrameRecord, AcceptsTheLimitsAndReadsThePlanes) {
    for (auto [w, h] : {std::pair{400, 300}, {1200, 800}, {720, 480}, {401, 301}}) {
        auto b = BuildFrame(w, h, 1024, 680);
        FrameRecord f;
        ASSERT_EQ(ParseFrameRecord(b.data(), b.size(), f), FrameCheck::Ok) << w << "x" << h;
        EXPECT_EQ(f.width, w);
        EXPECT_EQ(f.chromaWidth, w / 2);
        EXPECT_EQ(f.y, b.data() + 0x24);
        EXPECT_EQ(f.cr, b.data() + 0x24 + w * h + (w / 2) * (h / 2));
    }
}

TEST(FrameRecord, BadHeadersAreRefused) {
    struct Case {
        const char* what;
        std::function<void(std::vector<uint8_t>&)> spoil;
        FrameCheck want;
    };
    const uint32_t lumaEnd = 0x24 + 720 * 480;
    const Case cases[] = {
        {"format 0", [](auto& b) { Put16(b, 0x08, 0); }, FrameCheck::BadFormat},
        {"format 2", [](auto& b) { Put16(b, 0x08, 2); }, FrameCheck::BadFormat},
        {"width 1201", [](auto& b) { Put16(b, 0x0E, 1201); }, FrameCheck::BadSize},
        {"width 399", [](auto& b) { Put16(b, 0x0E, 399); }, FrameCheck::BadSize},
        {"height 299", [](auto& b) { Put16(b, 0x10, 299); }, FrameCheck::BadSize},
        {"height 801", [](auto& b) { Put16(b, 0x10, 801); }, FrameCheck::BadSize},
        {"display width 0", [](auto& b) { Put16(b, 0x12, 0); }, FrameCheck::BadSize},
        {"display height 0", [](auto& b) { Put16(b, 0x14, 0); }, FrameCheck::BadSize},
        {"luma past the end", [](auto& b) { Put32(b, 0x18, uint32_t(b.size()) - 1000); },
         FrameCheck::BadSize},
        {"Cb past the end", [=](auto& b) { Put32(b, 0x1C, uint32_t(b.size()) - 100); },
         FrameCheck::BadSize},
        {"Cr past the end", [=](auto& b) { Put32(b, 0x20, lumaEnd + 360 * 240 + 1); },
         FrameCheck::BadSize},
        {"offset wraps 32 bits", [](auto& b) { Put32(b, 0x20, 0xFFFFFFF0u); }, FrameCheck::BadSize},
        {"larger frame, same bytes", [](auto& b) { Put16(b, 0x0E, 1200); }, FrameCheck::BadSize},
        {"bytes cut short", [](auto& b) { b.resize(b.size() - 1); }, FrameCheck::BadSize},
        {"header only", [](auto& b) { b.resize(0x24); }, FrameCheck::BadSize},
        {"header cut short", [](auto& b) { b.resize(0x23); }, FrameCheck::BadSize},
    };
    for (const auto& c : cases) {
        auto b = BuildFrame(720, 480, 1024, 680);
        c.spoil(b);
        FrameRecord f;
        EXPECT_EQ(ParseFrameRecord(b.data(), b.size(), f), c.want) << c.what;
        EXPECT_EQ(f.y, nullptr) << c.what;
    }
    FrameRecord f;
    EXPECT_EQ(ParseFrameRecord(nullptr, 100, f), FrameCheck::BadSize);
}

TEST(FrameRecord, DisplaySizeBeyondTheSlotIsHeldToIt) {
    auto b = BuildFrame(720, 480, 4000, 65535);
    FrameRecord f;
    ASSERT_EQ(ParseFrameRecord(b.data(), b.size(), f), FrameCheck::Ok);
    EXPECT_EQ(f.displayWidth, kSlotSide);
    EXPECT_EQ(f.displayHeight, kSlotSide);
}

// The slot is exactly kSlotSide square with nothing around it, so any write
// past it would be seen by the address sanitizer build, and a stray value in
// the guard words here.
TEST(FramePipeline, FillsOnlyTheDisplayAreaOfTheSlot) {
    CFramePipeline pipeline;
    const int stride = kSlotSide;
    std::vector<uint32_t> slot(size_t(stride) * kSlotSide + 16, 0x12345678);
    struct Case {
        int w, h, dw, dh, angle, wantW, wantH;
        bool large, rotated;
    } cases[] = {
        {720, 480, 1024, 680, 0, 1024, 680, true, false},
        {640, 480, 900, 600, 90, 600, 900, false, true},
        {1200, 800, 1024, 680, 270, 680, 1024, true, true},
        {1024, 680, 1024, 680, 180, 1024, 680, true, false},
        {1200, 800, 4000, 4000, 0, 1024, 1024, true, false},
    };
    for (const auto& c : cases) {
        std::fill(slot.begin(), slot.end(), 0x12345678);
        auto b = BuildFrame(c.w, c.h, c.dw, c.dh);
        const FrameResult r = pipeline.Process(b.data(), b.size(), c.angle, slot.data(), stride);
        ASSERT_EQ(r.check, FrameCheck::Ok);
        EXPECT_EQ(r.width, c.wantW);
        EXPECT_EQ(r.height, c.wantH);
        EXPECT_EQ(r.large, c.large);
        EXPECT_EQ(r.rotated, c.rotated);
        for (int y = 0; y < kSlotSide; ++y) {
            for (int x = 0; x < kSlotSide; ++x) {
                const bool inside = x < r.width && y < r.height;
                const uint32_t v = slot[size_t(y) * stride + x];
                if (inside != (v != 0x12345678)) {
                    FAIL() << c.w << "x" << c.h << " at " << x << "," << y;
                }
            }
        }
        for (size_t i = size_t(stride) * kSlotSide; i < slot.size(); ++i)
            ASSERT_EQ(slot[i], 0x12345678u);
    }
}

TEST(FramePipeline, NearestColourStretchPicksSourcePixels) {
    // 2 × 2 onto 5 × 3: columns 0,0,0,1,1 (x·2/5) and rows 0,0,1 (y·2/3).
    const uint32_t src[4] = {1, 2, 3, 4};
    uint32_t dst[15] = {};
    int columns[5];
    CFramePipeline::Stretch(src, 2, 2, 2, dst, 5, 3, 5, columns);
    const uint32_t want[15] = {1, 1, 1, 2, 2, 1, 1, 1, 2, 2, 3, 3, 3, 4, 4};
    for (int i = 0; i < 15; ++i) EXPECT_EQ(dst[i], want[i]) << i;
}

}  // namespace
}  // namespace kvx::liveview
