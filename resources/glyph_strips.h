// The readout glyph strips: one row of equal-width glyphs per picture. Shared
// by the picture generator (which draws them) and the readout panel (which
// cuts cells out of them), so both agree on every glyph's rectangle.
#pragma once

#include <array>

namespace kvx::res {

struct GlyphStrip {
    int picture;  // picture number, ":/res/<picture>.png"
    int width;    // whole strip, pixels
    int height;
    int glyph_width;  // glyph g starts at x = g * glyph_width
    int glyphs;
};

inline constexpr int kStripCount = 30;

// Indexed by strip number.
inline constexpr std::array<GlyphStrip, kStripCount> kGlyphStrips{{
    {354, 70, 16, 14, 5},    // 0 exposure mode marks A M P S, 4 off
    {356, 100, 16, 20, 5},   // 1 metering marks, 4 off
    {350, 540, 25, 15, 36},  // 2 large characters
    {351, 6, 25, 3, 2},      // 3 large decimal point, 0 lit
    {352, 92, 35, 23, 4},    // 4 spare large digits
    {353, 342, 21, 38, 9},   // 5 battery
    {357, 51, 20, 17, 3},    // 6 sign: off, minus, plus
    {355, 108, 27, 36, 3},   // 7 ISO auto: dark, on, off
    {358, 21, 20, 7, 3},     // 8 count brackets: off, left, right
    {359, 468, 20, 13, 36},  // 9 small characters
    {360, 121, 15, 11, 11},  // 10 interval digits, 10 blank
    {361, 96, 12, 8, 12},    // 11 interval count digits, 10 and 11 blank
    {362, 135, 21, 45, 3},   // 12 additional battery frame
    {363, 196, 7, 28, 7},    // 13 additional battery levels
    {364, 6, 20, 3, 2},      // 14 small decimal point, 0 lit
    {365, 212, 3, 106, 2},   // 15 top bar: 0 lit, 1 dark
    {366, 10, 12, 5, 2},     // 16 interval colon
    {367, 36, 19, 4, 9},     // 17 bracketing progress
    {368, 22, 12, 11, 2},    // 18 custom mode mark
    {369, 34, 12, 17, 2},    // 19 custom mode number 1
    {370, 57, 12, 19, 3},    // 20 custom mode numbers 2 and 3
    {371, 68, 12, 34, 2},    // 21 status indicator
    {372, 38, 25, 19, 2},    // 22 flash available
    {373, 30, 12, 15, 2},    // 23 FP flash
    {374, 38, 12, 19, 2},    // 24 sync
    {375, 68, 10, 34, 2},    // 25 slow sync
    {376, 154, 20, 22, 7},   // 26 bracketing, flash and exposure marks
    {377, 46, 12, 23, 2},    // 27 interval no-count mark
    {378, 98, 12, 49, 2},    // 28 interval count mark
    {379, 12, 12, 6, 2},     // 29 interval count separator
}};

// The glyph a text character takes in the 36-glyph character strips (and
// the digits of the interval strips). -1 for characters outside 0x20..0x7F,
// which leave a cell as it is; 35 (blank) for those without a picture.
inline constexpr int kBlankGlyph = 35;

constexpr int GlyphForChar(char32_t c) {
    if (c < 0x20 || c > 0x7F) return -1;
    if (c >= '0' && c <= '9') return static_cast<int>(c - '0');
    switch (c) {
        case 'A':
            return 10;
        case 'b':
            return 11;
        case 'C':
            return 12;
        case 'c':
            return 13;
        case 'd':
            return 14;
        case 'E':
            return 15;
        case 'F':
            return 16;
        case 'G':
            return 17;
        case 'H':
            return 18;
        case 'h':
            return 19;
        case '-':
            return 20;
        case 'J':
            return 21;
        case 'L':
            return 22;
        case 'N':
            return 23;
        case 'n':
            return 24;
        case 'o':
            return 25;
        case 'P':
            return 26;
        case 'r':
            return 27;
        case '"':
            return 28;
        case '\'':
        case '`':
        case '~':
            return 29;
        case 't':
            return 30;
        case 'U':
            return 31;
        case '_':
            return 32;
        case 'u':
            return 33;
        case 'y':
            return 34;
        default:
            return kBlankGlyph;
    }
}

}  // namespace kvx::res
