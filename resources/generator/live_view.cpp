// The live view window's pictures: zoom toggles (1406..1420), the overlay
// and rotation buttons (1421..1444), the peaking colour swatches
// (1450..1456), the lit faces of the overlay buttons (1460..1463) and the
// navigator frames (1480, 1481). Drawn on the window's
// near-black RGB(22, 22, 22).
#include <QPainterPath>
#include <functional>

#include "paint_kit.h"
#include "pictures.h"

namespace kvx::gen {
namespace {

const QColor kLiveBackground(22, 22, 22);
using Icon = std::function<void(QPainter&, const QRectF&, const QColor&)>;

QImage Face24(int w, int h, Face face, bool lit, const Icon& icon) {
    QImage img = NewImage(w, h);
    img.fill(kLiveBackground);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, true);
    const QRectF r(0.5, 0.5, w - 1, h - 1);
    QColor fill = lit ? QColor(70, 70, 68) : QColor(38, 38, 38);
    if (face == Face::kHover) fill = fill.lighter(135);
    if (face == Face::kPressed) fill = fill.darker(120);
    if (face == Face::kDisabled) fill = QColor(30, 30, 30);
    p.setPen(QPen(face == Face::kDisabled ? QColor(44, 44, 44)
                  : lit                   ? kAccent
                                          : QColor(70, 70, 70),
                  1));
    p.setBrush(fill);
    p.drawRoundedRect(r, 4, 4);
    QColor ink =
        face == Face::kDisabled ? kDisabled : (lit ? kAccent.lighter(120) : IconColour(face));
    const QRectF area = QRectF(0, 0, w, h).translated(0, face == Face::kPressed ? 1 : 0);
    icon(p, area, ink);
    return img;
}

// Five pictures of a toggle in the order on, on-hover, off, off-hover,
// disabled, numbered off, off-hover, on, on-hover, disabled from `first`.
void AddToggle(std::vector<Picture>& out, int first, const Icon& icon) {
    out.push_back({QString::number(first + 0), Face24(24, 24, Face::kNormal, false, icon)});
    out.push_back({QString::number(first + 1), Face24(24, 24, Face::kHover, false, icon)});
    out.push_back({QString::number(first + 2), Face24(24, 24, Face::kNormal, true, icon)});
    out.push_back({QString::number(first + 3), Face24(24, 24, Face::kHover, true, icon)});
    out.push_back({QString::number(first + 4), Face24(24, 24, Face::kDisabled, false, icon)});
}

// Normal, pushed, hover, disabled from `first` (the order the window loads
// them in is normal = first, hover = first + 2, pushed = first + 1).
void AddButton(std::vector<Picture>& out, int first, const Icon& icon) {
    out.push_back({QString::number(first + 0), Face24(27, 28, Face::kNormal, false, icon)});
    out.push_back({QString::number(first + 1), Face24(27, 28, Face::kPressed, false, icon)});
    out.push_back({QString::number(first + 2), Face24(27, 28, Face::kHover, false, icon)});
    out.push_back({QString::number(first + 3), Face24(27, 28, Face::kDisabled, false, icon)});
}

// "×n": a drawn multiplication sign and a 5 × 7 digit (the generator runs
// without a font system, and the shared pixel font stops at 3).
void Times(QPainter& p, const QRectF& a, int digit, const QColor& c) {
    static constexpr uint8_t kFour[7] = {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02};
    static constexpr uint8_t kEight[7] = {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E};
    const uint8_t* rows = digit == 4 ? kFour : kEight;
    const QPointF m = a.center();
    p.setPen(QPen(c, 1.5, Qt::SolidLine, Qt::RoundCap));
    const QPointF x(m.x() - 4, m.y());
    p.drawLine(x + QPointF(-2.5, -2.5), x + QPointF(2.5, 2.5));
    p.drawLine(x + QPointF(-2.5, 2.5), x + QPointF(2.5, -2.5));
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    const int left = int(m.x()) + 1, top = int(m.y()) - 3;
    for (int row = 0; row < 7; ++row)
        for (int col = 0; col < 5; ++col)
            if (rows[row] & (0x10 >> col)) p.drawRect(left + col, top + row, 1, 1);
    p.restore();
}

void FitIcon(QPainter& p, const QRectF& a, const QColor& c) {
    const QPointF m = a.center();
    p.setPen(QPen(c, 1.4));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(m.x() - 6.5, m.y() - 4.5, 13, 9));
    for (int sx : {-1, 1})
        for (int sy : {-1, 1}) {
            const QPointF corner(m.x() + sx * 3, m.y() + sy * 1.5);
            p.drawLine(corner, corner + QPointF(sx * 2.5, sy * 2));
        }
}

void FocusIcon(QPainter& p, const QRectF& a, const QColor& c) {
    const QPointF m = a.center();
    p.setPen(QPen(c, 1.6, Qt::SolidLine, Qt::FlatCap));
    const qreal h = 7, arm = 3;
    for (int sx : {-1, 1})
        for (int sy : {-1, 1}) {
            const QPointF k(m.x() + sx * h, m.y() + sy * h);
            p.drawLine(k, k - QPointF(sx * arm, 0));
            p.drawLine(k, k - QPointF(0, sy * arm));
        }
    p.setBrush(c);
    p.drawEllipse(m, 1.5, 1.5);
}

