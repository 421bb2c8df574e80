// Brings settings read from the settings file back into a usable range
// before any window uses them: a window placed off every screen (a monitor
// was unplugged, the file was edited) returns to a visible place, a size no
// screen can show returns to its default, and overlay choices outside their
// sets return to their defaults.
#pragma once

#include <span>

#include "engine/app_settings.h"

namespace kvx::app {

struct ScreenRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

struct WindowOrigin {
    int left = 0;
    int top = 0;
    bool operator==(const WindowOrigin&) const = default;
};

class SettingsClamp {
public:
    // A window can be moved back by the user when a strip of its top edge
    // this high and this wide lies on one screen.
    static constexpr int kGripHeight = 24;
    static constexpr int kGripWidth = 48;

    // origin unchanged when the window can be reached; otherwise
    // defaultOffset from the first screen's corner, pulled inside that
    // screen as far as the window's size allows. No screens: unchanged.
    static WindowOrigin Origin(WindowOrigin origin, int width, int height,
                               std::span<const ScreenRect> screens, WindowOrigin defaultOffset);

    // The main window's origin (for a window of the given size), and the live
    // view window's placement and overlay choices.
    static void Apply(engine::AppSettings& settings, int mainWidth, int mainHeight,
                      std::span<const ScreenRect> screens);
};

}  // namespace kvx::app
