#include "engine/setting_sender.h"

#include <algorithm>
#include <cstring>

#include "log/write_log.h"

namespace kvx::engine {

HResult CSettingSender::Send(int group, uint8_t* request) {
    switch (group) {
        case 1: return link_.SetDataGroup1(request);
        case 2: return link_.SetDataGroup2(request);
        case 3: return link_.SetDataGroup3(request);
        case 4: return link_.SetDataGroup4(request);
        case 5: return link_.SetDataGroup5(request);
        case 6: return link_.SetDataGroup6(request);
        default: return static_cast<HResult>(KVX_E_INVALIDARG);
    }
}

bool CSettingSender::SetDataGroup(int group, uint8_t field1, uint8_t field2, int32_t value) {
    if (group < 1 || group > 6) return false;
    uint8_t request[kSetRequestBufferSize] = {};
    request[0] = 3;
    request[1] = field1;
    request[2] = field2;
    request[3] = static_cast<uint8_t>(value);
    HResult hr = Send(group, request);
    if (hr != 0) {
        WriteLog(1, "*** SetDataGroup%d failed hr=0x%x Field1=0x%x, Field2=0x%x, val=0x%x ***", group,
                 static_cast<unsigned>(hr), field1, field2, static_cast<unsigned>(value));
        return false;
    }
    WriteLog(5, "--- SetDataGroup%d Field1=0x%x, Field2=0x%x, val=0x%x", group, field1, field2,
             static_cast<unsigned>(value));
    return true;
}

bool CSettingSender::SetDataGroup1(uint8_t f1, uint8_t f2, int32_t v) { return SetDataGroup(1, f1, f2, v); }
bool CSettingSender::SetDataGroup2(uint8_t f1, uint8_t f2, int32_t v) { return SetDataGroup(2, f1, f2, v); }
bool CSettingSender::SetDataGroup3(uint8_t f1, uint8_t f2, int32_t v) { return SetDataGroup(3, f1, f2, v); }
bool CSettingSender::SetDataGroup4(uint8_t f1, uint8_t f2, int32_t v) { return SetDataGroup(4, f1, f2, v); }
bool CSettingSender::SetDataGroup5(uint8_t f1, uint8_t f2, int32_t v) { return SetDataGroup(5, f1, f2, v); }
bool CSettingSender::SetDataGroup6(uint8_t f1, uint8_t f2, int32_t v) { return SetDataGroup(6, f1, f2, v); }

bool CSettingSender::SendExtended(int group, uint8_t field1, uint8_t field2, int32_t length,
                                  const uint8_t* data) {
    int n = std::clamp(length, 0, kSetRequestDataMax);
    uint8_t request[kSetRequestBufferSize] = {};
    request[0] = static_cast<uint8_t>(n + 2);
    request[1] = field1;
    request[2] = field2;
    if (n > 0 && data != nullptr) std::memcpy(request + 3, data, static_cast<size_t>(n));
    HResult hr = Send(group, request);
    if (hr != 0) {
        WriteLog(1, "*** SetDataGroup%dex failed hr=0x%x Field1=0x%x, Field2=0x%x ***", group,
                 static_cast<unsigned>(hr), field1, field2);
        return false;
    }
    WriteLog(5, "--- SetDataGroup%dex Field1=0x%x, Field2=0x%x", group, field1, field2);
    return true;
}

bool CSettingSender::SetDataGroup5ex(uint8_t field1, uint8_t field2, int32_t length, const uint8_t* data) {
    return SendExtended(5, field1, field2, length, data);
}

bool CSettingSender::SetDataGroup6ex(uint8_t field1, uint8_t field2, int32_t length, const uint8_t* data) {
    return SendExtended(6, field1, field2, length, data);
}

}  // namespace kvx::engine
