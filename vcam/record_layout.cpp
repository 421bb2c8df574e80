#include "vcam/record_layout.h"

#include <array>

namespace kvx::vcam {

namespace {

struct GroupTable {
    std::array<uint8_t, 16> widths;
    uint16_t writable;  // bit i = Field1 bit i, bit 8+i = Field2 bit i
    uint16_t readOp;
    uint16_t writeOp;
};

// Widths in bit order, Field1 bits 0..7 then Field2 bits 0..7.
constexpr std::array<GroupTable, 6> kGroups{{
    // 1: exposure values, card, battery, bracketing progress (Field2 is the camera's own)
    {{1, 1, 1, 1, 1, 1, 1, 1, 1, 2, 1, 2, 1, 1, 1, 1}, 0x00FF, 0x9012, 0x9016},
    // 2: modes, locks, flash, white balance, image format
    {{1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}, 0xF6BF, 0x9013, 0x9017},
    // 3: picture parameters, lens, setup; Field2 0x80 is the write-only destination
    {{1, 1, 1, 1, 1, 1, 2, 2, 1, 1, 1, 1, 1, 1, 1, 0}, 0xBB1F, 0x9014, 0x9018},
    // 4: ISO step, special modes, magnification
    {{1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0x003F, 0x9023, 0x9024},
    // 5: timer, colour, focus frame, batteries
    {{6, 2, 2, 1, 1, 1, 1, 1, 1, 1, 2, 4, 2, 1, 3, 1}, 0x8B7F, 0x9027, 0x9028},
    // 6: special bracketing
    {{1, 1, 1, 1, 1, 5, 1, 5, 1, 5, 1, 5, 1, 5, 0, 0}, 0x3FFF, 0x9029, 0x902A},
}};

struct Slots {
    std::array<std::array<FieldSlot, 16>, 6> slot{};
    std::array<size_t, 6> full{};
    std::array<uint16_t, 6> present{};
    Slots() {
        for (size_t g = 0; g < 6; ++g) {
            uint8_t offset = 3;
            for (int b = 0; b < 16; ++b) {
                FieldSlot& s = slot[g][b];
                s.width = kGroups[g].widths[b];
                s.writable = (kGroups[g].writable >> b) & 1;
                if (s.width) {
                    s.offset = offset;
                    offset = uint8_t(offset + s.width);
                    present[g] |= uint16_t(1u << b);
                }
            }
            full[g] = size_t(offset) + 1;
        }
    }
};

const Slots& Table() {
    static const Slots slots;
    return slots;
}

}  // namespace

const FieldSlot& GroupField(int group, int bit) {
    static const FieldSlot none{};
    if (group < 1 || group > 6 || bit < 0 || bit > 15) return none;
    return Table().slot[group - 1][bit];
}

size_t GroupFullSize(int group) {
    return group >= 1 && group <= 6 ? Table().full[group - 1] : 0;
}
uint16_t GroupPresentMask(int group) {
    return group >= 1 && group <= 6 ? Table().present[group - 1] : 0;
}
uint16_t GroupReadOp(int group) {
    return group >= 1 && group <= 6 ? kGroups[group - 1].readOp : 0;
}
uint16_t GroupWriteOp(int group) {
    return group >= 1 && group <= 6 ? kGroups[group - 1].writeOp : 0;
}
int GroupOfReadOp(uint16_t op) {
    for (int g = 1; g <= 6; ++g)
        if (kGroups[g - 1].readOp == op) return g;
    return 0;
}
int GroupOfWriteOp(uint16_t op) {
    for (int g = 1; g <= 6; ++g)
        if (kGroups[g - 1].writeOp == op) return g;
    return 0;
}

uint8_t ByteSum(std::span<const uint8_t> bytes) {
    unsigned sum = 0;
    for (uint8_t b : bytes) sum += b;
    return uint8_t(sum);
}

std::vector<uint8_t> PackGroupFields(int group, uint16_t mask, std::span<const uint8_t> full) {
    mask &= GroupPresentMask(group);
    std::vector<uint8_t> out{uint8_t(mask), uint8_t(mask >> 8)};
    for (int b = 0; b < 16; ++b) {
        if (!((mask >> b) & 1)) continue;
        const FieldSlot& s = GroupField(group, b);
        for (int i = 0; i < s.width; ++i)
            out.push_back(size_t(s.offset + i) < full.size() ? full[s.offset + i] : 0);
    }
    return out;
}

std::vector<uint8_t> PackGroupRecord(int group, uint16_t mask, std::span<const uint8_t> full,
                                     bool badChecksum) {
    std::vector<uint8_t> fields = PackGroupFields(group, mask, full);
    std::vector<uint8_t> out;
    out.reserve(fields.size() + 2);
    // The checksum sits at L + 2: L counts the values plus one.
    out.push_back(uint8_t(fields.size() - 1));
    out.insert(out.end(), fields.begin(), fields.end());
    uint8_t sum = ByteSum(out);
    out.push_back(badChecksum ? uint8_t(sum + 1) : sum);
    return out;
}

}  // namespace kvx::vcam
