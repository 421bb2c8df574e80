// The program's string table: string id -> English UTF-8 text. One table for
// the whole program; every window looks its texts up here. A language file
// accepted at start-up replaces the texts it carries.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace VARNO {

struct tag_STRING_ENTRY {
    uint32_t id;
    const char* text;
};

inline constexpr uint32_t kStrCamera = 104;
inline constexpr uint32_t kStrPlaceholder = 33001;  // "---"

// Text of `id`, "" when the table has no such string.
const char* StringText(uint32_t id);
// True when the table has `id`.
bool HasString(uint32_t id);
// All built-in rows, in table order (for checks and tools).
std::span<const tag_STRING_ENTRY> StringTable();

// Replaces the texts of the ids the table has with those given (ids the
// program never asks for are ignored), undoing any earlier replacement.
// Start-up calls this before any other thread runs; the pointers StringText
// returned before stay valid until the next call.
void ReplaceStrings(const std::vector<std::pair<uint32_t, std::string>>& texts);
// Back to the built-in English texts.
void RestoreBuiltInStrings();

}  // namespace VARNO
