// The library's exports against a camera at the far end of a real socket
// whose every reply comes from the fuzz input: the records copied into the
// callers' buffers (each exactly as large as the record the export
// promises, ending at an inaccessible page), the reported sizes, and the
// large reads handed out by pointer. What must hold:
//  - an export writes only its record's bytes into the caller's buffer, and
//    they are the camera's bytes (zero past what it sent);
//  - a reported size is what the camera sent plus the reply header, and a
//    large read's pointer holds exactly the camera's bytes up to it;
//  - picture lists fill at most the entries the caller has room for;
//  - a broken or silent camera makes the exports fail, never hang.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "camlink/device/ptp_container.h"
#include "camlink/varno_usb.h"
#include "fuzz/common/byte_reader.h"
#include "fuzz/common/check_stats.h"
#include "fuzz/common/guarded_buffer.h"
#include "fuzz/common/socket_camera.h"
#include "fuzz/engine/fuzz_transfer_support.h"

namespace ptp = kvx::ptp;
using kvx::fuzz::ByteReader;
using kvx::fuzz::GuardedBuffer;

namespace {

enum Export {
    kConfig,
    kConfigEx,
    kStatus,
    kStatus2,
    kGroup1,
    kGroup2,
    kGroup3,
    kGroup4,
    kGroup5,
    kGroup6,
    kCanSet1,
    kCanSet2,
    kCanSet3,
    kCanSet4,
    kCapture,
    kList1,
    kList2,
    kPartial,
    kBigPartial,
    kViewFrame,
    kChecksumError,
    kExportCount
};

struct Fixed {
    uint16_t op;
    size_t size;
};
// The records copied into the caller's buffer, by the size each export promises.
const Fixed kFixed[] = {{0x9010, KVX_CAM_CONFIG_SIZE},    {0x9010, KVX_CAM_CONFIG_EX_SIZE},
                        {0x9011, KVX_CAM_STATUS_SIZE},    {0x902C, KVX_CAM_STATUS2_SIZE},
                        {0x9012, KVX_DATA_GROUP1_SIZE},   {0x9013, KVX_DATA_GROUP2_SIZE},
                        {0x9014, KVX_DATA_GROUP3_SIZE},   {0x9023, KVX_DATA_GROUP4_SIZE},
                        {0x9027, KVX_DATA_GROUP5_SIZE},   {0x9029, KVX_DATA_GROUP6_SIZE},
                        {0x901A, KVX_CAN_SET_INFO_SIZE},  {0x9025, KVX_CAN_SET_INFO2_SIZE},
                        {0x9026, KVX_CAN_SET_INFO3_SIZE}, {0x902E, KVX_CAN_SET_INFO4_SIZE},
                        {0x9015, KVX_CAPTURE_STATUS_SIZE}};

constexpr size_t kReplyRoom = KVX_REPLY_BUFFER_SIZE - KVX_VENDOR_OUT_HEADER_SIZE;
constexpr size_t kLargeReplyRoom = KVX_LARGE_REPLY_BUFFER_SIZE - KVX_VENDOR_OUT_HEADER_SIZE;

std::vector<uint8_t> Container(ptp::ContainerType type, uint16_t code, uint32_t tid,
                               const std::vector<uint8_t>& body) {
    std::vector<uint8_t> out(ptp::kHeaderSize);
    ptp::EncodeHeader({static_cast<uint32_t>(ptp::kHeaderSize + body.size()), type, code, tid},
                      out.data());
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

uint16_t OpOf(int e) {
    if (e < kList1) return kFixed[e].op;
    switch (e) {
        case kList1:
            return 0x9020;
        case kList2:
            return 0x902D;
        case kPartial:
            return 0x9021;
        case kBigPartial:
            return 0x9022;
        case kViewFrame:
            return 0x902B;
        default:
            return 0x1087;
    }
}

// What the camera answers to one call, and what the call must then show.
struct Call {
    int what = 0;
    bool clean = false;  // data (fitting) and response of the right transaction
    bool hasData = false;
    std::vector<uint8_t> payload;
    uint16_t code = ptp::kResponseOk;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static kvx::fuzz::ScratchFolder scratch;
    static kvx::fuzz::SocketCamera camera(scratch.Root());
    static GuardedBuffer record(KVX_CAM_STATUS2_SIZE);
    static GuardedBuffer entries(64 * KVX_PICT_ENTRY_SIZE);
    static kvx::fuzz::CheckStats stats{
        "exports", {}, {"calls", "ok", "clean", "large_clean", "lists"}};

    ByteReader in(data, size);
    std::vector<uint8_t> stream = Container(ptp::ContainerType::Response, ptp::kResponseOk, 0, {});
    std::vector<Call> calls;
    bool broken = false;
    const int count = 1 + in.U8() % 10;
    for (int i = 0; i < count && !in.Empty(); ++i) {
        Call c;
        c.what = in.U8() % kExportCount;
        const uint32_t tid = static_cast<uint32_t>(i + 1);
        const uint16_t op = OpOf(c.what);
        const uint8_t how = in.U8();
        const bool large = c.what == kStatus2 || c.what == kPartial || c.what == kBigPartial ||
                           c.what == kViewFrame;
        const size_t room = large ? kLargeReplyRoom : kReplyRoom;
        switch (how & 7) {
            default: {  // data, then a response
                // Now and then a record that reaches the end of the reply
                // buffer, or just passes it.
                const bool atEnd = (how & 0x78) == 0x78;
                size_t n = atEnd ? room - 3 + in.U8() % 6 : in.U16();
                std::vector<uint8_t> payload = in.Bytes(std::min<size_t>(n, in.Remaining()));
                payload.resize(n, static_cast<uint8_t>(n));
                const bool rightTid = atEnd || !(how & 0x80);
                auto d = Container(ptp::ContainerType::Data, op, rightTid ? tid : tid + 1, payload);
                stream.insert(stream.end(), d.begin(), d.end());
                c.code = !atEnd && (how & 0x40) ? in.U16() : ptp::kResponseOk;
                auto r = Container(ptp::ContainerType::Response, c.code, tid, {});
                stream.insert(stream.end(), r.begin(), r.end());
                c.hasData = true;
                c.clean = !broken && rightTid && n <= room;
                c.payload = std::move(payload);
                if (!rightTid) broken = true;
                break;
            }
            case 1: {  // a response only
                c.code = in.U16();
                auto r = Container(ptp::ContainerType::Response, c.code, tid, {});
                stream.insert(stream.end(), r.begin(), r.end());
                c.clean = !broken;
                break;
            }
            case 2: {  // bytes that are no container
                auto junk = in.Bytes(in.U8());
                stream.insert(stream.end(), junk.begin(), junk.end());
                broken = true;
                break;
            }
        }
        calls.push_back(std::move(c));
    }
    camera.Serve(std::move(stream));

    if (InitPTPMode_Parts() != 0) {
        ReleaseDevInfo_Parts();
        camera.Finish();
        return 0;
    }
    for (const Call& c : calls) {
        ++stats.counts[0];
        const size_t sent = c.hasData ? c.payload.size() : 0;
        auto expectByte = [&](size_t i) -> uint8_t { return i < sent ? c.payload[i] : 0; };
        if (c.what < kList1) {
            const size_t n = kFixed[c.what].size;
            uint8_t* out = record.Place(n);
            std::memset(out, 0xEE, n);
            uint32_t reported = 0xFFFFFFFF;
            KVX_HRESULT hr;
            switch (c.what) {
                case kConfig:
                    hr = ZR4_GetCamConfig(out);
                    break;
                case kConfigEx:
                    hr = ZR4_GetCamConfigEx(out);
                    break;
                case kStatus:
                    hr = ZR4_GetCamStatus(out);
                    break;
                case kStatus2:
                    hr = ZR4_GetCamStatus2(out, &reported);
                    break;
                case kGroup1:
                    hr = ZR4_GetDataGroup1(out);
                    break;
                case kGroup2:
                    hr = ZR4_GetDataGroup2(out);
                    break;
                case kGroup3:
                    hr = ZR4_GetDataGroup3(out);
                    break;
                case kGroup4:
                    hr = ZR4_GetDataGroup4(out);
                    break;
                case kGroup5:
                    hr = ZR4_GetDataGroup5(out);
                    break;
                case kGroup6:
                    hr = ZR4_GetDataGroup6(out);
                    break;
                case kCanSet1:
                    hr = ZR4_GetCanSetInfo(out);
                    break;
                case kCanSet2:
                    hr = ZR4_GetCanSetInfo2(out);
                    break;
                case kCanSet3:
                    hr = ZR4_GetCanSetInfo3(out);
                    break;
                case kCanSet4:
                    hr = ZR4_GetCanSetInfo4(out);
                    break;
                default:
                    hr = ZR4_GetCaptureStatus(7, out);
                    break;
            }
            if (c.clean) KVX_FUZZ_CHECK(hr == 0);
            if (hr != 0) continue;
            ++stats.counts[1];
            if (c.what == kStatus2) KVX_FUZZ_CHECK(reported >= KVX_VENDOR_OUT_HEADER_SIZE);
            if (!c.clean) continue;
            ++stats.counts[2];
            if (c.what == kStatus2) KVX_FUZZ_CHECK(reported == KVX_VENDOR_OUT_HEADER_SIZE + sent);
            for (size_t i = 0; i < n; ++i) KVX_FUZZ_CHECK(out[i] == expectByte(i));
        } else if (c.what == kList1 || c.what == kList2) {
            const int maxEntries = 1 + static_cast<int>(c.payload.size() % 16);
            uint8_t* room = entries.Place(static_cast<size_t>(maxEntries) * KVX_PICT_ENTRY_SIZE);
            uint32_t listed = 0xFFFFFFFF, length = 0;
            uint8_t* raw = nullptr;
            uint8_t multi = 0;
            uint8_t info[KVX_MULTI_PART_INFO_SIZE];
            KVX_HRESULT hr =
                c.what == kList1
                    ? ZR4_GetPictFileInfo(room, maxEntries, &listed, &raw, &length)
                    : ZR4_GetPictFileInfo2(reinterpret_cast<KVX_PICT_FILE_ENTRY*>(room), maxEntries,
                                           &listed, &multi, info, &raw, &length);
            if (c.clean) KVX_FUZZ_CHECK(hr == 0);
            if (hr != 0 || !c.clean) continue;
            ++stats.counts[4];
            KVX_FUZZ_CHECK(raw != nullptr);
            if (c.what == kList2) KVX_FUZZ_CHECK(length == KVX_VENDOR_OUT_HEADER_SIZE + sent);
            for (size_t i = 0; i < std::min<size_t>(sent, 64); ++i)
                KVX_FUZZ_CHECK(raw[i] == c.payload[i]);
        } else if (c.what == kChecksumError) {
            uint8_t* reply = CheckSumError_Parts(static_cast<uint8_t>(sent));
            KVX_FUZZ_CHECK(reply != nullptr);
            if (c.clean)
                for (size_t i = 0; i < std::min<size_t>(sent, 64); ++i)
                    KVX_FUZZ_CHECK(reply[i] == c.payload[i]);
        } else {
            uint8_t* got = nullptr;
            uint32_t actual = 0xFFFFFFFF;
            KVX_HRESULT hr;
            if (c.what == kPartial)
                hr = ZR4_GetPartialPictFile(1, 0, 4096, &got, &actual);
            else if (c.what == kBigPartial)
                hr = ZR4_GetBigPartialPictFile(1, 0, 4096, &got, &actual);
            else
                hr = ZR4_GetCamViewFrame(&got, &actual);
            const bool refused = c.what == kBigPartial && c.code != ptp::kResponseOk;
            if (c.clean && !refused) KVX_FUZZ_CHECK(hr == 0);
            if (hr != 0) continue;
            ++stats.counts[1];
            // A big partial read that the camera answered with an error code
            // succeeds but leaves the caller's pointer and size as they were
            // (callers preset the size to 0 and take a small one as failure).
            if (c.what == kBigPartial && got == nullptr) {
                KVX_FUZZ_CHECK(actual == 0xFFFFFFFF);
                if (c.clean) KVX_FUZZ_CHECK(refused);
                continue;
            }
            if (c.clean) KVX_FUZZ_CHECK(!refused);
            KVX_FUZZ_CHECK(got != nullptr);
            KVX_FUZZ_CHECK(actual <= KVX_LARGE_REPLY_BUFFER_SIZE);
            if (!c.clean) continue;
            ++stats.counts[3];
            KVX_FUZZ_CHECK(actual == KVX_VENDOR_OUT_HEADER_SIZE + sent);
            // The whole record is readable (the sanitizer sees any overrun);
            // its ends are the camera's bytes.
            if (sent > 0) {
                KVX_FUZZ_CHECK(got[0] == c.payload[0]);
                KVX_FUZZ_CHECK(got[sent - 1] == c.payload[sent - 1]);
                KVX_FUZZ_CHECK(std::memcmp(got, c.payload.data(), sent) == 0);
            }
        }
    }
    ReleaseDevInfo_Parts();
    camera.Finish();
    return 0;
}
