// What the picture transfer targets share: a camera whose picture lists and
// partial picture replies come from the fuzz input, with the picture bytes
// themselves a known pattern of (object id, offset) so that a file on disk
// can be checked byte for byte; and a scratch folder for the files.
#pragma once

#include <dirent.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "fuzz/common/byte_reader.h"
#include "fuzz/common/check_stats.h"
#include "fuzz/common/guarded_buffer.h"
#include "fuzz/engine/fuzz_camera_link.h"

namespace kvx::fuzz {

// The camera's picture bytes: a fixed noise sequence with a period that is
// no power of two (so an offset slip of a piece or segment shows), entered at
// a point chosen by the object id.
class PictureNoise {
public:
    static constexpr size_t kPeriod = 4194301;  // prime

    static const PictureNoise& Get() {
        static const PictureNoise noise;
        return noise;
    }
    static size_t Start(uint32_t objectId, uint64_t pos) {
        return static_cast<size_t>((uint64_t{objectId} * 2654435761u + pos) % kPeriod);
    }
    // Fills out with the picture bytes [pos, pos + n) of objectId.
    void Fill(uint32_t objectId, uint64_t pos, uint8_t* out, size_t n) const {
        size_t at = Start(objectId, pos);
        while (n > 0) {
            const size_t run = std::min(n, kPeriod - at);
            std::memcpy(out, bytes_.data() + at, run);
            out += run;
            n -= run;
            at = 0;
        }
    }
    bool Matches(uint32_t objectId, uint64_t pos, const uint8_t* in, size_t n) const {
        size_t at = Start(objectId, pos);
        while (n > 0) {
            const size_t run = std::min(n, kPeriod - at);
            if (std::memcmp(in, bytes_.data() + at, run) != 0) return false;
            in += run;
            n -= run;
            at = 0;
        }
        return true;
    }

private:
    PictureNoise() : bytes_(kPeriod) {
        uint64_t x = 0x243F6A8885A308D3ull;
        for (auto& b : bytes_) {
            x ^= x << 13;
            x ^= x >> 7;
            x ^= x << 17;
            b = static_cast<uint8_t>(x >> 24);
        }
    }
    std::vector<uint8_t> bytes_;
};

// Does bytes[from, from + count) hold the first count bytes of objectId?
inline bool MatchesPicture(const std::vector<uint8_t>& bytes, size_t from, size_t count,
                           uint32_t objectId) {
    if (from + count > bytes.size()) return false;
    return PictureNoise::Get().Matches(objectId, 0, bytes.data() + from, count);
}

inline std::vector<uint8_t> ReadFile(const std::string& path) {
    std::vector<uint8_t> out;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        struct stat st {};
        if (::fstat(fileno(f), &st) == 0 && st.st_size > 0) {
            out.resize(static_cast<size_t>(st.st_size));
            out.resize(std::fread(out.data(), 1, out.size(), f));
        }
        std::fclose(f);
    }
    return out;
}

// A folder of its own under /dev/shm (or TMPDIR), removed at exit.
class ScratchFolder {
public:
    ScratchFolder() {
        const char* base = ::access("/dev/shm", W_OK) == 0
                               ? "/dev/shm"
                               : (std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp");
        std::string templ = std::string(base) + "/kvx-fuzz-XXXXXX";
        std::vector<char> buf(templ.begin(), templ.end());
        buf.push_back('\0');
        if (::mkdtemp(buf.data()) == nullptr) std::abort();
        root_ = buf.data();
    }
    ~ScratchFolder() { RemoveTree(root_); }
    const std::string& Root() const { return root_; }

    static std::vector<std::string> Names(const std::string& folder) {
        std::vector<std::string> names;
        if (DIR* d = ::opendir(folder.c_str())) {
            while (dirent* e = ::readdir(d)) {
                std::string n = e->d_name;
                if (n != "." && n != "..") names.push_back(n);
            }
            ::closedir(d);
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    static void RemoveTree(const std::string& path) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0) return;
        if (S_ISDIR(st.st_mode)) {
            for (const auto& n : Names(path)) RemoveTree(path + "/" + n);
            ::rmdir(path.c_str());
        } else {
            ::unlink(path.c_str());
        }
    }
    // Empties the folder but keeps it.
    static void Empty(const std::string& folder) {
        for (const auto& n : Names(folder)) RemoveTree(folder + "/" + n);
    }

private:
    std::string root_;
};

// The camera side of picture lists and partial picture reads.
class TransferLink : public NullCameraLink {
public:
    static constexpr size_t kListCapacity = KVX_REPLY_BUFFER_SIZE - KVX_VENDOR_OUT_HEADER_SIZE;
    static constexpr size_t kPieceCapacity =
        KVX_LARGE_REPLY_BUFFER_SIZE - KVX_VENDOR_OUT_HEADER_SIZE;
    // Picture bytes one input may have served, so no input runs for long.
    static constexpr uint64_t kServeBudget = 12u << 20;
    static constexpr uint16_t kQ7iFormat = 0x380A;

