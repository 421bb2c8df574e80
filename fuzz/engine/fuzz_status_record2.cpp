// Status record 2 as the camera sends it, with any reported size: the
// unpacker may read only the record bytes that actually arrived (the record
// sits against a guard page), never fills more than the record an item
// targets, and hands on at most 127 picture ids. What it produces then goes
// where the engine sends it: into the settings model's received records and,
// ids above 63 included, into a capture status pass of the picture transfer.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/picture_transfer.h"
#include "engine/status_records.h"
#include "fuzz/common/byte_reader.h"
#include "fuzz/common/guarded_buffer.h"
#include "fuzz/engine/fuzz_camera_link.h"
#include "model/camera.h"

using namespace kvx::engine;
using kvx::fuzz::ByteReader;
using kvx::fuzz::GuardedBuffer;

namespace {

uint32_t U32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

bool IsDataGroup(RecordId id, int& number) {
    switch (id) {
        case RecordId::kDataGroup1:
            number = 1;
            return true;
        case RecordId::kDataGroup2:
            number = 2;
            return true;
        case RecordId::kDataGroup3:
            number = 3;
            return true;
        case RecordId::kDataGroup4:
            number = 4;
            return true;
        case RecordId::kDataGroup5:
            number = 5;
            return true;
        case RecordId::kDataGroup6:
            number = 6;
            return true;
        case RecordId::kCanSetInfo4:
            number = 4;
            return false;
        default:
            number = 0;
            return false;
    }
}

// Capture status records come from the rest of the input, one per request.
class CaptureStatusLink final : public kvx::fuzz::NullCameraLink {
public:
    explicit CaptureStatusLink(ByteReader& in) : in_(in) {}
    HResult GetCaptureStatus(int32_t id, uint8_t* out) override {
        requested.push_back(id);
        if (in_.Empty() || in_.U8() == 0xEE) return KVX_E_FAIL;
        size_t got = 0;
        const uint8_t* src = in_.Take(KVX_CAPTURE_STATUS_SIZE, &got);
        std::memset(out, 0, KVX_CAPTURE_STATUS_SIZE);
        std::memcpy(out, src, got);
        return 0;
    }
    HResult ClearImageDBSignle(int32_t id) override {
        cleared.push_back(id);
        return 0;
    }
    std::vector<int32_t> requested;
    std::vector<int32_t> cleared;

private:
    ByteReader& in_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static GuardedBuffer record(kStatusRecord2Size);
    ByteReader in(data, size);
    const uint8_t mode = in.U8();
    const size_t body = in.U16() % (kStatusRecord2Size + 1);
    // Most replies are honest about their size; the rest say anything.
    const uint32_t reported =
        (mode & 3) != 0 ? static_cast<uint32_t>(body + kReplyHeaderSize) : in.U32();
    const size_t received = std::min<size_t>(
        reported > kReplyHeaderSize ? reported - kReplyHeaderSize : 0, kStatusRecord2Size);
    // The record's bytes, then the capture status records of the pass.
    size_t got = 0;
    const uint8_t* src = in.Take(std::min(body, received), &got);
    uint8_t* rec = record.Place(received, src, got);

    UnpackedStatus2 u = UnpackStatusRecord2(rec, reported);

    // The camera status record of the common path: length 0, nothing but the
    // state and the capture status change.
    CameraStatus s = ParseCameraStatus(u.status);
    KVX_FUZZ_CHECK(s.length == 0 && u.status[9] == 0);
    KVX_FUZZ_CHECK(u.picturesChanged == !u.pictureIds.empty());
    KVX_FUZZ_CHECK(u.picturesChanged ? (s.changeFlags == 0x0008 && s.pictureBits == 1)
                                     : (s.changeFlags == 0 && s.pictureBits == 0));
    KVX_FUZZ_CHECK(u.pictureIds.size() <= 127);
    if (received < 8) KVX_FUZZ_CHECK(u.records.empty() && !u.picturesChanged && s.state == 0);
    const size_t items =
        received >= 8 ? std::min<size_t>({U32(rec + 4), 256, (received - 8) / 12}) : 0;
    KVX_FUZZ_CHECK(u.records.size() <= items);

    for (const UnpackedRecord& r : u.records) {
        const RecordInfo& info = Info(r.id);
        KVX_FUZZ_CHECK(info.size <= r.bytes.size());
        // Nothing past the record's own size.
        for (size_t i = info.size; i < r.bytes.size(); ++i) KVX_FUZZ_CHECK(r.bytes[i] == 0);
        int number = 0;
        if (IsDataGroup(r.id, number)) {
            KVX_FUZZ_CHECK(r.bytes[0] <= info.size - 1);
        } else {
            KVX_FUZZ_CHECK(r.id == RecordId::kCanSetInfo4);
            KVX_FUZZ_CHECK((r.bytes[0] | (r.bytes[1] << 8)) <= static_cast<int>(info.size) - 2);
        }
    }

    // Where the engine hands the results.
    // Built once: its value lists do not depend on what is stored.
    static VARNO::CCamera camera;
    camera.Clear();
    for (const UnpackedRecord& r : u.records) {
        int number = 0;
        const size_t full = Info(r.id).size;
        if (IsDataGroup(r.id, number)) {
            camera.StoreReceivedDataGroup(number, r.bytes.data(), full);
            uint8_t back[VARNO::kMaxDataGroupSize] = {};
            KVX_FUZZ_CHECK(camera.ReceivedDataGroup(number, back, sizeof back) == full);
            KVX_FUZZ_CHECK(std::memcmp(back, r.bytes.data(), full) == 0);
            camera.MergeDataGroup(number, nullptr);
        } else {
            camera.StoreReceivedCanSetInfo(number, r.bytes.data(), full);
            camera.MergeCanSetInfo(number);
        }
    }

    if (u.picturesChanged) {
        CaptureStatusLink link(in);
        kvx::fuzz::QuietTransferHost host(/*protocolMajor=*/4, /*extended=*/true);
        CPictureTransfer transfer(
            link, host, CReviewLauncher([](const std::vector<std::string>&) { return false; }));
        transfer.SetPictureIdList(u.pictureIds.data(), static_cast<int>(u.pictureIds.size()));
        transfer.OnUpdateCaptureStatus();
        // Every id of the list is asked for once, in order, above 63 as well.
        KVX_FUZZ_CHECK(link.requested.size() == u.pictureIds.size());
        for (size_t i = 0; i < u.pictureIds.size(); ++i)
            KVX_FUZZ_CHECK(link.requested[i] == u.pictureIds[i]);
        for (int32_t id : link.cleared)
            KVX_FUZZ_CHECK(std::find(u.pictureIds.begin(), u.pictureIds.end(), id) !=
                           u.pictureIds.end());
        const int pending = transfer.PendingPictureCount();
        KVX_FUZZ_CHECK(pending >= 0 && pending <= CCaptureStatusTable::kEntries);
        for (uint16_t id : u.pictureIds) {
            if (id >= CCaptureStatusTable::kEntries) {
                auto e = transfer.Table().Get(id);
                KVX_FUZZ_CHECK(e.code == 0 && e.flags == 0);
            }
        }
    }
    return 0;
}
