// The 35 exports. Each runs one transaction form of LinkState and hands the
// reply on; nothing but a result code ever leaves through them.
#include <cstring>
#include <exception>

#include "camlink/link_state.h"
#include "camlink/reply_parsers.h"
#include "camlink/varno_usb.h"
#include "log/write_log.h"

namespace {

using kvx::camlink::HResult;
using kvx::camlink::LinkState;

constexpr uint16_t kResponseOk = 0x2001;

#if KVX_MODEL_CODE == 130
constexpr size_t kDataGroup4Size = KVX_DATA_GROUP4_SIZE;
#else
constexpr size_t kDataGroup4Size = KVX_DATA_GROUP4_SIZE_VUR1;
#endif

LinkState& Link() {
    return LinkState::Instance();
}

// Runs body; any exception (an allocation in the device layer) becomes E_FAIL.
template <typename Body>
HResult Guarded(Body body) {
    try {
        return body();
    } catch (...) {
        return KVX_E_FAIL;
    }
}

uint16_t ResponseCode(const uint8_t* reply) {
    auto header = kvx::camlink::ParseVendorReply(reply, KVX_VENDOR_OUT_HEADER_SIZE);
    return header ? header->responseCode : 0;
}

// Read command, then copy n bytes of the record. checkName: log a PTP error
// response under that name (the record is copied all the same).
HResult SimpleRead(uint16_t opCode, std::initializer_list<uint32_t> params, uint8_t* out, size_t n,
                   const char* checkName = nullptr) {
    return Guarded([&]() -> HResult {
        if (!Link().CanRun()) return KVX_E_FAIL;
        if (!out) return KVX_E_INVALIDARG;
        uint32_t actual = 0;
        HResult hr = Link().Read(opCode, params, &actual);
        if (hr != 0) return hr;
        if (checkName && actual != 0 && ResponseCode(Link().Reply()) != kResponseOk)
            WriteLog(1, "*** %s detect PTP error, ResponseCode=0x%x ***", checkName,
                     ResponseCode(Link().Reply()));
        std::memcpy(out, Link().ReplyRecord(), n);
        return 0;
    });
}

HResult LargePointerRead(uint16_t opCode, std::initializer_list<uint32_t> params, uint8_t** data,
                         uint32_t* actualSize) {
    return Guarded([&]() -> HResult {
        if (!Link().CanRunLarge()) return KVX_E_FAIL;
        if (!data || !actualSize) return KVX_E_INVALIDARG;
        uint32_t actual = 0;
        HResult hr = Link().LargeRead(opCode, params, &actual);
        if (hr != 0) return hr;
        *data = Link().LargeReplyRecord();
        *actualSize = actual;
        return 0;
    });
}

HResult WriteRecord(uint16_t opCode, const uint8_t* record, size_t n) {
    return Guarded([&]() -> HResult {
        if (!Link().CanRun()) return KVX_E_FAIL;
        return Link().Write(opCode, record, n);
    });
}

size_t RecordSize(uint32_t actual) {
    return actual > KVX_VENDOR_OUT_HEADER_SIZE ? actual - KVX_VENDOR_OUT_HEADER_SIZE : 0;
}

}  // namespace

