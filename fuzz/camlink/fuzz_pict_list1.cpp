// First-form picture list from a camera, parsed into both entry widths.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "camlink/reply_parsers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The first byte picks how many entries the caller has room for.
    int32_t room = size > 0 ? data[0] % 5 : 0;
    std::vector<uint8_t> reply(data + (size > 0 ? 1 : 0), data + size);
    KVX_PICT_FILE_ENTRY1 narrow[4];
    KVX_PICT_FILE_ENTRY wide[4];
    std::memset(narrow, 0, sizeof narrow);
    std::memset(wide, 0, sizeof wide);
    auto a = kvx::camlink::ParsePictList1(reply.data(), reply.size(), narrow, room);
    auto b = kvx::camlink::ParsePictList1Wide(reply.data(), reply.size(), wide, room);
    if (a.count != b.count || a.filled != b.filled || a.filled > static_cast<uint32_t>(room) ||
        a.rawLength > reply.size() + 1)
        __builtin_trap();
    for (uint32_t i = 0; i < a.filled; ++i)
        if (std::memchr(narrow[i].fileName, 0, sizeof narrow[i].fileName) == nullptr)
            __builtin_trap();
    return 0;
}
