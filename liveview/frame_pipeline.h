// CFramePipeline: one received frame record into one frame slot. It checks
// the record, converts it with the chosen rotation and stretches it to the
// frame's display size (nearest colour, as the camera's own display does).
// Every buffer is sized once for the largest frame; a frame costs no
// allocation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "liveview/frame_record.h"
#include "liveview/yuv_converter.h"

namespace kvx::liveview {

struct FrameResult {
    FrameCheck check = FrameCheck::BadSize;
    int width = 0;  // the picture in the slot: display size, sides swapped when rotated
    int height = 0;
    bool rotated = false;
    bool large = false;  // neither display side is 900
};

class CFramePipeline {
public:
    CFramePipeline();

    // `slot` holds kSlotSide × kSlotSide pixels, `stride` apart (>= kSlotSide).
    FrameResult Process(const uint8_t* data, size_t size, int angle, uint32_t* slot, int stride);

    // Nearest-colour stretch of a `sw` × `sh` picture onto `dw` × `dh`.
    // `columns` must hold dw entries.
    static void Stretch(const uint32_t* src, int sw, int sh, int srcStride, uint32_t* dst, int dw,
                        int dh, int dstStride, int* columns);

private:
    CYuvConverter converter_;
    std::vector<uint32_t> converted_;  // kMaxFrameWidth × kMaxFrameHeight
    std::vector<int> columns_;         // kSlotSide
};

}  // namespace kvx::liveview
