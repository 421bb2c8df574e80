// Focus frame geometry: hit mapping both ways at every angle, the nine-point
// search, the allowed marker region, and the arrow keys in both modes.
#include "liveview/focus_geometry.h"

#include <gtest/gtest.h>

namespace kvx::liveview {
namespace {

CameraFocus Focus(uint8_t mode = 2, uint8_t x = 32, uint8_t y = 21) {
    CameraFocus f;
    f.mode = mode;
    f.x = x;
    f.y = y;
    f.size = 2;
    f.rangeWidth = 64;
    f.rangeHeight = 42;
    f.minX = 8;
    f.maxX = 56;
    f.minY = 5;
    f.maxY = 37;
    return f;
}

const Rect kFull{10, 20, 640, 420};  // a 3:2 picture on screen
const Rect kFullTurned{20, 10, 420, 640};

TEST(FocusGeometry, CameraToScreenAndBackAtEveryAngle) {
    const CameraFocus f = Focus();
    for (int angle : {0, 90, 180, 270}) {
        const Rect& b = (angle == 90 || angle == 270) ? kFullTurned : kFull;
        for (int cx : {0, 8, 17, 32, 56, 63}) {
            for (int cy : {0, 5, 21, 37, 41}) {
                auto s = CameraToScreen(b, angle, f, cx, cy);
                ASSERT_TRUE(s);
                auto back = ScreenToCamera(b, angle, f, s->x, s->y);
                ASSERT_TRUE(back);
                EXPECT_EQ(*back, (Point{cx, cy})) << "angle " << angle;
            }
        }
    }
    // The camera's top-left corner turns with the picture.
    EXPECT_EQ(*CameraToScreen(kFull, 0, f, 0, 0), (Point{10, 20}));
    EXPECT_EQ(*CameraToScreen(kFullTurned, 90, f, 0, 0), (Point{20, 650}));
    EXPECT_EQ(*CameraToScreen(kFull, 180, f, 0, 0), (Point{650, 440}));
    EXPECT_EQ(*CameraToScreen(kFullTurned, 270, f, 0, 0), (Point{440, 10}));
}

TEST(FocusGeometry, UnknownRangeOrEmptyPictureMapsNothing) {
    CameraFocus f = Focus();
    f.rangeWidth = 0;
    EXPECT_FALSE(CameraToScreen(kFull, 0, f, 10, 10));
    EXPECT_FALSE(ScreenToCamera(kFull, 0, f, 10, 10));
    f = Focus();
    f.rangeHeight = 0;
    EXPECT_FALSE(ScreenToCamera(kFull, 90, f, 10, 10));
    f = Focus();
    for (Rect empty : {Rect{0, 0, 0, 420}, Rect{0, 0, 640, 0}}) {
        EXPECT_FALSE(ScreenToCamera(empty, 0, f, 10, 10));
        EXPECT_FALSE(ClampMarker(empty, 0, f, empty, 10, Point{5, 5}));
    }
    EXPECT_EQ(MarkerSide(24, kFull, Rect{}, false), 0);
    EXPECT_EQ(NinePointGrid(24, kFull, Rect{}, false).side, 0);
}

TEST(FocusGeometry, NearestNinePoint) {
    EXPECT_EQ(NearestColumn(20, 2), 0);  // centres 17, 31, 45
    EXPECT_EQ(NearestColumn(24, 2), 0);  // a tie: the lower index
    EXPECT_EQ(NearestColumn(25, 2), 1);
    EXPECT_EQ(NearestColumn(200, 0), 2);
    EXPECT_EQ(NearestRow(30, 1), 2);
    EXPECT_EQ(NearestRow(0, 1), 0);
    // Upright, a click nearest column 1 and row 2 names (32, 30).
    const CameraFocus f = Focus(1);
    auto cam = ScreenToCamera(kFull, 0, f, 10 + 330, 20 + 300);
    ASSERT_TRUE(cam);
    EXPECT_EQ(NinePointX(NearestColumn(cam->x, SizeIndex(f.size))), 32);
    EXPECT_EQ(NinePointY(NearestRow(cam->y, SizeIndex(f.size))), 30);
}

TEST(FocusGeometry, IndexTurnsRoundTrip) {
    for (int angle : {0, 90, 180, 270}) {
        for (int c = 0; c < 3; ++c) {
            for (int r = 0; r < 3; ++r) {
                EXPECT_EQ(IndexToCamera(IndexToScreen({c, r}, angle), angle), (Point{c, r}));
            }
        }
    }
    EXPECT_EQ(IndexToScreen({0, 0}, 90), (Point{0, 2}));
    EXPECT_EQ(IndexToScreen({0, 0}, 270), (Point{2, 0}));
}

TEST(FocusGeometry, DragStopsAtTheEdgeOfTheFreeRange) {
    const CameraFocus f = Focus();
    const int side = 20;
    auto region = MarkerRegion(kFull, 0, f, kFull, side + 1);
    ASSERT_TRUE(region);
    for (Point p : {Point{-500, -500}, Point{5000, 5000}, Point{5000, -7}, Point{300, 200}}) {
        auto c = ClampMarker(kFull, 0, f, kFull, side, p);
        ASSERT_TRUE(c);
        EXPECT_GE(c->x, region->x1);
        EXPECT_LE(c->x, region->x2);
        EXPECT_GE(c->y, region->y1);
        EXPECT_LE(c->y, region->y2);
        // And the point it names lies in the free range.
        auto cam = ScreenToCamera(kFull, 0, f, c->x, c->y);
        ASSERT_TRUE(cam);
        EXPECT_GE(cam->x, f.minX);
        EXPECT_LE(cam->x, f.maxX);
        EXPECT_GE(cam->y, f.minY);
        EXPECT_LE(cam->y, f.maxY);
    }
    EXPECT_EQ(*ClampMarker(kFull, 0, f, kFull, side, Point{300, 200}), (Point{300, 200}));
}

TEST(FocusGeometry, ArrowKeysTurnWithThePicture) {
    using enum ArrowKey;
    EXPECT_EQ(TurnKey(Left, 0), Left);
    EXPECT_EQ(TurnKey(Left, 90), Up);
    EXPECT_EQ(TurnKey(Up, 90), Right);
    EXPECT_EQ(TurnKey(Left, 180), Right);
    EXPECT_EQ(TurnKey(Down, 180), Up);
    EXPECT_EQ(TurnKey(Left, 270), Down);
    EXPECT_EQ(TurnKey(Down, 270), Right);
    EXPECT_EQ(TurnKey(Right, 45), Right);
}

TEST(FocusGeometry, FreeKeysStayInTheRangeAndInAByte) {
    using enum ArrowKey;
    CameraFocus f = Focus(2, 8, 37);
    EXPECT_EQ(FreeKeyMove(f, Left), (Point{8, 37}));
    EXPECT_EQ(FreeKeyMove(f, Down), (Point{8, 37}));
    EXPECT_EQ(FreeKeyMove(f, Right), (Point{9, 37}));
    EXPECT_EQ(FreeKeyMove(f, Up), (Point{8, 36}));
    // A camera whose range reaches past a byte: 255 + 1 stays 255, not 0.
    f.maxX = 400;
    f.x = 255;
    EXPECT_EQ(FreeKeyMove(f, Right).x, 255);
    // A point reported outside the range is brought back into it.
    f = Focus(2, 0, 200);
    EXPECT_EQ(FreeKeyMove(f, Right), (Point{8, 37}));
    EXPECT_EQ(HoldInFreeRange(f, -40, 9000), (Point{8, 37}));
}

TEST(FocusGeometry, NineKeysWalkAndWrap) {
    using enum ArrowKey;
    EXPECT_EQ(NineKeyMove({2, 0}, Right), (Point{0, 1}));
    EXPECT_EQ(NineKeyMove({2, 2}, Right), (Point{0, 0}));
    EXPECT_EQ(NineKeyMove({0, 1}, Left), (Point{2, 0}));
    EXPECT_EQ(NineKeyMove({0, 0}, Left), (Point{2, 2}));
    EXPECT_EQ(NineKeyMove({1, 0}, Up), (Point{1, 2}));
    EXPECT_EQ(NineKeyMove({1, 2}, Down), (Point{1, 0}));
}

TEST(FocusGeometry, SavedDisplayModesOutsideTheRangeAreHeld) {
    EXPECT_EQ(NormalDisplayMode(-1), 0);
    EXPECT_EQ(NormalDisplayMode(3), 3);
    EXPECT_EQ(NormalDisplayMode(9), 4);
}

}  // namespace
}  // namespace kvx::liveview
