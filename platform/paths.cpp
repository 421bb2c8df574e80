#include "paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

namespace kvx {

std::string LocalAppDataFolder() {
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) return xdg;
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : "/tmp") + "/.local/share";
}

std::string RuntimeFolder() {
    if (const char* xdg = std::getenv("XDG_RUNTIME_DIR"); xdg && *xdg) return xdg;
    return "/tmp/kvx-" + std::to_string(::getuid());
}

std::string ProgramLogFolder() {
    std::string exe = ExecutableFolder();
    if (::access(exe.c_str(), W_OK) == 0) return exe;
    std::string state;
    if (const char* xdg = std::getenv("XDG_STATE_HOME"); xdg && *xdg) {
        state = xdg;
    } else {
        const char* home = std::getenv("HOME");
        state = std::string(home && *home ? home : "/tmp") + "/.local";
        ::mkdir(state.c_str(), 0700);
        state += "/state";
    }
    // Each level may be missing; errors show up when the log is opened.
    for (const char* part : {"", "/VARNO", "/Varno_Kolvex"}) {
        state += part;
        ::mkdir(state.c_str(), 0700);
    }
    return state + "/";
}

std::string VirtualDeviceFolder() {
    if (const char* dir = std::getenv("KVX_DEVICE_DIR"); dir && *dir) return dir;
    return RuntimeFolder() + "/kvx/devices";
}

}  // namespace kvx
