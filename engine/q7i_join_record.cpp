#include "engine/q7i_join_record.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "engine/file_handle.h"
#include "engine/picture_namer.h"

namespace kvx::engine {

namespace {

constexpr uint16_t kVersion = 1;
constexpr size_t kTailBytes = 4 + 8;  // record length, magic
// Kept files looked at per search: a folder full of them costs a bounded
// number of small reads.
constexpr size_t kMaxCandidates = 256;
constexpr size_t kHashChunk = 1 << 20;

uint64_t Fnv64(uint64_t h, const uint8_t* p, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        h ^= p[i];
        h *= 0x100000001b3ull;
    }
    return h;
}

// Hash of the first length bytes of the file, going on from what running
// has already hashed of them; nullopt when they cannot all be read.
std::optional<uint64_t> HashPrefix(int fd, uint64_t length,
                                   CQ7iJoinRecord::PrefixHash running = {}) {
    if (running.length > length) running = {};
    std::vector<uint8_t> chunk(
        static_cast<size_t>(std::min<uint64_t>(length - running.length, kHashChunk)));
    uint64_t h = running.value;
    for (uint64_t at = running.length; at < length;) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(length - at, chunk.size()));
        if (!CFileHandle::ReadAt(fd, chunk.data(), n, at)) return std::nullopt;
        h = Fnv64(h, chunk.data(), n);
        at += n;
    }
    return h;
}

