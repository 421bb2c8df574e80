#include "engine/library_camera_link.h"

namespace kvx::engine {

HResult LibraryCameraLink::InitPTPMode() {
    return InitPTPMode_Parts();
}
HResult LibraryCameraLink::ReleaseDevInfo() {
    return ReleaseDevInfo_Parts();
}
HResult LibraryCameraLink::GetActiveDriverInstance(char* out, int32_t outSize) {
    return ZR4_GetActiveDriverInstance(out, outSize);
}
HResult LibraryCameraLink::GetCamConfigEx(uint8_t* out) {
    return ZR4_GetCamConfigEx(out);
}
HResult LibraryCameraLink::GetCamStatus(uint8_t* out) {
    return ZR4_GetCamStatus(out);
}
HResult LibraryCameraLink::GetCamStatus2(uint8_t* out, uint32_t* size) {
    return ZR4_GetCamStatus2(out, size);
}
HResult LibraryCameraLink::GetDataGroup1(uint8_t* out) {
    return ZR4_GetDataGroup1(out);
}
HResult LibraryCameraLink::GetDataGroup2(uint8_t* out) {
    return ZR4_GetDataGroup2(out);
}
HResult LibraryCameraLink::GetDataGroup3(uint8_t* out) {
    return ZR4_GetDataGroup3(out);
}
HResult LibraryCameraLink::GetDataGroup4(uint8_t* out) {
    return ZR4_GetDataGroup4(out);
}
HResult LibraryCameraLink::GetDataGroup5(uint8_t* out) {
    return ZR4_GetDataGroup5(out);
}
HResult LibraryCameraLink::GetDataGroup6(uint8_t* out) {
    return ZR4_GetDataGroup6(out);
}
HResult LibraryCameraLink::GetCanSetInfo(uint8_t* out) {
    return ZR4_GetCanSetInfo(out);
}
HResult LibraryCameraLink::GetCanSetInfo2(uint8_t* out) {
    return ZR4_GetCanSetInfo2(out);
}
HResult LibraryCameraLink::GetCanSetInfo3(uint8_t* out) {
    return ZR4_GetCanSetInfo3(out);
}
HResult LibraryCameraLink::GetCanSetInfo4(uint8_t* out) {
    return ZR4_GetCanSetInfo4(out);
}
HResult LibraryCameraLink::GetCaptureStatus(int32_t id, uint8_t* out) {
    return ZR4_GetCaptureStatus(id, out);
}
HResult LibraryCameraLink::GetPictFileInfo(KVX_PICT_FILE_ENTRY* entries, int32_t maxEntries,
                                           uint32_t* count, uint8_t** raw, uint32_t* rawLength) {
    return ZR4_GetPictFileInfo(entries, maxEntries, count, raw, rawLength);
}
HResult LibraryCameraLink::GetPictFileInfo2(KVX_PICT_FILE_ENTRY* entries, int32_t maxEntries,
                                            uint32_t* count, uint8_t* isMultiPart,
                                            uint8_t* multiPartInfo, uint8_t** raw,
                                            uint32_t* actualSize) {
    return ZR4_GetPictFileInfo2(entries, maxEntries, count, isMultiPart, multiPartInfo, raw,
                                actualSize);
}
HResult LibraryCameraLink::GetBigPartialPictFile(uint32_t objectId, uint32_t offset, uint32_t size,
                                                 uint8_t** data, uint32_t* actualSize) {
    return ZR4_GetBigPartialPictFile(objectId, offset, size, data, actualSize);
}
HResult LibraryCameraLink::GetCamViewFrame(uint8_t** data, uint32_t* actualSize) {
    return ZR4_GetCamViewFrame(data, actualSize);
}
HResult LibraryCameraLink::ClearImageDBSignle(int32_t id) {
    return ZR4_ClearImageDBSignle(id);
}
HResult LibraryCameraLink::CloseApplication() {
    return ZR4_CloseApplication();
}
HResult LibraryCameraLink::SetDataGroup1(uint8_t* r) {
    return ZR4_SetDataGroup1(r);
}
HResult LibraryCameraLink::SetDataGroup2(uint8_t* r) {
    return ZR4_SetDataGroup2(r);
}
HResult LibraryCameraLink::SetDataGroup3(uint8_t* r) {
    return ZR4_SetDataGroup3(r);
}
HResult LibraryCameraLink::SetDataGroup4(uint8_t* r) {
    return ZR4_SetDataGroup4(r);
}
HResult LibraryCameraLink::SetDataGroup5(uint8_t* r) {
    return ZR4_SetDataGroup5(r);
}
HResult LibraryCameraLink::SetDataGroup6(uint8_t* r) {
    return ZR4_SetDataGroup6(r);
}
HResult LibraryCameraLink::Snap(uint8_t* r) {
    return ZR4_Snap(r);
}
HResult LibraryCameraLink::ClockAdjust(uint8_t* r) {
    return ZR4_ClockAdjust(r);
}

}  // namespace kvx::engine
