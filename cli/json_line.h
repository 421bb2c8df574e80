// One JSON object on one line, for --json: scripts read kvx-tether's results
// line by line, each line a complete object.
#pragma once

#include <cstdint>
#include <string>

namespace kvx::cli {

class CJsonLine {
public:
    CJsonLine& Add(const std::string& key, const std::string& value);
    CJsonLine& Add(const std::string& key, const char* value) {
        return Add(key, std::string(value));
    }
    CJsonLine& Add(const std::string& key, int64_t value);
    CJsonLine& Add(const std::string& key, int value) { return Add(key, int64_t{value}); }
    CJsonLine& Add(const std::string& key, uint64_t value);
    CJsonLine& Add(const std::string& key, bool value);
    // The object with its closing brace and a line end.
    std::string Text() const { return text_.empty() ? "{}\n" : text_ + "}\n"; }

    // A JSON string literal: quotes, backslashes and control characters
    // escaped; bytes that are not UTF-8 (camera file names) become U+FFFD.
    static std::string Quote(const std::string& s);

private:
    void Key(const std::string& key);
    std::string text_;
};

}  // namespace kvx::cli
