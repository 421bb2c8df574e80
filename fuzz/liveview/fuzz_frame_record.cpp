// A live view frame record as the camera delivers it: the input is the whole
// record, placed against an inaccessible page, and goes through the frame
// check, the conversion at each of the four angles and the stretch into a
// frame slot. Two header bytes the program does not interpret pick the slot's
// row stride (0x0A) and the camera's aspect index (0x16). What must hold:
//  - nothing is read past the received bytes (the guard page after them);
//  - a frame is accepted exactly when its format is 1, its size is in range,
//    its display size is not zero and all three planes lie wholly inside the
//    received bytes; the accepted planes point inside them;
//  - the slot is written only inside the picture's display rectangle (held
//    to the slot's side, sides swapped when turned), every pixel of that
//    rectangle is written, and a dropped frame leaves the slot untouched;
//  - the planes are read only inside themselves, also for odd sizes: a second
//    conversion from copies of each plane, each against its own guard page,
//    gives the same picture, and the slot holds its nearest-colour stretch;
//  - every aspect index, also one above 6 or below 1, gives a rectangle
//    inside the whole frame, and one above 6 gives the whole frame.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fuzz/common/byte_reader.h"
#include "fuzz/common/check_stats.h"
#include "fuzz/common/guarded_buffer.h"
#include "liveview/frame_pipeline.h"
#include "liveview/frame_record.h"
#include "liveview/mask_rects.h"
#include "liveview/yuv_converter.h"

using kvx::fuzz::GuardedBuffer;
using namespace kvx::liveview;

namespace {

// Larger inputs than this are not frames the camera could send; they are skipped.
constexpr size_t kMaxRecord = size_t{4} << 20;
// Untouched pixels before the slot, to see a write in front of it.
constexpr int kMargin = 64;
constexpr int kMaxStridePad = 31;
constexpr uint32_t kUntouched = 0;  // the converter always writes alpha 0xFF

kvx::fuzz::CheckStats stats{"fuzz_liveview_frame_record",
                            {},
                            {"dropped", "bad_format", "drawn", "odd_size", "clamped", nullptr}};

uint16_t U16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t U32(const uint8_t* p) {
    return static_cast<uint32_t>(U16(p)) | (static_cast<uint32_t>(U16(p + 2)) << 16);
}

// The frame check written out again, plainly, to hold the real one to.
FrameCheck ExpectedCheck(const uint8_t* d, size_t size) {
    if (size < kFrameHeaderSize) return FrameCheck::BadSize;
    if (U16(d + 0x08) != 1) return FrameCheck::BadFormat;
    const uint64_t w = U16(d + 0x0E), h = U16(d + 0x10);
    if (w < 400 || w > 1200 || h < 300 || h > 800) return FrameCheck::BadSize;
    if (U16(d + 0x12) == 0 || U16(d + 0x14) == 0) return FrameCheck::BadSize;
    const uint64_t luma = w * h, chroma = (w / 2) * (h / 2);
    if (U32(d + 0x18) + luma > size || U32(d + 0x1C) + chroma > size ||
        U32(d + 0x20) + chroma > size)
        return FrameCheck::BadSize;
    return FrameCheck::Ok;
}

bool Within(const uint8_t* p, size_t n, const uint8_t* base, size_t size) {
    return p >= base && static_cast<size_t>(p - base) + n <= size;
}

void CheckAspects(bool large, bool rotated, int fromHeader) {
    const Rect full = FullFrameRect(large, rotated);
    KVX_FUZZ_CHECK(full.x == 0 && full.y == 0 && full.w > 0 && full.h > 0);
    for (int index : {fromHeader, -1, 0, 1, 2, 3, 4, 5, 6, 7, 255, 65535}) {
        const Rect r = AspectRect(large, rotated, index);
        KVX_FUZZ_CHECK(r.x >= 0 && r.y >= 0 && r.w > 0 && r.h > 0);
        KVX_FUZZ_CHECK(r.x + r.w <= full.w && r.y + r.h <= full.h);
        if (index > 6) KVX_FUZZ_CHECK(r == full);
        if (index < 1) KVX_FUZZ_CHECK(r == AspectRect(large, rotated, 1));
    }
}

struct Target {
    GuardedBuffer record{kMaxRecord};
    // The slot with the largest stride, the margin in front of it and its
    // last row's end against the guard page.
    GuardedBuffer slotBytes{(kMargin + size_t{kSlotSide + kMaxStridePad} * kSlotSide) * 4};
    GuardedBuffer luma{size_t{kMaxFrameWidth} * kMaxFrameHeight};
    GuardedBuffer cb{size_t{kMaxFrameWidth / 2} * (kMaxFrameHeight / 2)};
    GuardedBuffer cr{size_t{kMaxFrameWidth / 2} * (kMaxFrameHeight / 2)};
    CFramePipeline pipeline;
    CYuvConverter converter;
    std::vector<uint32_t> picture = std::vector<uint32_t>(size_t{kMaxFrameWidth} * kMaxFrameHeight);

    // A fresh, untouched slot of `stride`; returns its first pixel.
    uint32_t* FreshSlot(int stride, size_t& pixels) {
        pixels = kMargin + static_cast<size_t>(stride) * kSlotSide;
        auto* base = reinterpret_cast<uint32_t*>(slotBytes.Place(pixels * 4));
        return base + kMargin;
    }

