// Display texts of the settings: value list entries, numeric readouts and the
// camera line of the status area. All texts are UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace VARNO {

// Shutter speed value (0 Bulb, 162 Sync, > 0 tenths of a second, < 0 -N for 1/N s).
std::string FormatShutter(int16_t value);
// Four-character digital readout of a shutter value, written with its terminator.
void FormatShutterReadout(int16_t value, char out[5]);
std::string FormatAperture(int16_t value);       // f-number x 10
std::string FormatIso(int16_t value);            // ISO number
std::string FormatExposureValue(int16_t value);  // tenths of a stop
std::string FormatProgramShift(int8_t shift);
// Contrast, sharpness, saturation in tenths (-10..+10).
std::string FormatPictureParameter(int8_t tenths);
// Colour temperature rounded down to the settable step (100 when the step is 0).
std::string FormatColorTemperature(uint16_t kelvin, uint16_t step);
// White-balance bracketing amount code 2..16; empty for other codes.
std::string FormatWbBracketAmount(uint8_t code);
// Lens focal length in sixteenths of a millimetre.
std::string FormatFocalLength(uint16_t sixteenths);
// The camera line: "Camera: name(35)" or "Camera: name(17.5-55)".
std::string FormatCameraLine(std::string_view cameraName, uint16_t shortest, uint16_t longest);
// The camera name of the configuration record (ANSI, Windows-1252) as UTF-8,
// read up to its terminator or `size` bytes.
std::string AnsiToUtf8(const char* text, size_t size);

}  // namespace VARNO
