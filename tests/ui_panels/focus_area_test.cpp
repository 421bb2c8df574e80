// The focus-frame selector: hit testing per frame size, marks, free-move
// dragging and its limits, and that only the user's choices are reported.
#include <gtest/gtest.h>

#include <QSignalSpy>

#include "../gui/mouse.h"
#include "static_a_farea2.h"

namespace {

struct HitCase {
    int size;
    QPoint at;
    QPoint cell;  // (-1, -1): nothing hit
};

class FocusAreaHit : public ::testing::TestWithParam<HitCase> {};

TEST_P(FocusAreaHit, ClickSelectsTheBoxUnderThePointerOrNothing) {
    const HitCase& c = GetParam();
    CStaticAFarea2 area;
    area.SetFrameSize(c.size);
    QSignalSpy changed(&area, &CStaticAFarea2::changed);
    Press(&area, c.at);
    Release(&area, c.at);
    if (c.cell.x() < 0) {
        EXPECT_EQ(area.SelectedCell(), QPoint(-1, -1));
        EXPECT_EQ(changed.count(), 0);
    } else {
        EXPECT_EQ(area.SelectedCell(), c.cell);
        EXPECT_EQ(changed.count(), 1);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, FocusAreaHit,
    ::testing::Values(HitCase{CStaticAFarea2::kLarge, {53, 36}, {0, 0}},
                      HitCase{CStaticAFarea2::kLarge, {41, 24}, {0, 0}},    // box corner
                      HitCase{CStaticAFarea2::kLarge, {66, 49}, {0, 0}},    // inclusive far edge
                      HitCase{CStaticAFarea2::kLarge, {67, 36}, {-1, -1}},  // just past it
                      HitCase{CStaticAFarea2::kLarge, {70, 36}, {-1, -1}},  // between boxes
                      HitCase{CStaticAFarea2::kLarge, {150, 103}, {2, 2}},
                      HitCase{CStaticAFarea2::kRegular, {95, 63}, {1, 1}},
                      HitCase{CStaticAFarea2::kRegular, {44, 36}, {-1, -1}},
                      HitCase{CStaticAFarea2::kSpot, {146, 28}, {2, 0}},
                      HitCase{CStaticAFarea2::kSpot, {100, 50}, {-1, -1}}));

TEST(FocusArea, LargeCornerCellPlacesMarkAndFreePoint) {
    CStaticAFarea2 area;
    Press(&area, {53, 36});
    Release(&area, {53, 36});
    EXPECT_TRUE(area.MarkShown());
    EXPECT_EQ(area.MarkTopLeft(), QPoint(42, 25));
    EXPECT_EQ(area.FreePoint(), QPoint(54, 36));
    area.SelectCell(1, 1);
    EXPECT_EQ(area.FreePoint(), QPoint(96, 63));
}

TEST(FocusArea, FreeMoveDragIsHeldInsideTheLimitsAndSnapsToNearestCell) {
    CStaticAFarea2 area;
    area.SetFrameSize(CStaticAFarea2::kSpot);
    area.SetFreeMove(true);
    QSignalSpy changed(&area, &CStaticAFarea2::changed);
    Press(&area, {96, 64});
    EXPECT_EQ(changed.count(), 0);  // nothing until the release
    MoveHeld(&area, {0, 0});
    EXPECT_EQ(area.FreePoint(), QPoint(24, 19));
    Release(&area, {0, 0});
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(area.SelectedCell(), QPoint(0, 0));
    EXPECT_FALSE(area.Dragging());

    // A bigger frame keeps the point inside its own limits.
    area.SetFrameSize(CStaticAFarea2::kLarge);
    EXPECT_EQ(area.FreePoint(), QPoint(33, 28));
    MoveHeld(&area, {300, 300});  // not dragging: nothing moves
    EXPECT_EQ(area.FreePoint(), QPoint(33, 28));
}

TEST(FocusArea, FreeMoveClickWithoutMovementReportsTheSamePoint) {
    CStaticAFarea2 area;
    area.SetFreeMove(true);
    area.SetFreePoint(100, 70);
    QSignalSpy changed(&area, &CStaticAFarea2::changed);
    Press(&area, {100, 70});
    Release(&area, {100, 70});
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(area.FreePoint(), QPoint(100, 70));
    EXPECT_EQ(area.SelectedCell(), QPoint(1, 1));
}

TEST(FocusArea, NearestCellTiesGoToTheLowerIndex) {
    CStaticAFarea2 area;
    area.SelectNearestCell(74, 49);  // halfway between columns 53/95 and rows 36/63 (49.5)
    EXPECT_EQ(area.SelectedCell(), QPoint(0, 0));
    area.SelectNearestCell(116, 76);
    EXPECT_EQ(area.SelectedCell(), QPoint(1, 1));
}

TEST(FocusArea, FaceAndDisabledModesDrawNoMark) {
    CStaticAFarea2 area;
    area.SelectCell(1, 1);
    EXPECT_EQ(area.BackgroundPicture(), 238);
    area.SetFaceMode(true);
    EXPECT_FALSE(area.MarkShown());
    EXPECT_EQ(area.BackgroundPicture(), 236);
    QSignalSpy changed(&area, &CStaticAFarea2::changed);
    Press(&area, {95, 63});  // face mode: the user cannot pick
    EXPECT_EQ(changed.count(), 0);
    area.SetFaceMode(false);
    area.Enable(false);
    EXPECT_FALSE(area.MarkShown());
    EXPECT_EQ(area.BackgroundPicture(), 246);
}

TEST(FocusArea, OwnerCallsAreNeverReported) {
    CStaticAFarea2 area;
    QSignalSpy changed(&area, &CStaticAFarea2::changed);
    area.SetFrameSize(CStaticAFarea2::kRegular);
    area.SelectCell(2, 2);
    area.SetFreeMove(true);
    area.SetFreePoint(10, 10);
    area.SelectNearestCell(10, 10);
    EXPECT_EQ(changed.count(), 0);
}

}  // namespace
