#include "engine/picture_transfer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>
#include <optional>
#include <system_error>

#include "engine/leftover_files.h"
#include "engine/message_port.h"
#include "engine/q7i_join_record.h"
#include "engine/record_checksums.h"
#include "engine/write_all.h"
#include "log/write_log.h"

namespace kvx::engine {

namespace {

constexpr const char* kWhereCapture = "CMainDlg::OnUpdateCaptureStatus";
constexpr const char* kWhereSingle = "CMainDlg::UpdateCaptureStatusSingle";
constexpr const char* kWhereAction = "CMainDlg::ActionCaptureStatusSingle";
constexpr const char* kWhereInfo = "CMainDlg::GetPictFileInfo";
constexpr const char* kWhereRead = "CMainDlg::ReadPictFile";

// Bytes of the library's reply buffer that follow the escape header: the
// picture lists hand back a pointer into it.
constexpr size_t kReplyRecordCapacity = KVX_REPLY_BUFFER_SIZE - KVX_VENDOR_OUT_HEADER_SIZE;

// The library reports actual sizes as the escape does: the reply header
// followed by the record. Only the record bytes after the header arrived.
uint32_t ReceivedRecordBytes(uint32_t actual) {
    return actual > KVX_VENDOR_OUT_HEADER_SIZE ? actual - KVX_VENDOR_OUT_HEADER_SIZE : 0;
}

uint32_t ReadU32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

std::string EntryName(const KVX_PICT_FILE_ENTRY& e) {
    return std::string(e.fileName, strnlen(e.fileName, sizeof e.fileName));
}

bool SyncFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) return false;
    const bool ok = ::fdatasync(fd) == 0;
    return ::close(fd) == 0 && ok;
}

bool Exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// The rescue file of a picture whose destination folder is gone:
// <rescueFolder>/<name>.incomplete, numbered when taken; nullopt without a
// rescue folder or a free name.
std::optional<std::string> RescuePathFor(const std::string& rescueFolder,
                                         const std::string& finalPath) {
    if (rescueFolder.empty()) return std::nullopt;
    std::error_code ec;
    std::filesystem::create_directories(rescueFolder, ec);
    const std::string folder = rescueFolder.back() == '/' ? rescueFolder : rescueFolder + "/";
    const auto slash = finalPath.rfind('/');
    const std::string name =
        (slash == std::string::npos ? finalPath : finalPath.substr(slash + 1)) +
        std::string(CPictureNamer::kIncompleteSuffix);
    for (int i = 0; i < 1000; ++i) {
        const std::string path = folder + name + (i ? "_" + std::to_string(i) : std::string());
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 && errno == ENOENT) return path;
    }
    return std::nullopt;
}

// The folder of a picture's final name takes new files: it is there, is a
// folder and may be written. One that is gone, mounted read-only or whose
// rights were taken away would lose the picture's bytes.
bool FolderOfTakesFiles(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return false;
    const std::string folder = path.substr(0, slash + 1);
    struct stat st {};
    return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
           ::access(folder.c_str(), W_OK | X_OK) == 0;
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() { Close(); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int Get() const { return fd_; }
    bool Close() {
        if (fd_ < 0) return true;
        int r = ::close(fd_);
        fd_ = -1;
        return r == 0;
    }

private:
    int fd_;
};

// Sets the communication state back to polling when a step ends, however it
// ends, so a failing step can never keep the thread in its state.
class PollingAgain {
public:
    explicit PollingAgain(ITransferHost& host) : host_(host) {}
    ~PollingAgain() { host_.SetCommStateIfRunning(kCommPolling); }
    PollingAgain(const PollingAgain&) = delete;
    PollingAgain& operator=(const PollingAgain&) = delete;

private:
    ITransferHost& host_;
};

}  // namespace

CPictureTransfer::CPictureTransfer(ICameraLink& link, ITransferHost& host, CReviewLauncher launcher)
    : link_(link), host_(host), launcher_(std::move(launcher)) {}

void CPictureTransfer::EnsureSegmentBuffer(uint32_t size) {
    // Kept between transfers and left uninitialised: only the bytes a piece
    // filled are ever written out.
    if (segmentCapacity_ >= size) return;
    segmentBuffer_.reset();
    segmentCapacity_ = 0;
    segmentBuffer_ = std::make_unique_for_overwrite<uint8_t[]>(size);
    segmentCapacity_ = size;
}

CPictureTransfer::~CPictureTransfer() {
    // Parts of a multi-part picture whose last part never came stay
    // visible, not hidden.
    if (multiPart_.active) AbandonMultiPart("the link ended");
}

void CPictureTransfer::SetNamingOptions(const NamingOptions& options) {
    std::lock_guard guard(optionsLock_);
    options_ = options;
}

NamingOptions CPictureTransfer::GetNamingOptions() const {
    std::lock_guard guard(optionsLock_);
    return options_;
}

int CPictureTransfer::PendingPictureCount() {
    return table_.PendingCount();
}

void CPictureTransfer::ClearCaptureStatusTable() {
    table_.ClearCodes();
}

