#include "paint_kit.h"

#include <QLinearGradient>
#include <QPainterPath>
#include <QPolygonF>
#include <QRadialGradient>
#include <array>

namespace kvx::gen {

QImage NewImage(int w, int h) {
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    return img;
}

namespace {

struct PixelGlyph {
    char ch;
    std::array<unsigned char, 7> rows;  // 5 bits each, bit 4 leftmost
};

// clang-format off
constexpr PixelGlyph kFont[] = {
    {'A', {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'B', {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E}},
    {'C', {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}},
    {'D', {0x1E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x1E}},
    {'E', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}},
    {'F', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}},
    {'G', {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F}},
    {'H', {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'I', {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'K', {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}},
    {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F}},
    {'M', {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11}},
    {'N', {0x11, 0x19, 0x15, 0x13, 0x11, 0x11, 0x11}},
    {'O', {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}},
    {'P', {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10}},
    {'Q', {0x0E, 0x11, 0x11, 0x11, 0x15, 0x12, 0x0D}},
    {'R', {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11}},
    {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}},
    {'T', {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}},
    {'U', {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}},
    {'V', {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04}},
    {'W', {0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0A}},
    {'Y', {0x11, 0x11, 0x0A, 0x04, 0x04, 0x04, 0x04}},
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}},
    {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}},
    {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'-', {0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00}},
    {'+', {0x00, 0x04, 0x04, 0x1F, 0x04, 0x04, 0x00}},
    {'/', {0x01, 0x02, 0x02, 0x04, 0x08, 0x08, 0x10}},
    {'.', {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C}},
    {' ', {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}},
};
// clang-format on

const PixelGlyph* FindGlyph(QChar c) {
    for (const auto& g : kFont)
        if (g.ch == c.toLatin1()) return &g;
    return nullptr;
}

QPolygonF HorizontalSegment(qreal xl, qreal xr, qreal yc, qreal t, qreal gap) {
    const qreal h = t / 2;
    return QPolygonF({{xl + gap, yc},
                      {xl + gap + h, yc - h},
                      {xr - gap - h, yc - h},
                      {xr - gap, yc},
                      {xr - gap - h, yc + h},
                      {xl + gap + h, yc + h}});
}

QPolygonF VerticalSegment(qreal yt, qreal yb, qreal xc, qreal t, qreal gap) {
    const qreal h = t / 2;
    return QPolygonF({{xc, yt + gap},
                      {xc + h, yt + gap + h},
                      {xc + h, yb - gap - h},
                      {xc, yb - gap},
                      {xc - h, yb - gap - h},
                      {xc - h, yt + gap + h}});
}

}  // namespace

int PixelTextWidth(const QString& text, int scale) {
    return text.isEmpty() ? 0 : (static_cast<int>(text.size()) * 6 - 1) * scale;
}

void DrawPixelText(QPainter& p, int x, int y, const QString& text, const QColor& c, int scale) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    for (QChar ch : text) {
        if (const PixelGlyph* g = FindGlyph(ch)) {
            for (int row = 0; row < 7; ++row)
                for (int col = 0; col < 5; ++col)
                    if (g->rows[row] & (0x10 >> col))
                        p.drawRect(x + col * scale, y + row * scale, scale, scale);
        }
        x += 6 * scale;
    }
    p.restore();
}

void DrawPixelTextCentred(QPainter& p, const QRect& box, const QString& text, const QColor& c) {
    const int w = PixelTextWidth(text);
    DrawPixelText(p, box.x() + (box.width() - w) / 2, box.y() + (box.height() - 7) / 2, text, c);
}

void DrawFace(QPainter& p, const QRectF& r, Face face, bool round, qreal radius) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    QColor top, bottom, rim, light;
    switch (face) {
        case Face::kNormal:
            top = QColor(86, 84, 81), bottom = QColor(50, 49, 47), rim = QColor(18, 18, 18);
            light = QColor(255, 255, 255, 46);
            break;
        case Face::kHover:
            top = QColor(102, 99, 95), bottom = QColor(60, 58, 56), rim = QColor(18, 18, 18);
            light = QColor(255, 255, 255, 64);
            break;
        case Face::kPressed:
            top = QColor(34, 33, 32), bottom = QColor(58, 56, 54), rim = QColor(10, 10, 10);
            light = QColor(0, 0, 0, 90);
            break;
        case Face::kDisabled:
            top = QColor(58, 57, 56), bottom = QColor(46, 46, 46), rim = QColor(28, 28, 28);
            light = QColor(255, 255, 255, 14);
            break;
    }
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    const QRectF outer = r.adjusted(0.5, 0.5, -0.5, -0.5);
    const QRectF inner = r.adjusted(1.5, 1.5, -1.5, -1.5);
    p.setPen(QPen(rim, 1));
    p.setBrush(g);
    if (round)
        p.drawEllipse(outer);
    else
        p.drawRoundedRect(outer, radius, radius);
    // The inner edge: light along the top for a raised face, shadow for a
    // pressed one, which is what makes the state readable at a glance.
    QLinearGradient edge(r.topLeft(), r.bottomLeft());
    edge.setColorAt(0, light);
    edge.setColorAt(0.55, QColor(light.red(), light.green(), light.blue(), 0));
    p.setPen(QPen(QBrush(edge), 1));
    p.setBrush(Qt::NoBrush);
    if (round)
        p.drawEllipse(inner);
    else
        p.drawRoundedRect(inner, radius - 1, radius - 1);
    if (face == Face::kHover) {
        QColor ring = kAccent;
        ring.setAlpha(150);
        p.setPen(QPen(ring, 1));
        if (round)
            p.drawEllipse(outer);
        else
            p.drawRoundedRect(outer, radius, radius);
    }
    p.restore();
}

