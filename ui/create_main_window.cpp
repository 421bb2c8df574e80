// The program's main window for the application object: a CMainDlg set up
// from the host's settings, fonts and About box, with the preferences and
// the live view window wired, which tells the host once when it has really
// closed.
#include <memory>

#include "app/main_window.h"
#include "engine/picture_namer.h"
#include "ui/main_dlg.h"
#include "ui/main_dlg_hooks.h"
#include "ui/special_dialogs_hookup.h"

namespace kvx::app {

std::unique_ptr<QWidget> CreateMainWindow(MainWindowHost& host) {
    ui::CMainDlg::Options o;
    o.settings = &host.Settings();
    o.naming =
        engine::NamingOptions::FromSettings(host.Settings(), host.ReviewApplication().value_or(""));
    o.searchOnShow = true;
    o.statusFontTenths = host.StatusFontTenths();
    auto window = std::make_unique<ui::CMainDlg>(o);
    window->setFont(host.DialogFont());
    window->aboutDialog = [&host](QWidget* parent) { host.ShowAbout(parent); };
    ui::CSpecialDialogsHookup::Install(*window);
    // Before the window is shown: the camera search starts with the first show.
    ui::WireMainDlgHooks(*window, host.Settings(), host.SettingsPath(), host.ReviewApplication());
    // The window stored its placement into the settings before it says so.
    QObject::connect(window.get(), &ui::CMainDlg::programEnds, window.get(),
                     [&host](int exitCode) { host.MainWindowClosed(exitCode); });
    return window;
}

}  // namespace kvx::app
