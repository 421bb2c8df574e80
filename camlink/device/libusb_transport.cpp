#include "camlink/device/libusb_transport.h"

#include <libusb.h>

#include <climits>

namespace kvx::device {

namespace {

HResult FromOpenError(int r) {
    switch (r) {
        case LIBUSB_ERROR_ACCESS:
            return kHrAccessDenied;
        case LIBUSB_ERROR_NO_DEVICE:
        case LIBUSB_ERROR_NOT_FOUND:
            return kHrDeviceNotConnected;
        case LIBUSB_ERROR_NO_MEM:
            return kHrOutOfMemory;
        case LIBUSB_ERROR_BUSY:
            return kHrBusy;
        default:
            return kHrGenFailure;
    }
}

}  // namespace

BulkResult LibusbBulkTransport::FromLibusb(int r) {
    switch (r) {
        case 0:
            return BulkResult::Ok;
        case LIBUSB_ERROR_TIMEOUT:
            return BulkResult::Timeout;
        case LIBUSB_ERROR_NO_DEVICE:
        case LIBUSB_ERROR_NOT_FOUND:
            return BulkResult::Gone;
        default:
            return BulkResult::Error;
    }
}

HResult LibusbBulkTransport::Open(uint8_t bus, const std::vector<uint8_t>& ports,
                                  std::unique_ptr<LibusbBulkTransport>* out) {
    std::unique_ptr<LibusbBulkTransport> t(new LibusbBulkTransport());
    if (libusb_init(&t->ctx_) != 0) {
        t->ctx_ = nullptr;
        return kHrGenFailure;
    }
    libusb_device** list = nullptr;
    ssize_t n = libusb_get_device_list(t->ctx_, &list);
    libusb_device* found = nullptr;
    for (ssize_t i = 0; i < n && !found; ++i) {
        uint8_t p[8];
        int np = libusb_get_port_numbers(list[i], p, sizeof p);
        if (libusb_get_bus_number(list[i]) != bus || np < 0 ||
            static_cast<size_t>(np) != ports.size())
            continue;
        bool same = true;
        for (int k = 0; k < np; ++k) same = same && p[k] == ports[static_cast<size_t>(k)];
        if (same) found = list[i];
    }
    int r = found ? libusb_open(found, &t->handle_) : LIBUSB_ERROR_NO_DEVICE;
    libusb_config_descriptor* config = nullptr;
    if (r == 0) r = libusb_get_active_config_descriptor(found, &config);
    if (list) libusb_free_device_list(list, 1);
    if (r != 0) return FromOpenError(r);

    // The first interface of class 6 with a bulk endpoint in each direction.
    for (int i = 0; i < config->bNumInterfaces && t->interface_ < 0; ++i) {
        const libusb_interface& itf = config->interface[i];
        for (int a = 0; a < itf.num_altsetting && t->interface_ < 0; ++a) {
            const libusb_interface_descriptor& alt = itf.altsetting[a];
            if (alt.bInterfaceClass != LIBUSB_CLASS_IMAGE) continue;
            unsigned char in = 0, outEp = 0;
            size_t packet = 0;
            for (int e = 0; e < alt.bNumEndpoints; ++e) {
                const libusb_endpoint_descriptor& ep = alt.endpoint[e];
                if ((ep.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK) != LIBUSB_TRANSFER_TYPE_BULK)
                    continue;
                if (ep.bEndpointAddress & LIBUSB_ENDPOINT_IN) {
                    if (!in) {
                        in = ep.bEndpointAddress;
                        packet = ep.wMaxPacketSize & 0x7FF;
                    }
                } else if (!outEp) {
                    outEp = ep.bEndpointAddress;
                }
            }
            if (in && outEp) {
                t->interface_ = alt.bInterfaceNumber;
                t->in_ = in;
                t->out_ = outEp;
                if (packet) t->packetSize_ = packet;
            }
        }
    }
    libusb_free_config_descriptor(config);
    if (t->interface_ < 0) return kHrNotFound;
    libusb_set_auto_detach_kernel_driver(t->handle_, 1);
    r = libusb_claim_interface(t->handle_, t->interface_);
    if (r != 0) {
        t->interface_ = -1;
        return FromOpenError(r);
    }
    *out = std::move(t);
    return kHrOk;
}

LibusbBulkTransport::~LibusbBulkTransport() {
    if (handle_) {
        if (interface_ >= 0) libusb_release_interface(handle_, interface_);
        libusb_close(handle_);
    }
    if (ctx_) libusb_exit(ctx_);
}

BulkResult LibusbBulkTransport::BulkOut(const uint8_t* data, size_t length, size_t* transferred,
                                        unsigned timeoutMs) {
    *transferred = 0;
    if (length > INT_MAX) return BulkResult::Error;
    int moved = 0;
    int r = libusb_bulk_transfer(handle_, out_, const_cast<unsigned char*>(data),
                                 static_cast<int>(length), &moved, timeoutMs);
    *transferred = moved > 0 ? static_cast<size_t>(moved) : 0;
    return FromLibusb(r);
}

BulkResult LibusbBulkTransport::BulkIn(uint8_t* data, size_t length, size_t* transferred,
                                       unsigned timeoutMs) {
    *transferred = 0;
    if (length > INT_MAX) return BulkResult::Error;
    int moved = 0;
    int r = libusb_bulk_transfer(handle_, in_, data, static_cast<int>(length), &moved, timeoutMs);
    *transferred = moved > 0 ? static_cast<size_t>(moved) : 0;
    // Overflow: the device sent more than a whole number of packets we asked for.
    if (r == LIBUSB_ERROR_OVERFLOW) return BulkResult::Error;
    return FromLibusb(r);
}

}  // namespace kvx::device
