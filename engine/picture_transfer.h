// Capture status and picture transfer on the communication thread: reads the
// capture status of the pictures the camera reports, acts on each result, and
// downloads ready pictures piece by piece into a hidden temporary file in the
// destination folder that takes its final name only when it is complete.
//
// A picture is never lost, scattered, hidden or mixed here:
//  - a transfer that fails keeps the data it got, visible, under the final
//    name followed by ".incomplete";
//  - the files of one picture (RAW and JPEG) get their names together, before
//    any is written, and when one name is taken meanwhile the whole picture
//    moves on to the next free number or suffix; no rename ever replaces an
//    existing file;
//  - a multi-part Q7I whose part fails, or whose link ends, is kept with a
//    join record (q7i_join_record.h); the missing part joins it when the
//    camera sends it again, in this run or a later one. Parts that cannot be
//    joined are kept in one file with the header and trailer;
//  - hidden files a killed run left are dealt with at the first transfer
//    into their folder (leftover_files.h).
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "engine/camera_link.h"
#include "engine/capture_status_table.h"
#include "engine/capture_steps.h"
#include "engine/picture_namer.h"
#include "engine/q7i_assembler.h"
#include "engine/q7i_join_record.h"
#include "engine/review_launcher.h"
#include "engine/transfer_host.h"
#include "engine/transfer_listener.h"

namespace kvx::engine {

class CPictureTransfer final : public ICaptureSteps {
public:
    static constexpr uint32_t kPieceSize = 0x200000;     // request size of one partial read
    static constexpr uint32_t kSegmentLimit = 0xA00400;  // largest segment buffer
    static constexpr uint32_t kSegmentUnit = 0xA00000;
    static constexpr uint32_t kMaxPieceLength = 0x20000F;    // longest piece copied
    static constexpr uint32_t kRoomReserve = 0x200010;       // room test for the next piece
    static constexpr uint32_t kBytesPerPieceBudget = 61184;  // max_tx = 3 x (size / this)
    static constexpr int kAttemptsPerPiece = 3;
    static constexpr int kMaxPictureIds = 127;
    static constexpr int kListEntries = 2;
    static constexpr uint16_t kFormatQ7i = 0x380A;

    // One file of the last picture file list, as it ended up on disk.
    struct FileResult {
        std::string cameraName;
        std::string path;       // final path, its ".incomplete" form, or empty (not written)
        bool complete = false;  // read and written whole under its final name
    };

    CPictureTransfer(ICameraLink& link, ITransferHost& host,
                     CReviewLauncher launcher = CReviewLauncher());
    ~CPictureTransfer() override;
    CPictureTransfer(const CPictureTransfer&) = delete;
    CPictureTransfer& operator=(const CPictureTransfer&) = delete;

    // Who hears of each finished file and of the progress of the file being
    // read (null: nobody). Set before the communication thread starts.
    void SetListener(ITransferListener* listener) { listener_.store(listener); }

    // Naming, storage and review preferences; any thread may change them,
    // each picture file list uses one consistent copy.
    void SetNamingOptions(const NamingOptions& options);
    NamingOptions GetNamingOptions() const;

    // ICaptureSteps, run by the communication thread (states 4 and 3).
    void OnUpdateCaptureStatus() override;
    void GetPictFileInfo() override;
    int PendingPictureCount() override;
    void ClearCaptureStatusTable() override;
    void ClearLastCaptureStatus() override;
    void SetPictureBits(uint32_t bits) override;
    void SetPictureIdList(const uint16_t* ids, int count) override;

    // Reads the capture status record of one picture into the table; false
    // when the camera could not be asked.
    bool UpdateCaptureStatusSingle(int id);
    // Acts on the table entry of id.
    void ActionCaptureStatusSingle(int id);

    // Reads one picture file piece by piece into filePath (the file as it
    // lives on disk while written). assemble is the multi-part information
    // when the file is a part of a Q7I being joined; append keeps what the
    // file already holds. True when every piece was read and, with writing
    // enabled, written.
    bool ReadPictFile(const KVX_PICT_FILE_ENTRY& entry, uint32_t& total,
                      const std::string& filePath, bool writeEnabled, const MultiPartInfo* assemble,
                      bool append);

    const CCaptureStatusTable& Table() const { return table_; }
    CCaptureStatusTable& Table() { return table_; }
    std::array<uint8_t, 8> LastCaptureStatusRecord() const;
    std::vector<FileResult> LastFileResults() const;
    // Every file finished since the previous call, in order. The window side
    // polls; two lists can finish between two polls, so the last list alone
    // would lose files from its report.
    std::vector<FileResult> TakeFinishedFiles();

