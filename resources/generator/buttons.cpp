// Button faces, check boxes, radio buttons, slider parts and panel headers.
#include <QPainterPath>
#include <functional>

#include "paint_kit.h"
#include "pictures.h"

namespace kvx::gen {
namespace {

using IconFn = std::function<void(QPainter&, const QRectF& area, Face face)>;

constexpr Face kFaces[] = {Face::kNormal, Face::kHover, Face::kPressed, Face::kDisabled};

QImage Button(int w, int h, Face face, bool round, qreal radius, const IconFn& icon) {
    QImage img = NewImage(w, h);
    QPainter p(&img);
    DrawFace(p, QRectF(0, 0, w, h), face, round, radius);
    // A pressed face shows its symbol one pixel lower, as if pushed in.
    const QRectF area = QRectF(0, 0, w, h).translated(0, face == Face::kPressed ? 1 : 0);
    p.setRenderHint(QPainter::Antialiasing, true);
    if (icon) icon(p, area, face);
    return img;
}

// Four pictures (normal, hover, pushed, disabled) from `first` on.
void AddStates(std::vector<Picture>& out, int first, int w, int h, bool round, qreal radius,
               const IconFn& icon) {
    for (int i = 0; i < 4; ++i)
        out.push_back({QString::number(first + i), Button(w, h, kFaces[i], round, radius, icon)});
}

QColor ReleaseColour(Face face) {
    if (face == Face::kDisabled) return QColor(0x5a, 0x52, 0x50);
    if (face == Face::kHover) return kRelease.lighter(118);
    return kRelease;
}

// Corner marks of a focus frame round the centre of `area`.
void FocusBrackets(QPainter& p, const QRectF& area, qreal half, const QColor& c) {
    const QPointF m = area.center();
    const qreal arm = half * 0.42;
    p.setPen(QPen(c, 2, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    p.setBrush(Qt::NoBrush);
    for (int sx : {-1, 1})
        for (int sy : {-1, 1}) {
            const QPointF corner(m.x() + sx * half, m.y() + sy * half);
            QPainterPath path;
            path.moveTo(corner.x() - sx * arm, corner.y());
            path.lineTo(corner);
            path.lineTo(corner.x(), corner.y() - sy * arm);
            p.drawPath(path);
        }
}

void ReleaseDot(QPainter& p, const QRectF& area, qreal r, Face face) {
    const QPointF m = area.center();
    QRadialGradient g(m - QPointF(r * 0.3, r * 0.4), r * 1.3);
    const QColor base = ReleaseColour(face);
    g.setColorAt(0, base.lighter(135));
    g.setColorAt(1, base.darker(125));
    p.setPen(QPen(QColor(0, 0, 0, 140), 1));
    p.setBrush(g);
    p.drawEllipse(m, r, r);
}

void AfCaptureIcon(QPainter& p, const QRectF& a, Face f) {
    FocusBrackets(p, a, 12, IconColour(f));
    ReleaseDot(p, a, 6, f);
}

void CaptureIcon(QPainter& p, const QRectF& a, Face f) {
    p.setPen(QPen(IconColour(f), 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(a.center(), 12, 12);
    ReleaseDot(p, a, 8, f);
}

void AfOnlyIcon(QPainter& p, const QRectF& a, Face f) {
    const QColor c = IconColour(f);
    FocusBrackets(p, a, 12, c);
    const QPointF m = a.center();
    p.setPen(QPen(c, 1.6, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(m - QPointF(4, 0), m + QPointF(4, 0));
    p.drawLine(m - QPointF(0, 4), m + QPointF(0, 4));
}

// Three frames fanned out: a bracketed series.
void BracketingIcon(QPainter& p, const QRectF& a, Face f) {
    const QColor c = IconColour(f);
    const QPointF m = a.center();
    for (int i = 0; i < 3; ++i) {
        const QRectF frame(m.x() - 10 + i * 4, m.y() - 9 + i * 4, 14, 10);
        p.setPen(QPen(c, 1.3));
        QColor fill = c;
        fill.setAlpha(i == 2 ? 200 : 40 + 50 * i);
        p.setBrush(i == 2 ? QBrush(QColor(40, 39, 38)) : QBrush(Qt::NoBrush));
        p.drawRoundedRect(frame.translated(0.5, 0.5), 1.5, 1.5);
    }
    // -, 0, + along the front frame
    p.setPen(QPen(c, 1.2));
    const QPointF fm(m.x() + 5, m.y() + 4);
    p.drawLine(fm - QPointF(3, 0), fm + QPointF(3, 0));
    p.drawLine(fm - QPointF(0, 3), fm + QPointF(0, 3));
}

void LiveViewIcon(QPainter& p, const QRectF& a, Face f, bool on) {
    const QColor c = IconColour(f);
    const QPointF m = a.center();
    const QRectF screen(m.x() - 12, m.y() - 9, 24, 16);
    p.setPen(QPen(c, 1.4));
    p.setBrush(on && f != Face::kDisabled ? QColor(40, 60, 70) : QColor(0, 0, 0, 60));
    p.drawRoundedRect(screen.translated(0.5, 0.5), 2, 2);
    p.drawLine(QPointF(m.x() - 5, m.y() + 10.5), QPointF(m.x() + 5, m.y() + 10.5));
    // Lens in the middle of the screen.
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(m.x() + 0.5, m.y() - 0.5), 4.5, 4.5);
    if (on && f != Face::kDisabled) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(96, 200, 110));
        p.drawEllipse(QPointF(a.right() - 8, a.top() + 8), 2.6, 2.6);
    }
}

void Padlock(QPainter& p, const QRectF& a, const QColor& c, bool locked) {
    const QPointF m = a.center();
    const QRectF body(m.x() - 4, m.y() - 0.5, 8, 6);
    p.setPen(QPen(c, 1.3));
    p.setBrush(Qt::NoBrush);
    QPainterPath shackle;
    const qreal lift = locked ? 0 : 2;
    shackle.moveTo(m.x() - 2.5, body.top());
    shackle.lineTo(m.x() - 2.5, m.y() - 3 - lift);
    shackle.arcTo(QRectF(m.x() - 2.5, m.y() - 6.5 - lift, 5, 5), 180, -180);
    shackle.lineTo(m.x() + 2.5, locked ? body.top() : m.y() - 3 - lift);
    p.drawPath(shackle);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawRoundedRect(body, 1, 1);
}

void Arrow(QPainter& p, const QRectF& a, Face f, int dir) {
    const QPointF m = a.center() + QPointF(0.5, 0.5);
    QPolygonF tri;
    if (dir < 0)
        tri << QPointF(m.x() - 3, m.y()) << QPointF(m.x() + 2, m.y() - 4.5)
            << QPointF(m.x() + 2, m.y() + 4.5);
    else
        tri << QPointF(m.x() + 3, m.y()) << QPointF(m.x() - 2, m.y() - 4.5)
            << QPointF(m.x() - 2, m.y() + 4.5);
    p.setPen(Qt::NoPen);
    p.setBrush(IconColour(f));
    p.drawPolygon(tri);
}

void PlusMinus(QPainter& p, const QRectF& a, Face f, bool plus) {
    const QPointF m = a.center();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(Qt::NoPen);
    p.setBrush(IconColour(f));
    p.drawRect(QRectF(m.x() - 4, m.y() - 1, 9, 2));
    if (plus) p.drawRect(QRectF(m.x() - 1, m.y() - 4, 2, 9));
}

QImage CheckBox(Face face) {
    QImage img = NewImage(13, 13);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, false);
    QLinearGradient g(0, 0, 0, 13);
    const bool dis = face == Face::kDisabled;
    g.setColorAt(0, dis ? QColor(40, 40, 40) : QColor(22, 22, 22));
    g.setColorAt(1, dis ? QColor(46, 46, 46) : QColor(42, 42, 41));
    p.setBrush(g);
    p.setPen(face == Face::kHover ? kAccent : (dis ? QColor(78, 78, 78) : QColor(128, 126, 122)));
    p.drawRect(0, 0, 12, 12);
    p.setPen(QColor(0, 0, 0, dis ? 40 : 110));
    p.drawLine(1, 1, 11, 1);
    return img;
}

QImage CheckMark() {
    QImage img = NewImage(13, 13);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(QColor(255, 255, 255), 1.9, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPainterPath tick;
    tick.moveTo(3, 6.5);
    tick.lineTo(5.5, 9);
    tick.lineTo(10, 3.5);
    p.drawPath(tick);
    return img;
}

QImage Radio(bool selected) {
    QImage img = NewImage(13, 13);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, true);
    QLinearGradient g(0, 0, 0, 13);
    g.setColorAt(0, QColor(22, 22, 22));
    g.setColorAt(1, QColor(44, 44, 43));
    p.setBrush(g);
    p.setPen(QPen(QColor(128, 126, 122), 1));
    p.drawEllipse(QRectF(0.5, 0.5, 12, 12));
    if (selected) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 255));
        p.drawEllipse(QRectF(3.5, 3.5, 6, 6));
    }
    return img;
}

QImage Thumb(Face face) {
    QImage img = NewImage(9, 14);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, true);
    QPainterPath shape;  // a flat-topped pointer, tip down towards the scale
    shape.moveTo(0.5, 1.5);
    shape.quadTo(0.5, 0.5, 1.5, 0.5);
    shape.lineTo(7.5, 0.5);
    shape.quadTo(8.5, 0.5, 8.5, 1.5);
    shape.lineTo(8.5, 9.5);
    shape.lineTo(4.5, 13.5);
    shape.lineTo(0.5, 9.5);
    shape.closeSubpath();
    QLinearGradient g(0, 0, 9, 0);
    QColor a, b;
    switch (face) {
        case Face::kNormal:
            a = QColor(236, 234, 230), b = QColor(164, 162, 158);
            break;
        case Face::kHover:
            a = QColor(255, 255, 255), b = QColor(220, 218, 214);
            break;
        case Face::kPressed:
            a = kAccent.lighter(115), b = kAccent.darker(125);
            break;
        case Face::kDisabled:
            a = QColor(104, 104, 104), b = QColor(80, 80, 80);
            break;
    }
    g.setColorAt(0, a);
    g.setColorAt(1, b);
    // Under the pointer the thumb gets an accent rim, so the hot state shows.
    p.setPen(QPen(face == Face::kHover ? kAccent : QColor(12, 12, 12), 1));
    p.setBrush(g);
    p.drawPath(shape);
    p.setPen(QPen(QColor(0, 0, 0, face == Face::kDisabled ? 40 : 90), 1));
    p.drawLine(QPointF(4.5, 3), QPointF(4.5, 8));
    return img;
}

