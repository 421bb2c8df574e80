// CGdipHoldButton: a push button that repeats while it is held down.
//
// Held past the initial delay it sends HOLD_REPEAT with a counter 0, 1, 2, ...
// once after the delay and then every interval; when a sequence that has
// started ends it sends HOLD_END with 1 when the mouse button was released,
// 0 when it ended otherwise (pointer moved off, leave, disabled, hidden). A
// click shorter than the delay sends neither, only the ordinary clicked().
//
// stepped() is what a panel usually wants: once per click and once per
// repeat, without the click that ends a press which repeated (that click
// would otherwise add one step more than the user saw).
#pragma once

#include <QTimer>

#include "gdip_button.h"

inline constexpr unsigned HOLD_REPEAT = 0x9000;
inline constexpr unsigned HOLD_END = 0x9001;

class CGdipHoldButton : public CGdipButton {
    Q_OBJECT
public:
    explicit CGdipHoldButton(QWidget* parent = nullptr);

    // Only push kinds (0, 1); radio and check box kinds are refused.
    bool SetImages(int kind, int normal, int hover, int pushed, int disabled, int alternate = 0,
                   int check_mark = 0) override;

    // Initial delay and repeat interval in milliseconds (1000 and 500 by
    // default); 0 switches that timer off.
    void SetTiming(int delay_ms, int interval_ms);

signals:
    // message is HOLD_REPEAT (param = counter before it is incremented) or
    // HOLD_END (param = 1 if ended by releasing the mouse button, else 0).
    // Delivered synchronously.
    void holdMessage(CGdipHoldButton* button, unsigned message, int param);
    void stepped();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    enum class Phase { kIdle, kWaiting, kRepeating };
    void End(int released);
    void OnDelay();
    void OnRepeat();
    void SendRepeat();

    Phase phase_ = Phase::kIdle;
    int delay_ms_ = 1000;
    int interval_ms_ = 500;
    int counter_ = 0;
    bool repeated_in_press_ = false;
    bool swallow_click_ = false;
    QTimer delay_timer_;
    QTimer repeat_timer_;
};
