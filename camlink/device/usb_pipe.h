// IBytePipe over USB bulk endpoints. Reads are asked for in whole packets:
// a read of fewer bytes than one packet goes through a staging buffer (a
// device may always send a full packet), larger reads go straight into the
// caller's buffer in large transfers. Every count the transport reports is
// checked against what was asked for.
#pragma once

#include <memory>
#include <vector>

#include "camlink/device/bulk_transport.h"
#include "camlink/device/byte_pipe.h"

namespace kvx::device {

class UsbPipe final : public IBytePipe {
public:
    static constexpr unsigned kDefaultTimeoutMs = 5000;
    static constexpr size_t kMaxTransfer = 1u << 20;  // per bulk transfer

    explicit UsbPipe(std::unique_ptr<IBulkTransport> transport,
                     unsigned timeoutMs = kDefaultTimeoutMs);

    PipeStatus SendContainer(std::span<const uint8_t> bytes) override;
    PipeStatus Receive(std::span<uint8_t> into, size_t* received) override;

    IBulkTransport& Transport() { return *transport_; }

private:
    static PipeStatus FromBulk(BulkResult r);

    std::unique_ptr<IBulkTransport> transport_;
    unsigned timeoutMs_;
    size_t packet_;
    std::vector<uint8_t> staging_;
    size_t stagedBegin_ = 0;
    size_t stagedEnd_ = 0;
};

}  // namespace kvx::device