void CPictureTransfer::ClearLastCaptureStatus() {
    std::lock_guard guard(resultsLock_);
    lastCaptureStatus_.fill(0);
}

void CPictureTransfer::OnLinkEnded() {
    // Parts of a multi-part picture whose last part never came are kept,
    // visible and reported, as soon as the link is gone.
    if (multiPart_.active) AbandonMultiPart("the link ended");
    // Ids belong to the camera of this link.
    readyIds_.clear();
    leftIds_.clear();
    keepNextDelivered_ = false;
}

void CPictureTransfer::NoteDelivered(const KVX_PICT_FILE_ENTRY& entry, uint32_t received,
                                     bool landed) {
    if (!landed && received == entry.fileSize) keepNextDelivered_ = true;
}

void CPictureTransfer::SetPictureBits(uint32_t bits) {
    pictureBits_ = bits;
}

void CPictureTransfer::SetPictureIdList(const uint16_t* ids, int count) {
    pictureIds_.clear();
    if (ids == nullptr || count <= 0) return;
    count = std::min(count, kMaxPictureIds);
    pictureIds_.assign(ids, ids + count);
}

std::array<uint8_t, 8> CPictureTransfer::LastCaptureStatusRecord() const {
    std::lock_guard guard(resultsLock_);
    return lastCaptureStatus_;
}

std::vector<CPictureTransfer::FileResult> CPictureTransfer::LastFileResults() const {
    std::lock_guard guard(resultsLock_);
    return results_;
}

std::vector<CPictureTransfer::FileResult> CPictureTransfer::TakeFinishedFiles() {
    std::lock_guard guard(resultsLock_);
    std::vector<FileResult> out;
    out.swap(finished_);
    return out;
}

namespace {
constexpr size_t kMaxUntakenResults = 4096;
}

void CPictureTransfer::AddResult(FileResult result) {
    {
        std::lock_guard guard(resultsLock_);
        results_.push_back(result);
        if (finished_.size() >= kMaxUntakenResults) finished_.erase(finished_.begin());
        finished_.push_back(result);
    }
    if (ITransferListener* l = listener_.load())
        l->OnFileFinished(result.cameraName, result.path, result.complete);
}

// ---------------------------------------------------------------------------
// Capture status

void CPictureTransfer::OnUpdateCaptureStatus() {
    WriteLog(2, "enter %s, imageBits=0x%x", kWhereCapture, pictureBits_);
    host_.SetCommStateIfRunning(kCommPolling);

    const bool extendedList = host_.ProtocolMajor() >= 4;
    std::vector<int> ids;
    if (extendedList) {
        ids.assign(pictureIds_.begin(), pictureIds_.end());
    } else {
        for (int id = 0; id < 32; ++id) {
            if (pictureBits_ & (uint32_t{1} << id)) ids.push_back(id);
        }
    }

    // Ids beyond the table are still read and acted on, from the record of
    // this pass, so such a picture is not left behind; they never touch the
    // table.
    std::vector<std::optional<uint16_t>> outside(ids.size());
    if (host_.LastChangeFlags() & 0x0008) {
        for (size_t i = 0; i < ids.size(); ++i) {
            if (UpdateCaptureStatusSingle(ids[i]) && !CCaptureStatusTable::HasEntry(ids[i])) {
                auto record = LastCaptureStatusRecord();
                outside[i] = static_cast<uint16_t>(record[4] | record[5] << 8);
            }
        }
    }

    for (size_t i = 0; i < ids.size(); ++i) {
        const int id = ids[i];
        const bool inTable = CCaptureStatusTable::HasEntry(id);
        const uint16_t code = inTable ? table_.Get(id).code : outside[i].value_or(0);
        if (extendedList) {
            WriteLog(4, "--- %d: CaptStatus=0x%x", static_cast<int>(i), code);
        } else {
            WriteLog(4, "--- %d: imageBits=0x%x, bmask=0x%x, CaptStatus=0x%x", id, pictureBits_,
                     uint32_t{1} << id, code);
        }
        if (inTable) {
            ActionCaptureStatusSingle(id);
        } else if (outside[i]) {
            ActOnCode(id, *outside[i]);
        }
    }
    WriteLog(2, "exit %s", kWhereCapture);
}

bool CPictureTransfer::UpdateCaptureStatusSingle(int id) {
    uint8_t record[KVX_CAPTURE_STATUS_SIZE] = {};
    HResult hr = link_.GetCaptureStatus(id, record);
    if (hr != 0) {
        WriteLog(1, "+++ GetCaptureStatus failed ID=0x%x (hr=0x%x) at %s +++", id, hr,
                 kWhereSingle);
        return false;
    }
    {
        std::lock_guard guard(resultsLock_);
        std::copy(record, record + sizeof record, lastCaptureStatus_.begin());
    }
    const uint16_t code = static_cast<uint16_t>(record[4] | record[5] << 8);
    WriteLog(5, "--- GetCaptureStatus = 0x%x, Image ID=0x%x, DBHead=0x%x, DBTail=0x%x", code,
             static_cast<int>(static_cast<int8_t>(record[1])),
             static_cast<int>(static_cast<int8_t>(record[2])),
             static_cast<int>(static_cast<int8_t>(record[3])));
    CheckCaptureStatusRecord(record, sizeof record);
    table_.Set(id, code, record[6]);
    return true;
}

