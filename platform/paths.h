#pragma once

#include <string>

// ExecutableFolder(): the log needs it below this layer, so it lives there.
#include "log/executable_folder.h"

namespace kvx {

// $XDG_DATA_HOME, else ~/.local/share, without a trailing separator.
std::string LocalAppDataFolder();
// $XDG_RUNTIME_DIR, else /tmp/kvx-<uid>.
std::string RuntimeFolder();
// $KVX_DEVICE_DIR, else <runtime>/kvx/devices: where virtual cameras register.
std::string VirtualDeviceFolder();

}  // namespace kvx
