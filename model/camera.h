// VARNO::CCamera, the program's image of the camera's settings: the current
// and last received record of every data group and settable-info version, the
// received-flags, and the four exposure value lists built from the conversion
// table. Owned by the main window for the whole run.
//
// Threads: the communication thread stores received records (StoreReceived...)
// and touches the fetch request bits and the DataGroup4-seen flag; everything
// else runs on the main window thread. Received records sit behind their own
// small lock so a poll that overwrites a record while the window merges it
// never tears it.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "model/record_layout.h"

namespace VARNO {

// Fetch request bits (which records the next poll fetches).
inline constexpr uint32_t kFetchDataGroup1 = 0x001;
inline constexpr uint32_t kFetchDataGroup2 = 0x002;
inline constexpr uint32_t kFetchDataGroup3 = 0x004;
inline constexpr uint32_t kFetchCanSetInfo = 0x010;
inline constexpr uint32_t kFetchDataGroup4 = 0x020;
inline constexpr uint32_t kFetchCanSetInfo2 = 0x040;
inline constexpr uint32_t kFetchDataGroup5 = 0x080;
inline constexpr uint32_t kFetchDataGroup6 = 0x100;
inline constexpr uint32_t kFetchCanSetInfo3 = 0x200;
inline constexpr uint32_t kFetchCanSetInfo4 = 0x400;

// Value list entries. Texts are UTF-8, at most 128 characters.
struct tag_SHUTTER_SPEED_INFO {
    uint32_t code = 0;
    int16_t value = 0;  // 0 Bulb, 162 Sync, > 0 tenths of a second, < 0 -N for 1/N s
    std::string text;
    char readout[5] = {};  // four characters for the digital readout
};
struct tag_APERTURE_INFO {
    uint32_t code = 0;
    int16_t value = 0;  // f-number x 10
    std::string text;
};
struct tag_ISO_INFO {
    uint32_t code = 0;
    int16_t value = 0;  // ISO number
    std::string text;
};
struct tag_EXP_INFO {
    uint32_t code = 0;
    int16_t value = 0;  // tenths of a stop
    std::string text;
};

template <typename T>
using ValueList = std::vector<std::unique_ptr<T>>;

// Receives each field a merge stores (data groups) or finds changed (settable info).
class IMergeReport {
public:
    virtual ~IMergeReport() = default;
    // Field `index` (0..7 Field1 bits, 8..15 Field2 bits) of `group` was stored.
    virtual void OnDataGroupField(int group, int index) = 0;
};

class CCamera {
public:
    CCamera();
    virtual ~CCamera();
    CCamera(const CCamera&) = delete;
    CCamera& operator=(const CCamera&) = delete;

    // False when a value list could not be built completely.
    bool IsValid() const { return m_valid; }

    // New link: zero every current and received record and received-flag, put
    // the default settable values back, clear the DataGroup4-seen flag and the
    // fetch request bits. The value lists are left as they are.
    void Clear();

    // ---- communication thread ----
    // Copies at most the record's full size; a shorter record is zero-filled
    // and only its `size` bytes are ever read.
    void StoreReceivedDataGroup(int group, const uint8_t* bytes, size_t size);
    void StoreReceivedCanSetInfo(int version, const uint8_t* bytes, size_t size);

    std::atomic<uint32_t>& FetchRequest() { return m_fetchRequest; }
    bool DataGroup4Seen() const { return m_dataGroup4Seen.load(); }
    void SetDataGroup4Seen(bool seen) { m_dataGroup4Seen.store(seen); }

    // A record stored and not merged yet. While one is, a newer record of the
    // same group is laid over it (the newer fields win) instead of replacing
    // it, so a record of only the changed fields never hides a whole one.
    bool ReceivedDataGroupPending(int group) const;

    // ---- main window thread ----
    // Copy of the last received record; returns its received size (0 = none).
    size_t ReceivedDataGroup(int group, uint8_t* out, size_t outSize) const;
    size_t ReceivedCanSetInfo(int version, uint8_t* out, size_t outSize) const;

    // Merge the received record of `group` into the current one, reporting each
    // stored field in bit order. Logs "--- OnUpdateDataGroupN Field1=..., Field2=...".
    void MergeDataGroup(int group, IMergeReport* report);

    // Merge the received settable-info record of `version`: find the fields that
    // differ from the current record (the CanSetInfo2 exposure mode mask is forced
    // to 0x007F first), copy the received bytes over the current record and set
    // the version's received-flag. Returns the changed fields in dispatch order.
    struct SettableChange {
        SettableField field;
        uint32_t oldValue;
        uint32_t newValue;
    };
    std::vector<SettableChange> MergeCanSetInfo(int version);

    // Current records (full size, fields at full offsets).
    const uint8_t* DataGroup(int group) const;
    uint8_t DataGroupByte(int group, size_t offset) const;
    uint16_t DataGroupU16(int group, size_t offset) const;
    const uint8_t* CanSetInfo(int version) const;
    bool CanSetInfoReceived(int version) const;
    // Newest received version (4, 3, 2, 1), 0 when none has arrived.
    int VersionInForce() const;

