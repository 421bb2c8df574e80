// The camera link library's exported interface: 35 C functions, the same in
// libVARNO_VUR1.so (model code 110) and libVARNO_USB2.so (model code 130).
// Results are signed 32-bit: 0 on success, else the device layer's HRESULT or
// KVX_E_FAIL when no camera is open.
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(KVX_CAMLINK_BUILD)
#define KVX_CAMLINK_API __attribute__((visibility("default")))
#else
#define KVX_CAMLINK_API
#endif

typedef int32_t KVX_HRESULT;

#define KVX_S_OK ((KVX_HRESULT)0)
#define KVX_E_FAIL ((KVX_HRESULT)0x80004005u)
#define KVX_E_INVALIDARG ((KVX_HRESULT)0x80070057u)

// Buffer sizes of one camera link.
#define KVX_REQUEST_BUFFER_SIZE 61254u
#define KVX_REPLY_BUFFER_SIZE 61246u
#define KVX_LARGE_REQUEST_BUFFER_SIZE 2097224u
#define KVX_LARGE_REPLY_BUFFER_SIZE 2097216u
#define KVX_VENDOR_IN_HEADER_SIZE 38u
#define KVX_VENDOR_OUT_HEADER_SIZE 30u

// Record sizes the exports copy.
#define KVX_CAM_CONFIG_SIZE 49u
#define KVX_CAM_CONFIG_EX_SIZE 53u
#define KVX_CAM_STATUS_SIZE 10u
#define KVX_CAM_STATUS2_SIZE 3080u
#define KVX_DATA_GROUP1_SIZE 22u
#define KVX_DATA_GROUP2_SIZE 20u
#define KVX_DATA_GROUP3_SIZE 21u
#define KVX_DATA_GROUP4_SIZE_VUR1 7u
#define KVX_DATA_GROUP4_SIZE 10u /* what the program's library (VARNO_USB2) copies */
#define KVX_DATA_GROUP5_SIZE 34u
#define KVX_DATA_GROUP6_SIZE 38u
#define KVX_CAN_SET_INFO_SIZE 39u
#define KVX_CAN_SET_INFO2_SIZE 57u
#define KVX_CAN_SET_INFO3_SIZE 112u
#define KVX_CAN_SET_INFO4_SIZE 102u
#define KVX_CAPTURE_STATUS_SIZE 8u
#define KVX_MULTI_PART_INFO_SIZE 28u
#define KVX_ACTIVE_INSTANCE_SIZE 256u

// Picture file list entries filled for the caller.
#define KVX_PICT_ENTRY1_SIZE_VUR1 142u /* first form, VARNO_VUR1 */
#define KVX_PICT_ENTRY_SIZE 274u       /* second form; both forms in VARNO_USB2 */

#pragma pack(push, 1)
// First form as VARNO_VUR1 fills it.
typedef struct KVX_PICT_FILE_ENTRY1 {
    uint16_t value1;
    uint16_t value2;
    uint16_t value3;
    char fileName[128];
    uint32_t value4;
    uint32_t value5;
} KVX_PICT_FILE_ENTRY1;

// Second form (and both forms in VARNO_USB2).
typedef struct KVX_PICT_FILE_ENTRY {
    uint16_t formatCode; /* 0x3801 JPG, 0xB801 Q7F, 0x380A Q7I */
    char formatText[4];
    uint16_t valueA;
    uint16_t valueB;
    char firstText[128];
    char fileName[128];
    uint32_t fileSize;
    uint32_t objectId;
} KVX_PICT_FILE_ENTRY;
#pragma pack(pop)

// Link.
KVX_CAMLINK_API KVX_HRESULT InitPTPMode_Parts(void);
KVX_CAMLINK_API KVX_HRESULT ReleaseDevInfo_Parts(void);
KVX_CAMLINK_API KVX_HRESULT ZR4_GetActiveDriverInstance(char* out, int32_t outSize);

