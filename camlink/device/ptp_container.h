// PTP (ISO 15740) USB container framing: the one piece of byte layout that
// the camera link and the virtual camera share. A transaction is a command
// container, an optional data container (either direction), then a response
// container from the device.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace kvx::ptp {

enum class ContainerType : uint16_t { Command = 1, Data = 2, Response = 3, Event = 4 };

constexpr size_t kHeaderSize = 12;  // u32 length, u16 type, u16 code, u32 transaction id
constexpr size_t kMaxParams = 5;
constexpr uint16_t kResponseOk = 0x2001;
constexpr uint16_t kResponseGeneralError = 0x2002;
constexpr uint16_t kResponseSessionNotOpen = 0x2003;
constexpr uint16_t kResponseOperationNotSupported = 0x2005;
constexpr uint16_t kResponseParameterNotSupported = 0x2006;
constexpr uint16_t kResponseDeviceBusy = 0x2019;
constexpr uint16_t kResponseInvalidParameter = 0x201D;
constexpr uint16_t kResponseSessionAlreadyOpen = 0x201E;
constexpr uint16_t kOpOpenSession = 0x1002;
constexpr uint16_t kOpCloseSession = 0x1003;

struct Header {
    uint32_t length = 0;  // whole container, header included
    ContainerType type = ContainerType::Command;
    uint16_t code = 0;
    uint32_t transactionId = 0;
};

// Decodes the 12-byte header. Empty when fewer than 12 bytes are given, the
// length is below 12, or the type is unknown.
std::optional<Header> DecodeHeader(std::span<const uint8_t> bytes);
void EncodeHeader(const Header& h, uint8_t out[kHeaderSize]);

// Command or response: header plus up to five u32 parameters.
std::vector<uint8_t> EncodeParams(ContainerType type, uint16_t code, uint32_t transactionId,
                                  std::span<const uint32_t> params);
// Parameters of a command or response container body (the bytes after the
// header). Empty when the body is not a whole number of u32 or has more than five.
std::optional<std::vector<uint32_t>> DecodeParams(std::span<const uint8_t> body);

// Data container header for a payload of payloadSize bytes.
Header DataHeader(uint16_t code, uint32_t transactionId, size_t payloadSize);

inline uint32_t ReadU32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline uint16_t ReadU16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
inline void WriteU32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}
inline void WriteU16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

}  // namespace kvx::ptp
