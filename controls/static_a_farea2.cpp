#include "static_a_farea2.h"

#include <QMouseEvent>
#include <QPainter>
#include <cstdlib>
#include <stdexcept>

#include "resource_images.h"

namespace {
constexpr int kFirstPicture = 235;
constexpr int kColumnCentres[3] = {53, 95, 137};
constexpr int kRowCentres[3] = {36, 63, 90};

int NearestIndex(const int (&centres)[3], int v) {
    int best = 0;
    for (int i = 1; i < 3; ++i)  // on equal distance the lower index wins
        if (std::abs(v - centres[i]) < std::abs(v - centres[best])) best = i;
    return best;
}
}  // namespace

CStaticAFarea2::CStaticAFarea2(QWidget* parent) : QWidget(parent) {
    setFixedSize(kWidth, kHeight);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    for (int i = 0; i < static_cast<int>(pictures_.size()); ++i) {
        pictures_[i] = kvx::res::LoadPicture(kFirstPicture + i);
        if (pictures_[i].isNull())
            throw std::runtime_error("focus area picture " + std::to_string(kFirstPicture + i) +
                                     " is missing");
    }
}

int CStaticAFarea2::MarkSize(int size) {
    return size == kLarge ? 24 : size == kRegular ? 12 : 6;
}
int CStaticAFarea2::MarkOffset(int size) {
    return size == kLarge ? 1 : size == kRegular ? 3 : 6;
}
int CStaticAFarea2::ColumnBoxLeft(int size, int column) {
    static constexpr int kLargeCols[3] = {41, 83, 125}, kSmallCols[3] = {45, 87, 129};
    return size == kLarge ? kLargeCols[column] : kSmallCols[column];
}
int CStaticAFarea2::RowBoxTop(int size, int row) {
    static constexpr int kLargeRows[3] = {24, 51, 78}, kSmallRows[3] = {28, 55, 82};
    return size == kLarge ? kLargeRows[row] : kSmallRows[row];
}
int CStaticAFarea2::BoxEdge(int size) {
    return size == kLarge ? 26 : 18;
}
QPoint CStaticAFarea2::ClampFree(int size, QPoint p) {
    const int h = MarkSize(size) / 2;
    return {std::clamp(p.x(), h + 21, 170 - h), std::clamp(p.y(), h + 16, 111 - h)};
}

void CStaticAFarea2::Enable(bool on) {
    if (!on) dragging_ = false;
    setEnabled(on);
    update();
}

void CStaticAFarea2::SetFrameSize(int size) {
    size_ = std::clamp(size, 0, 2);
    if (free_move_) free_ = ClampFree(size_, free_);
    update();
}

void CStaticAFarea2::SetFreeMove(bool on) {
    free_move_ = on;
    if (on) free_ = ClampFree(size_, free_);
    update();
}

void CStaticAFarea2::SetFaceMode(bool on) {
    face_ = on;
    update();
}

void CStaticAFarea2::SelectCell(int column, int row) {
    if (column < 0 || column > 2 || row < 0 || row > 2) return;
    selected_ = {column, row};
    const int s = MarkSize(size_), o = MarkOffset(size_);
    free_ = {((ColumnBoxLeft(size_, column) + o + s / 2) / 3) * 3,
             ((RowBoxTop(size_, row) + o + s / 2) / 3) * 3};
    update();
}

void CStaticAFarea2::SetFreePoint(int x, int y) {
    free_ = ClampFree(size_, {x, y});
    update();
}

void CStaticAFarea2::SelectNearestCell(int x, int y) {
    selected_ = hot_ = {NearestIndex(kColumnCentres, x), NearestIndex(kRowCentres, y)};
    update();
}

QPoint CStaticAFarea2::HitTest(QPoint pos) const {
    int column = -1, row = -1;
    const int edge = BoxEdge(size_);
    for (int i = 0; i < 3 && column < 0; ++i) {
        const int left = ColumnBoxLeft(size_, i);
        if (pos.x() >= left && pos.x() <= left + edge - 1) column = i;
    }
    for (int i = 0; i < 3 && row < 0; ++i) {
        const int top = RowBoxTop(size_, i);
        if (pos.y() >= top && pos.y() <= top + edge - 1) row = i;
    }
    if (column < 0 || row < 0) return {-1, -1};
    return {column, row};
}

QPoint CStaticAFarea2::MarkTopLeft() const {
    const int s = MarkSize(size_);
    if (free_move_) return {free_.x() - s / 2, free_.y() - s / 2 + 1};
    if (selected_.x() < 0) return {-1, -1};
    const int o = MarkOffset(size_);
    return {ColumnBoxLeft(size_, selected_.x()) + o, RowBoxTop(size_, selected_.y()) + o};
}

int CStaticAFarea2::BackgroundPicture() const {
    if (!isEnabled()) return 246;
    if (free_move_ || face_) return hover_ ? 235 : 236;
    const int normal = size_ == kLarge ? 238 : size_ == kRegular ? 241 : 244;
    return hover_ ? normal - 1 : normal;
}

bool CStaticAFarea2::MarkShown() const {
    if (!isEnabled() || face_) return false;
    return free_move_ || selected_.x() >= 0;
}

void CStaticAFarea2::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor(0x2C, 0x2C, 0x2C));
    p.drawImage(0, 0, pictures_[BackgroundPicture() - kFirstPicture]);
    if (!MarkShown()) return;
    const int mark = size_ == kLarge ? 239 : size_ == kRegular ? 242 : 245;
    p.drawImage(MarkTopLeft(), pictures_[mark - kFirstPicture]);
}

void CStaticAFarea2::mouseMoveEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    if (!hover_) {
        hover_ = true;
        update();
    }
    if (face_) return;
    if (free_move_) {
        if (dragging_) {
            free_ = ClampFree(size_, pos);
            update();
        }
        return;
    }
    const QPoint hit = HitTest(pos);
    if (hit != hot_) {
        hot_ = hit;
        update();
    }
}

void CStaticAFarea2::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || face_) return;
    if (free_move_) {
        dragging_ = true;
        return;
    }
    hot_ = HitTest(event->position().toPoint());
    if (hot_.x() < 0) return;
    SelectCell(hot_.x(), hot_.y());
    emit changed();
}

void CStaticAFarea2::EndDrag(bool commit) {
    const bool was = dragging_;
    dragging_ = false;
    if (!was || !commit || !free_move_) return;
    SelectNearestCell(free_.x(), free_.y());
    emit changed();
}

void CStaticAFarea2::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    if (dragging_) free_ = ClampFree(size_, event->position().toPoint());
    EndDrag(true);
    update();
}

void CStaticAFarea2::enterEvent(QEnterEvent*) {
    hover_ = true;
    update();
}

void CStaticAFarea2::leaveEvent(QEvent*) {
    if (dragging_) free_ = ClampFree(size_, mapFromGlobal(QCursor::pos()));
    EndDrag(true);
    hover_ = false;
    update();
}
