// CDialogFolder: the folder picker. Shows the folder tree and the full path
// of the selected folder, makes new folders under the selected one, and on
// OK gives the folder selected at that moment.
//
//   CDialogFolder picker(parent, currentPath);   // starts there if it exists
//   if (picker.exec() == QDialog::Accepted) use(picker.ChosenPath());
//
// Watching the expanded folders stops when the dialog ends, however it ends.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "prefs/file_tree_ctrl.h"
#include "prefs/picture_dialog.h"

class QLabel;

namespace kvx::prefs {

class CDialogFolder : public CPictureDialog {
    Q_OBJECT
public:
    static constexpr int kBackground = 154;

    // Asks for a new folder's name in the given folder; none when cancelled.
    // The default runs CDialogNewFolder.
    using AskName = std::function<std::optional<std::string>(const QString& folder)>;

    // roots: the tree's top items; empty: CFileTreeCtrl::DefaultRoots().
    CDialogFolder(QWidget* parent, const std::string& initialPath,
                  std::vector<CFileTreeCtrlItemInfo> roots = {});
    ~CDialogFolder() override;

    // The folder chosen: the tree's selection when OK was pressed, before
    // that the starting folder.
    const std::string& ChosenPath() const { return chosen_; }
    CFileTreeCtrl* Tree() const { return tree_; }
    void SetAskName(AskName ask) { askName_ = std::move(ask); }

    // The New Folder button: asks for a name and makes the folder under the
    // selected one. A failure is explained; the selection then stays.
    void NewFolder();

    void done(int result) override;

private:
    void ShowPath(const QString& path);
    QString FailureText(int err, const std::string& parent, const std::string& name) const;

    CFileTreeCtrl* tree_ = nullptr;
    QLabel* pathLabel_ = nullptr;
    std::string chosen_;
    AskName askName_;
};

}  // namespace kvx::prefs
