#include "engine/q7i_assembler.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <limits>
#include <new>

#include "camlink/varno_usb.h"
#include "engine/write_all.h"

namespace kvx::engine {

namespace {

uint32_t ReadU32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// The header block always arrives inside one picture list reply, so it can
// never be longer than a reply record; this bounds the placeholder a camera
// can make us write.
constexpr uint64_t kMaxHeaderLength = KVX_REPLY_BUFFER_SIZE - KVX_VENDOR_OUT_HEADER_SIZE;

uint64_t AlignUp(uint64_t v) {
    return (v + CQ7iAssembler::kAlign - 1) / CQ7iAssembler::kAlign * CQ7iAssembler::kAlign;
}

struct Fd {
    int fd = -1;
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
};

}  // namespace

MultiPartInfo MultiPartInfo::Parse(const uint8_t* r) {
    MultiPartInfo m;
    m.partNumber = static_cast<uint16_t>(r[0] | r[1] << 8);
    m.numberOfParts = static_cast<uint16_t>(r[2] | r[3] << 8);
    m.headerOffset = ReadU32(r + 4);
    m.headerLengthA = ReadU32(r + 8);
    m.unused = ReadU32(r + 12);
    m.headerLengthB = ReadU32(r + 16);
    m.trailerOffset = ReadU32(r + 20);
    m.trailerLength = ReadU32(r + 24);
    return m;
}

uint64_t CQ7iAssembler::PlaceholderSize(const MultiPartInfo& info) {
    return (info.HeaderLength() & ~uint64_t{kAlign - 1}) + kAlign;
}

void CQ7iAssembler::ForgetBlocks() {
    blocksCopied_ = false;
    header_.clear();
    header_.shrink_to_fit();
    trailer_.clear();
    trailer_.shrink_to_fit();
}

bool CQ7iAssembler::CopyBlocks(const MultiPartInfo& info, const uint8_t* reply,
                               uint32_t actualSize) {
    ForgetBlocks();
    if (reply == nullptr) return false;
    const uint64_t headerEnd = uint64_t{info.headerOffset} + info.HeaderLength();
    const uint64_t trailerEnd = uint64_t{info.trailerOffset} + info.trailerLength;
    if (headerEnd > actualSize || trailerEnd > actualSize) return false;
    header_.assign(reply + info.headerOffset, reply + headerEnd);
    trailer_.assign(reply + info.trailerOffset, reply + trailerEnd);
    blocksCopied_ = true;
    return true;
}

bool CQ7iAssembler::BeginPicture(const MultiPartInfo& info) {
    EndPicture();
    if (info.partNumber != 1 || info.numberOfParts < 1) return false;
    if (info.HeaderLength() > kMaxHeaderLength) return false;
    directory_.assign(size_t{info.numberOfParts} + 2, DirectoryEntry{});
    parts_ = info.numberOfParts;
    nextPart_ = 1;
    placeholder_ = PlaceholderSize(info);
    active_ = true;
    return true;
}

bool CQ7iAssembler::HeaderFits(const MultiPartInfo& info) {
    return info.HeaderLength() <= kMaxHeaderLength;
}

bool CQ7iAssembler::DirectoryHolds(const MultiPartInfo& info,
                                   const std::vector<DirectoryEntry>& parts) {
    if (info.numberOfParts < 1 || !HeaderFits(info)) return false;
    if (parts.size() >= info.numberOfParts) return false;  // the last part is never kept
    uint64_t expected = PlaceholderSize(info);
    for (const auto& e : parts) {
        if (e.offset != expected || std::memcmp(e.tag, "FRAM", 4) != 0) return false;
        expected = AlignUp(uint64_t{e.offset} + e.size);
        if (expected > std::numeric_limits<uint32_t>::max()) return false;
    }
    return true;
}

uint64_t CQ7iAssembler::JoinedLengthAfter(const std::vector<DirectoryEntry>& parts) {
    if (parts.empty()) return 0;
    return AlignUp(uint64_t{parts.back().offset} + parts.back().size);
}

bool CQ7iAssembler::ResumePicture(const MultiPartInfo& info,
                                  const std::vector<DirectoryEntry>& parts) {
    EndPicture();
    if (!DirectoryHolds(info, parts)) return false;
    directory_.assign(size_t{info.numberOfParts} + 2, DirectoryEntry{});
    for (size_t i = 0; i < parts.size(); ++i) directory_[i + 1] = parts[i];
    parts_ = info.numberOfParts;
    nextPart_ = static_cast<uint16_t>(parts.size() + 1);
    placeholder_ = PlaceholderSize(info);
    active_ = true;
    return true;
}

std::vector<CQ7iAssembler::DirectoryEntry> CQ7iAssembler::JoinedParts() const {
    if (!active_ || nextPart_ < 1) return {};
    return std::vector<DirectoryEntry>(directory_.begin() + 1, directory_.begin() + nextPart_);
}

bool CQ7iAssembler::CreateUnjoined(const std::string& path, const MultiPartInfo& info) {
    Fd file;
    file.fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (file.fd < 0) return false;
    if (!HeaderFits(info)) return true;  // no header could go anywhere
    std::vector<uint8_t> zeros(static_cast<size_t>(PlaceholderSize(info)), 0);
    return WriteAll(file.fd, zeros.data(), zeros.size());
}

bool CQ7iAssembler::PadUnjoined(const std::string& path) {
    Fd file;
    file.fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (file.fd < 0) return false;
    struct stat st {};
    if (::fstat(file.fd, &st) != 0) return false;
    const uint64_t size = static_cast<uint64_t>(st.st_size);
    std::vector<uint8_t> zeros(static_cast<size_t>(AlignUp(size) - size), 0);
    return PWriteAll(file.fd, zeros.data(), zeros.size(), static_cast<off_t>(size));
}

bool CQ7iAssembler::FinishUnjoined(const std::string& path, const MultiPartInfo& info) {
    if (!blocksCopied_) return true;
    Fd file;
    file.fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (file.fd < 0) return false;
    struct stat st {};
    if (::fstat(file.fd, &st) != 0) return false;
    const uint64_t size = static_cast<uint64_t>(st.st_size);
    // Only into a placeholder that is there and is still all zeros: never
    // over picture bytes.
    if (HeaderFits(info) && header_.size() < PlaceholderSize(info) &&
        size >= PlaceholderSize(info)) {
        std::vector<uint8_t> start(header_.size());
        ssize_t got = ::pread(file.fd, start.data(), start.size(), 0);
        bool zero = got == static_cast<ssize_t>(start.size());
        for (uint8_t b : start) zero = zero && b == 0;
        if (zero && !PWriteAll(file.fd, header_.data(), header_.size(), 0)) return false;
    }
    if (!PWriteAll(file.fd, trailer_.data(), trailer_.size(), static_cast<off_t>(size))) {
        return false;
    }
    return ::fdatasync(file.fd) == 0;
}

bool CQ7iAssembler::Accepts(const MultiPartInfo& info) const {
    return active_ && info.numberOfParts == parts_ && info.partNumber == nextPart_;
}

void CQ7iAssembler::EndPicture() {
    active_ = false;
    parts_ = 0;
    nextPart_ = 0;
    placeholder_ = 0;
    placeholderWritten_ = false;
    directory_.clear();
}

bool CQ7iAssembler::WritePlaceholder(int fd) {
    std::vector<uint8_t> zeros(static_cast<size_t>(placeholder_), 0);
    if (!WriteAll(fd, zeros.data(), zeros.size())) return false;
    placeholderWritten_ = true;
    return true;
}

bool CQ7iAssembler::FinishPart(const std::string& path, const MultiPartInfo& info,
                               uint32_t partSize, std::string& error) {
    if (!Accepts(info)) {
        error = "part out of order";
        return false;
    }
    Fd file;
    file.fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (file.fd < 0) {
        error = "cannot open the file";
        return false;
    }
    const uint16_t p = info.partNumber;
    // A part 1 without data still needs its placeholder.
    if (p == 1 && !placeholderWritten_) {
        struct stat st {};
        if (::fstat(file.fd, &st) != 0 || st.st_size != 0 || !WritePlaceholder(file.fd)) {
            error = "cannot write the placeholder";
            return false;
        }
    }
    placeholderWritten_ = false;

    struct stat st {};
    if (::fstat(file.fd, &st) != 0) {
        error = "cannot read the file size";
        return false;
    }
    const uint64_t fileSize = static_cast<uint64_t>(st.st_size);
    const uint64_t offset =
        p == 1 ? placeholder_
               : AlignUp(uint64_t{directory_[p - 1].offset} + directory_[p - 1].size);
    const uint64_t dataEnd = offset + partSize;
    if (fileSize != dataEnd) {
        // Something of an earlier part is missing or extra: a directory
        // written now would point at the wrong bytes.
        error = "the file does not hold the parts as received";
        return false;
    }
    constexpr uint64_t kU32 = std::numeric_limits<uint32_t>::max();

    if (!info.IsLastPart()) {
        const uint64_t padded = AlignUp(fileSize);
        if (padded > kU32) {
            error = "picture too large";
            return false;
        }
        std::vector<uint8_t> zeros(static_cast<size_t>(padded - fileSize), 0);
        if (!PWriteAll(file.fd, zeros.data(), zeros.size(), static_cast<off_t>(fileSize))) {
            error = "cannot write the padding";
            return false;
        }
        directory_[p] =
            DirectoryEntry{static_cast<uint32_t>(offset), partSize, {'F', 'R', 'A', 'M'}};
        ++nextPart_;
        return true;
    }

    if (!blocksCopied_) {
        error = "no header and trailer blocks";
        return false;
    }
    if (header_.size() >= placeholder_) {
        // The header would overwrite the start of part 1.
        error = "header block larger than its placeholder";
        return false;
    }
    const uint64_t directoryOffset = dataEnd + trailer_.size();
    const uint64_t entries = uint64_t{parts_} + 1;
    if (directoryOffset + 12 + 12 * entries + 4 > kU32) {
        error = "picture too large";
        return false;
    }
    directory_[p] = DirectoryEntry{static_cast<uint32_t>(offset), partSize, {'F', 'R', 'A', 'M'}};
    directory_[p + 1] = DirectoryEntry{static_cast<uint32_t>(dataEnd),
                                       static_cast<uint32_t>(trailer_.size()),
                                       {'Q', 'D', 'L', 'A'}};

    std::vector<uint8_t> tail;
    tail.reserve(static_cast<size_t>(12 + 12 * entries + 4));
    tail.insert(tail.end(), {'S', 'E', 'C', 'f'});
    PutU32(tail, 0x00000100);
    PutU32(tail, static_cast<uint32_t>(entries));
    for (size_t i = 1; i <= entries; ++i) {
        PutU32(tail, directory_[i].offset);
        PutU32(tail, directory_[i].size);
        tail.insert(tail.end(), directory_[i].tag, directory_[i].tag + 4);
    }
    PutU32(tail, static_cast<uint32_t>(directoryOffset));

    if (!PWriteAll(file.fd, header_.data(), header_.size(), 0) ||
        !PWriteAll(file.fd, trailer_.data(), trailer_.size(), static_cast<off_t>(dataEnd)) ||
        !PWriteAll(file.fd, tail.data(), tail.size(), static_cast<off_t>(directoryOffset))) {
        error = "cannot write header, trailer or directory";
        return false;
    }
    if (::fdatasync(file.fd) != 0) {
        error = "cannot flush the file";
        return false;
    }
    ++nextPart_;
    return true;
}

}  // namespace kvx::engine
