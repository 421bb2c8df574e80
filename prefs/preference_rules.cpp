#include "prefs/preference_rules.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace kvx::prefs {

namespace {

// One decoded character and the bytes it took; ok false for a byte that does
// not start a well-formed UTF-8 sequence (it is then one byte long).
struct Decoded {
    char32_t c = 0;
    size_t length = 1;
    bool ok = false;
};

Decoded DecodeAt(std::string_view s, size_t i) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    Decoded d;
    if (b0 < 0x80) return {b0, 1, true};
    size_t n = 0;
    char32_t c = 0;
    char32_t min = 0;
    if ((b0 & 0xE0) == 0xC0) {
        n = 2, c = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        n = 3, c = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        n = 4, c = b0 & 0x07, min = 0x10000;
    } else {
        return d;
    }
    if (i + n > s.size()) return d;
    for (size_t k = 1; k < n; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) return d;
        c = (c << 6) | (b & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return d;
    return {c, n, true};
}

bool IsControl(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

// Characters that separate paths, match other names by pattern, or that the
// file systems pictures often go to (FAT cards, Windows shares) refuse.
bool IsReserved(char32_t c) {
    switch (c) {
        case '\\':
        case '/':
        case ':':
        case '*':
        case '?':
        case '"':
        case '<':
        case '>':
        case '|':
            return true;
        default:
            return false;
    }
}

bool AllDigits(std::string_view s) {
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

std::string ErrnoText(int e) {
    return std::strerror(e);
}

// Characters of UTF-8 text (bytes that are not UTF-8 count one each).
size_t Characters(std::string_view s) {
    size_t n = 0;
    for (size_t i = 0; i < s.size(); i += DecodeAt(s, i).length) ++n;
    return n;
}

}  // namespace

bool CPreferenceRules::IsPrefixCharacter(char32_t c) {
    return !IsControl(c) && !IsReserved(c) && c != '.';
}

std::string CPreferenceRules::FilterPrefix(std::string_view text) {
    std::string out;
    size_t chars = 0;
    for (size_t i = 0; i < text.size() && chars < kPrefixChars;) {
        const Decoded d = DecodeAt(text, i);
        if (d.ok && IsPrefixCharacter(d.c)) {
            out.append(text.substr(i, d.length));
            ++chars;
        }
        i += d.length;
    }
    return out;
}

std::optional<std::string> CPreferenceRules::FolderNameProblem(std::string_view name) {
    if (name.empty()) return "Type a name for the new folder.";
    if (name == "." || name == "..") return "\".\" and \"..\" are not folder names.";
    if (name.front() == '.') return "A name that begins with a dot would make a hidden folder.";
    if (name.size() > 255) return "The name is too long for a folder.";
    size_t chars = 0;
    for (size_t i = 0; i < name.size();) {
        const Decoded d = DecodeAt(name, i);
        if (!d.ok) return "The name holds characters that cannot be read.";
        if (IsControl(d.c)) return "The name holds control characters.";
        if (IsReserved(d.c))
            return "A folder name cannot hold any of these characters: \\ / : * ? \" < > |";
        ++chars;
        i += d.length;
    }
    if (chars > kFolderNameChars) return "The name is too long for a folder.";
    return std::nullopt;
}

std::string CPreferenceRules::NormalizeStartNumber(std::string_view text) {
    std::string digits;
    for (char c : text)
        if (c >= '0' && c <= '9') digits.push_back(c);
    while (digits.size() > 1 && digits.front() == '0') digits.erase(0, 1);
    if (digits.empty()) return "0";
    if (digits.size() > kStartNumberChars) return kFullStartNumber;
    return digits;
}

std::optional<std::string> CPreferenceRules::StartNumberOnFullDigit(std::string_view current,
                                                                    char typed) {
    if (typed < '0' || typed > '9' || current.size() < kStartNumberChars) return std::nullopt;
    return std::string(kFullStartNumber);
}

std::string CPreferenceRules::NormalizeDigits(std::string_view text) {
    std::string digits;
    for (char c : text)
        if (c >= '0' && c <= '9') digits.push_back(c);
    while (digits.size() > 1 && digits.front() == '0') digits.erase(0, 1);
    if (digits.empty()) return "0";
    if (digits.size() > 1 || digits[0] > '0' + kMaxDigits) return std::string(1, '0' + kMaxDigits);
    return digits;
}

std::optional<std::string> CPreferenceRules::DestinationProblem(const std::string& folder,
                                                                uint64_t minFreeBytes) {
    if (folder.empty()) return "Choose a folder for the pictures.";
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) return "The folder " + folder + " does not exist.";
        if (errno == EACCES) return "You have no right to open the folder " + folder + ".";
        return "The folder " + folder + " cannot be reached: " + ErrnoText(errno) + ".";
    }
    if (!S_ISDIR(st.st_mode)) return folder + " is not a folder.";
    struct statvfs vfs {};
    const bool haveVfs = ::statvfs(folder.c_str(), &vfs) == 0;
    // The rights of the effective user, the one that will write the pictures.
    if (::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0 ||
        (haveVfs && (vfs.f_flag & ST_RDONLY)))
        return "Pictures cannot be written to " + folder + ": you have no right to write there.";
    if (!haveVfs)
        return "The free room in " + folder + " cannot be read: " + ErrnoText(errno) + ".";
    const uint64_t freeBytes = static_cast<uint64_t>(vfs.f_bavail) * vfs.f_frsize;
    if (freeBytes < minFreeBytes) {
        return "The volume of " + folder + " is full: " + std::to_string(freeBytes / 1024) +
               " KiB free, at least " + std::to_string(minFreeBytes / 1024) + " KiB are needed.";
    }
    return std::nullopt;
}

