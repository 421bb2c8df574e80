// The conversion table of the stepped exposure quantities: 256 rows, one per
// one-byte exposure code (one-eighth stop scale), seven columns of display
// values, -1 where a code has no value in a column. Column A of a quantity is
// the one-third-stop scale, column B the half-stop scale.
#pragma once

#include <cstdint>

namespace VARNO {

enum class ExposureColumn : uint8_t {
    Iso,   // ISO number
    ExpA,  // exposure value, tenths of a stop
    ExpB,
    ShutterA,  // 0 Bulb, 162 Sync, > 0 tenths of a second, < 0 -N for 1/N second
    ShutterB,
    ApertureA,  // f-number x 10
    ApertureB,
};

inline constexpr int16_t kNoValue = -1;

// Display value of `code` in `column`, kNoValue when the code has none.
int16_t ConversionValue(ExposureColumn column, uint8_t code);

// Four-character digital readout text of a shutter code (ShutterA or ShutterB),
// nullptr when the code has no value there.
const char* ShutterReadoutText(ExposureColumn column, uint8_t code);

}  // namespace VARNO
