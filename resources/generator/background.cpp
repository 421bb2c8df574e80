// The main window's background and the program icon.
#include <QPainterPath>
#include <cmath>

#include "paint_kit.h"
#include "pictures.h"

namespace kvx::gen {
namespace {

constexpr int kWidth = 528;   // readouts end at 520, then an 8 pixel margin
constexpr int kHeight = 546;  // the panel frame ends at 526, then the two text lines

struct Readout {
    int y, h;
};
// Readouts at x 406, 114 wide (main window layout).
constexpr Readout kReadouts[] = {{16, 86}, {103, 32}, {136, 36}, {173, 28}, {202, 45}, {254, 70}};

void Lcd(QPainter& p, const QRect& r) {
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, QColor(24, 28, 27));
    g.setColorAt(1, QColor(15, 18, 17));
    p.fillRect(r, g);
}

// The notice box: a plain panel; its message sits in a band 46 pixels down,
// the OK button below it.
QImage NoticeBackground() {
    constexpr int w = 440, h = 130;
    QImage img(w, h, QImage::Format_RGB32);
    QPainter p(&img);
    QLinearGradient g(0, 0, 0, h);
    g.setColorAt(0, kPanel.lighter(118));
    g.setColorAt(1, kPanel);
    p.fillRect(img.rect(), g);
    // An accent bar on the left and a hairline above the message band.
    p.fillRect(QRect(0, 0, 4, h), kAccent);
    p.fillRect(QRect(16, 38, w - 32, 1), QColor(20, 20, 20));
    p.fillRect(QRect(16, 39, w - 32, 1), QColor(255, 255, 255, 18));
    p.end();
    return img;
}

}  // namespace

std::vector<Picture> MakeBackground() {
    QImage img(kWidth, kHeight, QImage::Format_RGB32);
    QPainter p(&img);
    QLinearGradient base(0, 0, 0, kHeight);
    base.setColorAt(0, kWindow.lighter(106));
    base.setColorAt(1, kWindow.darker(106));
    p.fillRect(img.rect(), base);

    // The accordion frame (0,14 393 x 512) is covered by the panels; a dark
    // rule under it separates the text lines.
    p.fillRect(QRect(0, 13, 393, 1), QColor(30, 29, 28));
    p.fillRect(QRect(0, 526, kWidth, 1), QColor(30, 29, 28));
    p.fillRect(QRect(0, 527, kWidth, 1), QColor(255, 255, 255, 22));

    // Status column: a housing for the readouts.
    const QRect housing(400, 10, 126, 320);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(QColor(14, 14, 14), 1));
    QLinearGradient hg(housing.topLeft(), housing.bottomLeft());
    hg.setColorAt(0, QColor(36, 36, 35));
    hg.setColorAt(1, QColor(28, 28, 28));
    p.setBrush(hg);
    p.drawRoundedRect(QRectF(housing).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    p.setPen(QPen(QColor(255, 255, 255, 20), 1));
    p.setBrush(Qt::NoBrush);
    p.drawLine(QPointF(403, housing.bottom() + 1.5), QPointF(523, housing.bottom() + 1.5));
    p.setRenderHint(QPainter::Antialiasing, false);
    for (const Readout& r : kReadouts) {
        const QRect glass(406, r.y, 114, r.h);
        Lcd(p, glass);
        // Inset edge: shadow above and left, a faint light below.
        p.fillRect(QRect(glass.left(), glass.top(), glass.width(), 1), QColor(4, 5, 5));
        p.fillRect(QRect(glass.left(), glass.top(), 1, glass.height()), QColor(8, 9, 9));
    }

    // Button area: the buttons draw over 0x2C2C2C, so the plate is exactly that.
    const QRect plate(400, 328 + 6, 126, 524 - 334);
    p.fillRect(plate, kPanel);
    p.fillRect(QRect(plate.left(), plate.top(), plate.width(), 1), QColor(20, 20, 20));
    p.fillRect(QRect(plate.left(), plate.bottom(), plate.width(), 1), QColor(255, 255, 255, 18));
    // Labels of the two lock buttons (436,331 and 474,331, 17 x 17).
    p.fillRect(QRect(400, 328, 126, 6), kPanel);
    DrawPixelText(p, 414, 336, "AE", QColor(170, 168, 164));
    DrawPixelText(p, 494, 336, "AF", QColor(170, 168, 164));
    // Hairline between the capture group and the function buttons.
    p.fillRect(QRect(408, 474, 110, 1), QColor(20, 20, 20));
    p.fillRect(QRect(408, 475, 110, 1), QColor(255, 255, 255, 14));
    p.end();
    return {{"149", img}, {"151", NoticeBackground()}};
}

std::vector<Picture> MakeIcons() {
    std::vector<Picture> out;
    for (int size : {256, 48, 32, 16}) {
        QImage img = NewImage(size, size);
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing, true);
        const qreal s = size;
        const QRectF tile(s * 0.03, s * 0.03, s * 0.94, s * 0.94);
        QLinearGradient g(tile.topLeft(), tile.bottomLeft());
        g.setColorAt(0, QColor(78, 75, 71));
        g.setColorAt(1, QColor(36, 35, 34));
        p.setPen(QPen(QColor(12, 12, 12), std::max(1.0, s / 64)));
        p.setBrush(g);
        p.drawRoundedRect(tile, s * 0.2, s * 0.2);
        // A six-blade aperture with a warm centre.
        const QPointF c = tile.center();
        const qreal r = s * 0.33;
        p.setBrush(QColor(20, 20, 20));
        p.drawEllipse(c, r, r);
        const qreal opening = r * 0.42;
        for (int i = 0; i < 6; ++i) {
            const qreal a0 = (i * 60.0) * M_PI / 180;
            const qreal a1 = ((i + 1) * 60.0) * M_PI / 180;
            QPainterPath blade;
            blade.moveTo(c + QPointF(std::cos(a0), std::sin(a0)) * r);
            blade.lineTo(c + QPointF(std::cos(a1), std::sin(a1)) * r);
            blade.lineTo(c + QPointF(std::cos(a1 + 0.9), std::sin(a1 + 0.9)) * opening);
            blade.closeSubpath();
            p.setPen(QPen(QColor(20, 20, 20), std::max(0.8, s / 96)));
            p.setBrush(i % 2 ? QColor(150, 148, 144) : QColor(120, 118, 114));
            p.drawPath(blade);
        }
        p.setPen(Qt::NoPen);
        p.setBrush(kAccent);
        p.drawEllipse(c, opening * 0.62, opening * 0.62);
        p.end();
        out.push_back({size == 256 ? QString("128") : QString("128_%1").arg(size), img});
    }
    return out;
}

}  // namespace kvx::gen
