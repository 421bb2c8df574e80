#include "vcam/manifest.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "camlink/device/ptp_container.h"
#include "vcam/picture_store.h"
#include "vcam/sha256.h"

namespace kvx::vcam {

namespace {

// Feeds n bytes of a served file into the digest, a bounded piece at a time.
void HashFile(Sha256& sha, const VirtualCameraOptions& o, uint32_t objectId, uint64_t n) {
    std::vector<uint8_t> piece(std::min<uint64_t>(n, 1 << 20));
    for (uint64_t done = 0; done < n;) {
        size_t take = size_t(std::min<uint64_t>(n - done, piece.size()));
        PictureStore::FileBytes(o, objectId, done, piece.data(), take);
        sha.Update(piece.data(), take);
        done += take;
    }
}

void HashZeros(Sha256& sha, uint64_t n) {
    static const uint8_t zeros[32] = {};
    for (; n > 0; n -= std::min<uint64_t>(n, sizeof zeros))
        sha.Update(zeros, size_t(std::min<uint64_t>(n, sizeof zeros)));
}

void HashU32(Sha256& sha, uint32_t v) {
    uint8_t b[4];
    ptp::WriteU32(b, v);
    sha.Update(b, 4);
}

}  // namespace

Manifest::Manifest(std::string path) : path_(std::move(path)) {}

std::string Manifest::Line(const std::string& hexDigest, const std::string& name) {
    std::string escaped;
    bool escape = false;
    for (char c : name) {
        if (c == '\\') {
            escaped += "\\\\";
            escape = true;
        } else if (c == '\n') {
            escaped += "\\n";
            escape = true;
        } else if (c == '\r') {
            escaped += "\\r";
            escape = true;
        } else {
            escaped.push_back(c);
        }
    }
    return (escape ? "\\" : "") + hexDigest + "  " + escaped + "\n";
}

bool Manifest::Append(const std::string& hexDigest, const std::string& name) const {
    std::string line = Line(hexDigest, name);
    // One write of the whole line to a file opened for appending, so that
    // lines of cameras sharing a manifest do not interleave.
    int fd = ::open(path_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    bool ok = fd >= 0 && ::write(fd, line.data(), line.size()) == ssize_t(line.size());
    int err = errno;
    if (fd >= 0 && ::close(fd) != 0) ok = false;
    if (!ok)
        std::fprintf(stderr, "kvx-vcam: could not write the manifest %s: %s\n", path_.c_str(),
                     std::strerror(err));
    return ok;
}

std::string Manifest::DigestOf(const VirtualCameraOptions& options, const PictureFile& file) {
    Sha256 sha;
    HashFile(sha, options, file.objectId, file.size);
    return Sha256::Hex(sha.Final());
}

std::string Manifest::DigestOfAssembled(const VirtualCameraOptions& options,
                                        const std::vector<PictureFile>& parts) {
    Sha256 sha;
    if (parts.empty()) return Sha256::Hex(sha.Final());
    const PictureFile& last = parts.back();
    uint64_t header = last.headerA.size() + last.headerB.size();
    uint64_t placeholder = (header & ~uint64_t(31)) + 32;
    sha.Update(last.headerA.data(), last.headerA.size());
    sha.Update(last.headerB.data(), last.headerB.size());
    HashZeros(sha, placeholder - header);
    struct Frame {
        uint64_t offset, size;
        const char* tag;
    };
    std::vector<Frame> frames;
    uint64_t at = placeholder;
    for (size_t p = 0; p < parts.size(); ++p) {
        frames.push_back({at, parts[p].size, "FRAM"});
        HashFile(sha, options, parts[p].objectId, parts[p].size);
        at += parts[p].size;
        if (p + 1 < parts.size() && at % 32) {
            HashZeros(sha, 32 - at % 32);
            at += 32 - at % 32;
        }
    }
    frames.push_back({at, last.trailer.size(), "QDLA"});
    sha.Update(last.trailer.data(), last.trailer.size());
    at += last.trailer.size();
    sha.Update(reinterpret_cast<const uint8_t*>("SECf"), 4);
    HashU32(sha, 0x100);
    HashU32(sha, uint32_t(frames.size()));
    for (const Frame& f : frames) {
        HashU32(sha, uint32_t(f.offset));
        HashU32(sha, uint32_t(f.size));
        sha.Update(reinterpret_cast<const uint8_t*>(f.tag), 4);
    }
    HashU32(sha, uint32_t(at));
    return Sha256::Hex(sha.Final());
}

}  // namespace kvx::vcam
