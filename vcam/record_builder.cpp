#include "vcam/record_builder.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

#include "camlink/device/ptp_container.h"
#include "vcam/record_layout.h"

namespace kvx::vcam {

namespace {

// Live view luma plane (3:2, shown at the display size).
constexpr uint16_t kLiveWidth = 720;
constexpr uint16_t kLiveHeight = 480;

// Settable-info sizes by version 1..4.
constexpr std::array<size_t, 5> kSetInfoSize{0, 39, 57, 112, 102};
constexpr std::array<uint16_t, 5> kSetInfoFlag{0, 0x0010, 0x0040, 0x0200, 0x0400};
constexpr std::array<uint16_t, 7> kGroupFlag{0, 0x0001, 0x0002, 0x0004, 0x0020, 0x0080, 0x0100};

void Put16(std::vector<uint8_t>& v, size_t at, uint16_t x) {
    if (v.size() < at + 2) v.resize(at + 2);
    ptp::WriteU16(v.data() + at, x);
}
void Put32(std::vector<uint8_t>& v, size_t at, uint32_t x) {
    if (v.size() < at + 4) v.resize(at + 4);
    ptp::WriteU32(v.data() + at, x);
}
void Append16(std::vector<uint8_t>& v, uint16_t x) {
    Put16(v, v.size(), x);
}
void Append32(std::vector<uint8_t>& v, uint32_t x) {
    Put32(v, v.size(), x);
}

}  // namespace

std::vector<uint8_t> RecordBuilder::Config(const VirtualCameraOptions& o, bool bad) {
    std::vector<uint8_t> out(53, 0);
    out[0] = 51;
    out[1] = o.protocolValid ? 0x40 : 0x00;
    size_t n = std::min<size_t>(o.name.size(), 45);
    std::memcpy(out.data() + 2, o.name.data(), n);
    Put16(out, 48, o.protocolMajor);
    Put16(out, 50, o.protocolMinor);
    out[52] = uint8_t(ByteSum(std::span(out.data(), 51)) + (bad ? 1 : 0));
    return out;
}

std::vector<uint8_t> RecordBuilder::Status(int16_t state, const CameraSettings& settings,
                                           const std::set<int>& changedIds, int generation,
                                           bool bad) {
    uint16_t flags = 0;
    for (int g = 1; g <= 6; ++g)
        if (settings.Changed(g)) flags |= kGroupFlag[g];
    if (settings.SetInfoChanged()) flags |= kSetInfoFlag[generation];
    uint32_t bits = 0;
    for (int id : changedIds) bits |= 1u << id;
    if (bits) flags |= 0x0008;
    std::vector<uint8_t> out(10, 0);
    out[0] = 8;
    Put16(out, 1, uint16_t(state));
    Put16(out, 3, flags);
    Put32(out, 5, bits);
    // The check covers bytes 0 to 7 (the top byte of the picture bits is
    // outside it) and sits in byte 9.
    out[9] = uint8_t(ByteSum(std::span(out.data(), 8)) + (bad ? 1 : 0));
    return out;
}

std::vector<uint8_t> RecordBuilder::Status2(int16_t state, const CameraSettings& settings,
                                            const std::set<int>& changedIds, int generation) {
    struct Item {
        uint16_t type;
        uint32_t count;
        std::vector<uint8_t> data;
        bool inlined;
    };
    std::vector<Item> items;
    std::vector<uint8_t> stateBytes(2);
    ptp::WriteU16(stateBytes.data(), uint16_t(state));
    items.push_back({2, 2, stateBytes, true});
    if (!changedIds.empty()) {
        std::vector<uint8_t> ids;
        for (int id : changedIds) Append16(ids, uint16_t(id));
        uint32_t count = uint32_t(changedIds.size());
        items.push_back({5, count, ids, count <= 2});
    }
    for (int g = 1; g <= 6; ++g) {
        if (!settings.Changed(g)) continue;
        auto d = PackGroupFields(g, settings.Changed(g), settings.Group(g));
        uint32_t count = uint32_t(d.size());
        items.push_back({GroupReadOp(g), count, d, count <= 4});
    }
    if (settings.SetInfoChanged() && generation == 4) {
        auto rec = SetInfo(4, settings, false);
        uint16_t L = ptp::ReadU16(rec.data());
        std::vector<uint8_t> d(rec.begin() + 2, rec.begin() + 2 + L);
        items.push_back({0x902E, L, d, false});
    }
    std::vector<uint8_t> out(8 + 12 * items.size(), 0);
    Put32(out, 4, uint32_t(items.size()));
    for (size_t i = 0; i < items.size(); ++i) {
        size_t at = 8 + 12 * i;
        Put16(out, at, items[i].type);
        Put32(out, at + 4, items[i].count);
        if (items[i].inlined) {
            uint8_t v[4] = {0, 0, 0, 0};
            std::memcpy(v, items[i].data.data(), std::min<size_t>(4, items[i].data.size()));
            Put32(out, at + 8, ptp::ReadU32(v));
        } else {
            Put32(out, at + 8, uint32_t(out.size()));
            out.insert(out.end(), items[i].data.begin(), items[i].data.end());
        }
    }
    Put32(out, 0, uint32_t(out.size()));
    return out;
}

std::vector<uint8_t> RecordBuilder::CaptureStatus(int id, const PictureStore& store, bool bad) {
    std::vector<uint8_t> out(8, 0);
    out[0] = 6;
    out[1] = uint8_t(id);
    out[2] = uint8_t(store.OldestId().value_or(0xFF));
    out[3] = uint8_t(store.NewestId().value_or(0xFF));
    if (const PictureEntry* e = store.Find(id)) {
        Put16(out, 4, e->status);
        out[6] = e->flags;
    }
    out[7] = uint8_t(ByteSum(std::span(out.data(), 7)) + (bad ? 1 : 0));
    return out;
}

std::vector<uint8_t> RecordBuilder::SetInfo(int v, const CameraSettings& settings, bool bad) {
    std::vector<uint8_t> r(kSetInfoSize[v], 0);
    // program shift only in P
    uint8_t shift = settings.Field(2, kBitExposureMode) == 1 ? 0x01 : 0x00;
    auto b = [&](size_t at, uint8_t x) { r[at] = x; };
    auto w = [&](size_t at, uint16_t x) { ptp::WriteU16(r.data() + at, x); };
    switch (v) {
        case 1:
            b(5, kMeteringMask);
            b(6, kAfMask);
            b(9, kSizeMask);
            b(10, kQualityMask);
            b(11, 160);
            b(12, 16);
            b(13, 0x11);
            b(14, 24);
            b(15, 88);
            b(16, 0x02);
            b(17, shift);
            w(18, 0x807E);
            b(20, 40);
            b(21, 216);
            b(22, 0x02);
            b(23, 0x03);
            b(24, 24);
            w(26, 0x001D);
            b(28, 24);
            b(29, 232);
            w(31, kWhiteBalanceMask);
            b(33, uint8_t(kColourModeMask));
            b(37, 0x03);
            break;
        case 2:
            w(5, kExposureMask);
            w(7, kMeteringMask);
            w(9, kAfMask);
            b(23, kSizeMask);
            b(24, kQualityMask);
            b(25, 160);
            b(26, 16);
            b(27, 0x11);
            b(28, 24);
            b(29, 88);
            b(31, shift);
            b(32, 80);
            b(33, 32);
            b(35, kIsoAutoHighest);  // the ISO auto limits a host may choose
            b(36, kIsoAutoLowest);
            b(37, 40);
            b(38, 216);
            b(40, 0x03);
            b(41, 24);
            w(43, 0x001D);
            b(45, 24);
            b(46, 232);
            w(48, kWhiteBalanceMask);
            w(50, kColourModeMask);
            b(55, 0x03);
            break;
        case 3:
            w(2, kDriveMask);
            w(5, kExposureMask);
            w(7, kMeteringMask);
            w(9, kAfMask);
            b(23, kSizeMask);
            b(24, kQualityMask);
            b(25, 160);
            b(26, 16);
            b(27, 0x11);
            b(28, 24);
            b(29, 88);
            b(31, shift);
            b(32, 80);
            b(33, 32);
            b(34, 0x01);
            b(37, 40);
            b(38, 216);
            b(40, 0x03);
            b(41, 24);
            w(43, 0x001D);
            b(45, 24);
            b(46, 232);
            w(48, kWhiteBalanceMask);
            w(50, kColourModeMask);
            b(55, 0x03);
            w(56, 3600);
            w(58, 7);  // interval timer maximum and minimum, seconds
            w(63, 10000);
            w(65, 2500);
            w(67, 100);
            b(75, kAspectMask);
            // The focus coordinate space the nine fixed points (columns 18,
            // 32, 46; rows 12, 21, 30) sit in, and the free-move range.
            w(83, 64);
            w(85, 42);
            w(87, 8);
            w(89, 55);
            w(91, 6);
            w(93, 36);
            b(104, 0x1F);
            b(107, 0x1F);
            break;
        case 4:
            w(2, kDriveMask);
            b(4, 0x02);
            w(5, kExposureMask);
            w(7, kMeteringMask);
            w(9, kAfMask);
            b(11, kSizeMask);
            b(12, kQualityMask);
            b(13, 160);
            b(14, 16);
            b(15, 0x11);
            b(16, 24);
            b(17, 88);
            b(19, shift);
            b(20, 80);
            b(21, 32);
            b(22, 0x01);
            b(25, 40);
            b(26, 216);
            b(28, 0x03);
            b(29, 24);
            w(31, 0x001D);
            b(33, 24);
            b(34, 232);
            w(36, kWhiteBalanceMask);
            w(38, kColourModeMask);
            b(43, 0x03);
            b(63, kAspectMask);
            b(68, 0x07);
            // Same focus space and free range as version 3.
            w(71, 64);
            w(73, 42);
            w(75, 8);
            w(77, 55);
            w(79, 6);
            w(81, 36);
            b(92, 0x1F);
            b(95, 0x1F);
            b(99, 0x03);
            b(100, 0x07);
            break;
    }
    uint16_t L = uint16_t(r.size() - 3);
    w(0, L);
    r[L + 2] = uint8_t(ByteSum(std::span(r.data(), L + 2)) + (bad ? 1 : 0));
    return r;
}

// First form: count byte, entries (format, value A, value B, name, size,
// object id), then the list check byte. Value A is the picture number;
// value B balances the byte sum of everything before the check byte to
// zero, so the check holds whether the host counts the count byte into
// the list length or not.
std::vector<uint8_t> RecordBuilder::ListFirstForm(const PictureEntry* e,
                                                  const std::vector<PictureFile>& files, bool bad) {
    std::vector<uint8_t> out{0};
    size_t balanceAt = 0;
    if (e) {
        out[0] = uint8_t(files.size());
        for (const auto& f : files) {
            Append16(out, f.format);
            Append16(out, uint16_t(e->number));
            balanceAt = out.size();
            Append16(out, 0);
            out.insert(out.end(), f.name.begin(), f.name.end());
            out.push_back(0);
            Append32(out, uint32_t(std::min<uint64_t>(f.size, 0xFFFFFFFFu)));
            Append32(out, f.objectId);
        }
    }
    uint8_t sum = ByteSum(out);
    if (e) {
        out[balanceAt] = uint8_t(-sum + (bad ? 1 : 0));
        out.push_back(0);
    } else {
        out.push_back(bad ? 1 : 0);
    }
    return out;
}

// Second form. The check byte lies at the reported size, that is just past
// what the camera sends, where the host's cleared buffer holds 0: so the
// camera makes the byte sum of its whole record 0 (with byte 3 of the unused
// leading word) and ends it with a 0 byte. The check then holds whether the
// host counts the size with or without its own header, or takes the last
// byte as the check byte.
std::vector<uint8_t> RecordBuilder::ListSecondForm(const PictureEntry* e,
                                                   const std::vector<PictureFile>& files,
                                                   bool bad) {
    uint32_t n = e ? uint32_t(files.size()) : 0;
    std::vector<uint8_t> out(8 + 4 * n, 0);
    Put32(out, 4, n);
    std::vector<size_t> entryAt;
    for (uint32_t i = 0; i < n; ++i) {
        entryAt.push_back(out.size());
        Put32(out, 8 + 4 * i, uint32_t(out.size()));
        out.resize(out.size() + 52, 0);
    }
    for (uint32_t i = 0; i < n; ++i) {
        const PictureFile& f = files[i];
        size_t E = entryAt[i];
        Put32(out, E + 0, f.objectId);
        Put32(out, E + 4, uint32_t(std::min<uint64_t>(f.size, 0xFFFFFFFFu)));
        static const char folder[] = "100VARNO";
        Put32(out, E + 8, uint32_t(out.size()));
        out.insert(out.end(), folder, folder + sizeof folder);
        Put32(out, E + 12, uint32_t(out.size()));
        out.insert(out.end(), f.name.begin(), f.name.end());
        out.push_back(0);
        const char* format = f.format == kFormatQ7f   ? "Q7F"
                             : f.format == kFormatQ7i ? "Q7I"
                                                      : "JPG";
        std::memcpy(out.data() + E + 16, format, 4);
        Put16(out, E + 20, uint16_t(e->number));
        Put16(out, E + 22, 0);
        if (f.format == kFormatQ7i) {
            size_t M = E + 24;
            Put16(out, M + 0, f.part);
            Put16(out, M + 2, f.parts);
            Put32(out, M + 8, kQ7iHeaderA);
            Put32(out, M + 16, kQ7iHeaderB);
            Put32(out, M + 24, kQ7iTrailer);
            if (f.part == f.parts) {
                Put32(out, M + 4, uint32_t(out.size()));
                out.insert(out.end(), f.headerA.begin(), f.headerA.end());
                out.insert(out.end(), f.headerB.begin(), f.headerB.end());
                Put32(out, M + 20, uint32_t(out.size()));
                out.insert(out.end(), f.trailer.begin(), f.trailer.end());
            }
        }
    }
    out.push_back(0);
    Put16(out, 0, uint16_t(out.size()));
    out[3] = 0;
    out[3] = uint8_t(-ByteSum(out) + (bad ? 1 : 0));
    return out;
}

std::vector<uint8_t> RecordBuilder::LiveViewFrame(uint32_t frame, uint16_t displayWidth,
                                                  uint16_t displayHeight) {
    const uint32_t W = kLiveWidth, H = kLiveHeight, CW = W / 2, CH = H / 2;
    const uint32_t header = 0x24;
    std::vector<uint8_t> out(header + W * H + 2 * CW * CH, 0);
    Put32(out, 0, uint32_t(out.size()));
    Put32(out, 4, frame);
    Put16(out, 0x08, 1);
    Put16(out, 0x0E, uint16_t(W));
    Put16(out, 0x10, uint16_t(H));
    Put16(out, 0x12, displayWidth);
    Put16(out, 0x14, displayHeight);
    uint32_t yAt = header, cbAt = header + W * H, crAt = cbAt + CW * CH;
    Put32(out, 0x18, yAt);
    Put32(out, 0x1C, cbAt);
    Put32(out, 0x20, crAt);
    // A diagonal ramp drifting right with a bright bar sweeping across, and
    // colour ramps that shift with the frame count.
    uint32_t bar = (frame * 8) % W;
    for (uint32_t y = 0; y < H; ++y) {
        uint8_t* row = out.data() + yAt + y * W;
        for (uint32_t x = 0; x < W; ++x) {
            uint32_t d = x >= bar ? x - bar : bar - x;
            row[x] = d < 12 ? 235 : uint8_t(16 + ((x + y + frame * 4) % 200));
        }
    }
    for (uint32_t y = 0; y < CH; ++y) {
        for (uint32_t x = 0; x < CW; ++x) {
            out[cbAt + y * CW + x] = uint8_t(64 + (x * 128 / CW + frame) % 128);
            out[crAt + y * CW + x] = uint8_t(64 + (y * 128 / CH + frame / 2) % 128);
        }
    }
    return out;
}

}  // namespace kvx::vcam
