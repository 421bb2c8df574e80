#include "vcam/camera_settings.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <initializer_list>
#include <iterator>
#include <utility>

#include "camlink/device/ptp_container.h"
#include "vcam/operation_codes.h"
#include "vcam/record_layout.h"

namespace kvx::vcam {

namespace {

// Settable bits of the list settings the camera checks before it accepts a
// new value: (code, bit) pairs; a code not listed is refused.
struct ValueBits {
    int group;
    int bit;
    std::vector<std::pair<uint8_t, uint16_t>> codes;
};

// A colour-mode bracketing frame: 0 (frame not used) or a colour mode the
// camera offers.
ValueBits ColourFrame(int bit) {
    return {6,
            bit,
            {{0, 0xFFFF},
             {3, 0x004},
             {4, 0x008},
             {5, 0x010},
             {6, 0x020},
             {7, 0x040},
             {11, 0x200},
             {9, 0x400},
             {10, 0x800},
             {8, 0x080},
             {12, 0x100},
             {2, 0x002}}};
}

const std::vector<ValueBits>& CheckedValues() {
    static const std::vector<ValueBits> table{
        {2, 0, {{1, 0x01}, {2, 0x02}, {3, 0x08}, {4, 0x04}, {5, 0x10}, {6, 0x20}, {7, 0x40}}},
        {2, 2, {{1, 0x01}, {2, 0x02}, {3, 0x04}, {4, 0x08}, {16, 0x10}, {32, 0x20}, {64, 0x40}}},
        {2, 14, {{5, 0x08}, {1, 0x04}, {3, 0x02}, {4, 0x01}, {6, 0x10}}},
        {2, 15, {{1, 0x01}, {3, 0x04}, {2, 0x02}, {4, 0x08}, {8, 0x10}}},
        {2,
         13,
         {{1, 0x001},
          {15, 0x800},
          {2, 0x002},
          {3, 0x004},
          {4, 0x008},
          {5, 0x010},
          {6, 0x020},
          {7, 0x040},
          {14, 0x400},
          {8, 0x080},
          {10, 0x100},
          {12, 0x200},
          {9, 0x080},
          {11, 0x100},
          {13, 0x200}}},
        {5, 3, {{1, 0x01}, {2, 0x02}, {3, 0x04}, {4, 0x08}, {5, 0x10}, {6, 0x20}}},
        // Bracketing amounts on the one-third-stop grid up to 3.0 EV; a
        // bracketing setting names one of six series (0 is none of them).
        {1,
         6,
         {{0, 1}, {3, 1}, {5, 1}, {8, 1}, {11, 1}, {14, 1}, {16, 1}, {19, 1}, {21, 1}, {24, 1}}},
        {1, 7, {{1, 1}, {2, 1}, {3, 1}, {4, 1}, {5, 1}, {6, 1}}},
        {4, 0, {{1, 1}, {2, 1}}},
        {4, 3, {{0, 1}, {1, 1}}},
        {6, 0, {{0, 1}, {1, 1}, {2, 1}}},
        {6, 1, {{3, 1}, {5, 1}}},
        {6, 2, {{2, 1}, {4, 1}, {6, 1}, {8, 1}, {10, 1}, {12, 1}, {14, 1}, {16, 1}}},
        {6, 3, {{1, 1}, {2, 1}}},
        ColourFrame(4),
        ColourFrame(6),
        ColourFrame(8),
        ColourFrame(10),
        ColourFrame(12),
    };
    return table;
}

// ISO codes of the auto limits: whole stops, or one-third stops.
bool IsoLimitOnGrid(uint8_t code, uint8_t step) {
    static const uint8_t thirds[] = {32, 35, 37, 40, 43, 45, 48, 51, 53, 56,
                                     59, 61, 64, 67, 69, 72, 75, 77, 80};
    if (code < kIsoAutoLowest || code > kIsoAutoHighest) return false;
    if (step == 1) return code % 8 == 0;
    return std::find(std::begin(thirds), std::end(thirds), code) != std::end(thirds);
}

// Days from 2000-01-01 to y-m-d (proleptic Gregorian).
int64_t DaysFrom2000(int y, int m, int d) {
    y -= m <= 2;
    int64_t era = (y >= 0 ? y : y - 399) / 400;
    int64_t yoe = y - era * 400;
    int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468 + 719528 - 730485;
}

CameraClockTime FromSeconds(int64_t t) {
    int64_t days = t / 86400, rest = t % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    int64_t z = days + 730485 - 719528 + 719468;
    int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    int64_t doe = z - era * 146097;
    int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    int64_t mp = (5 * doy + 2) / 153;
    CameraClockTime c;
    c.day = int(doy - (153 * mp + 2) / 5 + 1);
    c.month = int(mp < 10 ? mp + 3 : mp - 9);
    c.year = int(yoe + era * 400 + (c.month <= 2));
    c.hour = int(rest / 3600);
    c.minute = int(rest / 60 % 60);
    c.second = int(rest % 60);
    return c;
}

int64_t SteadySeconds() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

uint16_t MaskFor(int group, int bit) {
    if (group == 2 && bit == 0) return kDriveMask;
    if (group == 2 && bit == 2) return kExposureMask;
    if (group == 2 && bit == 14) return kSizeMask;
    if (group == 2 && bit == 15) return kQualityMask;
    if (group == 2 && bit == 13) return kWhiteBalanceMask;
    if (group == 5 && bit == 3) return kAspectMask;
    if (group == 6 && bit >= 4 && bit % 2 == 0) return kColourModeMask;
    return 0xFFFF;
}

bool WriteChecksumOk(const std::vector<uint8_t>& d) {
    if (d.size() < 2) return false;
    return ByteSum(std::span(d.data(), d.size() - 1)) == d.back();
}

uint8_t QualityFromKind(PictureKind k) {
    switch (k) {
        case PictureKind::Raw:
            return 1;
        case PictureKind::RawJpeg:
            return 3;
        case PictureKind::Q7i:
            return 1;
        default:
            return 2;
    }
}

}  // namespace

PictureKind KindFromQuality(uint8_t quality) {
    if (quality == 1) return PictureKind::Raw;
    if (quality == 3) return PictureKind::RawJpeg;
    return PictureKind::Jpeg;
}

CameraSettings::CameraSettings(const VirtualCameraOptions& opt) {
    for (int g = 1; g <= 6; ++g) groups_[g - 1].assign(GroupFullSize(g), 0);
    auto set = [&](int g, int bit, std::initializer_list<uint8_t> v) {
        std::copy(v.begin(), v.end(), groups_[g - 1].begin() + GroupField(g, bit).offset);
    };
    // 1: 1/60 s, F5.0, ISO 200, 3-shot bracketing of 1 EV, card ready
    set(1, 0, {104});
    set(1, 1, {45});
    set(1, 2, {0});
    set(1, 3, {0});
    set(1, 4, {40});
    set(1, 5, {0});
    set(1, 6, {8});
    set(1, 7, {1});
    set(1, 8, {1});
    set(1, 9, {uint8_t(opt.remainingShots), uint8_t(opt.remainingShots >> 8)});
    set(1, 10, {1});
    set(1, 12, {10});
    set(1, 13, {0});
    set(1, 14, {0});
    set(1, 15, {0});
    // 2: single frame, P, evaluative, AF-S, sync off, auto white balance, HI
    set(2, 0, {1});
    set(2, 1, {0});
    set(2, 2, {1});
    set(2, 3, {1});
    set(2, 4, {0});
    set(2, 5, {1});
    set(2, 7, {0});
    set(2, 8, {0});
    set(2, 9, {2});
    set(2, 10, {0});
    set(2, 11, {0});
    set(2, 12, {0});
    set(2, 13, {1});
    set(2, 14, {1});
    set(2, 15, {QualityFromKind(opt.picture)});
    // 3: neutral parameters, sRGB, Standard, an 18-55 mm zoom
    set(3, 3, {1});
    set(3, 4, {3});
    set(3, 6, {0x20, 0x01});
    set(3, 7, {0x70, 0x03});
    set(3, 8, {1});
    set(3, 9, {4});
    set(3, 10, {1});
    set(3, 11, {2});
    set(3, 12, {1});
    set(3, 13, {4});
    // 4: one-third ISO steps, auto range 100..3200, crop off, fit
    set(4, 0, {2});
    set(4, 1, {72});
    set(4, 2, {32});
    set(4, 3, {0});
    set(4, 4, {1});
    set(4, 5, {1});
    // 5: 60 s interval, 5500 K, 3:2, free focus point in the middle
    set(5, 0, {60, 0, 0, 0, 0, 0});
    set(5, 1, {0x7C, 0x15});
    set(5, 2, {0, 0});
    set(5, 3, {3});
    set(5, 4, {1});
    set(5, 5, {1});
    set(5, 6, {1});
    set(5, 8, {0});
    set(5, 9, {2});
    set(5, 11, {2, 32, 21, 2});  // free move, at the centre fixed point (3-pixel steps)
    set(5, 12, {10, 10});
    set(5, 13, {0});
    set(5, 14, {0, 0, 0});
    set(5, 15, {1});
    // 6: white-balance bracketing, 3 shots of 2 along B-A; colour frames
    set(6, 0, {1});
    set(6, 1, {3});
    set(6, 2, {2});
    set(6, 3, {1});
    set(6, 4, {3});
    set(6, 5, {0, 0, 0, 1, 1});
    set(6, 6, {4});
    set(6, 7, {0, 0, 0, 1, 1});
    set(6, 8, {5});
    set(6, 9, {0, 0, 0, 1, 1});
    set(6, 10, {6});
    set(6, 11, {0, 0, 0, 1, 1});
    set(6, 12, {7});
    set(6, 13, {0, 0, 0, 1, 1});
    destination_ = opt.destination & 0x03;
    // The clock starts at the turn of 2020 until a host sets it.
    clockBase_ = DaysFrom2000(2020, 1, 1) * 86400;
    clockSetAt_ = SteadySeconds();
}

uint16_t CameraSettings::WriteFromHost(int g, const std::vector<uint8_t>& d) {
    if (!WriteChecksumOk(d) || d.size() < 5) return kInvalidParameter;
    size_t count = d[0];
    if (count < 3 || 1 + count > d.size() - 1) return kInvalidParameter;
    uint16_t mask = uint16_t(d[1] | d[2] << 8);
    if (mask == 0 || (mask & (mask - 1))) return kInvalidParameter;  // one field per request
    int bit = std::countr_zero(mask);
    std::span<const uint8_t> value(d.data() + 3, count - 2);
    if (g == 3 && bit == kBitDestination) {
        // Where new pictures go: bit 0x01 the card, bit 0x02 the computer.
        destination_ = value[0] & 0x03;
        return kOk;
    }
    const FieldSlot& slot = GroupField(g, bit);
    if (!slot.width || !slot.writable || value.size() > slot.width) return kInvalidParameter;
    std::vector<uint8_t>& full = groups_[g - 1];
    if (value.size() == 1 && slot.width > 1) return kInvalidParameter;
    if (g == 1 && bit == 2) {
        // Program shift moves relative to where it is.
        full[slot.offset] = uint8_t(int8_t(full[slot.offset]) + int8_t(value[0]));
    } else {
        if (!ValueAllowed(g, bit, value[0]) || !WriteAllowed(g, bit, value))
            return kInvalidParameter;
        if (g == 5 && bit == 0 && (value.size() < 2 || (value[0] | value[1] << 8) < 7))
            return kInvalidParameter;  // intervals start at 7 s
        std::copy(value.begin(), value.end(), full.begin() + slot.offset);
    }
    changed_[g - 1] |= mask;
    if (g == 2 && bit == kBitExposureMode) setInfoChanged_ = true;  // program shift only in P
    if (g == 4 && bit == kBitIsoStep) SnapIsoLimits();
    return kOk;
}

bool CameraSettings::WriteAllowed(int g, int bit, std::span<const uint8_t> v) const {
    if (g == 4 && (bit == kBitIsoUpper || bit == kBitIsoLower)) {
        // The auto range keeps its lower limit below its upper one.
        if (!IsoLimitOnGrid(v[0], Field(4, kBitIsoStep))) return false;
        return bit == kBitIsoUpper ? v[0] > Field(4, kBitIsoLower) : v[0] < Field(4, kBitIsoUpper);
    }
    if (g == 6 && bit >= 5 && bit % 2 == 1) {
        // A frame's parameters: contrast, sharpness, saturation, filter, toning.
        if (v.size() != 5) return false;
        for (int i = 0; i < 3; ++i)
            if (int8_t(v[i]) < -10 || int8_t(v[i]) > 10) return false;
        return v[3] >= 1 && v[3] <= 6 && v[4] >= 1 && v[4] <= 10;
    }
    if (g == 1 && bit == kBitBracketAmount) return v[0] <= kLargestBracketAmount;
    return true;
}

void CameraSettings::SnapIsoLimits() {
    // Whole steps take the limits out to the nearest whole stops around them.
    if (Field(4, kBitIsoStep) != 1) return;
    uint8_t lower = uint8_t(Field(4, kBitIsoLower) / 8 * 8);
    uint8_t upper = uint8_t((Field(4, kBitIsoUpper) + 7) / 8 * 8);
    lower = std::clamp<uint8_t>(lower, kIsoAutoLowest, kIsoAutoHighest - 8);
    upper = std::clamp<uint8_t>(upper, uint8_t(lower + 8), kIsoAutoHighest);
    if (lower != Field(4, kBitIsoLower)) SetField(4, kBitIsoLower, lower);
    if (upper != Field(4, kBitIsoUpper)) SetField(4, kBitIsoUpper, upper);
}

bool CameraSettings::ValueAllowed(int g, int bit, uint8_t code) {
    for (const auto& v : CheckedValues()) {
        if (v.group != g || v.bit != bit) continue;
        for (auto [c, b] : v.codes)
            if (c == code) return (b & MaskFor(g, bit)) != 0;
        return false;
    }
    return true;
}

uint16_t CameraSettings::AdjustClock(const std::vector<uint8_t>& d) {
    // 6, seconds, minutes, hours, day, month, year in the century, 0.
    if (!WriteChecksumOk(d) || d.size() < 8 || d[0] != 6) return kInvalidParameter;
    int sec = d[1], min = d[2], hour = d[3], day = d[4], month = d[5], year = d[6];
    if (sec > 59 || min > 59 || hour > 23 || month < 1 || month > 12 || day < 1 || year > 99)
        return kInvalidParameter;  // also the marker values of a host that could not read its clock
    static const int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = year % 4 == 0;
    if (day > kDays[month - 1] || (month == 2 && day == 29 && !leap)) return kInvalidParameter;
    clockBase_ = DaysFrom2000(2000 + year, month, day) * 86400 + hour * 3600 + min * 60 + sec;
    clockSetAt_ = SteadySeconds();
    return kOk;
}

CameraClockTime CameraSettings::ClockNow() const {
    return FromSeconds(clockBase_ + (SteadySeconds() - clockSetAt_));
}

uint16_t CameraSettings::CustomWhiteBalance(int slot) const {
    return slot >= 1 && slot <= 3 ? customWb_[size_t(slot - 1)] : 0;
}

void CameraSettings::StoreCustomWhiteBalance(int slot, uint16_t kelvin) {
    if (slot >= 1 && slot <= 3) customWb_[size_t(slot - 1)] = kelvin;
}

std::vector<uint8_t> CameraSettings::FieldBytes(int group, int bit) const {
    if (group < 1 || group > 6 || bit < 0 || bit > 15) return {};
    if (group == 3 && bit == kBitDestination) return {destination_};
    const FieldSlot& s = GroupField(group, bit);
    if (!s.width) return {};
    const auto& full = groups_[group - 1];
    return std::vector<uint8_t>(full.begin() + s.offset, full.begin() + s.offset + s.width);
}

bool CameraSettings::SetOnBody(int group, int bit, std::span<const uint8_t> value) {
    if (group < 1 || group > 6 || bit < 0 || bit > 15) return false;
    if (group == 3 && bit == kBitDestination) {
        if (value.size() != 1) return false;
        destination_ = value[0] & 0x03;
        return true;
    }
    const FieldSlot& s = GroupField(group, bit);
    if (!s.width || value.size() != s.width) return false;
    std::copy(value.begin(), value.end(), groups_[group - 1].begin() + s.offset);
    changed_[group - 1] |= uint16_t(1u << bit);
    if (group == 2 && bit == kBitExposureMode) setInfoChanged_ = true;
    return true;
}

uint8_t CameraSettings::Field(int g, int bit) const {
    return groups_[g - 1][GroupField(g, bit).offset];
}

void CameraSettings::SetField(int g, int bit, uint8_t v) {
    groups_[g - 1][GroupField(g, bit).offset] = v;
    changed_[g - 1] |= uint16_t(1u << bit);
}

uint16_t CameraSettings::RemainingShots() const {
    size_t at = GroupField(1, kBitRemainingShots).offset;
    return ptp::ReadU16(groups_[0].data() + at);
}

void CameraSettings::SetRemainingShots(uint16_t shots) {
    size_t at = GroupField(1, kBitRemainingShots).offset;
    ptp::WriteU16(groups_[0].data() + at, shots);
    changed_[0] |= uint16_t(1u << kBitRemainingShots);
}

void CameraSettings::ClearChanges() {
    changed_.fill(0);
    setInfoChanged_ = false;
}

}  // namespace kvx::vcam