    explicit TransferLink(ByteReader& in) : in_(in) {}

    struct Entry {
        KVX_PICT_FILE_ENTRY entry;
        bool extended;
    };
    std::vector<Entry> lastList;       // the entries of the last list reply
    std::vector<uint32_t> q7iObjects;  // object ids of every Q7I entry served
    int pieceRequests = 0;
    // Per object id of the last list: how far the camera has handed out its
    // bytes without a gap.
    std::map<uint32_t, uint64_t> served;

    HResult GetPictFileInfo(KVX_PICT_FILE_ENTRY* entries, int32_t maxEntries, uint32_t* count,
                            uint8_t** raw, uint32_t* rawLength) override {
        return List(false, entries, maxEntries, count, nullptr, nullptr, raw, rawLength);
    }
    HResult GetPictFileInfo2(KVX_PICT_FILE_ENTRY* entries, int32_t maxEntries, uint32_t* count,
                             uint8_t* isMultiPart, uint8_t* multiPartInfo, uint8_t** raw,
                             uint32_t* actualSize) override {
        return List(true, entries, maxEntries, count, isMultiPart, multiPartInfo, raw, actualSize);
    }

    HResult GetBigPartialPictFile(uint32_t objectId, uint32_t offset, uint32_t size, uint8_t** data,
                                  uint32_t* actualSize) override {
        ++pieceRequests;
        // A multi-part list's pieces come from a sound camera unless that
        // list asked for pieces from the input.
        if (!soundPieces_ && in_.Empty()) return KVX_E_FAIL;
        const uint8_t ctl = soundPieces_ ? 0 : in_.U8();
        const uint8_t mode = ctl & 7;
        const bool moreBit = (ctl & 0x08) != 0;
        const uint64_t left = served_ < kServeBudget ? kServeBudget - served_ : 0;
        auto known = sizes_.find(objectId);
        const uint64_t pictureSize = known == sizes_.end() ? ~uint64_t{0} : known->second;

        uint32_t length = 0;
        size_t received = 0;
        bool more = true;
        switch (mode) {
            case 0:
            case 1:
            case 2:  // what a sound camera sends
                length = static_cast<uint32_t>(std::min<uint64_t>(size, left));
                more = uint64_t{offset} + length < pictureSize;
                if (moreBit) more = !more;
                received = 4 + size_t{length} + 2;
                break;
            case 3:  // a short piece
                length = static_cast<uint32_t>(std::min<uint64_t>({size, left, in_.U16()}));
                more = moreBit;
                received = 4 + size_t{length} + 2 + (in_.U8() & 7);
                break;
            case 4: {  // the length field says anything, the reply holds what it holds
                length = in_.Bit() ? in_.U32() : size + in_.U8() - 128;
                received = std::min<uint64_t>(in_.U32() % (kPieceCapacity + 1), left + 6);
                more = moreBit;
                break;
            }
            case 5:
                return in_.U8() == 0 ? KVX_E_FAIL : static_cast<HResult>(0x80000000u | in_.U16());
            case 6: {  // a reply too short for its own fields
                // At most five bytes: never room for a length field and a flag.
                received = in_.U8() % 6;
                uint8_t* rec = piece_.Place(received);
                for (size_t i = 0; i < received; ++i) rec[i] = in_.U8();
                *data = rec;
                *actualSize = in_.Bit() ? static_cast<uint32_t>(received)
                                        : static_cast<uint32_t>(received + 30);
                return 0;
            }
            default:
                *data = nullptr;
                *actualSize = in_.U16();
                return 0;
        }
        received = std::min(received, kPieceCapacity);
        uint8_t* rec = piece_.Place(received);
        const uint8_t lengthField[4] = {
            static_cast<uint8_t>(length), static_cast<uint8_t>(length >> 8),
            static_cast<uint8_t>(length >> 16), static_cast<uint8_t>(length >> 24)};
        std::memcpy(rec, lengthField, std::min<size_t>(4, received));
        const size_t dataEnd = std::min<uint64_t>(received, uint64_t{4} + length);
        if (dataEnd > 4) PictureNoise::Get().Fill(objectId, offset, rec + 4, dataEnd - 4);
        if (dataEnd == uint64_t{4} + length && length > 0 && served.count(objectId) &&
            served[objectId] == offset) {
            served[objectId] = uint64_t{offset} + length;
        }
        if (dataEnd > 4) served_ += dataEnd - 4;
        for (size_t i = dataEnd; i < received; ++i) rec[i] = 0;
        if (uint64_t{4} + length + 2 <= received) {
            rec[4 + length] = more ? 1 : 0;
            rec[5 + length] = 0;
        }
        *data = rec;
        *actualSize = static_cast<uint32_t>(received + KVX_VENDOR_OUT_HEADER_SIZE);
        return 0;
    }

