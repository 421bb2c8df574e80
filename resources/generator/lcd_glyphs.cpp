// The readout glyph strips: segment characters and the small LCD marks.
#include <QPainterPath>
#include <functional>

#include "../glyph_strips.h"
#include "paint_kit.h"
#include "pictures.h"

namespace kvx::gen {
namespace {

using GlyphFn = std::function<void(QPainter&, const QRect& cell, int glyph)>;

QImage Strip(int strip, const GlyphFn& draw) {
    const res::GlyphStrip& s = res::kGlyphStrips[strip];
    QImage img = NewImage(s.width, s.height);
    QPainter p(&img);
    for (int g = 0; g < s.glyphs; ++g) {
        const QRect cell(g * s.glyph_width, 0, s.glyph_width, s.height);
        p.save();
        p.setClipRect(cell);
        draw(p, cell, g);
        p.restore();
    }
    return img;
}

// A character cell: seven segments inset in the cell.
GlyphFn Characters(qreal inset_x, qreal inset_y, qreal thickness) {
    return [=](QPainter& p, const QRect& c, int g) {
        const QRectF box = QRectF(c).adjusted(inset_x + 0.5, inset_y, -inset_x + 0.5, -inset_y);
        DrawSegments(p, box, SegmentsForGlyph(g), thickness, kLcdLit);
    };
}

// Digits 0..9, then blanks.
GlyphFn Digits(qreal inset_x, qreal inset_y, qreal thickness) {
    return [=](QPainter& p, const QRect& c, int g) {
        const QRectF box = QRectF(c).adjusted(inset_x + 0.5, inset_y, -inset_x + 0.5, -inset_y);
        DrawSegments(p, box, g <= 9 ? SegmentsForGlyph(g) : 0, thickness, kLcdLit);
    };
}

// A decimal point: glyph `lit_glyph` lit, the other a ghost.
GlyphFn Point(int lit_glyph) {
    return [=](QPainter& p, const QRect& c, int g) {
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(Qt::NoPen);
        p.setBrush(g == lit_glyph ? kLcdLit : kLcdGhost);
        const qreal d = 2.4;
        p.drawEllipse(QRectF(c.left() + (c.width() - d) / 2, c.bottom() - d - 0.5, d, d));
    };
}

// Pixel-font label centred in the cell; glyph 0 shows it as a ghost.
void Label(QPainter& p, const QRect& c, const QString& text, bool lit) {
    DrawPixelTextCentred(p, c, text, lit ? kLcdLit : kLcdGhost);
}

void Bolt(QPainter& p, const QRectF& r, const QColor& c) {
    QPainterPath path;
    path.moveTo(r.left() + r.width() * 0.62, r.top());
    path.lineTo(r.left() + r.width() * 0.12, r.top() + r.height() * 0.56);
    path.lineTo(r.left() + r.width() * 0.46, r.top() + r.height() * 0.56);
    path.lineTo(r.left() + r.width() * 0.32, r.bottom());
    path.lineTo(r.left() + r.width() * 0.88, r.top() + r.height() * 0.40);
    path.lineTo(r.left() + r.width() * 0.54, r.top() + r.height() * 0.40);
    path.closeSubpath();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawPath(path);
}

// Battery outline with `bars` of `count` lit; an empty body when bars is 0.
void Battery(QPainter& p, const QRectF& body, int count, int bars, const QColor& c,
             const QColor& ghost) {
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(c, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(body.adjusted(0.5, 0.5, -0.5, -0.5));
    const qreal tip_h = body.height() * 0.4;
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawRect(QRectF(body.right(), body.top() + (body.height() - tip_h) / 2, 2, tip_h));
    const qreal inner_w = body.width() - 4;
    const qreal bar_w = (inner_w - (count - 1)) / count;
    for (int i = 0; i < count; ++i) {
        p.setBrush(i < bars ? c : ghost);
        p.drawRect(
            QRectF(body.left() + 2 + i * (bar_w + 1), body.top() + 2, bar_w, body.height() - 4));
    }
}

// A rounded outline with a centred label: the custom mode numbers.
void BoxedLabel(QPainter& p, const QRect& c, const QString& text, bool lit) {
    const QColor col = lit ? kLcdLit : kLcdGhost;
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(col, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(c).adjusted(1.5, 0.5, -1.5, -0.5), 2, 2);
    DrawPixelTextCentred(p, c.adjusted(0, 0, 1, 0), text, col);
}

void MeteringMark(QPainter& p, const QRect& c, int g) {
    const QColor col = g == 4 ? kLcdGhost : kLcdLit;
    p.setRenderHint(QPainter::Antialiasing, true);
    const QRectF frame = QRectF(c).adjusted(2.5, 1.5, -2.5, -1.5);
    p.setPen(QPen(col, 1.2));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(frame, 1.5, 1.5);
    const QPointF mid = frame.center();
    p.setPen(Qt::NoPen);
    p.setBrush(col);
    switch (g) {
        case 0:  // partial: a small area
            p.drawEllipse(mid, 2.6, 2.6);
            break;
        case 1:  // average: a wide ring
            p.setPen(QPen(col, 1.2));
            p.setBrush(Qt::NoBrush);
            p.drawEllipse(mid, 5.0, 4.2);
            break;
        case 2:  // evaluative: ring and centre
            p.setPen(QPen(col, 1.2));
            p.setBrush(Qt::NoBrush);
            p.drawEllipse(mid, 5.0, 4.2);
            p.setPen(Qt::NoPen);
            p.setBrush(col);
            p.drawEllipse(mid, 1.6, 1.6);
            break;
        case 3:  // spot
            p.drawEllipse(mid, 1.4, 1.4);
            break;
        default:
            break;
    }
}

}  // namespace

std::vector<Picture> MakeGlyphStrips() {
    std::vector<GlyphFn> fns(res::kStripCount);
    fns[0] = [](QPainter& p, const QRect& c, int g) {
        static const char* kMarks[] = {"A", "M", "P", "S"};
        if (g < 4) {
            p.setRenderHint(QPainter::Antialiasing, true);
            p.setPen(QPen(kLcdLit, 1));
            p.setBrush(Qt::NoBrush);
            p.drawRoundedRect(QRectF(c).adjusted(1.5, 1.5, -1.5, -1.5), 2, 2);
            Label(p, c.adjusted(0, 0, 1, 0), kMarks[g], true);
        } else {
            p.setRenderHint(QPainter::Antialiasing, true);
            p.setPen(QPen(kLcdGhost, 1));
            p.drawRoundedRect(QRectF(c).adjusted(1.5, 1.5, -1.5, -1.5), 2, 2);
        }
    };
    fns[1] = MeteringMark;
    fns[2] = Characters(2, 1, 2.6);
    fns[3] = Point(0);
    fns[4] = Digits(3, 2, 3.4);
    fns[5] = [](QPainter& p, const QRect& c, int g) {
        const QRectF body(c.left() + 3, c.top() + 3, 30, 14);
        if (g == 0) {
            Battery(p, body, 6, 0, kLcdGhost, kLcdGhost);
        } else if (g == 8) {  // running from mains
            p.setRenderHint(QPainter::Antialiasing, true);
            p.setPen(QPen(kLcdLit, 1.4));
            p.setBrush(Qt::NoBrush);
            const qreal y = c.center().y() + 0.5;
            p.drawLine(QPointF(c.left() + 3, y), QPointF(c.left() + 14, y));
            p.setBrush(kLcdLit);
            p.drawRoundedRect(QRectF(c.left() + 14, y - 5, 9, 10), 2, 2);
            p.drawLine(QPointF(c.left() + 23, y - 3), QPointF(c.left() + 30, y - 3));
            p.drawLine(QPointF(c.left() + 23, y + 3), QPointF(c.left() + 30, y + 3));
        } else {
            // Icons 1..7 hold ever less charge: six bars down to an empty body.
            Battery(p, body, 6, 7 - g, kLcdLit, kLcdGhost);
        }
    };
    fns[6] = [](QPainter& p, const QRect& c, int g) {
        const qreal t = 2.4, cx = c.left() + c.width() / 2.0, cy = c.top() + c.height() / 2.0;
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(Qt::NoPen);
        p.setBrush(g >= 1 ? kLcdLit : kLcdGhost);
        p.drawRect(QRectF(cx - 5.5, cy - t / 2, 11, t));
        p.setBrush(g == 2 ? kLcdLit : kLcdGhost);
        p.drawRect(QRectF(cx - t / 2, cy - 5.5, t, 4.3));
        p.drawRect(QRectF(cx - t / 2, cy + 1.2, t, 4.3));
    };
    fns[7] = [](QPainter& p, const QRect& c, int g) {
        DrawPixelText(p, c.left() + 9, c.top() + 3, "ISO", g >= 1 ? kLcdLit : kLcdGhost);
        const QColor auto_col = g == 1 ? kLcdLit : kLcdGhost;
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(Qt::NoPen);
        p.setBrush(auto_col);
        p.drawRect(QRect(c.left() + 4, c.top() + 13, 28, 10));
        DrawPixelText(p, c.left() + 7, c.top() + 15, "AUTO", Qt::black);
    };
    fns[8] = [](QPainter& p, const QRect& c, int g) {
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(Qt::NoPen);
        const int top = c.top() + 2, h = c.height() - 4;
        p.setBrush(g == 1 ? kLcdLit : kLcdGhost);
        if (g != 2) {
            p.drawRect(c.left() + 2, top, 2, h);
            p.drawRect(c.left() + 2, top, 4, 2);
            p.drawRect(c.left() + 2, top + h - 2, 4, 2);
        }
        p.setBrush(g == 2 ? kLcdLit : kLcdGhost);
        if (g != 1) {
            p.drawRect(c.left() + 3, top, 2, h);
            p.drawRect(c.left() + 1, top, 4, 2);
            p.drawRect(c.left() + 1, top + h - 2, 4, 2);
        }
    };
    fns[9] = Characters(2, 1.5, 2.1);
    fns[10] = Digits(1.5, 1, 1.7);
    fns[11] = Digits(1, 1, 1.35);
    fns[12] = [](QPainter& p, const QRect& c, int g) {
        if (g == 0) return;
        // The grip's frame: a bracket round both small batteries, with a plus
        // for "more batteries" in front; glyph 2 draws it dotted.
        const QColor col = kLcdLit;
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(QPen(col, 1, g == 2 ? Qt::DotLine : Qt::SolidLine));
        p.setBrush(Qt::NoBrush);
        p.drawLine(c.left() + 11, c.top() + 1, c.right() - 1, c.top() + 1);
        p.drawLine(c.left() + 11, c.bottom() - 1, c.right() - 1, c.bottom() - 1);
        p.drawLine(c.left() + 11, c.top() + 1, c.left() + 11, c.bottom() - 1);
        DrawPixelText(p, c.left() + 3, c.top() + 7, "+", col);
    };
    fns[13] = [](QPainter& p, const QRect& c, int g) {
        const QRectF body(c.left() + 1, c.top(), 24, 7);
        // Levels 1..6 hold ever less charge: five bars down to an empty body.
        Battery(p, body, 5, g == 0 ? 0 : 6 - g, g == 0 ? kLcdGhost : kLcdLit, kLcdGhost);
    };
    fns[14] = Point(0);
    fns[15] = [](QPainter& p, const QRect& c, int g) {
        QLinearGradient line(c.topLeft(), c.topRight());
        const QColor lit = g == 0 ? QColor(kAccent.red(), kAccent.green(), kAccent.blue(), 220)
                                  : QColor(255, 255, 255, 22);
        QColor edge = lit;
        edge.setAlpha(0);
        line.setColorAt(0, edge);
        line.setColorAt(0.12, lit);
        line.setColorAt(0.88, lit);
        line.setColorAt(1, edge);
        p.fillRect(QRect(c.left(), c.top() + 1, c.width(), 1), line);
    };
    fns[16] = [](QPainter& p, const QRect& c, int g) {
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(Qt::NoPen);
        p.setBrush(g == 1 ? kLcdLit : kLcdGhost);
        p.drawEllipse(QRectF(c.left() + 1.2, c.top() + 2.5, 2.2, 2.2));
        p.drawEllipse(QRectF(c.left() + 1.2, c.top() + 7.5, 2.2, 2.2));
    };
    fns[17] = [](QPainter& p, const QRect& c, int g) {
        // States 1..3: three frames, 4..8: five frames; the taken ones go dark.
        const int frames = g >= 4 ? 5 : 3;
        const int left = g == 0 ? 0 : (g >= 4 ? 5 - (g - 4) : 3 - (g - 1));
        const int seg_h = frames == 5 ? 3 : 5, gap = frames == 5 ? 1 : 2;
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(Qt::NoPen);
        for (int i = 0; i < frames; ++i) {
            // Counted from the bottom: the frames still to take stay lit.
            const int y = c.bottom() + 1 - (i + 1) * seg_h - i * gap;
            p.setBrush(i < left ? kLcdLit : kLcdGhost);
            p.drawRect(c.left() + 1, y, 2, seg_h);
        }
    };
    fns[18] = [](QPainter& p, const QRect& c, int g) { Label(p, c, "C", g == 1); };
    fns[19] = [](QPainter& p, const QRect& c, int g) { BoxedLabel(p, c, "1", g == 1); };
    fns[20] = [](QPainter& p, const QRect& c, int g) {
        BoxedLabel(p, c, g == 2 ? "3" : "2", g >= 1);
    };
    fns[21] = [](QPainter& p, const QRect& c, int g) {
        const QColor col = g == 1 ? kLcdLit : kLcdGhost;
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(Qt::NoPen);
        p.setBrush(col);
        p.drawEllipse(QRectF(c.left() + 1.5, c.top() + 3.5, 5, 5));
        DrawPixelText(p, c.left() + 9, c.top() + 2, "INFO", col);
    };
    fns[22] = [](QPainter& p, const QRect& c, int g) {
        Bolt(p, QRectF(c).adjusted(2, 2, -2, -2), g == 1 ? kLcdLit : kLcdGhost);
    };
    fns[23] = [](QPainter& p, const QRect& c, int g) { Label(p, c, "FP", g == 1); };
    fns[24] = [](QPainter& p, const QRect& c, int g) { Label(p, c, "2ND", g == 1); };
    fns[25] = [](QPainter& p, const QRect& c, int g) { Label(p, c, "SLOW", g == 1); };
    fns[26] = [](QPainter& p, const QRect& c, int g) {
        // 1 flash compensation, 2 colour bracketing, 3 quick mode, 4 white
        // balance bracketing, 5 bracketing, 6 exposure compensation.
        const bool lit = g != 0;
        const QColor col = lit ? kLcdLit : kLcdGhost;
        switch (g) {
            case 1:
                Bolt(p, QRectF(c.left() + 1, c.top() + 2, 10, 16), col);
                DrawPixelText(p, c.left() + 12, c.top() + 2, "+", col);
                DrawPixelText(p, c.left() + 12, c.top() + 11, "-", col);
                break;
            case 2:
                Label(p, c.adjusted(0, -5, 1, -5), "CLR", true);
                break;
            case 3:
                Label(p, c.adjusted(0, -5, 1, -5), "QMD", true);
                break;
            case 4:
                Label(p, c.adjusted(0, -5, 1, -5), "WB", true);
                break;
            case 5:
                Label(p, c.adjusted(0, -5, 1, -5), "BKT", true);
                break;
            case 6:
                DrawPixelText(p, c.left() + 3, c.top() + 2, "+", col);
                DrawPixelText(p, c.left() + 13, c.top() + 11, "-", col);
                p.setRenderHint(QPainter::Antialiasing, true);
                p.setPen(QPen(col, 1));
                p.drawLine(QPointF(c.left() + 16, c.top() + 3),
                           QPointF(c.left() + 5, c.top() + 17));
                break;
            default:
                break;
        }
        if (g >= 2 && g <= 5) {
            // The bracketing marks carry a row of three frames under the label.
            p.setRenderHint(QPainter::Antialiasing, false);
            p.setPen(Qt::NoPen);
            p.setBrush(col);
            for (int i = 0; i < 3; ++i) p.drawRect(c.left() + 3 + i * 6, c.top() + 14, 4, 3);
        }
    };
    fns[27] = [](QPainter& p, const QRect& c, int g) {
        const QColor col = g == 1 ? kLcdLit : kLcdGhost;
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(QPen(col, 1.4));
        p.setBrush(Qt::NoBrush);
        const QPointF mid = QRectF(c).center();
        p.drawEllipse(QPointF(mid.x() - 3.2, mid.y()), 3.2, 2.8);
        p.drawEllipse(QPointF(mid.x() + 3.2, mid.y()), 3.2, 2.8);
    };
    fns[28] = [](QPainter& p, const QRect& c, int g) {
        const QColor col = g == 1 ? kLcdLit : kLcdGhost;
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(QPen(col, 1));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QRectF(c.left() + 1.5, c.top() + 1.5, 9, 9));
        p.drawLine(QPointF(c.left() + 6, c.top() + 6), QPointF(c.left() + 6, c.top() + 3));
        p.drawLine(QPointF(c.left() + 6, c.top() + 6), QPointF(c.left() + 8.5, c.top() + 6));
        DrawPixelText(p, c.left() + 14, c.top() + 3, "INT", col);
    };
    fns[29] = [](QPainter& p, const QRect& c, int g) {
        Label(p, c.adjusted(0, 0, 1, 0), "/", g == 1);
    };

    std::vector<Picture> out;
    for (int s = 0; s < res::kStripCount; ++s)
        out.push_back({QString::number(res::kGlyphStrips[s].picture), Strip(s, fns[s])});
    return out;
}

}  // namespace kvx::gen
