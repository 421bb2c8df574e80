// The folder picker on the offscreen platform: it opens at the destination,
// follows folders made and removed outside the program while it is open,
// opens a folder of 10,000 entries without reading anything below it,
// watches only open folders and stops when it closes, and makes new folders
// only under the selected one.
#include <sys/stat.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QDir>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <filesystem>
#include <fstream>

#include "prefs/dialog_folder.h"

namespace {

namespace fs = std::filesystem;
using kvx::prefs::CDialogFolder;
using kvx::prefs::CFileTreeCtrlItemInfo;

// Waits on the event loop; the bound only keeps a broken build from hanging.
constexpr int kWaitMs = 30000;

}  // namespace

class FolderPickerTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    std::string root_;

    std::unique_ptr<CDialogFolder> Open(const std::string& start) {
        auto d = std::make_unique<CDialogFolder>(
            nullptr, start,
            std::vector<CFileTreeCtrlItemInfo>{{root_, "Home", {}, CFileTreeCtrlItemInfo::kRoot}});
        d->SetNoticeFunction([](const QString&, const QString&) {});
        return d;
    }
    std::string P(const std::string& rel) const { return root_ + "/" + rel; }

private slots:
    void init() {
        QVERIFY(dir_.isValid());
        root_ = dir_.path().toStdString() + "/home";
        fs::remove_all(root_);
        fs::create_directories(P("Pictures/Tethered/2026-12-10"));
        fs::create_directories(P("Pictures/Scans"));
        fs::create_directories(P("Music"));
        fs::permissions(dir_.path().toStdString(),
                        fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
    }

    void opensAtTheDestination() {
        auto d = Open(P("Pictures/Tethered/2026-12-10"));
        auto* tree = d->Tree();
        QCOMPARE(tree->SelectedPath(), P("Pictures/Tethered/2026-12-10"));
        QVERIFY(tree->FindItem(P("Pictures"))->isExpanded());
        QVERIFY(tree->FindItem(P("Pictures/Tethered"))->isExpanded());
        auto* label = d->findChild<QLabel*>("1104");
        QCOMPARE(label->toolTip().toStdString(), P("Pictures/Tethered/2026-12-10"));
        QCOMPARE(d->ChosenPath(), P("Pictures/Tethered/2026-12-10"));
        // Children in name order, case ignored.
        fs::create_directories(P("Pictures/alpha"));
        auto again = Open(P("Pictures"));
        auto* pictures = again->Tree()->FindItem(P("Pictures"));
        QCOMPARE(pictures->childCount(), 3);
        QCOMPARE(pictures->child(0)->text(0), QString("alpha"));
        QCOMPARE(pictures->child(1)->text(0), QString("Scans"));
        QCOMPARE(pictures->child(2)->text(0), QString("Tethered"));

        // A destination that does not exist starts at the default place.
        auto missing = Open(P("gone/away"));
        QVERIFY(missing->ChosenPath() != P("gone/away"));
    }

    void followsFoldersMadeAndRemovedOutside() {
        auto d = Open(P("Pictures"));
        d->show();
        auto* tree = d->Tree();
        QVERIFY(!tree->FindItem(P("Pictures/Outside")));
        fs::create_directory(P("Pictures/Outside"));
        QTRY_VERIFY_WITH_TIMEOUT(tree->FindItem(P("Pictures/Outside")) != nullptr, kWaitMs);
        // A file is not a folder: it never shows.
        std::ofstream(P("Pictures/notes.txt")) << "x";
        fs::remove(P("Pictures/Outside"));
        QTRY_VERIFY_WITH_TIMEOUT(tree->FindItem(P("Pictures/Outside")) == nullptr, kWaitMs);
        QVERIFY(!tree->FindItem(P("Pictures/notes.txt")));

        // The selected folder itself vanishes: its item goes, the path shown
        // follows the new selection.
        tree->SelectPath(P("Pictures/Scans"));
        fs::remove(P("Pictures/Scans"));
        QTRY_VERIFY_WITH_TIMEOUT(tree->FindItem(P("Pictures/Scans")) == nullptr, kWaitMs);
        QVERIFY(tree->SelectedPath() != P("Pictures/Scans"));
        QCOMPARE(d->findChild<QLabel*>("1104")->toolTip().toStdString(), tree->SelectedPath());
    }

    void watchesOnlyOpenFoldersAndStopsWhenClosed() {
        auto d = Open(P("Pictures"));
        auto* tree = d->Tree();
        QStringList watched = tree->WatchedFolders();
        watched.sort();
        QCOMPARE(watched, QStringList({QString::fromStdString(root_),
                                       QString::fromStdString(P("Pictures"))}));
        tree->FindItem(P("Pictures"))->setExpanded(false);
        QCOMPARE(tree->WatchedFolders(), QStringList({QString::fromStdString(root_)}));
        // Closed, a change is not followed; opened again, it shows.
        fs::create_directory(P("Pictures/WhileClosed"));
        tree->FindItem(P("Pictures"))->setExpanded(true);
        QVERIFY(tree->FindItem(P("Pictures/WhileClosed")));
        d->reject();
        QVERIFY(tree->WatchedFolders().isEmpty());
    }

    void bigFolderListsOnlyItself() {
        // In memory when the machine has it: ten thousand folders are made
        // and removed much faster there than on a disk.
        QTemporaryDir scratch(QDir("/dev/shm").exists()
                                  ? "/dev/shm/kvx-prefs-big-XXXXXX"
                                  : QDir::tempPath() + "/kvx-prefs-big-XXXXXX");
        QVERIFY(scratch.isValid());
        const std::string top = scratch.path().toStdString();
        const std::string big = top + "/Big";
        fs::create_directory(big);
        for (int i = 0; i < 10000; ++i) {
            const std::string sub = big + "/shot" + std::to_string(i);
            QVERIFY(::mkdir(sub.c_str(), 0755) == 0);
            if (i % 100 == 0) QVERIFY(::mkdir((sub + "/inner").c_str(), 0755) == 0);
        }
        CDialogFolder d(
            nullptr, top,
            std::vector<CFileTreeCtrlItemInfo>{{top, "Home", {}, CFileTreeCtrlItemInfo::kRoot}});
        auto* tree = d.Tree();
        const size_t listedBefore = tree->ListedFolders().size();
        auto* item = tree->FindItem(big);
        QVERIFY(item);
        item->setExpanded(true);
        QCOMPARE(item->childCount(), 10000);
        const std::vector<std::string> listed(tree->ListedFolders().begin() + listedBefore,
                                              tree->ListedFolders().end());
        QCOMPARE(listed, std::vector<std::string>{big});
        for (int i = 0; i < item->childCount(); ++i) {
            QVERIFY(item->child(i)->childCount() == 0);
            QVERIFY(!item->child(i)->isExpanded());
        }
        QCOMPARE(tree->WatchedFolders().size(), 2);  // the top and Big, nothing inside
    }

    void newFolderOnlyUnderTheSelectedOne() {
        auto d = Open(P("Pictures"));
        QString lastNotice;
        d->SetNoticeFunction([&lastNotice](const QString&, const QString& t) { lastNotice = t; });
        std::string answer = "Shots";
        d->SetAskName([&answer](const QString&) { return std::optional<std::string>(answer); });
        d->NewFolder();
        QVERIFY(fs::is_directory(P("Pictures/Shots")));
        QCOMPARE(d->Tree()->SelectedPath(), P("Pictures/Shots"));
        QVERIFY(lastNotice.isEmpty());
        d->findChild<QAbstractButton*>("1")->click();
        QCOMPARE(d->ChosenPath(), P("Pictures/Shots"));

        // The same name again, then names that would leave the folder: each
        // is explained, nothing is made, the selection stays.
        auto again = Open(P("Pictures"));
        again->SetNoticeFunction(
            [&lastNotice](const QString&, const QString& t) { lastNotice = t; });
        again->SetAskName([&answer](const QString&) { return std::optional<std::string>(answer); });
        for (const std::string bad : {"Shots", "../Escaped", "..", "a/b", "/tmp/x"}) {
            lastNotice.clear();
            answer = bad;
            again->NewFolder();
            QVERIFY2(!lastNotice.isEmpty(), bad.c_str());
            QCOMPARE(again->Tree()->SelectedPath(), P("Pictures"));
        }
        QVERIFY(lastNotice.size() > 0);
        QVERIFY(!fs::exists(P("Escaped")));
        QVERIFY(!fs::exists(P("Pictures/a")));
    }

    void newFolderWithoutRightIsExplained() {
        // Folder rights do not bind root: ctest runs this program a second
        // time as nobody (prefs_gui_unprivileged), where this case runs.
        if (::geteuid() == 0) QSKIP("runs in prefs_gui_unprivileged");
        auto d = Open(P("Music"));
        QString notice;
        d->SetNoticeFunction([&notice](const QString&, const QString& t) { notice = t; });
        d->SetAskName([](const QString&) { return std::optional<std::string>("Denied"); });
        fs::permissions(P("Music"), fs::perms::owner_read | fs::perms::owner_exec);
        d->NewFolder();
        fs::permissions(P("Music"), fs::perms::owner_all, fs::perm_options::add);
        QVERIFY2(notice.contains("no right"), qPrintable(notice));
        QVERIFY(!fs::exists(P("Music/Denied")));
        QCOMPARE(d->Tree()->SelectedPath(), P("Music"));
    }
};

int RunFolderPickerTests(int argc, char** argv) {
    FolderPickerTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "folder_picker_test.moc"
