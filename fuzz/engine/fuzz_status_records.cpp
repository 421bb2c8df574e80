// The engine's readers of the fixed-size camera records and the checksum
// rules: configuration (53 bytes), camera status (10), capture status (8),
// then rounds of (kind, size - 1, [record index and length, or n], bytes).
// Every record sits against a guard page with exactly its own size, so a
// rule that reads its checksum byte past the record faults at once.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "engine/record_checksums.h"
#include "engine/record_table.h"
#include "engine/status_records.h"
#include "fuzz/common/byte_reader.h"
#include "fuzz/common/guarded_buffer.h"

using namespace kvx::engine;
using kvx::fuzz::ByteReader;
using kvx::fuzz::GuardedBuffer;

namespace {

uint8_t* PlaceRecord(GuardedBuffer& buffer, ByteReader& in, size_t size) {
    size_t got = 0;
    const uint8_t* src = in.Take(size, &got);
    return buffer.Place(size, src, got);
}

// Rule A/B shape: a tested record has its value byte inside the record.
void CheckSignedLengthRule(ChecksumResult r, const uint8_t* rec, size_t size) {
    int length = static_cast<int8_t>(rec[0]);
    if (r != ChecksumResult::kNotTested)
        KVX_FUZZ_CHECK(length > 2 && static_cast<size_t>(length) + 1 < size);
}

void Config(GuardedBuffer& buffer, ByteReader& in, size_t size) {
    uint8_t* rec = PlaceRecord(buffer, in, size);
    CheckSignedLengthRule(CheckConfigRecord(rec, size), rec, size);
    if (size >= kConfigRecordSize) {
        ProtocolVersion v = ReadProtocolVersion(rec);
        if (!(rec[1] & 0x40)) KVX_FUZZ_CHECK(v.major == 3 && v.minor == 0);
        KVX_FUZZ_CHECK(IsProtocolSupported(v) == !(v.major > 4 || (v.major == 4 && v.minor > 0)));
        KVX_FUZZ_CHECK(ReadCameraName(rec).size() <= 46);
    }
}

void Status(GuardedBuffer& buffer, ByteReader& in, size_t size) {
    uint8_t* rec = PlaceRecord(buffer, in, size);
    CheckSignedLengthRule(CheckStatusRecord(rec, size), rec, size);
    if (size >= kStatusRecordSize) {
        CameraStatus s = ParseCameraStatus(rec);
        uint8_t back[kStatusRecordSize];
        BuildCameraStatus(s, back);
        KVX_FUZZ_CHECK(std::memcmp(back, rec, 9) == 0);
    }
}

void Capture(GuardedBuffer& buffer, ByteReader& in, size_t size) {
    uint8_t* rec = PlaceRecord(buffer, in, size);
    CheckSignedLengthRule(CheckCaptureStatusRecord(rec, size), rec, size);
    if (size >= kCaptureStatusRecordSize) {
        CaptureStatusRecord c = ParseCaptureStatus(rec);
        KVX_FUZZ_CHECK(c.code == (rec[4] | (rec[5] << 8)) && c.flags == rec[6]);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static GuardedBuffer buffer(256);
    ByteReader in(data, size);
    Config(buffer, in, kConfigRecordSize);
    Status(buffer, in, kStatusRecordSize);
    Capture(buffer, in, kCaptureStatusRecordSize);

    for (int round = 0; round < 64 && !in.Empty(); ++round) {
        const uint8_t kind = in.U8() % 5;
        const size_t recordSize = static_cast<size_t>(in.U8()) + 1;
        switch (kind) {
            case 0:
                Config(buffer, in, recordSize);
                break;
            case 1:
                Status(buffer, in, recordSize);
                break;
            case 2:
                Capture(buffer, in, recordSize);
                break;
            case 3: {
                // A data group or settable-info record with the camera's length.
                const RecordInfo& info = kRecordFetchOrder[in.U8() % kRecordKinds];
                const int length = in.U16();
                uint8_t* rec = PlaceRecord(buffer, in, recordSize);
                ChecksumResult r = CheckDataRecord(length, recordSize, rec, info.name);
                if (r != ChecksumResult::kNotTested) {
                    KVX_FUZZ_CHECK(length > 2 && static_cast<size_t>(length) + 2 < recordSize);
                    KVX_FUZZ_CHECK(
                        (r == ChecksumResult::kMatch) ==
                        (ByteSum(rec, static_cast<size_t>(length) + 2) == rec[length + 2]));
                }
                KVX_FUZZ_CHECK(CalcDataCheckSum(length, recordSize, rec, info.name) ==
                               (r != ChecksumResult::kMismatch));
                break;
            }
            case 4: {
                // A picture file list with the accumulated length n (any value).
                const bool past = in.Bit();
                const size_t n = in.U8() + (past ? recordSize : 0);
                uint8_t* rec = PlaceRecord(buffer, in, recordSize);
                ChecksumResult r = CheckPictFileList(rec, n, recordSize);
                if (n >= recordSize) KVX_FUZZ_CHECK(r == ChecksumResult::kNotTested);
                break;
            }
        }
    }
    return 0;
}
