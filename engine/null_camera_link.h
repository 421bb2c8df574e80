// A camera link whose every command fails, as with no camera open; the link
// query says no enumeration has run. Fakes and fuzz harnesses derive from it
// and answer only the calls they care about.
#pragma once

#include "engine/camera_link.h"

namespace kvx::engine {

class NullCameraLink : public ICameraLink {
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

}  // namespace kvx::engine
