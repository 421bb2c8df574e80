// The camera's picture database: an entry per picture id with its capture
// status, the files each picture has, how far the host has read each file,
// and the ids whose status changed since the host last asked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <vector>

#include "vcam/socket_server.h"
#include "vcam/virtual_camera.h"

namespace kvx::vcam {

// Capture status codes.
constexpr uint16_t kStatusReady = 5;
constexpr uint16_t kResultSuccess = 0x8002;
constexpr uint16_t kResultFocusFailed = 0x6001;
constexpr uint16_t kResultCardFull = 0x6002;
constexpr uint8_t kFlagHeld = 0x02;
constexpr int kPictureIds = 32;

// Q7I header and trailer blocks of the last part.
constexpr uint32_t kQ7iHeaderA = 64;
constexpr uint32_t kQ7iHeaderB = 36;
constexpr uint32_t kQ7iTrailer = 200;

struct PictureEntry {
    int id = 0;
    uint32_t number = 0;
    PictureKind kind = PictureKind::Jpeg;
    uint16_t status = 0;
    uint8_t flags = 0;
    int part = 1;                    // Q7I part now listed
    std::vector<uint64_t> frontier;  // per file: bytes read contiguously from 0
    bool hasFiles = false;
};

class PictureStore {
public:
    // The options must outlive the store.
    explicit PictureStore(const VirtualCameraOptions& options);

    // Called when a file of a picture has been delivered whole for the first
    // time (file index into FilesFor of the entry's number and kind).
    using ServedWhole = std::function<void(const PictureEntry& entry, size_t fileIndex)>;
    void SetServedWholeHandler(ServedWhole handler) { servedWhole_ = std::move(handler); }

    // Files of picture number n of this kind, as the lists describe them.
    static std::vector<PictureFile> FilesFor(const VirtualCameraOptions& o, uint32_t number,
                                             PictureKind kind);
    // Bytes offset..offset+n-1 of a file, for a camera with this seed.
    static void FillBytes(uint64_t seed, uint32_t objectId, uint64_t offset, uint8_t* out,
                          size_t n);
    // The same as a camera with these options serves them: its fileContent
    // when it has one, else the seeded bytes.
    static void FileBytes(const VirtualCameraOptions& o, uint32_t objectId, uint64_t offset,
                          uint8_t* out, size_t n);

    std::optional<int> FreeId() const;
    // A new picture under a free id: ready for the computer (held until read)
    // or straight to the card.
    PictureEntry& AddPicture(int id, PictureKind kind, bool toComputer);
    // An entry that carries only a capture result (no picture was taken).
    void AddResult(int id, uint16_t code);
    void ClearEntry(int id);
    void ClearAll();

    // The picture the lists describe: the oldest one still waiting for the computer.
    const PictureEntry* ListedEntry() const;
    std::vector<PictureFile> ListedFiles(const PictureEntry& e) const;

    // One partial read of the host (with the piece and vanish faults).
    OperationReply PartialRead(uint32_t objectId, uint32_t offset, uint32_t size);

    // Changed ids: reported by the next status, then cleared.
    const std::set<int>& ChangedIds() const { return changedIds_; }
    void ClearChangedIds() { changedIds_.clear(); }
    // A host that comes (back) learns of every picture still in the database.
    void MarkAllChanged();

    const PictureEntry* Find(int id) const;
    std::vector<int> Ids() const { return {order_.begin(), order_.end()}; }
    std::optional<int> OldestId() const;
    std::optional<int> NewestId() const;
    std::optional<PictureKind> KindOf(uint32_t number) const;
    uint32_t Taken() const { return taken_; }

private:
    void AdvanceIfRead(PictureEntry& e);

    const VirtualCameraOptions& opt_;
    std::map<int, PictureEntry> db_;
    std::deque<int> order_;
    std::set<int> changedIds_;
    std::map<uint32_t, PictureKind> kinds_;
    uint32_t taken_ = 0;
    int nextId_ = 0;
    uint64_t partialReads_ = 0;
    uint64_t bytesSent_ = 0;
    bool vanished_ = false;
    ServedWhole servedWhole_;
};

}  // namespace kvx::vcam
