// CFileTreeCtrl: the folder tree of the folder picker. At the top: the
// user's home folder, the file system root, mounted volumes and mounted
// network file systems. A folder's subfolders are listed only when it is
// expanded, and only that folder is read, so a folder of many thousand
// entries opens at once and nothing ever walks a whole disk.
//
// While it is shown the tree follows the file system: each expanded folder
// is watched (that folder alone, not its subtree) and its branch is brought
// up to date when folders appear in it or vanish. Collapsing a folder stops
// watching it and everything below it; StopMonitoring stops all of it.
#pragma once

#include <QFileSystemWatcher>
#include <QIcon>
#include <QSet>
#include <QTimer>
#include <QTreeWidget>
#include <string>
#include <unordered_map>
#include <vector>

#include "prefs/file_tree_ctrl_item_info.h"
#include "prefs/mount_table.h"

namespace kvx::prefs {

class CFileTreeCtrl : public QTreeWidget {
    Q_OBJECT
public:
    // The tree's background and text.
    static QColor BackgroundColour() { return {62, 60, 58}; }

    explicit CFileTreeCtrl(QWidget* parent = nullptr);
    ~CFileTreeCtrl() override;

    // The top items for a home folder and a mount table: "Home", the file
    // system root, each volume under /media, /run/media or /mnt, then each
    // network file system.
    static std::vector<CFileTreeCtrlItemInfo> DefaultRoots(const std::string& home,
                                                           const std::vector<MountEntry>& mounts);
    static std::vector<CFileTreeCtrlItemInfo> DefaultRoots();

    // Replaces the whole tree by these top items (none of them listed yet).
    void SetRoots(const std::vector<CFileTreeCtrlItemInfo>& roots);

    // Selects the folder of path, expanding the items on the way and the
    // folder itself. False when path is not under any top item or a folder
    // on the way does not exist; the selection then stays where it got.
    bool SelectPath(const std::string& path);
    // Full path of the selected item; empty when none is selected.
    std::string SelectedPath() const;
    // The item of a path among the items listed so far, or null.
    QTreeWidgetItem* FindItem(const std::string& path) const;
    static CFileTreeCtrlItemInfo InfoOf(const QTreeWidgetItem* item);

    // Makes the folder name directly inside the folder of parent, then
    // shows and selects it. 0 on success, else the errno of the failure
    // (EINVAL for a name CPreferenceRules refuses); nothing changes then.
    int CreateFolder(QTreeWidgetItem* parent, const std::string& name);

    void SetColours(const QColor& background, const QColor& text);

    // Folders watched now (the expanded ones).
    QStringList WatchedFolders() const { return watcher_.directories(); }
    // Every folder whose entries were listed since the tree was built.
    const std::vector<std::string>& ListedFolders() const { return listed_; }
    // Stops watching everything; the tree keeps what it shows.
    void StopMonitoring();

signals:
    void selectedPathChanged(const QString& path);
    // A branch was brought up to date after a change on disk.
    void branchRefreshed(const QString& path);

private:
    void OnExpanded(QTreeWidgetItem* item);
    void OnCollapsed(QTreeWidgetItem* item);
    void OnDirectoryChanged(const QString& path);
    void RefreshPending();

    QTreeWidgetItem* NewItem(const CFileTreeCtrlItemInfo& info) const;
    // Lists the item's folder and makes its children match; false when the
    // folder could not be listed.
    bool Refresh(QTreeWidgetItem* item);
    void Watch(QTreeWidgetItem* item);
    void Unwatch(QTreeWidgetItem* item);
    // Removes an item and forgets every watch below it.
    void RemoveItem(QTreeWidgetItem* item);
    void ForgetSubtree(QTreeWidgetItem* item);
    QTreeWidgetItem* ChildNamed(QTreeWidgetItem* item, const QString& name) const;
    int InsertPosition(QTreeWidgetItem* parent, const QString& name, int kind) const;
    // The top item whose folder holds path most closely, and its path length.
    QTreeWidgetItem* TopItemFor(const std::string& path, size_t& rootLength) const;
    static std::vector<std::string> Components(const std::string& rest);

    QIcon folderIcon_, driveIcon_, networkIcon_, homeIcon_;
    QFileSystemWatcher watcher_;
    std::unordered_map<std::string, QTreeWidgetItem*> watched_;
    QSet<QString> pending_;
    QTimer refreshTimer_;
    std::vector<std::string> listed_;
    bool monitoring_ = true;
};

}  // namespace kvx::prefs