// The slider's groove, 160 pixels wide; `centre` adds the zero mark of a
// scale that runs from minus to plus.
QImage Channel(bool centre) {
    QImage img = NewImage(160, 6);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(QRect(0, 1, 160, 4), QColor(18, 18, 18));
    p.fillRect(QRect(1, 2, 158, 2), QColor(30, 30, 30));
    p.fillRect(QRect(0, 1, 160, 1), QColor(8, 8, 8));
    p.fillRect(QRect(0, 5, 160, 1), QColor(255, 255, 255, 38));
    if (centre) {
        p.fillRect(QRect(79, 0, 2, 6), QColor(160, 158, 154));
    } else {
        p.fillRect(QRect(0, 0, 1, 6), QColor(96, 96, 96));
        p.fillRect(QRect(159, 0, 1, 6), QColor(96, 96, 96));
    }
    return img;
}

QImage Header(bool open) {
    QImage img = NewImage(393, 21);
    QPainter p(&img);
    QLinearGradient g(0, 0, 0, 21);
    g.setColorAt(0, open ? QColor(84, 81, 77) : QColor(72, 70, 67));
    g.setColorAt(1, open ? QColor(58, 56, 53) : QColor(50, 49, 47));
    p.fillRect(img.rect(), g);
    p.fillRect(QRect(0, 0, 393, 1), QColor(255, 255, 255, open ? 56 : 36));
    p.fillRect(QRect(0, 20, 393, 1), QColor(14, 14, 14));
    if (open) p.fillRect(QRect(0, 1, 3, 19), kAccent);
    // No disclosure mark: the lighter picture serves both an open header and
    // a closed one under the pointer, so it must not claim a direction.
    return img;
}

}  // namespace

