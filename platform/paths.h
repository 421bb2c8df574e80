#pragma once

#include <string>

namespace kvx {

// Folder of /proc/self/exe with a trailing separator.
std::string ExecutableFolder();
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
