#include "ui/placeholder_panel.h"

#include <QPainter>

#include "ui/main_dlg_panels.h"

namespace kvx::ui {

CPlaceholderPanel::CPlaceholderPanel(QWidget* parent, VARNO::CCamera&, ICommandSink&)
    : QWidget(parent) {
    resize(kPanelWidth, kPanelHeight);
}

void CPlaceholderPanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor(0x2C, 0x2C, 0x2C));
}

}  // namespace kvx::ui
