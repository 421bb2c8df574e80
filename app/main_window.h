// The seam between the application object and its main window. The program
// links exactly one definition of CreateMainWindow: the one of the library
// target `kvx_main_window` when the build has it (the full main window), else
// the minimal stand-in of app/minimal_main_window.cpp.
//
// Contract for the window returned:
// - it is a top-level widget, not yet shown; the application shows it, and
//   restores and raises it when a second start of the program asks;
// - close() runs its ordinary close path (the one of its Exit menu); the
//   application calls it on SIGTERM and SIGINT. The window may defer closing;
// - when it has really closed, it stores its placement into host.Settings()
//   and calls host.MainWindowClosed(exitCode) exactly once;
// - the host outlives the window.
#pragma once

#include <QWidget>
#include <memory>

#include "app/main_window_host.h"

namespace kvx::app {

// The main window's fixed client size (the size of its background picture).
// Start-up uses it to keep a stored position on a screen.
inline constexpr int kMainWindowWidth = 528;
inline constexpr int kMainWindowHeight = 548;

std::unique_ptr<QWidget> CreateMainWindow(MainWindowHost& host);

}  // namespace kvx::app