void Put16(std::vector<uint8_t>& o, uint16_t v) {
    o.push_back(static_cast<uint8_t>(v));
    o.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& o, uint32_t v) {
    for (int i = 0; i < 4; ++i) o.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void Put64(std::vector<uint8_t>& o, uint64_t v) {
    for (int i = 0; i < 8; ++i) o.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// Reads little-endian fields from a byte span, never past its end.
class Reader {
public:
    Reader(const uint8_t* p, size_t n) : p_(p), n_(n) {}
    bool Ok() const { return ok_; }
    size_t Used() const { return at_; }
    uint64_t Get(int bytes) {
        if (!ok_ || n_ - at_ < static_cast<size_t>(bytes)) {
            ok_ = false;
            return 0;
        }
        uint64_t v = 0;
        for (int i = 0; i < bytes; ++i) v |= uint64_t{p_[at_ + i]} << (8 * i);
        at_ += static_cast<size_t>(bytes);
        return v;
    }
    std::string Text() {
        const size_t len = static_cast<size_t>(Get(2));
        if (!ok_ || len > CQ7iJoinRecord::kMaxNameBytes || n_ - at_ < len) {
            ok_ = false;
            return {};
        }
        std::string s(reinterpret_cast<const char*>(p_ + at_), len);
        at_ += len;
        return s;
    }

private:
    const uint8_t* p_;
    size_t n_;
    size_t at_ = 0;
    bool ok_ = true;
};

MultiPartInfo InfoOf(const Q7iJoinState& s) {
    MultiPartInfo info;
    info.partNumber = s.nextPart;
    info.numberOfParts = s.numberOfParts;
    info.headerLengthA = s.headerLengthA;
    info.headerLengthB = s.headerLengthB;
    return info;
}

bool PlainName(const std::string& name) {
    return !name.empty() && name.size() <= CQ7iJoinRecord::kMaxNameBytes &&
           CPictureNamer::SafeFileName(name) == name;
}

}  // namespace

bool Q7iJoinState::Describes(const std::string& camera, const MultiPartInfo& info,
                             uint32_t partSize) const {
    if (info.partNumber == nextPart && nextPartSize != 0 && nextPartSize != partSize) return false;
    return camera == cameraName && info.numberOfParts == numberOfParts &&
           info.headerLengthA == headerLengthA && info.headerLengthB == headerLengthB;
}

std::vector<uint8_t> CQ7iJoinRecord::Encode(const Q7iJoinState& s, uint64_t hash) {
    std::vector<uint8_t> o;
    Put16(o, kVersion);
    Put16(o, s.numberOfParts);
    Put16(o, s.nextPart);
    Put32(o, s.headerLengthA);
    Put32(o, s.headerLengthB);
    Put64(o, s.joinedLength);
    Put64(o, s.dataLength);
    Put64(o, hash);
    Put32(o, s.nextPartSize);
    Put16(o, static_cast<uint16_t>(s.cameraName.size()));
    o.insert(o.end(), s.cameraName.begin(), s.cameraName.end());
    Put16(o, static_cast<uint16_t>(s.finalName.size()));
    o.insert(o.end(), s.finalName.begin(), s.finalName.end());
    for (const auto& e : s.parts) {
        Put32(o, e.offset);
        Put32(o, e.size);
    }
    Put32(o, static_cast<uint32_t>(Fnv64(CQ7iJoinRecord::kHashSeed, o.data(), o.size())));
    return o;
}

std::optional<Q7iJoinState> CQ7iJoinRecord::Decode(const uint8_t* p, size_t n, uint64_t& hash) {
    if (n < 4) return std::nullopt;
    Reader check(p + n - 4, 4);
    if (check.Get(4) != static_cast<uint32_t>(Fnv64(CQ7iJoinRecord::kHashSeed, p, n - 4)))
        return std::nullopt;
    Reader r(p, n - 4);
    Q7iJoinState s;
    if (r.Get(2) != kVersion) return std::nullopt;
    s.numberOfParts = static_cast<uint16_t>(r.Get(2));
    s.nextPart = static_cast<uint16_t>(r.Get(2));
    s.headerLengthA = static_cast<uint32_t>(r.Get(4));
    s.headerLengthB = static_cast<uint32_t>(r.Get(4));
    s.joinedLength = r.Get(8);
    s.dataLength = r.Get(8);
    hash = r.Get(8);
    s.nextPartSize = static_cast<uint32_t>(r.Get(4));
    s.cameraName = r.Text();
    s.finalName = r.Text();
    if (!r.Ok() || s.nextPart < 1 || s.nextPart > s.numberOfParts) return std::nullopt;
    for (uint16_t i = 1; i < s.nextPart; ++i) {
        CQ7iAssembler::DirectoryEntry e;
        e.offset = static_cast<uint32_t>(r.Get(4));
        e.size = static_cast<uint32_t>(r.Get(4));
        std::memcpy(e.tag, "FRAM", 4);
        s.parts.push_back(e);
    }
    if (!r.Ok() || r.Used() != n - 4) return std::nullopt;
    return s;
}

bool CQ7iJoinRecord::Append(const std::string& path, Q7iJoinState& state, PrefixHash* running) {
    if (!PlainName(state.finalName) || state.cameraName.size() > kMaxNameBytes) return false;
    const MultiPartInfo info = InfoOf(state);
    if (!CQ7iAssembler::DirectoryHolds(info, state.parts) ||
        state.parts.size() + 1 != state.nextPart ||
        state.joinedLength != CQ7iAssembler::JoinedLengthAfter(state.parts)) {
        return false;
    }
    CFileHandle file(path, O_RDWR);
    if (!file.RegularFile(state.dataLength)) return false;
    if (state.dataLength < state.joinedLength) return false;
    auto hash = HashPrefix(file.Get(), state.joinedLength, running ? *running : PrefixHash{});
    if (!hash) return false;
    if (running) *running = PrefixHash{state.joinedLength, *hash};
    std::vector<uint8_t> tail = Encode(state, *hash);
    const auto length = static_cast<uint32_t>(tail.size());
    Put32(tail, length);
    tail.insert(tail.end(), kMagic, kMagic + 8);
    if (!CFileHandle::WriteAt(file.Get(), tail.data(), tail.size(), state.dataLength)) {
        // Never leave half a record behind: it would only confuse a search.
        if (::ftruncate(file.Get(), static_cast<off_t>(state.dataLength)) != 0) return false;
        return false;
    }
    return ::fdatasync(file.Get()) == 0;
}

std::optional<Q7iJoinState> CQ7iJoinRecord::Read(
    const std::string& path, const std::function<bool(const Q7iJoinState&)>& wanted) {
    CFileHandle file(path, O_RDONLY);
    uint64_t size = 0;
    if (!file.RegularFile(size)) return std::nullopt;
    if (size < kTailBytes) return std::nullopt;
    uint8_t tail[kTailBytes];
    if (!CFileHandle::ReadAt(file.Get(), tail, sizeof tail, size - kTailBytes)) return std::nullopt;
    if (std::memcmp(tail + 4, kMagic, 8) != 0) return std::nullopt;
    const uint64_t length = Reader(tail, 4).Get(4);
    if (length > kMaxRecordBytes || length > size - kTailBytes) return std::nullopt;
    std::vector<uint8_t> record(static_cast<size_t>(length));
    if (!CFileHandle::ReadAt(file.Get(), record.data(), record.size(),
                             size - kTailBytes - length)) {
        return std::nullopt;
    }
    uint64_t hash = 0;
    auto state = Decode(record.data(), record.size(), hash);
    if (!state || !PlainName(state->finalName)) return std::nullopt;
    if (wanted && !wanted(*state)) return std::nullopt;
    // The record must describe exactly the bytes in front of it.
    if (state->dataLength != size - kTailBytes - length) return std::nullopt;
    if (!CQ7iAssembler::DirectoryHolds(InfoOf(*state), state->parts) ||
        state->joinedLength != CQ7iAssembler::JoinedLengthAfter(state->parts) ||
        state->joinedLength > state->dataLength) {
        return std::nullopt;
    }
    auto actual = HashPrefix(file.Get(), state->joinedLength);
    if (!actual || *actual != hash) return std::nullopt;
    return state;
}

std::optional<CQ7iJoinRecord::Found> CQ7iJoinRecord::Find(const std::string& folder,
                                                          const std::string& cameraName,
                                                          const MultiPartInfo& info,
                                                          uint32_t partSize) {
    std::vector<std::string> candidates;
    std::error_code ec;
    std::filesystem::directory_iterator it(folder, ec), end;
    for (; !ec && it != end && candidates.size() < kMaxCandidates; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.empty() || name[0] == '.') continue;
        if (name.find(CPictureNamer::kIncompleteSuffix) == std::string::npos) continue;
        candidates.push_back(name);
    }
    std::sort(candidates.begin(), candidates.end());
    std::string base = folder;
    if (base.empty() || base.back() != '/') base.push_back('/');
    std::optional<Found> best;
    auto wanted = [&](const Q7iJoinState& s) {
        // Only a record of this picture that does not already hold the part
        // is worth the read of its joined bytes.
        return s.Describes(cameraName, info, partSize) && s.nextPart <= info.partNumber &&
               (!best || s.nextPart > best->state.nextPart);
    };
    for (const auto& name : candidates) {
        const std::string path = base + name;
        auto state = Read(path, wanted);
        if (!state) continue;
        // The one that can join this part wins; else the one furthest on.
        best = Found{path, std::move(*state)};
        if (best->state.nextPart == info.partNumber) break;
    }
    return best;
}

bool CQ7iJoinRecord::Truncate(const std::string& path, uint64_t length) {
    CFileHandle file(path, O_WRONLY);
    uint64_t size = 0;
    if (!file.RegularFile(size)) return false;
    if (::ftruncate(file.Get(), static_cast<off_t>(length)) != 0) return false;
    return ::fdatasync(file.Get()) == 0;
}

}  // namespace kvx::engine
