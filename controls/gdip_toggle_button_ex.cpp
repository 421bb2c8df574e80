#include "gdip_toggle_button_ex.h"

#include <QPainter>

#include "resource_images.h"

CGdipToggleButtonEx::CGdipToggleButtonEx(QWidget* parent) : CGdipButtonBase(parent) {}

bool CGdipToggleButtonEx::SetImages(int kind, int on, int on_hover, int off, int off_hover,
                                    int disabled) {
    SetKind(kind);
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

CGdipToggleButtonEx::Picture CGdipToggleButtonEx::ChoosePicture(bool disabled_look,
                                                                bool pushed_or_hover, int state) {
    if (disabled_look) return Picture::kDisabled;
    if (pushed_or_hover) return state == 1 ? Picture::kOnHover : Picture::kOffHover;
    return state == 1 ? Picture::kOn : Picture::kOff;
}

CGdipToggleButtonEx::Picture CGdipToggleButtonEx::CurrentPicture() const {
    if (!loaded_) return Picture::kNone;
    return ChoosePicture(DisabledLook(), isDown() || IsHovered(), GetState());
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
    p.fillRect(rect(), BackgroundColor());
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    p.drawImage(rect(), *image);
    if (text().isEmpty()) return;
    p.setFont(font());
    p.setPen(DisabledLook() ? QColor(100, 100, 100) : QColor(255, 255, 255));
    p.drawText(rect().adjusted(10, 0, -24, 0), Qt::AlignLeft | Qt::AlignVCenter, text());
}
