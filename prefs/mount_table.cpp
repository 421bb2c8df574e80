#include "prefs/mount_table.h"

#include <array>
#include <fstream>
#include <iterator>

namespace kvx::prefs {

namespace {

// The table escapes space, tab, newline and backslash as \ooo.
std::string Unescape(std::string_view field) {
    std::string out;
    out.reserve(field.size());
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            int v = 0;
            bool octal = true;
            for (size_t k = 1; k <= 3; ++k) {
                const char c = field[i + k];
                if (c < '0' || c > '7') octal = false;
                v = v * 8 + (c - '0');
            }
            if (octal && v > 0 && v < 256) {
                out.push_back(static_cast<char>(v));
                i += 3;
                continue;
            }
        }
        out.push_back(field[i]);
    }
    return out;
}

bool StartsWith(std::string_view s, std::string_view p) {
    return s.substr(0, p.size()) == p;
}

}  // namespace

std::vector<MountEntry> CMountTable::Parse(std::string_view text) {
    std::vector<MountEntry> out;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        std::array<std::string_view, 3> fields;
        size_t count = 0, i = 0;
        while (count < fields.size() && i < line.size()) {
            while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
            const size_t start = i;
            while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
            if (i > start) fields[count++] = line.substr(start, i - start);
        }
        if (count < fields.size()) continue;
        out.push_back({Unescape(fields[0]), Unescape(fields[1]), Unescape(fields[2])});
    }
    return out;
}

std::vector<MountEntry> CMountTable::Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return Parse(text);
}

bool CMountTable::IsNetworkType(std::string_view type) {
    static constexpr std::array<std::string_view, 8> kTypes{
        "nfs", "nfs4", "cifs", "smb3", "smbfs", "fuse.sshfs", "davfs", "fuse.davfs"};
    for (auto t : kTypes)
        if (type == t) return true;
    return false;
}

bool CMountTable::IsVolume(const MountEntry& e) {
    if (!StartsWith(e.device, "/dev/")) return false;
    return StartsWith(e.mountPoint, "/media/") || StartsWith(e.mountPoint, "/run/media/") ||
           StartsWith(e.mountPoint, "/mnt/");
}

}  // namespace kvx::prefs
