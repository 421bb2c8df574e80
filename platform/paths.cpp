#include "paths.h"

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

std::string VirtualDeviceFolder() {
    if (const char* dir = std::getenv("KVX_DEVICE_DIR"); dir && *dir) return dir;
    return RuntimeFolder() + "/kvx/devices";
}

}  // namespace kvx