void DrawSegments(QPainter& p, const QRectF& box, unsigned mask, qreal t, const QColor& lit,
                  const QColor& ghost) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(Qt::NoPen);
    // A slight forward lean, as on a camera's top display.
    QTransform lean;
    lean.translate(box.left(), box.bottom());
    lean.shear(-0.07, 0);
    lean.translate(-box.left(), -box.bottom());
    p.setTransform(lean, true);
    const qreal gap = t * 0.22;
    const qreal xl = box.left() + t / 2, xr = box.right() - t / 2;
    const qreal yt = box.top() + t / 2, yb = box.bottom() - t / 2, ym = (yt + yb) / 2;
    const QPolygonF segs[7] = {
        HorizontalSegment(xl, xr, yt, t, gap),  // a
        VerticalSegment(yt, ym, xr, t, gap),    // b
        VerticalSegment(ym, yb, xr, t, gap),    // c
        HorizontalSegment(xl, xr, yb, t, gap),  // d
        VerticalSegment(ym, yb, xl, t, gap),    // e
        VerticalSegment(yt, ym, xl, t, gap),    // f
        HorizontalSegment(xl, xr, ym, t, gap),  // g
    };
    for (int i = 0; i < 7; ++i) {
        p.setBrush((mask & (1u << i)) ? lit : ghost);
        p.drawPolygon(segs[i]);
    }
    p.restore();
}

unsigned SegmentsForGlyph(int glyph) {
    // clang-format off
    static constexpr unsigned kMasks[36] = {
        kA | kB | kC | kD | kE | kF,       // 0
        kB | kC,                           // 1
        kA | kB | kD | kE | kG,            // 2
        kA | kB | kC | kD | kG,            // 3
        kB | kC | kF | kG,                 // 4
        kA | kC | kD | kF | kG,            // 5
        kA | kC | kD | kE | kF | kG,       // 6
        kA | kB | kC,                      // 7
        kA | kB | kC | kD | kE | kF | kG,  // 8
        kA | kB | kC | kD | kF | kG,       // 9
        kA | kB | kC | kE | kF | kG,       // A
        kC | kD | kE | kF | kG,            // b
        kA | kD | kE | kF,                 // C
        kD | kE | kG,                      // c
        kB | kC | kD | kE | kG,            // d
        kA | kD | kE | kF | kG,            // E
        kA | kE | kF | kG,                 // F
        kA | kC | kD | kE | kF,            // G
        kB | kC | kE | kF | kG,            // H
        kC | kE | kF | kG,                 // h
        kG,                                // -
        kB | kC | kD | kE,                 // J
        kD | kE | kF,                      // L
        kA | kB | kC | kE | kF,            // N
        kC | kE | kG,                      // n
        kC | kD | kE | kG,                 // o
        kA | kB | kE | kF | kG,            // P
        kE | kG,                           // r
        kB | kF,                           // "
        kF,                                // ' ` ~
        kD | kE | kF | kG,                 // t
        kB | kC | kD | kE | kF,            // U
        kD,                                // _
        kC | kD | kE,                      // u
        kB | kC | kD | kF | kG,            // y
        0,                                 // blank
    };
    // clang-format on
    return (glyph >= 0 && glyph < 36) ? kMasks[glyph] : 0;
}

QColor IconColour(Face face) {
    switch (face) {
        case Face::kNormal:
            return QColor(226, 226, 224);
        case Face::kHover:
            return QColor(255, 255, 255);
        case Face::kPressed:
            return QColor(200, 200, 198);
        case Face::kDisabled:
            return kDisabled;
    }
    return kText;
}

}  // namespace kvx::gen
