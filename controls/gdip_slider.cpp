#include "gdip_slider.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionSlider>

#include "resource_images.h"

CGdipSlider::CGdipSlider(QWidget* parent) : QAbstractSlider(parent) {
    setOrientation(Qt::Horizontal);
    setSingleStep(1);
    setPageStep(1);
    // A drag changes only the slider position; the value follows on release.
    setTracking(false);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    // Every user action passes through triggerAction(): actionTriggered comes
    // with the new position, then setValue() applies it. A program's own
    // setValue() never passes there.
    connect(this, &QAbstractSlider::actionTriggered, this,
            [this](int) { user_pending_ = sliderPosition() != value(); });
    connect(this, &QAbstractSlider::valueChanged, this, [this](int v) {
        if (!user_pending_) return;
        user_pending_ = false;
        emit userChanged(v);
    });
}

bool CGdipSlider::LoadImages(int channel) {
    channel_ = kvx::res::LoadPicture(channel);
    thumb_pressed_ = kvx::res::LoadPicture(2100);
    thumb_hot_ = kvx::res::LoadPicture(2101);
    thumb_normal_ = kvx::res::LoadPicture(2102);
    thumb_disabled_ = kvx::res::LoadPicture(2103);
    loaded_ = !channel_.isNull() && !thumb_pressed_.isNull() && !thumb_hot_.isNull() &&
              !thumb_normal_.isNull() && !thumb_disabled_.isNull();
    if (!loaded_) channel_ = thumb_pressed_ = thumb_hot_ = thumb_normal_ = thumb_disabled_ = {};
    update();
    return loaded_;
}

void CGdipSlider::SetBackgroundColor(const QColor& colour) {
    background_ = colour;
    update();
}

CGdipSlider::Thumb CGdipSlider::ChooseThumb(bool enabled, bool pressed, bool focused, bool hot,
                                            bool cursor_on_thumb) {
    if (!enabled) return Thumb::kDisabled;
    if (pressed || focused) return Thumb::kPressed;
    if (hot || cursor_on_thumb) return Thumb::kHot;
    return Thumb::kNormal;
}

CGdipSlider::Thumb CGdipSlider::CurrentThumb() const {
    return ChooseThumb(isEnabled(), isSliderDown(), hasFocus(), false, cursor_on_thumb_);
}

QRect CGdipSlider::ThumbRect() const {
    const int span = maximum() - minimum();
    const int offset =
        span > 0
            ? static_cast<int>(
                  (static_cast<qint64>(sliderPosition() - minimum()) * ChannelSpan() + span / 2) /
                  span)
            : 0;
    const int x = ChannelLeft() + offset - kThumbWidth / 2;
    return {x, (height() - kThumbHeight) / 2 - 1, kThumbWidth, kThumbHeight};
}

int CGdipSlider::ValueAt(int x) const {
    const int span = maximum() - minimum();
    const int along = std::clamp(x - ChannelLeft(), 0, ChannelSpan());
    return minimum() + static_cast<int>((static_cast<qint64>(along) * span + ChannelSpan() / 2) /
                                        ChannelSpan());
}

void CGdipSlider::PaintPlain(QPainter& p) {
    QStyleOptionSlider opt;
    opt.initFrom(this);
    opt.orientation = Qt::Horizontal;
    opt.minimum = minimum();
    opt.maximum = maximum();
    opt.sliderPosition = sliderPosition();
    opt.sliderValue = value();
    opt.subControls = QStyle::SC_SliderGroove | QStyle::SC_SliderHandle;
    style()->drawComplexControl(QStyle::CC_Slider, &opt, &p, this);
}

void CGdipSlider::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (!loaded_) {
        PaintPlain(p);
        return;
    }
    p.fillRect(rect(), background_);
    const int cx = ChannelLeft() + (ChannelSpan() - kChannelWidth) / 2;
    const int cy = (height() - channel_.height()) / 2;
    p.drawImage(QRect(cx, cy, kChannelWidth, channel_.height()), channel_);
    const QImage* thumb = &thumb_normal_;
    switch (CurrentThumb()) {
        case Thumb::kNormal:
            break;
        case Thumb::kHot:
            thumb = &thumb_hot_;
            break;
        case Thumb::kPressed:
            thumb = &thumb_pressed_;
            break;
        case Thumb::kDisabled:
            thumb = &thumb_disabled_;
            break;
    }
    p.drawImage(ThumbRect().topLeft(), *thumb);
}

void CGdipSlider::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || maximum() == minimum()) {
        QAbstractSlider::mousePressEvent(event);
        return;
    }
    const int x = event->position().toPoint().x();
    const QRect thumb = ThumbRect();
    if (x >= thumb.left() && x <= thumb.right()) {
        drag_offset_ = x - (thumb.left() + kThumbWidth / 2);
        setSliderDown(true);
    } else {
        // A click on the channel moves one page towards the pointer.
        triggerAction(x < thumb.left() ? SliderPageStepSub : SliderPageStepAdd);
    }
    event->accept();
}

void CGdipSlider::mouseMoveEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    if (isSliderDown()) {
        setSliderPosition(ValueAt(pos.x() - drag_offset_));
    }
    const bool on_thumb = ThumbRect().contains(pos);
    if (on_thumb != cursor_on_thumb_) {
        // Repaint only when the pointer crosses the thumb's edge.
        cursor_on_thumb_ = on_thumb;
        update();
    }
    event->accept();
}

void CGdipSlider::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && isSliderDown()) {
        setSliderPosition(ValueAt(event->position().toPoint().x() - drag_offset_));
        setSliderDown(false);  // applies the dragged position as the value
        update();
    }
    event->accept();
}

void CGdipSlider::leaveEvent(QEvent* event) {
    if (cursor_on_thumb_) {
        cursor_on_thumb_ = false;
        update();
    }
    QAbstractSlider::leaveEvent(event);
}
