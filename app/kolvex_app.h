// The application object: starts the program (single instance, language,
// settings, review application), runs the main window until it closes,
// and writes the exit settings. One instance, built after QApplication.
#pragma once

#include <QFont>
#include <QSocketNotifier>
#include <memory>
#include <optional>
#include <string>

#include "app/instance_server.h"
#include "app/language_chooser.h"
#include "app/main_window_host.h"
#include "engine/app_settings.h"
#include "platform/instance_lock.h"
#include "platform/signal_pipe.h"

namespace kvx::app {

class CKolvexApp final : public MainWindowHost {
public:
    // The language of the program's built-in texts: English (United States).
    static constexpr uint16_t kExecutableLanguage = 0x0409;

    CKolvexApp();
    ~CKolvexApp() override;
    CKolvexApp(const CKolvexApp&) = delete;
    CKolvexApp& operator=(const CKolvexApp&) = delete;

    // Start-up, the main window's run, and the exit settings. Always false:
    // the program ends when it returns.
    bool InitInstance();
    // Releases the instance lock; the process exit code.
    int ExitInstance();

    // MainWindowHost
    engine::AppSettings& Settings() override { return settings_; }
    const std::string& SettingsPath() const override { return settingsPath_; }
    QFont DialogFont() const override { return dialogFont_; }
    int StatusFontTenths() const override { return statusFontTenths_; }
    const std::optional<std::string>& ReviewApplication() const override { return review_; }
    std::recursive_mutex& AppLock() override;
    void ShowAbout(QWidget* parent) override;
    void MainWindowClosed(int exitCode) override;

    const std::string& LanguageAbbrev() const { return settings_.languageAbbrev; }

private:
    bool BecomeOnlyCopy();
    void ChooseLanguage();
    void ReadSettings();
    void ChooseDialogFont();
    void RaiseMainWindow();
    void OnSignal();

    engine::AppSettings settings_;
    std::string settingsPath_;
    std::unique_ptr<InstanceLock> instanceLock_;
    std::unique_ptr<InstanceServer> instanceServer_;
    std::unique_ptr<SignalPipe> signalPipe_;
    std::unique_ptr<QSocketNotifier> signalNotifier_;
    std::unique_ptr<LanguageChooser> language_;
    std::optional<std::string> review_;
    QFont dialogFont_;
    int statusFontTenths_ = 0;
    std::unique_ptr<QWidget> mainWindow_;
    bool raisePending_ = false;
    bool windowRunning_ = false;
    int exitCode_ = 0;
};

}  // namespace kvx::app
