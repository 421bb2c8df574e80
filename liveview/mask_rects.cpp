#include "liveview/mask_rects.h"

namespace kvx::liveview {
namespace {

// Rows: 900-based upright, large upright, 900-based rotated, large rotated.
constexpr Rect kAspect[4][6] = {
    {{0, 107, 900, 386},
     {0, 47, 900, 506},
     {0, 0, 900, 600},
     {50, 0, 800, 600},
     {100, 0, 700, 600},
     {150, 0, 600, 600}},
    {{0, 121, 1024, 438},
     {0, 52, 1024, 576},
     {0, 0, 1024, 680},
     {59, 0, 906, 680},
     {115, 0, 794, 680},
     {172, 0, 680, 680}},
    {{107, 0, 386, 900},
     {47, 0, 506, 900},
     {0, 0, 600, 900},
     {0, 50, 600, 800},
     {0, 100, 600, 700},
     {0, 150, 600, 600}},
    {{121, 0, 438, 1024},
     {52, 0, 576, 1024},
     {0, 0, 680, 1024},
     {0, 59, 680, 906},
     {0, 115, 680, 794},
     {0, 172, 680, 680}},
};

}  // namespace

bool IsLargeDisplay(int displayWidth, int displayHeight) {
    return displayWidth != 900 && displayHeight != 900;
}

Rect AspectRect(bool large, bool rotated, int aspectIndex) {
    int index = aspectIndex < 1 ? 1 : aspectIndex;
    if (index > 6) index = kAspectFullFrame;
    return kAspect[(large ? 1 : 0) + (rotated ? 2 : 0)][index - 1];
}

Rect FullFrameRect(bool large, bool rotated) {
    return AspectRect(large, rotated, kAspectFullFrame);
}

}  // namespace kvx::liveview
