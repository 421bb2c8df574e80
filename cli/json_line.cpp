#include "cli/json_line.h"

#include <cstdio>

namespace kvx::cli {

namespace {
// Length of the valid UTF-8 sequence at s[i], 0 when there is none.
size_t Utf8Length(const std::string& s, size_t i) {
    const auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    unsigned char c = b(i);
    size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + n > s.size()) return 0;
    for (size_t k = 1; k < n; ++k)
        if ((b(i + k) >> 6) != 2) return 0;
    if (n == 2 && c < 0xC2) return 0;  // overlong
    return n;
}
}  // namespace

std::string CJsonLine::Quote(const std::string& s) {
    std::string out = "\"";
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        size_t n = Utf8Length(s, i);
        if (n == 0) {
            out += "\\ufffd";
            ++i;
            continue;
        }
        if (n > 1) {
            out.append(s, i, n);
            i += n;
            continue;
        }
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20 || c == 0x7F) {
                    char b[8];
                    std::snprintf(b, sizeof b, "\\u%04x", c);
                    out += b;
                } else {
                    out += static_cast<char>(c);
                }
        }
        ++i;
    }
    return out + "\"";
}

void CJsonLine::Key(const std::string& key) {
    text_ += text_.empty() ? "{" : ",";
    text_ += Quote(key) + ":";
}

CJsonLine& CJsonLine::Add(const std::string& key, const std::string& value) {
    Key(key);
    text_ += Quote(value);
    return *this;
}

CJsonLine& CJsonLine::Add(const std::string& key, int64_t value) {
    Key(key);
    text_ += std::to_string(value);
    return *this;
}

CJsonLine& CJsonLine::Add(const std::string& key, uint64_t value) {
    Key(key);
    text_ += std::to_string(value);
    return *this;
}

CJsonLine& CJsonLine::Add(const std::string& key, bool value) {
    Key(key);
    text_ += value ? "true" : "false";
    return *this;
}

}  // namespace kvx::cli
