// What a kept, unfinished multi-part Q7I picture needs so that its missing
// parts can be joined to it later, even by a later run of the program: the
// record travels at the end of the kept ".incomplete" file itself, so it can
// never be separated from the bytes it describes, and nothing else appears
// in the destination folder.
//
// Layout, appended after the kept bytes (little-endian):
//   record: u16 version, u16 parts, u16 next part, u32 header length A,
//           u32 header length B, u64 joined length, u64 data length,
//           u64 hash of the joined bytes, u32 size of the next part (0: not
//           known), u16 + camera name, u16 + final name,
//           (next part - 1) x (u32 offset, u32 size), u32 record check
//   u32 record length, then the 8 characters "KVXJOIN1" as the file's end.
//
// A kept file is only ever trusted as far as it proves itself: the record
// must be whole, its directory must describe exactly the layout the joined
// parts have, and the joined bytes must still hash to what was recorded.
// Everything read is bounded by the file's size and the record's limit.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/q7i_assembler.h"

namespace kvx::engine {

struct Q7iJoinState {
    std::string cameraName;  // the picture's name in the camera's list
    std::string finalName;   // file name (no folder) the joined picture gets
    uint16_t numberOfParts = 0;
    uint16_t nextPart = 1;  // parts 1 .. nextPart - 1 are joined in the file
    uint32_t headerLengthA = 0;
    uint32_t headerLengthB = 0;
    uint64_t joinedLength = 0;  // where part nextPart begins
    uint64_t dataLength = 0;    // kept bytes: joined parts plus what arrived of the next
    uint32_t nextPartSize = 0;  // size of part nextPart as the camera gave it; 0: not known
    std::vector<CQ7iAssembler::DirectoryEntry> parts;  // entries 1 .. nextPart - 1

    // Same picture as the list describes: name, number of parts, header,
    // and the size of the part it waits for when that is known.
    bool Describes(const std::string& camera, const MultiPartInfo& info, uint32_t partSize) const;
};

class CQ7iJoinRecord {
public:
    static constexpr char kMagic[9] = "KVXJOIN1";
    static constexpr size_t kMaxNameBytes = 255;
    // A record for the largest possible part count, with both names at
    // their limit: nothing longer is ever read.
    static constexpr uint64_t kMaxRecordBytes = 64 + 2 * kMaxNameBytes + 8 * 65535ull;

    static constexpr uint64_t kHashSeed = 0xcbf29ce484222325ull;
    // How far the joined bytes of a file have been hashed, so that a record
    // written after every part reads only the part that is new.
    struct PrefixHash {
        uint64_t length = 0;
        uint64_t value = kHashSeed;
    };

    // Appends the record for state to the kept file at path (which holds
    // exactly state.joinedLength or more bytes: the data length is its size
    // now) and flushes it. False when it could not be written whole.
    // running, when given, is where the hash goes on from and is updated.
    static bool Append(const std::string& path, Q7iJoinState& state, PrefixHash* running = nullptr);

    // The record at the end of path, when there is one and it holds against
    // the file: nullopt for any file that does not prove itself, and for one
    // that wanted (when given) turns down before its bytes are read.
    static std::optional<Q7iJoinState> Read(
        const std::string& path, const std::function<bool(const Q7iJoinState&)>& wanted = {});

    // The kept file in folder whose record describes this picture and can
    // take part partNumber next (joined when its next part is partNumber,
    // else appended unjoined when its next part is earlier). Looks at a
    // bounded number of ".incomplete" files. The path is absolute.
    struct Found {
        std::string path;
        Q7iJoinState state;
    };
    static std::optional<Found> Find(const std::string& folder, const std::string& cameraName,
                                     const MultiPartInfo& info, uint32_t partSize);

    // Cuts the file at length and flushes it (the record goes with it).
    static bool Truncate(const std::string& path, uint64_t length);

private:
    static std::vector<uint8_t> Encode(const Q7iJoinState& state, uint64_t hash);
    static std::optional<Q7iJoinState> Decode(const uint8_t* p, size_t n, uint64_t& hash);
};

}  // namespace kvx::engine