void MaskIcon(QPainter& p, const QRectF& a, const QColor& c) {
    const QPointF m = a.center();
    const QRectF frame(m.x() - 8, m.y() - 6, 16, 12);
    p.setPen(Qt::NoPen);
    QColor shade = c;
    shade.setAlpha(110);
    p.setBrush(shade);
    p.drawRect(QRectF(frame.left(), frame.top(), 16, 3));
    p.drawRect(QRectF(frame.left(), frame.bottom() - 3, 16, 3));
    p.setPen(QPen(c, 1.2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(frame);
}

void PeakIcon(QPainter& p, const QRectF& a, const QColor& c) {
    const QPointF m = a.center();
    QPainterPath path;
    path.moveTo(m.x() - 8, m.y() + 5);
    path.lineTo(m.x() - 3, m.y() - 1);
    path.lineTo(m.x(), m.y() + 2);
    path.lineTo(m.x() + 4, m.y() - 6);
    path.lineTo(m.x() + 8, m.y() + 5);
    p.setPen(QPen(c, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
    p.setPen(QPen(QColor(230, 80, 70), 1.4));
    p.drawLine(QPointF(m.x() + 2, m.y() - 7), QPointF(m.x() + 6, m.y() - 7));
}

void GridIcon(QPainter& p, const QRectF& a, const QColor& c) {
    const QPointF m = a.center();
    const QRectF f(m.x() - 8, m.y() - 6, 16, 12);
    p.setPen(QPen(c, 1.1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(f);
    for (int i = 1; i < 3; ++i) {
        p.drawLine(QPointF(f.left() + i * 16.0 / 3, f.top()),
                   QPointF(f.left() + i * 16.0 / 3, f.bottom()));
        p.drawLine(QPointF(f.left(), f.top() + i * 4), QPointF(f.right(), f.top() + i * 4));
    }
}

void TurnIcon(QPainter& p, const QRectF& a, const QColor& c, bool clockwise) {
    const QPointF m = a.center();
    const QRectF box(m.x() - 6, m.y() - 6, 12, 12);
    p.setPen(QPen(c, 1.7, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    // A three-quarter arc with its arrow head at the open end.
    p.drawArc(box, clockwise ? 90 * 16 : 0, 270 * 16);
    QPainterPath head;
    if (clockwise) {
        const QPointF tip(m.x() + 6, m.y() + 1);
        head.moveTo(tip + QPointF(-3.5, -3));
        head.lineTo(tip + QPointF(0, 1.5));
        head.lineTo(tip + QPointF(3.5, -3));
    } else {
        const QPointF tip(m.x() - 6, m.y() + 1);
        head.moveTo(tip + QPointF(-3.5, -3));
        head.lineTo(tip + QPointF(0, 1.5));
        head.lineTo(tip + QPointF(3.5, -3));
    }
    p.drawPath(head);
}

QImage Swatch(const QColor& c, bool disabled) {
    QImage img = NewImage(13, 4);
    img.fill(disabled ? c.darker(220) : c);
    QPainter p(&img);
    p.setPen(QColor(90, 90, 90));
    p.drawRect(0, 0, 12, 3);
    return img;
}

QImage Navigator(int w, int h) {
    QImage img = NewImage(w, h);
    img.fill(QColor(0, 0, 0, 0));
    QPainter p(&img);
    p.fillRect(0, 0, w, h, QColor(0, 0, 0, 150));
    p.setPen(QPen(QColor(255, 255, 255, 160), 1));
    p.drawRect(0, 0, w - 1, h - 1);
    // Thirds, faintly, so the magnified spot reads against the whole frame.
    p.setPen(QPen(QColor(255, 255, 255, 45), 1));
    for (int i = 1; i < 3; ++i) {
        p.drawLine(i * w / 3, 1, i * w / 3, h - 2);
        p.drawLine(1, i * h / 3, w - 2, i * h / 3);
    }
    return img;
}

}  // namespace

std::vector<Picture> MakeLiveView() {
    std::vector<Picture> out;
    AddToggle(out, 1406, [](QPainter& p, const QRectF& a, const QColor& c) { Times(p, a, 4, c); });
    AddToggle(out, 1411, [](QPainter& p, const QRectF& a, const QColor& c) { Times(p, a, 8, c); });
    AddToggle(out, 1416, FitIcon);
    AddButton(out, 1421, FocusIcon);
    AddButton(out, 1425, MaskIcon);
    AddButton(out, 1429, PeakIcon);
    AddButton(out, 1433, GridIcon);
    AddButton(out, 1437,
              [](QPainter& p, const QRectF& a, const QColor& c) { TurnIcon(p, a, c, true); });
    AddButton(out, 1441,
              [](QPainter& p, const QRectF& a, const QColor& c) { TurnIcon(p, a, c, false); });
    // Lit faces for the overlay buttons while their overlay is on.
    const std::pair<int, Icon> lit[] = {
        {1460, FocusIcon}, {1461, MaskIcon}, {1462, PeakIcon}, {1463, GridIcon}};
    for (const auto& [number, icon] : lit)
        out.push_back({QString::number(number), Face24(27, 28, Face::kNormal, true, icon)});
    out.push_back({"1450", Swatch(QColor(20, 20, 20), false)});
    out.push_back({"1451", Swatch(QColor(226, 52, 44), false)});
    out.push_back({"1452", Swatch(QColor(226, 52, 44), true)});
    out.push_back({"1453", Swatch(QColor(250, 250, 250), false)});
    out.push_back({"1454", Swatch(QColor(250, 250, 250), true)});
    out.push_back({"1455", Swatch(QColor(246, 214, 50), false)});
    out.push_back({"1456", Swatch(QColor(246, 214, 50), true)});
    out.push_back({"1480", Navigator(192, 128)});
    out.push_back({"1481", Navigator(128, 192)});
    return out;
}

}  // namespace kvx::gen
