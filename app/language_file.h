// A per-language resource file as the language chooser sees it: opened by
// path, asked for its string table. The window side opens Qt binary resource
// files; tests open fakes.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace kvx::app {

class LanguageFile {
public:
    virtual ~LanguageFile() = default;
    // The file's string table (id, UTF-8 text), in file order.
    virtual const std::vector<std::pair<uint32_t, std::string>>& Strings() const = 0;
    // True when the file carries a non-empty text for id.
    bool HasString(uint32_t id) const {
        for (const auto& [sid, text] : Strings())
            if (sid == id && !text.empty()) return true;
        return false;
    }
};

// Opens the file at path; null when it does not exist or cannot be loaded.
using LanguageFileOpener = std::function<std::unique_ptr<LanguageFile>(const std::string& path)>;

}  // namespace kvx::app
