// What each item of the folder tree stands for.
#pragma once

#include <QString>
#include <string>

namespace kvx::prefs {

struct CFileTreeCtrlItemInfo {
    enum Kind {
        kNetwork = 1,  // a mounted network file system
        kFolder = 5,   // a folder found by listing its parent
        kRoot = 6,     // one of the user's folders at the top, or a folder made through the tree
        kDrive = 7,    // the file system root or a mounted volume
        kUnset = 8
    };

    std::string path;             // full path, no trailing separator (except "/")
    QString displayName;          // what the tree shows
    std::string networkResource;  // network items: the mounted resource ("nas:/photos")
    int kind = kUnset;
};

}  // namespace kvx::prefs
