#include "engine/review_app_lookup.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "log/write_log.h"

namespace kvx::engine {

namespace {

constexpr const char* kPrefix = "Varno Dravel";
// A desktop entry is a small text file; anything larger is not one of ours.
constexpr std::uintmax_t kMaxEntryBytes = 64 * 1024;

bool IsRegularFile(const std::string& p) {
    struct stat st {};
    return !p.empty() && ::stat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

struct Entry {
    std::string name;
    std::string exec;
    bool hidden = false;
};

// Reads the [Desktop Entry] group's Name, Exec and Hidden keys.
std::optional<Entry> ReadEntry(const std::filesystem::path& file) {
    std::error_code ec;
    if (std::filesystem::file_size(file, ec) > kMaxEntryBytes || ec) return std::nullopt;
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    Entry e;
    bool inGroup = false, sawName = false;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        if (line[0] == '[') {
            inGroup = line == "[Desktop Entry]";
            continue;
        }
        if (!inGroup) continue;
        auto eq = line.find('=');
        if (eq == std::string::npos) continue;
        std::string key = line.substr(0, eq);
        while (!key.empty() && key.back() == ' ') key.pop_back();
        std::string value = line.substr(eq + 1);
        while (!value.empty() && value.front() == ' ') value.erase(value.begin());
        if (key == "Name" && !sawName) {
            e.name = value;
            sawName = true;
        } else if (key == "Exec" && e.exec.empty()) {
            e.exec = value;
        } else if (key == "Hidden") {
            e.hidden = value == "true";
        }
    }
    if (!sawName) return std::nullopt;
    return e;
}

bool StartsWithNoCase(const std::string& s, const std::string& prefix) {
    if (s.size() < prefix.size()) return false;
    return ReviewAppLookup::CompareNoCase(s.substr(0, prefix.size()), prefix) == 0;
}

std::string SearchPath(const std::string& name) {
    const char* env = std::getenv("PATH");
    std::string paths = env ? env : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    while (start <= paths.size()) {
        size_t end = paths.find(':', start);
        if (end == std::string::npos) end = paths.size();
        std::string dir = paths.substr(start, end - start);
        if (!dir.empty()) {
            std::string candidate = dir + "/" + name;
            if (IsRegularFile(candidate) && ::access(candidate.c_str(), X_OK) == 0) return candidate;
        }
        start = end + 1;
    }
    return {};
}

}  // namespace

int ReviewAppLookup::CompareNoCase(const std::string& a, const std::string& b) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        int ca = std::toupper(static_cast<unsigned char>(a[i]));
        int cb = std::toupper(static_cast<unsigned char>(b[i]));
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

std::vector<std::string> ReviewAppLookup::DefaultApplicationFolders() {
    std::vector<std::string> out;
    const char* home = std::getenv("XDG_DATA_HOME");
    if (home && *home) {
        out.push_back(std::string(home) + "/applications");
    } else if (const char* h = std::getenv("HOME"); h && *h) {
        out.push_back(std::string(h) + "/.local/share/applications");
    }
    const char* dirs = std::getenv("XDG_DATA_DIRS");
    std::string list = dirs && *dirs ? dirs : "/usr/local/share:/usr/share";
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(':', start);
        if (end == std::string::npos) end = list.size();
        if (end > start) out.push_back(list.substr(start, end - start) + "/applications");
        start = end + 1;
    }
    return out;
}

std::string ReviewAppLookup::ExecutableOfExec(const std::string& exec) {
    std::string word;
    size_t i = 0;
    while (i < exec.size() && exec[i] == ' ') ++i;
    if (i < exec.size() && exec[i] == '"') {
        ++i;
        bool closed = false;
        while (i < exec.size()) {
            char c = exec[i++];
            if (c == '\\' && i < exec.size()) {
                word += exec[i++];
            } else if (c == '"') {
                closed = true;
                break;
            } else {
                word += c;
            }
        }
        if (!closed) return {};
    } else {
        while (i < exec.size() && exec[i] != ' ' && exec[i] != '\t') word += exec[i++];
    }
    if (word.empty() || word[0] == '%') return {};
    if (word.find('/') == std::string::npos) return SearchPath(word);
    return word;
}

std::optional<std::string> ReviewAppLookup::Find(const std::vector<std::string>& folders) {
    std::optional<Entry> best;
    for (const auto& folder : folders) {
        std::error_code ec;
        std::filesystem::directory_iterator it(folder, ec), end;
        for (; !ec && it != end; it.increment(ec)) {
            const auto& p = it->path();
            if (p.extension() != ".desktop") continue;
            auto e = ReadEntry(p);
            if (!e || e->hidden || !StartsWithNoCase(e->name, kPrefix)) continue;
            // Only a strictly greater name replaces: the earlier folder (the
            // user's own) wins a tie.
            if (!best || CompareNoCase(e->name, best->name) > 0) best = std::move(e);
        }
    }
    if (!best) return std::nullopt;
    std::string path = ExecutableOfExec(best->exec);
    if (!IsRegularFile(path)) return std::nullopt;
    WriteLog(4, "--- QDL found at %s", path.c_str());
    return path;
}

}  // namespace kvx::engine
