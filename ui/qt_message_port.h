// CQtMessagePort: the window's message port. The engine, the communication
// thread and the device watcher post (target, message, wParam, lParam) from
// any thread; each becomes a posted QEvent for the target's receiver and is
// handled on the receiver's (the window) thread. Post never blocks on the
// window thread: it takes only the port's own leaf lock and hands the event
// to Qt's queue, so a thread holding the application lock may post.
#pragma once

#include <QEvent>
#include <QObject>
#include <array>
#include <mutex>

#include "engine/message_port.h"
#include "engine/queued_message_port.h"

namespace kvx::ui {

class CQtMessagePort final : public engine::IMessagePort {
public:
    // The event a posted message arrives as.
    class Event final : public QEvent {
    public:
        static QEvent::Type TypeId();
        explicit Event(const engine::PostedMessage& message)
            : QEvent(TypeId()), message_(message) {}
        const engine::PostedMessage& Message() const { return message_; }

    private:
        engine::PostedMessage message_;
    };

    CQtMessagePort() = default;
    CQtMessagePort(const CQtMessagePort&) = delete;
    CQtMessagePort& operator=(const CQtMessagePort&) = delete;

    // Window thread: the target's window opened (receiver) or closes (null).
    // A receiver unregisters before it is destroyed; what is already queued
    // for it is dropped by Qt with it.
    void Register(int target, QObject* receiver);
    void Unregister(int target) { Register(target, nullptr); }

    // ---- engine::IMessagePort (any thread) ----
    bool Post(int target, uint32_t message, uintptr_t wParam, intptr_t lParam) override;
    bool Exists(int target) const override;

private:
    mutable std::mutex lock_;  // leaf lock: guards receivers_
    std::array<QObject*, engine::kTargetCount> receivers_{};
};

}  // namespace kvx::ui
