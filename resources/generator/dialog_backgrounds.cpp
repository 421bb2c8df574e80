// Backgrounds of the preferences dialog (153), the folder picker (154) and
// the new folder dialog (148). The controls sit on top at fixed places, so
// each background marks their groups: a title strip per section, sunken
// wells behind the edit boxes and the folder tree, a button bar.
#include "paint_kit.h"
#include "pictures.h"

namespace kvx::gen {
namespace {

QImage Plate(int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    QPainter p(&img);
    // Flat: the picture buttons paint their own rectangles in this colour.
    p.fillRect(img.rect(), kPanel);
    // A hairline frame: light on top and left, dark below and right.
    p.fillRect(QRect(0, 0, w, 1), QColor(255, 255, 255, 26));
    p.fillRect(QRect(0, 0, 1, h), QColor(255, 255, 255, 16));
    p.fillRect(QRect(0, h - 1, w, 1), QColor(10, 10, 10));
    p.fillRect(QRect(w - 1, 0, 1, h), QColor(10, 10, 10));
    return img;
}

// A section's title strip: the text (drawn by the dialog) sits on it, with an
// accent tick in front and a groove under it.
void TitleStrip(QPainter& p, int x, int y, int w) {
    QLinearGradient g(0, y, 0, y + 20);
    g.setColorAt(0, QColor(58, 57, 55));
    g.setColorAt(1, QColor(46, 45, 44));
    p.fillRect(QRect(x, y, w, 20), g);
    p.fillRect(QRect(x, y, 3, 20), kAccent);
    p.fillRect(QRect(x, y + 20, w, 1), QColor(16, 16, 16));
    p.fillRect(QRect(x, y + 21, w, 1), QColor(255, 255, 255, 18));
}

// A sunken well around a control at r (the control's own rectangle).
void Well(QPainter& p, const QRect& r) {
    const QRect o = r.adjusted(-2, -2, 2, 2);
    p.fillRect(o, QColor(22, 22, 22));
    p.fillRect(QRect(o.left(), o.top(), o.width(), 1), QColor(8, 8, 8));
    p.fillRect(QRect(o.left(), o.bottom() + 1, o.width(), 1), QColor(255, 255, 255, 24));
}

// The bottom bar behind OK and Cancel, in the colour the dialogs give those
// buttons' backgrounds (kButtonBar of the dialogs).
void ButtonBar(QPainter& p, int w, int top, int h) {
    p.fillRect(QRect(1, top, w - 2, h - top - 1), QColor(34, 34, 34));
    p.fillRect(QRect(1, top, w - 2, 1), QColor(14, 14, 14));
    p.fillRect(QRect(1, top + 1, w - 2, 1), QColor(255, 255, 255, 16));
}

QImage Preferences() {
    constexpr int kW = 447, kH = 449;
    QImage img = Plate(kW, kH);
    QPainter p(&img);
    for (int y : {4, 148, 272}) TitleStrip(p, 6, y, kW - 12);
    Well(p, QRect(165, 105, 270, 22));  // review program
    Well(p, QRect(165, 229, 270, 22));  // destination folder
    Well(p, QRect(165, 334, 182, 22));  // prefix
    Well(p, QRect(165, 367, 112, 22));  // start number
    Well(p, QRect(384, 367, 43, 22));   // digits
    ButtonBar(p, kW, 404, kH);
    p.end();
    return img;
}

QImage Folder() {
    constexpr int kW = 290, kH = 390;
    QImage img = Plate(kW, kH);
    QPainter p(&img);
    TitleStrip(p, 6, 36, kW - 12);
    Well(p, QRect(11, 64, 270, 219));  // the tree
    // The chosen path: an inset read-out line.
    p.fillRect(QRect(14, 304, kW - 28, 42), QColor(36, 36, 36));
    p.fillRect(QRect(14, 304, kW - 28, 1), QColor(14, 14, 14));
    p.fillRect(QRect(14, 345, kW - 28, 1), QColor(255, 255, 255, 18));
    ButtonBar(p, kW, 349, kH);
    p.end();
    return img;
}

QImage NewFolder() {
    constexpr int kW = 292, kH = 147;
    QImage img = Plate(kW, kH);
    QPainter p(&img);
    p.fillRect(QRect(14, 10, kW - 28, 40), QColor(36, 36, 36));
    p.fillRect(QRect(14, 10, 3, 40), kAccent);
    Well(p, QRect(93, 53, 189, 20));
    ButtonBar(p, kW, 102, kH);
    p.end();
    return img;
}

}  // namespace

std::vector<Picture> MakeDialogBackgrounds() {
    return {{"153", Preferences()}, {"154", Folder()}, {"148", NewFolder()}};
}

}  // namespace kvx::gen
