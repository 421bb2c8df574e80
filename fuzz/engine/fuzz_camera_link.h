// A camera link whose every call fails, for fuzz targets to override the few
// calls they feed with fuzz input, and a transfer host that records nothing
// and never sends a command.
#pragma once

#include <cstdint>

#include "engine/camera_link.h"
#include "engine/transfer_host.h"

namespace kvx::fuzz {

using kvx::engine::HResult;

class NullCameraLink : public kvx::engine::ICameraLink {
public:
    HResult InitPTPMode() override { return KVX_E_FAIL; }
    HResult ReleaseDevInfo() override { return KVX_E_FAIL; }
    HResult GetActiveDriverInstance(char*, int32_t) override { return 1; }
    HResult GetCamConfigEx(uint8_t*) override { return KVX_E_FAIL; }
    HResult GetCamStatus(uint8_t*) override { return KVX_E_FAIL; }
    HResult GetCamStatus2(uint8_t*, uint32_t*) override { return KVX_E_FAIL; }
    HResult GetDataGroup1(uint8_t*) override { return KVX_E_FAIL; }
    HResult GetDataGroup2(uint8_t*) override { return KVX_E_FAIL; }
    HResult GetDataGroup3(uint8_t*) override { return KVX_E_FAIL; }
    HResult GetDataGroup4(uint8_t*) override { return KVX_E_FAIL; }
    HResult GetDataGroup5(uint8_t*) override { return KVX_E_FAIL; }
    HResult GetDataGroup6(uint8_t*) override { return KVX_E_FAIL; }
    HResult GetCanSetInfo(uint8_t*) override { return KVX_E_FAIL; }
    HResult GetCanSetInfo2(uint8_t*) override { return KVX_E_FAIL; }
    HResult GetCanSetInfo3(uint8_t*) override { return KVX_E_FAIL; }
    HResult GetCanSetInfo4(uint8_t*) override { return KVX_E_FAIL; }
    HResult GetCaptureStatus(int32_t, uint8_t*) override { return KVX_E_FAIL; }
    HResult GetPictFileInfo(KVX_PICT_FILE_ENTRY*, int32_t, uint32_t*, uint8_t**,
                            uint32_t*) override {
        return KVX_E_FAIL;
    }
    HResult GetPictFileInfo2(KVX_PICT_FILE_ENTRY*, int32_t, uint32_t*, uint8_t*, uint8_t*,
                             uint8_t**, uint32_t*) override {
        return KVX_E_FAIL;
    }
    HResult GetBigPartialPictFile(uint32_t, uint32_t, uint32_t, uint8_t**, uint32_t*) override {
        return KVX_E_FAIL;
    }
    HResult GetCamViewFrame(uint8_t**, uint32_t*) override { return KVX_E_FAIL; }
    HResult ClearImageDBSignle(int32_t) override { return KVX_E_FAIL; }
    HResult CloseApplication() override { return KVX_E_FAIL; }
    HResult SetDataGroup1(uint8_t*) override { return KVX_E_FAIL; }
    HResult SetDataGroup2(uint8_t*) override { return KVX_E_FAIL; }
    HResult SetDataGroup3(uint8_t*) override { return KVX_E_FAIL; }
    HResult SetDataGroup4(uint8_t*) override { return KVX_E_FAIL; }
    HResult SetDataGroup5(uint8_t*) override { return KVX_E_FAIL; }
    HResult SetDataGroup6(uint8_t*) override { return KVX_E_FAIL; }
    HResult Snap(uint8_t*) override { return KVX_E_FAIL; }
    HResult ClockAdjust(uint8_t*) override { return KVX_E_FAIL; }
};

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
