// The program Varno_Kolvex as a user meets it: language files built by rcc,
// and real processes in a sandbox of their own (runtime, data and state
// folders), started, signalled and started again.
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <memory>

#include "app/about_dlg.h"
#include "app/language_chooser.h"
#include "app/rcc_language_file.h"
#include "app/restore_and_raise.h"
#include "model/string_table.h"
#include "platform/locale_info.h"

using kvx::app::LanguageChooser;
using kvx::app::RccLanguageFile;

namespace {

const QString kData = KVX_TEST_DATA;

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A copy of the program in a folder of its own (its log and language files
// sit beside it) with private runtime, data and state folders.
class Sandbox {
public:
    Sandbox() {
        const QString root = dir_.path();
        for (const char* sub : {"bin", "run", "data", "state", "home", "apps"})
            QDir(root).mkpath(sub);
        QFile::setPermissions(root + "/run", QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                 QFileDevice::ExeOwner);
        program_ = root + "/bin/Varno_Kolvex";
        QFile::copy(KVX_PROGRAM, program_);
        // Shared libraries the program finds beside itself come along.
        const QDir built = QFileInfo(KVX_PROGRAM).dir();
        for (const QString& lib : built.entryList({"*.so"}, QDir::Files))
            QFile::link(built.filePath(lib), root + "/bin/" + lib);
        env_ = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LC_TIME"}) env_.remove(name);
        env_.insert("LANG", "C.UTF-8");
        env_.insert("XDG_RUNTIME_DIR", root + "/run");
        env_.insert("XDG_DATA_HOME", root + "/data");
        env_.insert("XDG_DATA_DIRS", root + "/apps");
        env_.insert("XDG_STATE_HOME", root + "/state");
        env_.insert("HOME", root + "/home");
        env_.insert("QT_QPA_PLATFORM", "offscreen");
    }

    QString Root() const { return dir_.path(); }
    QString SettingsPath() const { return Root() + "/data/VARNO/Varno_Kolvex/Varno_Kolvex.ini"; }
    QString LogText() const {
        return QString::fromUtf8(ReadAll(Root() + "/bin/kvx.log")).remove(QChar('\r'));
    }
    QProcessEnvironment& Env() { return env_; }

    void WriteSettings(const QByteArray& text) {
        QDir().mkpath(QFileInfo(SettingsPath()).path());
        QFile f(SettingsPath());
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    }
    void AddLanguageFile(const QString& built, const QString& abbrev) {
        QVERIFY(QFile::copy(built, Root() + "/bin/Varno_Kolvex_" + abbrev + ".rcc"));
    }

    std::unique_ptr<QProcess> Start(const QStringList& args = {}) {
        auto p = std::make_unique<QProcess>();
        p->setProcessEnvironment(env_);
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(program_, args);
        p->waitForStarted(-1);
        return p;
    }

    // Waits until the log holds `count` lines containing fragment. False
    // when the process ends first.
    bool WaitForLog(QProcess& p, const QString& fragment, int count = 1) {
        while (LogText().count(fragment) < count)
            if (p.state() == QProcess::NotRunning || p.waitForFinished(50)) return false;
        return true;
    }

    static int Finish(QProcess& p) {
        p.waitForFinished(-1);
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }
    static void Signal(QProcess& p, int signo) { ::kill(static_cast<pid_t>(p.processId()), signo); }

private:
    QTemporaryDir dir_;
    QString program_;
    QProcessEnvironment env_;
};

const QString kEnter = "enter CKolvexApp::InitInstance, Lang=";
const QString kRaised = "--- second start: main window restored and raised";
const QString kExit = "exit CKolvexApp::InitInstance";

}  // namespace

class AppGuiTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { VARNO::RestoreBuiltInStrings(); }

