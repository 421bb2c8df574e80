// The white-balance adjust grid: snapping, camera values, dragging, the
// arrow-key steps and what each commits.
#include <gtest/gtest.h>

#include <QSignalSpy>

#include "../gui/mouse.h"
#include "static_wb_adjust.h"

namespace {

using Dir = CStaticWbAdjust::Direction;

TEST(WbAdjust, SnapsPixelsToCellCorners) {
    struct Case {
        int pixel, snapped;
    };
    for (const Case c : {Case{-5, 18}, Case{18, 18}, Case{24, 18}, Case{25, 25}, Case{74, 74},
                         Case{80, 74}, Case{131, 130}, Case{500, 130}})
        EXPECT_EQ(CStaticWbAdjust::Snap(c.pixel), c.snapped) << c.pixel;
}

TEST(WbAdjust, CameraValuesPlaceThePointSilently) {
    struct Case {
        int8_t ba, gm;
        QPoint at;
        int ba_back, gm_back;  // what the point's position stands for
    };
    for (const Case c : {Case{-16, 16, {18, 130}, -16, 16}, Case{3, -3, {81, 60}, 2, -4},
                         Case{-100, 100, {18, 130}, -16, 16}, Case{0, 0, {74, 74}, 0, 0}}) {
        CStaticWbAdjust grid;
        QSignalSpy committed(&grid, &CStaticWbAdjust::committed);
        grid.SetAdjustValue(c.ba, c.gm);
        EXPECT_EQ(grid.Cursor(), c.at);
        EXPECT_EQ(grid.Committed(), c.at);
        EXPECT_EQ(CStaticWbAdjust::ValueOfPixel(c.at.x()), c.ba_back);
        EXPECT_EQ(CStaticWbAdjust::ValueOfPixel(c.at.y()), c.gm_back);
        EXPECT_EQ(committed.count(), 0);
    }
}

TEST(WbAdjust, ArrowStepsCommitOnceAndNothingAtTheEdge) {
    CStaticWbAdjust grid;
    QSignalSpy committed(&grid, &CStaticWbAdjust::committed);
    grid.StepCursor(Dir::kRight);
    ASSERT_EQ(committed.count(), 1);
    EXPECT_EQ(committed[0][0].value<int8_t>(), 2);
    EXPECT_EQ(committed[0][1].value<int8_t>(), 0);
    grid.StepCursor(Dir::kUp);
    ASSERT_EQ(committed.count(), 2);
    EXPECT_EQ(committed[1][0].value<int8_t>(), 2);
    EXPECT_EQ(committed[1][1].value<int8_t>(), -2);

    grid.SetAdjustValue(16, 16);  // bottom right corner
    committed.clear();
    grid.StepCursor(Dir::kRight);
    grid.StepCursor(Dir::kDown);
    EXPECT_EQ(committed.count(), 0);
    grid.StepCursor(Dir::kLeft);
    ASSERT_EQ(committed.count(), 1);
    EXPECT_EQ(committed[0][0].value<int8_t>(), 14);
    EXPECT_EQ(committed[0][1].value<int8_t>(), 16);
}

TEST(WbAdjust, DragMustGrabThePointAndCommitsOnRelease) {
    CStaticWbAdjust grid;
    QSignalSpy committed(&grid, &CStaticWbAdjust::committed);
    Press(&grid, {84, 74});  // 10 pixels off: not grabbed
    MoveHeld(&grid, {100, 100});
    Release(&grid, {100, 100});
    EXPECT_EQ(committed.count(), 0);
    EXPECT_EQ(grid.Cursor(), QPoint(74, 74));

    Press(&grid, {78, 70});
    MoveHeld(&grid, {300, -40});  // beyond the grid: the outermost cell
    EXPECT_EQ(grid.Cursor(), QPoint(130, 18));
    EXPECT_EQ(committed.count(), 0);
    Release(&grid, {300, -40});
    ASSERT_EQ(committed.count(), 1);
    EXPECT_EQ(committed[0][0].value<int8_t>(), 16);
    EXPECT_EQ(committed[0][1].value<int8_t>(), -16);
    EXPECT_EQ(grid.Committed(), QPoint(130, 18));
}

TEST(WbAdjust, BracketSatellites) {
    CStaticWbAdjust grid;
    grid.SetBracketMarks(2, 2, 6);
    EXPECT_EQ(grid.Frames(), 5);
    EXPECT_EQ(grid.SatelliteOffset(1), QPoint(0, -21));
    EXPECT_EQ(grid.SatelliteOffset(2), QPoint(0, 21));
    EXPECT_EQ(grid.SatelliteOffset(3), QPoint(0, -42));
    EXPECT_EQ(grid.SatelliteOffset(4), QPoint(0, 42));
    grid.SetBracketMarks(1, 1, 4);
    EXPECT_EQ(grid.Frames(), 3);
    EXPECT_EQ(grid.SatelliteOffset(2), QPoint(14, 0));
    grid.SetBracketMarks(1, 7, 4);
    EXPECT_EQ(grid.Frames(), 1);
}

}  // namespace
