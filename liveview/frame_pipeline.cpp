#include "liveview/frame_pipeline.h"

#include <algorithm>
#include <cstring>

#include "liveview/mask_rects.h"

namespace kvx::liveview {

CFramePipeline::CFramePipeline()
    : converted_(static_cast<size_t>(kMaxFrameWidth) * kMaxFrameHeight), columns_(kSlotSide) {}

void CFramePipeline::Stretch(const uint32_t* src, int sw, int sh, int srcStride, uint32_t* dst,
                             int dw, int dh, int dstStride, int* columns) {
    for (int x = 0; x < dw; ++x) columns[x] = static_cast<int>(static_cast<int64_t>(x) * sw / dw);
    const uint32_t* previous = nullptr;
    uint32_t* previousOut = nullptr;
    for (int y = 0; y < dh; ++y) {
        const uint32_t* in =
            src + static_cast<size_t>(static_cast<int64_t>(y) * sh / dh) * srcStride;
        uint32_t* out = dst + static_cast<size_t>(y) * dstStride;
        if (in == previous) {
            // Enlarging repeats source rows: copy the row already stretched.
            std::memcpy(out, previousOut, static_cast<size_t>(dw) * sizeof(uint32_t));
        } else {
            for (int x = 0; x < dw; ++x) out[x] = in[columns[x]];
        }
        previous = in;
        previousOut = out;
    }
}

FrameResult CFramePipeline::Process(const uint8_t* data, size_t size, int angle, uint32_t* slot,
                                    int stride) {
    FrameResult result;
    FrameRecord frame;
    result.check = ParseFrameRecord(data, size, frame);
    if (result.check != FrameCheck::Ok) return result;

    const int a = CYuvConverter::NormalAngle(angle);
    result.rotated = (a == 90 || a == 270);
    result.large = IsLargeDisplay(frame.displayWidth, frame.displayHeight);
    const int ow = CYuvConverter::OutputWidth(frame, a);
    const int oh = CYuvConverter::OutputHeight(frame, a);
    result.width = result.rotated ? frame.displayHeight : frame.displayWidth;
    result.height = result.rotated ? frame.displayWidth : frame.displayHeight;

    if (ow == result.width && oh == result.height) {
        // Shown at its own size: convert straight into the slot.
        converter_.Convert(frame, a, slot, stride);
    } else {
        converter_.Convert(frame, a, converted_.data(), ow);
        Stretch(converted_.data(), ow, oh, ow, slot, result.width, result.height, stride,
                columns_.data());
    }
    return result;
}

}  // namespace kvx::liveview
