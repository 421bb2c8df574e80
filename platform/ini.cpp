#include "ini.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace kvx {

namespace {

bool EqualsNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return s.substr(b, e - b);
}

}  // namespace

void IniFile::Reload() {
    sections_.clear();
    if (path_.empty()) return;
    std::ifstream in(path_, std::ios::binary);
    if (!in) return;
    std::stringstream ss;
    ss << in.rdbuf();
    LoadFromText(ss.str());
}

void IniFile::LoadFromText(const std::string& text) {
    sections_.clear();
    std::istringstream in(text);
    std::string line;
    Section* current = nullptr;
    while (std::getline(in, line)) {
        std::string t = Trim(line);
        if (t.empty() || t[0] == ';' || t[0] == '#') continue;
        if (t[0] == '[') {
            auto close = t.find(']');
            std::string name = Trim(t.substr(1, close == std::string::npos ? std::string::npos : close - 1));
            current = &SectionFor(name);
            continue;
        }
        if (!current) continue;
        auto eq = t.find('=');
        if (eq == std::string::npos) continue;
        std::string key = Trim(t.substr(0, eq));
        std::string value = Trim(t.substr(eq + 1));
        if (key.empty()) continue;
        bool found = false;
        for (auto& e : current->entries) {
            if (EqualsNoCase(e.key, key)) {
                found = true;  // the first occurrence wins, as the classic calls read it
                break;
            }
        }
        if (!found) current->entries.push_back({key, value});
    }
}

const IniFile::Entry* IniFile::Find(const std::string& section, const std::string& key) const {
    for (const auto& s : sections_) {
        if (!EqualsNoCase(s.name, section)) continue;
        for (const auto& e : s.entries)
            if (EqualsNoCase(e.key, key)) return &e;
    }
    return nullptr;
}

IniFile::Section& IniFile::SectionFor(const std::string& section) {
    for (auto& s : sections_)
        if (EqualsNoCase(s.name, section)) return s;
    sections_.push_back({section, {}});
    return sections_.back();
}

bool IniFile::Has(const std::string& section, const std::string& key) const {
    return Find(section, key) != nullptr;
}

std::string IniFile::GetString(const std::string& section, const std::string& key,
                               const std::string& fallback, size_t capacity) const {
    const Entry* e = Find(section, key);
    std::string v = e ? e->value : fallback;
    // A value in matching quotes is returned without them.
    if (e && v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
    if (capacity == 0) return {};
    if (v.size() > capacity - 1) v.resize(capacity - 1);
    return v;
}

int32_t IniFile::ParseInt(const std::string& text, int32_t fallback) {
    if (text.empty()) return fallback;
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    uint32_t value = 0;
    if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
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

int32_t IniFile::GetInt(const std::string& section, const std::string& key, int32_t fallback) const {
    const Entry* e = Find(section, key);
    if (!e) return fallback;
    return ParseInt(GetString(section, key, ""), fallback);
}

void IniFile::SetString(const std::string& section, const std::string& key, const std::string& value) {
    Section& s = SectionFor(section);
    for (auto& e : s.entries) {
        if (EqualsNoCase(e.key, key)) {
            e.value = value;
            return;
        }
    }
    s.entries.push_back({key, value});
}

void IniFile::SetInt(const std::string& section, const std::string& key, int32_t value) {
    SetString(section, key, std::to_string(value));
}

void IniFile::Remove(const std::string& section, const std::string& key) {
    for (auto& s : sections_) {
        if (!EqualsNoCase(s.name, section)) continue;
        s.entries.erase(std::remove_if(s.entries.begin(), s.entries.end(),
                                       [&](const Entry& e) { return EqualsNoCase(e.key, key); }),
                        s.entries.end());
    }
}

std::string IniFile::ToText() const {
    std::string out;
    for (const auto& s : sections_) {
        out += "[" + s.name + "]\n";
        for (const auto& e : s.entries) out += e.key + "=" + e.value + "\n";
    }
    return out;
}

bool IniFile::Save() const {
    if (path_.empty()) return false;
    std::string tmp = path_ + ".tmp" + std::to_string(::getpid());
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out << ToText();
        out.flush();
        if (!out) {
            std::remove(tmp.c_str());
            return false;
        }
    }
    if (std::rename(tmp.c_str(), path_.c_str()) != 0) {
        std::remove(tmp.c_str());
        return false;
    }
    return true;
}

int32_t IniReadInt(const std::string& path, const std::string& section, const std::string& key,
                   int32_t fallback) {
    IniFile ini(path);
    return ini.GetInt(section, key, fallback);
}

}  // namespace kvx
