#include "static_wb_adjust.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <stdexcept>

#include "resource_images.h"

namespace {
QImage Load(int number) {
    QImage img = kvx::res::LoadPicture(number);
    if (img.isNull())
        throw std::runtime_error("adjust grid picture " + std::to_string(number) + " is missing");
    return img;
}
}  // namespace

CStaticWbAdjust::CStaticWbAdjust(QWidget* parent) : QWidget(parent) {
    setFixedSize(kSide, kSide);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    grid_ = Load(247);
    grid_dim_ = Load(248);
    cursor_dot_ = Load(249);
    committed_dot_ = Load(250);
    Load(251);  // the dots' shared mask: the pictures carry their own alpha here
}

int CStaticWbAdjust::Snap(int pixel) {
    const int p = std::clamp(pixel, kGridOrigin, kGridOrigin + 16 * kCell);
    return p - (p - kGridOrigin) % kCell;
}

int CStaticWbAdjust::PixelOfValue(int value) {
    const int v = std::clamp(value, -16, 16);
    return kGridOrigin + kCell * ((v + 16) / 2);
}

int CStaticWbAdjust::ValueOfPixel(int pixel) {
    return 2 * ((Snap(pixel) - kGridOrigin) / kCell) - 16;
}

void CStaticWbAdjust::SetAdjustValue(int8_t blue_amber, int8_t green_magenta) {
    dragging_ = false;
    committed_ = cursor_ = {PixelOfValue(blue_amber), PixelOfValue(green_magenta)};
    update();
}

void CStaticWbAdjust::SetBracketMarks(int axis, int frames_code, int step) {
    frames_ = frames_code == 1 ? 3 : frames_code == 2 ? 5 : 1;
    offsets_.fill({});
    const bool horizontal = axis == 1;
    auto along = [horizontal](int d) { return horizontal ? QPoint(d, 0) : QPoint(0, d); };
    if (frames_ >= 3) {
        offsets_[1] = along(-kCell * step / 2);
        offsets_[2] = along(kCell * step / 2);
    }
    if (frames_ == 5) {
        offsets_[3] = along(-kCell * step);
        offsets_[4] = along(kCell * step);
    }
    update();
}

void CStaticWbAdjust::StepCursor(Direction direction) {
    QPoint next = cursor_;
    switch (direction) {
        case Direction::kLeft:
            next.rx() -= kCell;
            break;
        case Direction::kRight:
            next.rx() += kCell;
            break;
        case Direction::kUp:
            next.ry() -= kCell;
            break;
        case Direction::kDown:
            next.ry() += kCell;
            break;
    }
    next = {Snap(next.x()), Snap(next.y())};
    if (next == cursor_ && cursor_ == committed_) return;
    cursor_ = next;
    Commit();
}

void CStaticWbAdjust::SetDisabledLook(bool disabled) {
    disabled_look_ = disabled;
    if (disabled) dragging_ = false;
    update();
}

void CStaticWbAdjust::Commit() {
    committed_ = cursor_;
    dragging_ = false;
    update();
    emit committed(static_cast<int8_t>(ValueOfPixel(cursor_.x())),
                   static_cast<int8_t>(ValueOfPixel(cursor_.y())));
}

void CStaticWbAdjust::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor(0x2C, 0x2C, 0x2C));
    p.drawImage(kGridOrigin, kGridOrigin, disabled_look_ ? grid_dim_ : grid_);
    if (disabled_look_) return;
    p.drawImage(committed_ - QPoint(4, 4), committed_dot_);
    if (dragging_ || frames_ == 1) {
        p.drawImage(cursor_ - QPoint(4, 4), cursor_dot_);
    } else {
        for (int i = 1; i < frames_; ++i) {
            const QPoint s = cursor_ + offsets_[i];
            p.drawImage(QPoint(Snap(s.x()), Snap(s.y())) - QPoint(4, 4), cursor_dot_);
        }
    }
    const int dx = (cursor_.x() - kGridOrigin) / kCell - 8;
    const int dy = (cursor_.y() - kGridOrigin) / kCell - 8;
    const int g = dy < 0 ? -2 * dy : 0, m = dy > 0 ? 2 * dy : 0;
    const int a = dx > 0 ? 2 * dx : 0, b = dx < 0 ? -2 * dx : 0;
    auto colour = [](int v) { return v ? QColor(0xFF, 0xFF, 0xFF) : QColor(0x64, 0x64, 0x64); };
    QFont f = font();
    f.setPixelSize(10);
    p.setFont(f);
    const QFontMetrics fm(f);
    auto text = [&](int x, int y, const QString& s, int v) {
        p.setPen(colour(v));
        p.drawText(x, y + fm.ascent(), s);
    };
    // Letters and numbers centred on the axis ends they name.
    const QString gs = QString("G %1").arg(g), ms = QString("M %1").arg(m);
    text(kCentre - fm.horizontalAdvance(gs) / 2, 3, gs, g);
    text(kCentre - fm.horizontalAdvance(ms) / 2, 135, ms, m);
    text(kSide - 1 - fm.horizontalAdvance("A") - 4, 60, "A", a);
    text(kSide - 1 - fm.horizontalAdvance(QString::number(a)) - 2, 75, QString::number(a), a);
    text(4, 60, "B", b);
    text(2, 75, QString::number(b), b);
}

void CStaticWbAdjust::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || disabled_look_) return;
    const QPoint pos = event->position().toPoint();
    // The user must grab the point itself.
    if (std::abs(pos.x() - cursor_.x()) <= 6 && std::abs(pos.y() - cursor_.y()) <= 6)
        dragging_ = true;
}

void CStaticWbAdjust::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_) return;
    const QPoint pos = event->position().toPoint();
    cursor_ = {Snap(pos.x()), Snap(pos.y())};
    update();
}

void CStaticWbAdjust::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !dragging_) return;
    const QPoint pos = event->position().toPoint();
    cursor_ = {Snap(pos.x()), Snap(pos.y())};
    Commit();
}

void CStaticWbAdjust::leaveEvent(QEvent*) {
    if (!dragging_) return;
    const QPoint pos = mapFromGlobal(QCursor::pos());
    cursor_ = {Snap(pos.x()), Snap(pos.y())};
    Commit();
}
