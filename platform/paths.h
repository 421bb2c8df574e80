#pragma once

#include <string>

// ExecutableFolder(): the log needs it below this layer, so it lives there.
#include "log/executable_folder.h"

namespace kvx {

// $XDG_DATA_HOME, else ~/.local/share, without a trailing separator.
std::string LocalAppDataFolder();
// $XDG_RUNTIME_DIR, else /tmp/kvx-<uid>.
std::string RuntimeFolder();
// Where the program writes "kvx.log": the executable's folder when it is
// writable (a build tree), else $XDG_STATE_HOME/VARNO/Varno_Kolvex/ (default
// ~/.local/state/...), created when missing. With a trailing separator.
std::string ProgramLogFolder();
// $KVX_DEVICE_DIR, else <runtime>/kvx/devices: where virtual cameras register.
std::string VirtualDeviceFolder();

}  // namespace kvx
