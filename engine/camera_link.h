// The program's one way to reach the camera link library: the 31 exports it
// binds, behind an interface so engine tests can also run against a scripted
// fake. LibraryCameraLink (library_camera_link.h) calls the real exports of
// libVARNO_USB2.so.
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

}  // namespace kvx::engine
