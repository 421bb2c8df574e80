// kvx-prefs-gallery OUTDIR: renders the preferences dialog (renaming on, and
// with only the card chosen), the folder picker on a sample folder tree and
// the new folder dialog, filled with realistic values, into PNG files.
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QSaveFile>
#include <QTemporaryDir>
#include <cstdio>

#include "engine/app_settings.h"
#include "prefs/dialog_folder.h"
#include "prefs/dialog_new_folder.h"
#include "prefs/dialog_preference.h"

namespace {

bool Save(QWidget& w, const QString& path) {
    w.show();
    QCoreApplication::processEvents();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !w.grab().save(&file, "PNG") || !file.commit()) {
        std::fprintf(stderr, "kvx-prefs-gallery: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    w.hide();
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: kvx-prefs-gallery OUTDIR\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QTemporaryDir scratch;
    if (!scratch.isValid()) return 1;
    // A small home of a photographer: the picker shows this, not the
    // machine's own folders.
    const QString home = scratch.filePath("anna");
    const QString shoot = home + "/Pictures/Tethered/2026-12-10 Studio";
    for (const QString& d :
         {shoot, home + "/Pictures/Tethered/2026-11-28 Portraits",
          home + "/Pictures/Tethered/2026-12-02 Products", home + "/Pictures/Tethered/Archive",
          home + "/Pictures/Scans", home + "/Desktop", home + "/Documents", home + "/Music",
          home + "/Videos", scratch.filePath("media/CARD_A/DCIM"),
          scratch.filePath("net/photos/Clients")})
        QDir().mkpath(d);
    const std::string h = home.toStdString();
    std::vector<kvx::prefs::CFileTreeCtrlItemInfo> roots = {
        {h, "Home", {}, kvx::prefs::CFileTreeCtrlItemInfo::kRoot},
        {"/", "File System", {}, kvx::prefs::CFileTreeCtrlItemInfo::kDrive},
        {scratch.filePath("media/CARD_A").toStdString(),
         "CARD_A",
         {},
         kvx::prefs::CFileTreeCtrlItemInfo::kDrive},
        {scratch.filePath("net/photos").toStdString(), "photos (nas:/volume1/photos)",
         "nas:/volume1/photos", kvx::prefs::CFileTreeCtrlItemInfo::kNetwork}};

    kvx::engine::AppSettings settings;
    settings.reviewType = 2;
    settings.reviewSoft = "/usr/local/bin/picture-viewer";
    settings.inCamera = 1;
    settings.inPC = 1;
    settings.path = shoot.toStdString();
    settings.rename = 1;
    settings.prefix = "STUDIO_";
    settings.startNum = "10042";
    settings.columns = "5";
    const std::string file = scratch.filePath("Varno_Kolvex.ini").toStdString();
    bool ok = true;
    {
        kvx::prefs::CDialogPreference dlg(nullptr, settings, file,
                                          std::string("/opt/varno/dravel/bin/dravel"));
        ok &= Save(dlg, out.filePath("prefs_preferences.png"));
    }
    {
        kvx::engine::AppSettings cardOnly = settings;
        cardOnly.inPC = 0;
        cardOnly.reviewType = 1;
        kvx::prefs::CDialogPreference dlg(nullptr, cardOnly, file, std::nullopt);
        ok &= Save(dlg, out.filePath("prefs_preferences_card_only.png"));
    }
    {
        kvx::prefs::CDialogFolder dlg(nullptr, shoot.toStdString(), roots);
        ok &= Save(dlg, out.filePath("prefs_folder_picker.png"));
    }
    {
        kvx::prefs::CDialogNewFolder dlg(nullptr, shoot);
        dlg.NameEdit()->setText("Retouch selects");
        ok &= Save(dlg, out.filePath("prefs_new_folder.png"));
    }
    return ok ? 0 : 1;
}
