#include "prefs/file_tree_ctrl.h"

#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QStyle>
#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "prefs/folder_lister.h"
#include "prefs/preference_rules.h"

namespace kvx::prefs {

namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kKindRole = Qt::UserRole + 1;
constexpr int kNetworkRole = Qt::UserRole + 2;
constexpr int kListedRole = Qt::UserRole + 3;

// Changes on disk often come in bursts (a copy making many folders): the
// branch is listed again once they have settled for this long.
constexpr int kRefreshDelayMs = 60;

QByteArray Bytes(const std::string& s) {
    return QByteArray(s.data(), static_cast<int>(s.size()));
}
std::string FromBytes(const QByteArray& b) {
    return std::string(b.constData(), b.size());
}
// File names are bytes; shown as the locale (UTF-8) reads them.
QString Shown(const std::string& name) {
    return QFile::decodeName(Bytes(name));
}

std::string Clean(const std::string& path) {
    std::string out = std::filesystem::path(path).lexically_normal().string();
    while (out.size() > 1 && out.back() == '/') out.pop_back();
    return out;
}

std::string LastComponent(const std::string& path) {
    auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Items of kind 5 after every other kind; otherwise by name, case ignored.
bool Before(int kindA, const QString& a, int kindB, const QString& b) {
    const bool folderA = kindA == CFileTreeCtrlItemInfo::kFolder;
    const bool folderB = kindB == CFileTreeCtrlItemInfo::kFolder;
    if (folderA != folderB) return folderB;
    const int c = a.compare(b, Qt::CaseInsensitive);
    return c != 0 ? c < 0 : a < b;
}

}  // namespace

CFileTreeCtrl::CFileTreeCtrl(QWidget* parent) : QTreeWidget(parent), watcher_(this) {
    setHeaderHidden(true);
    setColumnCount(1);
    setUniformRowHeights(true);  // keeps a branch of thousands of rows fast
    setSelectionMode(QAbstractItemView::SingleSelection);
    setFrameShape(QFrame::NoFrame);
    refreshTimer_.setSingleShot(true);
    refreshTimer_.setInterval(kRefreshDelayMs);
    connect(&refreshTimer_, &QTimer::timeout, this, &CFileTreeCtrl::RefreshPending);
    connect(this, &QTreeWidget::itemExpanded, this, &CFileTreeCtrl::OnExpanded);
    connect(this, &QTreeWidget::itemCollapsed, this, &CFileTreeCtrl::OnCollapsed);
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this,
            &CFileTreeCtrl::OnDirectoryChanged);
    connect(this, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        emit selectedPathChanged(item ? Shown(InfoOf(item).path) : QString());
    });
    SetColours(BackgroundColour(), Qt::white);
    folderIcon_ = style()->standardIcon(QStyle::SP_DirIcon);
    driveIcon_ = style()->standardIcon(QStyle::SP_DriveHDIcon);
    networkIcon_ = style()->standardIcon(QStyle::SP_DriveNetIcon);
    homeIcon_ = style()->standardIcon(QStyle::SP_DirHomeIcon);
}

CFileTreeCtrl::~CFileTreeCtrl() {
    StopMonitoring();
}

std::vector<CFileTreeCtrlItemInfo> CFileTreeCtrl::DefaultRoots(
    const std::string& home, const std::vector<MountEntry>& mounts) {
    std::vector<CFileTreeCtrlItemInfo> roots;
    if (!home.empty()) roots.push_back({Clean(home), "Home", {}, CFileTreeCtrlItemInfo::kRoot});
    roots.push_back({"/", "File System", {}, CFileTreeCtrlItemInfo::kDrive});
    std::vector<CFileTreeCtrlItemInfo> volumes, network;
    for (const MountEntry& m : mounts) {
        if (CMountTable::IsVolume(m)) {
            volumes.push_back({Clean(m.mountPoint),
                               Shown(LastComponent(Clean(m.mountPoint))),
                               {},
                               CFileTreeCtrlItemInfo::kDrive});
        } else if (CMountTable::IsNetworkType(m.type)) {
            network.push_back(
                {Clean(m.mountPoint),
                 Shown(LastComponent(Clean(m.mountPoint))) + " (" + Shown(m.device) + ")", m.device,
                 CFileTreeCtrlItemInfo::kNetwork});
        }
    }
    auto byName = [](const CFileTreeCtrlItemInfo& a, const CFileTreeCtrlItemInfo& b) {
        return a.displayName.compare(b.displayName, Qt::CaseInsensitive) < 0;
    };
    std::sort(volumes.begin(), volumes.end(), byName);
    std::sort(network.begin(), network.end(), byName);
    roots.insert(roots.end(), volumes.begin(), volumes.end());
    roots.insert(roots.end(), network.begin(), network.end());
    return roots;
}

