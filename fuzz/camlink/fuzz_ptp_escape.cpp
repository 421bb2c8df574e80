// The vendor escape from request bytes to reply bytes, over a device whose
// every byte comes from the fuzz input, and the container parameter coding.
// What must hold whatever the device sends:
//  - the escape writes only inside the reply buffer it was given (the buffer
//    ends at an inaccessible page) and reads only inside the request;
//  - success reports a size between the reply header and the buffer size,
//    failure reports 0;
//  - the command and data containers sent carry the request's operation,
//    parameters and data;
//  - a well-formed device answer (optional data that fits, then a response)
//    is copied into the reply exactly: code, session, transaction,
//    parameters and data;
//  - DecodeParams takes only whole u32 bodies of at most five, and
//    EncodeParams of what it decoded gives back the same bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <vector>

#include "camlink/device/ptp_container.h"
#include "camlink/device/ptp_device.h"
#include "fuzz/common/byte_reader.h"
#include "fuzz/common/check_stats.h"
#include "fuzz/common/guarded_buffer.h"

namespace ptp = kvx::ptp;
namespace dev = kvx::device;
using kvx::fuzz::ByteReader;
using kvx::fuzz::GuardedBuffer;

namespace {

// A device that plays back a byte stream and keeps what the host sent.
class ScriptedDevice final : public dev::IBytePipe {
public:
    struct Shared {
        std::vector<uint8_t> stream;
        size_t pos = 0;
        uint8_t chunking = 0;  // 0: as much as asked; else odd chunk sizes
        int failSendAt = -1;   // index of a container whose send fails
        std::vector<std::vector<uint8_t>> sent;
    };
    explicit ScriptedDevice(Shared& s) : s_(s) {}

