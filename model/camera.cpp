#include "model/camera.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <new>

#include "log/write_log.h"
#include "model/display_text.h"
#include "model/exposure_table.h"

namespace VARNO {

namespace {

bool ValidGroup(int group) {
    return group >= 1 && group <= kDataGroupCount;
}
bool ValidVersion(int version) {
    return version >= 1 && version <= kCanSetInfoVersionCount;
}

// The ISO values of the two step modes.
constexpr int16_t kWholeStepIso[] = {100, 200, 400, 800, 1600, 3200, 6400};
constexpr int16_t kThirdStepIso[] = {100,  125,  160,  200,  250,  320,  400,  500,  640, 800,
                                     1000, 1250, 1600, 2000, 2500, 3200, 4000, 5000, 6400};

template <typename List>
int IndexOf(const List& list, uint32_t code) {
    for (size_t i = 0; i < list.size(); ++i) {
        if (list[i]->code == code) return static_cast<int>(i);
    }
    return -1;
}

template <typename List>
int CodeAt(const List& list, int index) {
    if (index < 0 || static_cast<size_t>(index) >= list.size()) return -1;
    return static_cast<int>(list[index]->code);
}

}  // namespace

CCamera::CCamera() {
    PutDefaultSettables();
    m_valid = BuildLists();
}

CCamera::~CCamera() = default;

void CCamera::PutDefaultSettables() {
    // Before the camera's first CanSetInfo: Bulb offered, one-third-step columns,
    // every whole ISO step and ISO auto settable, exposure compensation +/-5.0.
    uint8_t* r = m_canSet[1].data();
    r[13] = 0x05;
    r[16] = 0x02;
    r[18] = 0xFE;
    r[19] = 0x80;
    r[20] = 0x28;
    r[21] = 0xD8;
    r[22] = 0x02;
}

void CCamera::Clear() {
    for (auto& g : m_dataGroup) g.fill(0);
    for (auto& c : m_canSet) c.fill(0);
    m_canSetReceived.fill(false);
    {
        std::lock_guard<std::mutex> lock(m_receivedLock);
        for (auto& g : m_rxDataGroup) g.fill(0);
        for (auto& c : m_rxCanSet) c.fill(0);
        m_rxDataGroupSize.fill(0);
        m_rxDataGroupPending.fill(false);
        m_rxCanSetSize.fill(0);
    }
    PutDefaultSettables();
    m_dataGroup4Seen.store(false);
    m_fetchRequest.store(0);
}

namespace {

// The whole fields of a received data group record, by field index; a field
// the masks promise beyond the record's end, and every field after it, is
// left out, as the merge leaves them.
struct UnpackedGroup {
    uint16_t present = 0;  // bit i: field i was reported (with its bytes when it has any)
    std::array<std::array<uint8_t, 8>, 16> value{};  // the widest field has 6 bytes
};

UnpackedGroup UnpackGroup(int group, const uint8_t* rx, size_t size) {
    UnpackedGroup u;
    if (size < 3) return u;
    size_t pos = 3;
    for (int index = 0; index < 16; ++index) {
        const uint8_t mask = index < 8 ? rx[1] : rx[2];
        if ((mask & (1u << (index % 8))) == 0) continue;
        const tag_FIELD_LAYOUT* f = DataGroupField(group, index);
        if (f == nullptr || f->width > u.value[index].size() || pos + f->width > size) break;
        std::memcpy(u.value[index].data(), rx + pos, f->width);
        pos += f->width;
        u.present = static_cast<uint16_t>(u.present | (1u << index));
    }
    return u;
}

}  // namespace

void CCamera::StoreReceivedDataGroup(int group, const uint8_t* bytes, size_t size) {
    if (!ValidGroup(group) || bytes == nullptr) return;
    const size_t n = std::min(size, kDataGroupSize[group]);
    std::lock_guard<std::mutex> lock(m_receivedLock);
    auto& rx = m_rxDataGroup[group];
    if (m_rxDataGroupPending[group] && n >= 3) {
        // The window has not merged the last record yet: a record of only the
        // changed fields must not wipe out the others it has not seen (the
        // whole record fetched at link start, say). Both become one record,
        // the newer field winning.
        UnpackedGroup both = UnpackGroup(group, rx.data(), m_rxDataGroupSize[group]);
        const UnpackedGroup newer = UnpackGroup(group, bytes, n);
        for (int index = 0; index < 16; ++index)
            if (newer.present & (1u << index)) both.value[index] = newer.value[index];
        both.present = static_cast<uint16_t>(both.present | newer.present);
        std::array<uint8_t, kMaxDataGroupSize> packed{};
        size_t pos = 3;
        for (int index = 0; index < 16; ++index) {
            if ((both.present & (1u << index)) == 0) continue;
            const tag_FIELD_LAYOUT* f = DataGroupField(group, index);
            std::memcpy(packed.data() + pos, both.value[index].data(), f->width);
            pos += f->width;
        }
        packed[0] = bytes[0];
        packed[1] = static_cast<uint8_t>(both.present & 0xFF);
        packed[2] = static_cast<uint8_t>(both.present >> 8);
        rx = packed;
        // As long as the longer of the two (the fields end at pos either way).
        m_rxDataGroupSize[group] = std::min(std::max(pos + 1, n), kDataGroupSize[group]);
        return;
    }
    rx.fill(0);
    std::memcpy(rx.data(), bytes, n);
    m_rxDataGroupSize[group] = n;
    m_rxDataGroupPending[group] = true;
}

bool CCamera::ReceivedDataGroupPending(int group) const {
    if (!ValidGroup(group)) return false;
    std::lock_guard<std::mutex> lock(m_receivedLock);
    return m_rxDataGroupPending[group];
}

void CCamera::StoreReceivedCanSetInfo(int version, const uint8_t* bytes, size_t size) {
    if (!ValidVersion(version) || bytes == nullptr) return;
    const size_t n = std::min(size, kCanSetInfoSize[version]);
    std::lock_guard<std::mutex> lock(m_receivedLock);
    auto& rx = m_rxCanSet[version];
    rx.fill(0);
    std::memcpy(rx.data(), bytes, n);
    m_rxCanSetSize[version] = n;
}

size_t CCamera::ReceivedDataGroup(int group, uint8_t* out, size_t outSize) const {
    if (!ValidGroup(group)) return 0;
    std::lock_guard<std::mutex> lock(m_receivedLock);
    const size_t n = m_rxDataGroupSize[group];
    if (out != nullptr) std::memcpy(out, m_rxDataGroup[group].data(), std::min(n, outSize));
    return n;
}

size_t CCamera::ReceivedCanSetInfo(int version, uint8_t* out, size_t outSize) const {
    if (!ValidVersion(version)) return 0;
    std::lock_guard<std::mutex> lock(m_receivedLock);
    const size_t n = m_rxCanSetSize[version];
    if (out != nullptr) std::memcpy(out, m_rxCanSet[version].data(), std::min(n, outSize));
    return n;
}

void CCamera::MergeDataGroup(int group, IMergeReport* report) {
    if (!ValidGroup(group)) return;
    uint8_t rx[kMaxDataGroupSize] = {};
    size_t size = 0;
    {
        std::lock_guard<std::mutex> lock(m_receivedLock);
        size = std::min(m_rxDataGroupSize[group], sizeof rx);
        std::memcpy(rx, m_rxDataGroup[group].data(), size);
        m_rxDataGroupPending[group] = false;
    }
    const uint8_t field1 = size > 1 ? rx[1] : 0;
    const uint8_t field2 = size > 2 ? rx[2] : 0;
    WriteLog(5, "--- OnUpdateDataGroup%d Field1=0x%x, Field2=0x%x", group, field1, field2);
    if (size < 3) return;

    uint8_t* current = m_dataGroup[group].data();
    size_t pos = 3;
    for (int index = 0; index < 16; ++index) {
        const uint8_t mask = index < 8 ? field1 : field2;
        if ((mask & (1u << (index % 8))) == 0) continue;
        const tag_FIELD_LAYOUT* f = DataGroupField(group, index);
        if (f->width == 0) {
            // The capture destination bit is reported although it carries no byte.
            if (group == 3 && index == 15 && report != nullptr)
                report->OnDataGroupField(group, index);
            continue;
        }
        if (pos + f->width > size) {
            // The masks promise more than the camera sent: keep what was whole.
            WriteLog(1, "+++ OnUpdateDataGroup%d: record of %u bytes ends inside field %d +++",
                     group, static_cast<unsigned>(size), index);
            return;
        }
        const uint8_t* value = rx + pos;
        pos += f->width;
        if (group == 5 && index == 0 && (value[0] | (value[1] << 8)) < 7) {
            continue;  // an interval below 7 s is not a timer setting; keep the current one
        }
        std::memcpy(current + f->offset, value, f->width);
        if (report != nullptr) report->OnDataGroupField(group, index);
    }
}

std::vector<CCamera::SettableChange> CCamera::MergeCanSetInfo(int version) {
    std::vector<SettableChange> changes;
    if (!ValidVersion(version)) return changes;
    uint8_t rx[kMaxCanSetInfoSize] = {};
    const size_t size = ReceivedCanSetInfo(version, rx, sizeof rx);
    // Nothing arrived (or the link was reset since the message was posted).
    if (size == 0) return changes;
    if (version == 2 && size >= 7) {
        // This generation reports its exposure modes unreliably: all seven are offered.
        rx[5] = 0x7F;
        rx[6] = 0x00;
    }
    const uint8_t* current = m_canSet[version].data();
    for (int i = 0; i < kSettableFieldCount; ++i) {
        const auto field = static_cast<SettableField>(i);
        uint32_t now = 0, before = 0;
        if (!ReadSettableField(version, field, rx, size, &now)) continue;
        ReadSettableField(version, field, current, kCanSetInfoSize[version], &before);
        if (now != before) changes.push_back({field, before, now});
    }
    // Bytes the camera did not send keep their current value.
    std::memcpy(m_canSet[version].data(), rx, size);
    m_canSetReceived[version] = true;
    return changes;
}

const uint8_t* CCamera::DataGroup(int group) const {
    return ValidGroup(group) ? m_dataGroup[group].data() : nullptr;
}

uint8_t CCamera::DataGroupByte(int group, size_t offset) const {
    if (!ValidGroup(group) || offset >= kDataGroupSize[group]) return 0;
    return m_dataGroup[group][offset];
}

uint16_t CCamera::DataGroupU16(int group, size_t offset) const {
    return static_cast<uint16_t>(DataGroupByte(group, offset) |
                                 (DataGroupByte(group, offset + 1) << 8));
}

void CCamera::SetDataGroupBytes(int group, size_t offset, const uint8_t* bytes, size_t count) {
    if (!ValidGroup(group) || bytes == nullptr || offset >= kDataGroupSize[group]) return;
    std::memcpy(m_dataGroup[group].data() + offset, bytes,
                std::min(count, kDataGroupSize[group] - offset));
}

const uint8_t* CCamera::CanSetInfo(int version) const {
    return ValidVersion(version) ? m_canSet[version].data() : nullptr;
}

bool CCamera::CanSetInfoReceived(int version) const {
    return ValidVersion(version) && m_canSetReceived[version];
}

int CCamera::VersionInForce() const {
    for (int v = kCanSetInfoVersionCount; v >= 1; --v) {
        if (m_canSetReceived[v]) return v;
    }
    return 0;
}

std::optional<uint32_t> CCamera::Settable(SettableField field) const {
    const int v = VersionInForce();
    if (v == 0) return std::nullopt;
    return SettableOf(v, field);
}

std::optional<uint32_t> CCamera::SettableOf(int version, SettableField field) const {
    if (!ValidVersion(version)) return std::nullopt;
    uint32_t value = 0;
    if (!ReadSettableField(version, field, m_canSet[version].data(), kCanSetInfoSize[version],
                           &value)) {
        return std::nullopt;
    }
    return value;
}

bool CCamera::AeLockAvailable() const {
    if (VersionInForce() == 0) return true;
    const auto mask = Settable(SettableField::MeteringMask);
    return mask && (*mask & 0x80) != 0;
}

bool CCamera::AfLockAvailable() const {
    if (VersionInForce() == 0) return true;
    const auto mask = Settable(SettableField::AfModeMask);
    return mask && (*mask & 0x80) != 0;
}

uint16_t CCamera::FlashMaskInUse() const {
    const int v = CanSetInfoReceived(4) ? 4 : 3;
    return static_cast<uint16_t>(SettableOf(v, SettableField::FlashMask).value_or(0));
}

bool CCamera::BuildLists() {
    m_shutter.clear();
    m_aperture.clear();
    m_exp.clear();
    m_expMinus5 = m_expPlus5 = m_expMinus3 = m_expPlus3 = m_expZero = -1;
    const uint8_t flags =
        static_cast<uint8_t>(SettableOf(1, SettableField::ExposureFlags).value_or(0));
    const uint8_t apStep =
        static_cast<uint8_t>(SettableOf(1, SettableField::ApertureStep).value_or(0));
    const uint8_t evStep =
        static_cast<uint8_t>(SettableOf(1, SettableField::ExposureStep).value_or(0));
    try {
        const ExposureColumn shutterColumn =
            (flags & 0x02) ? ExposureColumn::ShutterB : ExposureColumn::ShutterA;
        for (int code = 0; code < 256; ++code) {
            const int16_t v = ConversionValue(shutterColumn, static_cast<uint8_t>(code));
            if (v == kNoValue) continue;
            auto e = std::make_unique<tag_SHUTTER_SPEED_INFO>();
            e->code = static_cast<uint32_t>(code);
            e->value = v;
            e->text = FormatShutter(v);
            std::memcpy(e->readout, ShutterReadoutText(shutterColumn, static_cast<uint8_t>(code)),
                        5);
            m_shutter.push_back(std::move(e));
        }
        const ExposureColumn apColumn =
            (apStep & 0x01) ? ExposureColumn::ApertureB : ExposureColumn::ApertureA;
        for (int code = 0; code < 256; ++code) {
            const int16_t v = ConversionValue(apColumn, static_cast<uint8_t>(code));
            if (v == kNoValue) continue;
            auto e = std::make_unique<tag_APERTURE_INFO>();
            e->code = static_cast<uint32_t>(code);
            e->value = v;
            e->text = FormatAperture(v);
            m_aperture.push_back(std::move(e));
        }
        const ExposureColumn evColumn =
            (evStep & 0x01) ? ExposureColumn::ExpB : ExposureColumn::ExpA;
        for (int n = 0; n < 256; ++n) {
            const int code = (n + 128) & 0xFF;  // most negative value first
            const int16_t v = ConversionValue(evColumn, static_cast<uint8_t>(code));
            if (v == kNoValue) continue;
            const int index = static_cast<int>(m_exp.size());
            if (v == -50) m_expMinus5 = index;
            if (v == 50) m_expPlus5 = index;
            if (v == -30) m_expMinus3 = index;
            if (v == 30) m_expPlus3 = index;
            if (v == 0) m_expZero = index;
            auto e = std::make_unique<tag_EXP_INFO>();
            e->code = static_cast<uint32_t>(code);
            e->value = v;
            e->text = FormatExposureValue(v);
            m_exp.push_back(std::move(e));
        }
    } catch (const std::bad_alloc&) {
        WriteLog(1, "+++ error code = %d at %s +++", 1, "CCamera::BuildLists");
        return false;
    }
    return RebuildIsoList(1);
}

bool CCamera::RebuildIsoList(uint8_t isoStep) {
    m_iso.clear();
    const bool whole = isoStep == 1;
    const uint32_t mask = SettableOf(1, SettableField::IsoWholeStepMask).value_or(0);
    try {
        for (int code = 0; code < 256; ++code) {
            const int16_t v = ConversionValue(ExposureColumn::Iso, static_cast<uint8_t>(code));
            if (v == kNoValue) continue;
            bool keep = false;
            if (whole) {
                for (size_t i = 0; i < std::size(kWholeStepIso); ++i) {
                    if (kWholeStepIso[i] == v) keep = (mask & (0x02u << i)) != 0;
                }
            } else {
                keep = std::find(std::begin(kThirdStepIso), std::end(kThirdStepIso), v) !=
                       std::end(kThirdStepIso);
            }
            if (!keep) continue;
            auto e = std::make_unique<tag_ISO_INFO>();
            e->code = static_cast<uint32_t>(code);
            e->value = v;
            e->text = FormatIso(v);
            m_iso.push_back(std::move(e));
        }
    } catch (const std::bad_alloc&) {
        WriteLog(1, "+++ error code = %d at %s +++", 2, "CCamera::RebuildIsoList");
        return false;
    }
    return true;
}

int CCamera::ShutterIndex(uint32_t code) const {
    return IndexOf(m_shutter, code == 9 ? 116 : code);
}
int CCamera::ApertureIndex(uint32_t code) const {
    return IndexOf(m_aperture, code);
}
int CCamera::IsoIndex(uint32_t code) const {
    return IndexOf(m_iso, code);
}
int CCamera::ExpIndex(uint32_t code) const {
    return IndexOf(m_exp, code);
}

const tag_SHUTTER_SPEED_INFO* CCamera::ShutterEntry(uint32_t code) const {
    const int i = ShutterIndex(code);
    return i < 0 ? nullptr : m_shutter[i].get();
}
const tag_APERTURE_INFO* CCamera::ApertureEntry(uint32_t code) const {
    const int i = ApertureIndex(code);
    return i < 0 ? nullptr : m_aperture[i].get();
}
const tag_ISO_INFO* CCamera::IsoEntry(uint32_t code) const {
    const int i = IsoIndex(code);
    return i < 0 ? nullptr : m_iso[i].get();
}
const tag_EXP_INFO* CCamera::ExpEntry(uint32_t code) const {
    const int i = ExpIndex(code);
    return i < 0 ? nullptr : m_exp[i].get();
}

int CCamera::ShutterCodeAt(int index) const {
    return CodeAt(m_shutter, index);
}
int CCamera::ApertureCodeAt(int index) const {
    return CodeAt(m_aperture, index);
}
int CCamera::IsoCodeAt(int index) const {
    return CodeAt(m_iso, index);
}
int CCamera::ExpCodeAt(int index) const {
    return CodeAt(m_exp, index);
}

int CCamera::ExpCompBase() const {
    return m_expMinus5 >= 0 ? m_expMinus5 : 0;
}
int CCamera::ExpCompTop() const {
    return m_expPlus5 >= 0 ? m_expPlus5 : static_cast<int>(m_exp.size()) - 1;
}
int CCamera::FlashCompBase() const {
    return m_expMinus3 >= 0 ? m_expMinus3 : 0;
}
int CCamera::FlashCompTop() const {
    return m_expPlus3 >= 0 ? m_expPlus3 : static_cast<int>(m_exp.size()) - 1;
}

int CCamera::ShutterSyncIndex() const {
    for (size_t i = 0; i < m_shutter.size(); ++i) {
        if (m_shutter[i]->value == 162) return static_cast<int>(i);
    }
    return -1;
}

}  // namespace VARNO
