// Where the diagnostic log "kvx.log" and the camera link library's
// "Varno_Kolvex.ini" live. A build tree keeps both beside the executable; an
// installed executable's folder belongs to the system, so there they move to
// the user's state folder.
#pragma once

#include <string>

namespace kvx::log {

// "VARNO/Varno_Kolvex/" under $XDG_STATE_HOME (when it is an absolute path),
// else under ~/.local/state; with a trailing separator.
std::string StateFolder();

// The executable's folder (with its trailing separator) while this process
// may write there, else StateFolder(). Folders under /usr and /opt count as an
// installation even for root, who could write anywhere.
std::string ChooseLogFolder(const std::string& executableFolder);

}  // namespace kvx::log