    void languageFileFromRcc_data() {
        QTest::addColumn<QString>("built");
        QTest::addColumn<QString>("abbrev");
        QTest::addColumn<QString>("name");
        QTest::newRow("with string 103") << "complete_DEU.rcc"
                                         << "DEU"
                                         << "VARNO Kolvex (Deutsch)";
        QTest::newRow("without string 103") << "no_name_DEU.rcc"
                                            << ""
                                            << "VARNO Kolvex";
    }
    void languageFileFromRcc() {
        QFETCH(QString, built);
        QFETCH(QString, abbrev);
        QFETCH(QString, name);
        QTemporaryDir dir;
        const QString exe = dir.path() + "/Varno_Kolvex";
        QVERIFY(QFile::copy(kData + "/" + built, exe + "_DEU.rcc"));
        LanguageChooser chooser(kvx::LocaleInfo::kEnglishUs, exe.toStdString(),
                                [](const std::string& p) { return RccLanguageFile::Open(p); });
        chooser.Choose({kvx::LocaleInfo::LangIdOfLocale("de_DE.UTF-8"), 0, 0, 0});
        QCOMPARE(QString::fromStdString(chooser.Abbrev()), abbrev);
        QCOMPARE(QString::fromUtf8(VARNO::StringText(103)), name);
        QCOMPARE(chooser.Rejected(), abbrev.isEmpty());
    }

    void aboutBoxShowsNameAndVersion() {
        VARNO::ReplaceStrings({{103, "VARNO Kolvex (Deutsch)"}});
        kvx::app::CAboutDlg about(nullptr, QFont());
        QStringList texts;
        for (const QLabel* label : about.findChildren<QLabel*>()) texts << label->text();
        QCOMPARE(texts, QStringList({"VARNO Kolvex (Deutsch)", "Version " KVX_VERSION}));
        QCOMPARE(about.windowTitle(), QString("VARNO Kolvex (Deutsch)"));
    }

    void minimisedWindowIsRestored() {
        QWidget window;
        window.showMinimized();
        QVERIFY(window.windowState() & Qt::WindowMinimized);
        kvx::app::RestoreAndRaise(&window);
        QVERIFY(!(window.windowState() & Qt::WindowMinimized));
        QVERIFY(window.isVisible());
        QWidget hidden;
        kvx::app::RestoreAndRaise(&hidden);  // a window not shown yet comes up too
        QVERIFY(hidden.isVisible());
    }

    void notAResourceFileIsNoLanguageFile() {
        QTemporaryDir dir;
        const QString path = dir.path() + "/Varno_Kolvex_DEU.rcc";
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("103\tVARNO Kolvex\n");
        f.close();
        QVERIFY(!RccLanguageFile::Open(path.toStdString()));
        QVERIFY(!RccLanguageFile::Open(dir.path().toStdString()));  // a folder
        QVERIFY(!RccLanguageFile::Open((dir.path() + "/missing.rcc").toStdString()));
    }

    void helpAndVersionNeedNoDisplay_data() {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("expected");
        QTest::newRow("--version") << "--version"
                                   << "Varno_Kolvex " KVX_VERSION "\n";
        QTest::newRow("--help") << "--help"
                                << "Usage: Varno_Kolvex";
    }
    void helpAndVersionNeedNoDisplay() {
        QFETCH(QString, option);
        QFETCH(QString, expected);
        Sandbox box;
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            box.Env().remove(name);
        auto p = box.Start({option});
        QCOMPARE(Sandbox::Finish(*p), 0);
        QVERIFY(QString::fromUtf8(p->readAllStandardOutput()).startsWith(expected));
        QVERIFY(QDir(box.Root() + "/run").isEmpty());  // no instance lock taken
        QVERIFY(!QFile::exists(box.SettingsPath()));
    }

    // A second start brings the first to the front and ends without touching
    // the settings file; SIGTERM then closes the first like its Exit command,
    // writing the exit settings (a position off every screen brought back).
    void secondStartRaisesTheFirstThenSigtermWritesSettings() {
        Sandbox box;
        const QByteArray seeded =
            "[Debug_1.2]\nLogLevel=4\n[Window_1.2]\nLeft=-5000\nTop=120\n"
            "[Live_Window_1.2]\nGridLines=3\nRotateAngle=90\n[Store_1.2]\nPath=/pictures\n";
        box.WriteSettings(seeded);
        {
            QFile f(box.SettingsPath());
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.setFileTime(QDateTime::fromSecsSinceEpoch(1000000000),
                                  QFileDevice::FileModificationTime));
        }
        auto first = box.Start();
        QVERIFY(box.WaitForLog(*first, kEnter));

