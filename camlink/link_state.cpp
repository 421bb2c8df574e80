#include "camlink/link_state.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <exception>
#include <new>
#include <vector>

#include "camlink/device/device_list.h"
#include "camlink/device/ptp_container.h"
#include "log/write_log.h"

namespace kvx::camlink {

namespace dev = kvx::device;
namespace ptp = kvx::ptp;

namespace {

// Callers may read a few bytes past the record they were handed (the list
// checksum sits one byte after the reported size); zeroed slack keeps such a
// read inside memory we own.
constexpr size_t kSlack = 64;

// Zeroed by the allocator: pages of a buffer that no command ever reaches
// (most of the large request buffer) are never touched and cost no memory.
template <class Bytes>
Bytes Allocate(size_t size) {
    return Bytes(static_cast<uint8_t*>(std::calloc(size + kSlack, 1)));
}

std::string Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

}  // namespace

LinkState& LinkState::Instance() {
    // Destroyed when the library is unloaded; an open camera's session is closed then.
    static LinkState state;
    return state;
}

void LinkState::FreeBuffers() {
    reply_.reset();
    request_.reset();
    largeReply_.reset();
    largeRequest_.reset();
}

bool LinkState::AllocateDevInfo() {
    FreeBuffers();
    const size_t sizes[4] = {KVX_REQUEST_BUFFER_SIZE, KVX_REPLY_BUFFER_SIZE,
                             KVX_LARGE_REQUEST_BUFFER_SIZE, KVX_LARGE_REPLY_BUFFER_SIZE};
    Bytes* buffers[4] = {&request_, &reply_, &largeRequest_, &largeReply_};
    requestUsed_ = replyUsed_ = largeRequestUsed_ = largeReplyUsed_ = 0;
    for (int i = 0; i < 4; ++i) {
        *buffers[i] = Allocate<Bytes>(sizes[i]);
        if (!*buffers[i]) {
            WriteLog(1, "+++ error code = %d at %s +++", i + 1, "AllocateDevInfo");
            FreeBuffers();
            return false;
        }
    }
    return true;
}

HResult LinkState::InitPTPMode() {
    WriteLog(4, "---> %s", "InitPTPMode");
    // A second open without a release: let go of the camera first, so that
    // it never sees two sessions of ours.
    device_.reset();

    int errorCode = 0;
    HResult hr = 1;
    if (!AllocateDevInfo()) {
        errorCode = 0;
        hr = 1;
    } else {
        // The device manager: the list of still-image devices.
        std::vector<dev::DeviceInfo> devices;
        bool listed = true;
        try {
            devices = dev::ListStillImageDevices();
        } catch (const std::exception&) {
            listed = false;
        }
        if (!listed) {
            hr = dev::kHrOutOfMemory;
            WriteLog(1, "*** CoCreateInstance failed. hr=0x%x in %s ***", static_cast<unsigned>(hr),
                     "CreateWiaDeviceManager");
            errorCode = 20;
        } else {
            hr = EnumerateWiaDevices(devices);
            if (hr == 0) {
                WriteLog(4, "<--- %s, hr=0x%x", "InitPTPMode", 0u);
                return 0;
            }
            errorCode = 30;
        }
    }
    WriteLog(1, "+++ error code = %d at %s +++", errorCode, "InitPTPMode");
    WriteLog(4, "<--- %s, hr=0x%x", "InitPTPMode", static_cast<unsigned>(hr));
    return hr;
}

bool LinkState::RegistryMatch(const std::string& deviceId) {
    for (const CameraModel& row : kCameraModels) {
        bool matched = false;
        for (const std::string& instance : dev::DeviceInstances(row.vendor, row.product)) {
            auto driver = dev::LookupDriver(row.vendor, row.product, instance);
            if (driver && dev::EqualsNoCase(*driver, deviceId)) {
                matched = true;
                break;
            }
        }
        // A camera of the other model group is not ours; the search goes on.
        if (matched && row.modelCode == kAcceptedModelCode) return true;
    }
    return false;
}

HResult LinkState::EnumerateWiaDevices(const std::vector<dev::DeviceInfo>& devices) {
    int openFailures = 0;
    for (const dev::DeviceInfo& d : devices) {
        const dev::DeviceProperties& p = d.properties;
        if (!p.name) continue;
        if (p.pnpId) {
            // Ids longer than the 255 characters the match works with are not cameras of ours.
            if (p.pnpId->size() > 255) continue;
            if (Upper(*p.pnpId).find("STORAGE") != std::string::npos) continue;
        }
        if (!p.type || *p.type != dev::kDeviceTypeDigitalCamera) continue;
        if (!p.deviceId || p.deviceId->size() > 255) continue;
        if (!RegistryMatch(*p.deviceId)) continue;

        {
            std::lock_guard guard(instanceLock_);
            std::memset(activeInstance_, 0, sizeof activeInstance_);
            std::memcpy(activeInstance_, p.deviceId->data(), p.deviceId->size());
        }
        std::unique_ptr<dev::PtpDevice> opened;
        HResult hr = dev::PtpDevice::Open(d, &opened);
        if (hr != dev::kHrOk) {
            WriteLog(1, "+++ error code = 0x%x at %s +++", static_cast<unsigned>(hr),
                     "CreateWiaDevice");
            // A camera that cannot be opened (dead, hung, busy) must not hide
            // the ones after it: the next matching device gets its turn. The
            // failed id is not the linked one.
            std::lock_guard guard(instanceLock_);
            std::memset(activeInstance_, 0, sizeof activeInstance_);
            ++openFailures;
            continue;
        }
        device_ = std::move(opened);
        instanceFlag_ = true;
        return 0;
    }
    // A camera that failed to open leaves the flag as it was: no link, and
    // no claim that the search ran to an empty end.
    if (openFailures == 0) instanceFlag_ = true;
    return 1;
}

HResult LinkState::Release() {
    {
        std::lock_guard guard(instanceLock_);
        std::memset(activeInstance_, 0, sizeof activeInstance_);
        instanceFlag_ = false;
    }
    FreeBuffers();
    device_.reset();
    return 0;
}

HResult LinkState::GetActiveDriverInstance(char* out, int32_t outSize) {
    std::lock_guard guard(instanceLock_);
    if (!instanceFlag_) return 1;
    if (!out || outSize < static_cast<int32_t>(KVX_ACTIVE_INSTANCE_SIZE)) return KVX_E_INVALIDARG;
    std::memcpy(out, activeInstance_, KVX_ACTIVE_INSTANCE_SIZE);
    return 0;
}

HResult LinkState::Transact(uint8_t* request, uint8_t* reply, size_t replySize, uint16_t opCode,
                            std::initializer_list<uint32_t> params, uint32_t nextPhase,
                            size_t inputSize, uint32_t* actualSize) {
    ptp::WriteU16(request, opCode);
    size_t i = 0;
    for (uint32_t v : params) {
        if (i == 5) break;
        ptp::WriteU32(request + 10 + 4 * i++, v);
    }
    ptp::WriteU32(request + 30, static_cast<uint32_t>(i));
    ptp::WriteU32(request + 34, nextPhase);
    uint32_t actual = 0;
    HResult hr = device_->Escape(request, inputSize, reply, replySize, &actual);
    if (actualSize) *actualSize = actual;
    return hr;
}

HResult LinkState::Run(BufferPair b, uint16_t opCode, std::initializer_list<uint32_t> params,
                       uint32_t nextPhase, const uint8_t* writeData, size_t n,
                       uint32_t* actualSize) {
    // Clearing the whole buffers before every command must not cost a pass
    // over megabytes that are already zero: only the bytes the last command
    // left are cleared. The request buffer is the library's own; it holds the
    // last request and nothing else.
    std::memset(b.request, 0, b.requestUsed);
    b.requestUsed = 0;
    // The reply buffer: the bytes the answer brings are overwritten by it,
    // so what the last answer left beyond them is cleared once the answer
    // is in. One command runs at a time, and the last reply is valid only
    // until the next command starts, so nobody sees the buffer in between.
    const size_t inputSize = KVX_VENDOR_IN_HEADER_SIZE + n;
    if (n > 0) std::memcpy(b.request + KVX_VENDOR_IN_HEADER_SIZE, writeData, n);
    uint32_t actual = 0;
    HResult hr =
        Transact(b.request, b.reply, b.replySize, opCode, params, nextPhase, inputSize, &actual);
    b.requestUsed = inputSize;
    if (hr == 0) {
        // The answer filled the header and the bytes reported, no more.
        const size_t filled =
            std::min(b.replySize, std::max<size_t>(actual, KVX_VENDOR_OUT_HEADER_SIZE));
        if (b.replyUsed > filled) std::memset(b.reply + filled, 0, b.replyUsed - filled);
        b.replyUsed = filled;
    } else {
        // A failed answer may have left bytes anywhere: clear it all.
        std::memset(b.reply, 0, b.replySize);
        b.replyUsed = 0;
    }
    if (actualSize) *actualSize = actual;
    return hr;
}

HResult LinkState::Read(uint16_t opCode, std::initializer_list<uint32_t> params,
                        uint32_t* actualSize) {
    if (!CanRun()) return KVX_E_FAIL;
    return Run(Normal(), opCode, params, dev::kNextPhaseReadData, nullptr, 0, actualSize);
}

HResult LinkState::LargeRead(uint16_t opCode, std::initializer_list<uint32_t> params,
                             uint32_t* actualSize) {
    if (!CanRunLarge()) return KVX_E_FAIL;
    return Run(Large(), opCode, params, dev::kNextPhaseReadData, nullptr, 0, actualSize);
}

HResult LinkState::Parameter(uint16_t opCode, std::initializer_list<uint32_t> params) {
    if (!CanRun()) return KVX_E_FAIL;
    // Eight zero bytes of write data follow the header.
    static constexpr uint8_t kZeros[8] = {};
    return Run(Normal(), opCode, params, dev::kNextPhaseWriteData, kZeros, sizeof kZeros, nullptr);
}

HResult LinkState::Write(uint16_t opCode, const uint8_t* record, size_t n) {
    if (!CanRun()) return KVX_E_FAIL;
    // A record of no bytes has no place for its checksum.
    if (!record || n == 0 || n > 255) return KVX_E_INVALIDARG;
    uint8_t data[255];
    std::memcpy(data, record, n);
    unsigned sum = 0;
    for (size_t i = 0; i < n; ++i) sum += record[i];
    data[n - 1] = static_cast<uint8_t>(sum);
    return Run(Normal(), opCode, {}, dev::kNextPhaseWriteData, data, n, nullptr);
}

}  // namespace kvx::camlink
