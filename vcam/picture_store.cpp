#include "vcam/picture_store.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "camlink/device/ptp_container.h"
#include "vcam/operation_codes.h"

namespace kvx::vcam {

namespace {

uint64_t Mix(uint64_t z) {
    z += 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

}  // namespace

PictureStore::PictureStore(const VirtualCameraOptions& options) : opt_(options) {}

void PictureStore::FillBytes(uint64_t seed, uint32_t objectId, uint64_t offset, uint8_t* out,
                             size_t n) {
    // Eight bytes per hashed block, so any byte can be computed on its own.
    const uint64_t key = Mix(seed ^ (uint64_t(objectId) << 32 | 0x5EEDu));
    uint64_t block = offset / 8;
    size_t skip = size_t(offset % 8);
    size_t done = 0;
    while (done < n) {
        uint64_t v = Mix(key ^ (block * 0xD1B54A32D192ED03ull));
        uint8_t bytes[8];
        for (int i = 0; i < 8; ++i) bytes[i] = uint8_t(v >> (8 * i));
        size_t take = std::min(n - done, 8 - skip);
        std::memcpy(out + done, bytes + skip, take);
        done += take;
        skip = 0;
        ++block;
    }
}

void PictureStore::FileBytes(const VirtualCameraOptions& o, uint32_t objectId, uint64_t offset,
                             uint8_t* out, size_t n) {
    if (!o.fileContent || o.fileContent->empty()) {
        FillBytes(o.seed, objectId, offset, out, n);
        return;
    }
    const std::vector<uint8_t>& content = *o.fileContent;
    size_t done = 0;
    while (done < n) {
        const size_t at = size_t((offset + done) % content.size());
        const size_t take = std::min(n - done, content.size() - at);
        std::memcpy(out + done, content.data() + at, take);
        done += take;
    }
}

std::vector<PictureFile> PictureStore::FilesFor(const VirtualCameraOptions& o, uint32_t number,
                                                PictureKind kind) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%04u", (number - 1) % 9999 + 1);
    std::string stem = o.fileBase + digits;
    uint64_t bytes = std::max<uint64_t>(1, o.pictureBytes);
    auto objectId = [&](uint32_t index) { return ((number & 0xFFFF) << 8) | (index + 1); };
    std::vector<PictureFile> files;
    auto add = [&](const std::string& ext, uint16_t format, uint32_t index, uint64_t size) {
        PictureFile f;
        f.name = stem + ext;
        f.format = format;
        f.objectId = objectId(index);
        f.size = size;
        files.push_back(std::move(f));
    };
    switch (kind) {
        case PictureKind::Jpeg:
            add(".JPG", kFormatJpg, 0, bytes);
            break;
        case PictureKind::Raw:
            add(".Q7F", kFormatQ7f, 0, bytes);
            break;
        case PictureKind::RawJpeg:
            add(".Q7F", kFormatQ7f, 0, bytes);
            add(".JPG", kFormatJpg, 1, std::max<uint64_t>(1, bytes / 4));
            break;
        case PictureKind::Q7i: {
            int parts = std::clamp(o.q7iParts, 1, 16);
            for (int p = 1; p <= parts; ++p) {
                add(".Q7I", kFormatQ7i, uint32_t(p - 1), bytes);
                files.back().part = uint16_t(p);
                files.back().parts = uint16_t(parts);
            }
            PictureFile& last = files.back();
            uint32_t blockId = 0x80000000u | last.objectId;
            last.headerA.resize(kQ7iHeaderA);
            last.headerB.resize(kQ7iHeaderB);
            last.trailer.resize(kQ7iTrailer);
            FillBytes(o.seed, blockId, 0, last.headerA.data(), kQ7iHeaderA);
            FillBytes(o.seed, blockId, kQ7iHeaderA, last.headerB.data(), kQ7iHeaderB);
            FillBytes(o.seed, 0x40000000u | last.objectId, 0, last.trailer.data(), kQ7iTrailer);
            break;
        }
    }
    return files;
}

std::optional<int> PictureStore::FreeId() const {
    for (int i = 0; i < kPictureIds; ++i) {
        int id = (nextId_ + i) % kPictureIds;
        if (!db_.count(id)) return id;
    }
    return std::nullopt;
}

PictureEntry& PictureStore::AddPicture(int id, PictureKind kind, bool toComputer) {
    uint32_t number = ++taken_;
    kinds_[number] = kind;
    PictureEntry e;
    e.id = id;
    e.number = number;
    e.status = toComputer ? kStatusReady : kResultSuccess;
    e.flags = toComputer ? kFlagHeld : 0;
    e.kind = kind;
    e.hasFiles = toComputer;
    e.frontier.assign(FilesFor(opt_, number, kind).size(), 0);
    nextId_ = (id + 1) % kPictureIds;
    order_.push_back(id);
    changedIds_.insert(id);
    return db_[id] = std::move(e);
}

void PictureStore::AddResult(int id, uint16_t code) {
    PictureEntry e;
    e.id = id;
    e.status = code;
    nextId_ = (id + 1) % kPictureIds;
    order_.push_back(id);
    changedIds_.insert(id);
    db_[id] = std::move(e);
}

void PictureStore::ClearEntry(int id) {
    db_.erase(id);
    order_.erase(std::remove(order_.begin(), order_.end(), id), order_.end());
}

void PictureStore::ClearAll() {
    db_.clear();
    order_.clear();
}

void PictureStore::MarkAllChanged() {
    for (const auto& [id, e] : db_) changedIds_.insert(id);
}

const PictureEntry* PictureStore::Find(int id) const {
    auto it = db_.find(id);
    return it == db_.end() ? nullptr : &it->second;
}

std::optional<int> PictureStore::OldestId() const {
    if (order_.empty()) return std::nullopt;
    return order_.front();
}

std::optional<int> PictureStore::NewestId() const {
    if (order_.empty()) return std::nullopt;
    return order_.back();
}

std::optional<PictureKind> PictureStore::KindOf(uint32_t number) const {
    auto it = kinds_.find(number);
    if (it == kinds_.end()) return std::nullopt;
    return it->second;
}

const PictureEntry* PictureStore::ListedEntry() const {
    for (int id : order_) {
        auto it = db_.find(id);
        if (it != db_.end() && it->second.status == kStatusReady && it->second.hasFiles)
            return &it->second;
    }
    return nullptr;
}

std::vector<PictureFile> PictureStore::ListedFiles(const PictureEntry& e) const {
    auto files = FilesFor(opt_, e.number, e.kind);
    if (e.kind == PictureKind::Q7i) {
        size_t i = size_t(std::clamp(e.part, 1, int(files.size())) - 1);
        return {files[i]};
    }
    return files;
}

OperationReply PictureStore::PartialRead(uint32_t objectId, uint32_t offset, uint32_t size) {
    OperationReply r;
    ++partialReads_;
    for (const auto& f : opt_.failPieces) {
        if (f.nth && partialReads_ >= f.nth && partialReads_ < uint64_t(f.nth) + f.times) {
            r.code = kDeviceBusy;
            return r;
        }
    }
    uint32_t number = (objectId >> 8) & 0xFFFF;
    uint32_t index = (objectId & 0xFF) - 1;
    PictureEntry* entry = nullptr;
    for (auto& [id, e] : db_)
        if (e.hasFiles && e.number == number && number != 0) entry = &e;
    if (!entry || (objectId & 0xFF) == 0 || index >= entry->frontier.size() ||
        (objectId >> 24) != 0) {
        r.code = kInvalidObject;
        return r;
    }
    uint64_t fileSize = FilesFor(opt_, number, entry->kind)[index].size;
    if (offset > fileSize) {
        r.code = kInvalidParameter;
        return r;
    }
    uint32_t len = uint32_t(std::min<uint64_t>({size, kPieceMax, fileSize - offset}));
    r.payload.resize(4 + size_t(len) + 2);
    ptp::WriteU32(r.payload.data(), len);
    FileBytes(opt_, objectId, offset, r.payload.data() + 4, len);
    bool more = uint64_t(offset) + len < fileSize;
    ptp::WriteU16(r.payload.data() + 4 + len, more ? 1 : 0);
    if (opt_.vanishAfterBytes && !vanished_) {
        uint64_t limit = *opt_.vanishAfterBytes;
        if (bytesSent_ + len > limit) {
            r.vanishAfterPayload = 4 + size_t(limit - std::min(limit, bytesSent_));
            bytesSent_ = limit;
            vanished_ = true;  // once: plugged in again, the camera behaves
            return r;          // never delivered: the file is not read
        }
        if (bytesSent_ + len == limit) r.vanishAfterReply = vanished_ = true;
    }
    bytesSent_ += len;
    uint64_t& front = entry->frontier[index];
    bool wasWhole = front >= fileSize;
    if (offset <= front) front = std::max<uint64_t>(front, uint64_t(offset) + len);
    if (!wasWhole && front >= fileSize && servedWhole_) servedWhole_(*entry, index);
    AdvanceIfRead(*entry);
    return r;
}

void PictureStore::AdvanceIfRead(PictureEntry& e) {
    if (e.status != kStatusReady) return;
    auto files = FilesFor(opt_, e.number, e.kind);
    auto done = [&](size_t i) { return e.frontier[i] >= files[i].size; };
    if (e.kind == PictureKind::Q7i) {
        bool moved = false;
        while (e.part <= int(files.size()) && done(size_t(e.part - 1))) {
            ++e.part;
            moved = true;
        }
        if (e.part <= int(files.size())) {
            if (moved) changedIds_.insert(e.id);  // next part ready
            return;
        }
    } else {
        for (size_t i = 0; i < files.size(); ++i)
            if (!done(i)) return;
    }
    e.status = kResultSuccess;
    e.flags &= uint8_t(~kFlagHeld);
    changedIds_.insert(e.id);
    // The list now describes the next picture still waiting (a burst, or
    // pictures taken during this transfer): announce those again, as the
    // host hears of ready pictures only through changes.
    for (const auto& [id, other] : db_)
        if (id != e.id && other.status == kStatusReady) changedIds_.insert(id);
}

}  // namespace kvx::vcam
