// Results of the device layer, in the HRESULT form that the camera link
// library hands back to its callers unchanged.
#pragma once

#include <cstdint>

namespace kvx::device {

using HResult = int32_t;

constexpr HResult kHrOk = 0;
constexpr HResult kHrFail = static_cast<HResult>(0x80004005u);
constexpr HResult kHrInvalidArg = static_cast<HResult>(0x80070057u);
constexpr HResult kHrOutOfMemory = static_cast<HResult>(0x8007000Eu);
// The device sent bytes that are not a well-formed container of this transaction.
constexpr HResult kHrInvalidData = static_cast<HResult>(0x8007000Du);
// The pipe failed for another reason (USB error, socket error).
constexpr HResult kHrGenFailure = static_cast<HResult>(0x8007001Fu);
// No answer within the per-container wait.
constexpr HResult kHrTimeout = static_cast<HResult>(0x80070079u);
// The reply does not fit into the caller's output buffer.
constexpr HResult kHrInsufficientBuffer = static_cast<HResult>(0x8007007Au);
// The device went away (end of stream, USB device gone).
constexpr HResult kHrDeviceNotConnected = static_cast<HResult>(0x8007048Fu);
constexpr HResult kHrNotFound = static_cast<HResult>(0x80070490u);
constexpr HResult kHrAccessDenied = static_cast<HResult>(0x80070005u);
// The device is held by another program (a PTP session refused as busy, a
// USB interface claimed elsewhere).
constexpr HResult kHrBusy = static_cast<HResult>(0x800700AAu);

}  // namespace kvx::device
