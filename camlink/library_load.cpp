// What happens when the host process loads the library: the log threshold is
// read from "Varno_Kolvex.ini" in the log's folder, beside the executable in a
// build tree, in the user's state folder once installed (not from the
// program's settings in the user's profile).
#include "log/write_log.h"
#include "platform/ini.h"

namespace {

__attribute__((constructor)) void LoadLogThreshold() {
    try {
        const std::string ini = DeliverableLog().Folder() + "Varno_Kolvex.ini";
        DeliverableLog().SetThreshold(kvx::IniReadInt(ini, "Debug", "LogLevel", 0));
    } catch (...) {
        // No threshold, no log; loading goes on.
    }
}

}  // namespace
