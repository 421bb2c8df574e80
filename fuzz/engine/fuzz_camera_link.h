// A camera link whose every call fails, for fuzz targets to override the few
// calls they feed with fuzz input, and a transfer host that records nothing
// and never sends a command.
#pragma once

#include <cstdint>

#include "engine/null_camera_link.h"
#include "engine/transfer_host.h"

namespace kvx::fuzz {

using kvx::engine::HResult;

using NullCameraLink = kvx::engine::NullCameraLink;

class QuietTransferHost final : public kvx::engine::ITransferHost {
public:
    QuietTransferHost(int protocolMajor, bool extended)
        : major_(protocolMajor), extended_(extended) {}
    int CommState() const override { return state_; }
    void SetCommStateIfRunning(int state) override {
        if (state_ != 0) state_ = state;
    }
    bool ExecCommand() override { return false; }
    bool IsExtendedCamera() const override { return extended_; }
    int ProtocolMajor() const override { return major_; }
    uint16_t LastChangeFlags() const override { return 0x0008; }
    void PostMessage(int, uint32_t, uintptr_t, intptr_t) override { ++posted; }
    bool ActivateAutofocusOverride() override { return false; }

    int posted = 0;

private:
    int major_;
    bool extended_;
    int state_ = 1;
};

}  // namespace kvx::fuzz
