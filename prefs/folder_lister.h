// The file system work of the folder tree: the subfolders of one folder
// (never deeper), and making one new folder inside a given one.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kvx::prefs {

class CFolderLister {
public:
    // Names of the folders directly inside path (symbolic links to folders
    // included, hidden ones left out), unsorted; none when path cannot be
    // listed. Only path itself is read: nothing below it is opened.
    static std::optional<std::vector<std::string>> Subfolders(const std::string& path);

    // Makes the folder name inside parent and nowhere else: the name must
    // pass CPreferenceRules::FolderNameProblem. 0 on success, else the errno
    // of the failure (EINVAL for a refused name).
    static int MakeFolder(const std::string& parent, const std::string& name);

    // parent joined with name by one separator.
    static std::string Join(const std::string& parent, const std::string& name);
};

}  // namespace kvx::prefs