    HResult ClearImageDBSignle(int32_t) override { return 0; }

    // For a read that does not come from a list.
    void SetKnownSize(uint32_t objectId, uint64_t size) { sizes_[objectId] = size; }

private:
    HResult List(bool second, KVX_PICT_FILE_ENTRY* entries, int32_t maxEntries, uint32_t* count,
                 uint8_t* isMultiPart, uint8_t* info28, uint8_t** raw, uint32_t* rawLength) {
        lastList.clear();
        served.clear();
        // Once a list was multi-part, so are the later ones: the camera is
        // in the middle of a picture, and a list needs no input then (past
        // the end of the input every value reads as 0, which lists the next
        // part soundly).
        if (in_.Empty() && !multiPartMode_) return KVX_E_FAIL;
        const uint8_t control = in_.U8();
        if (control == 0xFF) return KVX_E_FAIL;
        multiPartMode_ = multiPartMode_ || (control & 0xF0) == 0x40;
        soundPieces_ = multiPartMode_ && (control & 0x0F) != 8;
        if (multiPartMode_)
            return MultiPartList(control & 0x0F, second, entries, maxEntries, count, isMultiPart,
                                 info28, raw, rawLength);
        const uint8_t c = in_.U8();
        *count = c < 0xF0 ? c % 3 : c;
        const int filled =
            std::min<int>(static_cast<int>(std::min<uint32_t>(*count, 16)), maxEntries);
        for (int i = 0; i < filled; ++i) {
            KVX_PICT_FILE_ENTRY e{};
            const uint8_t f = in_.U8();
            static const uint16_t kFormats[] = {0x3801, 0xB801, 0x380A};
            e.formatCode = (f & 3) < 3 ? kFormats[f & 3] : in_.U16();
            // KVX_FUZZ_SHORT_NAMES keeps names short, to look past the faults
            // of long names (fuzz/engine/crashes/picture_transfer/).
            static const bool shortNames = std::getenv("KVX_FUZZ_SHORT_NAMES") != nullptr;
            const size_t nameLength = in_.U8() % (shortNames ? 101 : 129);
            for (size_t k = 0; k < nameLength; ++k) e.fileName[k] = static_cast<char>(in_.U8());
            switch ((f >> 2) & 3) {
                case 0:
                    e.fileSize = in_.U8();
                    break;
                case 1:
                    e.fileSize = in_.U16();
                    break;
                case 2:
                    e.fileSize = in_.U32() % 0x1800000;
                    break;
                default:
                    e.fileSize = in_.U32();
                    break;
            }
            e.objectId = in_.U32();
            entries[i] = e;
            Remember(e, second);
        }
        if (second) {
            if (isMultiPart) *isMultiPart = in_.U8() & 1;
            uint8_t m[KVX_MULTI_PART_INFO_SIZE] = {};
            if (in_.Bit()) {
                for (auto& b : m) b = in_.U8();
            } else {
                // Mostly coherent: small part numbers, blocks near the list.
                auto put32 = [&](int at, uint32_t v) {
                    for (int k = 0; k < 4; ++k) m[at + k] = static_cast<uint8_t>(v >> (8 * k));
                };
                m[0] = in_.U8() % 4;
                m[2] = in_.U8() % 4;
                put32(4, in_.U16() % 600);
                put32(8, in_.U8());
                put32(16, in_.U8() % 64);
                put32(20, in_.U16() % 600);
                put32(24, in_.U8());
            }
            if (info28) std::memcpy(info28, m, sizeof m);
        }
        // The list record in the library's reply buffer: the camera's bytes,
        // zero after them.
        const size_t recordBytes = in_.U16() % 1024;
        size_t got = 0;
        const uint8_t* src = in_.Take(recordBytes, &got);
        uint8_t* rec = list_.Place(kListCapacity, src, got);
        *raw = rec;
        if (second) {
            *rawLength = in_.Bit() ? static_cast<uint32_t>(recordBytes + KVX_VENDOR_OUT_HEADER_SIZE)
                                   : in_.U16() % (KVX_REPLY_BUFFER_SIZE + 1);
        } else {
            *rawLength = in_.U16();
        }
        return 0;
    }

    // An entry of the list just served: what the checks and the pieces need.
    void Remember(const KVX_PICT_FILE_ENTRY& e, bool second) {
        lastList.push_back(Entry{e, second});
        // Copies: the entry is packed, and a map key binds by reference.
        const uint32_t objectId = e.objectId;
        const uint32_t fileSize = e.fileSize;
        served[objectId] = 0;
        sizes_[objectId] = fileSize;
        if (e.formatCode == kQ7iFormat) q7iObjects.push_back(objectId);
    }

