#include "engine/status_records.h"

#include <algorithm>
#include <cstring>

namespace kvx::engine {

namespace {

uint16_t U16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t U32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

constexpr uint32_t kMaxItems = 256;
constexpr size_t kItemSize = 12;
constexpr size_t kItemsStart = 8;
constexpr uint32_t kMaxPictureIds = 127;

struct ItemData {
    const uint8_t* data = nullptr;
    size_t count = 0;
};

// The item's bytes: in the value field when they fit into 4 bytes, else at
// the offset. False when they lie outside the received bytes.
bool LocateData(const uint8_t* record, size_t received, const uint8_t* item, size_t byteCount,
                ItemData& out) {
    if (byteCount <= 4) {
        out.data = item + 8;
        out.count = byteCount;
        return true;
    }
    uint32_t offset = U32(item + 8);
    if (offset > received || byteCount > received - offset) return false;
    out.data = record + offset;
    out.count = byteCount;
    return true;
}

bool DataGroupForItem(uint16_t type, RecordId& id) {
    switch (type) {
        case 0x9012:
            id = RecordId::kDataGroup1;
            return true;
        case 0x9013:
            id = RecordId::kDataGroup2;
            return true;
        case 0x9014:
            id = RecordId::kDataGroup3;
            return true;
        case 0x9023:
            id = RecordId::kDataGroup4;
            return true;
        case 0x9027:
            id = RecordId::kDataGroup5;
            return true;
        case 0x9029:
            id = RecordId::kDataGroup6;
            return true;
        default:
            return false;
    }
}

}  // namespace

ProtocolVersion ReadProtocolVersion(const uint8_t* config) {
    ProtocolVersion v;
    if (config[1] & 0x40) {
        v.major = U16(config + 48);
        v.minor = U16(config + 50);
    }
    return v;
}

bool IsProtocolSupported(ProtocolVersion v) {
    return !(v.major > 4 || (v.major == 4 && v.minor > 0));
}

std::string ReadCameraName(const uint8_t* config) {
    const char* name = reinterpret_cast<const char*>(config + 2);
    size_t n = 0;
    while (n < 46 && name[n] != '\0') ++n;
    return std::string(name, n);
}

CameraStatus ParseCameraStatus(const uint8_t* record) {
    CameraStatus s;
    s.length = static_cast<int8_t>(record[0]);
    s.state = static_cast<int16_t>(U16(record + 1));
    s.changeFlags = U16(record + 3);
    s.pictureBits = U32(record + 5);
    return s;
}

void BuildCameraStatus(const CameraStatus& s, uint8_t* record) {
    std::memset(record, 0, kStatusRecordSize);
    record[0] = static_cast<uint8_t>(s.length);
    auto state = static_cast<uint16_t>(s.state);
    record[1] = static_cast<uint8_t>(state);
    record[2] = static_cast<uint8_t>(state >> 8);
    record[3] = static_cast<uint8_t>(s.changeFlags);
    record[4] = static_cast<uint8_t>(s.changeFlags >> 8);
    for (int i = 0; i < 4; ++i) record[5 + i] = static_cast<uint8_t>(s.pictureBits >> (8 * i));
}

CaptureStatusRecord ParseCaptureStatus(const uint8_t* record) {
    CaptureStatusRecord c;
    c.length = static_cast<int8_t>(record[0]);
    c.pictureId = static_cast<int8_t>(record[1]);
    c.dbHead = static_cast<int8_t>(record[2]);
    c.dbTail = static_cast<int8_t>(record[3]);
    c.code = U16(record + 4);
    c.flags = record[6];
    return c;
}

UnpackedStatus2 UnpackStatusRecord2(const uint8_t* record, uint32_t reportedSize) {
    UnpackedStatus2 out;
    CameraStatus status;
    size_t received = reportedSize > kReplyHeaderSize ? reportedSize - kReplyHeaderSize : 0;
    received = std::min(received, kStatusRecord2Size);
    if (received < kItemsStart) {
        BuildCameraStatus(status, out.status);
        return out;
    }
    uint32_t total = U32(record);
    uint32_t items = std::min(U32(record + 4), kMaxItems);
    size_t itemRoom = (received - kItemsStart) / kItemSize;
    if (items > itemRoom) items = static_cast<uint32_t>(itemRoom);

    for (uint32_t i = 0; i < items; ++i) {
        const uint8_t* item = record + kItemsStart + kItemSize * i;
        uint16_t type = U16(item);
        uint32_t count = U32(item + 4);
        RecordId id{};
        if (type == 2) {
            status.state = static_cast<int16_t>(U16(item + 8));
        } else if (type == 5) {
            if (count < 1 || count > kMaxPictureIds) continue;
            ItemData d;
            if (!LocateData(record, received, item, count * 2u, d)) continue;
            out.pictureIds.clear();
            for (uint32_t k = 0; k < count; ++k) out.pictureIds.push_back(U16(d.data + 2 * k));
            out.picturesChanged = true;
        } else if (DataGroupForItem(type, id)) {
            ItemData d;
            if (!LocateData(record, received, item, count, d)) continue;
            UnpackedRecord r{id, {}};
            // The data follows the length byte; whatever the count says, it
            // fills at most the rest of the record.
            size_t n = std::min(d.count, Info(id).size - 1);
            r.bytes[0] = static_cast<uint8_t>(n);
            std::memcpy(r.bytes.data() + 1, d.data, n);
            out.records.push_back(r);
        } else if (type == 0x902E) {
            if (count > 4) {
                uint64_t end = static_cast<uint64_t>(U32(item + 8)) + count;
                if (end > static_cast<uint64_t>(total) + 10) continue;
            } else if (static_cast<uint64_t>(count) > static_cast<uint64_t>(total) + 10) {
                continue;
            }
            ItemData d;
            if (!LocateData(record, received, item, count, d)) continue;
            UnpackedRecord r{RecordId::kCanSetInfo4, {}};
            size_t n = std::min(d.count, Info(RecordId::kCanSetInfo4).size - 2);
            r.bytes[0] = static_cast<uint8_t>(n);
            r.bytes[1] = static_cast<uint8_t>(n >> 8);
            std::memcpy(r.bytes.data() + 2, d.data, n);
            out.records.push_back(r);
        }
    }
    if (out.picturesChanged) {
        status.changeFlags = kChangeFlagCaptureStatus;
        status.pictureBits = 1;
    }
    BuildCameraStatus(status, out.status);
    return out;
}

}  // namespace kvx::engine