std::optional<std::string> CPreferenceRules::ReviewProgramProblem(const std::string& program) {
    if (program.empty()) return "Choose the program that opens the pictures.";
    struct stat st {};
    if (::stat(program.c_str(), &st) != 0) return "The program " + program + " does not exist.";
    if (!S_ISREG(st.st_mode) || ::faccessat(AT_FDCWD, program.c_str(), X_OK, AT_EACCESS) != 0)
        return program + " is not a program that can be started.";
    return std::nullopt;
}

std::optional<PreferenceProblem> CPreferenceRules::Check(const PreferenceValues& v,
                                                         uint64_t minFreeBytes) {
    const std::string kReview = "How to display after transferring the images";
    const std::string kDestination = "Destination";
    if (v.reviewType < 0 || v.reviewType > 2)
        return PreferenceProblem{kReview, "Choose one of the three ways to display."};
    if (v.inPC && v.reviewType == 1 && !v.rawDeveloperFound)
        return PreferenceProblem{kReview, "The RAW developer application was not found."};
    if (v.inPC && v.reviewType == 2) {
        if (auto p = ReviewProgramProblem(v.reviewSoft)) return PreferenceProblem{kReview, *p};
    }
    if (Characters(v.reviewSoft) > kPathChars)
        return PreferenceProblem{kReview, "The program's path is too long."};
    if (!v.inCamera && !v.inPC)
        return PreferenceProblem{kDestination, "Choose the card in the camera, the PC, or both."};
    if (Characters(v.path) > kPathChars)
        return PreferenceProblem{kDestination, "The folder's path is too long."};
    if (v.inPC) {
        if (auto p = DestinationProblem(v.path, minFreeBytes))
            return PreferenceProblem{kDestination, *p};
    }
    if (v.rename) {
        if (v.prefix.empty())
            return PreferenceProblem{"Character string", "Type the text the names begin with."};
        if (FilterPrefix(v.prefix) != v.prefix)
            return PreferenceProblem{"Character string",
                                     "The text holds characters a file name cannot begin with."};
        if (v.startNum.empty() || !AllDigits(v.startNum) || v.startNum.size() > kStartNumberChars ||
            NormalizeStartNumber(v.startNum) != v.startNum)
            return PreferenceProblem{"Start Number", "Type a number from 0 to 9999999."};
        if (v.columns.size() != 1 || !AllDigits(v.columns) || v.columns[0] > '0' + kMaxDigits)
            return PreferenceProblem{"Number of digit", "Type a number of digits from 0 to 7."};
    }
    return std::nullopt;
}

}  // namespace kvx::prefs
