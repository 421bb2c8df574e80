// Where the picture goes in the screen area: fitting, the whole-frame
// rectangle for focus coordinates, the grid lines.
#pragma once

#include <vector>

#include "liveview/mask_rects.h"

namespace kvx::liveview {

// Fits a c × d picture into an a × b box, centred; rounding leaves at most
// one pixel unequal on the two sides, which the fit gives to the picture.
// An empty box or picture gives an empty rectangle.
Rect FitRect(int a, int b, int c, int d);

// The area the whole camera frame (f × g) would cover around the fitted
// picture `a`, centred on it.
Rect FullFrameOnScreen(const Rect& a, int f, int g);

// Offsets of the n − 1 inner grid lines across a span of `span` pixels.
std::vector<int> GridOffsets(int span, int n);

}  // namespace kvx::liveview
