// What the application object offers its main window. The main window (and
// the dialogs it opens) reach the program's settings, language and start-up
// findings only through this, so the window never depends on CKolvexApp.
#pragma once

#include <QFont>
#include <mutex>
#include <optional>
#include <string>

#include "engine/app_settings.h"

class QWidget;

namespace kvx::app {

class MainWindowHost {
public:
    virtual ~MainWindowHost() = default;

    // Every value of the settings file as read at start-up (already brought
    // into range). The window changes them here; the application writes
    // them to the file: the preferences keys through WritePreferences, the
    // window and live view keys after the main window has closed.
    virtual engine::AppSettings& Settings() = 0;
    // The settings file, for the preferences dialog's write.
    virtual const std::string& SettingsPath() const = 0;
    // The dialog font every window of the program uses (face and size from
    // the screen's resolution and the display settings), and the status
    // line font size in tenths of a point, 0 for the built-in size.
    virtual QFont DialogFont() const = 0;
    virtual int StatusFontTenths() const = 0;
    // The RAW developer application found at start-up, if any.
    virtual const std::optional<std::string>& ReviewApplication() const = 0;
    // The process-wide application lock shared with the communication thread.
    virtual std::recursive_mutex& AppLock() = 0;
    // The About box, modal over parent.
    virtual void ShowAbout(QWidget* parent) = 0;

    // The main window calls this once it has closed for good and has stored
    // its placement (and the live view's) into Settings(). The program then
    // writes the exit settings and ends with exitCode.
    virtual void MainWindowClosed(int exitCode) = 0;
};

}  // namespace kvx::app
