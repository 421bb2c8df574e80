// The six setting panels of the main window's accordion, built in one place.
// Each panel class that exists in this build is constructed and registered
// with the setting dispatch; a panel not built yet is a plain placeholder of
// the same size and colour, so the window and its accordion work either way.
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

// Panel size inside the accordion frame.
inline constexpr int kPanelWidth = 393;
inline constexpr int kPanelHeight = 386;

// Builds the six panels in header order as children of `parent`.
std::array<MainDlgPanel, 6> MakeMainDlgPanels(QWidget* parent, VARNO::CCamera& camera,
                                              ICommandSink& sink,
                                              VARNO::CSettingDispatcher& dispatcher);

}  // namespace kvx::ui
