#include "gdip_toggle_button_ex.h"

#include <QPainter>

#include "resource_images.h"

CGdipToggleButtonEx::CGdipToggleButtonEx(QWidget* parent) : QAbstractButton(parent) {
    setAttribute(Qt::WA_Hover, true);
}

bool CGdipToggleButtonEx::SetImages(int kind, int on, int on_hover, int off, int off_hover,
                                    int disabled) {
    kind_ = kind;
    on_ = kvx::res::LoadPicture(on);
    on_hover_ = kvx::res::LoadPicture(on_hover);
    off_ = kvx::res::LoadPicture(off);
    off_hover_ = kvx::res::LoadPicture(off_hover);
    disabled_ = kvx::res::LoadPicture(disabled);
    loaded_ = !on_.isNull() && !on_hover_.isNull() && !off_.isNull() && !off_hover_.isNull() &&
              !disabled_.isNull();
    update();
    return loaded_;
}

void CGdipToggleButtonEx::SetState(int state) {
    state_ = state;
    update();
}

void CGdipToggleButtonEx::SetDisabledLook(bool disabled) {
    disabled_look_ = disabled;
    update();
}

void CGdipToggleButtonEx::SetBackgroundColor(const QColor& colour) {
    background_ = colour;
    update();
}

CGdipToggleButtonEx::Picture CGdipToggleButtonEx::ChoosePicture(bool disabled_look,
                                                                bool pushed_or_hover, int state) {
    if (disabled_look) return Picture::kDisabled;
    if (pushed_or_hover) return state == 1 ? Picture::kOnHover : Picture::kOffHover;
    return state == 1 ? Picture::kOn : Picture::kOff;
}

CGdipToggleButtonEx::Picture CGdipToggleButtonEx::CurrentPicture() const {
    if (!loaded_) return Picture::kNone;
    return ChoosePicture(disabled_look_, isDown() || hover_, state_);
}

QSize CGdipToggleButtonEx::sizeHint() const {
    return off_.isNull() ? QSize(16, 16) : off_.size();
}

void CGdipToggleButtonEx::paintEvent(QPaintEvent*) {
    const QImage* image = nullptr;
    switch (CurrentPicture()) {
        case Picture::kNone:
            return;
        case Picture::kOn:
            image = &on_;
            break;
        case Picture::kOnHover:
            image = &on_hover_;
            break;
        case Picture::kOff:
            image = &off_;
            break;
        case Picture::kOffHover:
            image = &off_hover_;
            break;
        case Picture::kDisabled:
            image = &disabled_;
            break;
    }
    QPainter p(this);
    p.fillRect(rect(), background_);
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    p.drawImage(rect(), *image);
    if (text().isEmpty()) return;
    p.setFont(font());
    p.setPen(disabled_look_ ? QColor(100, 100, 100) : QColor(255, 255, 255));
    p.drawText(rect().adjusted(10, 0, -24, 0), Qt::AlignLeft | Qt::AlignVCenter, text());
}

void CGdipToggleButtonEx::enterEvent(QEnterEvent* event) {
    hover_ = true;
    update();
    QAbstractButton::enterEvent(event);
}

void CGdipToggleButtonEx::leaveEvent(QEvent* event) {
    hover_ = false;
    update();
    QAbstractButton::leaveEvent(event);
}