    // A settable field of the version in force; nullopt when no version has
    // been received or that version has no such field.
    std::optional<uint32_t> Settable(SettableField field) const;
    // A settable field of the current record of one version (received or not).
    std::optional<uint32_t> SettableOf(int version, SettableField field) const;
    // AE / AF lock availability: bit 0x80 of the metering / AF mode mask of the
    // version in force; available while no version has been received.
    bool AeLockAvailable() const;
    bool AfLockAvailable() const;
    // Flash mask in use: CanSetInfo4's when one has arrived, else CanSetInfo3's.
    uint16_t FlashMaskInUse() const;

    // Test and replay hook: set bytes of a current record directly.
    void SetDataGroupBytes(int group, size_t offset, const uint8_t* bytes, size_t count);

    // ---- value lists ----
    const ValueList<tag_SHUTTER_SPEED_INFO>& ShutterList() const { return m_shutter; }
    const ValueList<tag_APERTURE_INFO>& ApertureList() const { return m_aperture; }
    const ValueList<tag_ISO_INFO>& IsoList() const { return m_iso; }
    const ValueList<tag_EXP_INFO>& ExpList() const { return m_exp; }

    // Exposure-value list positions of -5.0, +5.0, -3.0, +3.0 and 0.0 (-1 if absent).
    int ExpIndexMinus5() const { return m_expMinus5; }
    int ExpIndexPlus5() const { return m_expPlus5; }
    int ExpIndexMinus3() const { return m_expMinus3; }
    int ExpIndexPlus3() const { return m_expPlus3; }
    int ExpIndexZero() const { return m_expZero; }
    // Ends of the exposure compensation (+/-5.0) and flash compensation (+/-3.0)
    // sliders; a list without such an entry (half steps have no +/-5.0) uses its
    // own first and last entries instead.
    int ExpCompBase() const;
    int ExpCompTop() const;
    int FlashCompBase() const;
    int FlashCompTop() const;

    // Builds all four lists from the step choices of the current CanSetInfo record.
    bool BuildLists();
    // ISO list for an ISO step value: 1 = whole steps, anything else one-third steps.
    bool RebuildIsoList(uint8_t isoStep);

    // Lookups (first match from the list head); -1 / nullptr when not found.
    // The shutter lookup applies the code alias 9 -> 116.
    int ShutterIndex(uint32_t code) const;
    int ApertureIndex(uint32_t code) const;
    int IsoIndex(uint32_t code) const;
    int ExpIndex(uint32_t code) const;
    const tag_SHUTTER_SPEED_INFO* ShutterEntry(uint32_t code) const;
    const tag_APERTURE_INFO* ApertureEntry(uint32_t code) const;
    const tag_ISO_INFO* IsoEntry(uint32_t code) const;
    const tag_EXP_INFO* ExpEntry(uint32_t code) const;
    // Code at a list position, -1 when out of range.
    int ShutterCodeAt(int index) const;
    int ApertureCodeAt(int index) const;
    int IsoCodeAt(int index) const;
    int ExpCodeAt(int index) const;
    // Position of "Sync" in the shutter list, -1 when absent.
    int ShutterSyncIndex() const;

private:
    void PutDefaultSettables();

    std::array<std::array<uint8_t, kMaxDataGroupSize>, kDataGroupCount + 1> m_dataGroup{};
    std::array<std::array<uint8_t, kMaxCanSetInfoSize>, kCanSetInfoVersionCount + 1> m_canSet{};
    std::array<bool, kCanSetInfoVersionCount + 1> m_canSetReceived{};

    // Leaf lock: the communication thread stores received records, the
    // window thread merges them. Guards the four m_rx fields below.
    mutable std::mutex m_receivedLock;
    std::array<std::array<uint8_t, kMaxDataGroupSize>, kDataGroupCount + 1> m_rxDataGroup{};
    std::array<size_t, kDataGroupCount + 1> m_rxDataGroupSize{};
    // A stored record the window has not merged yet: the next one is laid over it.
    std::array<bool, kDataGroupCount + 1> m_rxDataGroupPending{};
    std::array<std::array<uint8_t, kMaxCanSetInfoSize>, kCanSetInfoVersionCount + 1> m_rxCanSet{};
    std::array<size_t, kCanSetInfoVersionCount + 1> m_rxCanSetSize{};

    std::atomic<uint32_t> m_fetchRequest{0};
    std::atomic<bool> m_dataGroup4Seen{false};

    ValueList<tag_SHUTTER_SPEED_INFO> m_shutter;
    ValueList<tag_APERTURE_INFO> m_aperture;
    ValueList<tag_ISO_INFO> m_iso;
    ValueList<tag_EXP_INFO> m_exp;
    int m_expMinus5 = -1, m_expPlus5 = -1, m_expMinus3 = -1, m_expPlus3 = -1, m_expZero = -1;
    bool m_valid = false;
};

}  // namespace VARNO
