#include "liveview/picture_layout.h"

#include <gtest/gtest.h>

namespace kvx::liveview {
namespace {

TEST(PictureLayout, FitRect) {
    // Width-limited with the odd pixel given to the picture.
    EXPECT_EQ(FitRect(887, 900, 900, 600), (Rect{0, 154, 887, 592}));
    EXPECT_EQ(FitRect(886, 900, 900, 600), (Rect{0, 155, 886, 590}));
    EXPECT_EQ(FitRect(450, 450, 900, 600), (Rect{0, 75, 450, 300}));
    EXPECT_EQ(FitRect(900, 400, 900, 600), (Rect{150, 0, 600, 400}));
    EXPECT_EQ(FitRect(0, 400, 900, 600), (Rect{}));
    EXPECT_EQ(FitRect(400, 400, 900, 0), (Rect{}));
}

TEST(PictureLayout, FullFrameAroundACrop) {
    // A 16:9 crop of a 1024 × 680 frame shown 900 wide: the whole frame is
    // as wide and taller, centred on it.
    const Rect a = FitRect(900, 835, 1024, 576);
    const Rect b = FullFrameOnScreen(a, 1024, 680);
    EXPECT_EQ(b.w, a.w);
    EXPECT_EQ(b.h, a.w * 680 / 1024);
    EXPECT_EQ(b.y, a.y + (a.h - b.h) / 2);
}

TEST(PictureLayout, GridLines) {
    EXPECT_EQ(GridOffsets(900, 3), (std::vector<int>{299, 599}));
    EXPECT_EQ(GridOffsets(900, 2).size(), 1u);
    EXPECT_TRUE(GridOffsets(900, 1).empty());
    EXPECT_TRUE(GridOffsets(0, 3).empty());
}

}  // namespace
}  // namespace kvx::liveview
