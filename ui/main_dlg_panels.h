// The six setting panels of the main window's accordion, built and
// registered with the setting dispatch in one place.
#pragma once

#include <QWidget>
#include <array>
#include <functional>

#include "model/camera.h"
#include "model/setting_dispatcher.h"
#include "ui/command_sink.h"

namespace kvx::ui {

struct MainDlgPanel {
    QWidget* widget = nullptr;              // owned by its Qt parent
    std::function<void(bool)> enablePanel;  // the panel's EnablePanel
    std::function<void()> detach;           // takes it off the dispatcher
};

// Builds the six panels in header order as children of `parent`.
std::array<MainDlgPanel, 6> MakeMainDlgPanels(QWidget* parent, VARNO::CCamera& camera,
                                              ICommandSink& sink,
                                              VARNO::CSettingDispatcher& dispatcher);

}  // namespace kvx::ui
