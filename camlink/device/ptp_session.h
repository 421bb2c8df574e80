// A PTP session over a byte pipe: runs one transaction at a time with USB
// container framing (command, optional data in either direction, response),
// numbering transactions from the session's opening on. Any pipe failure or
// malformed container breaks the session: framing is lost, so every later
// transaction fails at once with the same result instead of waiting again.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "camlink/device/byte_pipe.h"
#include "camlink/device/hresult.h"

namespace kvx::device {

struct PtpRequest {
    uint16_t opCode = 0;
    std::span<const uint32_t> params;  // at most five
    bool writePhase = false;           // send writeData as one data container
    std::span<const uint8_t> writeData;
    std::span<uint8_t> readInto;  // room for the payload of a data container from the device
};

struct PtpResponse {
    uint16_t responseCode = 0;
    uint32_t transactionId = 0;
    std::array<uint32_t, 5> params{};
    size_t dataSize = 0;  // payload bytes placed into readInto
};

class PtpSession {
public:
    // A data container longer than this is not drained but ends the session.
    static constexpr size_t kMaxDrain = 64u << 20;

    explicit PtpSession(std::unique_ptr<IBytePipe> pipe);

    // OpenSession (0x1002) with transaction id 0; a device that answers
    // "session already open" is taken as open.
    HResult Open(uint32_t sessionId = 1);
    // CloseSession (0x1003), when open and not broken.
    HResult Close();

    // Runs one transaction. kHrOk whenever a response container arrived,
    // whatever its code; kHrInsufficientBuffer when the device's data does not
    // fit into readInto (the data is drained and the response read, so the
    // session goes on).
    HResult Run(const PtpRequest& request, PtpResponse* response);

    uint32_t SessionId() const { return sessionId_; }
    bool IsOpen() const { return open_; }
    bool IsBroken() const { return broken_ != kHrOk; }

private:
    HResult Fail(HResult hr);
    HResult FromPipe(PipeStatus s);
    HResult ReceiveExact(uint8_t* into, size_t n);
    HResult Drain(size_t n);

    std::unique_ptr<IBytePipe> pipe_;
    uint32_t sessionId_ = 0;
    uint32_t nextTransactionId_ = 0;
    bool open_ = false;
    HResult broken_ = kHrOk;
    std::vector<uint8_t> sendBuffer_;
    std::vector<uint8_t> drainBuffer_;
};

}  // namespace kvx::device
