// A byte pipe to one PTP device: USB bulk endpoints or a Unix stream socket.
// The PTP session (ptp_session.h) frames containers on top of it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace kvx::device {

enum class PipeStatus { Ok, Timeout, Closed, Error };

class IBytePipe {
public:
    virtual ~IBytePipe() = default;

    // Sends one whole container (every byte, or fails). USB ends the transfer
    // with a zero-length packet when the size is a multiple of the packet size.
    virtual PipeStatus SendContainer(std::span<const uint8_t> bytes) = 0;

    // Receives between 1 and into.size() bytes (into.size() > 0), waiting at
    // most the pipe's timeout. *received is the count on Ok, 0 otherwise.
    // Closed means the peer ended the stream or the device is gone.
    virtual PipeStatus Receive(std::span<uint8_t> into, size_t* received) = 0;
};

}  // namespace kvx::device
