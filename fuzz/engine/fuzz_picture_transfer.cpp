// Whole transfer passes against a camera whose picture lists (entries, names,
// sizes, multi-part information, the list record with the Q7I header and
// trailer blocks) and partial replies come from the fuzz input, over up to
// three lists so multi-part pictures span lists. What must hold whatever the
// camera sends:
//  - nothing is written outside the destination folder;
//  - a picture reported complete under its final name holds exactly the
//    camera's bytes (a joined Q7I: a directory that points at the parts);
//  - a picture (not a part of a multi-part one) whose bytes the camera
//    handed out whole ends up as a file;
//  - once the transfer side is gone, no picture is left hidden.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/picture_transfer.h"
#include "fuzz/engine/fuzz_transfer_support.h"

using namespace kvx::engine;
using kvx::fuzz::ByteReader;
using kvx::fuzz::ScratchFolder;

namespace {

uint32_t U32At(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t{b[at]} | uint32_t{b[at + 1]} << 8 | uint32_t{b[at + 2]} << 16 |
           uint32_t{b[at + 3]} << 24;
}

std::string NameOf(const KVX_PICT_FILE_ENTRY& e) {
    return std::string(e.fileName, strnlen(e.fileName, sizeof e.fileName));
}

// Renaming numbers run from the start number up to CPictureNamer::kMaxNumber
// and no further: a picture may go unwritten only when every number of that
// range is already used by a file of the folder (any name whose part before
// its first dot is prefix + number, ignoring case).
bool NumbersLeft(const std::string& folder, const NamingOptions& options) {
    const long start = std::strtol(options.startNum.c_str(), nullptr, 10);
    const int digits = static_cast<int>(std::strtol(options.columns.c_str(), nullptr, 10));
    const auto names = ScratchFolder::Names(folder);
    const long count = CPictureNamer::kMaxNumber - start + 1;
    if (count > static_cast<long>(names.size())) return true;  // more numbers than files
    std::string prefix = options.prefix;
    for (auto& c : prefix) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (long n = start; n <= CPictureNamer::kMaxNumber; ++n) {
        char digitsText[32];
        std::snprintf(digitsText, sizeof digitsText, "%0*ld", digits, n);
        const std::string stem = prefix + digitsText;
        bool used = false;
        for (std::string name : names) {
            for (auto& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            used = used || name == stem || name.rfind(stem + ".", 0) == 0 || name == "." + stem ||
                   name.rfind("." + stem + ".", 0) == 0;
        }
        if (!used) return true;
    }
    return false;
}

// A joined Q7I: directory at the offset in the last four bytes, "SECf",
// version, entry count, then the entries; every part's bytes are a picture
// the camera sent.
void CheckJoined(const std::vector<uint8_t>& file, const std::vector<uint32_t>& q7iObjects) {
    KVX_FUZZ_CHECK(file.size() >= 16);
    const uint32_t dir = U32At(file, file.size() - 4);
    KVX_FUZZ_CHECK(uint64_t{dir} + 16 <= file.size());
    KVX_FUZZ_CHECK(std::memcmp(file.data() + dir, "SECf", 4) == 0);
    const uint32_t entries = U32At(file, dir + 8);
    KVX_FUZZ_CHECK(entries >= 2);
    KVX_FUZZ_CHECK(uint64_t{dir} + 12 + 12 * uint64_t{entries} + 4 == file.size());
    for (uint32_t i = 0; i < entries; ++i) {
        const size_t at = dir + 12 + 12 * size_t{i};
        const uint32_t offset = U32At(file, at), length = U32At(file, at + 4);
        KVX_FUZZ_CHECK(uint64_t{offset} + length <= dir);
        const bool last = i + 1 == entries;
        KVX_FUZZ_CHECK(std::memcmp(file.data() + at + 8, last ? "QDLA" : "FRAM", 4) == 0);
        if (!last) {
            bool matches = false;
            for (uint32_t id : q7iObjects)
                matches = matches || kvx::fuzz::MatchesPicture(file, offset, length, id);
            KVX_FUZZ_CHECK(matches);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static ScratchFolder scratch;
    static kvx::fuzz::CheckStats stats{
        "picture_transfer",
        {},
        {"results", "complete", "plain", "joined", "parts", "parts_failed"}};
    const std::string dest = scratch.Root() + "/dest";
    ::mkdir(dest.c_str(), 0755);
    ScratchFolder::Empty(dest);

    ByteReader in(data, size);
    const uint8_t flags = in.U8();
    const bool extended = (flags & 1) != 0;
    kvx::fuzz::TransferLink link(in);
    kvx::fuzz::QuietTransferHost host((flags & 2) ? 4 : 3, extended);
    NamingOptions options;
    options.destinationFolder = dest;
    options.programFolder = scratch.Root();
    options.rename = (flags & 4) != 0;
    options.startNum = (flags & 8) ? "9999998" : "10001";
    options.columns = (flags & 16) ? "7" : "5";
    int launches = 0;
    {
        CPictureTransfer transfer(link, host, CReviewLauncher([&](const std::vector<std::string>&) {
                                      ++launches;
                                      return false;
                                  }));
        transfer.SetNamingOptions(options);
        const int lists = 1 + (flags >> 5) % 3;
        for (int l = 0; l < lists; ++l) {
            transfer.GetPictFileInfo();
            const auto results = transfer.LastFileResults();
            for (const auto& e : link.lastList) {
                const bool multi = e.entry.formatCode == CPictureTransfer::kFormatQ7i && e.extended;
                const bool nameable =
                    !options.rename || CPictureNamer::ExtensionFor(e.entry.formatCode);
                const uint32_t objectId = e.entry.objectId;  // packed field: copy before binding
                auto s = link.served.find(objectId);
                if (multi || !nameable || e.entry.fileSize == 0 || s == link.served.end() ||
                    s->second < e.entry.fileSize) {
                    continue;
                }
                bool kept = false;
                for (const auto& r : results)
                    kept = kept || (r.cameraName == NameOf(e.entry) && !r.path.empty());
                KVX_FUZZ_CHECK(kept || (options.rename && !NumbersLeft(dest, options)));
            }
            for (const auto& r : results) {
                ++stats.counts[0];
                for (const auto& e : link.lastList) {
                    if (NameOf(e.entry) == r.cameraName &&
                        e.entry.formatCode == CPictureTransfer::kFormatQ7i && e.extended) {
                        ++stats.counts[4];
                        if (!r.complete) ++stats.counts[5];
                        break;
                    }
                }
                if (r.path.empty()) continue;
                // Inside the destination folder, as one name.
                KVX_FUZZ_CHECK(r.path.rfind(dest + "/", 0) == 0);
                KVX_FUZZ_CHECK(r.path.find('/', dest.size() + 1) == std::string::npos);
                if (!r.complete) continue;
                ++stats.counts[1];
                const std::vector<uint8_t> file = kvx::fuzz::ReadFile(r.path);
                bool q7i = false, plain = false;
                for (const auto& e : link.lastList) {
                    if (NameOf(e.entry) != r.cameraName) continue;
                    if (e.entry.formatCode == CPictureTransfer::kFormatQ7i && e.extended) {
                        q7i = true;
                    } else if (file.size() == e.entry.fileSize &&
                               kvx::fuzz::MatchesPicture(file, 0, file.size(), e.entry.objectId)) {
                        plain = true;
                    }
                }
                if (q7i && !plain) {
                    CheckJoined(file, link.q7iObjects);
                    ++stats.counts[3];
                } else {
                    KVX_FUZZ_CHECK(plain);
                    ++stats.counts[2];
                }
            }
        }
    }
    (void)launches;
    // Only the destination folder was touched, and nothing in it is hidden.
    const auto top = ScratchFolder::Names(scratch.Root());
    KVX_FUZZ_CHECK(top.size() == 1 && top[0] == "dest");
    for (const auto& n : ScratchFolder::Names(dest)) KVX_FUZZ_CHECK(n[0] != '.');
    ScratchFolder::Empty(dest);
    return 0;
}

// libFuzzer's own mutation; absent (null) in the replay programs, which never
// call the mutator below.
extern "C" size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t maxSize)
    __attribute__((weak));

// Mutations that keep plain pictures plain would leave the multi-part paths
// (joining, resuming a picture across lists, its failures) to a fifth of the
// results: every third mutation makes the camera an extended one of protocol
// 4 and has its first list begin a multi-part picture, with a deviation
// picked from the mutation's seed.
extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t maxSize,
                                          unsigned int seed) {
    size = LLVMFuzzerMutate(data, size, maxSize);
    if (size >= 2 && seed % 3 == 0) {
        data[0] |= 1 | 2;
        data[1] = static_cast<uint8_t>(0x40 | (seed >> 8) % 16);
    }
    return size;
}
