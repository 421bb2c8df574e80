#include "fake_camera.h"

#include <algorithm>
#include <cstring>

namespace kvx::engine::test {

KVX_PICT_FILE_ENTRY MakeEntry(uint16_t format, const std::string& name, uint32_t size,
                              uint32_t objectId) {
    KVX_PICT_FILE_ENTRY e;
    std::memset(&e, 0, sizeof e);
    e.formatCode = format;
    std::memcpy(e.fileName, name.data(), std::min(name.size(), sizeof e.fileName - 1));
    e.fileSize = size;
    e.objectId = objectId;
    return e;
}

std::vector<uint8_t> PictureBytes(size_t size, uint32_t seed) {
    std::vector<uint8_t> out(size);
    uint32_t x = seed * 2654435761u + 1;
    for (auto& b : out) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<uint8_t>(x);
    }
    return out;
}

static void PutU16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
static void PutU32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

void PutMultiPartInfo(uint8_t* out, uint16_t part, uint16_t parts, uint32_t headerOffset,
                      uint32_t a, uint32_t b, uint32_t trailerOffset, uint32_t trailerLength) {
    PutU16(out, part);
    PutU16(out + 2, parts);
    PutU32(out + 4, headerOffset);
    PutU32(out + 8, a);
    PutU32(out + 12, 0xDEADBEEF);
    PutU32(out + 16, b);
    PutU32(out + 20, trailerOffset);
    PutU32(out + 24, trailerLength);
}

std::vector<uint8_t> FakeCamera::PieceReply(const std::vector<uint8_t>& object, uint32_t offset,
                                            uint32_t size) {
    uint32_t available = offset < object.size() ? static_cast<uint32_t>(object.size() - offset) : 0;
    uint32_t length = std::min(size, available);
    std::vector<uint8_t> reply(4 + length + 2);
    PutU32(reply.data(), length);
    if (length) std::memcpy(reply.data() + 4, object.data() + offset, length);
    PutU16(reply.data() + 4 + length, offset + length < object.size() ? 1 : 0);
    return reply;
}

HResult FakeCamera::GetCaptureStatus(int32_t id, uint8_t* out) {
    captureStatusReads.push_back(id);
    if (auto f = captureStatusFails.find(id); f != captureStatusFails.end()) return f->second;
    auto it = captureStatus.find(id);
    if (it == captureStatus.end()) return KVX_E_FAIL;
    std::memcpy(out, it->second.data(), 8);
    return 0;
}

HResult FakeCamera::GetPictFileInfo(KVX_PICT_FILE_ENTRY* entries, int32_t maxEntries,
                                    uint32_t* count, uint8_t** raw, uint32_t* rawLength) {
    if (!firstForm || nextList >= lists.size()) return KVX_E_FAIL;
    const ListReply& l = lists[nextList++];
    if (l.hr != 0) return l.hr;
    for (size_t i = 0; i < l.entries.size() && static_cast<int32_t>(i) < maxEntries; ++i) {
        entries[i] = l.entries[i];
    }
    *count = l.count ? l.count : static_cast<uint32_t>(l.entries.size());
    listBuffer_.assign(KVX_REPLY_BUFFER_SIZE - KVX_VENDOR_OUT_HEADER_SIZE, 0);
    std::copy(l.record.begin(), l.record.end(), listBuffer_.begin());
    *raw = listBuffer_.data();
    *rawLength = l.reportedLength ? l.reportedLength : static_cast<uint32_t>(l.record.size());
    return 0;
}

HResult FakeCamera::GetPictFileInfo2(KVX_PICT_FILE_ENTRY* entries, int32_t maxEntries,
                                     uint32_t* count, uint8_t* isMultiPart, uint8_t* multiPartInfo,
                                     uint8_t** raw, uint32_t* actualSize) {
    if (firstForm || nextList >= lists.size()) return KVX_E_FAIL;
    const ListReply& l = lists[nextList++];
    if (l.hr != 0) return l.hr;
    *isMultiPart = 0;
    for (size_t i = 0; i < l.entries.size() && static_cast<int32_t>(i) < maxEntries; ++i) {
        entries[i] = l.entries[i];
        *isMultiPart = l.entries[i].formatCode == 0x380A ? 1 : 0;
        if (*isMultiPart) std::memcpy(multiPartInfo, l.multiPartInfo, 28);
    }
    *count = l.count ? l.count : static_cast<uint32_t>(l.entries.size());
    listBuffer_.assign(KVX_REPLY_BUFFER_SIZE - KVX_VENDOR_OUT_HEADER_SIZE, 0);
    std::copy(l.record.begin(), l.record.end(), listBuffer_.begin());
    *raw = listBuffer_.data();
    // As the library reports it: the escape's reply header and the record.
    *actualSize = KVX_VENDOR_OUT_HEADER_SIZE + static_cast<uint32_t>(l.record.size());
    return 0;
}

HResult FakeCamera::GetBigPartialPictFile(uint32_t objectId, uint32_t offset, uint32_t size,
                                          uint8_t** data, uint32_t* actualSize) {
    const int call = static_cast<int>(pieces.size());
    pieces.push_back({objectId, offset, size});
    HResult hr = 0;
    std::vector<uint8_t> reply;
    if (!pieceHook || !pieceHook(call, pieces.back(), reply, hr)) {
        auto it = objects.find(objectId);
        if (it == objects.end()) return KVX_E_FAIL;
        reply = PieceReply(it->second, offset, size);
    }
    if (hr != 0) return hr;
    // One buffer, overwritten by every piece, as the library's reply is: a
    // piece used after the next request shows as the wrong bytes.
    pieceBuffer_.reserve(std::max<size_t>(reply.size(), 4 + 0x20000F + 2));
    pieceBuffer_.assign(reply.begin(), reply.end());
    *data = pieceBuffer_.data();
    *actualSize = pieceBuffer_.empty()
                      ? 0
                      : KVX_VENDOR_OUT_HEADER_SIZE + static_cast<uint32_t>(pieceBuffer_.size());
    return 0;
}

}  // namespace kvx::engine::test
