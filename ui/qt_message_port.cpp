#include "ui/qt_message_port.h"

#include <QCoreApplication>

namespace kvx::ui {

QEvent::Type CQtMessagePort::Event::TypeId() {
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

void CQtMessagePort::Register(int target, QObject* receiver) {
    if (target < 0 || target >= engine::kTargetCount) return;
    std::lock_guard g(lock_);
    receivers_[static_cast<size_t>(target)] = receiver;
}

bool CQtMessagePort::Post(int target, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (target < 0 || target >= engine::kTargetCount) return false;
    std::lock_guard g(lock_);
    QObject* receiver = receivers_[static_cast<size_t>(target)];
    if (!receiver) return false;
    // postEvent takes the event and only appends it to the receiver thread's
    // queue; it never waits for that thread.
    QCoreApplication::postEvent(receiver,
                                new Event(engine::PostedMessage{target, message, wParam, lParam}));
    return true;
}

bool CQtMessagePort::Exists(int target) const {
    if (target < 0 || target >= engine::kTargetCount) return false;
    std::lock_guard g(lock_);
    return receivers_[static_cast<size_t>(target)] != nullptr;
}

}  // namespace kvx::ui
