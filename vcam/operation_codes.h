// The camera's table of the vendor operations it knows: which carry a write
// phase, which answer with data, and the reply limits the host's buffers set.
#pragma once

#include <cstddef>
#include <cstdint>

#include "camlink/device/ptp_container.h"

namespace kvx::vcam {

constexpr uint16_t kOk = ptp::kResponseOk;
constexpr uint16_t kGeneralError = ptp::kResponseGeneralError;
constexpr uint16_t kSessionNotOpen = ptp::kResponseSessionNotOpen;
constexpr uint16_t kNotSupported = ptp::kResponseOperationNotSupported;
constexpr uint16_t kInvalidObject = 0x2009;
constexpr uint16_t kDeviceBusy = 0x2019;
constexpr uint16_t kInvalidParameter = ptp::kResponseInvalidParameter;
constexpr uint16_t kSessionAlreadyOpen = ptp::kResponseSessionAlreadyOpen;

// What the host's buffers hold after their 30-byte reply header.
constexpr size_t kNormalReplyMax = 61'216;
constexpr size_t kLargeReplyMax = 2'097'186;
constexpr uint32_t kPieceMax = 0x200000;
constexpr size_t kMaxWriteData = 64 * 1024;

// Operations whose command is followed by a data container from the host.
bool HasWritePhase(uint16_t op);
// Operations the camera answers with a data container.
bool IsReadOp(uint16_t op);
// Reads whose reply may fill the host's large buffer.
bool IsLargeRead(uint16_t op);

}  // namespace kvx::vcam
