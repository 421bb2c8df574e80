#include "prefs/dialog_folder.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "gdip_button.h"
#include "prefs/dialog_new_folder.h"
#include "prefs/preference_rules.h"

namespace kvx::prefs {

namespace {

std::string HomeFolder() {
    const QByteArray home = QFile::encodeName(QDir::homePath());
    return std::string(home.constData(), home.size());
}

QString Shown(const std::string& path) {
    return QFile::decodeName(QByteArray(path.data(), static_cast<int>(path.size())));
}

}  // namespace

CDialogFolder::CDialogFolder(QWidget* parent, const std::string& initialPath,
                             std::vector<CFileTreeCtrlItemInfo> roots)
    : CPictureDialog(parent, kBackground, "Select Folder") {
    auto* newFolder = AddTextButton(1102, "New Folder", QRect(20, 7, 109, 22), PanelColour());
    AddLabel(1109, "Folders", QRect(16, 38, 200, 16));
    tree_ = new CFileTreeCtrl(this);  // owned by the dialog
    tree_->setObjectName("1101");
    tree_->setGeometry(11, 64, 270, 219);
    tree_->SetColours(CFileTreeCtrl::BackgroundColour(), Qt::white);
    AddLabel(1103, "Destination Folder", QRect(20, 308, 200, 16));
    pathLabel_ = AddLabel(1104, {}, QRect(20, 325, 260, 16));
    auto* ok = AddTextButton(1, "OK", QRect(23, 355, 109, 22), ButtonBarColour());
    auto* cancel = AddTextButton(2, "Cancel", QRect(155, 355, 109, 22), ButtonBarColour());

    connect(tree_, &CFileTreeCtrl::selectedPathChanged, this, &CDialogFolder::ShowPath);
    connect(newFolder, &QAbstractButton::clicked, this, &CDialogFolder::NewFolder);
    connect(ok, &QAbstractButton::clicked, this, [this] {
        const std::string selected = tree_->SelectedPath();
        if (!selected.empty()) chosen_ = selected;
        accept();
    });
    connect(cancel, &QAbstractButton::clicked, this, &QDialog::reject);

    askName_ = [this](const QString& folder) -> std::optional<std::string> {
        CDialogNewFolder ask(this, folder);
        if (ask.exec() != QDialog::Accepted) return std::nullopt;
        return ask.Name();
    };

    tree_->SetRoots(roots.empty() ? CFileTreeCtrl::DefaultRoots() : roots);
    std::error_code ec;
    chosen_ = !initialPath.empty() && std::filesystem::is_directory(initialPath, ec) ? initialPath
                                                                                     : HomeFolder();
    if (!tree_->SelectPath(chosen_) && tree_->topLevelItemCount() > 0 && !tree_->currentItem())
        tree_->setCurrentItem(tree_->topLevelItem(0));
    ShowPath(Shown(tree_->SelectedPath()));
    tree_->setFocus();
}

CDialogFolder::~CDialogFolder() {
    tree_->StopMonitoring();
}

void CDialogFolder::ShowPath(const QString& path) {
    pathLabel_->setText(pathLabel_->fontMetrics().elidedText(path, Qt::ElideMiddle, 260));
    pathLabel_->setToolTip(path);
}

QString CDialogFolder::FailureText(int err, const std::string& parent,
                                   const std::string& name) const {
    const QString where = Shown(parent);
    const QString what = QString::fromStdString(name);
    switch (err) {
        case EACCES:
        case EPERM:
            return QString("You have no right to create a folder in %1.").arg(where);
        case EEXIST:
            return QString("%1 already exists in %2.").arg(what, where);
        case EROFS:
            return QString("%1 is on a volume that cannot be written.").arg(where);
        case ENOSPC:
        case EDQUOT:
            return QString("There is no room left for a new folder in %1.").arg(where);
        case ENOENT:
        case ENOTDIR:
            return QString("The folder %1 no longer exists.").arg(where);
        case EINVAL: {
            auto problem = CPreferenceRules::FolderNameProblem(name);
            if (problem) return QString::fromStdString(*problem);
            return QString("A folder cannot be created in %1.").arg(where);
        }
        default:
            return QString("The folder %1 could not be created in %2: %3.")
                .arg(what, where, QString::fromLocal8Bit(std::strerror(err)));
    }
}

void CDialogFolder::NewFolder() {
    QTreeWidgetItem* parent = tree_->currentItem();
    const std::string parentPath = tree_->SelectedPath();
    if (!parent || parentPath.empty()) {
        Notice("Select the folder in which the new folder is to be made.");
        return;
    }
    const auto name = askName_(Shown(parentPath));
    if (!name || name->empty()) return;
    const int err = tree_->CreateFolder(parent, *name);
    if (err != 0) Notice(FailureText(err, parentPath, *name));
}

void CDialogFolder::done(int result) {
    tree_->StopMonitoring();
    QDialog::done(result);
}

}  // namespace kvx::prefs
