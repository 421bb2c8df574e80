// Bytes from a device: the vendor reply header parse, and the PTP session's
// container framing fed with the input as everything the device sends.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <vector>

#include "camlink/device/ptp_session.h"
#include "camlink/reply_parsers.h"

namespace {

class InputPipe final : public kvx::device::IBytePipe {
public:
    InputPipe(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    kvx::device::PipeStatus SendContainer(std::span<const uint8_t>) override {
        return kvx::device::PipeStatus::Ok;
    }
    kvx::device::PipeStatus Receive(std::span<uint8_t> into, size_t* received) override {
        *received = 0;
        if (pos_ >= size_) return kvx::device::PipeStatus::Closed;
        // Odd chunk sizes, as a socket may deliver them.
        size_t n = std::min({into.size(), size_ - pos_, static_cast<size_t>(1 + data_[pos_] % 61)});
        std::memcpy(into.data(), data_ + pos_, n);
        pos_ += n;
        *received = n;
        return kvx::device::PipeStatus::Ok;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> copy(data, data + size);
    if (auto v = kvx::camlink::ParseVendorReply(copy.data(), copy.size())) {
        if (v->record.size() + 30 != copy.size()) __builtin_trap();
    }

    kvx::device::PtpSession session(std::make_unique<InputPipe>(data, size));
    session.Open(1);
    std::vector<uint8_t> buffer(256);
    const uint8_t write[4] = {2, 1, 1, 4};
    for (int i = 0; i < 4 && !session.IsBroken(); ++i) {
        const uint32_t params[3] = {1, 2, 3};
        kvx::device::PtpRequest req;
        req.opCode = static_cast<uint16_t>(0x9011 + i);
        req.params = std::span<const uint32_t>(params, static_cast<size_t>(i % 4));
        req.writePhase = i % 2 == 1;
        if (req.writePhase) req.writeData = write;
        req.readInto = buffer;
        kvx::device::PtpResponse resp;
        if (session.Run(req, &resp) == kvx::device::kHrOk && resp.dataSize > buffer.size())
            __builtin_trap();
    }
    return 0;
}
