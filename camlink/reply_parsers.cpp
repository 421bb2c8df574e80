#include "camlink/reply_parsers.h"

#include <cstring>

#include "camlink/device/ptp_container.h"

namespace kvx::camlink {

// The caller's arrays are laid out by these sizes.
static_assert(sizeof(KVX_PICT_FILE_ENTRY1) == KVX_PICT_ENTRY1_SIZE_VUR1);
static_assert(sizeof(KVX_PICT_FILE_ENTRY) == KVX_PICT_ENTRY_SIZE);

namespace {

using kvx::ptp::ReadU16;
using kvx::ptp::ReadU32;

constexpr size_t kTextCapacity = 128;

// Length of the zero-terminated text at offset, when its terminator lies
// inside the reply.
std::optional<size_t> TextLength(const uint8_t* record, size_t size, size_t offset) {
    if (offset >= size) return std::nullopt;
    const void* end = std::memchr(record + offset, 0, size - offset);
    if (!end) return std::nullopt;
    return static_cast<size_t>(static_cast<const uint8_t*>(end) - (record + offset));
}

struct List1Entry {
    uint16_t v1, v2, v3;
    const char* name;
    size_t nameLength;
    uint32_t v4, v5;
    size_t length;
};

// Walks the first form; calls fill(index, entry) for each entry inside the reply.
template <typename Fill>
PictListResult WalkList1(const uint8_t* record, size_t size, int32_t maxEntries, Fill fill) {
    PictListResult r;
    r.rawLength = 1;
    if (!record || size < 1) return r;
    const uint32_t n = record[0];
    const uint32_t room = maxEntries > 0 ? static_cast<uint32_t>(maxEntries) : 0;
    size_t pos = 1;
    for (uint32_t i = 0; i < n; ++i) {
        if (size - pos < 6) break;
        List1Entry e{};
        e.v1 = ReadU16(record + pos);
        e.v2 = ReadU16(record + pos + 2);
        e.v3 = ReadU16(record + pos + 4);
        auto len = TextLength(record, size, pos + 6);
        if (!len) break;
        const size_t after = pos + 6 + *len + 1;
        if (size - after < 8) break;
        e.name = reinterpret_cast<const char*>(record + pos + 6);
        e.nameLength = *len;
        e.v4 = ReadU32(record + after);
        e.v5 = ReadU32(record + after + 4);
        e.length = 15 + *len;
        if (r.filled < room) {
            fill(r.filled, e);
            ++r.filled;
            r.rawLength += static_cast<uint32_t>(e.length);
        }
        ++r.count;
        pos = after + 8;
    }
    return r;
}

void CopyText(char (&to)[kTextCapacity], const char* from, size_t length) {
    if (length >= kTextCapacity) return;
    std::memcpy(to, from, length);
    to[length] = '\0';
}

void FormatText(uint16_t code, char (&text)[4]) {
    const char* t = code == 0x3801 ? "JPG" : code == 0xB801 ? "Q7F" : code == 0x380A ? "Q7I" : "";
    std::memset(text, 0, sizeof text);
    std::memcpy(text, t, std::strlen(t));
}

}  // namespace

PictListResult ParsePictList1(const uint8_t* record, size_t size, KVX_PICT_FILE_ENTRY1* entries,
                              int32_t maxEntries) {
    if (!entries) maxEntries = 0;
    return WalkList1(record, size, maxEntries, [&](uint32_t i, const List1Entry& e) {
        KVX_PICT_FILE_ENTRY1& out = entries[i];
        out.value1 = e.v1;
        out.value2 = e.v2;
        out.value3 = e.v3;
        CopyText(out.fileName, e.name, e.nameLength);
        out.value4 = e.v4;
        out.value5 = e.v5;
    });
}

PictListResult ParsePictList1Wide(const uint8_t* record, size_t size, KVX_PICT_FILE_ENTRY* entries,
                                  int32_t maxEntries) {
    if (!entries) maxEntries = 0;
    return WalkList1(record, size, maxEntries, [&](uint32_t i, const List1Entry& e) {
        KVX_PICT_FILE_ENTRY& out = entries[i];
        out.formatCode = e.v1;
        FormatText(e.v1, out.formatText);
        out.valueA = e.v2;
        out.valueB = e.v3;
        out.firstText[0] = '\0';
        CopyText(out.fileName, e.name, e.nameLength);
        out.fileSize = e.v4;
        out.objectId = e.v5;
    });
}

PictListResult ParsePictList2(const uint8_t* record, size_t size, KVX_PICT_FILE_ENTRY* entries,
                              int32_t maxEntries, uint8_t* isMultiPart, uint8_t* multiPartInfo) {
    PictListResult r;
    if (!record || size < 8) return r;
    if (!entries) maxEntries = 0;
    const uint32_t room = maxEntries > 0 ? static_cast<uint32_t>(maxEntries) : 0;
    const uint32_t n = ReadU32(record + 4);
    const uint64_t slots = (size - 8) / 4;  // offsets that lie inside the reply
    const uint64_t walk = n < slots ? n : slots;
    for (uint64_t i = 0; i < walk; ++i) {
        const uint64_t e = ReadU32(record + 8 + 4 * i);
        if (e + 24 > size) continue;
        const uint8_t* E = record + e;
        const char* format = reinterpret_cast<const char*>(E + 16);
        const bool q7i = std::memcmp(format, "Q7I", 4) == 0;
        if (q7i && e + 24 + KVX_MULTI_PART_INFO_SIZE > size) continue;
        const uint32_t firstOffset = ReadU32(E + 8);
        const uint32_t nameOffset = ReadU32(E + 12);
        std::optional<size_t> firstLength, nameLength;
        if (firstOffset != 0) {
            firstLength = TextLength(record, size, firstOffset);
            if (!firstLength) continue;
        }
        if (nameOffset != 0) {
            nameLength = TextLength(record, size, nameOffset);
            if (!nameLength) continue;
        }
        ++r.count;
        if (r.filled >= room) continue;

        KVX_PICT_FILE_ENTRY& out = entries[r.filled++];
        if (std::memcmp(format, "JPG", 4) == 0)
            out.formatCode = 0x3801;
        else if (std::memcmp(format, "Q7F", 4) == 0)
            out.formatCode = 0xB801;
        else if (q7i)
            out.formatCode = 0x380A;
        std::memcpy(out.formatText, format, 4);
        out.valueA = ReadU16(E + 20);
        out.valueB = ReadU16(E + 22);
        if (firstOffset == 0)
            out.firstText[0] = '\0';
        else
            CopyText(out.firstText, reinterpret_cast<const char*>(record + firstOffset),
                     *firstLength);
        if (nameOffset != 0)
            CopyText(out.fileName, reinterpret_cast<const char*>(record + nameOffset), *nameLength);
        out.fileSize = ReadU32(E + 4);
        out.objectId = ReadU32(E);
        if (q7i) {
            if (isMultiPart) *isMultiPart = 1;
            if (multiPartInfo) std::memcpy(multiPartInfo, E + 24, KVX_MULTI_PART_INFO_SIZE);
        } else if (isMultiPart) {
            *isMultiPart = 0;
        }
    }
    return r;
}

std::optional<VendorReply> ParseVendorReply(const uint8_t* reply, size_t size) {
    if (!reply || size < KVX_VENDOR_OUT_HEADER_SIZE) return std::nullopt;
    VendorReply v;
    v.responseCode = ReadU16(reply);
    v.sessionId = ReadU32(reply + 2);
    v.transactionId = ReadU32(reply + 6);
    for (size_t i = 0; i < 5; ++i) v.params[i] = ReadU32(reply + 10 + 4 * i);
    v.record = std::span<const uint8_t>(reply + KVX_VENDOR_OUT_HEADER_SIZE,
                                        size - KVX_VENDOR_OUT_HEADER_SIZE);
    return v;
}

}  // namespace kvx::camlink
