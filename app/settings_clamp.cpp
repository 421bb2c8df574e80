#include "app/settings_clamp.h"

#include <algorithm>
#include <cstdint>

namespace kvx::app {

namespace {

bool Reachable(WindowOrigin o, int width, const ScreenRect& s) {
    // 64-bit: positions from the file may be near the ends of the int range
    const int64_t left = o.left, top = o.top;
    const int64_t overlap =
        std::min<int64_t>(left + width, int64_t{s.x} + s.width) - std::max<int64_t>(left, s.x);
    return top >= s.y && top + SettingsClamp::kGripHeight <= int64_t{s.y} + s.height &&
           overlap >= std::min(width, SettingsClamp::kGripWidth);
}

bool OneOf(int v, std::initializer_list<int> set) {
    return std::find(set.begin(), set.end(), v) != set.end();
}

}  // namespace

WindowOrigin SettingsClamp::Origin(WindowOrigin origin, int width, int height,
                                   std::span<const ScreenRect> screens,
                                   WindowOrigin defaultOffset) {
    if (screens.empty()) return origin;
    for (const ScreenRect& s : screens)
        if (Reachable(origin, width, s)) return origin;
    const ScreenRect& s = screens.front();
    WindowOrigin o{s.x + defaultOffset.left, s.y + defaultOffset.top};
    o.left = std::max(s.x, std::min(o.left, s.x + s.width - width));
    o.top = std::max(s.y, std::min(o.top, s.y + s.height - height));
    return o;
}

void SettingsClamp::Apply(engine::AppSettings& st, int mainWidth, int mainHeight,
                          std::span<const ScreenRect> screens) {
    WindowOrigin main =
        Origin({st.windowLeft, st.windowTop}, mainWidth, mainHeight, screens, {100, 100});
    st.windowLeft = main.left;
    st.windowTop = main.top;

    engine::LiveWindowSettings& l = st.live;
    const engine::LiveWindowSettings defaults;
    int maxWidth = 0, maxHeight = 0;
    for (const ScreenRect& s : screens) {
        maxWidth = std::max(maxWidth, s.width);
        maxHeight = std::max(maxHeight, s.height);
    }
    const bool sizeOk = l.width > 0 && l.height > 0 &&
                        (screens.empty() || (l.width <= maxWidth && l.height <= maxHeight));
    if (!sizeOk) {
        l.width = defaults.width;
        l.height = defaults.height;
    }
    WindowOrigin live =
        Origin({l.left, l.top}, l.width, l.height, screens, {defaults.left, defaults.top});
    l.left = live.left;
    l.top = live.top;
    if (!OneOf(l.gridLines, {2, 3, 4, 6, 8})) l.gridLines = defaults.gridLines;
    if (l.gridPattern < 0 || l.gridPattern > 2) l.gridPattern = defaults.gridPattern;
    if (l.focusSelect < 0 || l.focusSelect > 4) l.focusSelect = defaults.focusSelect;
    if (l.useMask != 0 && l.useMask != 1) l.useMask = defaults.useMask;
    if (!OneOf(l.rotateAngle, {0, 90, 180, 270})) l.rotateAngle = defaults.rotateAngle;
}

}  // namespace kvx::app
