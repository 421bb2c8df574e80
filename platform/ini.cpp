#include "ini.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <filesystem>
#include <string_view>
#include <vector>

namespace kvx {

namespace {

constexpr size_t kNone = std::string::npos;
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Owns one file descriptor; Close reports whether the last write-back worked.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const { return fd_; }
    bool Close() {
        const int fd = fd_;
        fd_ = -1;
        return fd >= 0 && ::close(fd) == 0;
    }

private:
    int fd_;
};

bool IsBlank(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

// One line of the file: its text is [begin, end), its line end [end, next).
struct Line {
    size_t begin;
    size_t end;
    size_t next;
};

size_t BodyStart(std::string_view text) {
    return text.substr(0, kByteOrderMark.size()) == kByteOrderMark ? kByteOrderMark.size() : 0;
}

// LF, CRLF and a lone CR each end a line.
std::vector<Line> SplitLines(std::string_view text) {
    std::vector<Line> lines;
    size_t i = BodyStart(text);
    while (i < text.size()) {
        const size_t end = text.find_first_of("\r\n", i);
        if (end == kNone) {
            lines.push_back({i, text.size(), text.size()});
            break;
        }
        size_t next = end + 1;
        if (text[end] == '\r' && next < text.size() && text[next] == '\n') ++next;
        lines.push_back({i, end, next});
        i = next;
    }
    return lines;
}

struct Parsed {
    enum Kind { kOther, kBlank, kComment, kHeader, kKey } kind = kOther;
    std::string_view name;  // of the section or the key
    size_t valueBegin = 0;  // a key's value, without the blanks around it
    size_t valueEnd = 0;
};

// "#" has no meaning of its own: "#x=1" is a key named "#x". A "[" without a
// "]" on its line is no header.
Parsed Classify(std::string_view text, const Line& line) {
    Parsed p;
    const std::string_view whole = text.substr(line.begin, line.end - line.begin);
    const std::string_view t = Trim(whole);
    if (t.empty()) {
        p.kind = Parsed::kBlank;
        return p;
    }
    if (t.front() == ';') {
        p.kind = Parsed::kComment;
        return p;
    }
    if (t.front() == '[') {
        const size_t close = t.find(']');
        if (close != kNone) {
            p.kind = Parsed::kHeader;
            p.name = Trim(t.substr(1, close - 1));
            return p;
        }
    }
    const size_t eq = whole.find('=');
    if (eq == kNone) return p;
    p.name = Trim(whole.substr(0, eq));
    if (p.name.empty()) return p;
    p.kind = Parsed::kKey;
    const std::string_view value = whole.substr(eq + 1);
    const std::string_view trimmed = Trim(value);
    p.valueBegin = line.begin + eq + 1 + static_cast<size_t>(trimmed.data() - value.data());
    p.valueEnd = p.valueBegin + trimmed.size();
    return p;
}

bool IsUtf8(std::string_view s) {
    static constexpr uint32_t kShortest[] = {0, 0x80, 0x800, 0x10000};
    size_t i = 0;
    while (i < s.size()) {
        const auto lead = static_cast<unsigned char>(s[i]);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        // Continuation bytes after the lead byte, and the lead byte's bits.
        const size_t more = (lead & 0xE0) == 0xC0   ? 1
                            : (lead & 0xF0) == 0xE0 ? 2
                            : (lead & 0xF8) == 0xF0 ? 3
                                                    : 0;
        if (more == 0) return false;
        uint32_t cp = lead & (0x3Fu >> more);
        if (s.size() - i <= more) return false;
        for (size_t k = 1; k <= more; ++k) {
            const auto c = static_cast<unsigned char>(s[i + k]);
            if ((c & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (c & 0x3Fu);
        }
        if (cp < kShortest[more] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += more + 1;
    }
    return true;
}

// Windows-1252 as the system converts it: the five unassigned bytes keep
// their own code points, 0xA0 and up are Latin-1.
std::string Windows1252ToUtf8(std::string_view s) {
    static constexpr uint16_t kHigh[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
    };
    std::string out;
    for (char ch : s) {
        const auto b = static_cast<unsigned char>(ch);
        const uint32_t cp = b >= 0x80 && b < 0xA0 ? kHigh[b - 0x80] : b;
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

// Names that would read back as something else are refused.
bool Storable(const std::string& section, const std::string& key) {
    return !section.empty() && section.find_first_of("\r\n]") == kNone && !key.empty() &&
           key.find_first_of("\r\n=") == kNone && key.front() != ';' && key.front() != '[';
}

bool WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

bool SyncFolder(const std::string& folder) {
    Descriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return dir.Get() >= 0 && ::fsync(dir.Get()) == 0 && dir.Close();
}

}  // namespace

struct IniFile::Spot {
    std::vector<Line> lines;
    size_t header = kNone;  // the header line of the first section of the name
    size_t last = kNone;    // that section's last line with something on it
    size_t key = kNone;     // the first line of the key in that section
    Parsed entry;           // what that line holds
};

IniFile::Spot IniFile::Locate(const std::string& section, const std::string& key) const {
    Spot s;
    s.lines = SplitLines(text_);
    for (size_t i = 0; i < s.lines.size(); ++i) {
        const Parsed p = Classify(text_, s.lines[i]);
        if (p.kind == Parsed::kHeader) {
            // A later section of the same name is never searched.
            if (s.header != kNone) break;
            if (EqualsNoCase(p.name, section)) s.header = s.last = i;
            continue;
        }
        if (s.header == kNone || p.kind == Parsed::kBlank || p.kind == Parsed::kComment) continue;
        s.last = i;
        if (p.kind == Parsed::kKey && s.key == kNone && EqualsNoCase(p.name, key)) {
            s.key = i;
            s.entry = p;
        }
    }
    return s;
}

std::string IniFile::LineEnd() const {
    const size_t at = text_.find_first_of("\r\n");
    if (at == kNone || text_[at] == '\n') return "\n";
    return at + 1 < text_.size() && text_[at + 1] == '\n' ? "\r\n" : "\r";
}

void IniFile::Reload() {
    text_.clear();
    saved_.clear();
    unreadable_ = false;
    refused_ = false;
    if (path_.empty()) return;
    Descriptor in(::open(path_.c_str(), O_RDONLY | O_CLOEXEC));
    if (in.Get() < 0) {
        unreadable_ = errno != ENOENT;
        return;
    }
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(in.Get(), buffer, sizeof buffer);
        if (n > 0) {
            text_.append(buffer, static_cast<size_t>(n));
        } else if (n == 0) {
            break;
        } else if (errno != EINTR) {
            text_.clear();
            unreadable_ = true;
            return;
        }
    }
    saved_ = text_;
}

void IniFile::LoadFromText(const std::string& text) {
    text_ = text;
    saved_ = text;
    unreadable_ = false;
    refused_ = false;
}

bool IniFile::Has(const std::string& section, const std::string& key) const {
    return Locate(section, key).key != kNone;
}

std::string IniFile::GetString(const std::string& section, const std::string& key,
                               const std::string& fallback, size_t capacity) const {
    const Spot s = Locate(section, key);
    std::string v = fallback;
    if (s.key != kNone) {
        v = text_.substr(s.entry.valueBegin, s.entry.valueEnd - s.entry.valueBegin);
        if (!IsUtf8(v)) v = Windows1252ToUtf8(v);
        // A value in matching quotes is returned without them.
        if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
            v = v.substr(1, v.size() - 2);
    }
    if (capacity == 0) return {};
    if (v.size() > capacity - 1) {
        size_t cut = capacity - 1;
        while (cut > 0 && (static_cast<unsigned char>(v[cut]) & 0xC0) == 0x80) --cut;
        v.resize(cut);
    }
    return v;
}

int32_t IniFile::ParseInt(const std::string& text, int32_t fallback) {
    if (text.empty()) return fallback;
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    uint32_t value = 0;
    // Only a lowercase "0x" is hexadecimal: "0X1f" stops at the X and is 0.
    if (i + 1 < text.size() && text[i] == '0' && text[i + 1] == 'x') {
        i += 2;
        while (i < text.size() && std::isxdigit(static_cast<unsigned char>(text[i]))) {
            char c = static_cast<char>(std::tolower(static_cast<unsigned char>(text[i++])));
            value = value * 16u + static_cast<uint32_t>(c <= '9' ? c - '0' : c - 'a' + 10);
        }
    } else {
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])))
            value = value * 10u + static_cast<uint32_t>(text[i++] - '0');
    }
    // Wraps like the 32-bit arithmetic of the classic call.
    return static_cast<int32_t>(negative ? 0u - value : value);
}

int32_t IniFile::GetInt(const std::string& section, const std::string& key,
                        int32_t fallback) const {
    if (!Has(section, key)) return fallback;
    return ParseInt(GetString(section, key, ""), fallback);
}

void IniFile::SetString(const std::string& section, const std::string& key,
                        const std::string& value) {
    if (!Storable(section, key)) {
        refused_ = true;
        return;
    }
    const std::string v = value.substr(0, value.find_first_of("\r\n"));
    const Spot s = Locate(section, key);
    if (s.key != kNone) {
        const size_t begin = s.entry.valueBegin;
        if (text_.compare(begin, s.entry.valueEnd - begin, v) != 0)
            text_.replace(begin, s.lines[s.key].end - begin, v);
        return;
    }
    const std::string eol = LineEnd();
    const std::string entry = key + "=" + v + eol;
    if (s.header != kNone) {
        // After the section's last line with content, so blank lines and
        // comments before the next section stay where they are.
        const Line& last = s.lines[s.last];
        text_.insert(last.next, (last.next == last.end ? eol : "") + entry);
        return;
    }
    if (text_.size() > BodyStart(text_) && text_.back() != '\n' && text_.back() != '\r')
        text_ += eol;
    text_ += "[" + section + "]" + eol + entry;
}

void IniFile::SetInt(const std::string& section, const std::string& key, int32_t value) {
    SetString(section, key, std::to_string(value));
}

void IniFile::Remove(const std::string& section, const std::string& key) {
    const Spot s = Locate(section, key);
    if (s.key == kNone) return;
    const Line& line = s.lines[s.key];
    text_.erase(line.begin, line.next - line.begin);
}

bool IniFile::Save() {
    // An unread file is never replaced by what little we know of it.
    if (path_.empty() || unreadable_ || refused_) return false;
    if (text_ == saved_) return true;

    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path target = path_;
    if (fs::is_symlink(target, ec)) {
        // Replace the file the link points at, not the link.
        fs::path real = fs::weakly_canonical(target, ec);
        if (ec) return false;
        target = real;
    }
    fs::path folder = target.parent_path();
    if (folder.empty()) folder = ".";

    struct stat old {};
    const bool existed = ::stat(target.c_str(), &old) == 0;
    const std::string temp = target.string() + ".tmp" + std::to_string(::getpid());
    Descriptor out(
        ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (out.Get() < 0) return false;
    bool ok = WriteAll(out.Get(), text_) &&
              (!existed || ::fchmod(out.Get(), old.st_mode & 07777) == 0) &&
              ::fsync(out.Get()) == 0;
    ok = out.Close() && ok;
    if (!ok || ::rename(temp.c_str(), target.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    saved_ = text_;
    return SyncFolder(folder.string());
}

int32_t IniReadInt(const std::string& path, const std::string& section, const std::string& key,
                   int32_t fallback) {
    IniFile ini(path);
    return ini.GetInt(section, key, fallback);
}

}  // namespace kvx
