// Parsers of the camera's reply records that the exports hand on to the
// program. Every one works over the bytes actually received and never reads
// outside them: an entry that would reach beyond the reply is dropped (and
// with it, in the first form, every entry after it, which can no longer be
// found), and the reported count is the number of entries that lie inside.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "camlink/varno_usb.h"

namespace kvx::camlink {

struct PictListResult {
    uint32_t count = 0;      // entries the reply holds (within its size)
    uint32_t filled = 0;     // entries written into the caller's array
    uint32_t rawLength = 0;  // first form: 1 + the bytes of every filled entry
};

// First form: u8 N, then N entries of u16, u16, u16, zero-terminated name,
// u32, u32. Names of 128 characters or more are not copied.
PictListResult ParsePictList1(const uint8_t* record, size_t size, KVX_PICT_FILE_ENTRY1* entries,
                              int32_t maxEntries);
// The same list into the wide entries the program uses: the three u16 are
// the format code, value A and value B; the two u32 are the file size and
// the object id. The format text follows from the format code.
PictListResult ParsePictList1Wide(const uint8_t* record, size_t size, KVX_PICT_FILE_ENTRY* entries,
                                  int32_t maxEntries);

// Second form: u32 (unused), u32 N, N u32 entry offsets; each entry is
// object id, file size, first text offset, file name offset, 4-byte format
// text, value A, value B and (for "Q7I") 28 bytes of multi-part information.
// isMultiPart and multiPartInfo (28 bytes) follow the last filled entry and
// may be null.
PictListResult ParsePictList2(const uint8_t* record, size_t size, KVX_PICT_FILE_ENTRY* entries,
                              int32_t maxEntries, uint8_t* isMultiPart, uint8_t* multiPartInfo);

// PTP_VENDOR_DATA_OUT: the 30-byte header and the record after it.
struct VendorReply {
    uint16_t responseCode = 0;
    uint32_t sessionId = 0;
    uint32_t transactionId = 0;
    uint32_t params[5] = {};
    std::span<const uint8_t> record;
};
// Empty when fewer than 30 bytes are given.
std::optional<VendorReply> ParseVendorReply(const uint8_t* reply, size_t size);

}  // namespace kvx::camlink