void CPictureTransfer::ActionCaptureStatusSingle(int id) {
    if (!CCaptureStatusTable::HasEntry(id)) return;
    ActOnCode(id, table_.Get(id).code);
}

void CPictureTransfer::ActOnCode(int id, uint16_t code) {
    if (code == 5) {
        readyIds_.insert(id);
        leftIds_.erase(id);
        // The transfer itself runs in the next pass of the loop.
        host_.SetCommStateIfRunning(kCommTransfer);
        return;
    }
    const bool result = (code >= 0x6001 && code <= 0x6005) || code == 0x8002;
    if (result) {
        host_.PostMessage(kTargetMainWindow, kMsgCaptureResult, code, 0);
        host_.PostMessage(kTargetWhiteBalance, kMsgCaptureResult, code, 0);
        // The camera reports a picture delivered once every byte was read;
        // when they did not all reach their file, its entry is the only
        // whole copy left, and clearing it would lose the picture.
        const bool wasReady = readyIds_.erase(id) > 0;
        if (code == 0x8002 && wasReady && keepNextDelivered_) {
            keepNextDelivered_ = false;
            leftIds_.insert(id);
            ++leftOnCamera_;
            WriteLog(1, "+++ picture ID=0x%x not written whole, left on the camera at %s +++", id,
                     kWhereAction);
        }
        if (leftIds_.count(id) == 0) ClearDatabaseEntry(id);
        // The engine posts the state message when the override became
        // active by this call, so a second 0x6001 changes nothing.
        if (code == 0x6001) host_.ActivateAutofocusOverride();
        return;
    }
    if (code == 0x8001 || code == 0x8003 || code == 0x8004) ClearDatabaseEntry(id);
}

void CPictureTransfer::ClearDatabaseEntry(int id) {
    HResult hr = link_.ClearImageDBSignle(id);
    if (hr == 0) {
        WriteLog(5, "--- ClearImageDBSingle success ID=0x%x", id);
    } else {
        WriteLog(1, "+++ ClearImageDBSingle failed ID=0x%x (hr=0x%x) at %s +++", id, hr,
                 kWhereAction);
    }
}

// ---------------------------------------------------------------------------
// Transfer

namespace {
// Times a picture moves on because one of its names was taken meanwhile.
constexpr int kMaxMoves = 16;

// What decides a file's name within its picture: two files of one picture
// with the same key would get the same name.
std::string NameKey(const NamingOptions& options, const CPictureNamer::PictureFile& file) {
    std::string key = options.rename ? CPictureNamer::ExtensionFor(file.formatCode).value_or("")
                                     : CPictureNamer::SafeFileName(file.cameraName);
    for (auto& c : key) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return key;
}

std::string NameOf(const std::string& path) {
    auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}
}  // namespace

std::string CPictureTransfer::PlaceFile(PictureNaming& naming, size_t which,
                                        const std::string& onDisk, bool complete, bool flushed) {
    if (onDisk.empty() || !Exists(onDisk) || which >= naming.names.size() || !naming.names[which]) {
        return {};
    }
    // Nothing gets a name before its bytes are on the disk; a picture whose
    // bytes cannot be made durable is not complete.
    if (!flushed && !SyncFile(onDisk) && complete) {
        WriteLog(1, "+++ Could not flush %s (errno=%d) at %s +++", onDisk.c_str(), errno,
                 kWhereInfo);
        complete = false;
    }
    const std::string form = complete ? "" : std::string(CPictureNamer::kIncompleteSuffix);
    for (int move = 0; move < kMaxMoves; ++move) {
        if (move > 0) {
            // The whole picture moves to the next free number or suffix, the
            // files already named included, so its files never part.
            auto next =
                CPictureNamer::NamePicture(naming.options, naming.files, naming.number, true);
            if (!next[which]) break;
            naming.names = std::move(next);
            bool again = false;
            for (auto& placed : naming.placed) {
                const auto& name = naming.names[placed.which];
                if (!name) continue;
                const std::string target = *name + placed.form;
                if (CPictureNamer::RenameNoReplace(placed.path, target)) {
                    WriteLog(1, "+++ %s moved to %s with its picture at %s +++",
                             placed.path.c_str(), target.c_str(), kWhereInfo);
                    placed.path = target;
                } else if (errno == EEXIST) {
                    again = true;
                } else {
                    WriteLog(1, "+++ Could not rename %s (errno=%d) at %s +++", placed.path.c_str(),
                             errno, kWhereInfo);
                }
            }
            if (again) continue;
        }
        const std::string target = *naming.names[which] + form;
        if (onDisk == target || CPictureNamer::RenameNoReplace(onDisk, target)) {
            naming.placed.push_back(PictureNaming::Placed{which, target, form, -1});
            if (!complete) {
                WriteLog(1, "+++ transfer incomplete, data kept as %s at %s +++", target.c_str(),
                         kWhereInfo);
            }
            return target;
        }
        if (errno != EEXIST) break;
        WriteLog(1, "+++ %s was taken meanwhile at %s +++", target.c_str(), kWhereInfo);
    }
    WriteLog(1, "+++ Could not rename %s (errno=%d) at %s +++", onDisk.c_str(), errno, kWhereInfo);
    // No name of the rules was left: still never hidden, and never complete.
    const std::string base = *naming.names[which] + std::string(CPictureNamer::kIncompleteSuffix);
    for (int i = 1; i <= kMaxMoves; ++i) {
        const std::string candidate = base + "_" + std::to_string(i);
        if (CPictureNamer::RenameNoReplace(onDisk, candidate)) {
            naming.placed.push_back(PictureNaming::Placed{
                which, candidate, std::string(CPictureNamer::kIncompleteSuffix), -1});
            WriteLog(1, "+++ transfer incomplete, data kept as %s at %s +++", candidate.c_str(),
                     kWhereInfo);
            return candidate;
        }
        if (errno != EEXIST) break;
    }
    return onDisk;
}

