// The camera link of the running program: every call goes to the exports of
// the linked libVARNO_USB2.so. Kept out of camera_link.h so that code which
// only uses the interface never references the exports (the optimizer would
// otherwise devirtualize into them and make every test link the library).
#pragma once

#include "engine/camera_link.h"

namespace kvx::engine {

// Forwards to the exports of the linked library.
class LibraryCameraLink final : public ICameraLink {
public:
    HResult InitPTPMode() override;
    HResult ReleaseDevInfo() override;
    HResult GetActiveDriverInstance(char* out, int32_t outSize) override;
    HResult GetCamConfigEx(uint8_t* out) override;
    HResult GetCamStatus(uint8_t* out) override;
    HResult GetCamStatus2(uint8_t* out, uint32_t* size) override;
    HResult GetDataGroup1(uint8_t* out) override;
    HResult GetDataGroup2(uint8_t* out) override;
    HResult GetDataGroup3(uint8_t* out) override;
    HResult GetDataGroup4(uint8_t* out) override;
    HResult GetDataGroup5(uint8_t* out) override;
    HResult GetDataGroup6(uint8_t* out) override;
    HResult GetCanSetInfo(uint8_t* out) override;
    HResult GetCanSetInfo2(uint8_t* out) override;
    HResult GetCanSetInfo3(uint8_t* out) override;
    HResult GetCanSetInfo4(uint8_t* out) override;
    HResult GetCaptureStatus(int32_t id, uint8_t* out) override;
    HResult GetPictFileInfo(KVX_PICT_FILE_ENTRY* entries, int32_t maxEntries, uint32_t* count,
                            uint8_t** raw, uint32_t* rawLength) override;
    HResult GetPictFileInfo2(KVX_PICT_FILE_ENTRY* entries, int32_t maxEntries, uint32_t* count,
                             uint8_t* isMultiPart, uint8_t* multiPartInfo, uint8_t** raw,
                             uint32_t* actualSize) override;
    HResult GetBigPartialPictFile(uint32_t objectId, uint32_t offset, uint32_t size, uint8_t** data,
                                  uint32_t* actualSize) override;
    HResult GetCamViewFrame(uint8_t** data, uint32_t* actualSize) override;
    HResult ClearImageDBSignle(int32_t id) override;
    HResult CloseApplication() override;
    HResult SetDataGroup1(uint8_t* r) override;
    HResult SetDataGroup2(uint8_t* r) override;
    HResult SetDataGroup3(uint8_t* r) override;
    HResult SetDataGroup4(uint8_t* r) override;
    HResult SetDataGroup5(uint8_t* r) override;
    HResult SetDataGroup6(uint8_t* r) override;
    HResult Snap(uint8_t* r) override;
    HResult ClockAdjust(uint8_t* r) override;
};

}  // namespace kvx::engine
