#include "app/dialog_font.h"

namespace kvx::app {

namespace {

// (base x 96 + 48) / dpi, in 64 bits: a hostile base size must not overflow.
int64_t Scaled(int64_t base, int dpi) {
    return (base * 96 + 48) / dpi;
}

}  // namespace

bool DialogFontRule::Usable(int64_t tenths, int dpi) {
    // pixels = points x dpi / 72; compared in tenths to stay in integers
    const int64_t pixelTenths = tenths * dpi / 72;
    return pixelTenths >= kMinPixels * 10 && pixelTenths <= kMaxPixels * 10;
}

DialogFontChoice DialogFontRule::Choose(const engine::DisplaySettings& s, int dpi,
                                        int builtInBase) {
    if (dpi <= 0) dpi = 96;
    DialogFontChoice f;
    f.useSystemFont = s.useSystemFont != 0;
    int64_t d = 0;
    int64_t status = 0;
    switch (dpi) {
        case 96:
            d = s.dpi96, status = s.statusFont96;
            break;
        case 120:
            d = s.dpi120, status = s.statusFont120;
            break;
        case 150:
            d = s.dpi150, status = s.statusFont150;
            break;
        default:
            break;
    }
    int64_t size = 0;
    if (d > 0) {
        size = d;
    } else if (d < 0) {
        size = -d;
        f.useSystemFont = true;
    } else {
        size = Scaled(s.baseFontSize, dpi);
    }
    if (!Usable(size * 10, dpi)) size = Scaled(builtInBase, dpi);
    if (size < 1) size = 1;  // a resolution far beyond any screen
    f.pointSize = static_cast<int>(size);
    f.statusFontTenths = status != 0 && Usable(status, dpi) ? static_cast<int>(status) : 0;
    return f;
}

}  // namespace kvx::app
