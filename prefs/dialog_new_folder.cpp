#include "prefs/dialog_new_folder.h"

#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>

#include "gdip_button.h"
#include "prefs/preference_rules.h"

namespace kvx::prefs {

CDialogNewFolder::CDialogNewFolder(QWidget* parent, const QString& currentFolder)
    : CPictureDialog(parent, kBackground, "New Folder") {
    AddLabel(1105, "Current Folder:", QRect(22, 14, 200, 16));
    QLabel* folder = AddLabel(1106, {}, QRect(22, 31, 250, 16));
    folder->setText(folder->fontMetrics().elidedText(currentFolder, Qt::ElideMiddle, 250));
    folder->setToolTip(currentFolder);
    AddLabel(1107, "Name:", QRect(6, 59, 70, 16))->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    edit_ = AddEdit(1108, QRect(93, 53, 189, 20));
    edit_->setMaxLength(static_cast<int>(CPreferenceRules::kFolderNameChars));
    auto* ok = AddTextButton(1, "OK", QRect(27, 111, 109, 22), ButtonBarColour());
    auto* cancel = AddTextButton(2, "Cancel", QRect(155, 111, 109, 22), ButtonBarColour());
    connect(ok, &QAbstractButton::clicked, this, [this] { TryAccept(); });
    connect(cancel, &QAbstractButton::clicked, this, &QDialog::reject);
    connect(edit_, &QLineEdit::returnPressed, this, [this] { TryAccept(); });
    edit_->setFocus();
}

bool CDialogNewFolder::TryAccept() {
    const std::string name = edit_->text().toStdString();
    if (auto problem = CPreferenceRules::FolderNameProblem(name)) {
        Notice(QString::fromStdString(*problem));
        return false;
    }
    name_ = name;
    accept();
    return true;
}

}  // namespace kvx::prefs
