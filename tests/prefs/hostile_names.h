// Text a user could type or paste, or a settings file could hold, as a
// renaming prefix or a new folder's name; with what the prefix keeps of it
// and whether it may name a new folder.
#pragma once

#include <string>
#include <vector>

namespace kvx::test {

struct HostileName {
    std::string input;
    std::string prefix;  // what the prefix field keeps
    bool folderOk;       // accepted as one new folder's name
};

inline const std::vector<HostileName>& HostileNames() {
    static const std::vector<HostileName> kNames = {
        {"../../etc/cron.d/x", "etccrondx", false},
        {"..", "", false},
        {".", "", false},
        {".hidden", "hidden", false},
        {"a/b", "ab", false},
        {"/abs", "abs", false},
        {"a\\b", "ab", false},
        {"IMG*", "IMG", false},
        {"IMG?", "IMG", false},
        {"[ab]*.JPG", "[ab]JPG", false},
        {"C:evil", "Cevil", false},
        {"<>|\"", "", false},
        {"line\nbreak", "linebreak", false},
        {"tab\there", "tabhere", false},
        {"bell\x07", "bell", false},
        {"del\x7f", "del", false},
        {std::string("nul\0x", 5), "nulx", false},
        {"nel\xC2\x85", "nel", false},  // a C1 control character
        {"bad\xFF\xFE"
         "utf8",
         "badutf8", false},  // bytes that are not UTF-8
        {"", "", false},
        {"Caf\xC3\xA9_2026", "Caf\xC3\xA9_2026", true},
        {"Shoot 12.10", "Shoot 1210", true},
        {"\xE6\x97\xA5\xE6\x9C\xAC", "\xE6\x97\xA5\xE6\x9C\xAC", true},
        {"A234567890123456789012345678901", "A234567890123456789012345", true},
        {"Retouch [selects]", "Retouch [selects]", true},
    };
    return kNames;
}

}  // namespace kvx::test
