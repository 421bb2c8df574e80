#include "model/display_text.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "model/string_table.h"
#include "model/value_tables.h"

namespace VARNO {

namespace {

template <typename... Args>
std::string Format(const char* format, Args... args) {
    char buffer[64];
    const int n = std::snprintf(buffer, sizeof buffer, format, args...);
    return n < 0 ? std::string() : std::string(buffer, std::min<size_t>(n, sizeof buffer - 1));
}

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// Windows-1252 0x80..0x9F; the other high bytes are Latin-1.
constexpr uint16_t kCp1252High[32] = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178,
};

}  // namespace

std::string FormatShutter(int16_t value) {
    if (value == 0) return "Bulb";
    if (value == 162) return "Sync";
    if (value < 0) return Format("1/%d", -int{value});
    if (value % 10 != 0) return Format("%d.%d", value / 10, value % 10);
    return Format("%d", value / 10);
}

void FormatShutterReadout(int16_t value, char out[5]) {
    std::string text;
    if (value == 0) {
        text = "buLb";
    } else if (value == 162) {
        text = "5ync";
    } else if (value < 0) {
        text = Format("%4d", -int{value});
    } else if (value % 10 != 0) {
        text = Format("%2d\"%d", value / 10, value % 10);
    } else {
        text = Format("%3d\"", value / 10);
    }
    text.resize(4, ' ');
    for (int i = 0; i < 4; ++i) out[i] = text[i];
    out[4] = '\0';
}

std::string FormatAperture(int16_t value) {
    if (value > 99) return Format("F%d", value / 10);
    return Format("F%d.%d", value / 10, value % 10);
}

std::string FormatIso(int16_t value) {
    return Format("%d", int{value});
}

std::string FormatExposureValue(int16_t value) {
    const int a = std::abs(int{value});
    if (value < 0) return Format("-%d.%d", a / 10, a % 10);
    if (value == 0) return Format("%d.%d", a / 10, a % 10);
    return Format("+%d.%d", a / 10, a % 10);
}

std::string FormatProgramShift(int8_t shift) {
    return Format("%d", int{shift});
}

std::string FormatPictureParameter(int8_t tenths) {
    return Format("%+2.1f", tenths / 10.0);
}

std::string FormatColorTemperature(uint16_t kelvin, uint16_t step) {
    const unsigned s = step == 0 ? 100u : step;
    return Format("%uK", kelvin / s * s);
}

std::string FormatWbBracketAmount(uint8_t code) {
    for (const tag_WB_BRACKET_AMOUNT& row : WbBracketAmountTable()) {
        if (row.code == code) return row.text;
    }
    return {};
}

std::string FormatFocalLength(uint16_t f) {
    if ((f & 0xF) == 0) return Format("%d", f >> 4);
    return Format("%d.%d", f >> 4, ((f & 0xF) * 10) >> 4);
}

std::string FormatCameraLine(std::string_view cameraName, uint16_t shortest, uint16_t longest) {
    std::string line(StringText(kStrCamera));
    line += ": ";
    line += cameraName;
    line += '(';
    line += FormatFocalLength(shortest);
    if (shortest != longest) {
        line += '-';
        line += FormatFocalLength(longest);
    }
    line += ')';
    return line;
}

std::string AnsiToUtf8(const char* text, size_t size) {
    std::string out;
    for (size_t i = 0; i < size && text[i] != '\0'; ++i) {
        const uint8_t b = static_cast<uint8_t>(text[i]);
        AppendUtf8(out, b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : b);
    }
    return out;
}

}  // namespace VARNO
