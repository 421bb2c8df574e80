// The preferences dialog on the offscreen platform: what typing, pasting and
// the settings held in memory can put into the fields, what OK writes (and in
// which order) and what Cancel leaves, and the checks made before writing.
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "gdip_button.h"
#include "prefs/dialog_new_folder.h"
#include "prefs/dialog_preference.h"
#include "prefs/preference_rules.h"
#include "tests/prefs/hostile_names.h"

namespace {

namespace fs = std::filesystem;
using kvx::engine::AppSettings;
using kvx::prefs::CDialogPreference;
using kvx::prefs::CPreferenceRules;

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The preferences fields of two settings objects are the same.
bool SamePreferences(const AppSettings& a, const AppSettings& b) {
    return a.reviewType == b.reviewType && a.reviewSoft == b.reviewSoft &&
           a.inCamera == b.inCamera && a.inPC == b.inPC && a.path == b.path &&
           a.rename == b.rename && a.prefix == b.prefix && a.startNum == b.startNum &&
           a.columns == b.columns && a.regist == b.regist;
}

// Nothing the prefix keeps could leave the folder or match by pattern.
bool SafePrefix(const QString& text) {
    const std::string s = text.toStdString();
    if (!s.empty() && s[0] == '.') return false;
    for (unsigned char c : s)
        if (c < 0x20 || c == 0x7F || std::string("/\\:*?\"<>|.").find(c) != std::string::npos)
            return false;
    return text.size() <= 25;
}

// Types text key by key, as a keyboard or an input method delivers it (any
// character, not only Latin-1; line feed and tab as their keys).
void TypeText(QWidget* w, const QString& text) {
    for (const QChar c : text) {
        int key = 0;
        if (c == '\n') key = Qt::Key_Return;
        if (c == '\t') key = Qt::Key_Tab;
        if (c.unicode() < 0x80 && c.isLetterOrNumber()) key = c.toUpper().unicode();
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(c));
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString(c));
        QApplication::sendEvent(w, &press);
        QApplication::sendEvent(w, &release);
    }
}

}  // namespace

class PreferenceDialogTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    std::string pictures_, other_, viewer_, file_;
    AppSettings settings_;
    QStringList notices_;

    std::unique_ptr<CDialogPreference> Open(std::optional<std::string> raw = std::nullopt) {
        auto d = std::make_unique<CDialogPreference>(nullptr, settings_, file_, raw);
        d->SetNoticeFunction([this](const QString&, const QString& t) { notices_ << t; });
        d->SetFolderChooser([](const std::string&) { return std::nullopt; });
        d->SetApplicationChooser([](const std::string&) { return std::nullopt; });
        return d;
    }
    template <typename T>
    static T* Find(QWidget* d, int id) {
        return d->findChild<T*>(QString::number(id));
    }
    static void Click(QWidget* d, int id) {
        QTest::mouseClick(Find<CGdipButton>(d, id), Qt::LeftButton, {}, QPoint(5, 5));
    }

