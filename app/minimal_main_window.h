// The stand-in main window used until the full main window is linked in: a
// fixed-size dark window with the program's name, an Exit and an About
// command, and the close contract of main_window.h. It shows no camera
// state on purpose; it exists so that start-up, single instance, signals and
// the settings round trip can run end to end.
#pragma once

#include <QMainWindow>

#include "app/main_window_host.h"

namespace kvx::app {

class MinimalMainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MinimalMainWindow(MainWindowHost& host);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    MainWindowHost& host_;
    bool closed_ = false;
};

}  // namespace kvx::app
