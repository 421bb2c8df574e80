// The camera's settings: the six data groups at their full offsets, which
// fields changed since the host last asked, the capture destination and the
// clock. Host writes are checked against the camera's settable masks; changes
// made on the body are taken as they come.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "vcam/virtual_camera.h"

namespace kvx::vcam {

// The camera's masks for its list settings (realistic: most values settable).
constexpr uint16_t kDriveMask = 0x003F;         // interval timer not offered
constexpr uint16_t kExposureMask = 0x003F;      // C3 not offered
constexpr uint8_t kMeteringMask = 0x87;         // spot not offered; AE lock available
constexpr uint8_t kAfMask = 0x87;               // AF lock available
constexpr uint8_t kSizeMask = 0x0F;             // S-LO not offered
constexpr uint8_t kQualityMask = 0x0F;          // BASIC not offered
constexpr uint16_t kWhiteBalanceMask = 0x0DFF;  // Custom 3 not offered
constexpr uint16_t kColourModeMask = 0x0EFE;    // ZEL Classic Yellow not offered
constexpr uint8_t kAspectMask = 0x3E;           // 21:9 not offered

// Field bits (0..7 Field1, 8..15 Field2) the camera itself acts on.
constexpr int kBitDestination = 15;     // group 3, write-only
constexpr int kBitRemainingShots = 9;   // group 1
constexpr int kBitFocusState = 15;      // group 1
constexpr int kBitBracketCounter = 13;  // group 1
constexpr int kBitBracketSetting = 7;   // group 1
constexpr int kBitDriveMode = 0;        // group 2
constexpr int kBitExposureMode = 2;     // group 2
constexpr int kBitAfMode = 5;           // group 2
constexpr int kBitQuality = 15;         // group 2

PictureKind KindFromQuality(uint8_t quality);

class CameraSettings {
public:
    explicit CameraSettings(const VirtualCameraOptions& options);

    // A host write of one field (the set request with its checksum). The
    // response code: 0x2001, or 0x201D for a refused request.
    uint16_t WriteFromHost(int group, const std::vector<uint8_t>& request);
    uint16_t AdjustClock(const std::vector<uint8_t>& request);

    // The bytes of one field (group 3 bit 15: the destination byte); empty
    // for a field the group does not have.
    std::vector<uint8_t> FieldBytes(int group, int bit) const;
    // Sets a field as if turned on the body: any value of the field's width.
    bool SetOnBody(int group, int bit, std::span<const uint8_t> value);

    uint8_t Field(int group, int bit) const;
    void SetField(int group, int bit, uint8_t value);
    uint16_t RemainingShots() const;
    void SetRemainingShots(uint16_t shots);
    uint8_t Destination() const { return destination_; }

    // The full record of a group (every field at its full offset).
    const std::vector<uint8_t>& Group(int group) const { return groups_[group - 1]; }
    uint16_t Changed(int group) const { return changed_[group - 1]; }
    bool SetInfoChanged() const { return setInfoChanged_; }
    void MarkSetInfoChanged() { setInfoChanged_ = true; }
    void ClearChanges();

private:
    static bool ValueAllowed(int group, int bit, uint8_t code);

    std::array<std::vector<uint8_t>, 6> groups_;
    std::array<uint16_t, 6> changed_{};
    bool setInfoChanged_ = false;
    uint8_t destination_ = 2;
    std::array<uint8_t, 6> clock_{};
};

}  // namespace kvx::vcam
