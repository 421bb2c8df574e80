// The checks the preferences dialog and the folder picker apply to what the
// user types, pastes or the settings file holds, before anything is stored:
// the renaming prefix, new folder names, the two number fields, the
// destination folder and the review program. Plain C++ so that every rule
// is tested without a window.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kvx::prefs {

// The values the preferences dialog edits, as they stand when OK is pressed.
struct PreferenceValues {
    int reviewType = 0;
    std::string reviewSoft;
    bool rawDeveloperFound = false;
    bool inCamera = true;
    bool inPC = false;
    std::string path;
    bool rename = false;
    std::string prefix;
    std::string startNum;
    std::string columns;
};

// A value that cannot be accepted: the field it belongs to (as the dialog
// labels it) and what is wrong with it, in words for the user.
struct PreferenceProblem {
    std::string field;
    std::string message;
};

class CPreferenceRules {
public:
    // Longest prefix, start number and digit count the edits take.
    static constexpr size_t kPrefixChars = 25;
    static constexpr size_t kStartNumberChars = 7;
    static constexpr int kMaxDigits = 7;
    static constexpr const char* kFullStartNumber = "9999999";
    // Longest new folder name, in characters.
    static constexpr size_t kFolderNameChars = 127;
    // Longest path kept in the settings file, in characters.
    static constexpr size_t kPathChars = 255;
    // Less free room than this in the destination is reported at OK.
    static constexpr uint64_t kMinimumFreeBytes = 10ull * 1024 * 1024;

    // The prefix with everything dropped that could make a picture name
    // leave the destination folder or match other files: path separators,
    // wildcards, the characters : " < > |, every dot (so neither ".." nor a
    // leading dot can form), control characters and bytes that are not
    // UTF-8. At most kPrefixChars characters are kept.
    static std::string FilterPrefix(std::string_view text);
    static bool IsPrefixCharacter(char32_t c);

    // Why a name typed for a new folder cannot be used, or none when it can:
    // empty, "." or "..", a leading dot, separators, wildcards or the
    // characters : " < > |, control characters, more than kFolderNameChars
    // characters or 255 bytes, or text that is not UTF-8.
    static std::optional<std::string> FolderNameProblem(std::string_view name);

    // The start number field: only digits; empty is "0"; leading zeros go;
    // more than seven digits is the highest number, "9999999".
    static std::string NormalizeStartNumber(std::string_view text);
    // A digit typed into a start number that already holds seven characters
    // gives "9999999"; otherwise none (the edit takes the key as usual).
    static std::optional<std::string> StartNumberOnFullDigit(std::string_view current, char typed);
    // The number of digits field: one digit, at most 7 (a larger number, as
    // pasted or read from the settings file, is 7); empty is "0".
    static std::string NormalizeDigits(std::string_view text);

    // The destination folder as it must be for pictures to land in it: it
    // exists, is a folder, can be written and holds at least minFreeBytes.
    static std::optional<std::string> DestinationProblem(const std::string& folder,
                                                         uint64_t minFreeBytes = kMinimumFreeBytes);
    // The other review program: an existing regular file that may be run.
    static std::optional<std::string> ReviewProgramProblem(const std::string& program);

    // Every value checked before anything is written; the first problem
    // found, naming its field. minFreeBytes as for DestinationProblem.
    static std::optional<PreferenceProblem> Check(const PreferenceValues& values,
                                                  uint64_t minFreeBytes = kMinimumFreeBytes);
};

}  // namespace kvx::prefs
