// IBulkTransport over libusb: the still-image interface (class 6) of one USB
// device, claimed for the lifetime of the object.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "camlink/device/bulk_transport.h"
#include "camlink/device/hresult.h"

struct libusb_context;
struct libusb_device_handle;

namespace kvx::device {

class LibusbBulkTransport final : public IBulkTransport {
public:
    // Opens the device at bus and port path and claims its still-image interface.
    static HResult Open(uint8_t bus, const std::vector<uint8_t>& ports,
                        std::unique_ptr<LibusbBulkTransport>* out);
    ~LibusbBulkTransport() override;
    LibusbBulkTransport(const LibusbBulkTransport&) = delete;
    LibusbBulkTransport& operator=(const LibusbBulkTransport&) = delete;

    size_t PacketSize() const override { return packetSize_; }
    BulkResult BulkOut(const uint8_t* data, size_t length, size_t* transferred,
                       unsigned timeoutMs) override;
    BulkResult BulkIn(uint8_t* data, size_t length, size_t* transferred,
                      unsigned timeoutMs) override;

private:
    LibusbBulkTransport() = default;
    static BulkResult FromLibusb(int r);

    libusb_context* ctx_ = nullptr;
    libusb_device_handle* handle_ = nullptr;
    int interface_ = -1;
    unsigned char in_ = 0;
    unsigned char out_ = 0;
    size_t packetSize_ = 512;
};

}  // namespace kvx::device
