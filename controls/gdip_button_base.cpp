#include "gdip_button_base.h"

CGdipButtonBase::CGdipButtonBase(QWidget* parent) : QAbstractButton(parent) {
    setAttribute(Qt::WA_Hover, true);
}

void CGdipButtonBase::SetState(int state) {
    state_ = state;
    update();
}

void CGdipButtonBase::SetDisabledLook(bool disabled) {
    disabled_look_ = disabled;
    update();
}

void CGdipButtonBase::SetBackgroundColor(const QColor& colour) {
    background_ = colour;
    update();
}

void CGdipButtonBase::enterEvent(QEnterEvent* event) {
    hover_ = true;
    update();
    QAbstractButton::enterEvent(event);
}

void CGdipButtonBase::leaveEvent(QEvent* event) {
    hover_ = false;
    update();
    QAbstractButton::leaveEvent(event);
}
