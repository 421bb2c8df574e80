#include "image_arrow_key_filter.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>

#include "ui/dialog_image1.h"

CImageArrowKeyFilter::CImageArrowKeyFilter(CDialogImage1& panel, std::function<bool()> active,
                                           QObject* parent)
    : QObject(parent), panel_(panel), active_(std::move(active)) {}

bool CImageArrowKeyFilter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
    // The application sees each key once per widget in its path; take it at
    // the widget that has it, not again at each parent.
    if (watched != QApplication::focusWidget() && watched != panel_.window())
        return QObject::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    using Direction = CStaticWbAdjust::Direction;
    Direction direction;
    switch (key->key()) {
        case Qt::Key_Left:
            direction = Direction::kLeft;
            break;
        case Qt::Key_Right:
            direction = Direction::kRight;
            break;
        case Qt::Key_Up:
            direction = Direction::kUp;
            break;
        case Qt::Key_Down:
            direction = Direction::kDown;
            break;
        default:
            return QObject::eventFilter(watched, event);
    }
    if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return false;
    if (QApplication::activePopupWidget() || QApplication::activeModalWidget()) return false;
    if (qobject_cast<QLineEdit*>(QApplication::focusWidget())) return false;
    if (!panel_.isVisible() || (active_ && !active_())) return false;
    return panel_.StepAdjust(direction);
}