    // The next part of a multi-part Q7I picture as a sound camera lists it
    // (one part per list, the same name, header and trailer blocks inside
    // the list record), so that joining is reached under most mutations;
    // its pieces come from a sound camera without taking input, except with
    // deviation 8. The deviation picks one way of going wrong: 0-7 none, 8
    // pieces as the input says, 9 a part skipped,
    // 10 another total, 11 blocks beyond the record, 12 a new picture
    // begins, 13 a part without data, 14 a part of another format, 15 two
    // parts in one list.
    HResult MultiPartList(uint8_t deviation, bool second, KVX_PICT_FILE_ENTRY* entries,
                          int32_t maxEntries, uint32_t* count, uint8_t* isMultiPart,
                          uint8_t* info28, uint8_t** raw, uint32_t* rawLength) {
        if (nextPart_ == 0 || nextPart_ > parts_ || deviation == 12) {
            parts_ = static_cast<uint16_t>(2 + in_.U8() % 3);
            nextPart_ = 1;
            ++picture_;
        }
        uint16_t part = nextPart_;
        if (deviation == 9 && part < parts_) ++part;
        nextPart_ = static_cast<uint16_t>(part + 1);
        const uint16_t total = deviation == 10 ? static_cast<uint16_t>(parts_ + 1) : parts_;
        const int listed = std::min<int>(deviation == 15 ? 2 : 1, maxEntries);
        *count = static_cast<uint32_t>(listed);
        char name[32];
        std::snprintf(name, sizeof name, "PICT%04u.Q7I", picture_ % 10000);
        for (int i = 0; i < listed; ++i) {
            KVX_PICT_FILE_ENTRY e{};
            e.formatCode = deviation == 14 ? 0x3801 : kQ7iFormat;
            std::memcpy(e.fileName, name, std::strlen(name));
            e.fileSize = deviation == 13 ? 0 : 1 + in_.U16() % 6000;
            e.objectId = 0x10000u * picture_ + 0x100u * part + static_cast<uint32_t>(i);
            entries[i] = e;
            Remember(e, second);
        }
        // Header block at 0 (A + B bytes), trailer block after it.
        const uint32_t a = 16 + in_.U8() % 48, b = in_.U8() % 16;
        const uint32_t trailerOffset = 64 + in_.U8() % 32, trailerLength = 1 + in_.U8() % 40;
        const size_t recordBytes = deviation == 11 ? trailerOffset : trailerOffset + trailerLength;
        uint8_t m[KVX_MULTI_PART_INFO_SIZE] = {};
        auto put16 = [&](int at, uint16_t v) {
            m[at] = static_cast<uint8_t>(v);
            m[at + 1] = static_cast<uint8_t>(v >> 8);
        };
        auto put32 = [&](int at, uint32_t v) {
            for (int k = 0; k < 4; ++k) m[at + k] = static_cast<uint8_t>(v >> (8 * k));
        };
        put16(0, part);
        put16(2, total);
        put32(4, 0);
        put32(8, a);
        put32(16, b);
        put32(20, trailerOffset);
        put32(24, trailerLength);
        if (second) {
            if (isMultiPart) *isMultiPart = 1;
            if (info28) std::memcpy(info28, m, sizeof m);
        }
        std::vector<uint8_t> record(recordBytes);
        for (size_t i = 0; i < record.size(); ++i)
            record[i] = static_cast<uint8_t>(0xA0 ^ (i * 13) ^ picture_);
        *raw = list_.Place(kListCapacity, record.data(), record.size());
        *rawLength =
            static_cast<uint32_t>(second ? recordBytes + KVX_VENDOR_OUT_HEADER_SIZE : recordBytes);
        return 0;
    }

    // One pair of reply buffers for the whole process, as the library keeps
    // one pair per link.
    static GuardedBuffer& ListBuffer() {
        static GuardedBuffer b(kListCapacity);
        return b;
    }
    static GuardedBuffer& PieceBuffer() {
        static GuardedBuffer b(kPieceCapacity);
        return b;
    }

    ByteReader& in_;
    GuardedBuffer& list_ = ListBuffer();
    GuardedBuffer& piece_ = PieceBuffer();
    uint64_t served_ = 0;
    std::map<uint32_t, uint64_t> sizes_;
    // The multi-part picture being listed.
    uint16_t parts_ = 0;
    uint16_t nextPart_ = 0;
    uint32_t picture_ = 0;
    bool soundPieces_ = false;
    bool multiPartMode_ = false;
};

}  // namespace kvx::fuzz
