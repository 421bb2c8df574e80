// The one camera link of the process: the four transfer buffers, the opened
// device, the matched device id and the instance flag, and the four
// transaction forms that every export is built on.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "camlink/device/hresult.h"
#include "camlink/device/ptp_device.h"
#include "camlink/varno_usb.h"

namespace kvx::camlink {

using kvx::device::HResult;

// The model code whose cameras this build opens (110 or 130).
#ifndef KVX_MODEL_CODE
#error "KVX_MODEL_CODE selects the model group of the library"
#endif
constexpr int kAcceptedModelCode = KVX_MODEL_CODE;

struct CameraModel {
    int modelCode;
    const char* vendor;
    const char* product;
};
inline constexpr CameraModel kCameraModels[] = {
    {110, "VID_4E7A", "PID_5D10"},
    {110, "VID_4E7A", "PID_5D20"},
    {130, "VID_4E7A", "PID_5E30"},
    {130, "VID_4E7A", "PID_5E40"},
};

class LinkState {
public:
    static LinkState& Instance();

    HResult InitPTPMode();
    HResult Release();
    HResult GetActiveDriverInstance(char* out, int32_t outSize);

    // The transaction forms. Each clears the buffers it uses first and
    // returns KVX_E_FAIL without buffers or camera.
    HResult Read(uint16_t opCode, std::initializer_list<uint32_t> params, uint32_t* actualSize);
    HResult LargeRead(uint16_t opCode, std::initializer_list<uint32_t> params,
                      uint32_t* actualSize);
    HResult Parameter(uint16_t opCode, std::initializer_list<uint32_t> params);
    HResult Write(uint16_t opCode, const uint8_t* record, size_t n);

    // Start of the reply record (30 bytes into the reply buffer); null
    // without buffers.
    uint8_t* ReplyRecord() const {
        return reply_ ? reply_.get() + KVX_VENDOR_OUT_HEADER_SIZE : nullptr;
    }
    uint8_t* LargeReplyRecord() const {
        return largeReply_ ? largeReply_.get() + KVX_VENDOR_OUT_HEADER_SIZE : nullptr;
    }
    const uint8_t* Reply() const { return reply_.get(); }
    const uint8_t* LargeReply() const { return largeReply_.get(); }
    bool CanRun() const { return request_ && reply_ && device_; }
    bool CanRunLarge() const { return largeRequest_ && largeReply_ && device_; }

    uint32_t lastActualSize = 0;

private:
    LinkState() = default;
    bool AllocateDevInfo();
    void FreeBuffers();
    HResult EnumerateWiaDevices(const std::vector<kvx::device::DeviceInfo>& devices);
    bool RegistryMatch(const std::string& deviceId);
    // Fills the request header and runs the escape; inputSize counts the
    // header and the write data already in place.
    HResult Transact(uint8_t* request, uint8_t* reply, size_t replySize, uint16_t opCode,
                     std::initializer_list<uint32_t> params, uint32_t nextPhase, size_t inputSize,
                     uint32_t* actualSize);

    // A request and reply buffer pair and how far each holds bytes that are
    // not zero: everything beyond stays as cleared, so clearing the whole
    // buffer only has to touch that far.
    struct BufferPair {
        uint8_t* request;
        size_t requestSize;
        size_t& requestUsed;
        uint8_t* reply;
        size_t replySize;
        size_t& replyUsed;
    };
    BufferPair Normal() {
        return {request_.get(), KVX_REQUEST_BUFFER_SIZE, requestUsed_,
                reply_.get(),   KVX_REPLY_BUFFER_SIZE,   replyUsed_};
    }
    BufferPair Large() {
        return {largeRequest_.get(), KVX_LARGE_REQUEST_BUFFER_SIZE, largeRequestUsed_,
                largeReply_.get(),   KVX_LARGE_REPLY_BUFFER_SIZE,   largeReplyUsed_};
    }
    // Runs one command on a pair: both buffers are wholly clear when the
    // camera's answer goes in, and the reply buffer holds nothing but that
    // answer afterwards. writeData (n bytes) follows the request header.
    HResult Run(BufferPair b, uint16_t opCode, std::initializer_list<uint32_t> params,
                uint32_t nextPhase, const uint8_t* writeData, size_t n, uint32_t* actualSize);

    struct FreeBytes {
        void operator()(uint8_t* p) const { std::free(p); }
    };
    using Bytes = std::unique_ptr<uint8_t[], FreeBytes>;
    Bytes request_, reply_, largeRequest_, largeReply_;
    size_t requestUsed_ = 0, replyUsed_ = 0, largeRequestUsed_ = 0, largeReplyUsed_ = 0;
    std::unique_ptr<kvx::device::PtpDevice> device_;
    std::mutex instanceLock_;  // the window thread reads the id while a link opens
    char activeInstance_[KVX_ACTIVE_INSTANCE_SIZE] = {};
    std::atomic<bool> instanceFlag_{false};
};

}  // namespace kvx::camlink
