#include "camlink/device/ptp_device.h"

#include "camlink/device/libusb_transport.h"
#include "camlink/device/ptp_container.h"
#include "camlink/device/socket_pipe.h"
#include "camlink/device/usb_pipe.h"

namespace kvx::device {

HResult PtpDevice::OpenOver(std::unique_ptr<IBytePipe> pipe, std::unique_ptr<PtpDevice>* out) {
    std::unique_ptr<PtpDevice> device(new PtpDevice(std::move(pipe)));
    HResult hr = device->session_.Open(1);
    if (hr != kHrOk) return hr;
    *out = std::move(device);
    return kHrOk;
}

HResult PtpDevice::Open(const DeviceInfo& device, std::unique_ptr<PtpDevice>* out) {
    std::unique_ptr<IBytePipe> pipe;
    if (device.kind == DeviceKind::Virtual) {
        pipe = SocketPipe::Connect(device.socketPath);
        if (!pipe) return kHrDeviceNotConnected;
    } else {
        std::unique_ptr<LibusbBulkTransport> transport;
        HResult hr = LibusbBulkTransport::Open(device.bus, device.ports, &transport);
        if (hr != kHrOk) return hr;
        pipe = std::make_unique<UsbPipe>(std::move(transport));
    }
    return OpenOver(std::move(pipe), out);
}

PtpDevice::~PtpDevice() {
    session_.Close();
}

HResult PtpDevice::Escape(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize,
                          uint32_t* actualSize) {
    if (actualSize) *actualSize = 0;
    if (!in || !out || !actualSize || inSize < kVendorInHeaderSize ||
        outSize < kVendorOutHeaderSize)
        return kHrInvalidArg;
    const uint32_t numParams = ptp::ReadU32(in + 30);
    const uint32_t nextPhase = ptp::ReadU32(in + 34);
    if (numParams > ptp::kMaxParams) return kHrInvalidArg;
    if (nextPhase != kNextPhaseReadData && nextPhase != kNextPhaseWriteData) return kHrInvalidArg;

    uint32_t params[ptp::kMaxParams];
    for (uint32_t i = 0; i < numParams; ++i) params[i] = ptp::ReadU32(in + 10 + 4 * i);

    PtpRequest req;
    req.opCode = ptp::ReadU16(in);
    req.params = std::span<const uint32_t>(params, numParams);
    req.writePhase = nextPhase == kNextPhaseWriteData;
    if (req.writePhase)
        req.writeData =
            std::span<const uint8_t>(in + kVendorInHeaderSize, inSize - kVendorInHeaderSize);
    req.readInto = std::span<uint8_t>(out + kVendorOutHeaderSize, outSize - kVendorOutHeaderSize);

    PtpResponse resp;
    HResult hr = session_.Run(req, &resp);
    if (hr != kHrOk) return hr;

    ptp::WriteU16(out, resp.responseCode);
    ptp::WriteU32(out + 2, session_.SessionId());
    ptp::WriteU32(out + 6, resp.transactionId);
    for (size_t i = 0; i < 5; ++i) ptp::WriteU32(out + 10 + 4 * i, resp.params[i]);
    *actualSize = static_cast<uint32_t>(kVendorOutHeaderSize + resp.dataSize);
    return kHrOk;
}

}  // namespace kvx::device
