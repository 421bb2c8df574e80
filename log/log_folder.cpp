#include "log_folder.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>

namespace kvx::log {

std::string StateFolder() {
    std::string base;
    if (const char* xdg = std::getenv("XDG_STATE_HOME"); xdg && xdg[0] == '/') {
        base = xdg;
    } else {
        // Relative values are invalid for the base directory variables and are ignored.
        const char* home = std::getenv("HOME");
        base = std::string(home && *home ? home : "/tmp") + "/.local/state";
    }
    if (base.size() > 1 && base.back() == '/') base.pop_back();
    return base + "/VARNO/Varno_Kolvex/";
}

std::string ChooseLogFolder(const std::string& executableFolder) {
    const bool systemFolder =
        executableFolder.rfind("/usr/", 0) == 0 || executableFolder.rfind("/opt/", 0) == 0;
    if (!systemFolder && !executableFolder.empty() &&
        ::faccessat(AT_FDCWD, executableFolder.c_str(), W_OK, AT_EACCESS) == 0)
        return executableFolder;
    return StateFolder();
}

}  // namespace kvx::log