std::vector<Picture> MakeButtons() {
    std::vector<Picture> out;
    AddStates(out, 155, 40, 40, false, 6, BracketingIcon);
    AddStates(out, 159, 50, 50, true, 0, AfCaptureIcon);
    AddStates(out, 163, 50, 50, true, 0, CaptureIcon);
    AddStates(out, 167, 50, 50, true, 0, AfOnlyIcon);
    // Lock buttons: 172 released, 173 locked, 171 the disabled look.
    out.push_back(
        {"171", Button(17, 17, Face::kDisabled, false, 3, [](QPainter& p, const QRectF& a, Face) {
             Padlock(p, a, kDisabled, false);
         })});
    out.push_back(
        {"172", Button(17, 17, Face::kNormal, false, 3, [](QPainter& p, const QRectF& a, Face f) {
             Padlock(p, a, IconColour(f), false);
         })});
    out.push_back(
        {"173", Button(17, 17, Face::kPressed, false, 3,
                       [](QPainter& p, const QRectF& a, Face) { Padlock(p, a, kAccent, true); })});
    out.push_back({"174", CheckMark()});
    out.push_back({"175", CheckBox(Face::kNormal)});
    out.push_back({"176", CheckBox(Face::kHover)});
    out.push_back({"177", CheckBox(Face::kDisabled)});
    out.push_back({"178", Radio(true)});
    out.push_back({"179", Radio(false)});
    // Text buttons (OK, Cancel): 217 normal, 218 pushed, 219 hover, 220 disabled.
    const Face text_faces[] = {Face::kNormal, Face::kPressed, Face::kHover, Face::kDisabled};
    for (int i = 0; i < 4; ++i)
        out.push_back({QString::number(217 + i), Button(109, 22, text_faces[i], false, 3, {})});
    // Live view: on, on-hover, off, off-hover, disabled.
    const struct {
        Face face;
        bool on;
    } live[] = {{Face::kPressed, true},
                {Face::kHover, true},
                {Face::kNormal, false},
                {Face::kHover, false},
                {Face::kDisabled, false}};
    for (int i = 0; i < 5; ++i) {
        const bool on = live[i].on;
        out.push_back({QString::number(268 + i), Button(40, 40, live[i].face, false, 6,
                                                        [on](QPainter& p, const QRectF& a, Face f) {
                                                            LiveViewIcon(p, a, f, on);
                                                        })});
    }
    // Slider thumbs: 2100 pressed, 2101 hot, 2102 normal, 2103 disabled.
    out.push_back({"2100", Thumb(Face::kPressed)});
    out.push_back({"2101", Thumb(Face::kHover)});
    out.push_back({"2102", Thumb(Face::kNormal)});
    out.push_back({"2103", Thumb(Face::kDisabled)});
    // Step buttons beside the sliders, four states each: left and right
    // arrows (2104, 2108), minus and plus (2112, 2116).
    AddStates(out, 2104, 17, 18, false, 3,
              [](QPainter& p, const QRectF& a, Face f) { Arrow(p, a, f, -1); });
    AddStates(out, 2108, 17, 18, false, 3,
              [](QPainter& p, const QRectF& a, Face f) { Arrow(p, a, f, 1); });
    AddStates(out, 2112, 17, 18, false, 3,
              [](QPainter& p, const QRectF& a, Face f) { PlusMinus(p, a, f, false); });
    AddStates(out, 2116, 17, 18, false, 3,
              [](QPainter& p, const QRectF& a, Face f) { PlusMinus(p, a, f, true); });
    out.push_back({"2120", Channel(false)});
    out.push_back({"2121", Channel(true)});
    out.push_back({"2122", Header(false)});
    out.push_back({"2123", Header(true)});
    return out;
}

}  // namespace kvx::gen
