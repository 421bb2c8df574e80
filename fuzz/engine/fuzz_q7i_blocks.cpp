// The multi-part information of a picture list and the copies of the Q7I
// header and trailer blocks out of the list record: offsets and lengths are
// the camera's, the record holds only the bytes received (against a guard
// page). A copy is kept exactly when both blocks lie inside those bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "camlink/varno_usb.h"
#include "engine/q7i_assembler.h"
#include "fuzz/common/byte_reader.h"
#include "fuzz/common/guarded_buffer.h"

using namespace kvx::engine;
using kvx::fuzz::ByteReader;
using kvx::fuzz::GuardedBuffer;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static GuardedBuffer info(KVX_MULTI_PART_INFO_SIZE);
    static GuardedBuffer reply(KVX_REPLY_BUFFER_SIZE - KVX_VENDOR_OUT_HEADER_SIZE);
    ByteReader in(data, size);
    const uint8_t mode = in.U8();
    size_t got = 0;
    const uint8_t* src = in.Take(KVX_MULTI_PART_INFO_SIZE, &got);
    uint8_t* m = info.Place(KVX_MULTI_PART_INFO_SIZE, src, got);
    const uint32_t received =
        (mode & 1) ? in.U16() % (reply.Capacity() + 1)
                   : static_cast<uint32_t>(std::min(in.Remaining(), reply.Capacity()));
    src = in.Take(received, &got);
    uint8_t* r = reply.Place(received, src, got);

    MultiPartInfo p = MultiPartInfo::Parse(m);
    KVX_FUZZ_CHECK(p.partNumber == (m[0] | (m[1] << 8)) && p.numberOfParts == (m[2] | (m[3] << 8)));
    KVX_FUZZ_CHECK(p.HeaderLength() == uint64_t{p.headerLengthA} + p.headerLengthB);
    KVX_FUZZ_CHECK(CQ7iAssembler::PlaceholderSize(p) > p.HeaderLength());
    KVX_FUZZ_CHECK(CQ7iAssembler::PlaceholderSize(p) % CQ7iAssembler::kAlign == 0);

    CQ7iAssembler a;
    const bool inside = uint64_t{p.headerOffset} + p.HeaderLength() <= received &&
                        uint64_t{p.trailerOffset} + p.trailerLength <= received;
    KVX_FUZZ_CHECK(a.CopyBlocks(p, r, received) == inside);
    KVX_FUZZ_CHECK(a.HasBlocks() == inside);
    KVX_FUZZ_CHECK(!a.CopyBlocks(p, nullptr, received) && !a.HasBlocks());
    a.ForgetBlocks();
    KVX_FUZZ_CHECK(!a.HasBlocks());

    const bool begun = a.BeginPicture(p);
    KVX_FUZZ_CHECK(!begun || (p.partNumber == 1 && p.numberOfParts >= 1));
    if (begun) {
        KVX_FUZZ_CHECK(a.Accepts(p));
        KVX_FUZZ_CHECK(a.Directory().size() == size_t{p.numberOfParts} + 2);
        MultiPartInfo next = p;
        next.partNumber = 2;
        KVX_FUZZ_CHECK(!a.Accepts(next));
    }
    a.EndPicture();
    KVX_FUZZ_CHECK(!a.Accepts(p) && a.Directory().empty());
    return 0;
}
