// The focus-frame selector's pictures: the focusing field in each mode (plain,
// with the nine boxes of each frame size), lit and normal, the disabled field,
// and the three frame marks. The box geometry here must match the selector's
// hit boxes, so a mark always sits inside the box the user sees.
#include "paint_kit.h"
#include "pictures.h"

namespace kvx::gen {
namespace {

constexpr int kW = 192, kH = 128;
// The usable field: where the free point may go, with a small margin.
const QRect kField(18, 13, 156, 102);

struct Boxes {
    int cols[3];
    int rows[3];
    int size;  // box edge (inclusive bounds are left .. left + size - 1)
};
constexpr Boxes kLarge{{41, 83, 125}, {24, 51, 78}, 26};
constexpr Boxes kSmall{{45, 87, 129}, {28, 55, 82}, 18};

QImage Field(bool lit, bool disabled) {
    QImage img(kW, kH, QImage::Format_ARGB32_Premultiplied);
    img.fill(kPanel);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    // A dark viewfinder with a faint vignette, like looking through the finder.
    QRadialGradient g(kField.center(), kField.width() * 0.7);
    g.setColorAt(0, disabled ? QColor(40, 40, 40) : QColor(30, 31, 33));
    g.setColorAt(1, disabled ? QColor(36, 36, 36) : QColor(16, 16, 18));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(QRectF(kField).adjusted(0.5, 0.5, -0.5, -0.5), 5, 5);
    const QColor rim = disabled ? QColor(58, 58, 58) : lit ? kAccent : QColor(90, 90, 90);
    p.setPen(QPen(rim, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(kField).adjusted(0.5, 0.5, -0.5, -0.5), 5, 5);
    // Corner ticks of the frame area and a centre cross, as in a finder.
    const QColor tick = disabled ? QColor(60, 60, 60) : QColor(120, 120, 118);
    p.setPen(QPen(tick, 1));
    p.setRenderHint(QPainter::Antialiasing, false);
    const QRect a = kField.adjusted(8, 8, -8, -8);
    for (int sx : {0, 1})
        for (int sy : {0, 1}) {
            const int x = sx ? a.right() : a.left(), y = sy ? a.bottom() : a.top();
            const int dx = sx ? -8 : 8, dy = sy ? -8 : 8;
            p.drawLine(x, y, x + dx, y);
            p.drawLine(x, y, x, y + dy);
        }
    return img;
}

void DrawBoxes(QImage& img, const Boxes& b, bool lit) {
    QPainter p(&img);
    const QColor c = lit ? QColor(200, 200, 196) : QColor(130, 130, 128);
    p.setPen(QPen(c, 1));
    for (int col : b.cols)
        for (int row : b.rows) p.drawRect(col, row, b.size - 1, b.size - 1);
}

QImage WithBoxes(const Boxes& b, bool lit) {
    QImage img = Field(lit, false);
    DrawBoxes(img, b, lit);
    return img;
}

// A frame mark: bright corner brackets in the accent colour on transparency.
QImage Mark(int s) {
    QImage img(s, s, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setPen(QPen(kAccent, s >= 12 ? 2 : 1));
    p.setBrush(s < 12 ? QBrush(kAccent)
                      : QBrush(QColor(kAccent.red(), kAccent.green(), kAccent.blue(), 50)));
    p.drawRect(QRectF(0.5, 0.5, s - 1, s - 1)
                   .adjusted(s >= 12 ? 0.5 : 0, s >= 12 ? 0.5 : 0, s >= 12 ? -0.5 : 0,
                             s >= 12 ? -0.5 : 0));
    return img;
}

}  // namespace

std::vector<Picture> MakeFocusAreaPictures() {
    return {
        {"235", Field(true, false)},
        {"236", Field(false, false)},
        {"237", WithBoxes(kLarge, true)},
        {"238", WithBoxes(kLarge, false)},
        {"239", Mark(24)},
        {"240", WithBoxes(kSmall, true)},
        {"241", WithBoxes(kSmall, false)},
        {"242", Mark(12)},
        {"243", WithBoxes(kSmall, true)},
        {"244", WithBoxes(kSmall, false)},
        {"245", Mark(6)},
        {"246", Field(false, true)},
    };
}

}  // namespace kvx::gen