private slots:
    void init() {
        QVERIFY(dir_.isValid());
        pictures_ = dir_.filePath("pictures").toStdString();
        other_ = dir_.filePath("other shoot").toStdString();
        viewer_ = dir_.filePath("viewer").toStdString();
        file_ = dir_.filePath("Varno_Kolvex.ini").toStdString();
        fs::create_directories(pictures_);
        fs::create_directories(other_);
        std::ofstream(viewer_) << "#!/bin/sh\n";
        fs::permissions(viewer_, fs::perms::owner_all);
        fs::remove(file_);
        settings_ = AppSettings();
        settings_.inPC = 1;
        settings_.path = pictures_;
        settings_.rename = 1;
        notices_.clear();
    }

    void hostilePrefixTypedPastedOrStored() {
        for (const auto& h : kvx::test::HostileNames()) {
            const QString input = QString::fromStdString(h.input);
            const bool utf8 = input.toStdString() == h.input;
            // Stored: the value in memory passes the same filter.
            settings_.prefix = h.input;
            auto d = Open();
            auto* edit = Find<QLineEdit>(d.get(), 815);
            QCOMPARE(edit->text().toStdString(), h.prefix);
            // Typed.
            edit->clear();
            TypeText(edit, input);
            QVERIFY2(SafePrefix(edit->text()), qPrintable(edit->text()));
            if (utf8) QCOMPARE(edit->text().toStdString(), h.prefix);
            // Pasted over a selection.
            edit->setText("KEEP");
            edit->selectAll();
            QApplication::clipboard()->setText(input);
            edit->paste();
            QVERIFY2(SafePrefix(edit->text()), qPrintable(edit->text()));
            if (utf8) QCOMPARE(edit->text().toStdString(), h.prefix);
            // OK stores only what the filter kept, and only with a prefix.
            QCOMPARE(Find<CGdipButton>(d.get(), 146)->isEnabled(), !h.prefix.empty());
            if (!h.prefix.empty() && utf8) {
                QVERIFY(d->TryAccept());
                QCOMPARE(settings_.prefix, h.prefix);
            }
        }
    }

    void hostileFolderNameTypedOrPasted() {
        for (const auto& h : kvx::test::HostileNames()) {
            const QString input = QString::fromStdString(h.input);
            if (input.toStdString() != h.input) continue;  // a keyboard makes valid text
            for (bool paste : {false, true}) {
                kvx::prefs::CDialogNewFolder d(nullptr, QString::fromStdString(pictures_));
                d.SetNoticeFunction([](const QString&, const QString&) {});
                if (paste) {
                    QApplication::clipboard()->setText(input);
                    d.NameEdit()->paste();
                } else {
                    d.NameEdit()->setText(input);
                }
                QCOMPARE(d.TryAccept(), h.folderOk);
                QCOMPARE(d.LastNotice().isEmpty(), h.folderOk);
                if (h.folderOk) QCOMPARE(d.Name(), h.input);
            }
        }
    }

    void numberFieldsFollowTheirTypingRules() {
        auto d = Open();
        auto* digits = Find<QLineEdit>(d.get(), 820);
        auto* start = Find<QLineEdit>(d.get(), 818);
        QTest::keyClick(digits, Qt::Key_8, {}, -1);
        QTest::keyClicks(digits, "8");
        QCOMPARE(digits->text(), QString("7"));
        QTest::keyClicks(digits, "3a");
        QCOMPARE(digits->text(), QString("3"));
        QTest::keyClick(digits, Qt::Key_Backspace);
        QCOMPARE(digits->text(), QString("0"));

        start->setText("1234567");
        start->end(false);
        QTest::keyClicks(start, "5");
        QCOMPARE(start->text(), QString("9999999"));
        start->selectAll();
        QTest::keyClick(start, Qt::Key_Backspace);
        QCOMPARE(start->text(), QString("0"));
        QTest::keyClicks(start, "5x");
        QCOMPARE(start->text(), QString("5"));
        start->selectAll();
        QApplication::clipboard()->setText("123456789");
        start->paste();
        QCOMPARE(start->text(), QString("9999999"));
        digits->selectAll();
        QApplication::clipboard()->setText("42");
        digits->paste();
        QCOMPARE(digits->text(), QString("7"));

        // Enter and Escape neither confirm nor cancel.
        d->show();
        QTest::keyClick(start, Qt::Key_Return);
        QTest::keyClick(d.get(), Qt::Key_Escape);
        QVERIFY(d->isVisible());
        QCOMPARE(d->result(), 0);
    }

    void okWritesThePreferencesKeysInOrder() {
        settings_.inPC = 0;
        settings_.path.clear();
        settings_.regist = 3;
        auto d = Open(std::string("/opt/dravel/dravel"));
        d->SetFolderChooser([this](const std::string&) { return pictures_; });
        d->SetApplicationChooser([this](const std::string&) { return viewer_; });
        Click(d.get(), 811);  // PC Drive: asks for the folder
        Click(d.get(), 806);  // Other: asks for the program
        Click(d.get(), 814);  // Rename
        Find<QLineEdit>(d.get(), 815)->setText("SHOT");
        Find<QLineEdit>(d.get(), 818)->setText("5");
        Find<QLineEdit>(d.get(), 820)->setText("3");
        QVERIFY(d->TryAccept());
        QVERIFY(notices_.isEmpty());
        QCOMPARE(Slurp(file_), "[Review_1.2]\nReviewType=2\nReviewSoft=" + viewer_ +
                                   "\n[Store_1.2]\nInCamera=1\nInPC=1\nPath=" + pictures_ +
                                   "\nPrefix=SHOT\nStartNum=5\nColumns=3\n"
                                   "[Rename_1.2]\nRename=1\n[Wia_1.2]\nRegist=3\n");
        QVERIFY(d->DestinationChanged());
        QCOMPARE(settings_.StorageDestination(), 3);
        const auto naming = d->Naming();
        QCOMPARE(naming.destinationFolder, pictures_);
        QVERIFY(naming.rename);
        QCOMPARE(naming.prefix, std::string("SHOT"));
        QCOMPARE(naming.reviewType, 2);
        QCOMPARE(naming.reviewSoft, viewer_);
        QCOMPARE(naming.rawDeveloperPath, std::string("/opt/dravel/dravel"));

        // Into a file with more in it: only the preferences keys change.
        const std::string before = "; kept\n[Window_1.2]\nLeft=5\n[Store_1.2]\nPath=/old\n";
        std::ofstream(file_, std::ios::trunc) << before;
        settings_.path = other_;
        auto again = Open();
        QVERIFY(again->TryAccept());
        const std::string after = Slurp(file_);
        QVERIFY(after.rfind("; kept\n[Window_1.2]\nLeft=5\n[Store_1.2]\nPath=" + other_ +
                                "\nInCamera=1\nInPC=1\nPrefix=SHOT\n",
                            0) == 0);
        QVERIFY(!again->DestinationChanged());
    }

    void cancelLeavesFileAndMemory() {
        settings_.reviewType = 0;
        const AppSettings before = settings_;
        auto d = Open(std::string("/opt/dravel/dravel"));
        d->SetFolderChooser([this](const std::string&) { return other_; });
        Click(d.get(), 805);
        Click(d.get(), 810);
        Click(d.get(), 814);
        Click(d.get(), 812);
        Find<QLineEdit>(d.get(), 815)->setText("CHANGED");
        QCOMPARE(Find<QLineEdit>(d.get(), 813)->text().toStdString(), other_);
        Click(d.get(), 147);
        QCOMPARE(d->result(), int(QDialog::Rejected));
        QVERIFY(SamePreferences(settings_, before));
        QVERIFY(!fs::exists(file_));
    }

    void badValuesAreNamedBeforeAnythingIsWritten() {
        struct Case {
            const char* what;
            std::function<void(AppSettings&)> spoil;
            const char* field;
        };
        const Case cases[] = {
            {"missing folder", [this](AppSettings& s) { s.path = pictures_ + "/gone"; },
             "Destination"},
            {"a file, not a folder", [this](AppSettings& s) { s.path = viewer_; }, "Destination"},
            {"missing program",
             [this](AppSettings& s) {
                 s.reviewType = 2;
                 s.reviewSoft = viewer_ + ".old";
             },
             "How to display after transferring the images"},
        };
        for (const auto& c : cases) {
            init();
            c.spoil(settings_);
            const AppSettings before = settings_;
            auto d = Open();
            QVERIFY2(!d->TryAccept(), c.what);
            QCOMPARE(notices_.size(), 1);
            QVERIFY2(notices_[0].startsWith(QString(c.field) + ": "), qPrintable(notices_[0]));
            QVERIFY(!fs::exists(file_));
            QVERIFY(SamePreferences(settings_, before));
            QCOMPARE(d->result(), 0);
        }
    }

    void destinationChoicesKeepOnePlace() {
        // Turning the card off with the PC off turns the PC on, which needs a
        // folder; without one the card stays.
        settings_.inPC = 0;
        settings_.path.clear();
        auto d = Open();
        int asked = 0;
        d->SetFolderChooser([&asked](const std::string&) {
            ++asked;
            return std::nullopt;
        });
        Click(d.get(), 810);
        QCOMPARE(asked, 1);
        QCOMPARE(Find<CGdipButton>(d.get(), 810)->GetState(), int(CGdipButton::kStateChecked));
        QCOMPARE(Find<CGdipButton>(d.get(), 811)->GetState(), int(CGdipButton::kStateNormal));
        QVERIFY(!Find<CGdipButton>(d.get(), 814)->isEnabled());
        QVERIFY(!Find<QLineEdit>(d.get(), 815)->isEnabled());

        // Without the RAW developer its radio stays off even when chosen.
        init();
        settings_.reviewType = 1;
        auto noRaw = Open();
        QVERIFY(!Find<CGdipButton>(noRaw.get(), 805)->isEnabled());
        auto withRaw = Open(std::string("/opt/dravel/dravel"));
        QVERIFY(Find<CGdipButton>(withRaw.get(), 805)->isEnabled());
    }

    void checkBoxesDrawTheirPictureBesideTheText() {
        auto d = Open();
        auto* box = Find<CGdipButton>(d.get(), 810);
        d->show();
        const QImage shot = box->grab().toImage();
        // Beyond the 13 pixel picture and the text there is only background.
        QCOMPARE(QColor(shot.pixel(shot.width() - 3, shot.height() / 2)), box->BackgroundColor());
        QVERIFY(QColor(shot.pixel(4, shot.height() / 2)) != box->BackgroundColor());
    }
};

int RunPreferenceDialogTests(int argc, char** argv) {
    PreferenceDialogTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "prefs_dialog_test.moc"
