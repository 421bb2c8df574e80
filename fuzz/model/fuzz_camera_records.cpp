// Received data group and settable-info records with any bytes and any size,
// stored and merged in any order, for group and version numbers in and out of
// range. Every store reads its bytes from against a guard page. A merge may
// change only the record it merges, only inside that record's own size, and
// in a data group only inside the fields it reports.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz/common/byte_reader.h"
#include "fuzz/common/guarded_buffer.h"
#include "model/camera.h"

using namespace VARNO;
using kvx::fuzz::ByteReader;
using kvx::fuzz::GuardedBuffer;

namespace {

struct Snapshot {
    std::array<std::array<uint8_t, kMaxDataGroupSize>, kDataGroupCount + 1> groups{};
    std::array<std::array<uint8_t, kMaxCanSetInfoSize>, kCanSetInfoVersionCount + 1> canSet{};
    std::array<bool, kCanSetInfoVersionCount + 1> received{};
};

// The whole backing array of every record: bytes past a record's size lie
// inside the array and must stay 0.
Snapshot Take(const CCamera& c) {
    Snapshot s;
    for (int g = 1; g <= kDataGroupCount; ++g)
        std::memcpy(s.groups[g].data(), c.DataGroup(g), kMaxDataGroupSize);
    for (int v = 1; v <= kCanSetInfoVersionCount; ++v) {
        std::memcpy(s.canSet[v].data(), c.CanSetInfo(v), kMaxCanSetInfoSize);
        s.received[v] = c.CanSetInfoReceived(v);
    }
    return s;
}

void CheckSlack(const Snapshot& s) {
    for (int g = 1; g <= kDataGroupCount; ++g)
        for (size_t i = kDataGroupSize[g]; i < kMaxDataGroupSize; ++i)
            KVX_FUZZ_CHECK(s.groups[g][i] == 0);
    for (int v = 1; v <= kCanSetInfoVersionCount; ++v)
        for (size_t i = kCanSetInfoSize[v]; i < kMaxCanSetInfoSize; ++i)
            KVX_FUZZ_CHECK(s.canSet[v][i] == 0);
}

class Report final : public IMergeReport {
public:
    void OnDataGroupField(int group, int index) override {
        KVX_FUZZ_CHECK(index >= 0 && index < 16);
        KVX_FUZZ_CHECK(group >= 1 && group <= kDataGroupCount);
        fields.push_back({group, index});
    }
    struct Field {
        int group;
        int index;
    };
    std::vector<Field> fields;
};

int Number(uint8_t b) {
    // Mostly in range, sometimes 0, negative or past the last.
    switch (b >> 6) {
        case 0:
            return -static_cast<int>(b & 0x3F);
        case 1:
            return b & 0x0F;
        default:
            return 1 + (b & 0x07);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static GuardedBuffer bytes(512);
    static CCamera camera;
    camera.Clear();
    ByteReader in(data, size);
    for (int op = 0; op < 64 && !in.Empty(); ++op) {
        const uint8_t kind = in.U8();
        const int n = Number(in.U8());
        switch (kind % 5) {
            case 0:
            case 1: {
                // The size the caller claims is the size of what it hands over.
                const size_t claimed = (kind & 0x80) ? in.U16() % 512 : in.U8() % 120;
                size_t got = 0;
                const uint8_t* src = in.Take(claimed, &got);
                uint8_t* rec = bytes.Place(claimed, src, got);
                const bool group = kind % 5 == 0;
                const bool null = (kind & 0x40) != 0;
                uint8_t before[kMaxCanSetInfoSize] = {};
                const size_t beforeSize = group
                                              ? camera.ReceivedDataGroup(n, before, sizeof before)
                                              : camera.ReceivedCanSetInfo(n, before, sizeof before);
                // A data group record laid over one not merged yet keeps the
                // fields the window has not seen: it is no longer the bytes sent.
                const bool overlaid = group && n >= 1 && n <= kDataGroupCount && !null &&
                                      camera.ReceivedDataGroupPending(n) &&
                                      std::min<size_t>(claimed, kDataGroupSize[n]) >= 3;
                if (group) {
                    camera.StoreReceivedDataGroup(n, null ? nullptr : rec, claimed);
                } else {
                    camera.StoreReceivedCanSetInfo(n, null ? nullptr : rec, claimed);
                }
                uint8_t back[kMaxCanSetInfoSize] = {};
                const size_t stored = group ? camera.ReceivedDataGroup(n, back, sizeof back)
                                            : camera.ReceivedCanSetInfo(n, back, sizeof back);
                const bool valid = group ? (n >= 1 && n <= kDataGroupCount)
                                         : (n >= 1 && n <= kCanSetInfoVersionCount);
                if (!valid) {
                    KVX_FUZZ_CHECK(stored == 0);
                } else if (null) {
                    KVX_FUZZ_CHECK(stored == beforeSize &&
                                   std::memcmp(back, before, sizeof back) == 0);
                } else if (overlaid) {
                    // Never longer than the record, the newer flags kept where
                    // their fields came whole, nothing past the stored size.
                    KVX_FUZZ_CHECK(stored <= kDataGroupSize[n] && stored >= 3);
                    KVX_FUZZ_CHECK(back[0] == rec[0]);
                    for (size_t i = stored; i < sizeof back; ++i) KVX_FUZZ_CHECK(back[i] == 0);
                } else {
                    const size_t full = group ? kDataGroupSize[n] : kCanSetInfoSize[n];
                    KVX_FUZZ_CHECK(stored == std::min(claimed, full));
                    KVX_FUZZ_CHECK(std::memcmp(back, rec, stored) == 0);
                    for (size_t i = stored; i < sizeof back; ++i) KVX_FUZZ_CHECK(back[i] == 0);
                }
                break;
            }
            case 2: {
                const Snapshot before = Take(camera);
                Report report;
                const bool withReport = (kind & 0x80) == 0;
                uint8_t rx[kMaxDataGroupSize] = {};
                const size_t rxSize = camera.ReceivedDataGroup(n, rx, sizeof rx);
                camera.MergeDataGroup(n, withReport ? &report : nullptr);
                const Snapshot after = Take(camera);
                CheckSlack(after);
                KVX_FUZZ_CHECK(after.canSet == before.canSet && after.received == before.received);
                for (int g = 1; g <= kDataGroupCount; ++g) {
                    if (g != n) KVX_FUZZ_CHECK(after.groups[g] == before.groups[g]);
                }
                if (n >= 1 && n <= kDataGroupCount) {
                    // Reported fields come in bit order and only when the record's masks set them.
                    std::array<bool, kMaxDataGroupSize> mayChange{};
                    int previous = -1;
                    for (const auto& f : report.fields) {
                        KVX_FUZZ_CHECK(f.group == n && f.index > previous);
                        previous = f.index;
                        const uint8_t mask = f.index < 8 ? rx[1] : rx[2];
                        KVX_FUZZ_CHECK(rxSize >= 3 && (mask & (1u << (f.index % 8))) != 0);
                        const tag_FIELD_LAYOUT* layout = DataGroupField(n, f.index);
                        KVX_FUZZ_CHECK(layout != nullptr);
                        KVX_FUZZ_CHECK(size_t{layout->offset} + layout->width <= kDataGroupSize[n]);
                        for (int k = 0; k < layout->width; ++k)
                            mayChange[layout->offset + k] = true;
                    }
                    for (size_t i = 0; i < kMaxDataGroupSize; ++i) {
                        if (withReport && !mayChange[i])
                            KVX_FUZZ_CHECK(after.groups[n][i] == before.groups[n][i]);
                    }
                }
                break;
            }
            case 3: {
                const Snapshot before = Take(camera);
                uint8_t rx[kMaxCanSetInfoSize] = {};
                const size_t rxSize = camera.ReceivedCanSetInfo(n, rx, sizeof rx);
                const auto changes = camera.MergeCanSetInfo(n);
                const Snapshot after = Take(camera);
                CheckSlack(after);
                KVX_FUZZ_CHECK(after.groups == before.groups);
                for (int v = 1; v <= kCanSetInfoVersionCount; ++v) {
                    if (v != n)
                        KVX_FUZZ_CHECK(after.canSet[v] == before.canSet[v] &&
                                       after.received[v] == before.received[v]);
                }
                const bool valid = n >= 1 && n <= kCanSetInfoVersionCount;
                if (!valid || rxSize == 0) {
                    KVX_FUZZ_CHECK(changes.empty());
                    if (valid)
                        KVX_FUZZ_CHECK(after.canSet[n] == before.canSet[n] &&
                                       after.received[n] == before.received[n]);
                    break;
                }
                KVX_FUZZ_CHECK(after.received[n]);
                // The received bytes replace the current ones; the rest stay.
                for (size_t i = 0; i < kMaxCanSetInfoSize; ++i) {
                    uint8_t want = i < rxSize ? rx[i] : before.canSet[n][i];
                    if (n == 2 && rxSize >= 7 && (i == 5 || i == 6)) want = i == 5 ? 0x7F : 0x00;
                    KVX_FUZZ_CHECK(after.canSet[n][i] == want);
                }
                std::array<bool, kSettableFieldCount> seen{};
                for (const auto& c : changes) {
                    const int f = static_cast<int>(c.field);
                    KVX_FUZZ_CHECK(f >= 0 && f < kSettableFieldCount && !seen[f]);
                    seen[f] = true;
                    KVX_FUZZ_CHECK(c.oldValue != c.newValue);
                    KVX_FUZZ_CHECK(camera.SettableOf(n, c.field) == c.newValue);
                }
                break;
            }
            default:
                if (kind & 0x80) camera.Clear();
                (void)camera.VersionInForce();
                (void)camera.AeLockAvailable();
                (void)camera.AfLockAvailable();
                (void)camera.FlashMaskInUse();
                break;
        }
    }
    CheckSlack(Take(camera));
    return 0;
}