std::vector<CFileTreeCtrlItemInfo> CFileTreeCtrl::DefaultRoots() {
    return DefaultRoots(FromBytes(QFile::encodeName(QDir::homePath())), CMountTable::Read());
}

QTreeWidgetItem* CFileTreeCtrl::NewItem(const CFileTreeCtrlItemInfo& info) const {
    auto* item = new QTreeWidgetItem;  // owned by the tree once inserted
    item->setText(0, info.displayName);
    item->setData(0, kPathRole, Bytes(info.path));
    item->setData(0, kKindRole, info.kind);
    if (!info.networkResource.empty()) {
        item->setData(0, kNetworkRole, Bytes(info.networkResource));
        item->setToolTip(0, Shown(info.networkResource));
    }
    item->setData(0, kListedRole, false);
    // Whether it has subfolders is known only once it is opened.
    item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    const QIcon* icon = &folderIcon_;
    if (info.kind == CFileTreeCtrlItemInfo::kDrive) icon = &driveIcon_;
    if (info.kind == CFileTreeCtrlItemInfo::kNetwork) icon = &networkIcon_;
    if (info.kind == CFileTreeCtrlItemInfo::kRoot && info.displayName == "Home") icon = &homeIcon_;
    item->setIcon(0, *icon);  // shared: a branch of thousands loads no picture per row
    return item;
}

CFileTreeCtrlItemInfo CFileTreeCtrl::InfoOf(const QTreeWidgetItem* item) {
    CFileTreeCtrlItemInfo info;
    if (!item) return info;
    info.path = FromBytes(item->data(0, kPathRole).toByteArray());
    info.displayName = item->text(0);
    info.networkResource = FromBytes(item->data(0, kNetworkRole).toByteArray());
    info.kind = item->data(0, kKindRole).toInt();
    return info;
}

void CFileTreeCtrl::SetRoots(const std::vector<CFileTreeCtrlItemInfo>& roots) {
    StopMonitoring();
    monitoring_ = true;
    clear();
    QList<QTreeWidgetItem*> items;
    for (const auto& r : roots) items.push_back(NewItem(r));
    addTopLevelItems(items);
}

void CFileTreeCtrl::SetColours(const QColor& background, const QColor& text) {
    QPalette pal = palette();
    pal.setColor(QPalette::Base, background);
    pal.setColor(QPalette::Window, background);
    pal.setColor(QPalette::Text, text);
    pal.setColor(QPalette::WindowText, text);
    pal.setColor(QPalette::Highlight, QColor(226, 150, 58));
    pal.setColor(QPalette::HighlightedText, QColor(20, 20, 20));
    setPalette(pal);
    viewport()->setAutoFillBackground(true);
    // The scroll bar in the program's dark colours rather than the desktop's.
    setStyleSheet(QString("QScrollBar:vertical, QScrollBar:horizontal { background: %1; }"
                          "QScrollBar::handle { background: rgb(96, 94, 90); border-radius: 3px;"
                          " min-height: 24px; min-width: 24px; margin: 2px; }"
                          "QScrollBar::add-line, QScrollBar::sub-line { width: 0; height: 0; }"
                          "QScrollBar::add-page, QScrollBar::sub-page { background: none; }")
                      .arg(background.darker(130).name()));
}

QTreeWidgetItem* CFileTreeCtrl::ChildNamed(QTreeWidgetItem* item, const QString& name) const {
    for (int i = 0; i < item->childCount(); ++i) {
        QTreeWidgetItem* c = item->child(i);
        if (LastComponent(InfoOf(c).path) == FromBytes(QFile::encodeName(name))) return c;
    }
    return nullptr;
}