    static void CheckUntouched(const uint32_t* slot, size_t pixels) {
        const uint32_t* base = slot - kMargin;
        for (size_t i = 0; i < pixels; ++i) KVX_FUZZ_CHECK(base[i] == kUntouched);
    }

    void Run(const uint8_t* data, size_t size) {
        const FrameCheck expected = ExpectedCheck(data, size);
        FrameRecord frame;
        const FrameCheck check = ParseFrameRecord(data, size, frame);
        KVX_FUZZ_CHECK(check == expected);
        const int stride = kSlotSide + (size > 0x0A ? data[0x0A] % (kMaxStridePad + 1) : 0);
        const int aspect = size > 0x16 ? data[0x16] : 0;
        size_t pixels = 0;

        if (check != FrameCheck::Ok) {
            ++stats.counts[check == FrameCheck::BadFormat ? 1 : 0];
            uint32_t* slot = FreshSlot(stride, pixels);
            const FrameResult r = pipeline.Process(data, size, 0, slot, stride);
            KVX_FUZZ_CHECK(r.check == check);
            CheckUntouched(slot, pixels);
            return;
        }
        ++stats.counts[2];
        KVX_FUZZ_CHECK(Within(frame.y, size_t(frame.width) * frame.height, data, size));
        const size_t chromaBytes = size_t(frame.chromaWidth) * frame.chromaHeight;
        KVX_FUZZ_CHECK(frame.chromaWidth == frame.width / 2 &&
                       frame.chromaHeight == frame.height / 2);
        KVX_FUZZ_CHECK(Within(frame.cb, chromaBytes, data, size));
        KVX_FUZZ_CHECK(Within(frame.cr, chromaBytes, data, size));
        const int dw = U16(data + 0x12), dh = U16(data + 0x14);
        KVX_FUZZ_CHECK(frame.displayWidth == std::min(dw, kSlotSide) &&
                       frame.displayHeight == std::min(dh, kSlotSide));
        if ((frame.width | frame.height) & 1) ++stats.counts[3];
        if (dw > kSlotSide || dh > kSlotSide) ++stats.counts[4];

        // Each plane on its own, ending at its own guard page.
        FrameRecord apart = frame;
        apart.y = luma.Place(size_t(frame.width) * frame.height, frame.y,
                             size_t(frame.width) * frame.height);
        apart.cb = cb.Place(chromaBytes, frame.cb, chromaBytes);
        apart.cr = cr.Place(chromaBytes, frame.cr, chromaBytes);

        for (int angle : {0, 90, 180, 270}) {
            uint32_t* slot = FreshSlot(stride, pixels);
            const FrameResult r = pipeline.Process(data, size, angle, slot, stride);
            KVX_FUZZ_CHECK(r.check == FrameCheck::Ok);
            const bool turned = angle == 90 || angle == 270;
            KVX_FUZZ_CHECK(r.rotated == turned);
            KVX_FUZZ_CHECK(r.large == (frame.displayWidth != 900 && frame.displayHeight != 900));
            KVX_FUZZ_CHECK(r.width == (turned ? frame.displayHeight : frame.displayWidth));
            KVX_FUZZ_CHECK(r.height == (turned ? frame.displayWidth : frame.displayHeight));
            KVX_FUZZ_CHECK(r.width >= 1 && r.width <= kSlotSide && r.height >= 1 &&
                           r.height <= kSlotSide);

            const int ow = CYuvConverter::OutputWidth(frame, angle);
            const int oh = CYuvConverter::OutputHeight(frame, angle);
            KVX_FUZZ_CHECK(ow == (turned ? frame.height : frame.width));
            KVX_FUZZ_CHECK(oh == (turned ? frame.width : frame.height));
            KVX_FUZZ_CHECK(converter.Convert(apart, angle, picture.data(), ow));

            // Inside the picture: the nearest source pixel; outside it: untouched.
            const uint32_t* base = slot - kMargin;
            for (int i = 0; i < kMargin; ++i) KVX_FUZZ_CHECK(base[i] == kUntouched);
            for (int y = 0; y < kSlotSide; ++y) {
                const uint32_t* row = slot + static_cast<size_t>(y) * stride;
                if (y >= r.height) {
                    for (int x = 0; x < stride; ++x) KVX_FUZZ_CHECK(row[x] == kUntouched);
                    continue;
                }
                const uint32_t* in =
                    picture.data() + static_cast<size_t>(int64_t{y} * oh / r.height) * ow;
                for (int x = 0; x < r.width; ++x) {
                    KVX_FUZZ_CHECK((row[x] >> 24) == 0xFF);
                    KVX_FUZZ_CHECK(row[x] == in[int64_t{x} * ow / r.width]);
                }
                for (int x = r.width; x < stride; ++x) KVX_FUZZ_CHECK(row[x] == kUntouched);
            }
            CheckAspects(r.large, r.rotated, aspect);
        }
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Target target;
    if (size > kMaxRecord) return 0;
    // Exactly the input's bytes, the last one right before the guard page.
    const uint8_t* record = target.record.Place(size, data, size);
    target.Run(record, size);
    return 0;
}
