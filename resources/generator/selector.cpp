// The value selector's parts: field bodies, drop buttons and list rows, all
// opaque (the selector copies them over its own background).
#include <QPainterPath>

#include "paint_kit.h"
#include "pictures.h"

namespace kvx::gen {
namespace {

enum class Part { kNormal, kHover, kOpen, kDisabled };

QImage Opaque(int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(kPanel);
    return img;
}

// The field body: a recessed well, its right end open towards the button.
QImage Body(int w, Part part) {
    QImage img = Opaque(w, 22);
    QPainter p(&img);
    const bool dis = part == Part::kDisabled;
    const bool lit = part == Part::kHover || part == Part::kOpen;
    QLinearGradient g(0, 0, 0, 22);
    g.setColorAt(0, dis ? QColor(40, 40, 40) : lit ? QColor(30, 30, 30) : QColor(24, 24, 24));
    g.setColorAt(1, dis ? QColor(44, 44, 44) : lit ? QColor(46, 45, 44) : QColor(38, 38, 37));
    p.fillRect(QRect(1, 1, w - 1, 20), g);
    const QColor rim = lit   ? QColor(kAccent.red(), kAccent.green(), kAccent.blue(), 190)
                       : dis ? QColor(56, 56, 56)
                             : QColor(12, 12, 12);
    p.fillRect(QRect(0, 0, w, 1), rim);
    p.fillRect(QRect(0, 0, 1, 22), rim);
    p.fillRect(QRect(0, 21, w, 1), lit ? rim : QColor(255, 255, 255, 26));
    if (!dis) p.fillRect(QRect(1, 1, w - 1, 1), QColor(0, 0, 0, 70));  // inner shadow
    return img;
}

QImage DropButton(Part part) {
    QImage img = Opaque(26, 22);
    QPainter p(&img);
    const Face face = part == Part::kNormal  ? Face::kNormal
                      : part == Part::kHover ? Face::kHover
                      : part == Part::kOpen  ? Face::kPressed
                                             : Face::kDisabled;
    p.setRenderHint(QPainter::Antialiasing, true);
    // Square on the left where it meets the body, rounded on the right.
    p.setClipRect(QRect(0, 0, 26, 22));
    DrawFace(p, QRectF(-4, 0, 30, 22), face, false, 3);
    p.setPen(Qt::NoPen);
    p.setBrush(IconColour(face));
    const qreal dy = part == Part::kOpen ? 1 : 0;
    QPolygonF chevron;
    chevron << QPointF(9, 9 + dy) << QPointF(17, 9 + dy) << QPointF(13, 14 + dy);
    p.drawPolygon(chevron);
    return img;
}

QImage Row(int w, bool highlighted) {
    QImage img = Opaque(w, 18);
    QPainter p(&img);
    if (highlighted) {
        // Dark text goes on it, so it is light.
        QLinearGradient g(0, 0, 0, 18);
        g.setColorAt(0, kAccent.lighter(118));
        g.setColorAt(1, kAccent);
        p.fillRect(img.rect(), g);
        p.fillRect(QRect(0, 0, w, 1), QColor(255, 255, 255, 90));
        p.fillRect(QRect(0, 17, w, 1), kAccent.darker(140));
    } else {
        p.fillRect(img.rect(), QColor(36, 36, 36));
        p.fillRect(QRect(0, 17, w, 1), QColor(28, 28, 28));
        p.fillRect(QRect(0, 0, 1, 18), QColor(16, 16, 16));
        p.fillRect(QRect(w - 1, 0, 1, 18), QColor(16, 16, 16));
    }
    return img;
}

}  // namespace

std::vector<Picture> MakeSelectorParts() {
    return {
        {"130", Row(60, true)},
        {"131", Row(60, false)},
        {"132", Body(36, Part::kHover)},
        {"133", Body(36, Part::kNormal)},
        {"134", Body(36, Part::kDisabled)},
        {"188", DropButton(Part::kOpen)},
        {"189", DropButton(Part::kHover)},
        {"190", DropButton(Part::kNormal)},
        {"191", DropButton(Part::kDisabled)},
        {"192", Row(218, true)},
        {"193", Row(218, false)},
        {"194", Body(192, Part::kHover)},
        {"195", Body(192, Part::kNormal)},
        {"196", Body(192, Part::kDisabled)},
    };
}

}  // namespace kvx::gen
