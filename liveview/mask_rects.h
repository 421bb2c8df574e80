// Where the camera's aspect ratio lies inside a scaled frame, for the four
// combinations of display size (900-based or large) and orientation.
#pragma once

namespace kvx::liveview {

struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
    bool operator==(const Rect&) const = default;
};

// Aspect index 1 = 21:9, 2 = 16:9, 3 = 3:2, 4 = 4:3, 5 = 7:6, 6 = 1:1.
inline constexpr int kAspectFullFrame = 3;

// "Large" is a display size of which neither side is 900.
bool IsLargeDisplay(int displayWidth, int displayHeight);

// The aspect rectangle. Index 0 (not yet reported) counts as 21:9 like the
// camera's own first entry; an index above 6 is not one the camera knows, so
// it shows the whole frame instead of a guess at a crop.
Rect AspectRect(bool large, bool rotated, int aspectIndex);
// The whole frame: the 3:2 entry.
Rect FullFrameRect(bool large, bool rotated);

}  // namespace kvx::liveview
