// The string table of a language file: UTF-8 text, one string per line as
// "<id><TAB><text>". In the text, \n, \r, \t and \\ stand for a line feed, a
// carriage return, a tab and a backslash. Blank lines and lines starting
// with '#' are comments. Lines without a valid id are skipped.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kvx::app {

class StringTableText {
public:
    // The rows in file order; a later row for the same id wins when applied.
    static std::vector<std::pair<uint32_t, std::string>> Parse(std::string_view text);
    // The text form of rows (the inverse of Parse), for tools and tests.
    static std::string Format(const std::vector<std::pair<uint32_t, std::string>>& rows);
};

}  // namespace kvx::app
