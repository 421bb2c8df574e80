// Second-form picture list from a camera.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "camlink/reply_parsers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    int32_t room = size > 0 ? data[0] % 5 : 0;
    std::vector<uint8_t> reply(data + (size > 0 ? 1 : 0), data + size);
    KVX_PICT_FILE_ENTRY entries[4];
    std::memset(entries, 0, sizeof entries);
    uint8_t multi = 2, info[KVX_MULTI_PART_INFO_SIZE] = {};
    auto r = kvx::camlink::ParsePictList2(reply.data(), reply.size(), entries, room, &multi, info);
    if (r.filled > static_cast<uint32_t>(room) || r.filled > r.count ||
        r.count > (reply.size() < 8 ? 0 : (reply.size() - 8) / 4))
        __builtin_trap();
    for (uint32_t i = 0; i < r.filled; ++i) {
        if (!std::memchr(entries[i].fileName, 0, 128) || !std::memchr(entries[i].firstText, 0, 128))
            __builtin_trap();
    }
    return 0;
}