    // What the last ReadPictFile did: partial reads sent (retries included)
    // and segment buffers written to the file.
    struct ReadStats {
        int requests = 0;
        int segmentWrites = 0;
    };
    ReadStats LastReadStats() const { return readStats_; }

private:
    void AddResult(FileResult result);

    // How the files of one picture are named: their names are chosen
    // together, and when one of them is taken meanwhile, they all move on.
    struct PictureNaming {
        NamingOptions options;
        std::vector<CPictureNamer::PictureFile> files;
        std::vector<std::optional<std::string>> names;  // final paths
        int number = 0;
        struct Placed {
            size_t which = 0;
            std::string path;  // where the file is now
            std::string form;  // "" or ".incomplete"
            int result = -1;   // its entry among the list's results
        };
        std::vector<Placed> placed;
    };

    struct MultiPartPicture {
        bool active = false;
        bool named = false;   // naming of the picture succeeded: the parts are written
        bool broken = false;  // the parts are kept, but not joined
        std::string cameraName;
        MultiPartInfo info;     // of the part that began it here
        std::string finalPath;  // the name chosen for part 1
        std::string filePath;   // where the parts are written now
        PictureNaming naming;
        std::optional<uint64_t> recordAt;  // a join record follows this many bytes
        CQ7iJoinRecord::PrefixHash hash;   // of the joined bytes, as far as hashed
    };

    void ActOnCode(int id, uint16_t code);
    void ClearDatabaseEntry(int id);
    // Gives file which of a picture its name: the final one when complete,
    // else the final name with ".incomplete"; never over another file. A
    // name taken meanwhile moves the whole picture on. Returns the path the
    // file now has (empty when there was no file).
    // flushed: the file's bytes went to the disk after its last write
    // already; a second flush would cost a disk round trip for nothing.
    std::string PlaceFile(PictureNaming& naming, size_t which, const std::string& onDisk,
                          bool complete, bool flushed = false);
    // Sets up the multi-part picture a part begins or resumes. True when the
    // part is appended to a file that already exists.
    bool StartMultiPart(const KVX_PICT_FILE_ENTRY& entry, const MultiPartInfo& info,
                        const NamingOptions& options);
    // Reads one part; the picture's result when it ended with this part.
    std::optional<FileResult> TransferMultiPart(const KVX_PICT_FILE_ENTRY& entry,
                                                const MultiPartInfo& info, int index,
                                                bool blocksBeyond, const NamingOptions& options,
                                                bool& readOk);
    // Keeps the joined parts visible with the record that lets the missing
    // ones join them later; nextPartSize is the size of the part that failed
    // (0 when none did), which the part must have to join them.
    FileResult KeepForJoining(uint32_t nextPartSize);
    // The join record for the parts joined so far.
    Q7iJoinState JoinStateNow() const;
    // Cuts off the record written after the last joined part.
    void DropJoinRecord();
    void AbandonMultiPart(const char* why);
    // Makes the segment buffer hold at least size bytes.
    void EnsureSegmentBuffer(uint32_t size);

    ICameraLink& link_;
    ITransferHost& host_;
    CReviewLauncher launcher_;
    std::atomic<ITransferListener*> listener_{nullptr};

    mutable std::mutex optionsLock_;  // leaf lock
    NamingOptions options_;           // guarded by optionsLock_

    CCaptureStatusTable table_;
    uint32_t pictureBits_ = 0;
    std::vector<uint16_t> pictureIds_;
    std::array<uint8_t, 8> lastCaptureStatus_{};

    CQ7iAssembler assembler_;
    MultiPartPicture multiPart_;
    bool lastWriteOk_ = false;
    bool lastWriteFlushed_ = false;  // its last write was followed by a flush to the disk
    ReadStats readStats_;
    // Collects the pieces of one segment.
    std::unique_ptr<uint8_t[]> segmentBuffer_;
    uint32_t segmentCapacity_ = 0;

    // Leaf lock; also guards lastCaptureStatus_ above. The listener is
    // called after it is released.
    mutable std::mutex resultsLock_;
    std::vector<FileResult> results_;  // guarded by resultsLock_
    std::vector<FileResult>
        finished_;  // guarded by resultsLock_; bounded: the oldest go when nobody takes them
    // Folders whose leftovers were dealt with; the communication thread's own.
    std::set<std::string> recoveredFolders_;
};

}  // namespace kvx::engine
