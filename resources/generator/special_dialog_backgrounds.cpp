// The backgrounds of the special function dialogs: the custom white-balance
// capture (150), the date dialog (152), the ISO function dialog (262) and the
// special capture settings (1303). Each sets its dialog's client size.
#include "paint_kit.h"
#include "pictures.h"

namespace kvx::gen {
namespace {

// A panel-coloured plate with a soft top light, a 1 px frame and a darker
// band behind the OK and Cancel buttons, so the buttons sit on a footer.
QImage SpecialPlate(int w, int h, int footerTop) {
    QImage img(w, h, QImage::Format_RGB32);
    QPainter p(&img);
    QLinearGradient g(0, 0, 0, h);
    g.setColorAt(0, kPanel.lighter(118));
    g.setColorAt(0.18, kPanel);
    g.setColorAt(1, kPanel.darker(108));
    p.fillRect(img.rect(), g);
    QLinearGradient foot(0, footerTop, 0, h);
    foot.setColorAt(0, QColor(34, 34, 34));
    foot.setColorAt(1, QColor(28, 28, 28));
    p.fillRect(QRect(0, footerTop, w, h - footerTop), foot);
    p.fillRect(QRect(0, footerTop, w, 1), QColor(20, 20, 20));
    p.fillRect(QRect(0, footerTop + 1, w, 1), QColor(66, 66, 66));
    p.setPen(QColor(18, 18, 18));
    p.drawRect(0, 0, w - 1, h - 1);
    p.setPen(QColor(72, 72, 72));
    p.drawLine(1, 1, w - 2, 1);
    return img;
}

// A thin accent rule under a heading.
void AccentRule(QImage& img, int x, int y, int w) {
    QPainter p(&img);
    QLinearGradient g(x, 0, x + w, 0);
    g.setColorAt(0, kAccent);
    g.setColorAt(1, QColor(kAccent.red(), kAccent.green(), kAccent.blue(), 0));
    p.fillRect(QRect(x, y, w, 1), g);
}

}  // namespace

std::vector<Picture> MakeSpecialDialogBackgrounds() {
    std::vector<Picture> out;
    // Custom white balance: text at y 54, buttons at y 124.
    QImage wb = SpecialPlate(395, 160, 112);
    {
        QPainter p(&wb);
        // A grey card, the neutral surface the camera is aimed at.
        QRectF card(177, 14, 40, 30);
        QLinearGradient g(card.topLeft(), card.bottomRight());
        g.setColorAt(0, QColor(150, 150, 150));
        g.setColorAt(1, QColor(112, 112, 112));
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(20, 20, 20), 1));
        p.setBrush(g);
        p.drawRoundedRect(card, 3, 3);
        p.setPen(QPen(kAccent, 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(190, 22, 14, 14));
    }
    out.push_back({"150", wb});
    // Date and time: texts at y 37, 77 and 96, buttons at y 156.
    QImage date = SpecialPlate(395, 192, 144);
    AccentRule(date, 40, 60, 315);
    out.push_back({"152", date});
    // Special capture settings: the header column (394 wide, 436 + 3 x 21
    // high) and the buttons at y 509.
    out.push_back({"1303", SpecialPlate(394, 545, 500)});
    // ISO function: headings at y 6 and 115, buttons at y 210.
    QImage iso = SpecialPlate(395, 246, 198);
    AccentRule(iso, 14, 22, 370);
    AccentRule(iso, 14, 131, 370);
    out.push_back({"262", iso});
    return out;
}

}  // namespace kvx::gen
