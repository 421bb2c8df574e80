#include "gdip_hold_button.h"

#include <QMouseEvent>

CGdipHoldButton::CGdipHoldButton(QWidget* parent) : CGdipButton(parent) {
    delay_timer_.setSingleShot(true);
    repeat_timer_.setSingleShot(true);
    connect(&delay_timer_, &QTimer::timeout, this, &CGdipHoldButton::OnDelay);
    connect(&repeat_timer_, &QTimer::timeout, this, &CGdipHoldButton::OnRepeat);
    connect(this, &QAbstractButton::clicked, this, [this] {
        if (!swallow_click_) emit stepped();
    });
}

bool CGdipHoldButton::SetImages(int kind, int normal, int hover, int pushed, int disabled,
                                int alternate, int check_mark) {
    if (kind != kPush && kind != kPushAlt) return false;
    return CGdipButton::SetImages(kind, normal, hover, pushed, disabled, alternate, check_mark);
}

void CGdipHoldButton::SetTiming(int delay_ms, int interval_ms) {
    delay_ms_ = delay_ms;
    interval_ms_ = interval_ms;
}

void CGdipHoldButton::SendRepeat() {
    const int sent = counter_++;
    repeated_in_press_ = true;
    emit holdMessage(this, HOLD_REPEAT, sent);
    emit stepped();
}

void CGdipHoldButton::OnDelay() {
    delay_timer_.stop();
    if (phase_ != Phase::kWaiting) return;
    phase_ = Phase::kRepeating;
    SendRepeat();
    // The receiver may have ended the sequence (disabled or hid the button).
    if (phase_ == Phase::kRepeating && interval_ms_ != 0) repeat_timer_.start(interval_ms_);
}

void CGdipHoldButton::OnRepeat() {
    repeat_timer_.stop();
    if (phase_ != Phase::kRepeating) return;
    SendRepeat();
    if (phase_ == Phase::kRepeating && interval_ms_ != 0) repeat_timer_.start(interval_ms_);
}

void CGdipHoldButton::End(int released) {
    const Phase was = phase_;
    phase_ = Phase::kIdle;
    if (was == Phase::kWaiting) {
        delay_timer_.stop();
    } else if (was == Phase::kRepeating) {
        repeat_timer_.stop();
        counter_ = 0;
        emit holdMessage(this, HOLD_END, released);
    }
}

void CGdipHoldButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        End(0);
        repeated_in_press_ = false;
        phase_ = Phase::kWaiting;
        if (delay_ms_ != 0) delay_timer_.start(delay_ms_);
    }
    CGdipButton::mousePressEvent(event);
}

void CGdipHoldButton::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        CGdipButton::mouseReleaseEvent(event);
        return;
    }
    End(1);
    // Decided here, not remembered for later: a release outside the button
    // brings no click, and a stale flag would eat the user's next one. A
    // press that repeated never also counts as a click, even when the pointer
    // left and came back before the release.
    swallow_click_ = repeated_in_press_;
    CGdipButton::mouseReleaseEvent(event);
    swallow_click_ = false;
}

void CGdipHoldButton::mouseMoveEvent(QMouseEvent* event) {
    if (!rect().contains(event->position().toPoint())) End(0);
    CGdipButton::mouseMoveEvent(event);
}

void CGdipHoldButton::leaveEvent(QEvent* event) {
    End(0);
    CGdipButton::leaveEvent(event);
}

void CGdipHoldButton::hideEvent(QHideEvent* event) {
    End(0);
    CGdipButton::hideEvent(event);
}

void CGdipHoldButton::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange && !isEnabled()) End(0);
    CGdipButton::changeEvent(event);
}
