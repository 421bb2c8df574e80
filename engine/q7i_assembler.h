// Joins the parts of a multi-part Q7I picture into one file: the header block
// inside a zero placeholder at the start, each part padded to 32 bytes, the
// trailer block after the last part, then the "SECf" frame directory and, as
// the file's last four bytes, the directory's offset.
//
// Everything the camera says about offsets and lengths is checked against
// what was actually received and what was actually written; a picture that
// cannot be joined correctly is reported as such and never given a directory
// that points at the wrong bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kvx::engine {

// The 28-byte multi-part picture information of a picture file list.
struct MultiPartInfo {
    uint16_t partNumber = 0;
    uint16_t numberOfParts = 0;
    uint32_t headerOffset = 0;
    uint32_t headerLengthA = 0;
    uint32_t unused = 0;
    uint32_t headerLengthB = 0;
    uint32_t trailerOffset = 0;
    uint32_t trailerLength = 0;

    static MultiPartInfo Parse(const uint8_t* record28);
    bool IsLastPart() const { return partNumber == numberOfParts; }
    uint64_t HeaderLength() const { return uint64_t{headerLengthA} + headerLengthB; }
};

class CQ7iAssembler {
public:
    static constexpr uint32_t kAlign = 32;

    struct DirectoryEntry {
        uint32_t offset = 0;
        uint32_t size = 0;
        char tag[4] = {0, 0, 0, 0};
    };

    // ((A + B) with the lowest five bits cleared) + 32: always larger than
    // the header block.
    static uint64_t PlaceholderSize(const MultiPartInfo& info);

    // Forgets the header and trailer copies (a new picture file list).
    void ForgetBlocks();
    // Copies the header block (A + B bytes at the header offset) and the
    // trailer block from the list's reply record. False, with nothing kept,
    // when either block reaches beyond the received bytes.
    bool CopyBlocks(const MultiPartInfo& info, const uint8_t* reply, uint32_t actualSize);
    bool HasBlocks() const { return blocksCopied_; }

    // Part 1 of a new picture: a directory of (parts + 1) entries. False when
    // the information cannot describe a picture (no parts, part number not 1).
    bool BeginPicture(const MultiPartInfo& info);
    // Takes up a picture kept earlier whose parts 1 .. parts.size() are
    // already joined in its file; the next part accepted is the one after
    // them. False when the directory is not the layout those parts have.
    bool ResumePicture(const MultiPartInfo& info, const std::vector<DirectoryEntry>& parts);
    // True when a header block of this length can have a placeholder.
    static bool HeaderFits(const MultiPartInfo& info);
    // True when parts (entries 1 .. n) sit where joining puts them.
    static bool DirectoryHolds(const MultiPartInfo& info, const std::vector<DirectoryEntry>& parts);
    // Where part n + 1 begins once parts 1 .. n are joined (0 for none).
    static uint64_t JoinedLengthAfter(const std::vector<DirectoryEntry>& parts);
    uint16_t NextPart() const { return nextPart_; }
    // The directory entries of the parts joined so far.
    std::vector<DirectoryEntry> JoinedParts() const;
    // True while a picture begun by BeginPicture accepts this part next.
    bool Accepts(const MultiPartInfo& info) const;
    void EndPicture();

    bool PlaceholderWritten() const { return placeholderWritten_; }
    // Appends the zero placeholder to an open file descriptor (part 1, before
    // its first data). False when the write fell short.
    bool WritePlaceholder(int fd);

    // After every part has been appended to path: pads it (parts before the
    // last) or writes the header at offset 0, the trailer and the directory
    // (the last part), and records the part in the directory. False when the
    // file does not hold what the directory would claim or a write fails;
    // error is then a short reason for the log.
    bool FinishPart(const std::string& path, const MultiPartInfo& info, uint32_t partSize,
                    std::string& error);

    const std::vector<DirectoryEntry>& Directory() const { return directory_; }

    // Parts that cannot be joined are still kept in one file, in the same
    // layout without a frame directory: the file starts with the
    // placeholder, every part starts at a multiple of 32, and the header
    // block (into the placeholder) and the trailer block (after the last
    // data) are written when they arrived.
    // Creates path empty with the placeholder for info; false on failure.
    static bool CreateUnjoined(const std::string& path, const MultiPartInfo& info);
    // Pads path with zeros to a multiple of 32 before the next part.
    static bool PadUnjoined(const std::string& path);
    // Writes the copied header and trailer blocks into an unjoined file
    // whose placeholder suits info. True when there was nothing to write.
    bool FinishUnjoined(const std::string& path, const MultiPartInfo& info);

private:
    bool blocksCopied_ = false;
    std::vector<uint8_t> header_;
    std::vector<uint8_t> trailer_;
    bool active_ = false;
    uint16_t parts_ = 0;
    uint16_t nextPart_ = 0;
    uint64_t placeholder_ = 0;
    bool placeholderWritten_ = false;
    std::vector<DirectoryEntry> directory_;  // index 0 unused: entries 1 .. parts + 1
};

}  // namespace kvx::engine
