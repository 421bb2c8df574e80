#include "app/restore_and_raise.h"

#include <QApplication>
#include <QWidget>

namespace kvx::app {

void RestoreAndRaise(QWidget* w) {
    if (!w) return;
    w->setWindowState(w->windowState() & ~Qt::WindowMinimized);
    w->show();
    w->raise();
    w->activateWindow();
    if (QWidget* modal = QApplication::activeModalWidget(); modal && modal != w) {
        modal->raise();
        modal->activateWindow();
    }
}

}  // namespace kvx::app
