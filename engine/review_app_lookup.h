// Finds the separately installed RAW developer application, the default
// review program: among the desktop entries whose name begins with
// "Varno Dravel" (case ignored), the one with the greatest name by ordinal
// comparison ignoring case; its executable path when that file exists.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kvx::engine {

class ReviewAppLookup {
public:
    // $XDG_DATA_HOME/applications, then each of $XDG_DATA_DIRS
    // (default /usr/local/share:/usr/share) with /applications.
    static std::vector<std::string> DefaultApplicationFolders();

    // The path of the application, or empty when no entry qualifies, the
    // chosen entry has no executable, or that file does not exist.
    static std::optional<std::string> Find(const std::vector<std::string>& folders);
    static std::optional<std::string> Find() { return Find(DefaultApplicationFolders()); }

    // The program of an Exec= value: its first word, quotes and escapes
    // undone; a bare name is looked up in $PATH. Empty when none.
    static std::string ExecutableOfExec(const std::string& exec);

    // <0, 0, >0 as an ordinal comparison of the two texts ignoring ASCII case.
    static int CompareNoCase(const std::string& a, const std::string& b);
};

}  // namespace kvx::engine
