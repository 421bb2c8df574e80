// The focus frame's arithmetic: camera focus coordinates against the
// picture on screen, the nine fixed points, the free range, and the arrow
// keys. Screen coordinates are those of the live view's screen area.
#pragma once

#include <cstdint>
#include <optional>

#include "liveview/mask_rects.h"

namespace kvx::liveview {

struct Point {
    int x = 0, y = 0;
    bool operator==(const Point&) const = default;
};

// What the camera reports about its focus point.
struct CameraFocus {
    uint8_t mode = 0;  // 1 nine-point, 2 free, other: neither
    uint8_t x = 0, y = 0;
    uint8_t size = 0;                                 // 1 Large, 2 Regular, other Spot
    uint16_t rangeWidth = 0, rangeHeight = 0;         // 0: not reported yet
    uint16_t minX = 0, maxX = 0, minY = 0, maxY = 0;  // the free range
};

enum class ArrowKey { Left, Right, Up, Down };

// Nine-point camera coordinates of column / row 0..2.
int NinePointX(int column);
int NinePointY(int row);
// Nearest column (for x) or row (for y) with the ranges of size index 0..2;
// ties go to the lower index.
int NearestColumn(int x, int sizeIndex);
int NearestRow(int y, int sizeIndex);
// Size index from the frame size byte: 1 -> 0, 2 -> 1, other -> 2.
int SizeIndex(uint8_t sizeByte);
// Marker units: 24 Large, 12 Regular, 6 Spot.
int SizeUnits(uint8_t sizeByte);

// A display mode read back from the settings: values the window never
// writes are taken as the nearest valid one (0..4).
int NormalDisplayMode(int saved);

// (column, row) turned from camera to screen orientation and back.
Point IndexToScreen(Point index, int angle);
Point IndexToCamera(Point index, int angle);
// The direction an arrow key means with the picture turned by `angle`.
ArrowKey TurnKey(ArrowKey key, int angle);

// Camera point to screen through the full-frame rectangle `b`; nullopt when
// the range is not known or the rectangle is empty.
std::optional<Point> CameraToScreen(const Rect& b, int angle, const CameraFocus& f, int cx, int cy);
// Screen point to camera, rounded to nearest; nullopt likewise.
std::optional<Point> ScreenToCamera(const Rect& b, int angle, const CameraFocus& f, int sx, int sy);

// Where a marker of side `side` may sit: the free range on screen, inside
// `bounds` (the mask or the picture rectangle). x1 > x2 when nothing fits.
struct Region {
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};
std::optional<Region> MarkerRegion(const Rect& b, int angle, const CameraFocus& f,
                                   const Rect& bounds, int side);
// Holds a point inside the region for a marker of side `side`.
std::optional<Point> ClampMarker(const Rect& b, int angle, const CameraFocus& f, const Rect& bounds,
                                 int side, Point p);

// Marker side for `picture` (the picture or mask rectangle) and the aspect
// rectangle; 0 when the aspect rectangle is empty.
int MarkerSide(int units, const Rect& picture, const Rect& aspect, bool rotated);

// The nine points as drawn: side and the centre of (column, row) in screen
// orientation inside `area`.
struct NineGrid {
    int side = 0;
    int columnStep = 0;
    int rowStep = 0;
};
NineGrid NinePointGrid(int units, const Rect& area, const Rect& aspect, bool rotated);
Point NinePointCentre(const NineGrid& g, const Rect& area, Point index);

// A free-mode point the camera may take: inside its free range and a byte.
Point HoldInFreeRange(const CameraFocus& f, int x, int y);
// One arrow step in free mode from the camera's point, held in the range.
Point FreeKeyMove(const CameraFocus& f, ArrowKey effective);
// One arrow step of the nine-point selection (column, row), wrapping.
Point NineKeyMove(Point index, ArrowKey effective);

}  // namespace kvx::liveview