Q7iJoinState CPictureTransfer::JoinStateNow() const {
    const MultiPartPicture& mp = multiPart_;
    Q7iJoinState state;
    state.cameraName = mp.cameraName;
    state.finalName = NameOf(mp.finalPath);
    state.numberOfParts = mp.info.numberOfParts;
    state.headerLengthA = mp.info.headerLengthA;
    state.headerLengthB = mp.info.headerLengthB;
    state.parts = assembler_.JoinedParts();
    state.nextPart = static_cast<uint16_t>(state.parts.size() + 1);
    state.joinedLength = CQ7iAssembler::JoinedLengthAfter(state.parts);
    return state;
}

void CPictureTransfer::DropJoinRecord() {
    MultiPartPicture& mp = multiPart_;
    if (!mp.recordAt) return;
    if (!CQ7iJoinRecord::Truncate(mp.filePath, *mp.recordAt)) {
        // The next part lands behind the record; joining then finds the
        // file longer than its parts and keeps it as it is.
        WriteLog(1, "+++ Could not cut the join record of %s at %s +++", mp.filePath.c_str(),
                 kWhereInfo);
    }
    mp.recordAt.reset();
}

CPictureTransfer::FileResult CPictureTransfer::KeepForJoining(uint32_t nextPartSize) {
    MultiPartPicture& mp = multiPart_;
    DropJoinRecord();
    Q7iJoinState state = JoinStateNow();
    state.nextPartSize = nextPartSize;
    // Only joined parts are worth a record. A part 1 that failed is never
    // taken up again: a later picture of the same camera name (a new card
    // starts the names again) could not be told from it, and taking it up
    // would cut away the only copy of what arrived. Its part 1, when it
    // comes again, starts a file of its own, and this one goes once that
    // file holds all of it.
    if (!state.parts.empty() && Exists(mp.filePath) &&
        !CQ7iJoinRecord::Append(mp.filePath, state, &mp.hash)) {
        WriteLog(1, "+++ Q7I join record not written to %s at %s +++", mp.filePath.c_str(),
                 kWhereInfo);
    }
    FileResult result{mp.cameraName, PlaceFile(mp.naming, 0, mp.filePath, false), false};
    if (!result.path.empty()) {
        WriteLog(1, "+++ Q7I parts not joined, kept as %s until part %u comes at %s +++",
                 result.path.c_str(), state.nextPart, kWhereInfo);
    }
    multiPart_ = MultiPartPicture{};
    assembler_.EndPicture();
    return result;
}

void CPictureTransfer::AbandonMultiPart(const char* why) {
    WriteLog(1, "+++ Q7I parts not joined (%s) at %s +++", why, kWhereInfo);
    if (multiPart_.named) {
        if (!multiPart_.broken) {
            AddResult(KeepForJoining(0));
            return;
        }
        AddResult(FileResult{multiPart_.cameraName,
                             PlaceFile(multiPart_.naming, 0, multiPart_.filePath, false), false});
    }
    multiPart_ = MultiPartPicture{};
    assembler_.EndPicture();
}

