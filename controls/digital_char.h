// CDigitalChar: one cell of a readout panel, showing one glyph of one strip.
#pragma once

class CDigitalChar {
public:
    bool visible = false;
    int x = 0;
    int y = 0;
    int width = 0;   // the strip's glyph width
    int height = 0;  // the strip's height
    int glyph = 0;
    int strip = 2;
    int initial_glyph = 0;  // what a reset brings back
};