        auto second = box.Start();
        QCOMPARE(Sandbox::Finish(*second), 0);
        QVERIFY(box.WaitForLog(*first, kRaised));
        QCOMPARE(ReadAll(box.SettingsPath()), seeded);
        QCOMPARE(QFileInfo(box.SettingsPath()).lastModified().toSecsSinceEpoch(), 1000000000);
        QCOMPARE(box.LogText().count(kEnter), 1);  // the second never started up
        QCOMPARE(first->state(), QProcess::Running);

        Sandbox::Signal(*first, SIGTERM);
        QCOMPARE(Sandbox::Finish(*first), 0);
        const QString written = QString::fromUtf8(ReadAll(box.SettingsPath()));
        QVERIFY2(written.contains("[Window_1.2]\nLeft=100\nTop=100\n"), qPrintable(written));
        QVERIFY2(written.contains("[Live_Window_1.2]\nGridLines=3\nRotateAngle=90\nLeft=300\n"
                                  "Top=100\nWidth=670\nHeight=460\nGridPattern=0\nFocusSelect=1\n"
                                  "UseMask=0\n"),
                 qPrintable(written));
        QVERIFY(written.contains("Path=/pictures"));
        QVERIFY(box.LogText().contains(kExit));
    }

    // A copy killed outright leaves its lock file and socket behind; the
    // next start runs anyway and serves later starts itself.
    void lockOfAKilledCopyDoesNotBlock() {
        Sandbox box;
        box.WriteSettings("[Debug_1.2]\nLogLevel=4\n");
        auto killed = box.Start();
        QVERIFY(box.WaitForLog(*killed, kEnter));
        Sandbox::Signal(*killed, SIGKILL);
        QCOMPARE(Sandbox::Finish(*killed), -1);
        QVERIFY(QFile::exists(box.Root() + "/run/KVX2.exe.lock"));
        QVERIFY(QFile::exists(box.Root() + "/run/KVX2.exe"));

        auto next = box.Start();
        QVERIFY(box.WaitForLog(*next, kEnter, 2));
        auto third = box.Start();
        QCOMPARE(Sandbox::Finish(*third), 0);
        QVERIFY(box.WaitForLog(*next, kRaised));
        QCOMPARE(box.LogText().count(kEnter), 2);

        Sandbox::Signal(*next, SIGINT);
        QCOMPARE(Sandbox::Finish(*next), 0);
        QVERIFY(ReadAll(box.SettingsPath()).contains("[Live_Window_1.2]"));
    }

    void languageFileBesideTheProgram_data() {
        QTest::addColumn<QString>("built");
        QTest::addColumn<QString>("lang");
        QTest::newRow("with string 103") << "complete_DEU.rcc"
                                         << "DEU";
        QTest::newRow("without string 103") << "no_name_DEU.rcc"
                                            << "";
    }
    void languageFileBesideTheProgram() {
        QFETCH(QString, built);
        QFETCH(QString, lang);
        Sandbox box;
        box.AddLanguageFile(kData + "/" + built, "DEU");
        box.Env().insert("LANG", "de_AT.UTF-8");
        box.WriteSettings("[Debug_1.2]\nLogLevel=2\n");
        auto p = box.Start();
        QVERIFY(box.WaitForLog(*p, kEnter));
        Sandbox::Signal(*p, SIGTERM);
        QCOMPARE(Sandbox::Finish(*p), 0);
        QVERIFY2(box.LogText().contains(kEnter + lang + "\n"), qPrintable(box.LogText()));
    }
};

QTEST_MAIN(AppGuiTest)
#include "app_gui_test.moc"
