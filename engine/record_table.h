// The camera's setting records as the communication thread fetches them:
// change flag, export, size, update message, name.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "engine/message_port.h"

namespace kvx::engine {

enum class RecordId : uint8_t {
    kCanSetInfo,
    kCanSetInfo2,
    kCanSetInfo3,
    kCanSetInfo4,
    kDataGroup1,
    kDataGroup2,
    kDataGroup3,
    kDataGroup4,
    kDataGroup5,
    kDataGroup6,
};
constexpr size_t kRecordKinds = 10;
constexpr size_t kLargestRecord = 112;

struct RecordInfo {
    RecordId id;
    uint16_t changeFlag;
    size_t size;
    uint32_t message;
    const char* name;
    bool settableInfo;  // 16-bit length at offset 0 instead of a length byte
};

// In the order the program fetches flagged records.
constexpr std::array<RecordInfo, kRecordKinds> kRecordFetchOrder{{
    {RecordId::kCanSetInfo, 0x0010, 39, kMsgCanSetInfoUpdated, "CanSetInfo", true},
    {RecordId::kCanSetInfo2, 0x0040, 57, kMsgCanSetInfo2Updated, "CanSetInfo2", true},
    {RecordId::kCanSetInfo3, 0x0200, 112, kMsgCanSetInfo3Updated, "CanSetInfo3", true},
    {RecordId::kCanSetInfo4, 0x0400, 102, kMsgCanSetInfo4Updated, "CanSetInfo4", true},
    {RecordId::kDataGroup1, 0x0001, 22, kMsgDataGroup1Updated, "DataGroup1", false},
    {RecordId::kDataGroup2, 0x0002, 20, kMsgDataGroup2Updated, "DataGroup2", false},
    {RecordId::kDataGroup3, 0x0004, 21, kMsgDataGroup3Updated, "DataGroup3", false},
    {RecordId::kDataGroup4, 0x0020, 10, kMsgDataGroup4Updated, "DataGroup4", false},
    {RecordId::kDataGroup5, 0x0080, 34, kMsgDataGroup5Updated, "DataGroup5", false},
    {RecordId::kDataGroup6, 0x0100, 38, kMsgDataGroup6Updated, "DataGroup6", false},
}};

constexpr const RecordInfo& Info(RecordId id) {
    return kRecordFetchOrder[static_cast<size_t>(id)];
}

// The record an update message announces, or false for any other message.
constexpr bool RecordForMessage(uint32_t message, RecordId& out) {
    for (const auto& r : kRecordFetchOrder) {
        if (r.message == message) {
            out = r.id;
            return true;
        }
    }
    return false;
}

constexpr uint16_t kChangeFlagCaptureStatus = 0x0008;
// Every data group and CanSetInfo to CanSetInfo3: fetched once per link.
constexpr uint16_t kChangeFlagsAtLink = 0x03F7;

}  // namespace kvx::engine
