#include "prefs/folder_lister.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

#include "prefs/preference_rules.h"

namespace kvx::prefs {

namespace {

struct DirCloser {
    void operator()(DIR* d) const { ::closedir(d); }
};

}  // namespace

std::optional<std::vector<std::string>> CFolderLister::Subfolders(const std::string& path) {
    std::unique_ptr<DIR, DirCloser> dir(::opendir(path.c_str()));
    if (!dir) return std::nullopt;
    const int fd = ::dirfd(dir.get());
    std::vector<std::string> names;
    while (const dirent* e = ::readdir(dir.get())) {
        const std::string name = e->d_name;
        if (name.empty() || name[0] == '.') continue;  // ".", ".." and hidden folders
        bool folder = e->d_type == DT_DIR;
        if (e->d_type == DT_LNK || e->d_type == DT_UNKNOWN) {
            // Only this entry is looked at, never its contents.
            struct stat st {};
            folder = ::fstatat(fd, e->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
        }
        if (folder) names.push_back(name);
    }
    return names;
}

int CFolderLister::MakeFolder(const std::string& parent, const std::string& name) {
    if (parent.empty() || CPreferenceRules::FolderNameProblem(name)) return EINVAL;
    // Relative to the parent's own descriptor: a name that passed the check
    // is one component, so the folder is made there and nowhere else.
    const int fd = ::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno;
    const int rc = ::mkdirat(fd, name.c_str(), 0777);
    const int err = rc == 0 ? 0 : errno;
    ::close(fd);
    return err;
}

std::string CFolderLister::Join(const std::string& parent, const std::string& name) {
    if (parent.empty() || parent.back() == '/') return parent + name;
    return parent + "/" + name;
}

}  // namespace kvx::prefs
