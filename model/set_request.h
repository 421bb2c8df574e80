// The set request record handed to ZR4_SetDataGroup1 .. 6: count byte, Field1,
// Field2, the value's low byte or the data bytes, every other byte 0. The
// library fills in the checksum.
#pragma once

#include <cstddef>
#include <cstdint>

namespace VARNO {

// The exports read up to the full record of their group (DataGroup6: 38 bytes),
// so the request is that large and zero-filled.
inline constexpr size_t kSetRequestSize = 38;
inline constexpr int kSetRequestDataMax = 32;

// Plain form: count 3. Returns the number of meaningful bytes (4).
size_t BuildSetRequest(uint8_t (&out)[kSetRequestSize], uint8_t field1, uint8_t field2,
                       int32_t value);
// Extended form: count length + 2 with `length` held to 0..32; data is copied
// only when the length is above 0. Returns the number of meaningful bytes.
size_t BuildSetRequestEx(uint8_t (&out)[kSetRequestSize], uint8_t field1, uint8_t field2,
                         const uint8_t* data, int32_t length);

}  // namespace VARNO
