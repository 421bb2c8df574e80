// The program's one way to reach the camera link library: the 31 exports it
// binds, behind an interface so engine tests can also run against a scripted
// fake. LibraryCameraLink calls the real exports of libVARNO_USB2.so.
#pragma once

#include <cstdint>

#include "camlink/varno_usb.h"

namespace kvx::engine {

using HResult = int32_t;

class ICameraLink {
public:
    virtual ~ICameraLink() = default;

    virtual HResult InitPTPMode() = 0;
    virtual HResult ReleaseDevInfo() = 0;
    // 1 when no enumeration has run; else 0 with the 256-byte device id in out.
    virtual HResult GetActiveDriverInstance(char* out, int32_t outSize) = 0;

    virtual HResult GetCamConfigEx(uint8_t* out) = 0;  // 53 bytes
    virtual HResult GetCamStatus(uint8_t* out) = 0;    // 10 bytes
    virtual HResult GetCamStatus2(uint8_t* out, uint32_t* size) = 0;  // 3,080 bytes
    virtual HResult GetDataGroup1(uint8_t* out) = 0;  // 22
    virtual HResult GetDataGroup2(uint8_t* out) = 0;  // 20
    virtual HResult GetDataGroup3(uint8_t* out) = 0;  // 21
    virtual HResult GetDataGroup4(uint8_t* out) = 0;  // 10
    virtual HResult GetDataGroup5(uint8_t* out) = 0;  // 34
    virtual HResult GetDataGroup6(uint8_t* out) = 0;  // 38
    virtual HResult GetCanSetInfo(uint8_t* out) = 0;   // 39
    virtual HResult GetCanSetInfo2(uint8_t* out) = 0;  // 57
    virtual HResult GetCanSetInfo3(uint8_t* out) = 0;  // 112
    virtual HResult GetCanSetInfo4(uint8_t* out) = 0;  // 102
    virtual HResult GetCaptureStatus(int32_t id, uint8_t* out) = 0;  // 8
    virtual HResult GetPictFileInfo(KVX_PICT_FILE_ENTRY* entries, int32_t maxEntries,
                                    uint32_t* count, uint8_t** raw, uint32_t* rawLength) = 0;
    virtual HResult GetPictFileInfo2(KVX_PICT_FILE_ENTRY* entries, int32_t maxEntries,
                                     uint32_t* count, uint8_t* isMultiPart, uint8_t* multiPartInfo,
                                     uint8_t** raw, uint32_t* actualSize) = 0;
    virtual HResult GetBigPartialPictFile(uint32_t objectId, uint32_t offset, uint32_t size,
                                          uint8_t** data, uint32_t* actualSize) = 0;
    virtual HResult GetCamViewFrame(uint8_t** data, uint32_t* actualSize) = 0;

    virtual HResult ClearImageDBSignle(int32_t id) = 0;
    virtual HResult CloseApplication() = 0;

    virtual HResult SetDataGroup1(uint8_t* record) = 0;
    virtual HResult SetDataGroup2(uint8_t* record) = 0;
    virtual HResult SetDataGroup3(uint8_t* record) = 0;
    virtual HResult SetDataGroup4(uint8_t* record) = 0;
    virtual HResult SetDataGroup5(uint8_t* record) = 0;
    virtual HResult SetDataGroup6(uint8_t* record) = 0;
    virtual HResult Snap(uint8_t* record) = 0;
    virtual HResult ClockAdjust(uint8_t* record) = 0;
};

// Forwards to the exports of the linked library.
class LibraryCameraLink final : public ICameraLink {
public:
    HResult InitPTPMode() override { return InitPTPMode_Parts(); }
    HResult ReleaseDevInfo() override { return ReleaseDevInfo_Parts(); }
    HResult GetActiveDriverInstance(char* out, int32_t outSize) override {
        return ZR4_GetActiveDriverInstance(out, outSize);
    }
    HResult GetCamConfigEx(uint8_t* out) override { return ZR4_GetCamConfigEx(out); }
    HResult GetCamStatus(uint8_t* out) override { return ZR4_GetCamStatus(out); }
    HResult GetCamStatus2(uint8_t* out, uint32_t* size) override { return ZR4_GetCamStatus2(out, size); }
    HResult GetDataGroup1(uint8_t* out) override { return ZR4_GetDataGroup1(out); }
    HResult GetDataGroup2(uint8_t* out) override { return ZR4_GetDataGroup2(out); }
    HResult GetDataGroup3(uint8_t* out) override { return ZR4_GetDataGroup3(out); }
    HResult GetDataGroup4(uint8_t* out) override { return ZR4_GetDataGroup4(out); }
    HResult GetDataGroup5(uint8_t* out) override { return ZR4_GetDataGroup5(out); }
    HResult GetDataGroup6(uint8_t* out) override { return ZR4_GetDataGroup6(out); }
    HResult GetCanSetInfo(uint8_t* out) override { return ZR4_GetCanSetInfo(out); }
    HResult GetCanSetInfo2(uint8_t* out) override { return ZR4_GetCanSetInfo2(out); }
    HResult GetCanSetInfo3(uint8_t* out) override { return ZR4_GetCanSetInfo3(out); }
    HResult GetCanSetInfo4(uint8_t* out) override { return ZR4_GetCanSetInfo4(out); }
    HResult GetCaptureStatus(int32_t id, uint8_t* out) override { return ZR4_GetCaptureStatus(id, out); }
    HResult GetPictFileInfo(KVX_PICT_FILE_ENTRY* entries, int32_t maxEntries, uint32_t* count,
                            uint8_t** raw, uint32_t* rawLength) override {
        return ZR4_GetPictFileInfo(entries, maxEntries, count, raw, rawLength);
    }
    HResult GetPictFileInfo2(KVX_PICT_FILE_ENTRY* entries, int32_t maxEntries, uint32_t* count,
                             uint8_t* isMultiPart, uint8_t* multiPartInfo, uint8_t** raw,
                             uint32_t* actualSize) override {
        return ZR4_GetPictFileInfo2(entries, maxEntries, count, isMultiPart, multiPartInfo, raw,
                                    actualSize);
    }
    HResult GetBigPartialPictFile(uint32_t objectId, uint32_t offset, uint32_t size,
                                  uint8_t** data, uint32_t* actualSize) override {
        return ZR4_GetBigPartialPictFile(objectId, offset, size, data, actualSize);
    }
    HResult GetCamViewFrame(uint8_t** data, uint32_t* actualSize) override {
        return ZR4_GetCamViewFrame(data, actualSize);
    }
    HResult ClearImageDBSignle(int32_t id) override { return ZR4_ClearImageDBSignle(id); }
    HResult CloseApplication() override { return ZR4_CloseApplication(); }
    HResult SetDataGroup1(uint8_t* r) override { return ZR4_SetDataGroup1(r); }
    HResult SetDataGroup2(uint8_t* r) override { return ZR4_SetDataGroup2(r); }
    HResult SetDataGroup3(uint8_t* r) override { return ZR4_SetDataGroup3(r); }
    HResult SetDataGroup4(uint8_t* r) override { return ZR4_SetDataGroup4(r); }
    HResult SetDataGroup5(uint8_t* r) override { return ZR4_SetDataGroup5(r); }
    HResult SetDataGroup6(uint8_t* r) override { return ZR4_SetDataGroup6(r); }
    HResult Snap(uint8_t* r) override { return ZR4_Snap(r); }
    HResult ClockAdjust(uint8_t* r) override { return ZR4_ClockAdjust(r); }
};

}  // namespace kvx::engine
