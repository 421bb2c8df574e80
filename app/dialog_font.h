// The size of the dialog font from the screen's logical resolution and the
// display settings: a per-resolution override for 96, 120 and 150 dpi,
// otherwise the base size scaled so that the text keeps its pixel size.
// A size that would draw text too small to read or larger than the fixed
// windows can hold is replaced by the one the language's built-in base size
// gives.
#pragma once

#include <cstdint>

#include "engine/app_settings.h"

namespace kvx::app {

struct DialogFontChoice {
    int pointSize = 0;
    bool useSystemFont = false;  // false: "Verdana"; true: the system's dialog face
    int statusFontTenths = 0;    // status line font in tenths of a point; 0 = built in
};

class DialogFontRule {
public:
    // Text is readable and fits from this many pixels high up to the maximum.
    static constexpr int kMinPixels = 6;
    static constexpr int kMaxPixels = 48;

    // dpi is the screen's horizontal logical resolution; 0 or less means
    // unknown and counts as 96. builtInBase is the base size the language
    // would have without settings (7, or 8 for East Asian languages).
    static DialogFontChoice Choose(const engine::DisplaySettings& settings, int dpi,
                                   int builtInBase);

    // True when a font of tenths/10 points is between the pixel limits at dpi.
    static bool Usable(int64_t tenths, int dpi);
};

}  // namespace kvx::app
