// Mouse input sent straight to a widget, the same way on every platform
// plugin (offscreen included).
#pragma once

#include <QCoreApplication>
#include <QMouseEvent>
#include <QWidget>

inline void SendMouse(QWidget* w, QEvent::Type type, QPoint pos, Qt::MouseButton button,
                      Qt::MouseButtons held) {
    QMouseEvent e(type, pos, w->mapToGlobal(pos), button, held, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &e);
}
inline void Press(QWidget* w, QPoint pos) {
    SendMouse(w, QEvent::MouseButtonPress, pos, Qt::LeftButton, Qt::LeftButton);
}
inline void Release(QWidget* w, QPoint pos) {
    SendMouse(w, QEvent::MouseButtonRelease, pos, Qt::LeftButton, Qt::NoButton);
}
inline void MoveHeld(QWidget* w, QPoint pos) {
    SendMouse(w, QEvent::MouseMove, pos, Qt::NoButton, Qt::LeftButton);
}
inline void MoveFree(QWidget* w, QPoint pos) {
    SendMouse(w, QEvent::MouseMove, pos, Qt::NoButton, Qt::NoButton);
}
