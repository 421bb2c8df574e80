#include "model/set_request.h"

#include <algorithm>
#include <cstring>

namespace VARNO {

size_t BuildSetRequest(uint8_t (&out)[kSetRequestSize], uint8_t field1, uint8_t field2,
                       int32_t value) {
    std::memset(out, 0, sizeof out);
    out[0] = 3;
    out[1] = field1;
    out[2] = field2;
    out[3] = static_cast<uint8_t>(value & 0xFF);
    return 4;
}

size_t BuildSetRequestEx(uint8_t (&out)[kSetRequestSize], uint8_t field1, uint8_t field2,
                         const uint8_t* data, int32_t length) {
    std::memset(out, 0, sizeof out);
    const int n = data == nullptr ? 0 : std::clamp(length, 0, kSetRequestDataMax);
    out[0] = static_cast<uint8_t>(n + 2);
    out[1] = field1;
    out[2] = field2;
    if (n > 0) std::memcpy(out + 3, data, static_cast<size_t>(n));
    return static_cast<size_t>(3 + n);
}

}  // namespace VARNO
