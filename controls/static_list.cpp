#include "static_list.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "resource_images.h"

CStaticList::CStaticList(bool narrow, bool image_mode, int text_offset, QWidget* parent)
    : QWidget(parent), image_mode_(image_mode), text_offset_(text_offset) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    row_normal_ = kvx::res::LoadPicture(narrow ? 131 : 193);
    row_hot_ = kvx::res::LoadPicture(narrow ? 130 : 192);
}

void CStaticList::AddRow(const QString& text, const QImage& image) {
    texts_.push_back(text);
    images_.push_back(image);
    update();
}

void CStaticList::SetHotRow(int row) {
    const int r = (row >= 0 && row < RowCount()) ? row : -1;
    if (r == hot_) return;
    hot_ = r;
    update();
}

int CStaticList::RowAt(const QPoint& pos) const {
    if (!rect().contains(pos)) return -1;
    const int row = pos.y() / kRowHeight;
    return row < RowCount() ? row : -1;
}

void CStaticList::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor(0x2C, 0x2C, 0x2C));
    for (int r = 0; r < RowCount(); ++r) {
        const QRect box(0, r * kRowHeight, width(), kRowHeight);
        const bool hot = r == hot_;
        const QImage& bg = hot ? row_hot_ : row_normal_;
        if (!bg.isNull()) p.drawImage(box, bg);
        if (image_mode_) {
            if (!images_[r].isNull()) p.drawImage(QRect(12, box.top() + 8, 13, 4), images_[r]);
            continue;
        }
        QString text = texts_[r];
        text.replace("&&", "&");
        p.setPen(hot ? QColor(0x2C, 0x2C, 0x2C) : QColor(0xFF, 0xFF, 0xFF));
        p.drawText(box.adjusted(text_offset_, 0, -3, 0),
                   Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
    }
}

void CStaticList::mouseMoveEvent(QMouseEvent* event) {
    const int row = RowAt(event->position().toPoint());
    if (row >= 0) SetHotRow(row);  // leaving keeps the last hot row
}

void CStaticList::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const int row = RowAt(event->position().toPoint());
    if (row >= 0) emit rowPicked(row);
}

void CStaticList::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Up:
            SetHotRow(hot_ <= 0 ? 0 : hot_ - 1);
            return;
        case Qt::Key_Down:
            SetHotRow(hot_ < 0 ? 0 : std::min(hot_ + 1, RowCount() - 1));
            return;
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Space:
            if (hot_ >= 0) emit rowPicked(hot_);
            return;
        default:
            QWidget::keyPressEvent(event);
    }
}
