// Drawing helpers shared by the picture makers: the program's palette, a
// small pixel font for LCD labels, bevelled faces and seven-segment shapes.
#pragma once

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QRectF>
#include <QString>

namespace kvx::gen {

// The program's palette.
inline const QColor kWindow{62, 60, 58};
inline const QColor kPanel{0x2C, 0x2C, 0x2C};
inline const QColor kText{0xFF, 0xFF, 0xFF};
inline const QColor kDisabled{0x64, 0x64, 0x64};
inline const QColor kAccent{226, 150, 58};   // focus of attention: hover rings, lit locks
inline const QColor kRelease{214, 72, 60};   // the release dot on the capture buttons
inline const QColor kLcdLit{222, 236, 230};  // readout segments
inline const QColor kLcdGhost{255, 255, 255, 13};

enum class Face { kNormal, kHover, kPressed, kDisabled };

QImage NewImage(int w, int h);

// A 5 x 7 pixel font (capitals, digits, a few signs). Returns the width used.
int PixelTextWidth(const QString& text, int scale = 1);
void DrawPixelText(QPainter& p, int x, int y, const QString& text, const QColor& c, int scale = 1);
void DrawPixelTextCentred(QPainter& p, const QRect& box, const QString& text, const QColor& c);

// A raised (or, pressed, sunken) face with a crisp 1 px outline and a 1 px
// inner light edge; `round` draws a disc, otherwise a rounded rectangle.
void DrawFace(QPainter& p, const QRectF& r, Face face, bool round, qreal radius = 4);

// Seven segments a..g as bits 0..6; lit segments in `lit`, the rest as
// faint ghosts the way an unlit LCD shows them.
enum Seg : unsigned { kA = 1, kB = 2, kC = 4, kD = 8, kE = 16, kF = 32, kG = 64 };
void DrawSegments(QPainter& p, const QRectF& box, unsigned mask, qreal thickness, const QColor& lit,
                  const QColor& ghost = kLcdGhost);
// The segment mask for a glyph of the character strips (0..35).
unsigned SegmentsForGlyph(int glyph);

// Colour of an icon drawn on a face in the given state.
QColor IconColour(Face face);

}  // namespace kvx::gen
