// CPlaceholderPanel: a setting panel that is not part of this build yet: the
// panel's size and colour and an EnablePanel that greys it, nothing else.
#pragma once

#include <QWidget>

#include "model/camera.h"
#include "ui/command_sink.h"

namespace kvx::ui {

class CPlaceholderPanel final : public QWidget {
    Q_OBJECT
public:
    CPlaceholderPanel(QWidget* parent, VARNO::CCamera& camera, ICommandSink& sink);
    void EnablePanel(bool enable) { setEnabled(enable); }

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace kvx::ui
