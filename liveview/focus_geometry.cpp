#include "liveview/focus_geometry.h"

#include <algorithm>

namespace kvx::liveview {
namespace {

constexpr int kNineX[3] = {18, 32, 46};
constexpr int kNineY[3] = {12, 21, 30};
// (low, high) per index, one row per size index.
constexpr int kColumnRanges[3][3][2] = {
    {{13, 22}, {27, 36}, {41, 50}}, {{13, 24}, {27, 36}, {41, 50}}, {{11, 24}, {25, 38}, {39, 52}}};
constexpr int kRowRanges[3][3][2] = {
    {{7, 17}, {16, 26}, {25, 35}}, {{7, 17}, {16, 26}, {25, 35}}, {{5, 19}, {14, 28}, {23, 37}}};

int Nearest(int v, const int (&ranges)[3][2]) {
    int best = 0;
    int bestDistance = -1;
    for (int i = 0; i < 3; ++i) {
        const int centre = (ranges[i][0] + ranges[i][1]) / 2;
        const int d = v > centre ? v - centre : centre - v;
        if (bestDistance < 0 || d < bestDistance) {
            best = i;
            bestDistance = d;
        }
    }
    return best;
}

int NormalAngle(int angle) {
    return (angle == 90 || angle == 180 || angle == 270) ? angle : 0;
}

bool Usable(const Rect& b, const CameraFocus& f) {
    return f.rangeWidth != 0 && f.rangeHeight != 0 && b.w > 0 && b.h > 0;
}

}  // namespace

int NinePointX(int column) {
    return kNineX[std::clamp(column, 0, 2)];
}
int NinePointY(int row) {
    return kNineY[std::clamp(row, 0, 2)];
}
int SizeIndex(uint8_t sizeByte) {
    return sizeByte == 1 ? 0 : (sizeByte == 2 ? 1 : 2);
}
int SizeUnits(uint8_t sizeByte) {
    return sizeByte == 1 ? 24 : (sizeByte == 2 ? 12 : 6);
}
int NearestColumn(int x, int sizeIndex) {
    return Nearest(x, kColumnRanges[std::clamp(sizeIndex, 0, 2)]);
}
int NearestRow(int y, int sizeIndex) {
    return Nearest(y, kRowRanges[std::clamp(sizeIndex, 0, 2)]);
}
int NormalDisplayMode(int saved) {
    return std::clamp(saved, 0, 4);
}

Point IndexToScreen(Point i, int angle) {
    switch (NormalAngle(angle)) {
        case 90:
            return {i.y, 2 - i.x};
        case 180:
            return {2 - i.x, 2 - i.y};
        case 270:
            return {2 - i.y, i.x};
        default:
            return i;
    }
}

Point IndexToCamera(Point i, int angle) {
    switch (NormalAngle(angle)) {
        case 90:
            return {2 - i.y, i.x};
        case 180:
            return {2 - i.x, 2 - i.y};
        case 270:
            return {i.y, 2 - i.x};
        default:
            return i;
    }
}

ArrowKey TurnKey(ArrowKey key, int angle) {
    using enum ArrowKey;
    // Rows: angle 0, 90, 180, 270; columns: Left, Right, Up, Down pressed.
    static constexpr ArrowKey kTurn[4][4] = {{Left, Right, Up, Down},
                                             {Up, Down, Right, Left},
                                             {Right, Left, Down, Up},
                                             {Down, Up, Left, Right}};
    return kTurn[NormalAngle(angle) / 90][static_cast<int>(key)];
}

std::optional<Point> CameraToScreen(const Rect& b, int angle, const CameraFocus& f, int cx,
                                    int cy) {
    if (!Usable(b, f)) return std::nullopt;
    const int64_t W = f.rangeWidth, H = f.rangeHeight;
    const int64_t bx = b.x, by = b.y, bw = b.w, bh = b.h;
    switch (NormalAngle(angle)) {
        case 90:
            return Point{int(bx + bw * cy / H), int(by + bh - bh * cx / W)};
        case 180:
            return Point{int(bx + bw - bw * cx / W), int(by + bh - bh * cy / H)};
        case 270:
            return Point{int(bx + bw - bw * cy / H), int(by + bh * cx / W)};
        default:
            return Point{int(bx + bw * cx / W), int(by + bh * cy / H)};
    }
}

std::optional<Point> ScreenToCamera(const Rect& b, int angle, const CameraFocus& f, int sx,
                                    int sy) {
    if (!Usable(b, f)) return std::nullopt;
    const int64_t W = f.rangeWidth, H = f.rangeHeight;
    const int64_t bx = b.x, by = b.y, bw = b.w, bh = b.h, hw = bw / 2, hh = bh / 2;
    switch (NormalAngle(angle)) {
        case 90:
            return Point{int((hh + W * (by + bh - sy)) / bh), int((hw + (sx - bx) * H) / bw)};
        case 180:
            return Point{int((hw + W * (bx + bw - sx)) / bw), int((hh + H * (by + bh - sy)) / bh)};
        case 270:
            return Point{int((hh + (sy - by) * W) / bh), int((hw + H * (bx + bw - sx)) / bw)};
        default:
            return Point{int((hw + (sx - bx) * W) / bw), int((hh + (sy - by) * H) / bh)};
    }
}

std::optional<Region> MarkerRegion(const Rect& b, int angle, const CameraFocus& f,
                                   const Rect& bounds, int side) {
    auto p1 = CameraToScreen(b, angle, f, f.minX, f.minY);
    auto p2 = CameraToScreen(b, angle, f, f.maxX, f.maxY);
    if (!p1 || !p2) return std::nullopt;
    const int x1 = std::min(p1->x, p2->x), x2 = std::max(p1->x, p2->x);
    const int y1 = std::min(p1->y, p2->y), y2 = std::max(p1->y, p2->y);
    const int a = side / 2;
    return Region{a + std::max(x1, bounds.x), a + std::max(y1, bounds.y),
                  std::min(bounds.x + bounds.w, x2) - a, std::min(bounds.y + bounds.h, y2) - a};
}

std::optional<Point> ClampMarker(const Rect& b, int angle, const CameraFocus& f, const Rect& bounds,
                                 int side, Point p) {
    auto r = MarkerRegion(b, angle, f, bounds, side + 1);
    if (!r) return std::nullopt;
    // Left and top first, then right and bottom: when nothing fits, the
    // marker ends at the right or bottom edge, as before.
    if (p.x < r->x1) p.x = r->x1;
    if (p.y < r->y1) p.y = r->y1;
    if (p.x > r->x2) p.x = r->x2;
    if (p.y > r->y2) p.y = r->y2;
    return p;
}

int MarkerSide(int units, const Rect& picture, const Rect& aspect, bool rotated) {
    const int64_t base = rotated ? picture.h : picture.w;
    const int64_t t = (rotated ? aspect.h : aspect.w) * int64_t{192};
    if (t <= 0) return 0;
    return static_cast<int>(units * base * 900 / t);
}

NineGrid NinePointGrid(int units, const Rect& area, const Rect& aspect, bool rotated) {
    const int64_t t = (rotated ? aspect.h : aspect.w) * int64_t{192};
    const int64_t base = rotated ? area.h : area.w;
    if (t <= 0) return {};
    const int64_t across = base * 37800 / t, down = base * 24300 / t;
    return NineGrid{static_cast<int>(units * base * 900 / t),
                    static_cast<int>(rotated ? down : across),
                    static_cast<int>(rotated ? across : down)};
}

Point NinePointCentre(const NineGrid& g, const Rect& area, Point index) {
    return {area.x + area.w / 2 - 2 + (index.x - 1) * g.columnStep,
            area.y + area.h / 2 - 2 + (index.y - 1) * g.rowStep};
}

Point HoldInFreeRange(const CameraFocus& f, int x, int y) {
    // The range is the camera's; a byte is what the setting can carry.
    const int lowX = std::min<int>(f.minX, 255),
              highX = std::min<int>(std::max(f.minX, f.maxX), 255);
    const int lowY = std::min<int>(f.minY, 255),
              highY = std::min<int>(std::max(f.minY, f.maxY), 255);
    return {std::clamp(x, lowX, highX), std::clamp(y, lowY, highY)};
}

Point FreeKeyMove(const CameraFocus& f, ArrowKey effective) {
    int x = f.x, y = f.y;
    switch (effective) {
        case ArrowKey::Left:
            --x;
            break;
        case ArrowKey::Right:
            ++x;
            break;
        case ArrowKey::Up:
            --y;
            break;
        case ArrowKey::Down:
            ++y;
            break;
    }
    return HoldInFreeRange(f, x, y);
}

Point NineKeyMove(Point i, ArrowKey effective) {
    switch (effective) {
        case ArrowKey::Right:
            if (++i.x > 2) {
                i.x = 0;
                i.y = (i.y + 1) % 3;
            }
            break;
        case ArrowKey::Left:
            if (--i.x < 0) {
                i.x = 2;
                i.y = (i.y + 2) % 3;
            }
            break;
        case ArrowKey::Up:
            i.y = (i.y + 2) % 3;
            break;
        case ArrowKey::Down:
            i.y = (i.y + 1) % 3;
            break;
    }
    return i;
}

}  // namespace kvx::liveview
