// The camera's own reading of its record layouts: field widths of the six
// data groups and the byte-sum checksums its records carry. Written for the
// camera side only; the program has its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace kvx::vcam {

struct FieldSlot {
    uint8_t width = 0;      // 0: the field never appears
    uint8_t offset = 0;     // offset in the full record
    bool writable = false;  // the host may change it
};

// groups 1..6; bit 0..15 (0..7 Field1, 8..15 Field2)
const FieldSlot& GroupField(int group, int bit);
// Full record size with every field present (22, 20, 21, 10, 34, 38).
size_t GroupFullSize(int group);
// Field1/Field2 masks of every field that can appear.
uint16_t GroupPresentMask(int group);
// Op code of the group's read (also its item type in status record 2) and write.
uint16_t GroupReadOp(int group);
uint16_t GroupWriteOp(int group);
// Group number of a read or write op code, 0 when none.
int GroupOfReadOp(uint16_t op);
int GroupOfWriteOp(uint16_t op);

// Low 8 bits of the sum of bytes.
uint8_t ByteSum(std::span<const uint8_t> bytes);

// Packs the fields of mask (bit i = Field1 bit i, bit 8+i = Field2 bit i)
// from a full record into a reply record: length byte, Field1, Field2,
// values, checksum. L is the checksum position minus 2, and the checksum
// covers every byte before it.
std::vector<uint8_t> PackGroupRecord(int group, uint16_t mask, std::span<const uint8_t> full,
                                     bool badChecksum);
// The values of mask packed without the length byte and checksum:
// Field1, Field2, values (the data of a status record 2 item).
std::vector<uint8_t> PackGroupFields(int group, uint16_t mask, std::span<const uint8_t> full);

}  // namespace kvx::vcam