// Reads.
KVX_CAMLINK_API KVX_HRESULT ZR4_GetCamConfig(uint8_t* out);
KVX_CAMLINK_API KVX_HRESULT ZR4_GetCamConfigEx(uint8_t* out);
KVX_CAMLINK_API KVX_HRESULT ZR4_GetCamStatus(uint8_t* out);
KVX_CAMLINK_API KVX_HRESULT ZR4_GetCamStatus2(uint8_t* out, uint32_t* size);
KVX_CAMLINK_API KVX_HRESULT ZR4_GetDataGroup1(uint8_t* out);
KVX_CAMLINK_API KVX_HRESULT ZR4_GetDataGroup2(uint8_t* out);
KVX_CAMLINK_API KVX_HRESULT ZR4_GetDataGroup3(uint8_t* out);
KVX_CAMLINK_API KVX_HRESULT ZR4_GetDataGroup4(uint8_t* out);
KVX_CAMLINK_API KVX_HRESULT ZR4_GetDataGroup5(uint8_t* out);
KVX_CAMLINK_API KVX_HRESULT ZR4_GetDataGroup6(uint8_t* out);
KVX_CAMLINK_API KVX_HRESULT ZR4_GetCanSetInfo(uint8_t* out);
KVX_CAMLINK_API KVX_HRESULT ZR4_GetCanSetInfo2(uint8_t* out);
KVX_CAMLINK_API KVX_HRESULT ZR4_GetCanSetInfo3(uint8_t* out);
KVX_CAMLINK_API KVX_HRESULT ZR4_GetCanSetInfo4(uint8_t* out);
KVX_CAMLINK_API KVX_HRESULT ZR4_GetCaptureStatus(int32_t id, uint8_t* out);
// entries: KVX_PICT_FILE_ENTRY1[] in VARNO_VUR1, KVX_PICT_FILE_ENTRY[] in VARNO_USB2.
KVX_CAMLINK_API KVX_HRESULT ZR4_GetPictFileInfo(void* entries, int32_t maxEntries, uint32_t* count,
                                                uint8_t** raw, uint32_t* rawLength);
KVX_CAMLINK_API KVX_HRESULT ZR4_GetPictFileInfo2(KVX_PICT_FILE_ENTRY* entries, int32_t maxEntries,
                                                 uint32_t* count, uint8_t* isMultiPart,
                                                 uint8_t* multiPartInfo, uint8_t** raw,
                                                 uint32_t* actualSize);
KVX_CAMLINK_API KVX_HRESULT ZR4_GetPartialPictFile(uint32_t objectId, uint32_t offset, uint32_t size,
                                                   uint8_t** data, uint32_t* actualSize);
KVX_CAMLINK_API KVX_HRESULT ZR4_GetBigPartialPictFile(uint32_t objectId, uint32_t offset,
                                                      uint32_t size, uint8_t** data,
                                                      uint32_t* actualSize);
KVX_CAMLINK_API KVX_HRESULT ZR4_GetCamViewFrame(uint8_t** data, uint32_t* actualSize);
KVX_CAMLINK_API uint8_t* CheckSumError_Parts(uint8_t code);

// Parameter commands.
KVX_CAMLINK_API KVX_HRESULT ZR4_ClearImageDBSignle(int32_t id);
KVX_CAMLINK_API KVX_HRESULT ZR4_ClearImageDBAll(void);
KVX_CAMLINK_API KVX_HRESULT ZR4_CloseApplication(void);

// Writes: record[0] is the payload length, the last byte is left 0 and
// receives the checksum.
KVX_CAMLINK_API KVX_HRESULT ZR4_SetDataGroup1(uint8_t* record);
KVX_CAMLINK_API KVX_HRESULT ZR4_SetDataGroup2(uint8_t* record);
KVX_CAMLINK_API KVX_HRESULT ZR4_SetDataGroup3(uint8_t* record);
KVX_CAMLINK_API KVX_HRESULT ZR4_SetDataGroup4(uint8_t* record);
KVX_CAMLINK_API KVX_HRESULT ZR4_SetDataGroup5(uint8_t* record);
KVX_CAMLINK_API KVX_HRESULT ZR4_SetDataGroup6(uint8_t* record);
KVX_CAMLINK_API KVX_HRESULT ZR4_Snap(uint8_t* record);
KVX_CAMLINK_API KVX_HRESULT ZR4_ClockAdjust(uint8_t* record);

#ifdef __cplusplus
}
#endif
