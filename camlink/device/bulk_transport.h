// The two bulk endpoints of a USB still-image interface, as the USB pipe
// (usb_pipe.h) uses them. LibusbBulkTransport is the real one; tests drive
// the pipe through a fake that records transfers and replays replies.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kvx::device {

enum class BulkResult { Ok, Timeout, Gone, Error };

class IBulkTransport {
public:
    virtual ~IBulkTransport() = default;

    // wMaxPacketSize of the bulk-in endpoint (bulk-out uses the same size on
    // every still-image device we know of).
    virtual size_t PacketSize() const = 0;

    // One bulk transfer. *transferred is what the device took or sent; a
    // timeout may still have moved some bytes.
    virtual BulkResult BulkOut(const uint8_t* data, size_t length, size_t* transferred,
                               unsigned timeoutMs) = 0;
    virtual BulkResult BulkIn(uint8_t* data, size_t length, size_t* transferred,
                              unsigned timeoutMs) = 0;
};

}  // namespace kvx::device