    dev::PipeStatus SendContainer(std::span<const uint8_t> bytes) override {
        if (static_cast<int>(s_.sent.size()) == s_.failSendAt) {
            s_.sent.emplace_back();
            return dev::PipeStatus::Error;
        }
        s_.sent.emplace_back(bytes.begin(), bytes.end());
        return dev::PipeStatus::Ok;
    }
    dev::PipeStatus Receive(std::span<uint8_t> into, size_t* received) override {
        *received = 0;
        KVX_FUZZ_CHECK(!into.empty());
        if (s_.pos >= s_.stream.size()) return dev::PipeStatus::Closed;
        size_t n = std::min(into.size(), s_.stream.size() - s_.pos);
        if (s_.chunking) n = std::min<size_t>(n, 1 + (s_.pos * s_.chunking) % 61);
        std::memcpy(into.data(), s_.stream.data() + s_.pos, n);
        s_.pos += n;
        *received = n;
        return dev::PipeStatus::Ok;
    }

private:
    Shared& s_;
};

void Append(std::vector<uint8_t>& to, const std::vector<uint8_t>& bytes) {
    to.insert(to.end(), bytes.begin(), bytes.end());
}

std::vector<uint8_t> Container(ptp::ContainerType type, uint16_t code, uint32_t tid,
                               const std::vector<uint8_t>& body) {
    std::vector<uint8_t> out(ptp::kHeaderSize);
    ptp::EncodeHeader({static_cast<uint32_t>(ptp::kHeaderSize + body.size()), type, code, tid},
                      out.data());
    Append(out, body);
    return out;
}

void CheckParamCoding(ByteReader& in) {
    const std::vector<uint8_t> body = in.Bytes(in.U8() % 30);
    auto params = ptp::DecodeParams(body);
    KVX_FUZZ_CHECK(params.has_value() == (body.size() % 4 == 0 && body.size() <= 20));
    if (!params) return;
    const uint16_t code = in.U16();
    const uint32_t tid = in.U32();
    auto encoded = ptp::EncodeParams(ptp::ContainerType::Response, code, tid, *params);
    KVX_FUZZ_CHECK(encoded.size() == ptp::kHeaderSize + body.size());
    KVX_FUZZ_CHECK(std::equal(body.begin(), body.end(), encoded.begin() + ptp::kHeaderSize));
    auto h = ptp::DecodeHeader(encoded);
    KVX_FUZZ_CHECK(h && h->length == encoded.size() && h->code == code && h->transactionId == tid &&
                   h->type == ptp::ContainerType::Response);
    // More than five parameters are cut to five, never written past the container.
    std::vector<uint32_t> many(5 + in.U8() % 4, tid);
    KVX_FUZZ_CHECK(ptp::EncodeParams(ptp::ContainerType::Command, code, tid, many).size() ==
                   ptp::kHeaderSize + 20);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static kvx::fuzz::CheckStats stats{
        "ptp_escape", {}, {"escapes", "ok", "with_data", "well_formed", "too_big"}};
    static GuardedBuffer request(64 * 1024);
    static GuardedBuffer reply(64 * 1024);
    ByteReader in(data, size);
    CheckParamCoding(in);

    const uint8_t flags = in.U8();
    ScriptedDevice::Shared shared;
    shared.chunking = (flags & 0x10) ? static_cast<uint8_t>(1 + in.U8() % 7) : 0;
    if (flags & 0x20) shared.failSendAt = 1 + in.U8() % 3;

    // The session opening: answered well unless the input says otherwise.
    if (flags & 0x01) {
        Append(shared.stream, in.Bytes(in.U8() % 40));
    } else {
        Append(shared.stream, Container(ptp::ContainerType::Response, ptp::kResponseOk, 0, {}));
    }

    // The request, as the library builds it or as raw bytes.
    std::vector<uint8_t> req;
    uint16_t op = 0;
    uint32_t numParams = 0, nextPhase = 0;
    uint32_t params[5] = {};
    std::vector<uint8_t> writeData;
    const bool rawRequest = (flags & 0x02) != 0;
    if (rawRequest) {
        req = in.Bytes(in.U16() % 600);
    } else {
        op = in.U16();
        const uint8_t np = in.U8();
        numParams = np < 0xF0 ? np % 6 : in.U32();
        for (auto& p : params) p = in.U32();
        const uint8_t ph = in.U8();
        nextPhase =
            ph < 0xF0 ? (ph & 1 ? dev::kNextPhaseWriteData : dev::kNextPhaseReadData) : in.U32();
        if (nextPhase == dev::kNextPhaseWriteData) writeData = in.Bytes(in.U16() % 2048);
        req.resize(dev::kVendorInHeaderSize);
        ptp::WriteU16(req.data(), op);
        ptp::WriteU32(req.data() + 2, in.U32());  // session and transaction ids: ignored
        ptp::WriteU32(req.data() + 6, in.U32());
        for (int i = 0; i < 5; ++i) ptp::WriteU32(req.data() + 10 + 4 * i, params[i]);
        ptp::WriteU32(req.data() + 30, numParams);
        ptp::WriteU32(req.data() + 34, nextPhase);
        Append(req, writeData);
    }
    const bool validRequest =
        !rawRequest && numParams <= 5 &&
        (nextPhase == dev::kNextPhaseReadData || nextPhase == dev::kNextPhaseWriteData);

    size_t outSize = 0;
    switch ((flags >> 2) & 3) {
        case 0:
            outSize = dev::kVendorOutHeaderSize + in.U8() % 8;
            break;
        case 1:
            outSize = dev::kVendorOutHeaderSize + in.U16() % 4096;
            break;
        case 2:
            outSize = in.U8() % 40;
            break;
        default:
            outSize = reply.Capacity();
            break;
    }

    // The device's answer: pieces, each well-formed or not. Well-formed:
    // optional data that fits, then a response, both of this transaction.
    const bool fits = outSize >= dev::kVendorOutHeaderSize;
    bool wellFormed = validRequest && !(flags & 0x21) && fits;
    bool answered = false;
    std::vector<uint8_t> expectData;
    uint16_t expectCode = 0;
    std::vector<uint32_t> expectParams;
    const int pieces = 1 + in.U8() % 4;
    for (int p = 0; p < pieces; ++p) {
        const uint8_t kind = in.U8();
        const bool exact = (kind & 0x80) == 0;
        const uint32_t tid = exact ? 1 : in.U32();
        bool good = false;
        switch (kind & 3) {
            case 0: {  // data
                const uint16_t code = exact ? op : in.U16();
                const size_t n = in.U16() % 3000;
                std::vector<uint8_t> payload(n);
                for (size_t i = 0; i < n; ++i) payload[i] = static_cast<uint8_t>(i * 7 + p + n);
                Append(shared.stream, Container(ptp::ContainerType::Data, code, tid, payload));
                good = p == 0 && exact && fits && n <= outSize - dev::kVendorOutHeaderSize;
                if (!answered) expectData = payload;
                break;
            }
            case 1: {  // response
                const uint16_t code = in.U16();
                std::vector<uint32_t> rp(in.U8() % 6);
                for (auto& v : rp) v = in.U32();
                std::vector<uint8_t> body(4 * rp.size());
                for (size_t i = 0; i < rp.size(); ++i) ptp::WriteU32(body.data() + 4 * i, rp[i]);
                Append(shared.stream, Container(ptp::ContainerType::Response, code, tid, body));
                good = exact;
                if (!answered) {
                    expectCode = code;
                    expectParams = rp;
                }
                if (!answered && good) {
                    answered = true;
                    continue;
                }
                break;
            }
            case 2: {  // a header saying anything, then some bytes
                std::vector<uint8_t> h(ptp::kHeaderSize);
                ptp::WriteU32(h.data(), in.U32());
                ptp::WriteU16(h.data() + 4, static_cast<uint16_t>(in.U8() % 6));
                ptp::WriteU16(h.data() + 6, in.U16());
                ptp::WriteU32(h.data() + 8, tid);
                Append(shared.stream, h);
                Append(shared.stream, in.Bytes(in.U8()));
                break;
            }
            default:
                Append(shared.stream, in.Bytes(in.U8()));
                break;
        }
        if (!answered && !good) wellFormed = false;
    }
    wellFormed = wellFormed && answered;
    // The rest of the input: whatever the device sends after that.
    Append(shared.stream, in.Bytes(in.Remaining()));

    std::unique_ptr<dev::PtpDevice> device;
    if (dev::PtpDevice::OpenOver(std::make_unique<ScriptedDevice>(shared), &device) != dev::kHrOk) {
        KVX_FUZZ_CHECK(!device);
        return 0;
    }
    const size_t sentBefore = shared.sent.size();
    uint8_t* reqBytes =
        request.Place(std::min(req.size(), request.Capacity()), req.data(), req.size());
    uint8_t* out = reply.Place(outSize);
    std::memset(out, 0xA5, outSize);
    uint32_t actual = 0xDEADBEEF;
    ++stats.counts[0];
    const dev::HResult hr = device->Escape(reqBytes, req.size(), out, outSize, &actual);
    if (hr != dev::kHrOk) {
        KVX_FUZZ_CHECK(actual == 0);
        if (wellFormed) kvx::fuzz::Fail("a well-formed answer failed");
        if (hr == dev::kHrInsufficientBuffer) ++stats.counts[4];
        return 0;
    }
    ++stats.counts[1];
    KVX_FUZZ_CHECK(validRequest || rawRequest);
    KVX_FUZZ_CHECK(actual >= dev::kVendorOutHeaderSize && actual <= outSize);
    if (actual > dev::kVendorOutHeaderSize) ++stats.counts[2];
    KVX_FUZZ_CHECK(ptp::ReadU32(out + 2) == 1);  // the session opened as 1
    KVX_FUZZ_CHECK(ptp::ReadU32(out + 6) == 1);  // the transaction after the opening

    // What went to the device: the command, then the data of a write.
    KVX_FUZZ_CHECK(shared.sent.size() > sentBefore);
    const auto& command = shared.sent[sentBefore];
    const uint16_t reqOp = ptp::ReadU16(req.data());
    const uint32_t reqParams = ptp::ReadU32(req.data() + 30);
    KVX_FUZZ_CHECK(reqParams <= 5);
    auto ch = ptp::DecodeHeader(command);
    KVX_FUZZ_CHECK(ch && ch->type == ptp::ContainerType::Command && ch->code == reqOp &&
                   ch->transactionId == 1 && ch->length == command.size() &&
                   command.size() == ptp::kHeaderSize + 4 * reqParams);
    for (uint32_t i = 0; i < reqParams; ++i)
        KVX_FUZZ_CHECK(ptp::ReadU32(command.data() + 12 + 4 * i) ==
                       ptp::ReadU32(req.data() + 10 + 4 * i));
    if (ptp::ReadU32(req.data() + 34) == dev::kNextPhaseWriteData) {
        KVX_FUZZ_CHECK(shared.sent.size() > sentBefore + 1);
        const auto& dataOut = shared.sent[sentBefore + 1];
        KVX_FUZZ_CHECK(dataOut.size() == ptp::kHeaderSize + req.size() - dev::kVendorInHeaderSize);
        KVX_FUZZ_CHECK(std::equal(dataOut.begin() + ptp::kHeaderSize, dataOut.end(),
                                  req.begin() + dev::kVendorInHeaderSize));
    }

    if (wellFormed) {
        ++stats.counts[3];
        KVX_FUZZ_CHECK(ptp::ReadU16(out) == expectCode);
        for (size_t i = 0; i < 5; ++i)
            KVX_FUZZ_CHECK(ptp::ReadU32(out + 10 + 4 * i) ==
                           (i < expectParams.size() ? expectParams[i] : 0));
        KVX_FUZZ_CHECK(actual == dev::kVendorOutHeaderSize + expectData.size());
        KVX_FUZZ_CHECK(std::equal(expectData.begin(), expectData.end(), out + 30));
    }
    return 0;
}
