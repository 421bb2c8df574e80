#include "camlink/device/usb_pipe.h"

#include <algorithm>
#include <cstring>

namespace kvx::device {

namespace {
// A device may end a container that fills whole packets with a zero-length
// packet; a few in a row are tolerated, an endless stream of them is not.
constexpr int kMaxZeroLengthPackets = 4;
}  // namespace

UsbPipe::UsbPipe(std::unique_ptr<IBulkTransport> transport, unsigned timeoutMs)
    : transport_(std::move(transport)), timeoutMs_(timeoutMs) {
    packet_ = transport_->PacketSize();
    if (packet_ == 0 || packet_ > kMaxTransfer) packet_ = 512;
    staging_.resize(packet_);
}

PipeStatus UsbPipe::FromBulk(BulkResult r) {
    switch (r) {
        case BulkResult::Ok:
            return PipeStatus::Ok;
        case BulkResult::Timeout:
            return PipeStatus::Timeout;
        case BulkResult::Gone:
            return PipeStatus::Closed;
        case BulkResult::Error:
            break;
    }
    return PipeStatus::Error;
}

PipeStatus UsbPipe::SendContainer(std::span<const uint8_t> bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        size_t chunk = std::min(bytes.size() - sent, kMaxTransfer);
        size_t moved = 0;
        BulkResult r = transport_->BulkOut(bytes.data() + sent, chunk, &moved, timeoutMs_);
        if (moved > chunk) return PipeStatus::Error;
        if (r != BulkResult::Ok) return FromBulk(r);
        // A transfer that reports success but moved nothing would loop forever.
        if (moved == 0) return PipeStatus::Error;
        sent += moved;
    }
    if (bytes.size() % packet_ == 0) {
        size_t moved = 0;
        BulkResult r = transport_->BulkOut(nullptr, 0, &moved, timeoutMs_);
        if (r != BulkResult::Ok) return FromBulk(r);
        if (moved != 0) return PipeStatus::Error;
    }
    return PipeStatus::Ok;
}

PipeStatus UsbPipe::Receive(std::span<uint8_t> into, size_t* received) {
    *received = 0;
    if (into.empty()) return PipeStatus::Error;
    if (stagedBegin_ < stagedEnd_) {
        size_t n = std::min(into.size(), stagedEnd_ - stagedBegin_);
        std::memcpy(into.data(), staging_.data() + stagedBegin_, n);
        stagedBegin_ += n;
        *received = n;
        return PipeStatus::Ok;
    }
    for (int zlp = 0; zlp <= kMaxZeroLengthPackets; ++zlp) {
        size_t moved = 0;
        BulkResult r;
        if (into.size() >= packet_) {
            // Whole packets straight into the caller's buffer, never more than it holds.
            size_t ask = std::min(into.size() / packet_ * packet_, kMaxTransfer);
            r = transport_->BulkIn(into.data(), ask, &moved, timeoutMs_);
            if (moved > ask) return PipeStatus::Error;
            if (moved > 0 && (r == BulkResult::Ok || r == BulkResult::Timeout)) {
                *received = moved;
                return PipeStatus::Ok;
            }
        } else {
            // Less than a packet wanted: ask for one whole packet and keep the rest.
            r = transport_->BulkIn(staging_.data(), packet_, &moved, timeoutMs_);
            if (moved > packet_) return PipeStatus::Error;
            if (moved > 0 && (r == BulkResult::Ok || r == BulkResult::Timeout)) {
                size_t n = std::min(into.size(), moved);
                std::memcpy(into.data(), staging_.data(), n);
                stagedBegin_ = n;
                stagedEnd_ = moved;
                *received = n;
                return PipeStatus::Ok;
            }
        }
        if (r != BulkResult::Ok) return FromBulk(r);
        // Ok with nothing moved: a zero-length packet; read again.
    }
    return PipeStatus::Error;
}

}  // namespace kvx::device
