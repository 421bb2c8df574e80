// Settings files with the semantics of the classic private-profile calls:
// case-insensitive sections and keys, only the first section and the first key
// of a name count, defaults for missing entries, length caps on strings,
// integers parsed from the leading digits. Lines end at LF, CRLF or a lone CR;
// a leading UTF-8 byte-order mark is skipped. We write UTF-8; a value that is
// not valid UTF-8 comes from a Windows code page file and is read as
// Windows-1252.
//
// Writing edits the file's bytes in place: only the line of the key written
// changes, or the key is added at the end of its section, or a new section at
// the end of the file. Comments, unknown sections and keys, their order, the
// byte-order mark and the file's line ends all survive.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kvx {

class IniFile {
public:
    IniFile() = default;
    explicit IniFile(std::string path) : path_(std::move(path)) { Reload(); }

    const std::string& Path() const { return path_; }
    // Reads the file again. A missing file is an empty profile; so is one that
    // exists but cannot be read, and Save then refuses to replace it.
    void Reload();
    void LoadFromText(const std::string& text);

    // The value, or fallback when the key is missing. The result holds at most
    // capacity - 1 bytes, as a buffer of `capacity` would, and never ends in
    // part of a character.
    std::string GetString(const std::string& section, const std::string& key,
                          const std::string& fallback, size_t capacity = 256) const;
    // Leading blanks, an optional sign, then decimal digits; "0x" takes hex.
    // A missing or empty value gives fallback; text without digits gives 0.
    int32_t GetInt(const std::string& section, const std::string& key, int32_t fallback) const;
    bool Has(const std::string& section, const std::string& key) const;

    // Only the text up to a line break is stored: a value never spans lines.
    // A section or key that cannot be stored (empty, a line break, "]" in a
    // section, "=" in a key) changes nothing and makes Save fail.
    void SetString(const std::string& section, const std::string& key, const std::string& value);
    void SetInt(const std::string& section, const std::string& key, int32_t value);
    void Remove(const std::string& section, const std::string& key);

    // True when nothing changed (the file is left untouched) or the file was
    // replaced: written beside it, synced, renamed over it, folder synced, so
    // a crash never leaves half a settings file. False when it cannot be
    // written, when the old file could not be read, or a name was refused.
    bool Save();
    const std::string& ToText() const { return text_; }

    static int32_t ParseInt(const std::string& text, int32_t fallback);

private:
    struct Spot;
    Spot Locate(const std::string& section, const std::string& key) const;
    std::string LineEnd() const;

    std::string path_;
    std::string text_;   // every byte of the file, byte-order mark included
    std::string saved_;  // the bytes the file holds, as last read or written
    bool unreadable_ = false;
    bool refused_ = false;
};

// One value read straight from a file, as the camera link library does at load.
int32_t IniReadInt(const std::string& path, const std::string& section, const std::string& key,
                   int32_t fallback);

}  // namespace kvx