int CFileTreeCtrl::InsertPosition(QTreeWidgetItem* parent, const QString& name, int kind) const {
    int lo = 0, hi = parent->childCount();
    while (lo < hi) {
        const int mid = (lo + hi) / 2;
        const QTreeWidgetItem* c = parent->child(mid);
        if (Before(c->data(0, kKindRole).toInt(), c->text(0), kind, name))
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

bool CFileTreeCtrl::Refresh(QTreeWidgetItem* item) {
    const std::string path = InfoOf(item).path;
    listed_.push_back(path);
    auto names = CFolderLister::Subfolders(path);
    if (!names) return false;
    item->setData(0, kListedRole, true);

    // What is shown and is gone from disk goes; what is new comes in, in order.
    std::unordered_map<std::string, bool> onDisk;
    onDisk.reserve(names->size());
    for (const auto& n : *names) onDisk.emplace(n, false);
    for (int i = item->childCount() - 1; i >= 0; --i) {
        QTreeWidgetItem* c = item->child(i);
        auto it = onDisk.find(LastComponent(InfoOf(c).path));
        if (it == onDisk.end()) {
            // Kept if it still exists, which a hidden folder selected on
            // purpose does; gone otherwise.
            std::error_code ec;
            if (!std::filesystem::is_directory(InfoOf(c).path, ec)) RemoveItem(c);
        } else {
            it->second = true;
        }
    }
    std::vector<QTreeWidgetItem*> fresh;
    for (const auto& [name, shown] : onDisk) {
        if (shown) continue;
        fresh.push_back(NewItem(
            {CFolderLister::Join(path, name), Shown(name), {}, CFileTreeCtrlItemInfo::kFolder}));
    }
    if (item->childCount() == 0) {
        // The first listing: sort once and insert everything in one step.
        std::sort(fresh.begin(), fresh.end(), [](QTreeWidgetItem* a, QTreeWidgetItem* b) {
            return Before(CFileTreeCtrlItemInfo::kFolder, a->text(0),
                          CFileTreeCtrlItemInfo::kFolder, b->text(0));
        });
        item->addChildren(QList<QTreeWidgetItem*>(fresh.begin(), fresh.end()));
    } else {
        for (QTreeWidgetItem* c : fresh)
            item->insertChild(InsertPosition(item, c->text(0), CFileTreeCtrlItemInfo::kFolder), c);
    }
    item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
    return true;
}

void CFileTreeCtrl::Watch(QTreeWidgetItem* item) {
    if (!monitoring_) return;
    const std::string path = InfoOf(item).path;
    watched_[path] = item;
    if (!watcher_.directories().contains(Shown(path))) watcher_.addPath(Shown(path));
}

void CFileTreeCtrl::Unwatch(QTreeWidgetItem* item) {
    const std::string path = InfoOf(item).path;
    auto it = watched_.find(path);
    if (it == watched_.end() || it->second != item) return;
    watched_.erase(it);
    watcher_.removePath(Shown(path));
}

void CFileTreeCtrl::ForgetSubtree(QTreeWidgetItem* item) {
    for (int i = 0; i < item->childCount(); ++i) ForgetSubtree(item->child(i));
    Unwatch(item);
}

void CFileTreeCtrl::RemoveItem(QTreeWidgetItem* item) {
    ForgetSubtree(item);
    delete item;  // a tree item's owner is its parent; deleting detaches it
}

void CFileTreeCtrl::OnExpanded(QTreeWidgetItem* item) {
    // Listed again on every opening: what changed while it was closed shows.
    Refresh(item);
    Watch(item);
}

void CFileTreeCtrl::OnCollapsed(QTreeWidgetItem* item) {
    // Closed branches are not watched: close what is open below too.
    for (int i = 0; i < item->childCount(); ++i) {
        if (item->child(i)->isExpanded()) item->child(i)->setExpanded(false);
    }
    Unwatch(item);
}

void CFileTreeCtrl::OnDirectoryChanged(const QString& path) {
    if (!monitoring_) return;
    pending_.insert(path);
    refreshTimer_.start();
}

void CFileTreeCtrl::RefreshPending() {
    const QSet<QString> paths = std::exchange(pending_, {});
    for (const QString& p : paths) {
        auto it = watched_.find(FromBytes(QFile::encodeName(p)));
        if (it == watched_.end()) continue;  // collapsed or removed meanwhile
        QTreeWidgetItem* item = it->second;
        std::error_code ec;
        if (!std::filesystem::is_directory(it->first, ec)) {
            // The folder itself is gone: so is its branch.
            QTreeWidgetItem* parent = item->parent();
            if (parent || indexOfTopLevelItem(item) < 0) {
                RemoveItem(item);
            } else {
                Unwatch(item);
            }
            emit branchRefreshed(p);
            continue;
        }
        Refresh(item);
        // An inotify watch ends with its folder; a folder replaced under the
        // same name needs a new one.
        if (!watcher_.directories().contains(p)) watcher_.addPath(p);
        emit branchRefreshed(p);
    }
}

void CFileTreeCtrl::StopMonitoring() {
    monitoring_ = false;
    refreshTimer_.stop();
    pending_.clear();
    watched_.clear();
    const QStringList dirs = watcher_.directories();
    if (!dirs.isEmpty()) watcher_.removePaths(dirs);
}

std::string CFileTreeCtrl::SelectedPath() const {
    return InfoOf(currentItem()).path;
}

QTreeWidgetItem* CFileTreeCtrl::TopItemFor(const std::string& path, size_t& rootLength) const {
    QTreeWidgetItem* best = nullptr;
    rootLength = 0;
    for (int i = 0; i < topLevelItemCount(); ++i) {
        QTreeWidgetItem* top = topLevelItem(i);
        const std::string root = InfoOf(top).path;
        const bool under =
            path == root || (path.rfind(root, 0) == 0 && (root == "/" || path[root.size()] == '/'));
        if (under && (best == nullptr || root.size() > rootLength)) {
            best = top;
            rootLength = root.size();
        }
    }
    return best;
}

std::vector<std::string> CFileTreeCtrl::Components(const std::string& rest) {
    std::vector<std::string> out;
    size_t pos = 0;
    while (pos < rest.size()) {
        const size_t end = std::min(rest.find('/', pos), rest.size());
        if (end > pos) out.push_back(rest.substr(pos, end - pos));
        pos = end + 1;
    }
    return out;
}

QTreeWidgetItem* CFileTreeCtrl::FindItem(const std::string& wanted) const {
    const std::string path = Clean(wanted);
    size_t rootLength = 0;
    QTreeWidgetItem* item = TopItemFor(path, rootLength);
    for (const std::string& name : Components(path.substr(std::min(rootLength, path.size())))) {
        if (!item) break;
        item = ChildNamed(item, Shown(name));
    }
    return item;
}

bool CFileTreeCtrl::SelectPath(const std::string& wanted) {
    const std::string path = Clean(wanted);
    size_t rootLength = 0;
    QTreeWidgetItem* item = TopItemFor(path, rootLength);
    if (!item) return false;
    bool found = true;
    for (const std::string& name : Components(path.substr(rootLength))) {
        item->setExpanded(true);  // lists it
        QTreeWidgetItem* child = ChildNamed(item, Shown(name));
        if (!child) {
            // A hidden folder is not listed, but may be chosen.
            const std::string full = CFolderLister::Join(InfoOf(item).path, name);
            std::error_code ec;
            if (!std::filesystem::is_directory(full, ec)) {
                found = false;
                break;
            }
            child = NewItem({full, Shown(name), {}, CFileTreeCtrlItemInfo::kFolder});
            item->insertChild(InsertPosition(item, child->text(0), CFileTreeCtrlItemInfo::kFolder),
                              child);
        }
        item = child;
    }
    setCurrentItem(item);
    if (found) item->setExpanded(true);
    scrollToItem(item);
    return found;
}

int CFileTreeCtrl::CreateFolder(QTreeWidgetItem* parent, const std::string& name) {
    if (!parent) return EINVAL;
    const std::string parentPath = InfoOf(parent).path;
    if (CPreferenceRules::FolderNameProblem(name)) return EINVAL;
    const int err = CFolderLister::MakeFolder(parentPath, name);
    if (err != 0) return err;
    parent->setExpanded(true);
    Refresh(parent);  // the watcher will tell too; listing again is harmless
    QTreeWidgetItem* child = ChildNamed(parent, Shown(name));
    if (child) {
        // Made through the tree: it goes before the listed folders, where
        // the user sees it.
        parent->takeChild(parent->indexOfChild(child));
        child->setData(0, kKindRole, CFileTreeCtrlItemInfo::kRoot);
        parent->insertChild(InsertPosition(parent, child->text(0), CFileTreeCtrlItemInfo::kRoot),
                            child);
        setCurrentItem(child);
        scrollToItem(child);
    }
    return 0;
}

}  // namespace kvx::prefs