extern "C" {

KVX_HRESULT InitPTPMode_Parts(void) {
    return Guarded([] { return Link().InitPTPMode(); });
}

KVX_HRESULT ReleaseDevInfo_Parts(void) {
    Guarded([] { return Link().Release(); });
    return 0;
}

KVX_HRESULT ZR4_GetActiveDriverInstance(char* out, int32_t outSize) {
    return Guarded([&] { return Link().GetActiveDriverInstance(out, outSize); });
}

KVX_HRESULT ZR4_GetCamConfig(uint8_t* out) {
    return SimpleRead(0x9010, {0}, out, KVX_CAM_CONFIG_SIZE);
}
KVX_HRESULT ZR4_GetCamConfigEx(uint8_t* out) {
    return SimpleRead(0x9010, {0}, out, KVX_CAM_CONFIG_EX_SIZE);
}
KVX_HRESULT ZR4_GetCamStatus(uint8_t* out) {
    return SimpleRead(0x9011, {}, out, KVX_CAM_STATUS_SIZE);
}

KVX_HRESULT ZR4_GetCamStatus2(uint8_t* out, uint32_t* size) {
    return Guarded([&]() -> HResult {
        if (!Link().CanRunLarge()) return KVX_E_FAIL;
        if (!out || !size) return KVX_E_INVALIDARG;
        uint32_t actual = 0;
        HResult hr = Link().LargeRead(0x902C, {8, 63, 0}, &actual);
        *size = actual;
        if (hr != 0) return hr;
        std::memcpy(out, Link().LargeReplyRecord(), KVX_CAM_STATUS2_SIZE);
        return 0;
    });
}

KVX_HRESULT ZR4_GetDataGroup1(uint8_t* out) {
    return SimpleRead(0x9012, {}, out, KVX_DATA_GROUP1_SIZE);
}
KVX_HRESULT ZR4_GetDataGroup2(uint8_t* out) {
    return SimpleRead(0x9013, {}, out, KVX_DATA_GROUP2_SIZE);
}
KVX_HRESULT ZR4_GetDataGroup3(uint8_t* out) {
    return SimpleRead(0x9014, {}, out, KVX_DATA_GROUP3_SIZE);
}
KVX_HRESULT ZR4_GetDataGroup4(uint8_t* out) {
    return SimpleRead(0x9023, {}, out, kDataGroup4Size);
}
KVX_HRESULT ZR4_GetDataGroup5(uint8_t* out) {
    return SimpleRead(0x9027, {}, out, KVX_DATA_GROUP5_SIZE);
}
KVX_HRESULT ZR4_GetDataGroup6(uint8_t* out) {
    return SimpleRead(0x9029, {}, out, KVX_DATA_GROUP6_SIZE);
}
KVX_HRESULT ZR4_GetCanSetInfo(uint8_t* out) {
    return SimpleRead(0x901A, {}, out, KVX_CAN_SET_INFO_SIZE);
}
KVX_HRESULT ZR4_GetCanSetInfo2(uint8_t* out) {
    return SimpleRead(0x9025, {}, out, KVX_CAN_SET_INFO2_SIZE, "ZR4_GetCanSetInfo2");
}
KVX_HRESULT ZR4_GetCanSetInfo3(uint8_t* out) {
    return SimpleRead(0x9026, {}, out, KVX_CAN_SET_INFO3_SIZE, "ZR4_GetCanSetInfo3");
}
KVX_HRESULT ZR4_GetCanSetInfo4(uint8_t* out) {
    return SimpleRead(0x902E, {}, out, KVX_CAN_SET_INFO4_SIZE, "ZR4_GetCanSetInfo4");
}
KVX_HRESULT ZR4_GetCaptureStatus(int32_t id, uint8_t* out) {
    return SimpleRead(0x9015, {static_cast<uint32_t>(id)}, out, KVX_CAPTURE_STATUS_SIZE);
}

KVX_HRESULT ZR4_GetPictFileInfo(void* entries, int32_t maxEntries, uint32_t* count, uint8_t** raw,
                                uint32_t* rawLength) {
    return Guarded([&]() -> HResult {
        if (!Link().CanRun()) return KVX_E_FAIL;
        if (!count || !raw || !rawLength) return KVX_E_INVALIDARG;
        uint32_t actual = 0;
        HResult hr = Link().Read(0x9020, {}, &actual);
        if (hr != 0) return hr;
        const uint8_t* record = Link().ReplyRecord();
#if KVX_MODEL_CODE == 130
        auto r = kvx::camlink::ParsePictList1Wide(
            record, RecordSize(actual), static_cast<KVX_PICT_FILE_ENTRY*>(entries), maxEntries);
#else
        auto r = kvx::camlink::ParsePictList1(
            record, RecordSize(actual), static_cast<KVX_PICT_FILE_ENTRY1*>(entries), maxEntries);
#endif
        *count = r.count;
        *raw = Link().ReplyRecord();
        *rawLength = r.rawLength;
        return 0;
    });
}

KVX_HRESULT ZR4_GetPictFileInfo2(KVX_PICT_FILE_ENTRY* entries, int32_t maxEntries, uint32_t* count,
                                 uint8_t* isMultiPart, uint8_t* multiPartInfo, uint8_t** raw,
                                 uint32_t* actualSize) {
    return Guarded([&]() -> HResult {
        if (!Link().CanRun()) return KVX_E_FAIL;
        if (!count || !raw || !actualSize) return KVX_E_INVALIDARG;
        uint32_t actual = 0;
        HResult hr = Link().Read(0x902D, {}, &actual);
        if (hr != 0) return hr;
        auto r = kvx::camlink::ParsePictList2(Link().ReplyRecord(), RecordSize(actual), entries,
                                              maxEntries, isMultiPart, multiPartInfo);
        *count = r.count;
        *raw = Link().ReplyRecord();
        *actualSize = actual;
        return 0;
    });
}

KVX_HRESULT ZR4_GetPartialPictFile(uint32_t objectId, uint32_t offset, uint32_t size,
                                   uint8_t** data, uint32_t* actualSize) {
    return LargePointerRead(0x9021, {objectId, offset, size}, data, actualSize);
}

KVX_HRESULT ZR4_GetBigPartialPictFile(uint32_t objectId, uint32_t offset, uint32_t size,
                                      uint8_t** data, uint32_t* actualSize) {
    return Guarded([&]() -> HResult {
        if (!Link().CanRunLarge()) return KVX_E_FAIL;
        if (!data || !actualSize) return KVX_E_INVALIDARG;
        uint32_t actual = 0;
        HResult hr = Link().LargeRead(0x9022, {objectId, offset, size}, &actual);
        const uint16_t code = ResponseCode(Link().LargeReply());
        if (hr == 0 && (actual == 0 || code == kResponseOk)) {
            *data = Link().LargeReplyRecord();
            *actualSize = actual;
            return 0;
        }
        WriteLog(1, "***** %s detect PTP error at %d *****", "ZR4_GetBigPartialPictFile",
                 hr == 0 ? 3 : 2);
        const uint32_t params[3] = {objectId, offset, size};
        for (int i = 0; i < 3; ++i) WriteLog(1, "---> Params[%d] = 0x%x", i, params[i]);
        WriteLog(1, "---> hr=0x%x, actualSize = 0x%x", static_cast<unsigned>(hr), actual);
        if (actual != 0) WriteLog(1, "---> ResponseCode = 0x%x", code);
        return hr;
    });
}

KVX_HRESULT ZR4_GetCamViewFrame(uint8_t** data, uint32_t* actualSize) {
    return LargePointerRead(0x902B, {}, data, actualSize);
}

uint8_t* CheckSumError_Parts(uint8_t code) {
    try {
        if (Link().CanRun()) {
            uint32_t actual = 0;
            Link().Read(0x1087, {code}, &actual);
            Link().lastActualSize = actual;
        }
        return Link().ReplyRecord();
    } catch (...) {
        return Link().ReplyRecord();
    }
}

KVX_HRESULT ZR4_ClearImageDBSignle(int32_t id) {
    return Guarded([&] { return Link().Parameter(0x901C, {static_cast<uint32_t>(id)}); });
}
KVX_HRESULT ZR4_ClearImageDBAll(void) {
    return Guarded([] { return Link().Parameter(0x901D, {}); });
}
KVX_HRESULT ZR4_CloseApplication(void) {
    return Guarded([] { return Link().Parameter(0x902F, {}); });
}

KVX_HRESULT ZR4_SetDataGroup1(uint8_t* record) {
    return WriteRecord(0x9016, record, KVX_DATA_GROUP1_SIZE);
}
KVX_HRESULT ZR4_SetDataGroup2(uint8_t* record) {
    if (!record) return Link().CanRun() ? KVX_E_INVALIDARG : KVX_E_FAIL;
    return WriteRecord(0x9017, record, static_cast<uint8_t>(record[0] + 2));
}
KVX_HRESULT ZR4_SetDataGroup3(uint8_t* record) {
    return WriteRecord(0x9018, record, KVX_DATA_GROUP3_SIZE);
}
KVX_HRESULT ZR4_SetDataGroup4(uint8_t* record) {
    return WriteRecord(0x9024, record, 7);
}
KVX_HRESULT ZR4_SetDataGroup5(uint8_t* record) {
    return WriteRecord(0x9028, record, KVX_DATA_GROUP5_SIZE);
}
KVX_HRESULT ZR4_SetDataGroup6(uint8_t* record) {
    return WriteRecord(0x902A, record, KVX_DATA_GROUP6_SIZE);
}
KVX_HRESULT ZR4_Snap(uint8_t* record) {
    return WriteRecord(0x901B, record, 4);
}
KVX_HRESULT ZR4_ClockAdjust(uint8_t* record) {
    return WriteRecord(0x9019, record, 8);
}

}  // extern "C"
