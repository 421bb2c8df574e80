// One opened still-image device: a PTP session over its pipe, and the vendor
// escape that takes a PTP_VENDOR_DATA_IN request and fills a
// PTP_VENDOR_DATA_OUT reply.
//
// Request (in):  u16 OpCode, u32 SessionId, u32 TransactionId, u32 Params[5],
//                u32 NumParams, u32 NextPhase (3 read, 4 write), write data...
// Reply (out):   u16 ResponseCode, u32 SessionId, u32 TransactionId,
//                u32 Params[5], read data...
// The session id and transaction id of a request are ignored; the device's
// own numbering goes into the reply.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "camlink/device/device_list.h"
#include "camlink/device/hresult.h"
#include "camlink/device/ptp_session.h"

namespace kvx::device {

constexpr size_t kVendorInHeaderSize = 38;
constexpr size_t kVendorOutHeaderSize = 30;
constexpr uint32_t kNextPhaseReadData = 3;
constexpr uint32_t kNextPhaseWriteData = 4;

class PtpDevice {
public:
    // Connects to the device, opens a PTP session (0x1002).
    static HResult Open(const DeviceInfo& device, std::unique_ptr<PtpDevice>* out);
    // Over any pipe (tests).
    static HResult OpenOver(std::unique_ptr<IBytePipe> pipe, std::unique_ptr<PtpDevice>* out);
    // Closes the PTP session (0x1003) unless the device is already gone.
    ~PtpDevice();
    PtpDevice(const PtpDevice&) = delete;
    PtpDevice& operator=(const PtpDevice&) = delete;

    // *actualSize: bytes of the reply (header included) on success, else 0.
    HResult Escape(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize,
                   uint32_t* actualSize);

private:
    explicit PtpDevice(std::unique_ptr<IBytePipe> pipe) : session_(std::move(pipe)) {}
    PtpSession session_;
};

}  // namespace kvx::device
