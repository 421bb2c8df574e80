#include "engine/setting_sender.h"

#include "log/write_log.h"
#include "model/set_request.h"

namespace kvx::engine {

HResult CSettingSender::Send(int group, uint8_t* request) {
    switch (group) {
        case 1:
            return link_.SetDataGroup1(request);
        case 2:
            return link_.SetDataGroup2(request);
        case 3:
            return link_.SetDataGroup3(request);
        case 4:
            return link_.SetDataGroup4(request);
        case 5:
            return link_.SetDataGroup5(request);
        case 6:
            return link_.SetDataGroup6(request);
        default:
            return static_cast<HResult>(KVX_E_INVALIDARG);
    }
}

bool CSettingSender::SetDataGroup(int group, uint8_t field1, uint8_t field2, int32_t value) {
    if (group < 1 || group > 6) return false;
    uint8_t request[VARNO::kSetRequestSize];
    VARNO::BuildSetRequest(request, field1, field2, value);
    HResult hr = Send(group, request);
    if (hr != 0) {
        WriteLog(1, "*** SetDataGroup%d failed hr=0x%x Field1=0x%x, Field2=0x%x, val=0x%x ***",
                 group, static_cast<unsigned>(hr), field1, field2, static_cast<unsigned>(value));
        return false;
    }
    WriteLog(5, "--- SetDataGroup%d Field1=0x%x, Field2=0x%x, val=0x%x", group, field1, field2,
             static_cast<unsigned>(value));
    return true;
}

bool CSettingSender::SetDataGroup1(uint8_t f1, uint8_t f2, int32_t v) {
    return SetDataGroup(1, f1, f2, v);
}
bool CSettingSender::SetDataGroup2(uint8_t f1, uint8_t f2, int32_t v) {
    return SetDataGroup(2, f1, f2, v);
}
bool CSettingSender::SetDataGroup3(uint8_t f1, uint8_t f2, int32_t v) {
    return SetDataGroup(3, f1, f2, v);
}
bool CSettingSender::SetDataGroup4(uint8_t f1, uint8_t f2, int32_t v) {
    return SetDataGroup(4, f1, f2, v);
}
bool CSettingSender::SetDataGroup5(uint8_t f1, uint8_t f2, int32_t v) {
    return SetDataGroup(5, f1, f2, v);
}
bool CSettingSender::SetDataGroup6(uint8_t f1, uint8_t f2, int32_t v) {
    return SetDataGroup(6, f1, f2, v);
}

bool CSettingSender::SendExtended(int group, uint8_t field1, uint8_t field2, int32_t length,
                                  const uint8_t* data) {
    uint8_t request[VARNO::kSetRequestSize];
    VARNO::BuildSetRequestEx(request, field1, field2, data, length);
    HResult hr = Send(group, request);
    if (hr != 0) {
        WriteLog(1, "*** SetDataGroup%dex failed hr=0x%x Field1=0x%x, Field2=0x%x ***", group,
                 static_cast<unsigned>(hr), field1, field2);
        return false;
    }
    WriteLog(5, "--- SetDataGroup%dex Field1=0x%x, Field2=0x%x", group, field1, field2);
    return true;
}

bool CSettingSender::SetDataGroup5ex(uint8_t field1, uint8_t field2, int32_t length,
                                     const uint8_t* data) {
    return SendExtended(5, field1, field2, length, data);
}

bool CSettingSender::SetDataGroup6ex(uint8_t field1, uint8_t field2, int32_t length,
                                     const uint8_t* data) {
    return SendExtended(6, field1, field2, length, data);
}

}  // namespace kvx::engine
