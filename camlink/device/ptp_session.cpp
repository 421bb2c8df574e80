#include "camlink/device/ptp_session.h"

#include <algorithm>
#include <cstring>

#include "camlink/device/ptp_container.h"
#include "log/write_log.h"

namespace kvx::device {

namespace ptp = kvx::ptp;

PtpSession::PtpSession(std::unique_ptr<IBytePipe> pipe) : pipe_(std::move(pipe)) {}

HResult PtpSession::Fail(HResult hr) {
    if (broken_ == kHrOk) {
        broken_ = hr;
        WriteLog(1, "*** PTP session lost, hr=0x%x ***", static_cast<unsigned>(hr));
    }
    return hr;
}

HResult PtpSession::FromPipe(PipeStatus s) {
    switch (s) {
        case PipeStatus::Ok:
            return kHrOk;
        case PipeStatus::Timeout:
            return Fail(kHrTimeout);
        case PipeStatus::Closed:
            return Fail(kHrDeviceNotConnected);
        case PipeStatus::Error:
            break;
    }
    return Fail(kHrGenFailure);
}

HResult PtpSession::ReceiveExact(uint8_t* into, size_t n) {
    size_t got = 0;
    while (got < n) {
        size_t r = 0;
        PipeStatus s = pipe_->Receive(std::span<uint8_t>(into + got, n - got), &r);
        if (s != PipeStatus::Ok) return FromPipe(s);
        if (r == 0 || r > n - got) return Fail(kHrGenFailure);
        got += r;
    }
    return kHrOk;
}

HResult PtpSession::Drain(size_t n) {
    if (n > kMaxDrain) return Fail(kHrInsufficientBuffer);
    if (drainBuffer_.empty()) drainBuffer_.resize(64 * 1024);
    while (n > 0) {
        size_t chunk = std::min(n, drainBuffer_.size());
        HResult hr = ReceiveExact(drainBuffer_.data(), chunk);
        if (hr != kHrOk) return hr;
        n -= chunk;
    }
    return kHrOk;
}

HResult PtpSession::Open(uint32_t sessionId) {
    if (open_) return kHrOk;
    sessionId_ = sessionId;
    nextTransactionId_ = 0;
    const uint32_t params[1] = {sessionId};
    PtpRequest req;
    req.opCode = ptp::kOpOpenSession;
    req.params = params;
    PtpResponse resp;
    HResult hr = Run(req, &resp);
    if (hr != kHrOk) return hr;
    if (resp.responseCode != ptp::kResponseOk &&
        resp.responseCode != ptp::kResponseSessionAlreadyOpen) {
        WriteLog(1, "*** OpenSession refused, ResponseCode=0x%x ***", resp.responseCode);
        return resp.responseCode == ptp::kResponseDeviceBusy ? kHrBusy : kHrGenFailure;
    }
    open_ = true;
    return kHrOk;
}

HResult PtpSession::Close() {
    if (!open_) return kHrOk;
    open_ = false;
    if (broken_ != kHrOk) return broken_;
    PtpRequest req;
    req.opCode = ptp::kOpCloseSession;
    PtpResponse resp;
    return Run(req, &resp);
}

HResult PtpSession::Run(const PtpRequest& request, PtpResponse* response) {
    *response = PtpResponse{};
    if (broken_ != kHrOk) return broken_;
    if (request.params.size() > ptp::kMaxParams) return kHrInvalidArg;
    if (request.writeData.size() > 0xFFFFFFFFu - ptp::kHeaderSize) return kHrInvalidArg;

    const uint32_t tid = nextTransactionId_++;

    // Command container: at most 12 + 20 bytes.
    uint8_t command[ptp::kHeaderSize + 4 * ptp::kMaxParams];
    const size_t commandSize = ptp::kHeaderSize + 4 * request.params.size();
    ptp::EncodeHeader(
        {static_cast<uint32_t>(commandSize), ptp::ContainerType::Command, request.opCode, tid},
        command);
    for (size_t i = 0; i < request.params.size(); ++i)
        ptp::WriteU32(command + ptp::kHeaderSize + 4 * i, request.params[i]);
    if (PipeStatus s = pipe_->SendContainer(std::span<const uint8_t>(command, commandSize));
        s != PipeStatus::Ok)
        return FromPipe(s);

    if (request.writePhase) {
        const size_t total = ptp::kHeaderSize + request.writeData.size();
        if (sendBuffer_.size() < total) sendBuffer_.resize(total);
        ptp::EncodeHeader(ptp::DataHeader(request.opCode, tid, request.writeData.size()),
                          sendBuffer_.data());
        if (!request.writeData.empty())
            std::memcpy(sendBuffer_.data() + ptp::kHeaderSize, request.writeData.data(),
                        request.writeData.size());
        if (PipeStatus s =
                pipe_->SendContainer(std::span<const uint8_t>(sendBuffer_.data(), total));
            s != PipeStatus::Ok)
            return FromPipe(s);
    }

    HResult result = kHrOk;
    uint8_t header[ptp::kHeaderSize];
    if (HResult hr = ReceiveExact(header, sizeof header); hr != kHrOk) return hr;
    auto h = ptp::DecodeHeader(header);
    if (!h) return Fail(kHrInvalidData);

    if (h->type == ptp::ContainerType::Data) {
        if (h->code != request.opCode || h->transactionId != tid) return Fail(kHrInvalidData);
        const size_t payload = h->length - ptp::kHeaderSize;
        if (payload > request.readInto.size()) {
            WriteLog(1, "*** PTP reply of %u bytes does not fit into %u bytes ***",
                     static_cast<unsigned>(payload),
                     static_cast<unsigned>(request.readInto.size()));
            if (HResult hr = Drain(payload); hr != kHrOk) return hr;
            result = kHrInsufficientBuffer;
        } else {
            if (payload > 0) {
                if (HResult hr = ReceiveExact(request.readInto.data(), payload); hr != kHrOk)
                    return hr;
            }
            response->dataSize = payload;
        }
        if (HResult hr = ReceiveExact(header, sizeof header); hr != kHrOk) return hr;
        h = ptp::DecodeHeader(header);
        if (!h) return Fail(kHrInvalidData);
    }

    if (h->type != ptp::ContainerType::Response || h->transactionId != tid)
        return Fail(kHrInvalidData);
    const size_t body = h->length - ptp::kHeaderSize;
    if (body > 4 * ptp::kMaxParams || body % 4 != 0) return Fail(kHrInvalidData);
    uint8_t params[4 * ptp::kMaxParams] = {};
    if (body > 0) {
        if (HResult hr = ReceiveExact(params, body); hr != kHrOk) return hr;
    }
    response->responseCode = h->code;
    response->transactionId = h->transactionId;
    for (size_t i = 0; i < body / 4; ++i) response->params[i] = ptp::ReadU32(params + 4 * i);
    if (result != kHrOk) response->dataSize = 0;
    return result;
}

}  // namespace kvx::device
