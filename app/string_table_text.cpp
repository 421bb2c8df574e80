#include "app/string_table_text.h"

namespace kvx::app {

namespace {

constexpr uint32_t kMaxId = 65535;  // string ids are 16-bit, as resource ids are

bool ParseId(std::string_view digits, uint32_t* id) {
    if (digits.empty() || digits.size() > 5) return false;
    uint32_t v = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + static_cast<uint32_t>(c - '0');
    }
    if (v > kMaxId) return false;
    *id = v;
    return true;
}

std::string Unescape(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 == s.size()) {
            out.push_back(s[i]);
            continue;
        }
        char e = s[++i];
        switch (e) {
            case 'n':
                out.push_back('\n');
                break;
            case 'r':
                out.push_back('\r');
                break;
            case 't':
                out.push_back('\t');
                break;
            case '\\':
                out.push_back('\\');
                break;
            default:  // unknown escape: keep it as written
                out.push_back('\\');
                out.push_back(e);
        }
    }
    return out;
}

}  // namespace

std::vector<std::pair<uint32_t, std::string>> StringTableText::Parse(std::string_view text) {
    std::vector<std::pair<uint32_t, std::string>> rows;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);  // a byte order mark
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty() || line.front() == '#') continue;
        size_t tab = line.find('\t');
        uint32_t id = 0;
        if (tab == std::string_view::npos || !ParseId(line.substr(0, tab), &id)) continue;
        rows.emplace_back(id, Unescape(line.substr(tab + 1)));
    }
    return rows;
}

std::string StringTableText::Format(const std::vector<std::pair<uint32_t, std::string>>& rows) {
    std::string out;
    for (const auto& [id, text] : rows) {
        out += std::to_string(id);
        out.push_back('\t');
        for (char c : text) {
            switch (c) {
                case '\n':
                    out += "\\n";
                    break;
                case '\r':
                    out += "\\r";
                    break;
                case '\t':
                    out += "\\t";
                    break;
                case '\\':
                    out += "\\\\";
                    break;
                default:
                    out.push_back(c);
            }
        }
        out.push_back('\n');
    }
    return out;
}

}  // namespace kvx::app
