// The main window's hooks for the windows that live outside ui/: the
// preferences dialog and the live view window. The program wires them when
// it builds its main window; the window's tests wire them the same way.
#pragma once

#include <optional>
#include <string>

#include "engine/app_settings.h"

namespace kvx::ui {

class CMainDlg;

// settings: the settings held in memory (the preferences edit them, the
// live view window keeps its placement in them); settingsFile: where the
// preferences are written at OK; rawDeveloper: the RAW developer
// application found at start-up. Call before the window's camera search.
void WireMainDlgHooks(CMainDlg& window, engine::AppSettings& settings, std::string settingsFile,
                      std::optional<std::string> rawDeveloper);

}  // namespace kvx::ui
