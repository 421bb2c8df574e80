// Readers of the configuration, camera status, status record 2 and capture
// status records. Camera bytes are untrusted: every reader stays inside the
// bytes it is given.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/record_table.h"

namespace kvx::engine {

constexpr size_t kConfigRecordSize = 53;
constexpr size_t kStatusRecordSize = 10;
constexpr size_t kStatusRecord2Size = 3080;
constexpr size_t kCaptureStatusRecordSize = 8;
// The link library reports the whole reply, its 30-byte header included.
constexpr uint32_t kReplyHeaderSize = 30;

struct ProtocolVersion {
    uint16_t major = 3;
    uint16_t minor = 0;
};

// Major and minor from the record when flag 0x40 is set, else 3.0.
ProtocolVersion ReadProtocolVersion(const uint8_t* config);
// Above 4.0 is not supported.
bool IsProtocolSupported(ProtocolVersion v);
// The zero-terminated camera name at offset 2 (at most 46 bytes).
std::string ReadCameraName(const uint8_t* config);

struct CameraStatus {
    int8_t length = 0;
    int16_t state = 0;
    uint16_t changeFlags = 0;
    uint32_t pictureBits = 0;
};
CameraStatus ParseCameraStatus(const uint8_t* record);
void BuildCameraStatus(const CameraStatus& s, uint8_t* record);  // 10 bytes

struct CaptureStatusRecord {
    int8_t length = 0;
    int8_t pictureId = 0;
    int8_t dbHead = 0;
    int8_t dbTail = 0;
    uint16_t code = 0;
    uint8_t flags = 0;  // bit 0x02: the camera still holds the picture
};
CaptureStatusRecord ParseCaptureStatus(const uint8_t* record);

// A data group or settable-info record filled from a status record 2 item.
struct UnpackedRecord {
    RecordId id;
    std::array<uint8_t, kLargestRecord> bytes{};  // the record's own size is Info(id).size
};

struct UnpackedStatus2 {
    // The camera status record of the common path: L 0, the state of item 2,
    // change flag 0x0008 and picture bits 1 when item 5 gave ids.
    uint8_t status[kStatusRecordSize]{};
    bool picturesChanged = false;
    std::vector<uint16_t> pictureIds;     // ids of the last valid item 5, in order
    std::vector<UnpackedRecord> records;  // in item order
};

// Unpacks status record 2. reportedSize is the size the link library
// reported for the reply; only the record bytes actually received (that size
// less the reply header, at most 3,080) are read. Items, counts and offsets
// that reach beyond them are skipped; an item never fills more than the
// record it targets.
UnpackedStatus2 UnpackStatusRecord2(const uint8_t* record, uint32_t reportedSize);

}  // namespace kvx::engine
