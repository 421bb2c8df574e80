// Settings files with the semantics of the classic private-profile calls:
// case-insensitive sections and keys, defaults for missing entries, length
// caps on strings, integers parsed from the leading digits. UTF-8 text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kvx {

class IniFile {
public:
    IniFile() = default;
    explicit IniFile(std::string path) : path_(std::move(path)) { Reload(); }

    const std::string& Path() const { return path_; }
    // Reads the file again; a missing or unreadable file is an empty profile.
    void Reload();
    void LoadFromText(const std::string& text);

    // The value, or fallback when the key is missing. The result holds at most
    // capacity - 1 characters, as a buffer of `capacity` characters would.
    std::string GetString(const std::string& section, const std::string& key,
                          const std::string& fallback, size_t capacity = 256) const;
    // Leading blanks, an optional sign, then decimal digits; "0x" takes hex.
    // A missing or empty value gives fallback; text without digits gives 0.
    int32_t GetInt(const std::string& section, const std::string& key, int32_t fallback) const;
    bool Has(const std::string& section, const std::string& key) const;

    void SetString(const std::string& section, const std::string& key, const std::string& value);
    void SetInt(const std::string& section, const std::string& key, int32_t value);
    void Remove(const std::string& section, const std::string& key);

    // Writes the whole file through a temporary and a rename, so a crash
    // never leaves half a settings file. False when it cannot be written.
    bool Save() const;
    std::string ToText() const;

    static int32_t ParseInt(const std::string& text, int32_t fallback);

private:
    struct Entry {
        std::string key;
        std::string value;
    };
    struct Section {
        std::string name;
        std::vector<Entry> entries;
    };
    const Entry* Find(const std::string& section, const std::string& key) const;
    Section& SectionFor(const std::string& section);

    std::string path_;
    std::vector<Section> sections_;
};

// One value read straight from a file, as the camera link library does at load.
int32_t IniReadInt(const std::string& path, const std::string& section, const std::string& key,
                   int32_t fallback);

}  // namespace kvx
