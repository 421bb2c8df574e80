#include "engine/picture_namer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "engine/app_settings.h"
#include "log/write_log.h"
#include "platform/ini.h"
#include "platform/paths.h"

namespace kvx::engine {

namespace {

constexpr const char* kRenameWhere = "CMainDlg::RenamePictureFile";
// Width of the zero-padded number; keeps a hostile "Columns" from making
// names longer than a file system takes.
constexpr int kMaxDigits = 20;
// File names hold at most 255 bytes. A picture's name passes through longer
// forms on its way: "." + name + "_temp" while written, a collision suffix
// such as "_12345", and name + ".incomplete" when a transfer fails. Names are
// kept short enough that every one of those forms can still be created.
constexpr size_t kMaxNameBytes = 255 - 24;
constexpr size_t kMaxKeptExtension = 16;

// Cuts text to at most max bytes at a UTF-8 character boundary.
std::string CutUtf8(std::string text, size_t max) {
    if (text.size() <= max) return text;
    size_t end = max;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    text.resize(end);
    return text;
}

// Cuts the part before the extension, so a long name keeps its file type.
std::string CutKeepingExtension(const std::string& name, size_t max) {
    if (name.size() <= max) return name;
    auto dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0 || name.size() - dot > kMaxKeptExtension)
        return CutUtf8(name, max);
    std::string extension = name.substr(dot);
    return CutUtf8(name.substr(0, dot), max - extension.size()) + extension;
}

std::string Lower(std::string_view text) {
    std::string out(text);
    for (auto& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

bool IsValidUtf8(std::string_view s) {
    size_t i = 0;
    while (i < s.size()) {
        auto c = static_cast<unsigned char>(s[i]);
        size_t n = c < 0x80           ? 0
                   : (c >> 5) == 0x6  ? 1
                   : (c >> 4) == 0xE  ? 2
                   : (c >> 3) == 0x1E ? 3
                                      : 4;
        if (n == 4 || (n == 1 && c < 0xC2)) return false;
        if (i + n >= s.size() && n > 0) return false;
        for (size_t k = 1; k <= n; ++k) {
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        }
        i += n + 1;
    }
    return true;
}

// Replaces what could take a name out of its folder or hide it; keeps
// everything else as the camera or the user wrote it.
std::string SanitizeComponent(std::string_view raw) {
    std::string text;
    if (IsValidUtf8(raw)) {
        text.assign(raw);
    } else {
        // The camera's names are in an 8-bit code page: read as Latin-1,
        // with the C1 range (no printable meaning there) replaced.
        for (char ch : raw) {
            auto c = static_cast<unsigned char>(ch);
            if (c < 0x80) {
                text.push_back(ch);
            } else if (c < 0xA0) {
                text.push_back('_');
            } else {
                text.push_back(static_cast<char>(0xC0 | (c >> 6)));
                text.push_back(static_cast<char>(0x80 | (c & 0x3F)));
            }
        }
    }
    for (auto& ch : text) {
        auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F || ch == '/' || ch == '\\') ch = '_';
    }
    for (size_t pos = text.find(".."); pos != std::string::npos; pos = text.find("..", pos)) {
        text.replace(pos, 2, "__");
    }
    if (!text.empty() && text[0] == '.') text[0] = '_';
    return text;
}

std::string ParentOf(const std::string& path) {
    auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string NameOf(const std::string& path) {
    auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

NamingOptions NamingOptions::FromSettings(const AppSettings& settings,
                                          const std::string& rawDeveloperPath) {
    NamingOptions o;
    o.destinationFolder = settings.path;
    o.programFolder = kvx::ExecutableFolder();
    o.rename = settings.rename != 0;
    o.prefix = settings.prefix;
    o.startNum = settings.startNum;
    o.columns = settings.columns;
    o.inCamera = settings.inCamera != 0;
    o.inPC = settings.inPC != 0;
    o.reviewType = settings.reviewType;
    o.reviewSoft = settings.reviewSoft;
    o.rawDeveloperPath = rawDeveloperPath;
    return o;
}

std::string CPictureNamer::DestinationFolder(const NamingOptions& options) {
    std::string folder =
        options.destinationFolder.empty() ? options.programFolder : options.destinationFolder;
    if (folder.empty()) folder = kvx::ExecutableFolder();
    if (folder.back() != '/') folder.push_back('/');
    return folder;
}

std::optional<std::string> CPictureNamer::ExtensionFor(uint16_t formatCode) {
    switch (formatCode) {
        case 0x3801:
            return ".JPG";
        case 0xB801:
            return ".Q7F";
        case 0x300A:
            return ".Q7F";
        case 0x380A:
            return ".Q7I";
        case 0xB0FF:
            return ".XCRAW";
        default:
            return std::nullopt;
    }
}

std::string CPictureNamer::SafeFileName(std::string_view cameraName) {
    std::string name = CutKeepingExtension(SanitizeComponent(cameraName), kMaxNameBytes);
    return name.empty() || name[0] == '.' ? "unnamed" + name : name;
}

std::unordered_set<std::string> CPictureNamer::FolderStems(const std::string& folder) {
    std::unordered_set<std::string> stems;
    std::error_code ec;
    std::filesystem::directory_iterator it(folder, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        std::string name = Lower(it->path().filename().string());
        // A hidden file is a picture still being written: its name counts.
        if (name.size() > 1 && name[0] == '.') name.erase(0, 1);
        auto add = [&stems](const std::string& v) {
            stems.insert(v);
            for (size_t i = v.find('.'); i != std::string::npos; i = v.find('.', i + 1)) {
                stems.insert(v.substr(0, i));
            }
        };
        add(name);
        if (name.size() > kTempSuffix.size() &&
            name.compare(name.size() - kTempSuffix.size(), kTempSuffix.size(), kTempSuffix) == 0) {
            add(name.substr(0, name.size() - kTempSuffix.size()));
        }
    }
    return stems;
}

// "Any file matching stem.*": the stem alone, or followed by a dot and
// anything. Case is ignored, as it is on the file systems pictures often go to.
bool CPictureNamer::StemTaken(const std::unordered_set<std::string>& stems,
                              const std::string& stem) {
    return stems.count(Lower(stem)) != 0;
}

// The exact name in any of the forms a picture file passes through.
bool CPictureNamer::FileTaken(const std::unordered_set<std::string>& stems,
                              const std::string& name) {
    return stems.count(Lower(name)) != 0;
}

std::string CPictureNamer::Numbered(const std::string& prefix, int digits, int number,
                                    const std::string& extension) {
    char digitsText[64];
    std::snprintf(digitsText, sizeof digitsText, "%0*d", digits, number);
    return prefix + digitsText + extension;
}

std::optional<int> CPictureNamer::SearchNumber(const std::unordered_set<std::string>& stems,
                                               const std::string& prefix, int digits, int start) {
    // Every taken candidate is a file of the folder, so this ends after at
    // most (files + 1) candidates.
    for (int n = start;; ++n) {
        if (!StemTaken(stems, Numbered(prefix, digits, n, ""))) return n;
        if (n >= kMaxNumber) return std::nullopt;
    }
}

std::string CPictureNamer::Suffixed(const std::string& base, int a, const std::string& extension) {
    // Without an extension there is no dot to write: "ABCD_1", not "ABCD_1.".
    std::string name = base + "_" + std::to_string(a);
    if (!extension.empty()) name += "." + extension;
    return name;
}

int CPictureNamer::SuffixSearch(const std::unordered_set<std::string>& stems,
                                const std::string& base) {
    int a = 1;
    while (StemTaken(stems, base + "_" + std::to_string(a))) ++a;  // bounded by the files
    return a;
}

std::optional<std::string> CPictureNamer::RenamePictureFile(const NamingOptions& options,
                                                            bool first, uint16_t formatCode,
                                                            const std::string& cameraName,
                                                            int& number) {
    const std::string folder = DestinationFolder(options);
    const auto stems = FolderStems(folder);
    std::string finalName;

    if (options.rename) {
        auto extension = ExtensionFor(formatCode);
        if (!extension) {
            WriteLog(1, "+++ Invalid file format=0x%x at %s +++", formatCode, kRenameWhere);
            return std::nullopt;
        }
        int digits = kvx::IniFile::ParseInt(options.columns, 0);
        if (digits < 0) digits = 0;
        if (digits > kMaxDigits) digits = kMaxDigits;
        const std::string prefix = CutUtf8(SanitizeComponent(options.prefix),
                                           kMaxNameBytes - kMaxDigits - kMaxKeptExtension);
        const int start = kvx::IniFile::ParseInt(options.startNum, 0);
        if (first) {
            auto found = SearchNumber(stems, prefix, digits, start);
            if (!found) return std::nullopt;
            number = *found;
        }
        finalName = Numbered(prefix, digits, number, *extension);
        if (!first && FileTaken(stems, finalName)) {
            // The number of the list's first file is already used with this
            // extension too: a picture is never written over another.
            auto found = SearchNumber(stems, prefix, digits, start);
            if (!found) return std::nullopt;
            finalName = Numbered(prefix, digits, *found, *extension);
        }
    } else {
        const std::string safe = SafeFileName(cameraName);
        auto dot = safe.rfind('.');
        // A name whose only dot was its first character was made "_..." by
        // SafeFileName, so dot is never 0 here.
        std::string base = dot == std::string::npos ? safe : safe.substr(0, dot);
        std::string extension = dot == std::string::npos ? std::string() : safe.substr(dot + 1);
        if (first) {
            if (!StemTaken(stems, base)) {
                finalName = safe;
            } else {
                number = SuffixSearch(stems, base);
                finalName = Suffixed(base, number, extension);
            }
        } else {
            finalName = number != 0 ? Suffixed(base, number, extension) : safe;
            if (FileTaken(stems, finalName)) {
                finalName = Suffixed(base, SuffixSearch(stems, base), extension);
            }
        }
    }
    return folder + finalName + std::string(kTempSuffix);
}

std::vector<std::optional<std::string>> CPictureNamer::NamePicture(
    const NamingOptions& options, const std::vector<PictureFile>& files, int& number, bool moveOn) {
    std::vector<std::optional<std::string>> names(files.size());
    const std::string folder = DestinationFolder(options);
    const auto stems = FolderStems(folder);

    if (options.rename) {
        int digits = kvx::IniFile::ParseInt(options.columns, 0);
        if (digits < 0) digits = 0;
        if (digits > kMaxDigits) digits = kMaxDigits;
        const std::string prefix = CutUtf8(SanitizeComponent(options.prefix),
                                           kMaxNameBytes - kMaxDigits - kMaxKeptExtension);
        int start = kvx::IniFile::ParseInt(options.startNum, 0);
        if (moveOn) {
            if (number >= kMaxNumber) return names;
            start = std::max(start, number + 1);
        }
        // A free stem leaves every extension free, so one search serves
        // every file of the picture.
        auto found = SearchNumber(stems, prefix, digits, start);
        if (!found) return names;
        number = *found;
        for (size_t i = 0; i < files.size(); ++i) {
            auto extension = ExtensionFor(files[i].formatCode);
            if (!extension) {
                WriteLog(1, "+++ Invalid file format=0x%x at %s +++", files[i].formatCode,
                         kRenameWhere);
                continue;
            }
            names[i] = folder + Numbered(prefix, digits, number, *extension);
        }
        return names;
    }

    struct Split {
        std::string safe, base, extension;
    };
    std::vector<Split> split;
    for (const auto& f : files) {
        Split s;
        s.safe = SafeFileName(f.cameraName);
        auto dot = s.safe.rfind('.');
        s.base = dot == std::string::npos ? s.safe : s.safe.substr(0, dot);
        s.extension = dot == std::string::npos ? std::string() : s.safe.substr(dot + 1);
        split.push_back(std::move(s));
    }
    // Suffix a is free when no file of the folder has the stem of any of
    // the picture's names with it. Every taken candidate is a file of the
    // folder, so the search ends.
    auto taken = [&](int a) {
        for (const auto& s : split) {
            if (StemTaken(stems, a == 0 ? s.base : s.base + "_" + std::to_string(a))) return true;
        }
        return false;
    };
    int a = moveOn ? std::max(number, 0) + 1 : 0;
    while (taken(a)) ++a;
    number = a;
    for (size_t i = 0; i < files.size(); ++i) {
        names[i] =
            folder + (a == 0 ? split[i].safe : Suffixed(split[i].base, a, split[i].extension));
    }
    return names;
}

std::string CPictureNamer::FinalPathOf(const std::string& destinationPath) {
    if (destinationPath.size() >= kTempSuffix.size() &&
        destinationPath.compare(destinationPath.size() - kTempSuffix.size(), kTempSuffix.size(),
                                kTempSuffix) == 0) {
        return destinationPath.substr(0, destinationPath.size() - kTempSuffix.size());
    }
    return destinationPath;
}

std::string CPictureNamer::HiddenPathOf(const std::string& destinationPath) {
    return ParentOf(destinationPath) + "." + NameOf(destinationPath);
}

bool CPictureNamer::RenameNoReplace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return false;
    // File systems without an atomic no-replace rename: a hard link fails
    // when the name exists.
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return true;
    }
    if (errno == EEXIST) return false;
    // No hard links either (FAT and friends): test, then rename.
    struct stat st {};
    if (::lstat(to.c_str(), &st) == 0) {
        errno = EEXIST;
        return false;
    }
    return ::rename(from.c_str(), to.c_str()) == 0;
}

}  // namespace kvx::engine