bool CPictureTransfer::StartMultiPart(const KVX_PICT_FILE_ENTRY& entry, const MultiPartInfo& info,
                                      const NamingOptions& options) {
    const std::string cameraName = EntryName(entry);
    const std::string folder = CPictureNamer::DestinationFolder(options);
    MultiPartPicture& mp = multiPart_;
    mp = MultiPartPicture{};
    mp.active = true;
    mp.cameraName = cameraName;
    mp.info = info;
    mp.naming.options = options;
    mp.naming.files = {CPictureNamer::PictureFile{entry.formatCode, cameraName}};

    // A picture kept earlier, by this run or another, that waits for this
    // part: the part joins it, or, when parts in between are missing, is
    // kept with it unjoined, so the picture stays in one file.
    if (auto found = CQ7iJoinRecord::Find(folder, cameraName, info, entry.fileSize)) {
        const Q7iJoinState& kept = found->state;
        mp.named = true;
        mp.finalPath = folder + kept.finalName;
        mp.filePath = found->path;
        mp.naming.names = {mp.finalPath};
        if (kept.nextPart == info.partNumber && assembler_.ResumePicture(info, kept.parts)) {
            // What arrived of this part before is cut away: the camera still
            // holds the part and sends it again now.
            if (CQ7iJoinRecord::Truncate(found->path, kept.joinedLength)) {
                WriteLog(4, "--- Q7I part %u of %u joins the picture kept as %s", info.partNumber,
                         info.numberOfParts, found->path.c_str());
                return true;
            }
            assembler_.EndPicture();
        } else if (kept.nextPart < info.partNumber &&
                   CQ7iJoinRecord::Truncate(found->path, kept.dataLength)) {
            WriteLog(1, "+++ Q7I part %u of %u without part %u, kept unjoined in %s at %s +++",
                     info.partNumber, info.numberOfParts, kept.nextPart, found->path.c_str(),
                     kWhereInfo);
            mp.broken = true;
            return true;
        }
        mp.named = false;
        mp.finalPath.clear();
        mp.filePath.clear();
    }

    mp.naming.names = CPictureNamer::NamePicture(options, mp.naming.files, mp.naming.number);
    mp.named = mp.naming.names[0].has_value();
    if (mp.named) {
        mp.finalPath = *mp.naming.names[0];
        mp.filePath =
            CPictureNamer::HiddenPathOf(mp.finalPath + std::string(CPictureNamer::kTempSuffix));
    }
    if (info.partNumber == 1 && assembler_.BeginPicture(info)) return false;

    if (info.partNumber == 1) {
        WriteLog(1, "+++ Q7I part information not usable (%u of %u) at %s +++", info.partNumber,
                 info.numberOfParts, kWhereInfo);
    } else {
        WriteLog(1, "+++ Q7I part %u of %u without its earlier parts at %s +++", info.partNumber,
                 info.numberOfParts, kWhereInfo);
    }
    mp.broken = true;
    if (mp.named && !CQ7iAssembler::CreateUnjoined(mp.filePath, info)) {
        WriteLog(1, "+++ Could not create %s (errno=%d) at %s +++", mp.filePath.c_str(), errno,
                 kWhereInfo);
    }
    return true;
}

std::optional<CPictureTransfer::FileResult> CPictureTransfer::TransferMultiPart(
    const KVX_PICT_FILE_ENTRY& entry, const MultiPartInfo& info, int index, bool blocksBeyond,
    const NamingOptions& options, bool& readOk) {
    const std::string cameraName = EntryName(entry);
    MultiPartPicture& mp = multiPart_;
    const bool samePicture = mp.active && mp.cameraName == cameraName &&
                             mp.info.numberOfParts == info.numberOfParts && info.partNumber != 1;
    bool append = true;
    if (!(samePicture && (mp.broken || assembler_.Accepts(info)))) {
        if (mp.active) {
            AbandonMultiPart(info.partNumber == 1 ? "a new picture began" : "parts out of order");
        }
        append = StartMultiPart(entry, info, options);
    }
    if (blocksBeyond && info.IsLastPart() && !mp.broken) {
        mp.broken = true;
        assembler_.EndPicture();
    }
    DropJoinRecord();
    if (mp.broken && append && mp.named && Exists(mp.filePath) &&
        !CQ7iAssembler::PadUnjoined(mp.filePath)) {
        WriteLog(1, "+++ Could not pad %s at %s +++", mp.filePath.c_str(), kWhereInfo);
    }

    uint32_t total = 0;
    readOk = ReadPictFile(entry, total, mp.filePath, mp.named, mp.broken ? nullptr : &info, append);
    WriteLog(4, "--- ReadPictFile bReadSuccess=%d index=%d, orgFile=%s", readOk ? 1 : 0, index,
             cameraName.c_str());
    const bool written = readOk && lastWriteOk_;
    NoteDelivered(entry, total, written && !mp.broken);

    if (!mp.named) {
        if (!info.IsLastPart()) return std::nullopt;
        multiPart_ = MultiPartPicture{};
        assembler_.EndPicture();
        return FileResult{cameraName, "", false};
    }
    if (!mp.broken && !written) return KeepForJoining(entry.fileSize);
    if (!mp.broken && !info.IsLastPart()) {
        // Joined so far: a record after the parts lets a later run join the
        // rest even when this one is killed before it can keep them. It is
        // cut off again before the next part is appended.
        Q7iJoinState state = JoinStateNow();
        if (CQ7iJoinRecord::Append(mp.filePath, state, &mp.hash)) {
            mp.recordAt = state.dataLength;
        } else {
            WriteLog(1, "+++ Q7I join record not written to %s at %s +++", mp.filePath.c_str(),
                     kWhereInfo);
        }
    }
    if (!info.IsLastPart()) {
        if (mp.broken && !written && mp.filePath != mp.finalPath + ".incomplete") {
            // Parts kept unjoined are visible from the first failure on.
            mp.filePath = PlaceFile(mp.naming, 0, mp.filePath, false);
            mp.naming.placed.clear();
        }
        return std::nullopt;
    }

    const bool complete = written && !mp.broken;
    if (mp.broken && !assembler_.FinishUnjoined(mp.filePath, info)) {
        WriteLog(1, "+++ Could not write the Q7I header and trailer to %s at %s +++",
                 mp.filePath.c_str(), kWhereInfo);
    }
    FileResult result{cameraName, PlaceFile(mp.naming, 0, mp.filePath, complete), false};
    result.complete = complete && !result.path.empty() && result.path == *mp.naming.names[0];
    if (!complete && !result.path.empty()) {
        WriteLog(1, "+++ Q7I parts not joined, kept as %s at %s +++", result.path.c_str(),
                 kWhereInfo);
    }
    multiPart_ = MultiPartPicture{};
    assembler_.EndPicture();
    return result;
}

