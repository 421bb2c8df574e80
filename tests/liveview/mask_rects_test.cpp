#include "liveview/mask_rects.h"

#include <gtest/gtest.h>

namespace kvx::liveview {
namespace {

TEST(AspectTable, ByDisplaySizeRotationAndIndex) {
    struct Case {
        int dw, dh;
        bool rotated;
        int index;
        Rect want;
    } cases[] = {
        {1024, 680, false, 2, {0, 52, 1024, 576}},
        {1024, 680, true, 2, {52, 0, 576, 1024}},
        {900, 600, false, 4, {50, 0, 800, 600}},
        {900, 600, true, 6, {0, 150, 600, 600}},
        {900, 680, false, 5, {100, 0, 700, 600}},  // either side 900: the 900-based group
        {1024, 900, false, 1, {0, 107, 900, 386}},
        {1024, 680, false, 0, {0, 121, 1024, 438}},  // 0 reads as 21:9
        {1024, 680, false, 6, {172, 0, 680, 680}},
        {1024, 680, false, 7, {0, 0, 1024, 680}},  // unknown: the whole frame
        {900, 600, true, 255, {0, 0, 600, 900}},
        {1024, 680, false, -3, {0, 121, 1024, 438}},
    };
    for (const auto& c : cases) {
        const bool large = IsLargeDisplay(c.dw, c.dh);
        EXPECT_EQ(AspectRect(large, c.rotated, c.index), c.want)
            << c.dw << "x" << c.dh << " rotated " << c.rotated << " index " << c.index;
    }
    EXPECT_EQ(FullFrameRect(true, true), (Rect{0, 0, 680, 1024}));
    EXPECT_EQ(FullFrameRect(false, false), (Rect{0, 0, 900, 600}));
}

}  // namespace
}  // namespace kvx::liveview
