#include "ui/main_dlg_hooks.h"

#include "engine/picture_namer.h"
#include "prefs/dialog_preference.h"
#include "ui/live_view_controller.h"
#include "ui/main_dlg.h"

namespace kvx::ui {

void WireMainDlgHooks(CMainDlg& window, engine::AppSettings& settings, std::string settingsFile,
                      std::optional<std::string> rawDeveloper) {
    window.preferencesDialog = [&settings, settingsFile, rawDeveloper](QWidget* parent) {
        prefs::CDialogPreference dlg(parent, settings, settingsFile, rawDeveloper);
        return dlg.exec() == QDialog::Accepted;
    };
    // After OK the dialog has put its values into the settings in memory.
    window.namingOptionsSource = [&settings, rawDeveloper] {
        return engine::NamingOptions::FromSettings(settings, rawDeveloper.value_or(""));
    };
    CLiveViewController::Install(window, &settings);
}

}  // namespace kvx::ui
