// The program's string table: string id -> English UTF-8 text. One table for
// the whole program; every window looks its texts up here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

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
// All rows, in table order (for checks and tools).
std::span<const tag_STRING_ENTRY> StringTable();

}  // namespace VARNO