void CPictureTransfer::GetPictFileInfo() {
    PollingAgain polling(host_);
    const NamingOptions options = GetNamingOptions();
    assembler_.ForgetBlocks();
    {
        std::lock_guard guard(resultsLock_);
        results_.clear();
    }
    // The first transfer into a folder deals with what a killed run left
    // there, before any name is chosen in it.
    const std::string folder = CPictureNamer::DestinationFolder(options);
    if (recoveredFolders_.insert(folder).second) CLeftoverFiles::Recover(folder);

    KVX_PICT_FILE_ENTRY entries[kListEntries];
    std::memset(entries, 0, sizeof entries);
    uint32_t count = 0;
    uint8_t isMultiPart = 0;
    uint8_t info28[KVX_MULTI_PART_INFO_SIZE] = {};
    uint8_t* raw = nullptr;
    uint32_t rawLength = 0;
    const bool extended = host_.IsExtendedCamera();
    HResult hr = extended ? link_.GetPictFileInfo2(entries, kListEntries, &count, &isMultiPart,
                                                   info28, &raw, &rawLength)
                          : link_.GetPictFileInfo(entries, kListEntries, &count, &raw, &rawLength);
    if (hr != 0) return;  // the next poll decides again

    const MultiPartInfo info = extended ? MultiPartInfo::Parse(info28) : MultiPartInfo{};
    bool blocksBeyond = false;
    if (extended && entries[0].formatCode == kFormatQ7i && info.IsLastPart()) {
        if (!assembler_.CopyBlocks(info, raw, ReceivedRecordBytes(rawLength))) {
            blocksBeyond = true;
            WriteLog(1, "+++ Q7I header or trailer beyond the reply (size=%u) at %s +++", rawLength,
                     kWhereInfo);
        }
    }
    // The camera's check byte lies at the list length, inside the library's
    // cleared reply record even where it is past the bytes received.
    CheckPictFileList(raw, rawLength, kReplyRecordCapacity);

    const int filled = static_cast<int>(std::min<uint32_t>(count, kListEntries));
    // A count above what the library could fill leaves entries as we
    // cleared them: no picture there, and nothing to name or create.
    static const KVX_PICT_FILE_ENTRY kUnfilled{};
    auto isFilled = [&](int i) {
        return std::memcmp(&entries[i], &kUnfilled, sizeof entries[i]) != 0;
    };
    auto isPart = [&](int i) { return extended && entries[i].formatCode == kFormatQ7i; };

    // The files of the list that are not parts of a Q7I are one picture
    // (a RAW and its JPEG): their names are chosen together, before any of
    // them is written.
    // A file that would get the same name as an earlier one (two JPEGs in
    // one list) cannot be of the same picture: it is named as one of its own.
    std::vector<PictureNaming> namings;
    int groupOf[kListEntries] = {-1, -1};
    size_t fileOf[kListEntries] = {0, 0};
    std::vector<std::vector<std::string>> keys;
    for (int i = 0; i < filled; ++i) {
        if (!isFilled(i) || isPart(i)) continue;
        const CPictureNamer::PictureFile file{entries[i].formatCode, EntryName(entries[i])};
        const std::string key = NameKey(options, file);
        size_t group = 0;
        while (group < namings.size() &&
               std::find(keys[group].begin(), keys[group].end(), key) != keys[group].end()) {
            ++group;
        }
        if (group == namings.size()) {
            namings.emplace_back();
            namings.back().options = options;
            keys.emplace_back();
        }
        groupOf[i] = static_cast<int>(group);
        fileOf[i] = namings[group].files.size();
        namings[group].files.push_back(file);
        keys[group].push_back(key);
    }
    for (auto& naming : namings) {
        naming.names = CPictureNamer::NamePicture(options, naming.files, naming.number);
    }

    std::vector<FileResult> listResults;
    bool lastRead = false;
    int lastResult = -1;
    for (int index = 0; index < filled; ++index) {
        if (!isFilled(index)) continue;
        const KVX_PICT_FILE_ENTRY& entry = entries[index];
        lastResult = -1;
        if (isPart(index)) {
            auto result = TransferMultiPart(entry, info, index, blocksBeyond, options, lastRead);
            if (result) {
                listResults.push_back(std::move(*result));
                lastResult = static_cast<int>(listResults.size()) - 1;
            }
            continue;
        }
        PictureNaming& naming = namings[static_cast<size_t>(groupOf[index])];
        const size_t which = fileOf[index];
        const std::optional<std::string>& name = naming.names[which];
        std::string filePath =
            name ? CPictureNamer::HiddenPathOf(*name + std::string(CPictureNamer::kTempSuffix))
                 : std::string();
        if (name && !FolderOfTakesFiles(*name)) {
            // The final name cannot be given either: the file stays where it
            // was rescued to, reported incomplete with that path.
            if (auto rescue = RescuePathFor(options.rescueFolder, *name)) {
                WriteLog(1, "+++ destination of %s is gone or takes no files, kept as %s at %s +++",
                         name->c_str(), rescue->c_str(), kWhereInfo);
                filePath = *rescue;
            }
        }
        uint32_t total = 0;
        lastRead = ReadPictFile(entry, total, filePath, name.has_value(), nullptr, false);
        WriteLog(4, "--- ReadPictFile bReadSuccess=%d index=%d, orgFile=%s", lastRead ? 1 : 0,
                 index, EntryName(entry).c_str());
        const bool written = lastRead && lastWriteOk_;
        const size_t placedBefore = naming.placed.size();
        const std::string kept =
            PlaceFile(naming, which, filePath, written, written && lastWriteFlushed_);
        listResults.push_back(FileResult{EntryName(entry), kept, false});
        lastResult = static_cast<int>(listResults.size()) - 1;
        if (naming.placed.size() > placedBefore) {
            naming.placed.back().result = lastResult;
            listResults.back().complete = naming.placed.back().form.empty();
        }
        NoteDelivered(entry, total, listResults.back().complete);
    }
    // Files named earlier in the list may have moved with a later one.
    for (const auto& naming : namings) {
        for (const auto& placed : naming.placed) {
            if (placed.result >= 0) {
                listResults[static_cast<size_t>(placed.result)].path = placed.path;
            }
        }
    }
    for (const auto& result : listResults) {
        if (result.complete) CLeftoverFiles::RemoveSuperseded(result.path);
        AddResult(result);
    }
    assembler_.ForgetBlocks();
    if (lastRead && lastResult >= 0 && listResults[static_cast<size_t>(lastResult)].complete) {
        launcher_.Launch(options, listResults[static_cast<size_t>(lastResult)].path);
    }
}

