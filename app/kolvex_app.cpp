#include "app/kolvex_app.h"

#include <QApplication>
#include <QScreen>
#include <csignal>
#include <cstdio>
#include <vector>

#include "app/about_dlg.h"
#include "app/dialog_font.h"
#include "app/main_window.h"
#include "app/rcc_language_file.h"
#include "app/restore_and_raise.h"
#include "app/settings_clamp.h"
#include "engine/review_app_lookup.h"
#include "log/write_log.h"
#include "model/string_table.h"
#include "platform/locale_info.h"
#include "platform/paths.h"

namespace kvx::app {

namespace {
constexpr const char* kInitInstance = "CKolvexApp::InitInstance";
}

CKolvexApp::CKolvexApp() {
    // The log writer's lock is the application lock; the writer exists with
    // the first use. The log level stays 0 until the settings are read.
    DeliverableLog().SetFolder(ProgramLogFolder());
    settings_.logLevel = 0;
    settings_.regist = 0;
}

CKolvexApp::~CKolvexApp() {
    mainWindow_.reset();
    language_.reset();  // closes the language file
    VARNO::RestoreBuiltInStrings();
}

std::recursive_mutex& CKolvexApp::AppLock() {
    return DeliverableLog().Lock();
}

bool CKolvexApp::BecomeOnlyCopy() {
    instanceLock_ = std::make_unique<InstanceLock>(InstanceLock::LockPath());
    const QString socketPath = QString::fromStdString(InstanceLock::SocketPath());
    switch (instanceLock_->GetState()) {
        case InstanceLock::State::HeldByOther:
            if (!InstanceServer::AskToRaise(socketPath))
                std::fprintf(stderr, "Varno_Kolvex: another copy runs but did not answer\n");
            return false;
        case InstanceLock::State::Unavailable:
            // Better a second copy than no program at all.
            std::fprintf(stderr, "Varno_Kolvex: single-instance check unavailable: %s\n",
                         instanceLock_->Error().c_str());
            return true;
        case InstanceLock::State::Acquired:
            break;
    }
    instanceServer_ = std::make_unique<InstanceServer>();
    QObject::connect(instanceServer_.get(), &InstanceServer::raiseRequested,
                     [this] { RaiseMainWindow(); });
    if (!instanceServer_->Listen(socketPath))
        std::fprintf(stderr, "Varno_Kolvex: cannot listen at %s: %s\n", qPrintable(socketPath),
                     qPrintable(instanceServer_->ErrorString()));
    return true;
}

void CKolvexApp::ChooseLanguage() {
    language_ = std::make_unique<LanguageChooser>(
        kExecutableLanguage, QCoreApplication::applicationFilePath().toStdString(),
        [](const std::string& path) { return RccLanguageFile::Open(path); });
    const LocaleSources s = LocaleInfo::SystemSources();
    language_->Choose(
        {LocaleInfo::LangIdOfLocale(s.userInterface), LocaleInfo::LangIdOfLocale(s.systemInterface),
         LocaleInfo::LangIdOfLocale(s.userFormats), LocaleInfo::LangIdOfLocale(s.systemFormats)});
}

void CKolvexApp::ReadSettings() {
    settingsPath_ = engine::AppSettings::DefaultFilePath();
    settings_.Read(settingsPath_, language_->Abbrev());
    settings_.ApplyLogThreshold();
    std::vector<ScreenRect> screens;
    // The primary screen first: a window brought back lands there.
    QList<QScreen*> all = QGuiApplication::screens();
    all.removeOne(QGuiApplication::primaryScreen());
    all.prepend(QGuiApplication::primaryScreen());
    for (QScreen* screen : all) {
        if (!screen) continue;
        const QRect r = screen->availableGeometry();
        screens.push_back({r.x(), r.y(), r.width(), r.height()});
    }
    SettingsClamp::Apply(settings_, kMainWindowWidth, kMainWindowHeight, screens);
}

void CKolvexApp::ChooseDialogFont() {
    QScreen* screen = QGuiApplication::primaryScreen();
    const int dpiX = screen ? qRound(screen->logicalDotsPerInchX()) : 96;
    const int dpiY = screen ? qRound(screen->logicalDotsPerInchY()) : 96;
    const DialogFontChoice f = DialogFontRule::Choose(
        settings_.display, dpiX, engine::AppSettings::BuiltInBaseFontSize(LanguageAbbrev()));
    dialogFont_ = QApplication::font();  // the system's dialog font
    if (!f.useSystemFont) dialogFont_.setFamily("Verdana");
    dialogFont_.setPointSize(f.pointSize);
    statusFontTenths_ = f.statusFontTenths;
    WriteLog(4, "--- fontSize=%d, dpix=%d, dpiy=%d", f.pointSize, dpiX, dpiY);
}

bool CKolvexApp::InitInstance() {
    if (!BecomeOnlyCopy()) return false;  // the running copy came to the front

    // SIGTERM and SIGINT close the main window the way its Exit command
    // does, on this thread, so the exit settings are written.
    signalPipe_ = std::make_unique<SignalPipe>(std::initializer_list<int>{SIGTERM, SIGINT});
    if (signalPipe_->Ok()) {
        signalNotifier_ =
            std::make_unique<QSocketNotifier>(signalPipe_->ReadFd(), QSocketNotifier::Read);
        QObject::connect(signalNotifier_.get(), &QSocketNotifier::activated,
                         [this] { OnSignal(); });
    }

    ChooseLanguage();
    ReadSettings();
    WriteLog(2, "%s", std::string(59, '=').c_str());
    WriteLog(2, "enter %s, Lang=%s", kInitInstance, LanguageAbbrev().c_str());

    review_ = engine::ReviewAppLookup::Find();
    if (review_) WriteLog(4, "--- QDL found at %s", review_->c_str());

    ChooseDialogFont();
    // The loop ends when the main window says it has closed, not when the
    // last window closes: the live view window is a top-level window too.
    QApplication::setQuitOnLastWindowClosed(false);
    mainWindow_ = CreateMainWindow(*this);
    windowRunning_ = true;
    mainWindow_->show();
    if (raisePending_) RaiseMainWindow();
    QApplication::exec();
    windowRunning_ = false;

    if (!settings_.WriteExit(settingsPath_)) {
        WriteLog(1, "+++ error code = %d at %s +++", 1, kInitInstance);
        std::fprintf(stderr, "Varno_Kolvex: cannot write %s\n", settingsPath_.c_str());
    }
    WriteLog(2, "exit %s", kInitInstance);
    mainWindow_.reset();
    return false;
}

int CKolvexApp::ExitInstance() {
    signalNotifier_.reset();
    signalPipe_.reset();
    instanceServer_.reset();
    instanceLock_.reset();
    return exitCode_;
}

void CKolvexApp::ShowAbout(QWidget* parent) {
    CAboutDlg about(parent, dialogFont_);
    about.exec();
}

void CKolvexApp::MainWindowClosed(int exitCode) {
    exitCode_ = exitCode;
    QCoreApplication::exit(0);
}

void CKolvexApp::RaiseMainWindow() {
    if (!mainWindow_ || !windowRunning_) {
        raisePending_ = !mainWindow_;  // before the window exists: raise it once shown
        return;
    }
    raisePending_ = false;
    RestoreAndRaise(mainWindow_.get());
    WriteLog(4, "--- second start: main window restored and raised");
}

void CKolvexApp::OnSignal() {
    const std::vector<int> received = signalPipe_->Drain();
    if (received.empty() || !mainWindow_ || !windowRunning_) return;
    WriteLog(2, "--- signal %d: closing the main window", received.front());
    mainWindow_->close();
}

}  // namespace kvx::app
