#include "live_view_screen.h"

#include <QMouseEvent>
#include <QPainter>

namespace kvx::liveview {

CLiveViewScreen::CLiveViewScreen(std::shared_ptr<CLiveViewCanvas> canvas, QWidget* parent)
    : QWidget(parent), canvas_(std::move(canvas)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setCursor(Qt::CrossCursor);
}

void CLiveViewScreen::paintEvent(QPaintEvent*) {
    QPainter p(this);
    int slot = -1;
    SlotRects rects;
    if (const QImage* img = canvas_->BeginPaint(rects, slot)) {
        const Rect& a = rects.picture;
        // The composed area only: the slot is larger than the screen.
        const int w = std::min(a.w + 2 * a.x, width()), h = std::min(a.h + 2 * a.y, height());
        p.drawImage(QPoint(0, 0), *img, QRect(0, 0, w, h));
        if (w < width()) p.fillRect(w, 0, width() - w, height(), QColor(44, 44, 44));
        if (h < height()) p.fillRect(0, h, w, height() - h, QColor(44, 44, 44));
        canvas_->EndPaint(slot);
        shown_ = rects;
        if (drawOver) drawOver(p, rects);
    } else {
        p.fillRect(rect(), QColor(44, 44, 44));
    }
}

void CLiveViewScreen::mousePressEvent(QMouseEvent* e) {
    if (pressed) pressed(e);
}
void CLiveViewScreen::mouseMoveEvent(QMouseEvent* e) {
    if (moved) moved(e);
}
void CLiveViewScreen::mouseReleaseEvent(QMouseEvent* e) {
    if (released) released(e);
}
void CLiveViewScreen::leaveEvent(QEvent*) {
    if (left) left();
}

}  // namespace kvx::liveview