bool CPictureTransfer::ReadPictFile(const KVX_PICT_FILE_ENTRY& entry, uint32_t& total,
                                    const std::string& filePath, bool writeEnabled,
                                    const MultiPartInfo* assemble, bool append) {
    lastWriteOk_ = false;
    lastWriteFlushed_ = false;
    readStats_ = ReadStats{};
    const uint32_t fileSize = entry.fileSize;
    int maxTx = static_cast<int>(3 * (fileSize / kBytesPerPieceBudget));
    const uint32_t segmentSize = fileSize <= kSegmentLimit ? fileSize : kSegmentLimit;
    const std::string name = EntryName(entry);
    WriteLog(4, "--- enter %s, FileName=%s, FileSize=%d, max_tx=%d", kWhereRead, name.c_str(),
             static_cast<int>(fileSize), maxTx);
    total = 0;

    // The header and trailer copies outlive a failed part: parts that are
    // kept unjoined still get them. They go with the list.
    auto fail = [&](int code) {
        WriteLog(1, "+++ error code = %d at %s +++", code, kWhereRead);
        return false;
    };

    // One segment buffer, written to the file as soon as it is full and
    // before the next piece is asked for. A second one, filled while a
    // writer thread wrote the first, cost more in copies and memory than the
    // overlap won back on a machine whose cores are busy anyway.
    if (fileSize != 0) {
        try {
            EnsureSegmentBuffer(segmentSize);
        } catch (const std::bad_alloc&) {
            return fail(1);
        }
    }

    if (writeEnabled) {
        if (filePath.empty()) {
            writeEnabled = false;
        } else {
            int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (append ? O_APPEND : O_TRUNC);
            FileDescriptor fd(::open(filePath.c_str(), flags, 0666));
            if (fd.Get() < 0) {
                WriteLog(1, "+++ Could not create %s (errno=%d) at %s +++", filePath.c_str(), errno,
                         kWhereRead);
                writeEnabled = false;
            }
        }
    }

    // Appends a filled segment buffer (after the placeholder of a multi-part
    // picture's first part) and the piece that follows it, tail, in one
    // write; the last one is flushed to the disk.
    auto writeSegment = [&](const uint8_t* bytes, uint32_t filled, const uint8_t* tail,
                            uint32_t tailLength, bool last) {
        FileDescriptor fd(::open(filePath.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC));
        if (fd.Get() < 0) return false;
        if (assemble && assemble->partNumber == 1 && !assembler_.PlaceholderWritten()) {
            if (!assembler_.WritePlaceholder(fd.Get())) return false;
        }
        ++readStats_.segmentWrites;
        if (!WriteAll(fd.Get(), bytes, filled, tail, tailLength)) return false;
        if (last && ::fdatasync(fd.Get()) != 0) return false;
        if (!fd.Close()) return false;
        lastWriteFlushed_ = last;
        return true;
    };
    // A transfer that gives up still keeps what it received.
    auto giveUp = [&](uint32_t filled, const uint8_t* bytes, int code) {
        if (writeEnabled && filled > 0) writeSegment(bytes, filled, nullptr, 0, true);
        return fail(code);
    };

    // The last piece of a segment that is written at once is written from
    // the library's reply, where it lies until the next command, instead of
    // being copied into the segment first (a picture of one piece is never
    // copied). A piece left there is settled into the segment before any
    // other command and before anything else uses the segment.
    const uint8_t* tail = nullptr;
    uint32_t tailLength = 0;  // counted in filled, not yet in the segment
    auto settle = [&](uint8_t* segment, uint32_t filled) {
        if (tailLength == 0) return;
        std::memcpy(segment + (filled - tailLength), tail, tailLength);
        tailLength = 0;
    };

    uint32_t offset = 0;
    uint32_t remaining = fileSize;
    while (remaining > 0) {
        uint8_t* segment = segmentBuffer_.get();
        uint32_t filled = 0;
        int piece = 0;
        int attempt = 0;
        while (remaining > 0) {
            const uint32_t request = std::min(remaining, kPieceSize);
            uint8_t* data = nullptr;
            uint32_t actual = 0;
            ++readStats_.requests;
            settle(segment, filled);
            HResult hr =
                link_.GetBigPartialPictFile(entry.objectId, offset, request, &data, &actual);
            WriteLog(5, "   %d-%d: dwOffset=%d, rest=0x%x, actual=%d, hr=0x%x", piece, attempt,
                     static_cast<int>(offset), request, static_cast<int>(actual), hr);

            // Besides the camera's own failures, a record too short for a
            // length and a flag counts as a failed attempt.
            bool good =
                hr == 0 && actual >= 5 && data != nullptr && ReceivedRecordBytes(actual) >= 6;
            uint32_t length = 0;
            uint16_t more = 0;
            if (good) {
                length = ReadU32(data);
                // The piece, and the flag after it, must lie inside what was
                // received, what was asked for and the segment buffer.
                const bool fits = length <= kMaxPieceLength && length <= request &&
                                  uint64_t{filled} + length <= segmentSize &&
                                  uint64_t{length} + 6 <= ReceivedRecordBytes(actual);
                if (!fits) {
                    WriteLog(1, "**** Invalid Data Size = %d at %s !!! ****",
                             static_cast<int>(length), kWhereRead);
                    good = false;
                } else {
                    more = static_cast<uint16_t>(data[4 + length] | data[5 + length] << 8);
                }
            }
            if (!good) {
                if (++attempt < kAttemptsPerPiece) continue;
                WriteLog(1, "*** retry over 3 times at %s, then reset DB ***", kWhereRead);
                table_.ClearCodes();
                settle(segment, filled);
                return giveUp(filled, segment, 2);
            }
            attempt = 0;
            if (length > 0) {
                tail = data + 4;
                tailLength = length;
                offset += length;
                total += length;
                filled += length;
                remaining -= length;
                if (ITransferListener* l = listener_.load())
                    l->OnPictureProgress(name, total, fileSize);
            }
            if (more == 0) {
                // The camera ended the picture before its size: ask again,
                // but never more often than the piece budget allows.
                if (remaining > 0 && --maxTx < 1) {
                    WriteLog(1, "**** max_tx < 1 at %s !!! ****", kWhereRead);
                    settle(segment, filled);
                    return giveUp(filled, segment, 3);
                }
                break;
            }
            if (--maxTx < 1) {
                WriteLog(1, "**** max_tx < 1 at %s !!! ****", kWhereRead);
                settle(segment, filled);
                return giveUp(filled, segment, 3);
            }
            ++piece;
            if (uint64_t{filled} + kRoomReserve > kSegmentLimit) break;
            settle(segment, filled);
            host_.ExecCommand();
        }

        if (!writeEnabled) {
            tailLength = 0;
            continue;
        }
        // Written before the next command, while the last piece still lies
        // in the library's reply.
        const uint32_t pending = tailLength;
        tailLength = 0;
        if (!writeSegment(segment, filled - pending, tail, pending, remaining == 0)) return fail(4);
    }

    if (assemble && writeEnabled) {
        lastWriteFlushed_ = false;  // the part's blocks follow
        std::string why;
        if (!assembler_.FinishPart(filePath, *assemble, fileSize, why)) {
            WriteLog(1, "+++ Q7I part %u of %u: %s at %s +++", assemble->partNumber,
                     assemble->numberOfParts, why.c_str(), kWhereRead);
            return fail(4);
        }
    }
    lastWriteOk_ = writeEnabled;
    return true;
}

}  // namespace kvx::engine
