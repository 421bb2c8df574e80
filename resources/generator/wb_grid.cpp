// The white-balance adjust grid's pictures: the 113 x 113 colour field
// (blue left, amber right, green top, magenta bottom) with its 16 x 16
// cells, the same field dimmed, the two dots and their shared mask.
#include "paint_kit.h"
#include "pictures.h"

namespace kvx::gen {
namespace {

constexpr int kSide = 113, kCell = 7;

QColor Mix(const QColor& a, const QColor& b, double t) {
    return QColor::fromRgbF(a.redF() + (b.redF() - a.redF()) * t,
                            a.greenF() + (b.greenF() - a.greenF()) * t,
                            a.blueF() + (b.blueF() - a.blueF()) * t);
}

QImage Grid(bool dimmed) {
    QImage img(kSide, kSide, QImage::Format_RGB32);
    const QColor blue(46, 92, 170), amber(196, 132, 36), green(52, 150, 70), magenta(168, 52, 140);
    const QColor mid(70, 70, 70);
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            const double tx = x / double(kSide - 1), ty = y / double(kSide - 1);
            const QColor h = tx < 0.5 ? Mix(blue, mid, tx * 2) : Mix(mid, amber, tx * 2 - 1);
            const QColor v = ty < 0.5 ? Mix(green, mid, ty * 2) : Mix(mid, magenta, ty * 2 - 1);
            QColor c = Mix(h, v, 0.5);
            c = Mix(c, QColor(30, 30, 30), 0.35);  // keep it quiet on a dark panel
            if (dimmed) {
                const int g = qGray(c.rgb());
                c = Mix(QColor(g, g, g), QColor(44, 44, 44), 0.55);
            }
            img.setPixelColor(x, y, c);
        }
    QPainter p(&img);
    p.setPen(QColor(0, 0, 0, dimmed ? 40 : 70));
    for (int k = 0; k <= 16; ++k) {
        p.drawLine(k * kCell, 0, k * kCell, kSide - 1);
        p.drawLine(0, k * kCell, kSide - 1, k * kCell);
    }
    // The neutral axes, a little brighter.
    p.setPen(QColor(255, 255, 255, dimmed ? 30 : 70));
    p.drawLine(8 * kCell, 0, 8 * kCell, kSide - 1);
    p.drawLine(0, 8 * kCell, kSide - 1, 8 * kCell);
    p.setPen(dimmed ? QColor(60, 60, 60) : QColor(20, 20, 20));
    p.drawRect(0, 0, kSide - 1, kSide - 1);
    return img;
}

QImage Dot(bool committed) {
    QImage img(9, 9, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    if (committed) {  // a hollow ring: where the camera stands
        p.setPen(QPen(QColor(255, 255, 255, 200), 1.2));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QRectF(1, 1, 7, 7));
    } else {  // the cursor the user moves: a solid bright dot with a dark rim
        p.setPen(QPen(QColor(0, 0, 0, 200), 1));
        p.setBrush(kAccent);
        p.drawEllipse(QRectF(0.5, 0.5, 8, 8));
    }
    return img;
}

QImage DotMask() {
    QImage img(9, 9, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(0, 0, 9, 9));
    return img;
}

}  // namespace

std::vector<Picture> MakeWbGridPictures() {
    return {{"247", Grid(false)},
            {"248", Grid(true)},
            {"249", Dot(false)},
            {"250", Dot(true)},
            {"251", DotMask()}};
}

}  // namespace kvx::gen
