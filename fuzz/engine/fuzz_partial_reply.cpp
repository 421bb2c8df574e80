// One picture read piece by piece from a camera whose partial replies come
// from the fuzz input: lengths, data and the more flag of each piece, short
// and failing replies. Every reply sits against a guard page. When the
// picture is written, the file must hold exactly the bytes the camera sent,
// in order -- a read that gives up keeps what it received, and never more.
#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "engine/picture_transfer.h"
#include "fuzz/engine/fuzz_transfer_support.h"

using namespace kvx::engine;
using kvx::fuzz::ByteReader;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static kvx::fuzz::ScratchFolder scratch;
    static kvx::fuzz::CheckStats stats{
        "partial_reply", {}, {"reads", "whole", "files", "bytes_checked"}};
    ByteReader in(data, size);
    const uint8_t flags = in.U8();
    const bool write = (flags & 1) != 0;

    KVX_PICT_FILE_ENTRY entry{};
    entry.formatCode = 0x3801;
    std::memcpy(entry.fileName, "PICT0001.JPG", 12);
    switch ((flags >> 1) & 3) {
        case 0:
            entry.fileSize = in.U16();
            break;
        case 1:
            entry.fileSize = in.U32() % 0x600000;
            break;
        case 2:
            entry.fileSize = 0x200000 * (1 + in.U8() % 6) + in.U8() - 128;
            break;
        default:
            entry.fileSize = in.U32();
            break;
    }
    entry.objectId = in.U32();

    kvx::fuzz::TransferLink link(in);
    kvx::fuzz::QuietTransferHost host(4, true);
    CPictureTransfer transfer(
        link, host, CReviewLauncher([](const std::vector<std::string>&) { return false; }));
    // A sound camera ends the picture at its size; the link learns it from
    // a list, here it is told.
    link.SetKnownSize(entry.objectId, entry.fileSize);

    const std::string path = scratch.Root() + "/picture";
    ::unlink(path.c_str());
    uint32_t total = 0;
    const bool ok = transfer.ReadPictFile(entry, total, path, write, nullptr, false);

    ++stats.counts[0];
    if (ok) ++stats.counts[1];
    KVX_FUZZ_CHECK(total <= entry.fileSize);
    if (ok) KVX_FUZZ_CHECK(total == entry.fileSize);
    // Each request either consumed input or failed for lack of it, three
    // attempts at most then.
    KVX_FUZZ_CHECK(static_cast<size_t>(link.pieceRequests) <= size + 3);
    KVX_FUZZ_CHECK(transfer.LastReadStats().requests == link.pieceRequests);

    if (write) {
        const std::vector<uint8_t> file = kvx::fuzz::ReadFile(path);
        KVX_FUZZ_CHECK(file.size() == total);
        KVX_FUZZ_CHECK(kvx::fuzz::MatchesPicture(file, 0, file.size(), entry.objectId));
        ++stats.counts[2];
        stats.counts[3] += file.size();
    } else {
        struct stat st {};
        KVX_FUZZ_CHECK(::stat(path.c_str(), &st) != 0);
    }
    ::unlink(path.c_str());
    return 0;
}
